// The box and weighted blurs of the numbered effects. Each pass runs along
// lines (rows or columns) of the region with running sums, so a pixel costs
// the same whatever the radius; windows are cut at the region's edges, never
// mirrored or repeated, and the divisions truncate. A blur along both axes
// walks bands of output rows, blurring each source row across just before
// the vertical sums reach it, so the frame is read once and written once.
// The bands (or, beside a large radius, strips of columns) are spread over
// the pixel workers; every part writes only its own pixels and starts its
// sums exactly, so the bytes do not depend on how many workers ran.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "image/effect_blurs_internal.h"
#include "image/effect_kernels.h"
#include "image/pixel_primitives.h"
#include "image/pixel_primitives_internal.h"
#include "image/pixel_workers.h"

namespace {

// Rows of a horizontal part.
constexpr int64_t kBandRows = kBlurBandRows;

// Halvings of the weight 512 outwards from the band: 0 after the tenth.
int64_t HalvingsAt(int64_t k, int64_t r, int64_t q) { return std::max<int64_t>(0, std::abs(k - r) - q); }

}  // namespace

void BuildBlurWeights(uint32_t* table, int64_t radius) {
  int64_t r = BlurRadius(radius);
  int64_t q = (2 * r) >> 3;
  for (int64_t k = 0; k <= 2 * r; ++k) {
    int64_t steps = HalvingsAt(k, r, q);
    table[k] = steps >= 10 ? 0 : 512u >> steps;
  }
}

BlurDivisor MakeBlurDivisor(uint32_t divisor) {
  // With d below 2^b, k = 25 + b and M = ceil(2^k / d) (below 2^26 + 1):
  // x * M / 2^k = x / d + x * e / (d * 2^k) with e = M * d - 2^k below d,
  // and x * e below 2^k for every x below 2^25, so the excess never carries
  // x / d past the next whole number and (x * M) >> k = floor(x / d).
  int bits = 0;
  while (bits < 32 && (uint64_t{1} << bits) <= divisor) ++bits;
  int shift = 25 + bits;
  uint64_t magic = ((uint64_t{1} << shift) - 1) / divisor + 1;
  return BlurDivisor{divisor, static_cast<uint32_t>(magic), shift};
}

