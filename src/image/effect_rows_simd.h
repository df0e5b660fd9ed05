#pragma once
// The vector row loops of the effects, written once over an operations type
// E (one per instruction set: 16, 32 or 64 bytes a step) that adds to the
// blend kernels' operations the few the effects need. Every loop works on
// whole vectors and leaves the last pixels to the plain loop, which gives the
// same bytes. Included only by the files that instantiate it (each compiled
// for its instruction set); internal linkage.
//
// E adds to the operations of blend_simd.h:
//   Srai32<N>, Cmpgt32, Madd16 (signed words multiplied, pairs added to dwords),
//   Reverse32 (the dwords in the opposite order across the whole vector),
//   WidenBytes (E::kBytes bytes to two vectors of words in memory order),
//   PackBytesToPixels (the transpose of the sepia's packed channels),
//   and kHasShuffle where the 16-byte byte shuffle may be used.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "image/effect_rows.h"
#include "image/runtime_random.h"

namespace {
namespace fx {

template <class E>
using Vec = typename E::T;

constexpr size_t kPixelBytes = 4;

template <class E>
[[gnu::always_inline]] inline Vec<E> ColourBytes() {
  return E::Set32(0x00FFFFFFu);
}

template <class E>
void BrightnessRow(uint8_t* out, const uint8_t* in, size_t pixels, int delta) {
  size_t bytes = pixels * kPixelBytes;
  size_t i = 0;
  // Saturating byte arithmetic is the clamp; the alpha byte of the addend is 0.
  uint32_t step = static_cast<uint32_t>(delta < 0 ? -delta : delta);
  Vec<E> addend = E::Set32(step | step << 8 | step << 16);
  if (delta >= 0) {
    for (; bytes - i >= E::kBytes; i += E::kBytes) E::Store(out + i, E::Adds8u(E::Load(in + i), addend));
  } else {
    for (; bytes - i >= E::kBytes; i += E::kBytes) E::Store(out + i, E::Subs8u(E::Load(in + i), addend));
  }
  PlainBrightnessRow(out + i, in + i, pixels - i / kPixelBytes, delta);
}

template <class E>
void NegativeRow(uint8_t* out, const uint8_t* in, size_t pixels) {
  size_t bytes = pixels * kPixelBytes;
  size_t i = 0;
  Vec<E> colours = ColourBytes<E>();
  for (; bytes - i >= E::kBytes; i += E::kBytes) E::Store(out + i, E::Xor(E::Load(in + i), colours));
  PlainNegativeRow(out + i, in + i, pixels - i / kPixelBytes);
}

// The luminance 117 B + 601 G + 306 R of each pixel, as dwords.
template <class E>
[[gnu::always_inline]] inline Vec<E> Luminance(Vec<E> p) {
  Vec<E> evenBytes = E::Set32(0x00FF00FFu);
  Vec<E> blueRed = E::Madd16(E::And(p, evenBytes), E::Set32(117u | 306u << 16));
  Vec<E> green = E::Madd16(E::And(E::template Srli32<8>(p), evenBytes), E::Set32(601u));
  return E::Add32(blueRed, green);
}

// The sepia tints: (Y - offset) / 2^20 with Y the luminance times 1024,
// truncated and clamped. Y is a multiple of 1024, so that is
// floor((L - ceil(offset / 1024)) / 1024) on the luminance L itself (the
// quotients below 0 clamp to 0 either way).
constexpr int kSepiaBlueOffset = 45261;   // ceil(46347025 / 1024)
constexpr int kSepiaGreenOffset = 281;    // ceil(287585 / 1024)
constexpr int kSepiaRedOffset = -18309;   // -18748416 / 1024, exact

template <class E>
void SepiaRow(uint8_t* out, const uint8_t* in, size_t pixels) {
  size_t bytes = pixels * kPixelBytes;
  size_t i = 0;
  for (; bytes - i >= E::kBytes; i += E::kBytes) {
    Vec<E> p = E::Load(in + i);
    Vec<E> l = Luminance<E>(p);
    // Each tint floor((L - offset) / 1024); the packs clamp to 0..255.
    Vec<E> blue = E::template Srai32<10>(E::Sub32(l, E::Set32(static_cast<uint32_t>(kSepiaBlueOffset))));
    Vec<E> green = E::template Srai32<10>(E::Sub32(l, E::Set32(static_cast<uint32_t>(kSepiaGreenOffset))));
    Vec<E> red = E::template Srai32<10>(E::Sub32(l, E::Set32(static_cast<uint32_t>(kSepiaRedOffset))));
    Vec<E> alpha = E::template Srli32<24>(p);
    Vec<E> channels = E::PackUs16(E::PackS32(blue, green), E::PackS32(red, alpha));
    E::Store(out + i, E::PackBytesToPixels(channels));
  }
  PlainSepiaRow(out + i, in + i, pixels - i / kPixelBytes);
}

template <class E>
void ThresholdRow(uint8_t* row, size_t pixels, int limit) {
  size_t bytes = pixels * kPixelBytes;
  size_t i = 0;
  Vec<E> below = E::Set32(static_cast<uint32_t>(limit - 1));
  Vec<E> evenBytes = E::Set32(0x00FF00FFu);
  Vec<E> colours = ColourBytes<E>();
  for (; bytes - i >= E::kBytes; i += E::kBytes) {
    Vec<E> p = E::Load(row + i);
    Vec<E> sum = E::Add32(E::Madd16(E::And(p, evenBytes), E::Set32(0x00010001u)),
                          E::And(E::template Srli32<8>(p), E::Set32(0xFFu)));
    Vec<E> white = E::And(E::Cmpgt32(sum, below), colours);
    E::Store(row + i, E::Or(white, E::AndNot(colours, p)));
  }
  PlainThresholdRow(row + i, pixels - i / kPixelBytes, limit);
}

template <class E>
void FillAlphaRow(uint8_t* row, size_t pixels, uint8_t alpha) {
  size_t bytes = pixels * kPixelBytes;
  size_t i = 0;
  Vec<E> value = E::Set32(uint32_t{alpha} << 24);
  Vec<E> colours = ColourBytes<E>();
  for (; bytes - i >= E::kBytes; i += E::kBytes) E::Store(row + i, E::Or(E::And(E::Load(row + i), colours), value));
  PlainFillAlphaRow(row + i, pixels - i / kPixelBytes, alpha);
}

template <class E>
void ScaleAlphaRow(uint8_t* row, const uint32_t* factors, size_t pixels) {
  size_t bytes = pixels * kPixelBytes;
  size_t i = 0;
  Vec<E> colours = ColourBytes<E>();
  for (; bytes - i >= E::kBytes; i += E::kBytes) {
    Vec<E> p = E::Load(row + i);
    // alpha * f below 65536 in the low word of each dword; its floor by 255
    // as (x * 0x8081) >> 23 (the high words stay 0).
    Vec<E> product = E::Mullo16(E::template Srli32<24>(p), E::Load(reinterpret_cast<const uint8_t*>(factors) + i));
    Vec<E> scaled = E::template Srli16<7>(E::Mulhi16u(product, E::Set32(0x8081u)));
    E::Store(row + i, E::Or(E::And(p, colours), E::template Slli32<24>(scaled)));
  }
  PlainScaleAlphaRow(row + i, factors + i / kPixelBytes, pixels - i / kPixelBytes);
}

template <class E>
void ReverseRow(uint8_t* out, const uint8_t* last, size_t pixels) {
  size_t bytes = pixels * kPixelBytes;
  size_t i = 0;
  // The vector ending at source pixel -u holds the next pixels reversed.
  for (; bytes - i >= E::kBytes; i += E::kBytes) {
    E::Store(out + i, E::Reverse32(E::Load(last + kPixelBytes - E::kBytes - i)));
  }
  PlainReverseRow(out + i, last - i, pixels - i / kPixelBytes);
}

template <class E>
void AddRowBytes(uint16_t* sums, const uint8_t* in, size_t pixels) {
  size_t bytes = pixels * kPixelBytes;
  size_t i = 0;
  for (; bytes - i >= E::kBytes; i += E::kBytes) {
    Vec<E> low;
    Vec<E> high;
    E::WidenBytes(in + i, &low, &high);
    auto* at = reinterpret_cast<uint8_t*>(sums + i);
    E::Store(at, E::Add16(E::Load(at), low));
    E::Store(at + E::kBytes, E::Add16(E::Load(at + E::kBytes), high));
  }
  PlainAddRowBytes(sums + i, in + i, pixels - i / kPixelBytes);
}

template <class E>
void ColoursWithAlphaRow(uint8_t* out, const uint32_t* colours, const uint8_t* in, size_t pixels) {
  size_t bytes = pixels * kPixelBytes;
  size_t i = 0;
  Vec<E> alpha = E::Set32(0xFF000000u);
  const auto* colourBytes = reinterpret_cast<const uint8_t*>(colours);
  for (; bytes - i >= E::kBytes; i += E::kBytes) {
    E::Store(out + i, E::Or(E::Load(colourBytes + i), E::And(E::Load(in + i), alpha)));
  }
  PlainColoursWithAlphaRow(out + i, colours + i / kPixelBytes, in + i, pixels - i / kPixelBytes);
}

// The byte shuffle of each scatter order over a block held as 16 bytes
// (the upper pixels, then the lower ones): colour bytes from the pixel the
// order names, alpha bytes in place.
struct ScatterShuffles {
  uint8_t mBytes[24][16];
  constexpr ScatterShuffles() : mBytes() {
    for (int n = 0; n < 24; ++n) {
      for (int k = 0; k < 4; ++k) {
        for (int c = 0; c < 3; ++c) mBytes[n][k * 4 + c] = static_cast<uint8_t>(kScatterOrders[n][k] * 4 + c);
        mBytes[n][k * 4 + 3] = static_cast<uint8_t>(k * 4 + 3);
      }
    }
  }
};
constexpr ScatterShuffles kScatterShuffles;

// The 8 bytes at p and at p + pitch as one 16-byte vector, shuffled; only
// instantiated where the byte shuffle may be used.
template <class E>
[[gnu::always_inline]] inline void ShuffleBlock(uint8_t* p, size_t pitch, const uint8_t* index) {
  // The 8-byte loads and stores are the unaligned ones.
  __m128i block = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                     _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + pitch)));
  block = _mm_shuffle_epi8(block, _mm_loadu_si128(reinterpret_cast<const __m128i*>(index)));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), block);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p + pitch), _mm_unpackhi_epi64(block, block));
}

