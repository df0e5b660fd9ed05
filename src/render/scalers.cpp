#include "render/scalers.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The horizontal bilinear weights are pushed away from the middle (a 1.25
// contrast around 128): edges of enlarged pictures stay crisper.
struct WeightRemap {
  uint8_t mWeights[256] = {};
  bool mBuilt = false;
};

// Positions of the bilinear scalers in 1/256 source pixel, relative to the
// span's integer start, one per destination column and row.
struct BilinearTables {
  WeightRemap mRemap;
  int64_t mColumns[kScalerMaxSide] = {};
  int64_t mRows[kScalerMaxSide] = {};
};

// The process-wide tables, rebuilt by every call: the nearest scaler's
// column and row offsets, the parallel bilinear byte offsets with their
// weights, the bilinear positions. The frame-thread scaler has its own.
int32_t g_columnTable[kScalerMaxSide];
int32_t g_rowTable[kScalerMaxSide];
uint16_t g_columnWeights[kScalerMaxSide * 4];
BilinearTables g_sharedTables;
BilinearTables g_frameThreadTables;

void BuildRemap(WeightRemap* remap) {
  if (remap->mBuilt) return;
  for (int w = 0; w < 256; ++w) {
    // Exact in binary: (w - 128) * 1.25 is a multiple of 0.25.
    int value = static_cast<int>((w - 128) * 1.25 + 128.0);
    remap->mWeights[w] = static_cast<uint8_t>(std::clamp(value, 0, 255));
  }
  remap->mBuilt = true;
}

// [start, end) of the destination indices whose source index lies inside
// [0, limit): start follows the last index left of the source, end is the
// first index past it. Every index in between reads inside the source, also
// when the positions do not grow monotonically.
template <typename SourceOf>
void FindBounds(int32_t count, int64_t limit, SourceOf sourceOf, int32_t* start, int32_t* end) {
  *start = 0;
  *end = count;
  for (int32_t i = 0; i < count; ++i) {
    int64_t source = sourceOf(i);
    if (source >= limit) {
      *end = i;
      break;
    }
    if (source < 0) *start = i + 1;
  }
}

size_t PixelsBytes(int64_t pixels) { return static_cast<size_t>(pixels) * 4; }

void ZeroRows(uint8_t* dst, int32_t width, int32_t first, int32_t end) {
  if (end <= first) return;
  g_PixelPrimitives.mZeroBytes(dst + PixelsBytes(static_cast<int64_t>(first) * width),
                               PixelsBytes(static_cast<int64_t>(end - first) * width));
}

// Zeroes the columns outside [start, end) of one destination row.
void ZeroRowEdges(uint8_t* row, int64_t width, int64_t start, int64_t end) {
  if (start > 0) g_PixelPrimitives.mZeroBytes(row, PixelsBytes(start));
  if (end < width) g_PixelPrimitives.mZeroBytes(row + PixelsBytes(end), PixelsBytes(width - end));
}

// Spreads the rows [rowStart, rowEnd) over the pixel workers in contiguous
// bands (the poster runs the one job itself when no worker runs) and waits.
template <typename Fill>
void PostRowBands(int32_t code, int32_t rowStart, int32_t rowEnd, Fill fill) {
  int count = std::max(1, GetPixelWorkerCount());
  int64_t rows = static_cast<int64_t>(rowEnd) - rowStart;
  for (int m = 0; m < count; ++m) {
    WorkerJob& job = g_WorkerJobs[m];
    job = WorkerJob();
    job.mCode = code;
    job.mScaleFirstRow = rowStart + m * rows / count;
    job.mScaleEndRow = rowStart + (m + 1) * rows / count;
    fill(job);
    PostWorkerJob(m);
  }
  WaitForWorkerJobs(count);
}

int32_t NearestStep(int32_t first, int32_t last, int32_t count) {
  // The span in 16.16, kept to 32 bits as the table arithmetic is.
  auto span = static_cast<uint32_t>(static_cast<int64_t>(last) - first + 1);
  return static_cast<int32_t>(span << 16) / count;
}

void BuildNearestTable(int32_t* table, int32_t count, int32_t step) {
  uint32_t sum = 0;
  for (int32_t i = 0; i < count; ++i) {
    table[i] = static_cast<int32_t>(sum >> 16);
    sum += static_cast<uint32_t>(step);
  }
}

