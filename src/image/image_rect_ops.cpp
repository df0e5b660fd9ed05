// Operations that combine one picture into another at a position (copy with
// opacity, blend, cross-fade, keep differing or equal pixels). The source is
// placed with its top-left pixel at (x, y) of the target and clipped to it;
// each clipped row goes through one row primitive.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "core/object_tree.h"
#include "image/image_operations.h"
#include "image/pixel_primitives.h"
#include "layer/composition.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"

namespace {

bool HasPixels(const LayerRecord* record) {
  return record != nullptr && record->mPixels != nullptr && record->mPixelAlloc != nullptr;
}

// The source's pixels as the operation reads them: a copy when the target
// is the same record, so that rows already written are never read again.
class SourceView {
 public:
  SourceView(const LayerRecord* source, const LayerRecord* target) : mPixels(source->mPixels) {
    if (source == target) {
      size_t bytes = static_cast<size_t>(source->mWidth) * static_cast<size_t>(source->mHeight) * 4;
      mCopy.assign(source->mPixels, source->mPixels + bytes);
      mPixels = mCopy.data();
    }
  }
  const uint8_t* Row(const LayerRecord* source, int64_t x, int64_t y) const {
    return mPixels + (static_cast<size_t>(y) * static_cast<size_t>(source->mWidth) + static_cast<size_t>(x)) * 4;
  }

 private:
  const uint8_t* mPixels;
  std::vector<uint8_t> mCopy;
};

uint8_t* TargetRow(LayerRecord* target, int64_t x, int64_t y) {
  return target->mPixelAlloc +
         (static_cast<size_t>(y) * static_cast<size_t>(target->mWidth) + static_cast<size_t>(x)) * 4;
}

// A source of width x height at (x, y) clipped to the target's picture;
// false when nothing of it lies inside.
bool PlaceOnTarget(BlitGeometry* geometry, int64_t x, int64_t y, int64_t width, int64_t height,
                   const LayerRecord* target) {
  geometry->mSrcX = x;
  geometry->mSrcY = y;
  geometry->mWidth = width;
  geometry->mHeight = height;
  geometry->mClipX = 0;
  geometry->mClipY = 0;
  geometry->mClipWidth = target->mWidth;
  geometry->mClipHeight = target->mHeight;
  ClipBlitRect(geometry);
  return geometry->mOutWidth >= 1 && geometry->mOutHeight >= 1;
}

// Runs `row(targetRow, sourceRow, bytes)` for every clipped row.
template <typename RowFn>
int CombineRows(ObjectTreeNode* sourceNode, ObjectTreeNode* targetNode, int64_t x, int64_t y, RowFn row) {
  LayerRecord* source = LayerRecordOf(sourceNode);
  LayerRecord* target = LayerRecordOf(targetNode);
  if (!HasPixels(source) || !HasPixels(target)) return 0;
  BlitGeometry geometry;
  if (PlaceOnTarget(&geometry, x, y, source->mWidth, source->mHeight, target)) {
    SourceView view(source, target);
    size_t bytes = static_cast<size_t>(geometry.mOutWidth) * 4;
    for (int64_t r = 0; r < geometry.mOutHeight; ++r) {
      row(TargetRow(target, geometry.mDstX, geometry.mDstY + r),
          view.Row(source, geometry.mSrcOffsetX, geometry.mSrcOffsetY + r), bytes);
    }
  }
  InvalidateLayerToRoot(targetNode);
  return 0;
}

}  // namespace

int CopyImageRect(ObjectTreeNode* source, ObjectTreeNode* target, int64_t x, int64_t y) {
  LayerRecord* from = LayerRecordOf(source);
  LayerRecord* to = LayerRecordOf(target);
  if (!HasPixels(from) || !HasPixels(to) || from->mOpacity == 0) return 0;
  to->mHasAlpha = 1;
  int opacity = from->mOpacity;
  return CombineRows(source, target, x, y, [opacity](uint8_t* dst, const uint8_t* src, size_t bytes) {
    if (opacity == 256) {
      g_PixelPrimitives.mAlphaOverRow(dst, src, bytes);
    } else {
      g_PixelPrimitives.mAlphaOverRowSourceOpacity(dst, src, opacity, bytes);
    }
  });
}

