#pragma once
// The row loops of the colour, fill and cell effects, and the spreading of
// an effect's rows over the pixel workers.
//
// Each loop has a plain form, which defines the bytes, and vector forms of
// 16, 32 and 64 bytes a step (SSE2, AVX2, AVX-512, each where the processor
// has it) that give exactly the same bytes; a vector form finishes the last
// pixels short of a whole vector with the plain loop.
#include <cstddef>
#include <cstdint>

// One output row of the swirl: output pixel (u, mV) reads the source pixel
// its distance's turn leads to (see ApplySwirlEffect).
struct SwirlRow {
  const uint16_t* mDistances;  // the row's distances from the centre
  const uint32_t* mTurns;      // by distance: cos in the low 16 bits, sin in the high, both 8.8
  const uint8_t* mOrigin;      // the region's first source pixel
  int32_t mPitchPixels;        // of the source
  int32_t mV;
  int32_t mCentreX;
  int32_t mCentreY;
  int32_t mWidth;
  int32_t mHeight;
};

// One output row of the wave: output pixel (u, mV) reads source column
// max(u + mShiftX, 0) (mRightEdge from column mInEnd on) and row
// mV + mColumnShift[u] clamped to the region.
struct WaveRow {
  const uint8_t* mOrigin;
  int32_t mPitchPixels;
  const int32_t* mColumnShift;
  int32_t mV;
  int32_t mShiftX;
  int32_t mInEnd;
  int32_t mRightEdge;
  int32_t mHeight;
};

struct EffectRowKernels {
  // out = in with each of B, G, R plus delta (-255..255), clamped to 0..255.
  void (*mBrightness)(uint8_t* out, const uint8_t* in, size_t pixels, int delta);
  // out = in with B, G, R turned to 255 - c.
  void (*mNegative)(uint8_t* out, const uint8_t* in, size_t pixels);
  // out = the sepia tint of in's luminance, alpha kept.
  void (*mSepia)(uint8_t* out, const uint8_t* in, size_t pixels);
  // In place: B = G = R = 255 where B+G+R >= limit (0..766), else 0.
  void (*mThreshold)(uint8_t* row, size_t pixels, int limit);
  // In place: every alpha byte becomes `alpha`.
  void (*mFillAlpha)(uint8_t* row, size_t pixels, uint8_t alpha);
  // In place: alpha = alpha * factors[x] / 255 (factors 0..255).
  void (*mScaleAlpha)(uint8_t* row, const uint32_t* factors, size_t pixels);
  // out[u] = last[-u]: the pixels ending at `last`, right to left.
  void (*mReverse)(uint8_t* out, const uint8_t* last, size_t pixels);
  // sums[k] += in[k] for the 4 * pixels bytes of a row (no word overflows
  // while at most 257 rows are added).
  void (*mAddRowBytes)(uint16_t* sums, const uint8_t* in, size_t pixels);
  // out = B, G, R of colours (whose alpha bytes are 0) with in's alpha.
  void (*mColoursWithAlpha)(uint8_t* out, const uint32_t* colours, const uint8_t* in, size_t pixels);
  // The scatter of `blocks` 2x2 blocks side by side from `top` (their lower
  // rows `pitch` bytes further): block j's pixel k takes the colour that
  // its pixel kScatterOrders[n][k] had, n = orders[j] (orders[blocks-1-j]
  // when `reversed`); alpha bytes stay.
  void (*mScatterBlocks)(uint8_t* top, size_t pitch, const uint8_t* orders, size_t blocks, bool reversed);
  // orders[k] = the runtime generator's draw k+1 after `state`, mod 24.
  void (*mScatterDraws)(uint32_t state, uint8_t* orders, size_t count);
  // Output pixels [left, right) of a swirl row; out is the row's start.
  void (*mSwirlRow)(uint8_t* out, const SwirlRow& row, int32_t left, int32_t right);
  // Output pixels [left, right) of a wave row; out is the row's start.
  void (*mWaveRow)(uint8_t* out, const WaveRow& row, int32_t left, int32_t right);
};