// The bilinear arithmetic shared by the scalers and job 21.
struct BilinearSetup {
  int64_t mIx0, mIy0;
  int64_t mPreX, mPostX, mPreY, mPostY;
  int64_t mSpanX, mSpanY;
  int64_t mDenX, mDenY;
  int32_t mWidth, mHeight;  // destination pixels
};

BilinearSetup PrepareBilinear(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t dstWidth100,
                              int64_t dstHeight100) {
  BilinearSetup s{};
  s.mIx0 = x0 / 100;
  s.mIy0 = y0 / 100;
  int64_t fx0 = ((x0 - s.mIx0 * 100) * 256) / 100;
  int64_t fy0 = ((y0 - s.mIy0 * 100) * 256) / 100;
  s.mSpanX = x1 - x0;
  s.mSpanY = y1 - y0;
  s.mWidth = static_cast<int32_t>(dstWidth100 / 100);
  s.mHeight = static_cast<int32_t>(dstHeight100 / 100);
  s.mDenX = dstWidth100 - 100 == 0 ? 100 : dstWidth100 - 100;
  s.mDenY = dstHeight100 - 100 == 0 ? 100 : dstHeight100 - 100;
  // A reduction takes the start fraction before the division, an
  // enlargement after it.
  bool reduceX = dstWidth100 < s.mSpanX;
  bool reduceY = dstHeight100 < s.mSpanY;
  s.mPreX = reduceX ? fx0 : 0;
  s.mPostX = reduceX ? 0 : fx0;
  s.mPreY = reduceY ? fy0 : 0;
  s.mPostY = reduceY ? 0 : fy0;
  return s;
}

bool BilinearSizeServed(const BilinearSetup& s) {
  return s.mWidth > 0 && s.mHeight > 0 && s.mWidth <= kScalerMaxSide && s.mHeight <= kScalerMaxSide;
}

int64_t ColumnPosition(const BilinearSetup& s, int64_t c) { return ((s.mPreX + 256 * c) * s.mSpanX) / s.mDenX + s.mPostX; }
int64_t RowPosition(const BilinearSetup& s, int64_t r) { return ((s.mPreY + 256 * r) * s.mSpanY) / s.mDenY + s.mPostY; }

// The bytes of one row pair's sample. The neighbour to the right and below
// is read from the last column and row again at the source's edge (where
// its weight is 0 on every span presentation uses).
void ScaleBilinearWith(BilinearTables& tables, uint8_t* dst, const uint8_t* src, int32_t x0, int32_t y0, int32_t x1,
                       int32_t y1, int32_t srcWidth, int32_t srcHeight, int32_t dstWidth100, int32_t dstHeight100) {
  if (dst == nullptr) return;
  BilinearSetup s = PrepareBilinear(x0, y0, x1, y1, dstWidth100, dstHeight100);
  if (!BilinearSizeServed(s)) return;
  BuildRemap(&tables.mRemap);
  for (int32_t c = 0; c < s.mWidth; ++c) tables.mColumns[c] = ColumnPosition(s, c);
  for (int32_t r = 0; r < s.mHeight; ++r) tables.mRows[r] = RowPosition(s, r);
  int32_t colStart = 0, colEnd = 0, rowStart = 0, rowEnd = 0;
  if (src != nullptr) {
    FindBounds(s.mWidth, srcWidth, [&](int32_t c) { return s.mIx0 + (tables.mColumns[c] >> 8); }, &colStart, &colEnd);
    FindBounds(s.mHeight, srcHeight, [&](int32_t r) { return s.mIy0 + (tables.mRows[r] >> 8); }, &rowStart, &rowEnd);
  }
  if (colStart >= colEnd) rowStart = rowEnd = 0;
  ZeroRows(dst, s.mWidth, 0, rowStart);
  ZeroRows(dst, s.mWidth, rowEnd, s.mHeight);
  size_t srcPitch = PixelsBytes(srcWidth);
  for (int32_t r = rowStart; r < rowEnd; ++r) {
    uint8_t* out = dst + PixelsBytes(static_cast<int64_t>(r) * s.mWidth);
    ZeroRowEdges(out, s.mWidth, colStart, colEnd);
    int64_t y = s.mIy0 + (tables.mRows[r] >> 8);
    int wy = static_cast<int>(tables.mRows[r] & 255);
    const uint8_t* top = src + static_cast<size_t>(y) * srcPitch;
    const uint8_t* bottom = y + 1 < srcHeight ? top + srcPitch : top;
    for (int32_t c = colStart; c < colEnd; ++c) {
      int64_t x = s.mIx0 + (tables.mColumns[c] >> 8);
      int wx = tables.mRemap.mWeights[tables.mColumns[c] & 255];
      size_t at = PixelsBytes(x);
      size_t next = x + 1 < srcWidth ? at + 4 : at;
      for (int b = 0; b < 4; ++b) {
        int upper = (top[at + b] * (256 - wx) + top[next + b] * wx) >> 8;
        int lower = (bottom[at + b] * (256 - wx) + bottom[next + b] * wx) >> 8;
        out[c * 4 + b] = static_cast<uint8_t>((upper * (256 - wy) + lower * wy) >> 8);
      }
    }
  }
}

