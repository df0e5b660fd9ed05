// Operations that change the canvas size: cropping to the visible content
// and adding or removing margins.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/errors.h"
#include "core/object_tree.h"
#include "image/effect_kernels.h"
#include "image/image_operations.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"

namespace {

// The picture an operation reads: the layer's own block, not the toned copy
// composition may have made of it (the result replaces the own block, so a
// toned copy would be toned twice).
const uint8_t* OwnPixels(const LayerRecord* record) {
  return record->mPixelAlloc != nullptr ? record->mPixelAlloc : record->mPixels;
}

// Script values reach the allocator as 32-bit sides; anything beyond the
// limit stays beyond it so that the allocator refuses it.
int32_t NarrowSide(int64_t side) {
  return static_cast<int32_t>(std::clamp<int64_t>(side, -(int64_t{1} << 30), int64_t{1} << 30));
}

struct CropBox {
  int64_t mLeft = -1;
  int64_t mTop = -1;
  int64_t mRight = -1;
  int64_t mBottom = -1;
};

// The bounding box of the pixels whose alpha passes the threshold's low
// byte taken as a signed value; -1 on every side when none does.
CropBox FindVisibleBox(const LayerRecord* source, int64_t threshold) {
  auto limit = static_cast<int8_t>(static_cast<uint8_t>(threshold & 0xFF));
  CropBox box;
  for (int64_t y = 0; y < source->mHeight; ++y) {
    const uint8_t* row = OwnPixels(source) + static_cast<size_t>(y) * static_cast<size_t>(source->mWidth) * 4;
    for (int64_t x = 0; x < source->mWidth; ++x) {
      if (int{row[x * 4 + 3]} <= int{limit}) continue;
      if (box.mLeft < 0) {
        box = CropBox{x, y, x, y};
      } else {
        box.mLeft = std::min(box.mLeft, x);
        box.mRight = std::max(box.mRight, x);
        box.mBottom = y;
      }
    }
  }
  return box;
}

}  // namespace

void CopyIntoCanvas(uint8_t* canvas, int32_t canvasWidth, const uint8_t* source, int32_t sourceWidth,
                    int32_t sourceHeight, int64_t left, int64_t top, int64_t right, int64_t bottom) {
  int64_t firstX = std::max<int64_t>(0, -left);
  int64_t firstY = std::max<int64_t>(0, -top);
  int64_t lastX = std::min<int64_t>(sourceWidth - 1, sourceWidth - 1 + right);
  int64_t lastY = std::min<int64_t>(sourceHeight - 1, sourceHeight - 1 + bottom);
  if (firstX > lastX) return;
  size_t bytes = static_cast<size_t>(lastX - firstX + 1) * 4;
  for (int64_t sy = firstY; sy <= lastY; ++sy) {
    uint8_t* to = canvas + (static_cast<size_t>(sy + top) * static_cast<size_t>(canvasWidth) +
                            static_cast<size_t>(firstX + left)) * 4;
    const uint8_t* from =
        source + (static_cast<size_t>(sy) * static_cast<size_t>(sourceWidth) + static_cast<size_t>(firstX)) * 4;
    g_PixelPrimitives.mCopyBytes(to, from, bytes);
  }
}