// The 24 orders of a 2x2 block's pixels (0, 1 above; 2, 3 below).
inline constexpr uint8_t kScatterOrders[24][4] = {
    {3, 2, 1, 0}, {2, 3, 1, 0}, {3, 1, 2, 0}, {1, 3, 2, 0}, {2, 1, 3, 0}, {1, 2, 3, 0}, {3, 2, 0, 1}, {2, 3, 0, 1},
    {3, 0, 2, 1}, {0, 3, 2, 1}, {2, 0, 3, 1}, {0, 2, 3, 1}, {3, 1, 0, 2}, {1, 3, 0, 2}, {3, 0, 1, 2}, {0, 3, 1, 2},
    {1, 0, 3, 2}, {0, 1, 3, 2}, {2, 1, 0, 3}, {1, 2, 0, 3}, {2, 0, 1, 3}, {0, 2, 1, 3}, {1, 0, 2, 3}, {0, 1, 2, 3}};

// The plain loops.
extern const EffectRowKernels kPlainEffectRows;
// The loops of a vector width: 16, 32 or 64 bytes, or 0 for the widest the
// processor runs; nullptr when it lacks that width (or SSE2 altogether).
const EffectRowKernels* VectorEffectRows(int width);
// The loops the effects run now: the widest by default.
const EffectRowKernels& ActiveEffectRows();
// Tests: makes the effects run the loops of a width (-1 the plain ones, 0
// the widest); false, nothing changed, when the processor lacks it.
bool SelectEffectRowWidth(int width);

// The plain loops one by one, also for the vector forms' last pixels.
void PlainBrightnessRow(uint8_t* out, const uint8_t* in, size_t pixels, int delta);
void PlainNegativeRow(uint8_t* out, const uint8_t* in, size_t pixels);
void PlainSepiaRow(uint8_t* out, const uint8_t* in, size_t pixels);
void PlainThresholdRow(uint8_t* row, size_t pixels, int limit);
void PlainFillAlphaRow(uint8_t* row, size_t pixels, uint8_t alpha);
void PlainScaleAlphaRow(uint8_t* row, const uint32_t* factors, size_t pixels);
void PlainReverseRow(uint8_t* out, const uint8_t* last, size_t pixels);
void PlainAddRowBytes(uint16_t* sums, const uint8_t* in, size_t pixels);
void PlainColoursWithAlphaRow(uint8_t* out, const uint32_t* colours, const uint8_t* in, size_t pixels);
void PlainScatterBlocks(uint8_t* top, size_t pitch, const uint8_t* orders, size_t blocks, bool reversed);
void PlainScatterDraws(uint32_t state, uint8_t* orders, size_t count);
void PlainSwirlRow(uint8_t* out, const SwirlRow& row, int32_t left, int32_t right);
void PlainWaveRow(uint8_t* out, const WaveRow& row, int32_t left, int32_t right);

// The vector tables of each instruction set (false where it is missing).
bool FillSse2EffectRows(EffectRowKernels* table);
bool FillAvx2EffectRows(EffectRowKernels* table);
bool FillAvx512EffectRows(EffectRowKernels* table);

// Rows [0, rows) of an effect in bands over the pixel workers and the
// calling thread: band(first, end, slot) for each band, every row in exactly
// one band. A band writes only its own rows, so the result is the same
// whatever thread runs which band and however many workers run. Small
// pictures (rows * rowPixels below a worker hand-off's worth) are one band.
using EffectBandRoutine = void (*)(void* context, int64_t first, int64_t end, int slot);
void RunEffectBands(int64_t rows, int64_t rowPixels, EffectBandRoutine band, void* context);
// The same in exactly `parts` bands (at most one per row).
void RunEffectBandParts(int64_t rows, int64_t parts, EffectBandRoutine band, void* context);

// The same with a callable band(first, end, slot).
template <typename Band>
void CallEffectBand(void* context, int64_t first, int64_t end, int slot) {
  (*static_cast<const Band*>(context))(first, end, slot);
}
template <typename Band>
void RunEffectBands(int64_t rows, int64_t rowPixels, const Band& band) {
  RunEffectBands(rows, rowPixels, CallEffectBand<Band>, const_cast<void*>(static_cast<const void*>(&band)));
}
template <typename Band>
void RunEffectBandParts(int64_t rows, int64_t parts, const Band& band) {
  RunEffectBandParts(rows, parts, CallEffectBand<Band>, const_cast<void*>(static_cast<const void*>(&band)));
}
