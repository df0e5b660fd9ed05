#pragma once
// The line kernels of the blurs, written once over a lane type V that holds
// 16 32-bit sums (four pixels of B, G, R, A) and its 16 bytes:
//   T, Bytes; Zero(); Add, Sub; Shl, Shr (by a count); Divide(T, divisor);
//   Widen(Bytes) -> T; Narrow(T) -> Bytes (every lane at most 255);
//   LoadBytes(p), StoreBytes(p, b), Load/StoreBytesPart(p, bytes, ...) for
//   the last pixels of a strip; LoadSums, StoreSums (16 words);
//   KeepChannels(mean, input, channels); Transpose4x4(src, pitch, dst,
//   pitch) for four rows of four pixels.
// Each vector width instantiates them with its own V in its own file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/effect_blurs_internal.h"

namespace blur_lines {

template <class V>
struct Sums {
  typename V::T mE;
  typename V::T mB;
  typename V::T mL;
  typename V::T mR;
};

// One step of the plan, of kind `kind` (the step's own, or a starting kind
// where a band begins): updates the sums and returns the means. A starting
// step sums `startTaps`. `load(j)` gives element j widened (zero for index n).
template <class V, class Load>
typename V::T StepMean(const BlurPlan& plan, BlurStepKind kind, const BlurStep& step,
                       const std::vector<BlurTap>& startTaps, Sums<V>& s, const Load& load) {
  using T = typename V::T;
  switch (kind) {
    case BlurStepKind::kPrefixStart:
      s.mE = V::Zero();
      for (const BlurTap& tap : startTaps) s.mE = V::Add(s.mE, V::Shl(load(tap.mIndex), tap.mShift));
      return V::Divide(s.mE, step.mDivisor);
    case BlurStepKind::kPrefix:
      s.mE = V::Add(s.mE, V::Shl(load(step.mEnter), step.mEnterShift));
      return V::Divide(s.mE, step.mDivisor);
    case BlurStepKind::kCentredStart: {
      T sums[3] = {V::Zero(), V::Zero(), V::Zero()};
      for (const BlurTap& tap : startTaps) {
        sums[tap.mTarget] = V::Add(sums[tap.mTarget], V::Shl(load(tap.mIndex), tap.mShift));
      }
      s.mB = sums[0];
      s.mL = sums[1];
      s.mR = sums[2];
      break;
    }
    case BlurStepKind::kCentred: {
      T entering = load(step.mEnter);
      T leaving = load(step.mLeave);
      s.mB = V::Add(V::Sub(s.mB, leaving), entering);
      if (plan.mTails) {
        s.mR = V::Add(V::Shl(V::Sub(s.mR, V::Shl(entering, 8)), 1), V::Shl(load(step.mOuterIn), plan.mOuterShift));
        s.mL = V::Add(V::Shl(leaving, 8), V::Shr(V::Sub(s.mL, V::Shl(load(step.mOuterOut), plan.mOuterShift)), 1));
      }
      break;
    }
  }
  if (!plan.mTails) return V::Divide(s.mB, step.mDivisor);
  return V::Divide(V::Add(V::Add(V::Shl(s.mB, plan.mBandShift), s.mL), s.mR), step.mDivisor);
}

// The sums of four columns, kept between the steps of a strip.
struct ColumnSums {
  uint32_t mE[16];
  uint32_t mB[16];
  uint32_t mL[16];
  uint32_t mR[16];
};

// One step over four columns at byte `offset` of the rows, through
// StepMean: the starting steps, and the last pixels of a strip (kPart: only
// `bytes` of them).
template <class V, bool kPart>
void ColumnStep(const BlurColumnsJob& job, int64_t i, BlurStepKind kind, const std::vector<BlurTap>& startTaps,
                const uint8_t* const* rows, ColumnSums& kept, size_t offset, size_t bytes) {
  const BlurPlan& plan = *job.mPlan;
  const BlurStep& step = plan.mSteps[static_cast<size_t>(i)];
  auto bytesAt = [&](int64_t j) {
    const uint8_t* p = rows[j] + offset;
    if constexpr (kPart) {
      return V::LoadBytesPart(p, bytes);
    } else {
      return V::LoadBytes(p);
    }
  };
  auto load = [&bytesAt](int64_t j) { return V::Widen(bytesAt(j)); };
  bool prefix = kind == BlurStepKind::kPrefix || kind == BlurStepKind::kPrefixStart;
  Sums<V> sums{V::Zero(), V::Zero(), V::Zero(), V::Zero()};
  if (kind == BlurStepKind::kPrefix) sums.mE = V::LoadSums(kept.mE);
  if (kind == BlurStepKind::kCentred) {
    sums.mB = V::LoadSums(kept.mB);
    sums.mL = V::LoadSums(kept.mL);
    sums.mR = V::LoadSums(kept.mR);
  }
  typename V::T mean = StepMean<V>(plan, kind, step, startTaps, sums, load);
  if (prefix) {
    V::StoreSums(kept.mE, sums.mE);
  } else {
    V::StoreSums(kept.mB, sums.mB);
    V::StoreSums(kept.mL, sums.mL);
    V::StoreSums(kept.mR, sums.mR);
  }
  typename V::Bytes result = V::KeepChannels(V::Narrow(mean), bytesAt(i), job.mChannels);
  uint8_t* out = job.mOut + i * job.mOutPitch + offset;
  if constexpr (kPart) {
    V::StoreBytesPart(out, result, bytes);
  } else {
    V::StoreBytes(out, result);
  }
}

template <class V, BlurChannels kChannels>
typename V::Bytes Finish(typename V::T mean, const uint8_t* input) {
  if constexpr (kChannels == BlurChannels::kAll) {
    return V::Narrow(mean);
  } else {
    return V::KeepChannels(V::Narrow(mean), V::LoadBytes(input), kChannels);
  }
}

// A strip of columns, walked row by row: every step reads whole row pieces.
// The steps go in batches of kBlurBatchSteps, and each batch runs over
// pieces of kPieceGroups groups of four columns at a time, so that the sums
// of a piece stay close at hand for the batch. The running steps over whole
// groups are written out here (the step's rows looked up once); the
// starting steps and the last pixels of the strip go through ColumnStep.
// The scratch holds the sums of each group, the zero row and the row
// pointers (n + 1, the last the zero row).
constexpr int64_t kPrefetchSteps = 4;
constexpr int64_t kPieceGroups = 32;

template <class V, bool kTails, BlurChannels kChannels>
void ColumnsOf(const BlurColumnsJob& job) {
  using T = typename V::T;
  const BlurPlan& plan = *job.mPlan;
  int64_t n = plan.mCount;
  int64_t groups = (job.mColumns + 3) / 4;
  size_t stripBytes = static_cast<size_t>(groups) * 16;
  auto* kept = reinterpret_cast<ColumnSums*>(job.mScratch);
  uint8_t* zero = job.mScratch + static_cast<size_t>(groups) * sizeof(ColumnSums);
  std::memset(zero, 0, stripBytes);
  auto** rows = reinterpret_cast<const uint8_t**>(zero + stripBytes);
  for (int64_t j = 0; j < n; ++j) rows[j] = job.mIn + (job.mRingRows > 0 ? j % job.mRingRows : j) * job.mInPitch;
  rows[n] = zero;
  int64_t whole = job.mColumns / 4;
  auto partBytes = static_cast<size_t>(job.mColumns % 4) * 4;
  const int bandShift = plan.mBandShift;
  const int outerShift = plan.mOuterShift;
  // Step i over the whole groups [g0, g1), and the last pixels when `last`.
  auto stepPiece = [&](int64_t i, int64_t g0, int64_t g1, bool last) {
    const BlurStep& step = plan.mSteps[static_cast<size_t>(i)];
    // The band's first step starts its sums; so do the plan's own starts.
    BlurStepKind kind = step.mKind;
    const std::vector<BlurTap>* startTaps =
        kind == BlurStepKind::kPrefixStart || kind == BlurStepKind::kPrefix ? &plan.mPrefixTaps : &plan.mCentredTaps;
    if (i == job.mFirst && job.mStartTaps != nullptr) {
      kind = kind == BlurStepKind::kPrefix    ? BlurStepKind::kPrefixStart
             : kind == BlurStepKind::kCentred ? BlurStepKind::kCentredStart
                                              : kind;
      startTaps = job.mStartTaps;
    }
    const uint8_t* self = rows[i];
    uint8_t* out = job.mOut + i * job.mOutPitch;
    const BlurDivisor divisor = step.mDivisor;
    // The piece of the row entering a few steps on: it comes from memory
    // while this step runs (a piece of a row is too short for the processor
    // to see the stream on its own).
    if (i + kPrefetchSteps < n) {
      const uint8_t* ahead = rows[std::min<int64_t>(n, plan.mSteps[static_cast<size_t>(i + kPrefetchSteps)].mEnter)];
      size_t end = last ? stripBytes : static_cast<size_t>(g1) * 16;
      for (size_t offset = static_cast<size_t>(g0) * 16; offset < end; offset += 64) __builtin_prefetch(ahead + offset);
    }
    switch (kind) {
      case BlurStepKind::kPrefixStart:
      case BlurStepKind::kCentredStart:
        for (int64_t g = g0; g < g1; ++g)
          ColumnStep<V, false>(job, i, kind, *startTaps, rows, kept[g], static_cast<size_t>(g) * 16, 16);
        break;
      case BlurStepKind::kPrefix: {
        const uint8_t* entering = rows[step.mEnter];
        const int shift = step.mEnterShift;
        for (int64_t g = g0; g < g1; ++g) {
          size_t offset = static_cast<size_t>(g) * 16;
          T e = V::Add(V::LoadSums(kept[g].mE), V::Shl(V::Widen(V::LoadBytes(entering + offset)), shift));
          V::StoreSums(kept[g].mE, e);
          V::StoreBytes(out + offset, Finish<V, kChannels>(V::Divide(e, divisor), self + offset));
        }
        break;
      }
      case BlurStepKind::kCentred: {
        const uint8_t* entering = rows[step.mEnter];
        const uint8_t* leaving = rows[step.mLeave];
        const uint8_t* outerIn = rows[step.mOuterIn];
        const uint8_t* outerOut = rows[step.mOuterOut];
        for (int64_t g = g0; g < g1; ++g) {
          size_t offset = static_cast<size_t>(g) * 16;
          T in = V::Widen(V::LoadBytes(entering + offset));
          T out8 = V::Widen(V::LoadBytes(leaving + offset));
          T b = V::Add(V::Sub(V::LoadSums(kept[g].mB), out8), in);
          V::StoreSums(kept[g].mB, b);
          T sum = b;
          if constexpr (kTails) {
            T r = V::Add(V::Shl(V::Sub(V::LoadSums(kept[g].mR), V::Shl(in, 8)), 1),
                         V::Shl(V::Widen(V::LoadBytes(outerIn + offset)), outerShift));
            T l = V::Add(V::Shl(out8, 8), V::Shr(V::Sub(V::LoadSums(kept[g].mL),
                                                        V::Shl(V::Widen(V::LoadBytes(outerOut + offset)), outerShift)),
                                                 1));
            V::StoreSums(kept[g].mR, r);
            V::StoreSums(kept[g].mL, l);
            sum = V::Add(V::Add(V::Shl(b, bandShift), l), r);
          }
          V::StoreBytes(out + offset, Finish<V, kChannels>(V::Divide(sum, divisor), self + offset));
        }
        break;
      }
    }
    if (last && partBytes != 0)
      ColumnStep<V, true>(job, i, kind, *startTaps, rows, kept[whole], static_cast<size_t>(whole) * 16, partBytes);
  };
  // Without a ring the batch is the whole band: each piece is a strip walked
  // from the band's top to its bottom.
  int64_t batch = job.mRingRows > 0 ? kBlurBatchSteps : job.mLast - job.mFirst;
  for (int64_t first = job.mFirst; first < job.mLast; first += batch) {
    int64_t end = std::min(job.mLast, first + batch);
    if (job.mReady != nullptr) job.mReady(job.mReadyContext, std::min(n - 1, end - 1 + plan.mRadius));
    for (int64_t g0 = 0; g0 < std::max<int64_t>(whole, 1); g0 += kPieceGroups) {
      int64_t g1 = std::min(whole, g0 + kPieceGroups);
      for (int64_t i = first; i < end; ++i) stepPiece(i, g0, g1, g1 == whole);
    }
  }
}

template <class V>
void Columns(const BlurColumnsJob& job) {
  bool tails = job.mPlan->mTails;
  switch (job.mChannels) {
    case BlurChannels::kAll:
      return tails ? ColumnsOf<V, true, BlurChannels::kAll>(job) : ColumnsOf<V, false, BlurChannels::kAll>(job);
    case BlurChannels::kColour:
      return tails ? ColumnsOf<V, true, BlurChannels::kColour>(job) : ColumnsOf<V, false, BlurChannels::kColour>(job);
    case BlurChannels::kAlpha:
      return tails ? ColumnsOf<V, true, BlurChannels::kAlpha>(job) : ColumnsOf<V, false, BlurChannels::kAlpha>(job);
  }
}

// dst pixel (y, x) = src pixel (x, y) for the rows x cols pixels of src.
template <class V>
void TransposePixels(const uint8_t* src, ptrdiff_t srcPitch, uint8_t* dst, ptrdiff_t dstPitch, int64_t rows,
                     int64_t cols) {
  int64_t rows4 = rows & ~int64_t{3};
  int64_t cols4 = cols & ~int64_t{3};
  for (int64_t y = 0; y < rows4; y += 4) {
    for (int64_t x = 0; x < cols4; x += 4)
      V::Transpose4x4(src + y * srcPitch + x * 4, srcPitch, dst + x * dstPitch + y * 4, dstPitch);
  }
  for (int64_t y = 0; y < rows; ++y) {
    for (int64_t x = y < rows4 ? cols4 : 0; x < cols; ++x)
      std::memcpy(dst + x * dstPitch + y * 4, src + y * srcPitch + x * 4, 4);
  }
}

// A band of at most kBlurBandRows rows: turned on its side, blurred as a
// strip of columns, and turned back.
template <class V>
void Rows(const BlurRowsJob& job) {
  const BlurPlan& plan = *job.mPlan;
  int64_t n = plan.mCount;
  ptrdiff_t sidePitch = static_cast<ptrdiff_t>(job.mRows) * 4;
  size_t sideBytes = static_cast<size_t>(n) * kBlurBandRows * 4;
  uint8_t* sideIn = job.mScratch;
  uint8_t* sideOut = sideIn + sideBytes;
  TransposePixels<V>(job.mIn, job.mInPitch, sideIn, sidePitch, job.mRows, n);
  BlurColumnsJob columns{&plan, job.mChannels, sideIn, sidePitch, sideOut, sidePitch, job.mRows, sideOut + sideBytes};
  columns.mLast = n;
  Columns<V>(columns);
  TransposePixels<V>(sideOut, sidePitch, job.mOut, job.mOutPitch, n, job.mRows);
}

}  // namespace blur_lines