BlurPlan MakeBlurPlan(int64_t n, int64_t r, bool weighted) {
  BlurPlan plan;
  plan.mCount = n;
  plan.mRadius = r;
  plan.mSteps.resize(static_cast<size_t>(n));
  auto present = [n](int64_t j) { return static_cast<int32_t>(j >= 0 && j < n ? j : n); };
  auto divisor = [](int64_t d) { return MakeBlurDivisor(static_cast<uint32_t>(d)); };
  if (!weighted) {
    for (int64_t j = 0; j <= std::min(n - 1, r); ++j) plan.mCentredTaps.push_back({static_cast<int32_t>(j), 0, 0});
    for (int64_t i = 0; i < n; ++i) {
      BlurStep& step = plan.mSteps[static_cast<size_t>(i)];
      step.mKind = i == 0 ? BlurStepKind::kCentredStart : BlurStepKind::kCentred;
      step.mEnter = present(i + r);
      step.mLeave = present(i - r - 1);
      step.mDivisor = divisor(std::min(n - 1, i + r) - std::max<int64_t>(0, i - r) + 1);
    }
    return plan;
  }
  int64_t q = (2 * r) >> 3;
  int64_t m = std::min<int64_t>(9, r - q);
  plan.mTails = true;
  plan.mBandShift = 9;
  plan.mOuterShift = static_cast<int32_t>(9 - m);
  // cumulative[k]: the weight of a window of k + 1 taps from the table's start.
  std::vector<uint32_t> weights(static_cast<size_t>(2 * r + 1));
  BuildBlurWeights(weights.data(), r);
  std::vector<uint32_t> cumulative(weights.size());
  uint32_t total = 0;
  for (size_t k = 0; k < weights.size(); ++k) cumulative[k] = total += weights[k];
  auto shiftOf = [r, q](int64_t k) { return static_cast<uint8_t>(9 - HalvingsAt(k, r, q)); };
  // The first r outputs: the window starts at the line's first element.
  int64_t prefixEnd = std::min(n - 1, r);
  bool plain = cumulative[static_cast<size_t>(prefixEnd)] == 0;
  // A line too short to reach a weight above 0 (radius 13 and more) takes
  // the plain mean instead of dividing by nothing; then n <= r, the window of
  // every output is the whole line and prefixEnd is n - 1.
  for (int64_t j = 0; j <= prefixEnd; ++j) {
    if (plain) {
      plan.mPrefixTaps.push_back({static_cast<int32_t>(j), 0, 0});
    } else if (weights[static_cast<size_t>(j)] != 0) {
      plan.mPrefixTaps.push_back({static_cast<int32_t>(j), shiftOf(j), 0});
    }
  }
  for (int64_t i = 0; i < std::min(n, r); ++i) {
    BlurStep& step = plan.mSteps[static_cast<size_t>(i)];
    step.mKind = i == 0 ? BlurStepKind::kPrefixStart : BlurStepKind::kPrefix;
    int64_t hi = std::min(n - 1, i + r);
    bool enters = !plain && i + r < n && weights[static_cast<size_t>(i + r)] != 0;
    step.mEnter = enters ? static_cast<int32_t>(i + r) : static_cast<int32_t>(n);
    step.mEnterShift = enters ? shiftOf(i + r) : 0;
    step.mDivisor = divisor(plain ? n : cumulative[static_cast<size_t>(hi)]);
  }
  if (r >= n) return plan;
  // From output r on the window is centred: the band and its two tails.
  for (int64_t j = r - q; j <= std::min(n - 1, r + q); ++j)
    plan.mCentredTaps.push_back({static_cast<int32_t>(j), 0, 0});
  for (int64_t s = 1; s <= m; ++s) {
    auto shift = static_cast<uint8_t>(9 - s);
    plan.mCentredTaps.push_back({static_cast<int32_t>(r - q - s), shift, 1});
    if (r + q + s < n) plan.mCentredTaps.push_back({static_cast<int32_t>(r + q + s), shift, 2});
  }
  for (int64_t i = r; i < n; ++i) {
    BlurStep& step = plan.mSteps[static_cast<size_t>(i)];
    step.mKind = i == r ? BlurStepKind::kCentredStart : BlurStepKind::kCentred;
    step.mEnter = present(i + q);
    step.mLeave = present(i - q - 1);
    step.mOuterIn = present(i + q + m);
    step.mOuterOut = present(i - 1 - q - m);
    step.mDivisor = divisor(cumulative[static_cast<size_t>(std::min(n - 1, i + r) - (i - r))]);
  }
  return plan;
}

std::vector<BlurTap> BlurStartTaps(const BlurPlan& plan, int64_t i) {
  const BlurStep& step = plan.mSteps[static_cast<size_t>(i)];
  int64_t n = plan.mCount;
  int64_t r = plan.mRadius;
  std::vector<BlurTap> taps;
  if (step.mKind == BlurStepKind::kPrefixStart || step.mKind == BlurStepKind::kPrefix) {
    // The taps of step 0 and those each later prefix step up to i adds.
    taps = plan.mPrefixTaps;
    for (int64_t k = 1; k <= i; ++k) {
      const BlurStep& added = plan.mSteps[static_cast<size_t>(k)];
      if (added.mEnter < n) taps.push_back({added.mEnter, added.mEnterShift, 0});
    }
    return taps;
  }
  if (!plan.mTails) {
    for (int64_t j = std::max<int64_t>(0, i - r); j <= std::min(n - 1, i + r); ++j)
      taps.push_back({static_cast<int32_t>(j), 0, 0});
    return taps;
  }
  // The centred taps of step r moved on to step i: those moved past the
  // line's end drop out, as they would have been cut at step i.
  int64_t shift = i - r;
  for (BlurTap tap : plan.mCentredTaps) {
    if (tap.mIndex + shift >= n) continue;
    tap.mIndex = static_cast<int32_t>(tap.mIndex + shift);
    taps.push_back(tap);
  }
  return taps;
}

bool BlurVectorWidthRuns(int width) {
  switch (width) {
    case 0: return true;
    case 16: return HaveSse2();
    case 32: return HaveSse2() && HaveWideVectors();
    case 64: return HaveSse2() && HaveWidestVectors();
    default: return false;
  }
}

