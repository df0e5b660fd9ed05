// The resize operation: picks the block that receives the scaled picture
// (a new one, or the destination's own when it fits), runs the scaler of
// the mode and installs the result.
#include <algorithm>
#include <cstdint>

#include "core/object_tree.h"
#include "core/settings.h"
#include "image/image_operations.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "image/resample.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"
#include "render/scalers.h"

namespace {

enum ResizeMode : int32_t {
  kResizeNearest = 10,
  kResizeBilinear = 21,
  kResizeBicubic = 31,
  kResizeSmooth = 41,
  kResizeLanczos = 51,
};

// Coordinates reach the scalers as 32-bit values; the command keeps them
// inside the image, anything else is held to a range the scalers clip.
int32_t Narrow(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, -(int64_t{1} << 30), int64_t{1} << 30)); }

bool SideInRange(int64_t side) { return side >= 1 && side <= kMaxImageSide; }

// The region comes from scripts unclamped. Its corners are held to about
// five million pixels (in hundredths) either side of the picture, over 650
// of the largest image sides: the smooth scaler's 8.8 column offsets fit
// its 32-bit table and no span product of any scaler overflows.
int64_t HoldCorner(int64_t hundredths) {
  constexpr int64_t kCornerLimit = int64_t{1} << 29;
  return std::clamp(hundredths, -kCornerLimit, kCornerLimit);
}

void RunResizeMode(int32_t mode, uint8_t* out, const LayerRecord* source, int64_t x0, int64_t y0, int64_t x1,
                   int64_t y1, int64_t targetWidth, int64_t targetHeight) {
  int32_t w = Narrow(targetWidth / 100);
  int32_t h = Narrow(targetHeight / 100);
  int32_t sourceWidth = source->mBufferWidth;
  int32_t sourceHeight = source->mBufferHeight;
  const uint8_t* own = source->mPixelAlloc;
  switch (mode) {
    case kResizeNearest:
      ScaleImageNearestParallel(out, source->mPixels, Narrow(x0 / 100), Narrow(y0 / 100), Narrow(x1 / 100),
                                Narrow(y1 / 100), sourceWidth, sourceHeight, w, h);
      break;
    case kResizeBilinear:
      if (g_CpuFeatures[kCpuSse] != 0 && g_AllowSse != 0) {
        ScaleImageBilinearParallel(out, own, Narrow(x0), Narrow(y0), Narrow(x1), Narrow(y1), sourceWidth,
                                   sourceHeight, Narrow(targetWidth), Narrow(targetHeight));
      } else {
        ScaleImageBilinear(out, own, Narrow(x0), Narrow(y0), Narrow(x1), Narrow(y1), sourceWidth, sourceHeight,
                           Narrow(targetWidth), Narrow(targetHeight));
      }
      break;
    case kResizeBicubic:
      ResampleBicubic(out, own, x0 / 100, y0 / 100, x1 / 100, y1 / 100, sourceWidth, sourceHeight, w, h);
      break;
    case kResizeSmooth:
      ScaleImageSmoothThreaded(out, own, x0, y0, x1, y1, sourceWidth, sourceHeight, targetWidth, targetHeight);
      break;
    case kResizeLanczos: ResampleLanczos(out, own, sourceWidth, sourceHeight, w, h); break;
    default:
      // Another mode leaves the block as it is.
      break;
  }
}

}  // namespace

int ResizeImage(ObjectTreeNode* source, ObjectTreeNode* destination, int64_t x0, int64_t y0, int64_t x1, int64_t y1,
                int64_t targetWidth, int64_t targetHeight, int64_t intoDestination, int32_t mode) {
  LayerRecord* from = LayerRecordOf(source);
  if (from == nullptr) return 0;
  ObjectTreeNode* receivingNode = intoDestination != 0 ? destination : source;
  LayerRecord* receiving = LayerRecordOf(receivingNode);
  if (receiving == nullptr) return 0;
  InvalidateLayerToRoot(receivingNode);
  int64_t w = targetWidth / 100;
  int64_t h = targetHeight / 100;

  // The destination's own block is reused when the picture fits it exactly
  // or, with shrinking in place, when it is smaller on both sides. A record
  // that is also the source is never written while it is being read.
  enum class Reuse { kNone, kSameSize, kShrink } reuse = Reuse::kNone;
  if (intoDestination != 0 && receiving != from && receiving->mPixelAlloc != nullptr && SideInRange(w) &&
      SideInRange(h)) {
    if (w == receiving->mBufferWidth && h == receiving->mBufferHeight) {
      reuse = Reuse::kSameSize;
    } else if (receiving->mShrinkInPlace == 1 && w < receiving->mBufferWidth && h < receiving->mBufferHeight) {
      reuse = Reuse::kShrink;
    }
  }
  uint8_t* block = receiving->mPixelAlloc;
  if (reuse == Reuse::kNone) {
    // Every side is checked by the allocator (1..8192) before anything is
    // allocated.
    block = AllocPixelBuffer(nullptr, Narrow(w), Narrow(h), nullptr);
    if (block == nullptr) return -1;
  }
  receiving->mHasAlpha = from->mHasAlpha;
  if (from->mPixelAlloc != nullptr && (mode != kResizeNearest || from->mPixels != nullptr)) {
    RunResizeMode(mode, block, from, HoldCorner(x0), HoldCorner(y0), HoldCorner(x1), HoldCorner(y1), targetWidth,
                  targetHeight);
  }
  auto width = static_cast<int32_t>(w);
  auto height = static_cast<int32_t>(h);
  switch (reuse) {
    case Reuse::kNone:
      SetPixelBuffer(receiving, block, width, height);
      InvalidateLayerToRoot(receivingNode);
      break;
    case Reuse::kShrink:
      receiving->mWidth = receiving->mBufferWidth = width;
      receiving->mHeight = receiving->mBufferHeight = height;
      InvalidateLayerToRoot(receivingNode);
      break;
    case Reuse::kSameSize:
      break;
  }
  return 0;
}
