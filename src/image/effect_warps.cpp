// The wave and the swirl: effects that move whole pixels, spread over the
// pixel workers in bands of output rows. Their trigonometry is worked out
// once per row, column or radius step before the pixels are moved with
// integers only.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/effect_kernels.h"
#include "image/effect_rows.h"

namespace {

uint8_t* OutRow(uint8_t* out, int64_t width, int64_t v) {
  return out + static_cast<size_t>(v) * static_cast<size_t>(width) * 4;
}

// Script values may be any 64-bit number; a displacement of more than the
// region's side lands on the same edge as any larger one.
int32_t BoundedShift(double value, int64_t side) {
  if (!(value == value)) return 0;
  auto limit = static_cast<double>(side);
  return static_cast<int32_t>(std::clamp(value, -limit, limit));
}

// Degrees to radians with the single-precision factor.
const double kWaveRadians = static_cast<double>(0.017453292f);

struct WavePass {
  const EffectRegion& mRegion;
  const int32_t* mColumnShift;  // per output column, rows down
  bool mAnyColumnShift;
  int64_t mRowAmplitude;
  int64_t mPhase;
  uint8_t* mOut;
  const EffectRowKernels* mRows;
};

void WaveRows(const WavePass& pass, int64_t first, int64_t end) {
  const EffectRegion& region = pass.mRegion;
  const int32_t w = region.Width();
  const int32_t h = region.Height();
  const int32_t* columnShift = pass.mColumnShift;
  // A column past the region's right edge takes the one before that edge.
  const int32_t rightEdge = std::max(0, w - 2);
  const size_t pitch = static_cast<size_t>(region.mSourceWidth) * 4;
  const uint8_t* origin = region.At(region.mX0, region.mY0);
  const EffectRowKernels& rows = *pass.mRows;
  for (int64_t v = first; v < end; ++v) {
    double rowAngle = static_cast<double>(region.mY0 + v) + static_cast<double>(pass.mPhase);
    int32_t dx = BoundedShift(std::trunc(static_cast<double>(pass.mRowAmplitude) * std::sin(rowAngle * kWaveRadians)), w);
    uint8_t* o = OutRow(pass.mOut, w, v);
    // Output columns [inFirst, inEnd) read source columns u + dx.
    int32_t inFirst = std::clamp(-dx, 0, w);
    int32_t inEnd = std::clamp(w - dx, inFirst, w);
    if (!pass.mAnyColumnShift) {
      const uint8_t* in = origin + static_cast<size_t>(v) * pitch;
      for (int32_t u = 0; u < inFirst; ++u) std::memcpy(o + static_cast<size_t>(u) * 4, in, 4);
      std::memcpy(o + static_cast<size_t>(inFirst) * 4, in + static_cast<ptrdiff_t>(inFirst + dx) * 4,
                  static_cast<size_t>(inEnd - inFirst) * 4);
      for (int32_t u = inEnd; u < w; ++u) std::memcpy(o + static_cast<size_t>(u) * 4, in + rightEdge * 4, 4);
      continue;
    }
    WaveRow waveRow{origin, region.mSourceWidth, columnShift, static_cast<int32_t>(v), dx, inEnd, rightEdge, h};
    rows.mWaveRow(o, waveRow, 0, w);
  }
}

}  // namespace