namespace {

BlurLineKernels KernelsOfWidth(int width) {
  switch (width) {
    case 16: return Sse2BlurKernels();
    case 32: return Avx2BlurKernels();
    case 64: return Avx512BlurKernels();
    default: return PlainBlurKernels();
  }
}

// The widest kernels the processor runs, once SSE2 is allowed.
int LiveBlurWidth() {
  if (g_PixelLevel < 3) return 0;
  for (int width : {64, 32, 16}) {
    if (BlurVectorWidthRuns(width)) return width;
  }
  return 0;
}

// Bands of rows for the vertical work. Each band starts its running sums
// afresh (and, behind a horizontal pass, first blurs the 2r rows above its
// own across), so one thread takes a single band; with workers, one band a
// thread, two when the bands stay tall beside the window.
int64_t BandCount(int64_t h, int64_t r, int64_t asked) {
  if (asked > 0) return std::min(asked, h);
  int workers = GetPixelWorkerCount();
  if (workers <= 0) return 1;
  int64_t threads = workers + 1;
  int64_t bands = h / threads >= 8 * (2 * r + 1) ? 2 * threads : threads;
  return std::max<int64_t>(1, std::min(bands, h / 8));
}

// A band fuses the two passes when it is at least this many radii tall.
constexpr int64_t kFusedBandRadii = 4;

// Bands shorter than the window would each sum more rows to start than they
// blur: then the workers take strips of columns (down the whole height)
// instead, about an eighth of the width, at least 64 columns so that each
// step reads long runs of a row.
constexpr int64_t kStripParts = 8;
constexpr int64_t kMinStripColumns = 64;

int64_t StripColumns(int64_t width) {
  int64_t columns = ((width + kStripParts - 1) / kStripParts + 3) & ~int64_t{3};
  return std::max(kMinStripColumns, columns);
}

size_t Aligned(size_t bytes) { return (bytes + 63) & ~size_t{63}; }

// A blur of a w x h plane in parts on the pixel workers: bands of rows for
// a horizontal pass alone, else bands of output rows for the vertical pass,
// which (with a horizontal pass before it) blurs each source row across into
// a ring of rows just before the vertical sums reach it, so the frame is
// read once and written once.
struct BlurRun {
  BlurLineKernels mKernels;
  const BlurPlan* mRowPlan;     // nullptr: no horizontal pass
  const BlurPlan* mColumnPlan;  // nullptr: no vertical pass
  BlurChannels mChannels;
  const uint8_t* mIn;
  ptrdiff_t mInPitch;
  uint8_t* mOut;
  ptrdiff_t mOutPitch;
  int64_t mWidth;
  int64_t mHeight;
  int64_t mBands = 1;
  int64_t mRingRows = 0;
  int64_t mStripColumns = 0;  // the width of a part's strip (all bands: w)
  int64_t mStrips = 1;
  // Each thread's scratch (slot of the parts run), kept between parts; the
  // kernels write it before they read it.
  std::unique_ptr<uint64_t[]> mScratch[kPartSlots];
  size_t mScratchBytes[kPartSlots] = {};

  uint8_t* Scratch(int slot, size_t bytes) {
    if (mScratchBytes[slot] < bytes) {
      mScratch[slot].reset(new uint64_t[(bytes + 7) / 8]);
      mScratchBytes[slot] = bytes;
    }
    return reinterpret_cast<uint8_t*>(mScratch[slot].get());
  }

  void Run() {
    if (mColumnPlan == nullptr) {
      RunWorkerParts((mHeight + kBandRows - 1) / kBandRows, &BlurRun::RowsPart, this);
    } else {
      RunWorkerParts(mBands * mStrips, &BlurRun::BandPart, this);
    }
  }

  static void RowsPart(void* context, int64_t part, int slot) {
    auto* run = static_cast<BlurRun*>(context);
    int64_t first = part * kBandRows;
    BlurRowsJob job{run->mRowPlan,
                    run->mChannels,
                    run->mIn + first * run->mInPitch,
                    run->mInPitch,
                    run->mOut + first * run->mOutPitch,
                    run->mOutPitch,
                    std::min(kBandRows, run->mHeight - first),
                    run->Scratch(slot, BlurRowsScratchBytes(run->mWidth))};
    run->mKernels.mRows(job);
  }

  // The ring of horizontally blurred rows of one band: row j sits at ring
  // row j % mRingRows. A batch of steps from s reads rows s - r - 1 to
  // s + kBlurBatchSteps - 1 + r, and the rows are blurred across kBandRows
  // at a time, so a ring of 2r + kBlurBatchSteps + kBandRows rows never
  // loses a row that is still to be read.
  struct Ring {
    const BlurRun* mRun;
    uint8_t* mRows;
    uint8_t* mScratch;
    int64_t mNext;  // the first row not yet blurred across