int AutoCropImage(ObjectTreeNode* source, ObjectTreeNode* destination, int64_t intoDestination, int64_t sides,
                  int64_t threshold) {
  LayerRecord* from = LayerRecordOf(source);
  if (from == nullptr || OwnPixels(from) == nullptr) return 0;
  ObjectTreeNode* receivingNode = intoDestination != 0 ? destination : source;
  LayerRecord* receiving = LayerRecordOf(receivingNode);
  if (receiving == nullptr) return 0;
  InvalidateLayerToRoot(receivingNode);
  int64_t w = from->mWidth;
  int64_t h = from->mHeight;
  CropBox visible = FindVisibleBox(from, threshold);
  bool anySide = (sides & 15) != 0;
  if (visible.mLeft < 0 && anySide) {
    // Nothing passes the threshold: what is left of the picture is nothing,
    // which is the one transparent pixel of an empty image.
    uint8_t* block = AllocPixelBuffer(nullptr, 1, 1, nullptr);
    if (block == nullptr) return -1;
    g_PixelPrimitives.mFillDwords(block, 4, TRANSPARENT_COLOUR);
    SetPixelBuffer(receiving, block, 1, 1);
    receiving->mHasAlpha = 1;
    InvalidateLayerToRoot(receivingNode);
    return 0;
  }
  int64_t top = (sides & 8) != 0 ? visible.mTop : 0;
  int64_t bottom = (sides & 4) != 0 ? visible.mBottom : h - 1;
  int64_t left = (sides & 2) != 0 ? visible.mLeft : 0;
  int64_t right = (sides & 1) != 0 ? visible.mRight : w - 1;
  int64_t newWidth = right - left + 1;
  int64_t newHeight = bottom - top + 1;
  bool existing = intoDestination != 0 && receiving != from && receiving->mPixelAlloc != nullptr &&
                  newWidth == receiving->mWidth && newHeight == receiving->mHeight &&
                  newWidth == receiving->mBufferWidth && newHeight == receiving->mBufferHeight;
  uint8_t* block = existing ? receiving->mPixelAlloc : AllocPixelBuffer(nullptr, NarrowSide(newWidth),
                                                                         NarrowSide(newHeight), nullptr);
  if (block == nullptr) return -1;
  receiving->mHasAlpha = from->mHasAlpha;
  EffectRegion box{OwnPixels(from), from->mWidth, from->mHeight, left, top, right, bottom};
  CopyRectRows(block, box);
  if (!existing) {
    SetPixelBuffer(receiving, block, static_cast<int32_t>(newWidth), static_cast<int32_t>(newHeight));
    InvalidateLayerToRoot(receivingNode);
  }
  return 0;
}

int AddImageMargins(ObjectTreeNode* source, ObjectTreeNode* destination, int64_t intoDestination, int64_t left,
                    int64_t right, int64_t top, int64_t bottom) {
  LayerRecord* from = LayerRecordOf(source);
  if (from == nullptr || OwnPixels(from) == nullptr) return 0;
  ObjectTreeNode* receivingNode = intoDestination != 0 ? destination : source;
  LayerRecord* receiving = LayerRecordOf(receivingNode);
  if (receiving == nullptr) return 0;
  InvalidateLayerToRoot(receivingNode);
  // Margins come from scripts: the sums are kept in a range that cannot
  // overflow before the size checks see them.
  constexpr int64_t kMarginLimit = int64_t{1} << 40;
  left = std::clamp(left, -kMarginLimit, kMarginLimit);
  right = std::clamp(right, -kMarginLimit, kMarginLimit);
  top = std::clamp(top, -kMarginLimit, kMarginLimit);
  bottom = std::clamp(bottom, -kMarginLimit, kMarginLimit);
  int64_t w = from->mWidth;
  int64_t h = from->mHeight;
  int64_t newWidth = left + w + right;
  int64_t newHeight = top + h + bottom;
  if (newWidth < 1 || newHeight < 1) {
    ShowMessageBox("", "リサイズ後のサイズが不正です。");
    return -1;
  }
  uint8_t* block = AllocPixelBuffer(nullptr, NarrowSide(newWidth), NarrowSide(newHeight), nullptr);
  if (block == nullptr) return -1;
  g_PixelPrimitives.mFillDwords(block, static_cast<size_t>(newWidth) * static_cast<size_t>(newHeight) * 4,
                                TRANSPARENT_COLOUR);
  bool noneAdded = left <= 0 && right <= 0 && top <= 0 && bottom <= 0;
  receiving->mHasAlpha = noneAdded ? from->mHasAlpha : 1;
  CopyIntoCanvas(block, static_cast<int32_t>(newWidth), OwnPixels(from), from->mWidth, from->mHeight, left, top, right,
                 bottom);
  SetPixelBuffer(receiving, block, static_cast<int32_t>(newWidth), static_cast<int32_t>(newHeight));
  InvalidateLayerToRoot(receivingNode);
  return 0;
}
