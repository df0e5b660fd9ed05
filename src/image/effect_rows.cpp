// The plain row loops of the effects, the choice of the vector loops and the
// effects' bands over the pixel workers.
#include "image/effect_rows.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "image/pixel_workers.h"
#include "image/runtime_random.h"

namespace {

uint32_t LoadPixel(const uint8_t* p) {
  uint32_t value;
  std::memcpy(&value, p, 4);
  return value;
}
void StorePixel(uint8_t* p, uint32_t value) { std::memcpy(p, &value, 4); }

uint8_t ClampByte(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

}  // namespace

void PlainBrightnessRow(uint8_t* out, const uint8_t* in, size_t pixels, int delta) {
  for (size_t i = 0; i < pixels * 4; i += 4) {
    for (size_t c = 0; c < 3; ++c) out[i + c] = ClampByte(in[i + c] + delta);
    out[i + 3] = in[i + 3];
  }
}

void PlainNegativeRow(uint8_t* out, const uint8_t* in, size_t pixels) {
  for (size_t i = 0; i < pixels * 4; i += 4) {
    for (size_t c = 0; c < 3; ++c) out[i + c] = static_cast<uint8_t>(255 - in[i + c]);
    out[i + 3] = in[i + 3];
  }
}

void PlainSepiaRow(uint8_t* out, const uint8_t* in, size_t pixels) {
  for (size_t i = 0; i < pixels * 4; i += 4) {
    // Luminance scaled by 2^20, then three fixed tints.
    int64_t y = (117 * int64_t{in[i]} + 601 * int64_t{in[i + 1]} + 306 * int64_t{in[i + 2]}) * 1024;
    out[i] = static_cast<uint8_t>(std::clamp<int64_t>((y - 46347025) / 1048576, 0, 255));
    out[i + 1] = static_cast<uint8_t>(std::clamp<int64_t>((y - 287585) / 1048576, 0, 255));
    out[i + 2] = static_cast<uint8_t>(std::clamp<int64_t>((y + 18748416) / 1048576, 0, 255));
    out[i + 3] = in[i + 3];
  }
}

void PlainThresholdRow(uint8_t* row, size_t pixels, int limit) {
  for (size_t i = 0; i < pixels * 4; i += 4) {
    uint8_t value = row[i] + row[i + 1] + row[i + 2] >= limit ? 255 : 0;
    row[i] = row[i + 1] = row[i + 2] = value;
  }
}

void PlainFillAlphaRow(uint8_t* row, size_t pixels, uint8_t alpha) {
  for (size_t i = 0; i < pixels; ++i) row[i * 4 + 3] = alpha;
}

void PlainScaleAlphaRow(uint8_t* row, const uint32_t* factors, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i) row[i * 4 + 3] = static_cast<uint8_t>(row[i * 4 + 3] * factors[i] / 255);
}

void PlainReverseRow(uint8_t* out, const uint8_t* last, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i) std::memcpy(out + i * 4, last - i * 4, 4);
}

void PlainAddRowBytes(uint16_t* sums, const uint8_t* in, size_t pixels) {
  for (size_t i = 0; i < pixels * 4; ++i) sums[i] = static_cast<uint16_t>(sums[i] + in[i]);
}

void PlainColoursWithAlphaRow(uint8_t* out, const uint32_t* colours, const uint8_t* in, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i) {
    StorePixel(out + i * 4, colours[i] | (LoadPixel(in + i * 4) & 0xFF000000u));
  }
}

void PlainScatterBlocks(uint8_t* top, size_t pitch, const uint8_t* orders, size_t blocks, bool reversed) {
  constexpr uint64_t kAlphas = 0xFF000000FF000000u;
  for (size_t j = 0; j < blocks; ++j) {
    uint8_t* at = top + j * 8;
    uint64_t upper;
    uint64_t lower;
    std::memcpy(&upper, at, 8);
    std::memcpy(&lower, at + pitch, 8);
    // The colour of pixel k, from the halves held in registers.
    auto colour = [upper, lower](int k) -> uint64_t {
      return ((k < 2 ? upper : lower) >> (32 * (k & 1))) & 0xFFFFFFu;
    };
    const uint8_t* order = kScatterOrders[orders[reversed ? blocks - 1 - j : j]];
    upper = colour(order[0]) | colour(order[1]) << 32 | (upper & kAlphas);
    lower = colour(order[2]) | colour(order[3]) << 32 | (lower & kAlphas);
    std::memcpy(at, &upper, 8);
    std::memcpy(at + pitch, &lower, 8);
  }
}

void PlainScatterDraws(uint32_t state, uint8_t* orders, size_t count) {
  for (size_t k = 0; k < count; ++k) orders[k] = static_cast<uint8_t>(NextRandomOf(&state) % 24);
}

