// The mosaic and the scatter: effects over cells and 2x2 blocks, spread
// over the pixel workers in bands of rows.
#include <algorithm>
#include <cstring>
#include <vector>

#include "image/effect_kernels.h"
#include "image/effect_rows.h"
#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"
#include "image/runtime_random.h"

namespace {

uint8_t* OutRow(uint8_t* out, int64_t width, int64_t v) {
  return out + static_cast<size_t>(v) * static_cast<size_t>(width) * 4;
}

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// A cell side beyond any picture's extent puts the same grid lines inside
// the region as every larger one.
constexpr int64_t kLargestCell = int64_t{1} << 20;
// Rows whose bytes a word sum holds without overflow (257 * 255 = 65535).
constexpr int64_t kWordSumRows = 257;

// The spans [first, last] of one grid axis inside [lo, hi]: lines at
// centre + k * size.
struct GridAxis {
  int64_t mLo = 0;
  int64_t mHi = 0;
  int64_t mFirstEnd = 0;  // the last position of the first span
  int64_t mSize = 1;
  int64_t Count() const { return 1 + (mHi - mFirstEnd + mSize - 1) / mSize; }
  int64_t First(int64_t k) const { return k == 0 ? mLo : mFirstEnd + 1 + (k - 1) * mSize; }
  int64_t Last(int64_t k) const { return k == 0 ? mFirstEnd : std::min(mHi, mFirstEnd + k * mSize); }
};

GridAxis MakeGridAxis(int64_t lo, int64_t hi, int64_t centre, int64_t size) {
  return GridAxis{lo, hi, std::min(hi, centre + (FloorDiv(lo - centre, size) + 1) * size - 1), size};
}

}  // namespace

void ApplyMosaicEffect(uint8_t* out, const EffectRegion& region, int64_t cellSize) {
  int64_t s = std::clamp<int64_t>(cellSize, 1, kLargestCell);
  int32_t w = region.Width();
  // Grid lines at cx + k*s and cy + k*s, cut by the region.
  GridAxis rowsAxis = MakeGridAxis(region.mY0, region.mY1, (region.mY1 + 1) / 2, s);
  GridAxis columnsAxis = MakeGridAxis(region.mX0, region.mX1, (region.mX1 + 1) / 2, s);
  const EffectRowKernels& rows = ActiveEffectRows();
  auto band = [&](int64_t firstCellRow, int64_t endCellRow, int) {
    size_t bytes = static_cast<size_t>(w) * 4;
    std::vector<uint16_t> wordSums(bytes);
    std::vector<uint32_t> sums(bytes);
    std::vector<uint32_t> colours(static_cast<size_t>(w));
    for (int64_t cellRow = firstCellRow; cellRow < endCellRow; ++cellRow) {
      int64_t top = rowsAxis.First(cellRow);
      int64_t bottom = rowsAxis.Last(cellRow);
      // Column sums of the cell row's bytes, in words as long as they fit.
      std::fill(sums.begin(), sums.end(), 0u);
      for (int64_t chunk = top; chunk <= bottom; chunk += kWordSumRows) {
        std::fill(wordSums.begin(), wordSums.end(), uint16_t{0});
        for (int64_t y = chunk; y <= std::min(bottom, chunk + kWordSumRows - 1); ++y) {
          rows.mAddRowBytes(wordSums.data(), region.At(region.mX0, y), static_cast<size_t>(w));
        }
        for (size_t i = 0; i < bytes; ++i) sums[i] += wordSums[i];
      }
      // Each cell's means (unsigned 32-bit sums, truncated divisions).
      for (int64_t cell = 0; cell < columnsAxis.Count(); ++cell) {
        int64_t left = columnsAxis.First(cell) - region.mX0;
        int64_t right = columnsAxis.Last(cell) - region.mX0;
        uint32_t cellSums[3] = {};
        for (int64_t u = left; u <= right; ++u) {
          for (int c = 0; c < 3; ++c) cellSums[c] += sums[static_cast<size_t>(u) * 4 + static_cast<size_t>(c)];
        }
        auto count = static_cast<uint32_t>((bottom - top + 1) * (right - left + 1));
        uint32_t colour = cellSums[0] / count | (cellSums[1] / count) << 8 | (cellSums[2] / count) << 16;
        std::fill(colours.begin() + left, colours.begin() + right + 1, colour);
      }
      for (int64_t y = top; y <= bottom; ++y) {
        rows.mColoursWithAlpha(OutRow(out, w, y - region.mY0), colours.data(), region.At(region.mX0, y),
                               static_cast<size_t>(w));
      }
    }
  };
  RunEffectBands(rowsAxis.Count(), int64_t{w} * s, band);
}