int BlendImageRect(ObjectTreeNode* source, ObjectTreeNode* target, int64_t x, int64_t y) {
  LayerRecord* from = LayerRecordOf(source);
  LayerRecord* to = LayerRecordOf(target);
  if (!HasPixels(from) || !HasPixels(to)) return 0;
  to->mHasAlpha = 1;
  int sourceOpacity = from->mOpacity;
  int targetOpacity = to->mOpacity;
  return CombineRows(source, target, x, y,
                     [sourceOpacity, targetOpacity](uint8_t* dst, const uint8_t* src, size_t bytes) {
                       if (sourceOpacity == 256) {
                         g_PixelPrimitives.mAlphaOverRowDestOpacity(dst, src, targetOpacity, bytes);
                       } else {
                         g_PixelPrimitives.mAlphaOverRowBothOpacity(dst, src, targetOpacity, sourceOpacity, bytes);
                       }
                     });
}

int CrossFadeImageRect(ObjectTreeNode* first, ObjectTreeNode* second, ObjectTreeNode* output, int64_t x, int64_t y,
                       int64_t weight) {
  LayerRecord* a = LayerRecordOf(first);
  LayerRecord* b = LayerRecordOf(second);
  LayerRecord* out = LayerRecordOf(output);
  if (!HasPixels(a) || !HasPixels(b) || !HasPixels(out)) return 0;
  out->mHasAlpha = 1;
  // Both sources are read at the same coordinates: only the part they
  // share is placed, so neither is read outside its picture.
  BlitGeometry geometry;
  int64_t width = std::min(a->mWidth, b->mWidth);
  int64_t height = std::min(a->mHeight, b->mHeight);
  int fade = static_cast<int>(std::clamp<int64_t>(weight, 0, 255)) + 1;
  if (PlaceOnTarget(&geometry, x, y, width, height, out)) {
    SourceView viewA(a, out);
    SourceView viewB(b, out);
    size_t bytes = static_cast<size_t>(geometry.mOutWidth) * 4;
    for (int64_t r = 0; r < geometry.mOutHeight; ++r) {
      g_PixelPrimitives.mCrossFadeRow(TargetRow(out, geometry.mDstX, geometry.mDstY + r),
                                      viewA.Row(a, geometry.mSrcOffsetX, geometry.mSrcOffsetY + r),
                                      viewB.Row(b, geometry.mSrcOffsetX, geometry.mSrcOffsetY + r), fade, bytes);
    }
  }
  InvalidateLayerToRoot(output);
  return 0;
}

int KeepDifferingPixels(ObjectTreeNode* source, ObjectTreeNode* target, int64_t x, int64_t y) {
  LayerRecord* to = LayerRecordOf(target);
  if (!HasPixels(LayerRecordOf(source)) || !HasPixels(to)) return 0;
  to->mHasAlpha = 1;
  return CombineRows(source, target, x, y, [](uint8_t* dst, const uint8_t* src, size_t bytes) {
    for (size_t i = 0; i < bytes; i += 4) {
      if (std::memcmp(dst + i, src + i, 4) == 0) {
        std::memset(dst + i, 0, 4);
      } else {
        std::memcpy(dst + i, src + i, 4);
      }
    }
  });
}

int KeepEqualPixels(ObjectTreeNode* source, ObjectTreeNode* target, int64_t x, int64_t y) {
  LayerRecord* to = LayerRecordOf(target);
  if (!HasPixels(LayerRecordOf(source)) || !HasPixels(to)) return 0;
  to->mHasAlpha = 1;
  return CombineRows(source, target, x, y, [](uint8_t* dst, const uint8_t* src, size_t bytes) {
    for (size_t i = 0; i < bytes; i += 4) {
      if (std::memcmp(dst + i, src + i, 4) != 0) std::memset(dst + i, 0, 4);
    }
  });
}