// One pixel of job 21: rows and columns weighted in 16 bits per channel, the
// vertical step as two unsigned high multiplies.
inline void BlendPixelWorker(uint8_t* out, const uint8_t* top, const uint8_t* bottom, size_t at, size_t next,
                             const uint16_t* wx4, int wy) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  uint32_t raw[4];
  std::memcpy(&raw[0], top + at, 4);
  std::memcpy(&raw[1], top + next, 4);
  std::memcpy(&raw[2], bottom + at, 4);
  std::memcpy(&raw[3], bottom + next, 4);
  __m128i left = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, static_cast<int>(raw[2]), static_cast<int>(raw[0])), zero);
  __m128i right = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, static_cast<int>(raw[3]), static_cast<int>(raw[1])), zero);
  __m128i weight = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(wx4));
  weight = _mm_unpacklo_epi64(weight, weight);
  __m128i inverse = _mm_sub_epi16(_mm_set1_epi16(256), weight);
  // Lanes 0-3: the top row's T256, lanes 4-7: the bottom row's B256.
  __m128i mixed = _mm_add_epi16(_mm_mullo_epi16(left, inverse), _mm_mullo_epi16(right, weight));
  __m128i vertical = _mm_set_epi16(static_cast<int16_t>(wy), static_cast<int16_t>(wy), static_cast<int16_t>(wy),
                                   static_cast<int16_t>(wy), static_cast<int16_t>(256 - wy),
                                   static_cast<int16_t>(256 - wy), static_cast<int16_t>(256 - wy),
                                   static_cast<int16_t>(256 - wy));
  __m128i parts = _mm_mulhi_epu16(mixed, vertical);
  __m128i sum = _mm_add_epi16(parts, _mm_srli_si128(parts, 8));
  uint32_t result = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(sum, zero)));
  std::memcpy(out, &result, 4);
#else
  int wx = wx4[0];
  for (int b = 0; b < 4; ++b) {
    uint32_t upper = static_cast<uint32_t>(top[at + b] * (256 - wx) + top[next + b] * wx);
    uint32_t lower = static_cast<uint32_t>(bottom[at + b] * (256 - wx) + bottom[next + b] * wx);
    uint32_t value = ((upper * static_cast<uint32_t>(256 - wy)) >> 16) + ((lower * static_cast<uint32_t>(wy)) >> 16);
    out[b] = static_cast<uint8_t>(std::min<uint32_t>(255, value));
  }
#endif
}

bool ScaleJobServed(const WorkerJob& job, int64_t width) {
  return job.mDestPixels != nullptr && width > 0 && width <= kScalerMaxSide && job.mFirstColumn >= 0 &&
         job.mEndColumn <= width && job.mScaleFirstRow >= 0 && job.mScaleFirstRow <= job.mScaleEndRow &&
         job.mScaleEndRow <= kScalerMaxSide;
}

}  // namespace

uint8_t GetBilinearWeightRemap(int weight) {
  BuildRemap(&g_sharedTables.mRemap);
  return g_sharedTables.mRemap.mWeights[weight & 255];
}