void ApplyWaveEffect(uint8_t* out, const EffectRegion& region, int64_t amplitude, int64_t phase, int type) {
  int64_t ah = (type == 1 || type == 3) ? amplitude : 0;
  int64_t av = (type == 2 || type == 3) ? amplitude : 0;
  int32_t w = region.Width();
  int32_t h = region.Height();
  // The angles are summed as reals: a script's phase may be any integer. A
  // column's shift is the same on every row, so it is worked out once.
  std::vector<int32_t> columnShift(static_cast<size_t>(w));
  bool anyColumnShift = false;
  for (int64_t x = region.mX0; x <= region.mX1; ++x) {
    double columnAngle = static_cast<double>(x) + static_cast<double>(phase);
    int32_t dy = BoundedShift(std::trunc(std::cos(columnAngle * kWaveRadians) * static_cast<double>(av)), h);
    columnShift[static_cast<size_t>(x - region.mX0)] = dy;
    anyColumnShift = anyColumnShift || dy != 0;
  }
  WavePass pass{region, columnShift.data(), anyColumnShift, ah, phase, out, &ActiveEffectRows()};
  RunEffectBands(h, w, [&pass](int64_t first, int64_t end, int) { WaveRows(pass, first, end); });
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
    uint16_t* map = g_SwirlMap.mDistances.data();
    RunEffectBands(h, w, [&](int64_t first, int64_t end, int) {
      for (auto v = static_cast<int32_t>(first); v < end; ++v) {
        for (int32_t u = 0; u < w; ++u) {
          map[static_cast<size_t>(v) * static_cast<size_t>(w) + static_cast<size_t>(u)] = static_cast<uint16_t>(
              std::hypot(static_cast<double>(std::abs(u - gx)), static_cast<double>(std::abs(v - gy))));
        }
      }
    });
    g_SwirlMap.mWidth = w;
    g_SwirlMap.mHeight = h;
  }
  return g_SwirlMap.mDistances.data();
}

struct SwirlPass {
  const uint16_t* mDistances;
  const uint32_t* mTurns;  // by distance, as SwirlRow holds them
  const uint8_t* mOrigin;  // the region's first pixel
  int32_t mPitchPixels;    // of the source
  uint8_t* mOut;
  int32_t mWidth;
  int32_t mHeight;
  const EffectRowKernels* mRows;
};

void SwirlRows(const SwirlPass& pass, int64_t first, int64_t end) {
  const int32_t w = pass.mWidth;
  for (auto v = static_cast<int32_t>(first); v < end; ++v) {
    SwirlRow row{pass.mDistances + static_cast<size_t>(v) * static_cast<size_t>(w),
                 pass.mTurns,
                 pass.mOrigin,
                 pass.mPitchPixels,
                 v,
                 w / 2,
                 pass.mHeight / 2,
                 w,
                 pass.mHeight};
    pass.mRows->mSwirlRow(OutRow(pass.mOut, w, v), row, 0, w);
  }
}

}  // namespace

void ApplySwirlEffect(uint8_t* out, const EffectRegion& region, int64_t tenthsOfDegree) {
  int32_t w = region.Width();
  int32_t h = region.Height();
  auto steps = static_cast<int64_t>((std::hypot(static_cast<double>(w), static_cast<double>(h)) + 1) * 0.5 + 1);
  int32_t gx = w / 2;
  int32_t gy = h / 2;
  // Per distance, the twist of its radius step: P1/10 degrees at the centre,
  // falling linearly towards 0 at the last step; distances beyond the last
  // step take its twist.
  auto farthest = static_cast<int64_t>(
      std::hypot(static_cast<double>(std::max(gx, w - 1 - gx)), static_cast<double>(std::max(gy, h - 1 - gy))));
  std::vector<uint32_t> turns(static_cast<size_t>(std::max(steps, farthest + 1)));
  double angle = static_cast<double>(tenthsOfDegree) / 10.0;
  double step = static_cast<double>(tenthsOfDegree) / (static_cast<double>(steps) * 10.0);
  for (int64_t k = 0; k < steps; ++k) {
    double radians = angle * 0.017453292519444445;
    auto cosine = static_cast<int32_t>(std::cos(radians) * 256);
    auto sine = static_cast<int32_t>(std::sin(radians) * 256);
    turns[static_cast<size_t>(k)] = (static_cast<uint32_t>(cosine) & 0xFFFFu) | static_cast<uint32_t>(sine) << 16;
    angle -= step;
  }
  std::fill(turns.begin() + steps, turns.end(), turns[static_cast<size_t>(steps - 1)]);
  SwirlPass pass{SwirlDistances(w, h), turns.data(), region.At(region.mX0, region.mY0), region.mSourceWidth, out, w, h,
                 &ActiveEffectRows()};
  RunEffectBands(h, w, [&pass](int64_t first, int64_t end, int) { SwirlRows(pass, first, end); });
}

void ResetEffectKernelState() {
  g_SwirlMap.mDistances.clear();
  g_SwirlMap.mDistances.shrink_to_fit();
  g_SwirlMap.mWidth = 0;
  g_SwirlMap.mHeight = 0;
}