// With a byte shuffle a block is one shuffle.
template <class E>
void ScatterBlocks(uint8_t* top, size_t pitch, const uint8_t* orders, size_t blocks, bool reversed) {
  if constexpr (E::kHasShuffle) {
    if (reversed) {
      for (size_t j = 0; j < blocks; ++j) {
        ShuffleBlock<E>(top + j * 8, pitch, kScatterShuffles.mBytes[orders[blocks - 1 - j]]);
      }
    } else {
      for (size_t j = 0; j < blocks; ++j) ShuffleBlock<E>(top + j * 8, pitch, kScatterShuffles.mBytes[orders[j]]);
    }
  } else {
    PlainScatterBlocks(top, pitch, orders, blocks, reversed);
  }
}

// The draws in E::kBytes / 4 generator copies, each stepping as many draws
// at once; x % 24 for x below 2^15 as x - 24 * ((x * 43691) >> 20).
template <class E>
void ScatterDraws(uint32_t state, uint8_t* orders, size_t count) {
  constexpr size_t kLanes = E::kBytes / 4;
  if constexpr (E::kHasDwordOps) {
    if (count >= kLanes) {
      alignas(64) uint32_t first[kLanes];
      for (uint32_t& lane : first) {
        NextRandomOf(&state);
        lane = state;
      }
      Vec<E> states = E::Load(reinterpret_cast<const uint8_t*>(first));
      Vec<E> multiplier = E::Set32(RandomStateAfter(1, kLanes) - RandomStateAfter(0, kLanes));
      Vec<E> increment = E::Set32(RandomStateAfter(0, kLanes));
      size_t k = 0;
      for (; count - k >= kLanes; k += kLanes) {
        Vec<E> drawn = E::And(E::template Srli32<16>(states), E::Set32(0x7FFFu));
        Vec<E> quotient = E::template Srli32<20>(E::Mullo32(drawn, E::Set32(43691u)));
        E::StoreLowBytes(orders + k, E::Sub32(drawn, E::Mullo32(quotient, E::Set32(24u))));
        states = E::Add32(E::Mullo32(states, multiplier), increment);
      }
      // The state before the draw k + 1.
      PlainScatterDraws(RandomStateAfter(first[0], k - 1), orders + k, count - k);
      return;
    }
  }
  PlainScatterDraws(state, orders, count);
}

