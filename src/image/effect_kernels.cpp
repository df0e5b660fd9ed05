// Colour, fill, copy and geometry kernels of the numbered effects.
#include "image/effect_kernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "image/pixel_primitives.h"
#include "image/runtime_random.h"

namespace {

uint8_t ClampByte(int64_t value) { return static_cast<uint8_t>(std::clamp<int64_t>(value, 0, 255)); }

uint8_t* OutAt(uint8_t* out, int32_t width, int64_t u, int64_t v) {
  return out + (static_cast<size_t>(v) * static_cast<size_t>(width) + static_cast<size_t>(u)) * 4;
}

// Runs `pixel(out, in)` for every pixel of the region into a w x h block.
template <typename PixelFn>
void MapPixels(uint8_t* out, const EffectRegion& region, PixelFn pixel) {
  int32_t w = region.Width();
  for (int64_t y = region.mY0; y <= region.mY1; ++y) {
    const uint8_t* in = region.At(region.mX0, y);
    uint8_t* o = OutAt(out, w, 0, y - region.mY0);
    for (int32_t u = 0; u < w; ++u) pixel(o + u * 4, in + u * 4);
  }
}

// Runs `pixel(p)` for every pixel of the region of a W x H block, in place.
template <typename PixelFn>
void ChangePixels(uint8_t* block, const EffectRegion& region, PixelFn pixel) {
  for (int64_t y = region.mY0; y <= region.mY1; ++y) {
    uint8_t* p = block + (static_cast<size_t>(y) * region.mSourceWidth + static_cast<size_t>(region.mX0)) * 4;
    for (int64_t x = region.mX0; x <= region.mX1; ++x, p += 4) pixel(p);
  }
}

// Script values may be any 64-bit number; a displacement is at most a few
// image sides, so anything wider is cut before it becomes an integer.
int64_t TruncateBounded(double value) {
  constexpr double kLimit = 1e12;
  if (!(value == value)) return 0;
  return static_cast<int64_t>(std::clamp(value, -kLimit, kLimit));
}

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// The 24 orders of a 2x2 block's pixels: pixel k takes what pixel
// kScatterOrders[n][k] held.
constexpr uint8_t kScatterOrders[24][4] = {
    {3, 2, 1, 0}, {2, 3, 1, 0}, {3, 1, 2, 0}, {1, 3, 2, 0}, {2, 1, 3, 0}, {1, 2, 3, 0}, {3, 2, 0, 1}, {2, 3, 0, 1},
    {3, 0, 2, 1}, {0, 3, 2, 1}, {2, 0, 3, 1}, {0, 2, 3, 1}, {3, 1, 0, 2}, {1, 3, 0, 2}, {3, 0, 1, 2}, {0, 3, 1, 2},
    {1, 0, 3, 2}, {0, 1, 3, 2}, {2, 1, 0, 3}, {1, 2, 0, 3}, {2, 0, 1, 3}, {0, 2, 1, 3}, {1, 0, 2, 3}, {0, 1, 2, 3}};

}  // namespace

void ApplyBrightnessEffect(uint8_t* out, const EffectRegion& region, int64_t level) {
  int64_t delta = level - 128;
  MapPixels(out, region, [delta](uint8_t* o, const uint8_t* in) {
    for (int c = 0; c < 3; ++c) o[c] = ClampByte(in[c] + delta);
    o[3] = in[3];
  });
}

void ApplyNegativeEffect(uint8_t* out, const EffectRegion& region) {
  MapPixels(out, region, [](uint8_t* o, const uint8_t* in) {
    for (int c = 0; c < 3; ++c) o[c] = static_cast<uint8_t>(255 - in[c]);
    o[3] = in[3];
  });
}