namespace {

// One sweep of the scatter: block rows a = 0..mRows-1 with top rows
// mPass + 2a (forward) or h-2-2a (backward); in each, mPerRow blocks b with
// left columns mPass + 2b (forward) or w-2-mPass-2b (backward), block (a, b)
// drawing the generator's number a * mPerRow + b after mState. The blocks of
// a sweep never overlap, so each depends only on the pixels before the sweep
// and its own draw: a sweep's blocks may be done in any order, and a part of
// the picture away from the rest once its rows and the draws are known.
struct ScatterSweep {
  int64_t mPass = 0;
  bool mBackward = false;
  int64_t mRows = 0;
  int64_t mPerRow = 0;
  uint32_t mState = 0;
};

struct ScatterPlan {
  int64_t mWidth = 0;
  int64_t mHeight = 0;
  std::vector<ScatterSweep> mSweeps;
  uint32_t mEndState = 0;
};

ScatterPlan PlanScatter(int64_t w, int64_t h, int64_t passes, uint32_t state) {
  ScatterPlan plan{w, h, {}, state};
  for (int64_t i = 0; i < passes; ++i) {
    int64_t rows = h - i >= 2 ? (h - i) / 2 : 0;
    int64_t perRow = w - i >= 2 ? (w - i) / 2 : 0;
    // Later passes start further in and hold no blocks either.
    if (rows == 0 || perRow == 0) break;
    for (bool backward : {false, true}) {
      plan.mSweeps.push_back(ScatterSweep{i, backward, rows, perRow, plan.mEndState});
      plan.mEndState = RandomStateAfter(plan.mEndState, static_cast<uint64_t>(rows * perRow));
    }
  }
  return plan;
}

// Rows [mLo, mHi) of the scattered picture worked in `mWork` (row mLo
// first), copied in from the region as the sweeps come to them.
struct ScatterWindow {
  uint8_t* mWork = nullptr;
  int64_t mLo = 0;
  int64_t mHi = 0;
};

// The blocks of `sweep` with top rows in [from, to) (inside the window).
void ScatterSweepRows(const ScatterPlan& plan, const ScatterSweep& sweep, const ScatterWindow& window, int64_t from,
                      int64_t to, std::vector<uint8_t>* orders) {
  const EffectRowKernels& rows = ActiveEffectRows();
  size_t pitch = static_cast<size_t>(plan.mWidth) * 4;
  int64_t parity = sweep.mBackward ? plan.mHeight % 2 : sweep.mPass % 2;
  from = std::max(from, sweep.mPass);
  to = std::min(to, plan.mHeight - 1);
  for (int64_t v = from + ((from % 2) != parity ? 1 : 0); v < to; v += 2) {
    int64_t a = sweep.mBackward ? (plan.mHeight - 2 - v) / 2 : (v - sweep.mPass) / 2;
    rows.mScatterDraws(RandomStateAfter(sweep.mState, static_cast<uint64_t>(a * sweep.mPerRow)), orders->data(),
                       static_cast<size_t>(sweep.mPerRow));
    // A backward row draws from the right.
    int64_t firstColumn = sweep.mBackward ? plan.mWidth - sweep.mPass - 2 * sweep.mPerRow : sweep.mPass;
    uint8_t* row = window.mWork + static_cast<size_t>(v - window.mLo) * pitch;
    rows.mScatterBlocks(row + static_cast<size_t>(firstColumn) * 4, pitch, orders->data(),
                        static_cast<size_t>(sweep.mPerRow), sweep.mBackward);
  }
}

// Rows a sweep runs ahead of the next in the window's wavefront, a strip at
// a time, so the rows every sweep works on are still in the cache.
constexpr int64_t kScatterStripRows = 32;

// Every sweep over the window: sweep s does its blocks with top rows below
// T - 2s while T steps down the window, so each block finds the rows of
// both its rows done by the sweep before (whose blocks reach one row
// further) and not yet by the sweep after.
void ScatterWindowRows(const ScatterPlan& plan, const EffectRegion& region, const ScatterWindow& window) {
  size_t pitch = static_cast<size_t>(plan.mWidth) * 4;
  auto sweeps = static_cast<int64_t>(plan.mSweeps.size());
  std::vector<int64_t> done(plan.mSweeps.size(), window.mLo);
  std::vector<uint8_t> orders(static_cast<size_t>(plan.mWidth / 2 + 1));
  int64_t copied = window.mLo;
  for (int64_t t = window.mLo + kScatterStripRows;; t += kScatterStripRows) {
    for (int64_t end = std::min(t + 1, window.mHi); copied < end; ++copied) {
      g_PixelPrimitives.mCopyBytes(window.mWork + static_cast<size_t>(copied - window.mLo) * pitch,
                                   region.At(region.mX0, region.mY0 + copied), pitch);
    }
    for (int64_t s = 0; s < sweeps; ++s) {
      int64_t limit = std::min(t - 2 * s, window.mHi - 1);
      if (limit <= done[static_cast<size_t>(s)]) continue;
      ScatterSweepRows(plan, plan.mSweeps[static_cast<size_t>(s)], window, done[static_cast<size_t>(s)], limit,
                       &orders);
      done[static_cast<size_t>(s)] = limit;
    }
    if (copied >= window.mHi && t - 2 * (sweeps - 1) >= window.mHi - 1) break;
  }
}

}  // namespace