// With dword operations (E::kHasDwordOps: Gather32, Mullo32, Max32, Min32,
// the lane numbers Lanes, the words of E::kBytes / 4 distances WidenWords)
// a row of pixels moved by per-pixel positions is one gather a vector.
template <class E>
[[gnu::always_inline]] inline Vec<E> ClampLanes(Vec<E> value, int32_t high) {
  return E::Min32(E::Max32(value, E::Zero()), E::Set32(static_cast<uint32_t>(high)));
}

template <class E>
void SwirlRowOf(uint8_t* out, const SwirlRow& row, int32_t left, int32_t right) {
  if constexpr (E::kHasDwordOps) {
    constexpr int32_t kLanes = static_cast<int32_t>(E::kBytes / 4);
    const int32_t dv = row.mV - row.mCentreY;
    // Words (du, -dv) and (dv, du) against (cos, sin): the two sums of
    // products, each in a dword.
    Vec<E> upperMinusDv = E::Set32(static_cast<uint32_t>(-dv) << 16);
    Vec<E> lowerDv = E::Set32(static_cast<uint32_t>(dv) & 0xFFFFu);
    Vec<E> wordMask = E::Set32(0xFFFFu);
    Vec<E> pitch = E::Set32(static_cast<uint32_t>(row.mPitchPixels));
    Vec<E> centreX = E::Set32(static_cast<uint32_t>(row.mCentreX));
    Vec<E> centreY = E::Set32(static_cast<uint32_t>(row.mCentreY));
    int32_t u = left;
    for (; right - u >= kLanes; u += kLanes) {
      Vec<E> turn = E::Gather32(row.mTurns, E::WidenWords(row.mDistances + u));
      Vec<E> du = E::Add32(E::Set32(static_cast<uint32_t>(u - row.mCentreX)), E::Lanes());
      Vec<E> across = E::Madd16(turn, E::Or(E::And(du, wordMask), upperMinusDv));
      Vec<E> down = E::Madd16(turn, E::Or(lowerDv, E::template Slli32<16>(du)));
      Vec<E> su = ClampLanes<E>(E::Add32(centreX, E::template Srai32<8>(across)), row.mWidth - 1);
      Vec<E> sv = ClampLanes<E>(E::Add32(E::template Srai32<8>(down), centreY), row.mHeight - 1);
      Vec<E> index = E::Add32(E::Mullo32(sv, pitch), su);
      E::Store(out + static_cast<size_t>(u) * 4, E::Gather32(row.mOrigin, index));
    }
    PlainSwirlRow(out, row, u, right);
  } else {
    PlainSwirlRow(out, row, left, right);
  }
}