void ScaleImageNearestParallel(uint8_t* dst, const uint8_t* src, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                               int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight) {
  if (dst == nullptr || dstWidth <= 0 || dstHeight <= 0 || dstWidth > kScalerMaxSide || dstHeight > kScalerMaxSide) {
    return;
  }
  BuildNearestTable(g_columnTable, dstWidth, NearestStep(x0, x1, dstWidth));
  BuildNearestTable(g_rowTable, dstHeight, NearestStep(y0, y1, dstHeight));
  int32_t colStart = 0, colEnd = 0, rowStart = 0, rowEnd = 0;
  if (src != nullptr) {
    FindBounds(dstWidth, srcWidth, [&](int32_t c) { return int64_t{x0} + g_columnTable[c]; }, &colStart, &colEnd);
    FindBounds(dstHeight, srcHeight, [&](int32_t r) { return int64_t{y0} + g_rowTable[r]; }, &rowStart, &rowEnd);
  }
  ZeroRows(dst, dstWidth, 0, rowStart);
  ZeroRows(dst, dstWidth, rowEnd, dstHeight);
  if (rowStart >= rowEnd) return;
  PostRowBands(JOB_SCALE_NEAREST, rowStart, rowEnd, [&](WorkerJob& job) {
    job.mFirstColumn = colStart;
    job.mEndColumn = colEnd;
    job.mX0 = x0;
    job.mY0 = y0;
    job.mSourceWidth = srcWidth;
    job.mSourceHeight = srcHeight;
    job.mDestWidth = dstWidth;
    job.mDestHeight = dstHeight;
    job.mDestPixels = dst;
    job.mSourcePixels = src;
    job.mColumnTable = g_columnTable;
    job.mRowTable = g_rowTable;
  });
}

int32_t RunScaleNearestJob(const WorkerJob& job) {
  int64_t width = job.mDestWidth;
  if (!ScaleJobServed(job, width) || job.mScaleEndRow > job.mDestHeight) return 1;
  bool columns = job.mFirstColumn < job.mEndColumn;
  if (columns && (job.mSourcePixels == nullptr || job.mColumnTable == nullptr || job.mRowTable == nullptr)) return 1;
  for (int64_t r = job.mScaleFirstRow; r < job.mScaleEndRow; ++r) {
    uint8_t* out = job.mDestPixels + PixelsBytes(r * width);
    ZeroRowEdges(out, width, job.mFirstColumn, std::max(job.mFirstColumn, job.mEndColumn));
    if (!columns) continue;
    int64_t y = job.mY0 + job.mRowTable[r];
    const uint8_t* row = job.mSourcePixels + PixelsBytes(y * job.mSourceWidth + job.mX0);
    for (int64_t c = job.mFirstColumn; c < job.mEndColumn; ++c) {
      std::memcpy(out + c * 4, row + PixelsBytes(job.mColumnTable[c]), 4);
    }
  }
  return 0;
}

void ScaleImageBilinear(uint8_t* dst, const uint8_t* src, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                        int32_t srcWidth, int32_t srcHeight, int32_t dstWidth100, int32_t dstHeight100) {
  ScaleBilinearWith(g_sharedTables, dst, src, x0, y0, x1, y1, srcWidth, srcHeight, dstWidth100, dstHeight100);
}

void ScaleImageBilinearFrameThread(uint8_t* dst, const uint8_t* src, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                   int32_t srcWidth, int32_t srcHeight, int32_t dstWidth100, int32_t dstHeight100) {
  ScaleBilinearWith(g_frameThreadTables, dst, src, x0, y0, x1, y1, srcWidth, srcHeight, dstWidth100, dstHeight100);
}