void ApplyScatterEffect(uint8_t* out, const EffectRegion& region, int64_t twicePasses) {
  int64_t w = region.Width();
  int64_t h = region.Height();
  ScatterPlan plan = PlanScatter(w, h, twicePasses / 2, RuntimeRandomState());
  // A row's pixels reach one row further with every sweep, so a band of
  // rows comes out right when it is worked with as many rows around it as
  // there are sweeps (the rows beyond the picture's edges need none). Bands
  // are kept several times that margin high, and only as many as there are
  // threads to run them.
  auto margin = static_cast<int64_t>(plan.mSweeps.size());
  int64_t threads = GetPixelWorkerCount() + 1;
  int64_t parts = std::clamp<int64_t>(h / std::max<int64_t>(4 * margin, 16), 1, threads);
  std::vector<uint8_t> scratch[kPartSlots];
  RunEffectBandParts(h, parts, [&](int64_t first, int64_t end, int slot) {
    int64_t lo = std::max<int64_t>(0, first - margin);
    int64_t hi = std::min(h, end + margin);
    size_t pitch = static_cast<size_t>(w) * 4;
    if (lo == first && hi == end) {
      ScatterWindowRows(plan, region, ScatterWindow{OutRow(out, w, first), lo, hi});
      return;
    }
    std::vector<uint8_t>& work = scratch[slot];
    work.resize(static_cast<size_t>(hi - lo) * pitch);
    ScatterWindowRows(plan, region, ScatterWindow{work.data(), lo, hi});
    std::memcpy(OutRow(out, w, first), work.data() + static_cast<size_t>(first - lo) * pitch,
                static_cast<size_t>(end - first) * pitch);
  });
  // The generator ends where drawing the blocks one after another leaves it.
  SeedRuntimeRandom(plan.mEndState);
}
