#include "image/resample.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"

namespace {

size_t PixelOffset(int64_t index) { return static_cast<size_t>(index) * 4; }

uint8_t ClampByte(int64_t value) { return static_cast<uint8_t>(std::clamp<int64_t>(value, 0, 255)); }

struct BicubicTables {
  int32_t mKernel[513] = {};
  bool mBuilt = false;
};
BicubicTables g_Bicubic;

// Distance in 1/256 from a fraction f to the taps at -1, 0, +1, +2.
int32_t TapDistance(int tap, int32_t f) {
  switch (tap) {
    case 0: return 256 + f;
    case 1: return f;
    case 2: return 256 - f;
    default: return 512 - f;
  }
}

// The 8.8 source offsets of the bicubic scaler: output i of n over a span
// of `span` pixels.
std::vector<int64_t> BicubicPositions(int32_t n, int64_t span) {
  std::vector<int64_t> table(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) table[static_cast<size_t>(i)] = ((int64_t{i} * 65536) / n * span) >> 8;
  return table;
}

}  // namespace

const int32_t* BicubicKernelTable() {
  if (!g_Bicubic.mBuilt) {
    for (int t = 0; t <= 512; ++t) {
      double d = t / 256.0;
      double k = d <= 1 ? 1 - 2 * d * d + d * d * d : 4 - 8 * d + 5 * d * d - d * d * d;
      g_Bicubic.mKernel[t] = static_cast<int32_t>(k * 256);
    }
    g_Bicubic.mBuilt = true;
  }
  return g_Bicubic.mKernel;
}

void ResampleBicubic(uint8_t* out, const uint8_t* source, int64_t x0, int64_t y0, int64_t x1, int64_t y1,
                     int32_t sourceWidth, int32_t sourceHeight, int32_t width, int32_t height) {
  if (out == nullptr || source == nullptr || width < 1 || height < 1 || sourceWidth < 1 || sourceHeight < 1) return;
  const int32_t* kernel = BicubicKernelTable();
  std::vector<int64_t> rows = BicubicPositions(height, y1 - y0 + 1);
  std::vector<int64_t> columns = BicubicPositions(width, x1 - x0 + 1);
  int64_t pixelCount = int64_t{sourceWidth} * sourceHeight;
  for (int32_t i = 0; i < height; ++i) {
    uint8_t* o = out + PixelOffset(int64_t{i} * width);
    int64_t ry = rows[static_cast<size_t>(i)];
    int64_t sy = y0 + (ry >> 8);
    if (sy < 0 || sy >= sourceHeight) {
      g_PixelPrimitives.mZeroBytes(o, PixelOffset(width));
      continue;
    }
    auto fy = static_cast<int32_t>(ry & 255);
    for (int32_t j = 0; j < width; ++j) {
      int64_t cx = columns[static_cast<size_t>(j)];
      int64_t sx = x0 + (cx >> 8);
      if (sx < 0 || sx >= sourceWidth) {
        std::memset(o + PixelOffset(j), 0, 4);
        continue;
      }
      auto fx = static_cast<int32_t>(cx & 255);
      int64_t sums[4] = {};
      int64_t weights = 0;
      for (int a = 0; a < 4; ++a) {
        int64_t row = sy - 1 + a;
        int32_t ky = kernel[TapDistance(a, fy)];
        for (int b = 0; b < 4; ++b) {
          int64_t col = sx - 1 + b;
          // A tap counts when it lies inside the block: a column beside the
          // edge of an inner row reads the neighbouring row's pixel.
          int64_t index = row * sourceWidth + col;
          if (index < 0 || index >= pixelCount) continue;
          int64_t weight = (int64_t{ky} * kernel[TapDistance(b, fx)]) / 256;
          const uint8_t* p = source + PixelOffset(index);
          for (int c = 0; c < 4; ++c) sums[c] += p[c] * weight;
          weights += weight;
        }
      }
      if (weights == 0) weights = 1;
      for (int c = 0; c < 4; ++c) o[PixelOffset(j) + c] = ClampByte(sums[c] / weights);
    }
  }
}

