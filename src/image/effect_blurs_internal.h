#pragma once
// Shared by the live blurs, their plain reference and the vector line
// kernels: which channels a blur averages, the plan of one line, and the
// kernels of each vector width.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/effect_kernels.h"

enum class BlurChannels : uint8_t {
  kAll,     // B, G, R and A averaged
  kColour,  // B, G, R averaged; A passes through from the input pixel
  kAlpha,   // A averaged; B = G = R = 0 (a shadow mask)
};

inline int64_t BlurRadius(int64_t radius) { return std::max<int64_t>(radius, 1); }
inline BlurChannels ChannelsOf(int hasAlpha) { return hasAlpha == 1 ? BlurChannels::kAll : BlurChannels::kColour; }

// The plain blurs the live ones must equal byte for byte: each output pixel
// sums its window tap by tap, on the calling thread.
namespace blur_reference {
void ApplyBoxBlurHEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha);
void ApplyBoxBlurVEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha);
void ApplyBoxBlurEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha);
void ApplyShadowBoxBlurEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha);
void ApplyWeightedBlurEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha);
void ApplyShadowWeightedBlurEffect(uint8_t* out, const EffectRegion& region, int64_t radius);
}  // namespace blur_reference

// The six blur effects.
enum class BlurEffect : uint8_t { kBoxH, kBoxV, kBox, kShadowBox, kWeighted, kShadowWeighted };

// A blur effect with the line kernels of one vector width: 0 plain code,
// 16 SSE2, 32 AVX2, 64 AVX-512 (the caller checks that the processor has
// it, see BlurVectorWidthRuns). The public Apply...Effect kernels run the
// widest the processor has.
// `bands` splits the vertical work into that many bands of rows (0: as
// many as suit the pixel workers running); the bytes never depend on it.
void ApplyBlurEffectAtWidth(BlurEffect effect, uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha,
                            int width, int64_t bands = 0);
// The processor and the build run the line kernels of this width.
bool BlurVectorWidthRuns(int width);

// ---- The plan of one line ----
//
// A line has n elements (pixels of a row, or rows of a column strip); the
// kernels walk it once, one step per output element, keeping running sums:
//   E  the prefix sum of the weighted blur's first r outputs, whose cut
//      window starts at the line's first element and so grows by one tap a
//      step (the weight of the tap entering);
//   B  the band: the box blur's whole window, or the weighted blur's flat
//      middle of 512s;
//   L, R  the weighted blur's halving tails left and right of the band
//      (weights 256, 128, ... down to 2^(9-m), m = min(9, r - q) taps): each
//      step R = 2 * (R - 256 * entering band tap) + 2^(9-m) * new outer tap,
//      and L = 256 * leaving band tap + (L - 2^(9-m) * old outer tap) / 2.
// Elements past either end count as zero (index n); the divisor of each
// step is the weight its cut window really has, so the sums equal the
// tap-by-tap ones exactly (all values stay below 2^25).

// floor(x / d) for x < 2^25 as (x * mMagic) >> mShift.
struct BlurDivisor {
  uint32_t mDivisor = 1;
  uint32_t mMagic = 0;
  int32_t mShift = 0;
};
BlurDivisor MakeBlurDivisor(uint32_t divisor);

enum class BlurStepKind : uint8_t {
  kPrefixStart,   // E = the prefix taps
  kPrefix,        // E += element mEnter << mEnterShift
  kCentredStart,  // B, L, R = the centred taps
  kCentred,       // the running update of B (and L, R)
};

struct BlurTap {
  int32_t mIndex = 0;
  uint8_t mShift = 0;   // weight 1 << mShift
  uint8_t mTarget = 0;  // 0 B, 1 L, 2 R (centred taps)
};

struct BlurStep {
  BlurStepKind mKind = BlurStepKind::kCentred;
  uint8_t mEnterShift = 0;
  int32_t mEnter = 0;     // band tap entering (prefix: the tap entering E)
  int32_t mLeave = 0;     // band tap leaving
  int32_t mOuterIn = 0;   // outermost right tail tap entering
  int32_t mOuterOut = 0;  // outermost left tail tap leaving
  BlurDivisor mDivisor;
};

struct BlurPlan {
  int64_t mCount = 0;       // n
  int64_t mRadius = 0;      // r: step i reads elements i - r - 1 to i + r
  bool mTails = false;      // weighted: L and R run
  int32_t mBandShift = 0;   // 9 weighted (512), 0 box
  int32_t mOuterShift = 0;  // 9 - m
  std::vector<BlurStep> mSteps;
  std::vector<BlurTap> mPrefixTaps;
  std::vector<BlurTap> mCentredTaps;
};

// The plan of a box (weighted false) or weighted blur of radius r >= 1 along
// a line of n >= 1 elements.
BlurPlan MakeBlurPlan(int64_t n, int64_t r, bool weighted);
// The taps that start the sums at step i (a band of steps beginning there):
// the prefix taps of E when step i is a prefix step, else the centred taps
// of B, L and R.
std::vector<BlurTap> BlurStartTaps(const BlurPlan& plan, int64_t i);

// ---- Line kernels ----
//
// The vertical kernel runs down a strip of columns, four columns at a time
// (16 32-bit sums: 4 x B, G, R, A). The horizontal kernel turns a band of
// at most kBlurBandRows rows on its side and runs the vertical one on it.
constexpr int64_t kBlurBandRows = 16;
// Steps a vertical kernel takes over one piece of its columns before the
// next piece; it asks its ring (mReady) for the rows of a batch at once.
constexpr int64_t kBlurBatchSteps = 16;

struct BlurRowsJob {
  const BlurPlan* mPlan;
  BlurChannels mChannels;
  const uint8_t* mIn;  // first row of the band
  ptrdiff_t mInPitch;
  uint8_t* mOut;
  ptrdiff_t mOutPitch;
  int64_t mRows;      // at most kBlurBandRows
  uint8_t* mScratch;  // BlurRowsScratchBytes(n), 16-byte aligned
};
size_t BlurRowsScratchBytes(int64_t n);

// Makes input rows up to `last` (inclusive) readable.
using BlurRowsReady = void (*)(void* context, int64_t last);

struct BlurColumnsJob {
  const BlurPlan* mPlan;
  BlurChannels mChannels;
  const uint8_t* mIn;  // top of the strip's first column
  ptrdiff_t mInPitch;
  uint8_t* mOut;
  ptrdiff_t mOutPitch;
  int64_t mColumns;   // pixels across the strip
  uint8_t* mScratch;  // BlurColumnsScratchBytes(columns, n), 16-byte aligned
  // The steps run: [mFirst, mLast). A band that does not start at step 0
  // starts its sums from mStartTaps (BlurStartTaps(plan, mFirst)).
  int64_t mFirst = 0;
  int64_t mLast = 0;
  const std::vector<BlurTap>* mStartTaps = nullptr;
  // With mRingRows > 0, input row j is row j % mRingRows from mIn (a ring
  // that mReady fills before each batch of steps with the rows up to the
  // batch's last step + r).
  int64_t mRingRows = 0;
  BlurRowsReady mReady = nullptr;
  void* mReadyContext = nullptr;
};
size_t BlurColumnsScratchBytes(int64_t columns, int64_t n);

struct BlurLineKernels {
  void (*mRows)(const BlurRowsJob& job);
  void (*mColumns)(const BlurColumnsJob& job);
};
BlurLineKernels PlainBlurKernels();
BlurLineKernels Sse2BlurKernels();
BlurLineKernels Avx2BlurKernels();
BlurLineKernels Avx512BlurKernels();