    static void Ready(void* context, int64_t last) {
      auto* ring = static_cast<Ring*>(context);
      const BlurRun& run = *ring->mRun;
      ptrdiff_t pitch = static_cast<ptrdiff_t>(run.mWidth) * 4;
      while (ring->mNext <= last) {
        int64_t k = ring->mNext;
        int64_t at = k % run.mRingRows;
        int64_t count = std::min({kBandRows, run.mRingRows - at, run.mHeight - k});
        BlurRowsJob job{run.mRowPlan,     run.mChannels, run.mIn + k * run.mInPitch, run.mInPitch,
                        ring->mRows + at * pitch, pitch, count,     ring->mScratch};
        run.mKernels.mRows(job);
        ring->mNext = k + count;
      }
    }
  };

  static void BandPart(void* context, int64_t part, int slot) {
    auto* run = static_cast<BlurRun*>(context);
    const BlurPlan& plan = *run->mColumnPlan;
    int64_t w = run->mWidth;
    int64_t h = run->mHeight;
    int64_t band = part / run->mStrips;
    int64_t firstColumn = part % run->mStrips * run->mStripColumns;
    int64_t columns = std::min(run->mStripColumns, w - firstColumn);
    int64_t first = band * h / run->mBands;
    std::vector<BlurTap> startTaps = BlurStartTaps(plan, first);
    size_t columnsBytes = Aligned(BlurColumnsScratchBytes(columns, h));
    size_t ringBytes = run->mRowPlan == nullptr ? 0 : Aligned(static_cast<size_t>(run->mRingRows * w) * 4);
    size_t rowsBytes = run->mRowPlan == nullptr ? 0 : BlurRowsScratchBytes(w);
    uint8_t* scratch = run->Scratch(slot, columnsBytes + ringBytes + rowsBytes);
    BlurColumnsJob job{&plan,           run->mChannels, run->mIn + firstColumn * 4, run->mInPitch,
                       run->mOut + firstColumn * 4, run->mOutPitch, columns,       scratch};
    job.mFirst = first;
    job.mLast = (band + 1) * h / run->mBands;
    job.mStartTaps = &startTaps;
    Ring ring{run, scratch + columnsBytes, scratch + columnsBytes + ringBytes, std::max<int64_t>(0, first - plan.mRadius)};
    if (run->mRowPlan != nullptr) {
      job.mIn = ring.mRows;
      job.mInPitch = static_cast<ptrdiff_t>(w) * 4;
      job.mRingRows = run->mRingRows;
      job.mReady = &Ring::Ready;
      job.mReadyContext = &ring;
    }
    run->mKernels.mColumns(job);
  }
};

struct PassPlan {
  bool mHorizontal;
  bool mVertical;
};

// Runs the passes from the region into out (w x h).
void RunBlur(uint8_t* out, const EffectRegion& region, int64_t radius, bool weighted, PassPlan passes,
             BlurChannels channels, int width, int64_t bands) {
  int64_t w = region.Width();
  int64_t h = region.Height();
  // A box window cut at the edges covers the whole line from a radius of
  // the line's length on, so a script's larger value blurs as that one (the
  // ring and the bands below are sized from it); the weighted blurs come
  // here only up to their exact bound.
  int64_t r = weighted ? BlurRadius(radius) : std::min(BlurRadius(radius), std::max(w, h));
  BlurPlan rowPlan = passes.mHorizontal ? MakeBlurPlan(w, r, weighted) : BlurPlan{};
  BlurPlan columnPlan = passes.mVertical ? MakeBlurPlan(h, r, weighted) : BlurPlan{};
  BlurRun run{KernelsOfWidth(width),
              passes.mHorizontal ? &rowPlan : nullptr,
              passes.mVertical ? &columnPlan : nullptr,
              channels,
              region.At(region.mX0, region.mY0),
              static_cast<ptrdiff_t>(region.mSourceWidth) * 4,
              out,
              static_cast<ptrdiff_t>(w) * 4,
              w,
              h,
              BandCount(h, r, bands),
              std::min(h, 2 * r + kBlurBatchSteps + kBandRows),
              w,
              1,
              {},
              {}};
  // Bands short beside the window would each blur across many more rows
  // than their own: then the horizontal pass runs whole first, into a work
  // block (written whole before it is read), and the bands read that.
  std::unique_ptr<uint8_t[]> work;
  bool shortBands = run.mBands > 1 && h / run.mBands < kFusedBandRadii * r;
  if (shortBands && bands == 0 && h / run.mBands < 2 * r + 1) {
    run.mStripColumns = StripColumns(w);
    run.mStrips = (w + run.mStripColumns - 1) / run.mStripColumns;
    run.mBands = 1;
  }
  if (passes.mHorizontal && passes.mVertical && shortBands) {
    work.reset(new uint8_t[static_cast<size_t>(w) * static_cast<size_t>(h) * 4]);
    run.mColumnPlan = nullptr;
    run.mOut = work.get();
    run.Run();
    run.mRowPlan = nullptr;
    run.mColumnPlan = &columnPlan;
    run.mIn = work.get();
    run.mInPitch = static_cast<ptrdiff_t>(w) * 4;
    run.mOut = out;
  }
  run.Run();
}

constexpr PassPlan kBothPasses{true, true};

// The reciprocal multiplies are exact for sums below 2^25: a whole weighted
// window of radius r weighs 512 * (2 * (r / 4) + 1) + 1022, which times 255
// stays below 2^25 up to radius 511. The command allows 256; larger radii
// take the plain kernels. (A box window of a line of at most 8192 pixels
// always stays below.)
constexpr int64_t kLargestWeightedRadius = 511;

}  // namespace