void ScaleImageSmoothThreaded(uint8_t* out, const uint8_t* source, int64_t x0, int64_t y0, int64_t x1, int64_t y1,
                              int32_t sourceWidth, int32_t sourceHeight, int64_t targetWidth, int64_t targetHeight) {
  int64_t width = targetWidth / 100;
  int64_t height = targetHeight / 100;
  if (out == nullptr || source == nullptr || width < 1 || height < 1 || width > kSmoothScaleMaxWidth ||
      height > kMaxImageSide || sourceWidth < 1 || sourceHeight < 1) {
    return;
  }
  int64_t dx = targetWidth - 100 == 0 ? 100 : targetWidth - 100;
  int64_t dy = targetHeight - 100 == 0 ? 100 : targetHeight - 100;
  int64_t spanX = x1 - x0;
  int64_t spanY = y1 - y0;
  int64_t originX = x0 / 100;
  int64_t originY = y0 / 100;
  // Valid rows and columns: a run that starts at the first source index
  // inside the image and ends before the first one outside it again.
  auto validRun = [](int64_t count, int64_t limit, auto sourceOf, int64_t* first, int64_t* end) {
    int64_t i = 0;
    while (i < count && sourceOf(i) < 0) ++i;
    *first = i;
    while (i < count && sourceOf(i) >= 0 && sourceOf(i) < limit) ++i;
    *end = i;
  };
  int64_t firstRow = 0, endRow = 0, firstColumn = 0, endColumn = 0;
  validRun(height, sourceHeight, [&](int64_t i) { return originY + (((spanY * i * 256) / dy) >> 8); }, &firstRow,
           &endRow);
  validRun(width, sourceWidth, [&](int64_t j) { return originX + (((spanX * j * 256) / dx) >> 8); }, &firstColumn,
           &endColumn);
  // Start and middle offset of each output pixel; the table is sized from
  // the width. A middle offset past the image (strong reductions) is held
  // at the last column so that no sample leaves the block.
  int64_t pairs = (targetWidth * 2) / 100;
  std::vector<int32_t> columns(static_cast<size_t>(std::max<int64_t>(2 * pairs, 2 * width)), 0);
  int64_t lastOffset = (int64_t{sourceWidth} - 1 - originX) * 256;
  int64_t firstOffset = -originX * 256;
  for (int64_t k = 0; k < pairs; ++k) {
    int64_t start = (spanX * k * 256) / dx;
    int64_t middle = (spanX * (k * 256 + 128)) / dx;
    columns[static_cast<size_t>(2 * k)] = static_cast<int32_t>(std::clamp(start, firstOffset, lastOffset));
    columns[static_cast<size_t>(2 * k + 1)] = static_cast<int32_t>(std::clamp(middle, firstOffset, lastOffset));
  }
  for (int64_t i = 0; i < firstRow; ++i) g_PixelPrimitives.mZeroBytes(out + PixelOffset(i * width), PixelOffset(width));
  for (int64_t i = endRow; i < height; ++i) {
    g_PixelPrimitives.mZeroBytes(out + PixelOffset(i * width), PixelOffset(width));
  }
  if (firstRow >= endRow) return;
  int count = std::max(1, GetPixelWorkerCount());
  int64_t rows = endRow - firstRow;
  for (int m = 0; m < count; ++m) {
    WorkerJob& job = g_WorkerJobs[m];
    job = WorkerJob();
    job.mIndex = m;
    job.mCode = JOB_SCALE_SMOOTH;
    job.mScaleFirstRow = firstRow + m * rows / count;
    job.mScaleEndRow = firstRow + (m + 1) * rows / count;
    job.mFirstColumn = firstColumn;
    job.mEndColumn = endColumn;
    job.mX0 = x0;
    job.mY0 = y0;
    job.mX1 = x1;
    job.mY1 = y1;
    job.mSourceWidth = sourceWidth;
    job.mSourceHeight = sourceHeight;
    job.mDestWidth = targetWidth;
    job.mDestHeight = targetHeight;
    job.mDestPixels = out;
    job.mSourcePixels = source;
    job.mColumnTable = columns.data();
    PostWorkerJob(m);
  }
  WaitForWorkerJobs(count);
}

double Sinc(double x) {
  // The single-precision value of pi.
  constexpr double kPi = 3.1415927410125732;
  if (x == 0) return 1;
  return std::sin(x * kPi) / (x * kPi);
}

double LanczosKernel(double x) {
  double a = std::fabs(x);
  return a < 2 ? Sinc(a) * Sinc(a * 0.5) : 0;
}