void ScaleImageBilinearParallel(uint8_t* dst, const uint8_t* src, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                int32_t srcWidth, int32_t srcHeight, int32_t dstWidth100, int32_t dstHeight100) {
  if (dst == nullptr) return;
  BilinearSetup s = PrepareBilinear(x0, y0, x1, y1, dstWidth100, dstHeight100);
  if (!BilinearSizeServed(s)) return;
  WeightRemap& remap = g_sharedTables.mRemap;
  BuildRemap(&remap);
  int64_t* rows = g_sharedTables.mRows;
  int64_t* columns = g_sharedTables.mColumns;
  for (int32_t r = 0; r < s.mHeight; ++r) rows[r] = RowPosition(s, r);
  for (int32_t c = 0; c < s.mWidth; ++c) columns[c] = ColumnPosition(s, c);
  int32_t colStart = 0, colEnd = 0, rowStart = 0, rowEnd = 0;
  if (src != nullptr) {
    FindBounds(s.mWidth, srcWidth, [&](int32_t c) { return s.mIx0 + (columns[c] >> 8); }, &colStart, &colEnd);
    FindBounds(s.mHeight, srcHeight, [&](int32_t r) { return s.mIy0 + (rows[r] >> 8); }, &rowStart, &rowEnd);
  }
  if (colStart >= colEnd || rowStart >= rowEnd) {
    ZeroRows(dst, s.mWidth, 0, s.mHeight);
    return;
  }
  for (int32_t c = colStart; c < colEnd; ++c) {
    // Inside the bounds the offset fits: the column lies inside the source.
    g_columnTable[c] = static_cast<int32_t>((columns[c] >> 8) * 4);
    uint16_t weight = remap.mWeights[columns[c] & 255];
    std::fill_n(g_columnWeights + c * 4, 4, weight);
  }
  ZeroRows(dst, s.mWidth, 0, rowStart);
  ZeroRows(dst, s.mWidth, rowEnd, s.mHeight);
  PostRowBands(JOB_SCALE_BILINEAR, rowStart, rowEnd, [&](WorkerJob& job) {
    job.mFirstColumn = colStart;
    job.mEndColumn = colEnd;
    job.mX0 = x0;
    job.mY0 = y0;
    job.mX1 = x1;
    job.mY1 = y1;
    job.mSourceWidth = srcWidth;
    job.mSourceHeight = srcHeight;
    job.mDestWidth = dstWidth100;
    job.mDestHeight = dstHeight100;
    job.mDestPixels = dst;
    job.mSourcePixels = src;
    job.mColumnTable = g_columnTable;
    job.mColumnWeights = g_columnWeights;
  });
}

int32_t RunScaleBilinearJob(const WorkerJob& job) {
  BilinearSetup s = PrepareBilinear(job.mX0, job.mY0, job.mX1, job.mY1, job.mDestWidth, job.mDestHeight);
  if (!ScaleJobServed(job, s.mWidth) || job.mScaleEndRow > s.mHeight) return 1;
  bool columns = job.mFirstColumn < job.mEndColumn;
  if (columns && (job.mSourcePixels == nullptr || job.mColumnTable == nullptr || job.mColumnWeights == nullptr)) {
    return 1;
  }
  size_t srcPitch = PixelsBytes(job.mSourceWidth);
  for (int64_t r = job.mScaleFirstRow; r < job.mScaleEndRow; ++r) {
    uint8_t* out = job.mDestPixels + PixelsBytes(r * s.mWidth);
    ZeroRowEdges(out, s.mWidth, job.mFirstColumn, std::max(job.mFirstColumn, job.mEndColumn));
    if (!columns) continue;
    int64_t py = RowPosition(s, r);
    int64_t y = s.mIy0 + (py >> 8);
    if (y < 0 || y >= job.mSourceHeight) {
      // Not a row the poster's bounds let through: nothing to read.
      ZeroRowEdges(out, s.mWidth, 0, 0);
      continue;
    }
    int wy = static_cast<int>(py & 255);
    const uint8_t* top = job.mSourcePixels + static_cast<size_t>(y) * srcPitch;
    const uint8_t* bottom = y + 1 < job.mSourceHeight ? top + srcPitch : top;
    size_t base = PixelsBytes(s.mIx0);
    size_t lastColumn = PixelsBytes(job.mSourceWidth - 1);
    for (int64_t c = job.mFirstColumn; c < job.mEndColumn; ++c) {
      size_t at = base + static_cast<size_t>(job.mColumnTable[c]);
      size_t next = at < lastColumn ? at + 4 : at;
      BlendPixelWorker(out + c * 4, top, bottom, at, next, job.mColumnWeights + c * 4, wy);
    }
  }
  return 0;
}

void ResetScalerTables() {
  std::fill(std::begin(g_columnTable), std::end(g_columnTable), 0);
  std::fill(std::begin(g_rowTable), std::end(g_rowTable), 0);
  std::fill(std::begin(g_columnWeights), std::end(g_columnWeights), uint16_t{0});
  g_sharedTables = BilinearTables();
  g_frameThreadTables = BilinearTables();
}