void ApplySepiaEffect(uint8_t* out, const EffectRegion& region) {
  MapPixels(out, region, [](uint8_t* o, const uint8_t* in) {
    // Luminance scaled by 2^20, then three fixed tints.
    int64_t y = (117 * int64_t{in[0]} + 601 * int64_t{in[1]} + 306 * int64_t{in[2]}) * 1024;
    o[0] = ClampByte((y - 46347025) / 1048576);
    o[1] = ClampByte((y - 287585) / 1048576);
    o[2] = ClampByte((y + 18748416) / 1048576);
    o[3] = in[3];
  });
}

void ApplyThresholdEffect(uint8_t* block, const EffectRegion& region, int64_t threshold) {
  int64_t limit = 3 * threshold;
  ChangePixels(block, region, [limit](uint8_t* p) {
    uint8_t value = int64_t{p[0]} + p[1] + p[2] >= limit ? 255 : 0;
    p[0] = p[1] = p[2] = value;
  });
}

void ApplyFillEffect(uint8_t* block, const EffectRegion& region, int64_t colour, int64_t type, uint8_t* hasAlpha) {
  bool wholeImage = region.Width() == region.mSourceWidth && region.Height() == region.mSourceHeight;
  auto word = static_cast<uint32_t>(colour);
  switch (type) {
    case 1: {
      uint32_t opaque = (word & 0xFFFFFFu) | 0xFF000000u;
      ChangePixels(block, region, [opaque](uint8_t* p) { std::memcpy(p, &opaque, 4); });
      break;
    }
    case 2: {
      auto alpha = static_cast<uint8_t>(word & 0xFF);
      ChangePixels(block, region, [alpha](uint8_t* p) { p[3] = alpha; });
      *hasAlpha = (alpha != 255 || !wholeImage) ? 1 : 0;
      break;
    }
    case 3:
      ChangePixels(block, region, [word](uint8_t* p) { std::memcpy(p, &word, 4); });
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
  for (int64_t y = region.mY0; y <= region.mY1; ++y) {
    uint8_t* row = block + static_cast<size_t>(y) * region.mSourceWidth * 4;
    for (int64_t x = 0; x < width; ++x) {
      int64_t f = factor(x);
      if (f < 0) continue;
      row[x * 4 + 3] = static_cast<uint8_t>(row[x * 4 + 3] * f / 255);
    }
  }
}

void CopyRectRows(uint8_t* out, const EffectRegion& region) {
  int32_t w = region.Width();
  for (int64_t y = region.mY0; y <= region.mY1; ++y) {
    g_PixelPrimitives.mCopyBytes(OutAt(out, w, 0, y - region.mY0), region.At(region.mX0, y),
                                 static_cast<size_t>(w) * 4);
  }
}

void ApplyMirrorEffect(uint8_t* out, const EffectRegion& region) {
  // The axis is the centre line of the whole image, not of the region.
  int32_t w = region.Width();
  for (int64_t y = region.mY0; y <= region.mY1; ++y) {
    uint8_t* o = OutAt(out, w, 0, y - region.mY0);
    for (int32_t u = 0; u < w; ++u) std::memcpy(o + u * 4, region.At(region.mSourceWidth - 1 - (region.mX0 + u), y), 4);
  }
}

void ApplyVerticalFlipEffect(uint8_t* out, const EffectRegion& region) {
  int32_t w = region.Width();
  for (int64_t v = 0; v < region.Height(); ++v) {
    std::memcpy(OutAt(out, w, 0, v), region.At(region.mX0, region.mY1 - v), static_cast<size_t>(w) * 4);
  }
}

void ApplyMosaicEffect(uint8_t* out, const EffectRegion& region, int64_t cellSize) {
  int64_t s = std::max<int64_t>(cellSize, 1);
  int32_t w = region.Width();
  // Grid lines at cx + k*s and cy + k*s, cut by the region.
  int64_t cx = (region.mX1 + 1) / 2;
  int64_t cy = (region.mY1 + 1) / 2;
  int64_t top = region.mY0;
  while (top <= region.mY1) {
    int64_t bottom = std::min(region.mY1, cy + (FloorDiv(top - cy, s) + 1) * s - 1);
    int64_t left = region.mX0;
    while (left <= region.mX1) {
      int64_t right = std::min(region.mX1, cx + (FloorDiv(left - cx, s) + 1) * s - 1);
      uint32_t sums[3] = {};
      for (int64_t y = top; y <= bottom; ++y) {
        for (int64_t x = left; x <= right; ++x) {
          const uint8_t* p = region.At(x, y);
          for (int c = 0; c < 3; ++c) sums[c] += p[c];
        }
      }
      auto count = static_cast<uint32_t>((bottom - top + 1) * (right - left + 1));
      for (int64_t y = top; y <= bottom; ++y) {
        for (int64_t x = left; x <= right; ++x) {
          uint8_t* o = OutAt(out, w, x - region.mX0, y - region.mY0);
          for (int c = 0; c < 3; ++c) o[c] = static_cast<uint8_t>(sums[c] / count);
          o[3] = region.At(x, y)[3];
        }
      }
      left = right + 1;
    }
    top = bottom + 1;
  }
}

void ApplyScatterEffect(uint8_t* out, const EffectRegion& region, int64_t twicePasses) {
  CopyRectRows(out, region);
  int64_t passes = twicePasses / 2;
  int64_t w = region.Width();
  int64_t h = region.Height();
  auto scatter = [out, w](int64_t u, int64_t v) {
    uint8_t* pixels[4] = {OutAt(out, static_cast<int32_t>(w), u, v), OutAt(out, static_cast<int32_t>(w), u + 1, v),
                          OutAt(out, static_cast<int32_t>(w), u, v + 1),
                          OutAt(out, static_cast<int32_t>(w), u + 1, v + 1)};
    uint8_t before[4][3];
    for (int k = 0; k < 4; ++k) std::memcpy(before[k], pixels[k], 3);
    const uint8_t* order = kScatterOrders[RuntimeRandom() % 24];
    for (int k = 0; k < 4; ++k) std::memcpy(pixels[k], before[order[k]], 3);
  };
  for (int64_t i = 0; i < passes; ++i) {
    int64_t perRow = w - 1 - i > 0 ? (w - 1 - i + 1) / 2 : 0;
    for (int64_t v = i; v < h - 1; v += 2) {
      for (int64_t u = i; u < w - 1; u += 2) scatter(u, v);
    }
    for (int64_t v = h - 2; v >= i; v -= 2) {
      for (int64_t n = 0, u = w - 2 - i; n < perRow; ++n, u -= 2) scatter(u, v);
    }
  }
}

void ApplyWaveEffect(uint8_t* out, const EffectRegion& region, int64_t amplitude, int64_t phase, int type) {
  // Degrees to radians with the single-precision factor.
  const double toRadians = static_cast<double>(0.017453292f);
  int64_t ah = (type == 1 || type == 3) ? amplitude : 0;
  int64_t av = (type == 2 || type == 3) ? amplitude : 0;
  if (type < 1 || type > 3) ah = av = 0;
  int32_t w = region.Width();
  // The angles are summed as reals: a script's phase may be any integer. A
  // column's shift is the same on every row, so it is worked out once.
  std::vector<int64_t> columnShift(static_cast<size_t>(w));
  for (int64_t x = region.mX0; x <= region.mX1; ++x) {
    double columnAngle = static_cast<double>(x) + static_cast<double>(phase);
    columnShift[static_cast<size_t>(x - region.mX0)] =
        TruncateBounded(std::cos(columnAngle * toRadians) * static_cast<double>(av));
  }
  for (int64_t y = region.mY0; y <= region.mY1; ++y) {
    double rowAngle = static_cast<double>(y) + static_cast<double>(phase);
    int64_t dx = TruncateBounded(static_cast<double>(ah) * std::sin(rowAngle * toRadians));
    uint8_t* o = OutAt(out, w, 0, y - region.mY0);
    for (int64_t x = region.mX0; x <= region.mX1; ++x) {
      int64_t dy = columnShift[static_cast<size_t>(x - region.mX0)];
      // A column past the region's right edge takes the one before that edge.
      int64_t sx = x + dx;
      if (sx < region.mX0) sx = region.mX0;
      if (sx > region.mX1) sx = std::max(region.mX0, region.mX1 - 1);
      int64_t sy = std::clamp(y + dy, region.mY0, region.mY1);
      std::memcpy(o + (x - region.mX0) * 4, region.At(sx, sy), 4);
    }
  }
}

namespace {

// The swirl's distance map, kept for the size it was made for.
struct SwirlDistanceMap {
  std::vector<uint16_t> mDistances;
  int32_t mWidth = 0;
  int32_t mHeight = 0;
};
SwirlDistanceMap g_SwirlMap;

const uint16_t* SwirlDistances(int32_t w, int32_t h) {
  if (g_SwirlMap.mWidth != w || g_SwirlMap.mHeight != h || g_SwirlMap.mDistances.empty()) {
    g_SwirlMap.mDistances.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    int32_t gx = w / 2;
    int32_t gy = h / 2;
    for (int32_t v = 0; v < h; ++v) {
      for (int32_t u = 0; u < w; ++u) {
        g_SwirlMap.mDistances[static_cast<size_t>(v) * w + u] =
            static_cast<uint16_t>(std::hypot(static_cast<double>(std::abs(u - gx)), static_cast<double>(std::abs(v - gy))));
      }
    }
    g_SwirlMap.mWidth = w;
    g_SwirlMap.mHeight = h;
  }
  return g_SwirlMap.mDistances.data();
}

}  // namespace

void ApplySwirlEffect(uint8_t* out, const EffectRegion& region, int64_t tenthsOfDegree) {
  int32_t w = region.Width();
  int32_t h = region.Height();
  auto steps = static_cast<int64_t>((std::hypot(static_cast<double>(w), static_cast<double>(h)) + 1) * 0.5 + 1);
  // Per radius step, the twist in 8.8 fixed point: P1/10 degrees at the
  // centre, falling linearly towards 0 at the last step.
  std::vector<int64_t> cosTable(static_cast<size_t>(steps));
  std::vector<int64_t> sinTable(static_cast<size_t>(steps));
  double angle = static_cast<double>(tenthsOfDegree) / 10.0;
  double step = static_cast<double>(tenthsOfDegree) / (static_cast<double>(steps) * 10.0);
  for (int64_t k = 0; k < steps; ++k) {
    double radians = angle * 0.017453292519444445;
    cosTable[static_cast<size_t>(k)] = static_cast<int64_t>(std::cos(radians) * 256);
    sinTable[static_cast<size_t>(k)] = static_cast<int64_t>(std::sin(radians) * 256);
    angle -= step;
  }
  const uint16_t* distances = SwirlDistances(w, h);
  int64_t gx = w / 2;
  int64_t gy = h / 2;
  for (int64_t v = 0; v < h; ++v) {
    for (int64_t u = 0; u < w; ++u) {
      auto k = std::min<int64_t>(distances[static_cast<size_t>(v) * w + static_cast<size_t>(u)], steps - 1);
      int64_t c = cosTable[static_cast<size_t>(k)];
      int64_t s = sinTable[static_cast<size_t>(k)];
      int64_t o = gx + (((gy - v) * s + (u - gx) * c) >> 8);
      int64_t t = (((u - gx) * s + (v - gy) * c) >> 8) + gy;
      o = std::clamp<int64_t>(o, 0, w - 1);
      t = std::clamp<int64_t>(t, 0, h - 1);
      std::memcpy(OutAt(out, w, u, v), region.At(region.mX0 + o, region.mY0 + t), 4);
    }
  }
}

void ResetEffectKernelState() {
  g_SwirlMap.mDistances.clear();
  g_SwirlMap.mDistances.shrink_to_fit();
  g_SwirlMap.mWidth = 0;
  g_SwirlMap.mHeight = 0;
}
