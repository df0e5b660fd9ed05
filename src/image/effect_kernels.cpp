// Colour, fill and copy kernels of the numbered effects, each spread over
// the pixel workers in bands of rows.
#include "image/effect_kernels.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/effect_rows.h"
#include "image/pixel_primitives.h"

namespace {

uint8_t* OutAt(uint8_t* out, int32_t width, int64_t u, int64_t v) {
  return out + (static_cast<size_t>(v) * static_cast<size_t>(width) + static_cast<size_t>(u)) * 4;
}

// Runs row(out row, source row, w) for every row of the region into a w x h
// block, in bands.
template <typename RowFn>
void MapRows(uint8_t* out, const EffectRegion& region, const RowFn& row) {
  int32_t w = region.Width();
  RunEffectBands(region.Height(), w, [&](int64_t first, int64_t end, int) {
    for (int64_t v = first; v < end; ++v) {
      row(OutAt(out, w, 0, v), region.At(region.mX0, region.mY0 + v), static_cast<size_t>(w));
    }
  });
}

// Runs row(first pixel, w) over the region's part of every region row of a
// W x H block, in place, in bands.
template <typename RowFn>
void ChangeRows(uint8_t* block, const EffectRegion& region, const RowFn& row) {
  int32_t w = region.Width();
  RunEffectBands(region.Height(), w, [&](int64_t first, int64_t end, int) {
    for (int64_t v = first; v < end; ++v) {
      row(block + (static_cast<size_t>(region.mY0 + v) * static_cast<size_t>(region.mSourceWidth) +
                   static_cast<size_t>(region.mX0)) * 4,
          static_cast<size_t>(w));
    }
  });
}

}  // namespace

void ApplyBrightnessEffect(uint8_t* out, const EffectRegion& region, int64_t level) {
  // Beyond a step of 255 every colour clamps the same way.
  int delta = static_cast<int>(std::clamp<int64_t>(level, -127, 383) - 128);
  const EffectRowKernels& rows = ActiveEffectRows();
  MapRows(out, region, [&](uint8_t* o, const uint8_t* in, size_t n) { rows.mBrightness(o, in, n, delta); });
}

void ApplyNegativeEffect(uint8_t* out, const EffectRegion& region) {
  const EffectRowKernels& rows = ActiveEffectRows();
  MapRows(out, region, [&](uint8_t* o, const uint8_t* in, size_t n) { rows.mNegative(o, in, n); });
}

void ApplySepiaEffect(uint8_t* out, const EffectRegion& region) {
  const EffectRowKernels& rows = ActiveEffectRows();
  MapRows(out, region, [&](uint8_t* o, const uint8_t* in, size_t n) { rows.mSepia(o, in, n); });
}

void ApplyThresholdEffect(uint8_t* block, const EffectRegion& region, int64_t threshold) {
  // A limit of 0 or less makes every pixel white, one above 765 none.
  int limit = 3 * static_cast<int>(std::clamp<int64_t>(threshold, 0, 256));
  const EffectRowKernels& rows = ActiveEffectRows();
  ChangeRows(block, region, [&](uint8_t* row, size_t n) { rows.mThreshold(row, n, limit); });
}

void ApplyFillEffect(uint8_t* block, const EffectRegion& region, int64_t colour, int64_t type, uint8_t* hasAlpha) {
  bool wholeImage = region.Width() == region.mSourceWidth && region.Height() == region.mSourceHeight;
  auto word = static_cast<uint32_t>(colour);
  const EffectRowKernels& rows = ActiveEffectRows();
  switch (type) {
    case 1: {
      uint32_t opaque = (word & 0xFFFFFFu) | 0xFF000000u;
      ChangeRows(block, region, [&](uint8_t* row, size_t n) { g_PixelPrimitives.mFillDwords(row, n * 4, opaque); });
      break;
    }
    case 2: {
      auto alpha = static_cast<uint8_t>(word & 0xFF);
      ChangeRows(block, region, [&](uint8_t* row, size_t n) { rows.mFillAlpha(row, n, alpha); });
      *hasAlpha = (alpha != 255 || !wholeImage) ? 1 : 0;
      break;
    }
    case 3:
      ChangeRows(block, region, [&](uint8_t* row, size_t n) { g_PixelPrimitives.mFillDwords(row, n * 4, word); });
      *hasAlpha = (word <= 0xFEFFFFFFu || !wholeImage) ? 1 : 0;
      break;
    default:
      break;
  }
}

