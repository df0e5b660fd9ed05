#include "image/image_rotation.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "core/object_tree.h"
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

size_t PixelOffset(int64_t index) { return static_cast<size_t>(index) * 4; }

// The 16.16 mapping of an output pixel to its source position, walked
// incrementally: +Kc and +Ks per column, -Ks and +Kc per row.
struct RotationMap {
  int64_t mCos = 0;
  int64_t mSin = 0;
  int64_t mCentreX = 0;
  int64_t mCentreY = 0;
};

RotationMap MakeRotationMap(int32_t width, int32_t height, int32_t angle) {
  long double radians = static_cast<long double>(angle) * 3.1415926535L / 180;
  RotationMap map;
  map.mCos = static_cast<int64_t>(65536 * std::cos(radians));
  map.mSin = static_cast<int64_t>(65536 * std::sin(radians));
  map.mCentreX = width / 2;
  map.mCentreY = height / 2;
  return map;
}

// Angles 0 and 180 are exact copies; every other angle goes through the
// mapping with `pixel(out, sx, sy)` choosing the sample.
template <typename PixelFn>
void Rotate(uint8_t* out, const uint8_t* source, int32_t width, int32_t height, int32_t angle, PixelFn pixel) {
  size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (angle == 0) {
    g_PixelPrimitives.mCopyBytes(out, source, count * 4);
    return;
  }
  if (angle == 180) {
    for (size_t i = 0; i < count; ++i) std::memcpy(out + i * 4, source + (count - 1 - i) * 4, 4);
    return;
  }
  RotationMap map = MakeRotationMap(width, height, angle);
  int64_t rowX = map.mCentreX * 65536 - map.mCos * map.mCentreX + map.mSin * map.mCentreY;
  int64_t rowY = map.mCentreY * 65536 - map.mSin * map.mCentreX - map.mCos * map.mCentreY;
  for (int32_t y = 0; y < height; ++y) {
    int64_t sx = rowX;
    int64_t sy = rowY;
    uint8_t* o = out + PixelOffset(int64_t{y} * width);
    for (int32_t x = 0; x < width; ++x) {
      pixel(o + PixelOffset(x), sx, sy, map);
      sx += map.mCos;
      sy += map.mSin;
    }
    rowX -= map.mSin;
    rowY += map.mCos;
  }
}

void CopySample(uint8_t* o, const uint8_t* source, int32_t width, int32_t height, int64_t x, int64_t y) {
  if (x < 0 || y < 0 || x >= width || y >= height) {
    std::memset(o, 0, 4);
    return;
  }
  std::memcpy(o, source + PixelOffset(y * width + x), 4);
}

int RotateInto(ObjectTreeNode* source, ObjectTreeNode* destination, int64_t intoDestination, int64_t angle,
               void (*kernel)(uint8_t*, const uint8_t*, int32_t, int32_t, int32_t)) {
  LayerRecord* from = LayerRecordOf(source);
  if (from == nullptr || OwnPixels(from) == nullptr) return 0;
  ObjectTreeNode* receivingNode = intoDestination != 0 ? destination : source;
  LayerRecord* receiving = LayerRecordOf(receivingNode);
  if (receiving == nullptr) return 0;
  int32_t w = from->mWidth;
  int32_t h = from->mHeight;
  int32_t normalised = NormaliseRotationAngle(angle);
  // The destination's own block takes the picture only when it has the
  // same shape (not merely the same pixel count) and is not the source.
  bool existing = intoDestination != 0 && receiving != from && receiving->mPixelAlloc != nullptr &&
                  receiving->mWidth == w && receiving->mHeight == h && receiving->mBufferWidth == w &&
                  receiving->mBufferHeight == h;
  InvalidateLayerToRoot(receivingNode);
  if (existing) {
    if (kernel != nullptr) kernel(receiving->mPixelAlloc, OwnPixels(from), w, h, normalised);
  } else {
    uint8_t* block = AllocPixelBuffer(nullptr, w, h, nullptr);
    if (block == nullptr) return -1;
    if (kernel != nullptr) kernel(block, OwnPixels(from), w, h, normalised);
    SetPixelBuffer(receiving, block, w, h);
  }
  receiving->mHasAlpha = normalised % 180 == 0 ? from->mHasAlpha : 1;
  InvalidateLayerToRoot(receivingNode);
  return 0;
}

}  // namespace

int32_t NormaliseRotationAngle(int64_t angle) {
  auto remainder = static_cast<int32_t>(angle % 360);
  return remainder < 0 ? remainder + 360 : remainder;
}

void RotateNearestA(uint8_t* out, const uint8_t* source, int32_t width, int32_t height, int32_t angle) {
  Rotate(out, source, width, height, angle, [&](uint8_t* o, int64_t sx, int64_t sy, const RotationMap&) {
    CopySample(o, source, width, height, sx >> 16, sy >> 16);
  });
}

void RotateNearestB(uint8_t* out, const uint8_t* source, int32_t width, int32_t height, int32_t angle) {
  Rotate(out, source, width, height, angle, [&](uint8_t* o, int64_t sx, int64_t sy, const RotationMap&) {
    CopySample(o, source, width, height, sx / 65536, sy / 65536);
  });
}

void RotateInterpolated(uint8_t* out, const uint8_t* source, int32_t width, int32_t height, int32_t angle) {
  Rotate(out, source, width, height, angle, [&](uint8_t* o, int64_t sx, int64_t sy, const RotationMap& map) {
    int64_t x0 = sx >> 16;
    int64_t y0 = sy >> 16;
    // The second sample is where the next output pixel's source starts.
    int64_t x1 = (sx + map.mCos) >> 16;
    int64_t y1 = (sy + map.mSin) >> 16;
    auto inside = [&](int64_t x, int64_t y) { return x >= 0 && y >= 0 && x < width && y < height; };
    if (!inside(x0, y0) || !inside(x1, y0) || !inside(x0, y1) || !inside(x1, y1)) {
      std::memset(o, 0, 4);
      return;
    }
    auto fx = static_cast<int32_t>((sx >> 8) & 255);
    auto fy = static_cast<int32_t>((sy >> 8) & 255);
    const uint8_t* p00 = source + PixelOffset(y0 * width + x0);
    const uint8_t* p10 = source + PixelOffset(y0 * width + x1);
    const uint8_t* p01 = source + PixelOffset(y1 * width + x0);
    const uint8_t* p11 = source + PixelOffset(y1 * width + x1);
    for (int c = 0; c < 4; ++c) {
      int32_t a = p00[c] + (((p10[c] - p00[c]) * fx) >> 8);
      int32_t b = p01[c] + (((p11[c] - p01[c]) * fx) >> 8);
      o[c] = static_cast<uint8_t>(a + (((b - a) * fy) >> 8));
    }
  });
}

int RotateImage(ObjectTreeNode* source, ObjectTreeNode* destination, int64_t intoDestination, int32_t type,
                int64_t angle) {
  // Another type leaves the new block unwritten.
  auto kernel = type == 11 ? RotateNearestA : type == 12 ? RotateNearestB : nullptr;
  return RotateInto(source, destination, intoDestination, angle, kernel);
}

int RotateImageSmooth(ObjectTreeNode* source, ObjectTreeNode* destination, int64_t intoDestination, int64_t angle) {
  return RotateInto(source, destination, intoDestination, angle, RotateInterpolated);
}