namespace {

// One axis of a Lanczos resize: for each output position its first tap,
// its tap count and, per tap, the input index (mirrored at the edges) and
// the 16.16 weight.
struct LanczosAxis {
  int64_t mTapRoom = 0;
  std::vector<int64_t> mCounts;
  std::vector<int64_t> mIndexes;
  std::vector<int64_t> mWeights;
};

// The scale of an axis: (n-1)/(N-1), or n when the input is one pixel. A
// one-pixel output would give 0 and an unbounded support: the scale is held
// at no less than one output pixel per input size.
double LanczosScale(int32_t inputSize, int32_t outputSize) {
  double scale = inputSize == 1 ? static_cast<double>(outputSize)
                                : static_cast<double>(outputSize - 1) / static_cast<double>(inputSize - 1);
  return std::max(scale, 1.0 / static_cast<double>(inputSize));
}

bool BuildLanczosAxis(LanczosAxis* axis, int32_t inputSize, int32_t outputSize) {
  double s = LanczosScale(inputSize, outputSize);
  double support = 2 / s;
  auto taps = static_cast<int64_t>(2 * support + 1);
  axis->mTapRoom = taps + 3;
  size_t entries = static_cast<size_t>(outputSize) * static_cast<size_t>(axis->mTapRoom);
  axis->mCounts.assign(static_cast<size_t>(outputSize), 0);
  axis->mIndexes.assign(entries, 0);
  axis->mWeights.assign(entries, 0);
  if (inputSize == 1) {
    // One input pixel: the scale of n output pixels per pixel would place
    // every output but the first between taps of weight 0 and leave it
    // empty; each output takes the pixel with the full weight instead.
    for (int32_t i = 0; i < outputSize; ++i) {
      size_t slot = static_cast<size_t>(i) * static_cast<size_t>(axis->mTapRoom);
      axis->mCounts[static_cast<size_t>(i)] = 1;
      axis->mIndexes[slot] = 0;
      axis->mWeights[slot] = 65536;
    }
    return true;
  }
  for (int32_t i = 0; i < outputSize; ++i) {
    double c = i / s;
    auto left = static_cast<int64_t>(std::floor(c - support));
    auto right = static_cast<int64_t>(std::ceil(c + support));
    int64_t count = std::min(right - left + 1, axis->mTapRoom);
    axis->mCounts[static_cast<size_t>(i)] = count;
    for (int64_t t = 0; t < count; ++t) {
      int64_t j = left + t;
      // Mirrored once at each edge, then held inside: a support wider than
      // the input would mirror past the other edge.
      int64_t m = j;
      if (m < 0) m = -m;
      if (m >= inputSize) m = 2 * int64_t{inputSize} - m - 1;
      m = std::clamp<int64_t>(m, 0, inputSize - 1);
      size_t slot = static_cast<size_t>(i) * static_cast<size_t>(axis->mTapRoom) + static_cast<size_t>(t);
      axis->mIndexes[slot] = m;
      axis->mWeights[slot] = static_cast<int64_t>(LanczosKernel((c - static_cast<double>(j)) * s) * s * 65536);
    }
  }
  return true;
}

void StoreLanczosPixel(uint8_t* o, const int64_t sums[4], int64_t total) {
  if (total == 0) total = 1;
  for (int c = 0; c < 4; ++c) {
    int64_t value = sums[c] / total;
    if (value > (c == 3 ? 252 : 255)) value = 255;
    o[c] = static_cast<uint8_t>(std::max<int64_t>(value, 0));
  }
}

// One pass along rows (horizontal) or columns of an input of inWidth x
// inHeight into an output of outWidth x outHeight.
void LanczosPass(uint8_t* out, const uint8_t* in, int32_t inWidth, int32_t outWidth, int32_t outHeight,
                 const LanczosAxis& axis, bool horizontal) {
  for (int32_t y = 0; y < outHeight; ++y) {
    uint8_t* o = out + PixelOffset(int64_t{y} * outWidth);
    for (int32_t x = 0; x < outWidth; ++x) {
      int32_t i = horizontal ? x : y;
      size_t base = static_cast<size_t>(i) * static_cast<size_t>(axis.mTapRoom);
      int64_t count = axis.mCounts[static_cast<size_t>(i)];
      int64_t sums[4] = {};
      int64_t total = 1;
      for (int64_t t = 0; t < count; ++t) {
        int64_t m = axis.mIndexes[base + static_cast<size_t>(t)];
        int64_t weight = axis.mWeights[base + static_cast<size_t>(t)];
        const uint8_t* p = horizontal ? in + PixelOffset(int64_t{y} * inWidth + m) : in + PixelOffset(m * inWidth + x);
        for (int c = 0; c < 4; ++c) sums[c] += p[c] * weight;
        total += weight;
      }
      StoreLanczosPixel(o + PixelOffset(x), sums, total);
    }
  }
}

}  // namespace

void ResampleLanczos(uint8_t* out, const uint8_t* source, int32_t sourceWidth, int32_t sourceHeight, int32_t width,
                     int32_t height) {
  if (out == nullptr || source == nullptr || sourceWidth < 1 || sourceHeight < 1 || width < 1 || height < 1) return;
  uint8_t* work = AllocPixelBuffer(nullptr, width, sourceHeight, nullptr);
  if (work == nullptr) return;
  LanczosAxis axis;
  BuildLanczosAxis(&axis, sourceWidth, width);
  LanczosPass(work, source, sourceWidth, width, sourceHeight, axis, true);
  BuildLanczosAxis(&axis, sourceHeight, height);
  LanczosPass(out, work, width, width, height, axis, false);
  std::free(work);
}

void ResetResampleState() { g_Bicubic = BicubicTables(); }