template <class E>
void WaveRowOf(uint8_t* out, const WaveRow& row, int32_t left, int32_t right) {
  if constexpr (E::kHasDwordOps) {
    constexpr int32_t kLanes = static_cast<int32_t>(E::kBytes / 4);
    Vec<E> pitch = E::Set32(static_cast<uint32_t>(row.mPitchPixels));
    Vec<E> lastInside = E::Set32(static_cast<uint32_t>(row.mInEnd - 1));
    Vec<E> rightEdge = E::Set32(static_cast<uint32_t>(row.mRightEdge));
    Vec<E> v = E::Set32(static_cast<uint32_t>(row.mV));
    int32_t u = left;
    for (; right - u >= kLanes; u += kLanes) {
      Vec<E> columns = E::Add32(E::Set32(static_cast<uint32_t>(u)), E::Lanes());
      Vec<E> shifted = E::Max32(E::Add32(columns, E::Set32(static_cast<uint32_t>(row.mShiftX))), E::Zero());
      Vec<E> su = E::Blend(E::Cmpgt32(columns, lastInside), rightEdge, shifted);
      Vec<E> down = E::Load(reinterpret_cast<const uint8_t*>(row.mColumnShift + u));
      Vec<E> sv = ClampLanes<E>(E::Add32(v, down), row.mHeight - 1);
      E::Store(out + static_cast<size_t>(u) * 4, E::Gather32(row.mOrigin, E::Add32(E::Mullo32(sv, pitch), su)));
    }
    PlainWaveRow(out, row, u, right);
  } else {
    PlainWaveRow(out, row, left, right);
  }
}

template <class E>
void FillTable(EffectRowKernels* table) {
  *table = EffectRowKernels{BrightnessRow<E>,      NegativeRow<E>,  SepiaRow<E>,   ThresholdRow<E>,
                            FillAlphaRow<E>, ScaleAlphaRow<E>, ReverseRow<E>,
                            AddRowBytes<E>,        ColoursWithAlphaRow<E>, ScatterBlocks<E>,  ScatterDraws<E>,
                            SwirlRowOf<E>,         WaveRowOf<E>};
}

}  // namespace fx
}  // namespace