void ApplyBlurEffectAtWidth(BlurEffect effect, uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha,
                            int width, int64_t bands) {
  switch (effect) {
    case BlurEffect::kBoxH: RunBlur(out, region, radius, false, {true, false}, ChannelsOf(hasAlpha), width, bands); break;
    case BlurEffect::kBoxV: RunBlur(out, region, radius, false, {false, true}, ChannelsOf(hasAlpha), width, bands); break;
    case BlurEffect::kBox: RunBlur(out, region, radius, false, kBothPasses, ChannelsOf(hasAlpha), width, bands); break;
    case BlurEffect::kShadowBox:
      RunBlur(out, region, radius, false, kBothPasses, hasAlpha == 1 ? BlurChannels::kAlpha : BlurChannels::kColour,
              width, bands);
      break;
    case BlurEffect::kWeighted:
      if (hasAlpha == 1 && radius > kLargestWeightedRadius) {
        blur_reference::ApplyWeightedBlurEffect(out, region, radius, hasAlpha);
        break;
      }
      // Without alpha the weighted blur is the plain mean of the colours.
      RunBlur(out, region, radius, hasAlpha == 1, kBothPasses, ChannelsOf(hasAlpha), width, bands);
      break;
    case BlurEffect::kShadowWeighted:
      if (radius > kLargestWeightedRadius) {
        blur_reference::ApplyShadowWeightedBlurEffect(out, region, radius);
        break;
      }
      RunBlur(out, region, radius, true, kBothPasses, BlurChannels::kAlpha, width, bands);
      break;
  }
}

void ApplyBoxBlurHEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha) {
  ApplyBlurEffectAtWidth(BlurEffect::kBoxH, out, region, radius, hasAlpha, LiveBlurWidth());
}

void ApplyBoxBlurVEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha) {
  ApplyBlurEffectAtWidth(BlurEffect::kBoxV, out, region, radius, hasAlpha, LiveBlurWidth());
}

void ApplyBoxBlurEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha) {
  ApplyBlurEffectAtWidth(BlurEffect::kBox, out, region, radius, hasAlpha, LiveBlurWidth());
}

void ApplyShadowBoxBlurEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha) {
  ApplyBlurEffectAtWidth(BlurEffect::kShadowBox, out, region, radius, hasAlpha, LiveBlurWidth());
}

void ApplyWeightedBlurEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha) {
  ApplyBlurEffectAtWidth(BlurEffect::kWeighted, out, region, radius, hasAlpha, LiveBlurWidth());
}

void ApplyShadowWeightedBlurEffect(uint8_t* out, const EffectRegion& region, int64_t radius) {
  ApplyBlurEffectAtWidth(BlurEffect::kShadowWeighted, out, region, radius, 1, LiveBlurWidth());
}