void ApplyAlphaRampEffect(uint8_t* block, const EffectRegion& region, int32_t imageWidth, int64_t positionA,
                          int64_t positionB, uint8_t* hasAlpha) {
  *hasAlpha = 1;
  int64_t a = positionA;
  int64_t b = positionB;
  if (a > b && a < 0) return;
  int64_t width = std::clamp<int64_t>(imageWidth, 0, region.mSourceWidth);
  // The factor f of column x, 0..255; -1 keeps the column. The positions
  // come from scripts as any 64-bit values, so the ramp is computed in 128
  // bits, where no difference or product can overflow.
  auto factor = [a, b](int64_t x) -> int64_t {
    using Wide = __int128;
    if (a < b) {
      if (x < a) return -1;
      if (x > b) return 0;
      return static_cast<int64_t>(255 - (Wide{x} - a) * 255 / (Wide{b} - a));
    }
    if (a > b) {
      if (x < b) return 0;
      if (x > a) return -1;
      return static_cast<int64_t>((Wide{x} - b) * 255 / (Wide{a} - b));
    }
    return x > a ? 0 : -1;
  };
  // A kept column is scaled by 255/255; the rows change only from the first
  // to the last column that is not kept.
  std::vector<uint32_t> factors(static_cast<size_t>(width));
  int64_t first = width;
  int64_t last = -1;
  for (int64_t x = 0; x < width; ++x) {
    int64_t f = factor(x);
    factors[static_cast<size_t>(x)] = f < 0 ? 255u : static_cast<uint32_t>(f);
    if (f >= 0) {
      first = std::min(first, x);
      last = x;
    }
  }
  if (first > last) return;
  EffectRegion changed = region;
  changed.mX0 = first;
  changed.mX1 = last;
  const EffectRowKernels& rows = ActiveEffectRows();
  const uint32_t* columnFactors = factors.data() + first;
  ChangeRows(block, changed, [&](uint8_t* row, size_t n) { rows.mScaleAlpha(row, columnFactors, n); });
}

void CopyRectRows(uint8_t* out, const EffectRegion& region) {
  MapRows(out, region, [](uint8_t* o, const uint8_t* in, size_t n) { g_PixelPrimitives.mCopyBytes(o, in, n * 4); });
}

void ApplyMirrorEffect(uint8_t* out, const EffectRegion& region) {
  // The axis is the centre line of the whole image, not of the region:
  // output column u takes source column W-1-(x0+u).
  const EffectRowKernels& rows = ActiveEffectRows();
  int64_t lastColumn = region.mSourceWidth - 1 - region.mX0;
  int32_t w = region.Width();
  RunEffectBands(region.Height(), w, [&](int64_t first, int64_t end, int) {
    for (int64_t v = first; v < end; ++v) {
      rows.mReverse(OutAt(out, w, 0, v), region.At(lastColumn, region.mY0 + v), static_cast<size_t>(w));
    }
  });
}

void ApplyVerticalFlipEffect(uint8_t* out, const EffectRegion& region) {
  int32_t w = region.Width();
  RunEffectBands(region.Height(), w, [&](int64_t first, int64_t end, int) {
    for (int64_t v = first; v < end; ++v) {
      g_PixelPrimitives.mCopyBytes(OutAt(out, w, 0, v), region.At(region.mX0, region.mY1 - v),
                                   static_cast<size_t>(w) * 4);
    }
  });
}
