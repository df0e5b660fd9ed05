// The plain blurs: one line at a time, on the calling thread, each weighted
// tap multiplied out. The live blurs (effect_blurs.cpp) must give the same
// bytes; the tests hold them to these. Each pass runs along lines (rows or
// columns) of the region; windows are cut at the region's edges, never
// mirrored or repeated.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/effect_blurs_internal.h"

namespace {

// One line of n pixels: `in` and `out` step by the given byte distances.
struct BlurLine {
  const uint8_t* mIn;
  ptrdiff_t mInStep;
  uint8_t* mOut;
  ptrdiff_t mOutStep;
  int64_t mCount;
};

void StoreMean(uint8_t* out, const uint8_t* in, const uint32_t sums[4], uint32_t divisor, BlurChannels channels) {
  switch (channels) {
    case BlurChannels::kAll:
      for (int c = 0; c < 4; ++c) out[c] = static_cast<uint8_t>(sums[c] / divisor);
      break;
    case BlurChannels::kColour:
      for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(sums[c] / divisor);
      out[3] = in[3];
      break;
    case BlurChannels::kAlpha:
      out[0] = out[1] = out[2] = 0;
      out[3] = static_cast<uint8_t>(sums[3] / divisor);
      break;
  }
}

// Running sums: one add and one subtract per pixel and channel.
void BoxLine(const BlurLine& line, int64_t r, BlurChannels channels) {
  int64_t n = line.mCount;
  uint32_t sums[4] = {};
  auto add = [&](int64_t i, bool remove) {
    const uint8_t* p = line.mIn + i * line.mInStep;
    for (int c = 0; c < 4; ++c) sums[c] = remove ? sums[c] - p[c] : sums[c] + p[c];
  };
  for (int64_t i = 0; i <= std::min(n - 1, r); ++i) add(i, false);
  for (int64_t i = 0; i < n; ++i) {
    if (i > 0) {
      if (i + r < n) add(i + r, false);
      if (i - r - 1 >= 0) add(i - r - 1, true);
    }
    auto count = static_cast<uint32_t>(std::min(n - 1, i + r) - std::max<int64_t>(0, i - r) + 1);
    StoreMean(line.mOut + i * line.mOutStep, line.mIn + i * line.mInStep, sums, count, channels);
  }
}

// Only table entries [first, last] are non-zero (the band and ten halvings
// either side); the taps beyond add nothing and are skipped.
struct WeightSpan {
  const uint32_t* mWeights;
  int64_t mFirst;
  int64_t mLast;
};

void WeightedLine(const BlurLine& line, int64_t r, const WeightSpan& span, BlurChannels channels) {
  const uint32_t* weights = span.mWeights;
  int64_t n = line.mCount;
  for (int64_t i = 0; i < n; ++i) {
    int64_t lo = std::max<int64_t>(0, i - r);
    int64_t hi = std::min(n - 1, i + r);
    uint32_t sums[4] = {};
    uint32_t total = 0;
    // The table is indexed from the window's first pixel.
    for (int64_t j = lo + span.mFirst; j <= std::min(hi, lo + span.mLast); ++j) {
      const uint8_t* p = line.mIn + j * line.mInStep;
      uint32_t weight = weights[j - lo];
      for (int c = 0; c < 4; ++c) sums[c] += weight * p[c];
      total += weight;
    }
    if (total == 0) {
      // A window cut down to weights of 0 (radius 13 and more at an edge)
      // takes the plain mean instead of dividing by nothing.
      std::fill(std::begin(sums), std::end(sums), 0u);
      for (int64_t j = lo; j <= hi; ++j) {
        const uint8_t* p = line.mIn + j * line.mInStep;
        for (int c = 0; c < 4; ++c) sums[c] += p[c];
      }
      total = static_cast<uint32_t>(hi - lo + 1);
    }
    StoreMean(line.mOut + i * line.mOutStep, line.mIn + i * line.mInStep, sums, total, channels);
  }
}

// A plane of w x h pixels: the region of the source, the output or a work
// block.
struct Plane {
  const uint8_t* mIn;
  ptrdiff_t mInPitch;
  uint8_t* mOut;
  ptrdiff_t mOutPitch;
};

template <typename LineFn>
void HorizontalPass(const Plane& plane, int64_t w, int64_t h, LineFn lineFn) {
  for (int64_t v = 0; v < h; ++v) lineFn(BlurLine{plane.mIn + v * plane.mInPitch, 4, plane.mOut + v * plane.mOutPitch, 4, w});
}

// The vertical pass walks rows, not columns: each output row sums whole
// input rows into per-column totals, so memory is read in order. `span` is
// null for the box blur (running sums: one row enters, one leaves) and the
// weight table of the weighted blur otherwise.
void VerticalPass(const Plane& plane, int64_t w, int64_t h, int64_t r, const WeightSpan* span, BlurChannels channels) {
  std::vector<uint32_t> sums(static_cast<size_t>(w) * 4, 0);
  auto addRow = [&](int64_t row, uint32_t weight, bool remove) {
    const uint8_t* p = plane.mIn + row * plane.mInPitch;
    for (size_t k = 0; k < sums.size(); ++k) sums[k] = remove ? sums[k] - p[k] : sums[k] + weight * p[k];
  };
  auto store = [&](int64_t v, uint32_t divisor) {
    const uint8_t* in = plane.mIn + v * plane.mInPitch;
    uint8_t* out = plane.mOut + v * plane.mOutPitch;
    for (int64_t u = 0; u < w; ++u) StoreMean(out + u * 4, in + u * 4, &sums[static_cast<size_t>(u) * 4], divisor, channels);
  };
  if (span == nullptr) {
    for (int64_t j = 0; j <= std::min(h - 1, r); ++j) addRow(j, 1, false);
    for (int64_t v = 0; v < h; ++v) {
      if (v > 0) {
        if (v + r < h) addRow(v + r, 1, false);
        if (v - r - 1 >= 0) addRow(v - r - 1, 0, true);
      }
      store(v, static_cast<uint32_t>(std::min(h - 1, v + r) - std::max<int64_t>(0, v - r) + 1));
    }
    return;
  }
  for (int64_t v = 0; v < h; ++v) {
    int64_t lo = std::max<int64_t>(0, v - r);
    int64_t hi = std::min(h - 1, v + r);
    std::fill(sums.begin(), sums.end(), 0u);
    uint32_t total = 0;
    for (int64_t j = lo + span->mFirst; j <= std::min(hi, lo + span->mLast); ++j) {
      uint32_t weight = span->mWeights[j - lo];
      addRow(j, weight, false);
      total += weight;
    }
    if (total == 0) {
      // Weights of 0 only: the plain mean, as along rows.
      std::fill(sums.begin(), sums.end(), 0u);
      for (int64_t j = lo; j <= hi; ++j) addRow(j, 1, false);
      total = static_cast<uint32_t>(hi - lo + 1);
    }
    store(v, total);
  }
}

struct PassPlan {
  bool mHorizontal;
  bool mVertical;
};

// Runs the passes from the region into out (w x h), through a work block
// when both passes run.
template <typename LineFn>
void RunBlur(uint8_t* out, const EffectRegion& region, PassPlan plan, LineFn lineFn, int64_t r,
             const WeightSpan* span, BlurChannels channels) {
  int64_t w = region.Width();
  int64_t h = region.Height();
  const uint8_t* in = region.At(region.mX0, region.mY0);
  ptrdiff_t inPitch = static_cast<ptrdiff_t>(region.mSourceWidth) * 4;
  ptrdiff_t outPitch = static_cast<ptrdiff_t>(w) * 4;
  if (plan.mHorizontal && plan.mVertical) {
    std::vector<uint8_t> work(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    HorizontalPass(Plane{in, inPitch, work.data(), outPitch}, w, h, lineFn);
    VerticalPass(Plane{work.data(), outPitch, out, outPitch}, w, h, r, span, channels);
  } else if (plan.mHorizontal) {
    HorizontalPass(Plane{in, inPitch, out, outPitch}, w, h, lineFn);
  } else {
    VerticalPass(Plane{in, inPitch, out, outPitch}, w, h, r, span, channels);
  }
}

void BoxBlur(uint8_t* out, const EffectRegion& region, int64_t radius, PassPlan plan, BlurChannels channels) {
  int64_t r = BlurRadius(radius);
  RunBlur(
      out, region, plan, [r, channels](const BlurLine& line) { BoxLine(line, r, channels); }, r, nullptr, channels);
}

void WeightedBlur(uint8_t* out, const EffectRegion& region, int64_t radius, BlurChannels channels) {
  int64_t r = BlurRadius(radius);
  std::vector<uint32_t> weights(static_cast<size_t>(2 * r + 1));
  BuildBlurWeights(weights.data(), r);
  WeightSpan span{weights.data(), 0, 2 * r};
  while (span.mFirst < 2 * r && weights[static_cast<size_t>(span.mFirst)] == 0) ++span.mFirst;
  while (span.mLast > 0 && weights[static_cast<size_t>(span.mLast)] == 0) --span.mLast;
  RunBlur(
      out, region, PassPlan{true, true}, [r, span, channels](const BlurLine& line) { WeightedLine(line, r, span, channels); },
      r, &span, channels);
}

}  // namespace

namespace blur_reference {

void ApplyBoxBlurHEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha) {
  BoxBlur(out, region, radius, PassPlan{true, false}, ChannelsOf(hasAlpha));
}

void ApplyBoxBlurVEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha) {
  BoxBlur(out, region, radius, PassPlan{false, true}, ChannelsOf(hasAlpha));
}

void ApplyBoxBlurEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha) {
  BoxBlur(out, region, radius, PassPlan{true, true}, ChannelsOf(hasAlpha));
}

void ApplyShadowBoxBlurEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha) {
  BoxBlur(out, region, radius, PassPlan{true, true}, hasAlpha == 1 ? BlurChannels::kAlpha : BlurChannels::kColour);
}

void ApplyWeightedBlurEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha) {
  // Without alpha the weighted blur is the plain mean of the colours.
  if (hasAlpha != 1) {
    BoxBlur(out, region, radius, PassPlan{true, true}, BlurChannels::kColour);
    return;
  }
  WeightedBlur(out, region, radius, BlurChannels::kAll);
}

void ApplyShadowWeightedBlurEffect(uint8_t* out, const EffectRegion& region, int64_t radius) {
  WeightedBlur(out, region, radius, BlurChannels::kAlpha);
}

}  // namespace blur_reference
