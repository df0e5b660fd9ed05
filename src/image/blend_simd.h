#pragma once
// The vectorised blend kernels (and the helpers of the alpha row loops in
// pixel_rows_simd.h), written once over a vector type V of V::kBytes bytes
// (16 on SSE2, 32 on AVX2, 64 on AVX-512). V supplies the operations below
// on unsigned bytes and 16-bit words; wider vectors work lane by lane (128
// bits) exactly as the 16-byte form, so every width gives the same bytes. Included only by the files that
// instantiate it (one per instruction set, each compiled for its set);
// everything here has internal linkage.
//
// The helpers are always inlined: a helper left out of line passes its
// vectors through memory on every step.
//
// Every mode is computed in closed form, with the same floors as its table:
// floor(x/255) = (x * 0x8081) >> 23 for 16-bit x, and the modes that divide
// per byte in single precision, exact for their operands. The weighted steps use
// d + floor((t - d) w / 256) = (d (256 - w) + t w) >> 8, which stays within an
// unsigned word for w up to 256. The last bytes short of a whole vector, and
// any weight outside 0..256, go to the plain kernels, which give the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "image/blend_kernels.h"
#include "image/pixel_primitives.h"

namespace {
namespace simd {

template <class V>
using Vec = typename V::T;

template <class V>
[[gnu::always_inline]] inline Vec<V> Select(Vec<V> mask, Vec<V> yes, Vec<V> no) {
  return V::Blend(mask, yes, no);
}
// floor(x / 255) for unsigned words: (x * 0x8081) >> 23.
template <class V>
[[gnu::always_inline]] inline Vec<V> Div255(Vec<V> x) {
  return V::template Srli16<7>(V::Mulhi16u(x, V::Set16(0x8081)));
}
// A per-pixel 32-bit value (below 65536) in all four word lanes of its pixel:
// the first two pixels of each 128-bit lane and the last two, matching the
// word halves Lo8 and Hi8.
constexpr uint8_t kFirstPixelWords[16] = {0, 1, 0, 1, 0, 1, 0, 1, 4, 5, 4, 5, 4, 5, 4, 5};
constexpr uint8_t kLastPixelWords[16] = {8, 9, 8, 9, 8, 9, 8, 9, 12, 13, 12, 13, 12, 13, 12, 13};
template <class V>
[[gnu::always_inline]] inline void PixelWords(Vec<V> perPixel, Vec<V>* first, Vec<V>* last) {
  if constexpr (V::kHasShuffle) {
    *first = V::Shuffle8(perPixel, V::Table16(kFirstPixelWords));
    *last = V::Shuffle8(perPixel, V::Table16(kLastPixelWords));
  } else {
    Vec<V> both = V::Or(perPixel, V::template Slli32<16>(perPixel));
    *first = V::Lo32(both, both);
    *last = V::Hi32(both, both);
  }
}
// The byte-shuffle indices that spread the alpha bytes of the first two and
// the last two pixels of a 128-bit lane over their words (0x80 gives zero).
constexpr uint8_t kFirstAlphaWords[16] = {3, 0x80, 3, 0x80, 3, 0x80, 3, 0x80, 7, 0x80, 7, 0x80, 7, 0x80, 7, 0x80};
constexpr uint8_t kLastAlphaWords[16] = {11,   0x80, 11,   0x80, 11,   0x80, 11,   0x80,
                                         15,   0x80, 15,   0x80, 15,   0x80, 15,   0x80};
template <class V>
[[gnu::always_inline]] inline void AlphaWords(Vec<V> s, Vec<V>* first, Vec<V>* last) {
  if constexpr (V::kHasShuffle) {
    *first = V::Shuffle8(s, V::Table16(kFirstAlphaWords));
    *last = V::Shuffle8(s, V::Table16(kLastAlphaWords));
  } else {
    PixelWords<V>(V::template Srli32<24>(s), first, last);
  }
}
template <class V>
[[gnu::always_inline]] inline Vec<V> AlphaBytes() {
  return V::Set32(0xFF000000u);
}
// Colour bytes from r, alpha bytes from d.
template <class V>
[[gnu::always_inline]] inline Vec<V> KeepAlpha(Vec<V> r, Vec<V> d) {
  return Select<V>(AlphaBytes<V>(), d, r);
}

// The modes whose formulas divide per byte, computed in single precision.
constexpr bool IsDividingMode(int mode) {
  return mode == BLEND_DIVIDE || mode == BLEND_COLOR_DODGE || mode == BLEND_COLOR_BURN || mode == BLEND_SOFT_LIGHT ||
         mode == BLEND_VIVID_LIGHT;
}

// floor(num / den) as dwords, for integer-valued floats with 0 <= num < 2^24
// and 0 < den <= 510: the quotient of two exact floats is correctly rounded,
// and a quotient that is not an integer lies at least 1/den below the next
// one, far more than the rounding, so truncating it gives the exact floor.
template <class V>
[[gnu::always_inline]] inline Vec<V> FloorDiv(typename V::F num, typename V::F den) {
  return V::ToInt(V::FDiv(num, den));
}

// T(s, d) of a dividing mode on four dwords (s, d as floats) before the
// clamp to 0..255, which the packing to words and to bytes applies.
template <class V, int M>
[[gnu::always_inline]] inline Vec<V> DividingDwords(typename V::F s, typename V::F d) {
  if constexpr (M == BLEND_DIVIDE) {
    // d = 0 divides by 1: 255 for s > 0 and 0 for s = 0, as the mode says.
    return FloorDiv<V>(V::FMul(s, V::FSet(255)), V::FMax(d, V::FSet(1)));
  } else if constexpr (M == BLEND_COLOR_DODGE) {
    return FloorDiv<V>(V::FMul(d, V::FSet(256)), V::FSub(V::FSet(256), s));
  } else {
    static_assert(M == BLEND_COLOR_BURN);
    Vec<V> q = FloorDiv<V>(V::FMul(V::FSub(V::FSet(255), d), V::FSet(256)), V::FAdd(s, V::FSet(1)));
    return V::Sub32(V::Set32(255), q);
  }
}

// Splits eight words into two halves of four dwords (as floats), applies
// Op::Apply to each and packs the dword results back to words with signed
// saturation. (Functors rather than lambdas: a lambda's body is not compiled
// for the wider instruction set of the code around it.)
template <class V, class Op>
[[gnu::always_inline]] inline Vec<V> ByDwords(Vec<V> s, Vec<V> d) {
  Vec<V> low = Op::Apply(V::ToFloat(V::Lo16(s)), V::ToFloat(V::Lo16(d)));
  Vec<V> high = Op::Apply(V::ToFloat(V::Hi16(s)), V::ToFloat(V::Hi16(d)));
  return V::PackS32(low, high);
}

template <class V, int M>
struct DividingOp {
  static Vec<V> Apply(typename V::F s, typename V::F d) { return DividingDwords<V, M>(s, d); }
};

// Soft light: T = clamp(d + floor((s - 128) K / 2^k)), with K = k(d) =
// 16384 - ceil(sqrt(256 - d)) (the truncation of 16384 - sqrt(256 - d)) and
// k = 15 for s < 128; for s >= 128, K = trunc(16384 - (768 - 8d) sqrt(256 - d))
// and k = 15 when d <= 32, else K = k(d) and k = 16. In single precision
// both K agree with the table's for every d. The high half of the signed
// word product is the floor of the product / 65536.
template <class V>
[[gnu::always_inline]] inline void SoftLightConstants(Vec<V> dw, Vec<V>* k, Vec<V>* k2) {
  typename V::F df = V::ToFloat(dw);
  typename V::F root = V::FSqrt(V::FSub(V::FSet(256), df));
  Vec<V> whole = V::ToInt(root);
  Vec<V> up = V::Sub32(whole, V::FCmplt(V::ToFloat(whole), root));
  *k = V::Sub32(V::Set32(16384), up);
  typename V::F factor = V::FSub(V::FSet(768), V::FMul(df, V::FSet(8)));
  *k2 = V::ToInt(V::FSub(V::FSet(16384), V::FMul(factor, root)));
}

// With the byte shuffle both constants come from 16-byte tables: k(d) =
// 16383 - isqrt(255 - d) (ceil(sqrt(x)) = 1 + isqrt(x - 1)), isqrt(y) being
// isqrt(16h) or one more for the high nibble h of y (y < 16 looked up
// directly); the constant for d <= 32 from tables of its low and high bytes.
constexpr uint8_t kIsqrtOfNibble[16] = {0, 4, 5, 6, 8, 8, 9, 10, 11, 12, 12, 13, 13, 14, 14, 15};
// (isqrt(16h) + 1)^2 - 1: y above it has the larger root (255: never).
constexpr uint8_t kIsqrtStep[16] = {0, 24, 35, 48, 80, 80, 99, 120, 143, 168, 168, 195, 195, 224, 224, 255};
constexpr uint8_t kIsqrtSmall[16] = {0, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3};
// trunc(16384 - (768 - 8d) sqrt(256 - d)) for d = 0..31, low and high bytes;
// d = 32 gives 8721.
constexpr uint16_t kSoftLightSmall[32] = {4096, 4247, 4399, 4549, 4700, 4850, 4999, 5148, 5297, 5445, 5593,
                                          5740, 5887, 6033, 6179, 6324, 6469, 6613, 6757, 6900, 7043, 7186,
                                          7328, 7469, 7610, 7751, 7891, 8030, 8169, 8308, 8446, 8584};
struct SoftLightByteTables {
  uint8_t mLow[2][16];
  uint8_t mHigh[2][16];
  constexpr SoftLightByteTables() : mLow(), mHigh() {
    for (int d = 0; d < 32; ++d) {
      mLow[d / 16][d % 16] = static_cast<uint8_t>(kSoftLightSmall[d] & 255);
      mHigh[d / 16][d % 16] = static_cast<uint8_t>(kSoftLightSmall[d] >> 8);
    }
  }
};
constexpr SoftLightByteTables kSoftLightBytes;

template <class V>
[[gnu::always_inline]] inline void SoftLightShuffled(Vec<V> d, Vec<V>* k0, Vec<V>* k1, Vec<V>* small0, Vec<V>* small1) {
  Vec<V> nibble = V::Set8(15);
  Vec<V> y = V::Not(d);
  Vec<V> high = V::And(V::template Srli16<4>(y), nibble);
  Vec<V> base = V::Shuffle8(V::Table16(kIsqrtOfNibble), high);
  Vec<V> atOrBelow = V::Cmpeq8(V::Subs8u(y, V::Shuffle8(V::Table16(kIsqrtStep), high)), V::Zero());
  Vec<V> root = V::Add8(V::Add8(base, V::Set8(1)), atOrBelow);
  root = Select<V>(V::Cmpeq8(high, V::Zero()), V::Shuffle8(V::Table16(kIsqrtSmall), y), root);
  *k0 = V::Sub16(V::Set16(16383), V::Lo8(root));
  *k1 = V::Sub16(V::Set16(16383), V::Hi8(root));
  Vec<V> low = V::And(d, nibble);
  Vec<V> first = V::Cmplt16(V::Lo8(d), V::Set16(16));
  Vec<V> firstHigh = V::Cmplt16(V::Hi8(d), V::Set16(16));
  Vec<V> lowBytes0 = V::Shuffle8(V::Table16(kSoftLightBytes.mLow[0]), low);
  Vec<V> highBytes0 = V::Shuffle8(V::Table16(kSoftLightBytes.mHigh[0]), low);
  Vec<V> lowBytes1 = V::Shuffle8(V::Table16(kSoftLightBytes.mLow[1]), low);
  Vec<V> highBytes1 = V::Shuffle8(V::Table16(kSoftLightBytes.mHigh[1]), low);
  Vec<V> at0 = Select<V>(first, V::Interleave8Lo(lowBytes0, highBytes0), V::Interleave8Lo(lowBytes1, highBytes1));
  Vec<V> at1 = Select<V>(firstHigh, V::Interleave8Hi(lowBytes0, highBytes0), V::Interleave8Hi(lowBytes1, highBytes1));
  *small0 = Select<V>(V::Cmpeq16(V::Lo8(d), V::Set16(32)), V::Set16(8721), at0);
  *small1 = Select<V>(V::Cmpeq16(V::Hi8(d), V::Set16(32)), V::Set16(8721), at1);
}

// Soft light on words from the two constants of each byte.
template <class V>
[[gnu::always_inline]] inline Vec<V> SoftLightWords(Vec<V> s, Vec<V> d, Vec<V> kd, Vec<V> kSmall) {
  Vec<V> centred = V::Sub16(s, V::Set16(128));
  Vec<V> low = V::Cmplt16(s, V::Set16(128));
  Vec<V> smallD = V::Cmplt16(d, V::Set16(33));
  Vec<V> k = Select<V>(V::AndNot(low, smallD), kSmall, kd);
  Vec<V> factor = Select<V>(V::Or(low, smallD), V::Add16(centred, centred), centred);
  return V::Add16(d, V::Mulhi16(factor, k));
}

// Soft light of a vector of bytes as words (the low and high bytes of each
// 128-bit lane), not yet clamped.
template <class V>
[[gnu::always_inline]] inline void SoftLightHalves(Vec<V> s, Vec<V> d, Vec<V>* t0, Vec<V>* t1) {
  Vec<V> k0;
  Vec<V> k1;
  Vec<V> small0;
  Vec<V> small1;
  if constexpr (V::kHasShuffle) {
    SoftLightShuffled<V>(d, &k0, &k1, &small0, &small1);
  } else {
    Vec<V> a;
    Vec<V> b;
    Vec<V> c;
    Vec<V> e;
    SoftLightConstants<V>(V::Lo16(V::Lo8(d)), &a, &b);
    SoftLightConstants<V>(V::Hi16(V::Lo8(d)), &c, &e);
    k0 = V::PackS32(a, c);
    small0 = V::PackS32(b, e);
    SoftLightConstants<V>(V::Lo16(V::Hi8(d)), &a, &b);
    SoftLightConstants<V>(V::Hi16(V::Hi8(d)), &c, &e);
    k1 = V::PackS32(a, c);
    small1 = V::PackS32(b, e);
  }
  *t0 = SoftLightWords<V>(V::Lo8(s), V::Lo8(d), k0, small0);
  *t1 = SoftLightWords<V>(V::Hi8(s), V::Hi8(d), k1, small1);
}

// floor(num / den) on unsigned words (num < 65536, 0 < den <= 510), the
// quotient saturated to 32767: one float division per dword, exact as in
// FloorDiv.
template <class V>
[[gnu::always_inline]] inline Vec<V> FloorDivWords(Vec<V> num, Vec<V> den) {
  Vec<V> low = FloorDiv<V>(V::ToFloat(V::Lo16(num)), V::ToFloat(V::Lo16(den)));
  Vec<V> high = FloorDiv<V>(V::ToFloat(V::Hi16(num)), V::ToFloat(V::Hi16(den)));
  return V::PackS32(low, high);
}

// Vivid light: s = 0 gives 0, s = 255 gives 255; 1..127 the floor of
// (255d + 510s - 65025) / 2s, which is 255 - ceil(255 (255 - d) / 2s), the
// ceiling taken as the floor of (255 (255 - d) + 2s - 1) / 2s; 128..254 the
// floor of 255d / (510 - 2s). Numerators and divisors are built on words
// (both numerators stay below 65536) and only the division goes to floats;
// divisors of 0 (s = 0 and 255) become 1, and those lanes are replaced after.
template <class V>
[[gnu::always_inline]] inline Vec<V> VividLightWords(Vec<V> s, Vec<V> d) {
  Vec<V> low = V::Cmplt16(s, V::Set16(128));
  Vec<V> twice = V::Add16(s, s);
  Vec<V> den = Select<V>(low, twice, V::Sub16(V::Set16(510), twice));
  den = V::Max16(den, V::Set16(1));
  Vec<V> burn = V::Add16(V::Mullo16(V::Sub16(V::Set16(255), d), V::Set16(255)), V::Sub16(twice, V::Set16(1)));
  Vec<V> num = Select<V>(low, burn, V::Mullo16(d, V::Set16(255)));
  Vec<V> q = FloorDivWords<V>(num, den);
  Vec<V> r = Select<V>(low, V::Sub16(V::Set16(255), q), q);
  r = V::AndNot(V::Cmpeq16(s, V::Zero()), r);
  return Select<V>(V::Cmpeq16(s, V::Set16(255)), V::Set16(255), r);
}

// The overlay and hard light shape on bytes: b picks the branch, a is the
// other byte. b < 128: floor(2ab/255); b = 128: a; b > 128:
// 2b - 257 + floor(a (512 - 2b)/255). With f = min(b, 256 - b) both products
// are 2af, and floor(2af/255) = (af * 0x8081) >> 22 as af < 32768. At b = 128
// the first formula gives a too, except 256 for a = 255, which the packing
// brings back to 255. Above 128 the rest, 2u - 1 for u = b - 128, is added on
// bytes; the sum never passes 255.
template <class V>
[[gnu::always_inline]] inline Vec<V> LightShapeHalf(Vec<V> a, Vec<V> f) {
  return V::template Srli16<6>(V::Mulhi16u(V::Mullo16(a, f), V::Set16(0x8081)));
}
template <class V>
[[gnu::always_inline]] inline Vec<V> LightShape(Vec<V> a, Vec<V> b) {
  Vec<V> f = V::Min8u(b, V::Sub8(V::Zero(), b));
  Vec<V> u = V::Subs8u(b, V::Set8(128));
  Vec<V> rest = V::Subs8u(V::Add8(u, u), V::Set8(1));
  Vec<V> q = V::PackUs16(LightShapeHalf<V>(V::Lo8(a), V::Lo8(f)), LightShapeHalf<V>(V::Hi8(a), V::Hi8(f)));
  return V::Adds8u(q, rest);
}

// T(s, d) on words, for the modes computed in words.
template <class V, int M>
[[gnu::always_inline]] inline Vec<V> ModeWords(Vec<V> s, Vec<V> d) {
  if constexpr (M == BLEND_MULTIPLY) {
    return Div255<V>(V::Mullo16(s, d));
  } else if constexpr (M == BLEND_SCREEN) {
    return V::Sub16(V::Add16(s, d), Div255<V>(V::Mullo16(s, d)));
  } else if constexpr (M == BLEND_EXCLUSION) {
    Vec<V> q = Div255<V>(V::Mullo16(s, d));
    return V::Sub16(V::Add16(s, d), V::Add16(q, q));
  } else if constexpr (M == BLEND_LINEAR_LIGHT) {
    // Packing saturates the signed words to 0..255.
    return V::Sub16(V::Add16(d, V::Add16(s, s)), V::Set16(256));
  } else {
    static_assert(M == BLEND_PIN_LIGHT);
    Vec<V> twice = V::Add16(s, s);
    Vec<V> low = V::Min16(d, twice);
    Vec<V> high = V::Max16(d, V::Sub16(twice, V::Set16(255)));
    return Select<V>(V::Cmplt16(s, V::Set16(128)), low, high);
  }
}

constexpr bool IsByteMode(int mode) {
  return mode == BLEND_NORMAL || mode == BLEND_ADD || mode == BLEND_SUBTRACT || mode == BLEND_LIGHTEN ||
         mode == BLEND_DARKEN || mode == BLEND_DIFFERENCE || mode == BLEND_LINEAR_BURN || mode == BLEND_OVERLAY ||
         mode == BLEND_HARD_LIGHT;
}

// T(s, d) of the modes computed on bytes.
template <class V, int M>
[[gnu::always_inline]] inline Vec<V> ModeBytes(Vec<V> s, Vec<V> d) {
  if constexpr (M == BLEND_NORMAL) {
    return s;
  } else if constexpr (M == BLEND_ADD) {
    return V::Adds8u(d, s);
  } else if constexpr (M == BLEND_SUBTRACT) {
    return V::Subs8u(s, d);
  } else if constexpr (M == BLEND_LIGHTEN) {
    return V::Max8u(s, d);
  } else if constexpr (M == BLEND_DARKEN) {
    return V::Min8u(s, d);
  } else if constexpr (M == BLEND_DIFFERENCE) {
    return V::Or(V::Subs8u(s, d), V::Subs8u(d, s));
  } else if constexpr (M == BLEND_OVERLAY) {
    return LightShape<V>(s, d);
  } else if constexpr (M == BLEND_HARD_LIGHT) {
    return LightShape<V>(d, s);
  } else {
    static_assert(M == BLEND_LINEAR_BURN);
    // d + s - 255 = d - (255 - s), floored at 0.
    return V::Subs8u(d, V::Not(s));
  }
}

// T(s, d) of the other modes on words, possibly outside 0..255 (the caller
// clamps).
template <class V, int M>
[[gnu::always_inline]] inline Vec<V> ModeWordsUnclamped(Vec<V> s, Vec<V> d) {
  if constexpr (M == BLEND_VIVID_LIGHT) {
    return VividLightWords<V>(s, d);
  } else if constexpr (IsDividingMode(M)) {
    return ByDwords<V, DividingOp<V, M>>(s, d);
  } else {
    return ModeWords<V, M>(s, d);
  }
}

// T(s, d) on a vector of bytes.
template <class V, int M>
[[gnu::always_inline]] inline Vec<V> ModeValues(Vec<V> s, Vec<V> d) {
  if constexpr (IsByteMode(M)) {
    return ModeBytes<V, M>(s, d);
  } else if constexpr (M == BLEND_SOFT_LIGHT) {
    Vec<V> t0;
    Vec<V> t1;
    SoftLightHalves<V>(s, d, &t0, &t1);
    return V::PackUs16(t0, t1);
  } else {
    return V::PackUs16(ModeWordsUnclamped<V, M>(V::Lo8(s), V::Lo8(d)),
                       ModeWordsUnclamped<V, M>(V::Hi8(s), V::Hi8(d)));
  }
}

// T(s, d) as words 0..255: the low and the high bytes of each 128-bit lane.
template <class V, int M>
[[gnu::always_inline]] inline void ModeHalves(Vec<V> s, Vec<V> d, Vec<V>* t0, Vec<V>* t1) {
  if constexpr (IsByteMode(M)) {
    Vec<V> t = ModeBytes<V, M>(s, d);
    *t0 = V::Lo8(t);
    *t1 = V::Hi8(t);
  } else {
    Vec<V> r0;
    Vec<V> r1;
    if constexpr (M == BLEND_SOFT_LIGHT) {
      SoftLightHalves<V>(s, d, &r0, &r1);
    } else {
      r0 = ModeWordsUnclamped<V, M>(V::Lo8(s), V::Lo8(d));
      r1 = ModeWordsUnclamped<V, M>(V::Hi8(s), V::Hi8(d));
    }
    constexpr bool kInRange =
        M == BLEND_MULTIPLY || M == BLEND_SCREEN || M == BLEND_EXCLUSION || M == BLEND_PIN_LIGHT;
    if constexpr (!kInRange) {
      r0 = V::Min16(V::Max16(r0, V::Zero()), V::Set16(255));
      r1 = V::Min16(V::Max16(r1, V::Zero()), V::Set16(255));
    }
    *t0 = r0;
    *t1 = r1;
  }
}

// d + floor((t - d) w / 256) on words, w 0..256.
template <class V>
[[gnu::always_inline]] inline Vec<V> Weigh(Vec<V> d, Vec<V> t, Vec<V> w) {
  return V::template Srli16<8>(V::Add16(V::Mullo16(d, V::Sub16(V::Set16(256), w)), V::Mullo16(t, w)));
}
// The same on bytes, with T given as words (ModeHalves).
template <class V>
[[gnu::always_inline]] inline Vec<V> WeighBytes(Vec<V> d, Vec<V> t0, Vec<V> t1, Vec<V> wLo, Vec<V> wHi) {
  return V::PackUs16(Weigh<V>(V::Lo8(d), t0, wLo), Weigh<V>(V::Hi8(d), t1, wHi));
}

// How far ahead of a blend step the rows are fetched: the processor's own
// prefetching alone leaves the blend waiting on memory.
constexpr size_t kBlendPrefetchBytes = 512;

// 1: every byte, alpha included, becomes T.
template <class V, int M>
void Opaque(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  size_t i = 0;
  for (; n - i >= V::kBytes; i += V::kBytes) {
    V::Store(dst + i, ModeValues<V, M>(V::Load(src + i), V::Load(dst + i)));
  }
  if (i < n) g_PlainBlendKernels.mPlain[M * 2 + 1](dst + i, src + i, o, n - i);
}

template <class V>
[[gnu::always_inline]] inline Vec<V> ScaleGap(Vec<V> gap, Vec<V> w) {
  return V::PackUs16(V::template Srli16<8>(V::Mullo16(V::Lo8(gap), w)),
                     V::template Srli16<8>(V::Mullo16(V::Hi8(gap), w)));
}

// 2: every byte moves towards T by o/256; difference truncates toward zero.
template <class V, int M>
void Opacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  size_t i = 0;
  if (o >= 0 && o <= 255) {
    Vec<V> w = V::Set16(o);
    for (; n - i >= V::kBytes; i += V::kBytes) {
      Vec<V> d = V::Load(dst + i);
      Vec<V> s = V::Load(src + i);
      if constexpr (M == BLEND_DIFFERENCE) {
        // One of the two gaps is zero; each moves by floor(gap o / 256).
        Vec<V> t = ModeValues<V, M>(s, d);
        V::Store(dst + i, V::Sub8(V::Add8(d, ScaleGap<V>(V::Subs8u(t, d), w)), ScaleGap<V>(V::Subs8u(d, t), w)));
      } else {
        Vec<V> t0;
        Vec<V> t1;
        ModeHalves<V, M>(s, d, &t0, &t1);
        V::Store(dst + i, WeighBytes<V>(d, t0, t1, w, w));
      }
    }
  }
  if (i < n) g_PlainBlendKernels.mPlain[M * 2](dst + i, src + i, o, n - i);
}

// The weights of the alpha kernels in the word lanes of each pixel: the
// source alpha + 1, with the opacity (words of o) times o / 256. Worked out
// once per pixel in its dword (the product stays below 65536, so the word
// multiply gives it whole) and then spread over the pixel's words.
template <class V, bool kOpacity>
[[gnu::always_inline]] inline void AlphaWeights(Vec<V> s, Vec<V> opacity, Vec<V>* first, Vec<V>* last) {
  if constexpr (!kOpacity && V::kHasShuffle) {
    AlphaWords<V>(s, first, last);
    *first = V::Add16(*first, V::Set16(1));
    *last = V::Add16(*last, V::Set16(1));
  } else {
    Vec<V> w = V::Add32(V::template Srli32<24>(s), V::Set32(1));
    if constexpr (kOpacity) w = V::template Srli32<8>(V::Mullo16(w, opacity));
    PixelWords<V>(w, first, last);
  }
}

// 3 and 4: colour bytes move by the source alpha + 1 (times o / 256); the
// destination alpha stays.
template <class V, int M, bool kOpacity>
void Alpha(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  size_t i = 0;
  if (!kOpacity || (o >= 0 && o <= 255)) {
    Vec<V> opacity = V::Set16(o);
    for (; n - i >= V::kBytes; i += V::kBytes) {
      __builtin_prefetch(dst + i + kBlendPrefetchBytes, 1);
      __builtin_prefetch(src + i + kBlendPrefetchBytes, 0);
      Vec<V> d = V::Load(dst + i);
      Vec<V> s = V::Load(src + i);
      Vec<V> t0;
      Vec<V> t1;
      ModeHalves<V, M>(s, d, &t0, &t1);
      Vec<V> w0;
      Vec<V> w1;
      AlphaWeights<V, kOpacity>(s, opacity, &w0, &w1);
      V::Store(dst + i, KeepAlpha<V>(WeighBytes<V>(d, t0, t1, w0, w1), d));
    }
  }
  if (i < n) g_PlainBlendKernels.mAlpha[M * 2 + (kOpacity ? 0 : 1)](dst + i, src + i, o, n - i);
}

// The rule weights of the pixels of one vector (from each mask pixel's blue
// byte), as 32-bit values. Returns false when every weight skips its pixel;
// `plain` is set when a weight lies outside 0..256 (the step then runs
// plain). Skipping weights become 0, which leaves the pixel.
template <class V>
[[gnu::always_inline]] inline bool RuleWeights(const uint8_t* mask, Vec<V>* weights, bool* plain) {
  constexpr size_t kPixels = V::kBytes / 4;
  int32_t w[kPixels];
  bool any = false;
  *plain = false;
  for (size_t k = 0; k < kPixels; ++k) {
    w[k] = g_RuleWeightTable[mask[k * 4]];
    if (w[k] <= 1) {
      w[k] = 0;
    } else {
      any = true;
      if (w[k] > 256) *plain = true;
    }
  }
  uint8_t bytes[V::kBytes];
  std::memcpy(bytes, w, sizeof(bytes));
  *weights = V::Load(bytes);
  return any;
}

// 5: the rule weight of the mask pixel; weights 0 and 1 leave the pixel.
template <class V, int M>
void Masked(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int threshold, int softness, size_t n) {
  size_t i = 0;
  for (; n - i >= V::kBytes; i += V::kBytes) {
    Vec<V> weights;
    bool plain = false;
    if (!RuleWeights<V>(mask + i, &weights, &plain)) continue;
    if (plain) {
      g_PlainBlendKernels.mMasked[M * 2](dst + i, src + i, mask + i, threshold, softness, V::kBytes);
      continue;
    }
    Vec<V> d = V::Load(dst + i);
    Vec<V> t0;
    Vec<V> t1;
    ModeHalves<V, M>(V::Load(src + i), d, &t0, &t1);
    Vec<V> w0;
    Vec<V> w1;
    PixelWords<V>(weights, &w0, &w1);
    V::Store(dst + i, KeepAlpha<V>(WeighBytes<V>(d, t0, t1, w0, w1), d));
  }
  if (i < n) g_PlainBlendKernels.mMasked[M * 2](dst + i, src + i, mask + i, threshold, softness, n - i);
}

// d + floor((t - d) W / 65536) on words for W = w * a (w, a 0..256): the
// 32-bit products come from the low and high halves of the word multiply;
// W = 65536 (both 256) gives t.
template <class V>
[[gnu::always_inline]] inline Vec<V> WeighWide(Vec<V> d, Vec<V> t, Vec<V> w, Vec<V> a) {
  Vec<V> wide = V::Mullo16(w, a);
  Vec<V> full = V::And(V::Cmpeq16(w, V::Set16(256)), V::Cmpeq16(a, V::Set16(256)));
  Vec<V> up = V::Subs16u(t, d);
  Vec<V> down = V::Subs16u(d, t);
  Vec<V> rise = V::Mulhi16u(up, wide);
  // The fall rounds away from zero: the floor of a negative product.
  Vec<V> exact = V::Cmpeq16(V::Mullo16(down, wide), V::Zero());
  Vec<V> fall = V::Sub16(V::Mulhi16u(down, wide), V::Not(exact));
  return Select<V>(full, t, V::Sub16(V::Add16(d, rise), fall));
}

// 6: the rule weight times the source alpha + 1 (normal mode: times the alpha).
template <class V, int M>
void MaskedAlpha(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int threshold, int softness, size_t n) {
  size_t i = 0;
  Vec<V> bonus = V::Set16(M == BLEND_NORMAL ? 0 : 1);
  for (; n - i >= V::kBytes; i += V::kBytes) {
    Vec<V> weights;
    bool plain = false;
    if (!RuleWeights<V>(mask + i, &weights, &plain)) continue;
    if (plain) {
      g_PlainBlendKernels.mMaskedAlpha[M * 2](dst + i, src + i, mask + i, threshold, softness, V::kBytes);
      continue;
    }
    Vec<V> d = V::Load(dst + i);
    Vec<V> s = V::Load(src + i);
    Vec<V> t0;
    Vec<V> t1;
    ModeHalves<V, M>(s, d, &t0, &t1);
    Vec<V> w0;
    Vec<V> w1;
    PixelWords<V>(weights, &w0, &w1);
    Vec<V> a0;
    Vec<V> a1;
    AlphaWords<V>(s, &a0, &a1);
    Vec<V> r = V::PackUs16(WeighWide<V>(V::Lo8(d), t0, w0, V::Add16(a0, bonus)),
                           WeighWide<V>(V::Hi8(d), t1, w1, V::Add16(a1, bonus)));
    V::Store(dst + i, KeepAlpha<V>(r, d));
  }
  if (i < n) g_PlainBlendKernels.mMaskedAlpha[M * 2](dst + i, src + i, mask + i, threshold, softness, n - i);
}

template <class V, int M>
void InstallMode(BlendKernelTable* table) {
  table->mPlain[M * 2 + 1] = Opaque<V, M>;
  table->mPlain[M * 2] = Opacity<V, M>;
  table->mAlpha[M * 2 + 1] = Alpha<V, M, false>;
  table->mAlpha[M * 2] = Alpha<V, M, true>;
  table->mMasked[M * 2] = Masked<V, M>;
  table->mMasked[M * 2 + 1] = Masked<V, M>;
  table->mMaskedAlpha[M * 2] = MaskedAlpha<V, M>;
}

template <class V, int... M>
void InstallModes(BlendKernelTable* table, std::integer_sequence<int, M...>) {
  (InstallMode<V, M>(table), ...);
}

}  // namespace simd
}  // namespace