void PlainSwirlRow(uint8_t* out, const SwirlRow& row, int32_t left, int32_t right) {
  const int32_t dv = row.mV - row.mCentreY;
  const size_t pitch = static_cast<size_t>(row.mPitchPixels) * 4;
  for (int32_t u = left; u < right; ++u) {
    uint32_t turn = row.mTurns[row.mDistances[u]];
    auto cosine = static_cast<int16_t>(turn & 0xFFFF);
    auto sine = static_cast<int16_t>(turn >> 16);
    int32_t du = u - row.mCentreX;
    int32_t su = std::clamp(row.mCentreX + ((-dv * sine + du * cosine) >> 8), 0, row.mWidth - 1);
    int32_t sv = std::clamp(((du * sine + dv * cosine) >> 8) + row.mCentreY, 0, row.mHeight - 1);
    std::memcpy(out + static_cast<size_t>(u) * 4, row.mOrigin + static_cast<size_t>(sv) * pitch + static_cast<size_t>(su) * 4,
                4);
  }
}

void PlainWaveRow(uint8_t* out, const WaveRow& row, int32_t left, int32_t right) {
  const size_t pitch = static_cast<size_t>(row.mPitchPixels) * 4;
  for (int32_t u = left; u < right; ++u) {
    int32_t su = u < row.mInEnd ? std::max(u + row.mShiftX, 0) : row.mRightEdge;
    int32_t sv = std::clamp(row.mV + row.mColumnShift[u], 0, row.mHeight - 1);
    std::memcpy(out + static_cast<size_t>(u) * 4, row.mOrigin + static_cast<size_t>(sv) * pitch + static_cast<size_t>(su) * 4,
                4);
  }
}

const EffectRowKernels kPlainEffectRows = {
    PlainBrightnessRow, PlainNegativeRow,   PlainSepiaRow,   PlainThresholdRow,
    PlainFillAlphaRow,  PlainScaleAlphaRow, PlainReverseRow, PlainAddRowBytes,  PlainColoursWithAlphaRow,
    PlainScatterBlocks, PlainScatterDraws,  PlainSwirlRow,   PlainWaveRow};

namespace {

struct VectorEffectTables {
  EffectRowKernels mTables[3];
  bool mHave[3] = {};
  VectorEffectTables() {
    mHave[0] = FillSse2EffectRows(&mTables[0]);
    mHave[1] = mHave[0] && FillAvx2EffectRows(&mTables[1]);
    mHave[2] = mHave[1] && FillAvx512EffectRows(&mTables[2]);
  }
};

const VectorEffectTables& TheVectorTables() {
  static const VectorEffectTables tables;
  return tables;
}

std::atomic<const EffectRowKernels*> g_ChosenEffectRows{nullptr};

}  // namespace

const EffectRowKernels* VectorEffectRows(int width) {
  const VectorEffectTables& tables = TheVectorTables();
  if (width == 0) {
    for (int k = 2; k >= 0; --k) {
      if (tables.mHave[k]) return &tables.mTables[k];
    }
    return nullptr;
  }
  int k = width == 16 ? 0 : width == 32 ? 1 : width == 64 ? 2 : -1;
  return k >= 0 && tables.mHave[k] ? &tables.mTables[k] : nullptr;
}

const EffectRowKernels& ActiveEffectRows() {
  const EffectRowKernels* chosen = g_ChosenEffectRows.load(std::memory_order_acquire);
  if (chosen != nullptr) return *chosen;
  const EffectRowKernels* widest = VectorEffectRows(0);
  return widest != nullptr ? *widest : kPlainEffectRows;
}

bool SelectEffectRowWidth(int width) {
  const EffectRowKernels* table = width < 0 ? &kPlainEffectRows : VectorEffectRows(width);
  if (table == nullptr) return false;
  g_ChosenEffectRows.store(table, std::memory_order_release);
  return true;
}

namespace {

// A band holds at least this many pixels; a picture of fewer is one band
// (handing it to a worker would take longer than the work).
constexpr int64_t kBandMinPixels = 32768;
// Bands per run at most: enough for uneven bands to even out over the
// threads, few enough that claiming them costs nothing.
constexpr int64_t kMaxBands = 32;

struct BandRun {
  EffectBandRoutine mBand;
  void* mContext;
  int64_t mRows;
  int64_t mParts;
};

void RunBandPart(void* context, int64_t part, int slot) {
  const auto* run = static_cast<const BandRun*>(context);
  int64_t first = run->mRows * part / run->mParts;
  int64_t end = run->mRows * (part + 1) / run->mParts;
  if (first < end) run->mBand(run->mContext, first, end, slot);
}

}  // namespace

void RunEffectBandParts(int64_t rows, int64_t parts, EffectBandRoutine band, void* context) {
  if (rows <= 0) return;
  BandRun run{band, context, rows, std::clamp<int64_t>(parts, 1, rows)};
  RunWorkerParts(run.mParts, RunBandPart, &run);
}

void RunEffectBands(int64_t rows, int64_t rowPixels, EffectBandRoutine band, void* context) {
  if (rows <= 0) return;
  int64_t pixels = rows * std::max<int64_t>(rowPixels, 1);
  RunEffectBandParts(rows, std::min(pixels / kBandMinPixels, kMaxBands), band, context);
}
