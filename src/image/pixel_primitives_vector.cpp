// The row primitives on SSE2, 16 bytes a step in 16-bit word lanes. Each
// routine keeps the block structure of its level (which bytes count as block
// bytes and which as single bytes), so it gives exactly the bytes of the
// plain routines; the parts that are rare or need divisions stay plain.
#include <cstring>

#include "image/pixel_math.h"
#include "image/pixel_primitives.h"
#include "image/pixel_primitives_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include "image/blend_simd.h"
#include "image/pixel_rows_simd.h"
#include "image/simd_sse2.h"

using namespace pixel_math;

namespace {

inline bool Aligned8(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 7) == 0; }

inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i Load8(const uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
inline void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline void Store8(uint8_t* p, __m128i v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }
inline __m128i Lo(__m128i v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }
inline __m128i Hi(__m128i v) { return _mm_unpackhi_epi8(v, _mm_setzero_si128()); }
inline __m128i Words(int value) { return _mm_set1_epi16(static_cast<int16_t>(value)); }
// The alpha word of each pixel copied into its four lanes.
inline __m128i BroadcastAlpha(__m128i words) {
  return _mm_shufflehi_epi16(_mm_shufflelo_epi16(words, 0xFF), 0xFF);
}

// Applies `op` (16 bytes of dst and src in, 16 bytes out) over whole 16-byte
// steps and then one 8-byte step, from `i` up to `end` (a multiple of 8 away).
template <typename Op>
inline size_t ForBlocks(uint8_t* dst, const uint8_t* src, size_t i, size_t end, Op op) {
  for (; end - i >= 16; i += 16) Store(dst + i, op(Load(dst + i), Load(src + i)));
  if (end - i >= 8) {
    Store8(dst + i, op(Load8(dst + i), Load8(src + i)));
    i += 8;
  }
  return i;
}

// The block form of the opacity blend on 16 bytes.
template <int L>
inline __m128i LerpBlock16(__m128i d, __m128i s, int o) {
  if (o == 128) {
    if (L == 1) {
      __m128i half = _mm_set1_epi8(0x7F);
      return _mm_add_epi8(_mm_and_si128(_mm_srli_epi16(d, 1), half), _mm_and_si128(_mm_srli_epi16(s, 1), half));
    }
    return _mm_avg_epu8(d, s);
  }
  __m128i base0 = o < 128 ? Lo(d) : Lo(s);
  __m128i base1 = o < 128 ? Hi(d) : Hi(s);
  __m128i other0 = o < 128 ? Lo(s) : Lo(d);
  __m128i other1 = o < 128 ? Hi(s) : Hi(d);
  __m128i weight = Words(o < 128 ? o : 256 - o);
  __m128i r0 = _mm_add_epi16(base0, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(other0, base0), weight), 8));
  __m128i r1 = _mm_add_epi16(base1, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(other1, base1), weight), 8));
  return _mm_packus_epi16(r0, r1);
}

template <int L>
void VecLerpBlocks(uint8_t* dst, const uint8_t* a, const uint8_t* b, int o, size_t i, size_t end) {
  if (o == 256) {
    std::memmove(dst + i, b + i, end - i);
    return;
  }
  for (; end - i >= 16; i += 16) Store(dst + i, LerpBlock16<L>(Load(a + i), Load(b + i), o));
  if (end - i >= 8) Store8(dst + i, LerpBlock16<L>(Load8(a + i), Load8(b + i), o));
}

void VecZeroBytes(void* dst, size_t n) {
  if (n != 0) std::memset(dst, 0, n);
}

void VecFillBytes(void* dst, size_t n, uint32_t value) {
  if (n != 0) std::memset(dst, static_cast<uint8_t>(value), n);
}

void VecFillDwords(void* dst, size_t n, uint32_t value) {
  auto* d = static_cast<uint8_t*>(dst);
  __m128i v = _mm_set1_epi32(static_cast<int>(value));
  size_t i = 0;
  for (; n - i >= 16; i += 16) Store(d + i, v);
  for (; n - i >= 4; i += 4) std::memcpy(d + i, &value, 4);
}

void VecCopyBytes(void* dst, const void* src, size_t n) {
  if (n != 0) std::memmove(dst, src, n);
}

template <int L>
void VecBlendRowOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  size_t i = 0;
  if (L >= 2) {
    for (; i < n && !Aligned8(dst + i); ++i) dst[i] = LerpSingle(dst[i], src[i], o);
  }
  size_t end = i + ((n - i) & ~size_t{7});
  if (o != 0) VecLerpBlocks<L>(dst, dst, src, o, i, end);
  for (i = end; i < n; ++i) dst[i] = LerpSingle(dst[i], src[i], o);
}

template <int L>
void VecCrossFadeRow(uint8_t* dst, const uint8_t* a, const uint8_t* b, int w, size_t n) {
  size_t end = n & ~size_t{7};
  VecLerpBlocks<L>(dst, a, b, w, 0, end);
  for (size_t i = end; i < n; ++i) dst[i] = LerpSingle(a[i], b[i], w);
}

// The 64- and 32-byte loops of the normal and add alpha rows, as far as
// kWidth allows, from byte i; where they stopped.
template <int kWidth>
size_t WideAlphaLoops(int level, bool withOpacity, uint8_t* dst, const uint8_t* src, int o, size_t i, size_t end) {
  if (kWidth >= 64) i = WidestAlphaBlocks(level, withOpacity, dst, src, o, i, end);
  if (kWidth >= 32) i = WideAlphaBlocks(level, withOpacity, dst, src, o, i, end);
  return i;
}
template <int kWidth>
size_t WideAddAlphaLoops(int level, bool withOpacity, uint8_t* dst, const uint8_t* src, int o, size_t i, size_t n) {
  if (kWidth >= 64) i = WidestAddAlphaBlocks(level, withOpacity, dst, src, o, i, n);
  if (kWidth >= 32) i = WideAddAlphaBlocks(level, withOpacity, dst, src, o, i, n);
  return i;
}

// Slots 5 and 6: the block loops of blend_simd.h (64 and 32 bytes a step up
// to kWidth, then 16), an 8-byte block, and the single pixels.
template <int L, int kWidth>
void VecBlendRowAlpha(uint8_t* dst, const uint8_t* src, size_t n) {
  size_t i = 0;
  if (L >= 2) {
    for (; n - i >= 4 && !Aligned8(dst + i); i += 4) LerpPixelColour(dst + i, src + i, src[i + 3] + 1);
  }
  size_t end = i + ((n - i) & ~size_t{7});
  i = WideAlphaLoops<kWidth>(L, false, dst, src, 0, i, end);
  i = simd::AlphaBlocks<Sse2Ops, L, false>(dst, src, 0, i, end);
  __m128i none = _mm_setzero_si128();
  i = ForBlocks(dst, src, i, end,
                [none](__m128i d, __m128i s) { return simd::AlphaBlock<Sse2Ops, L, false>(d, s, none); });
  if (n - i >= 4) LerpPixelColour(dst + i, src + i, src[i + 3] + 1);
}

template <int L, int kWidth>
void VecBlendRowAlphaOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  size_t i = 0;
  if (L >= 2) {
    for (; n - i >= 4 && !Aligned8(dst + i); i += 4) {
      LerpPixelColour(dst + i, src + i, (((src[i + 3] * o) >> 8) & 255) + 1);
    }
  }
  size_t end = i + ((n - i) & ~size_t{7});
  i = WideAlphaLoops<kWidth>(L, true, dst, src, o, i, end);
  i = simd::AlphaBlocks<Sse2Ops, L, true>(dst, src, o, i, end);
  __m128i opacity = Words(o);
  i = ForBlocks(dst, src, i, end,
                [opacity](__m128i d, __m128i s) { return simd::AlphaBlock<Sse2Ops, L, true>(d, s, opacity); });
  if (n - i >= 4) {
    int a = (src[i + 3] * o) >> 8;
    if (L == 1) {
      AlphaOpacityPixelLevel1(dst + i, src + i, a);
    } else {
      LerpPixelColour(dst + i, src + i, (a & 255) + 1);
    }
  }
}

template <int L>
void VecBlendRowRuleWeighted(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int threshold, int softness,
                             size_t n) {
  if (L == 1 || softness == 256) {
    RefRuleWeightedLevel1(dst, src, mask, n);
    return;
  }
  __m128i base = Words(RuleBlockBase(threshold, softness));
  __m128i half = Words(static_cast<int16_t>(softness) >> 1);
  auto weights = [&](__m128i m) {
    __m128i sum = _mm_add_epi16(base, _mm_mullo_epi16(half, m));
    sum = _mm_min_epi16(_mm_max_epi16(sum, _mm_setzero_si128()), Words(255));
    return _mm_add_epi16(sum, Words(1));
  };
  auto bytes = [](__m128i d, __m128i s, __m128i w) {
    return _mm_sub_epi16(_mm_add_epi16(d, _mm_srli_epi16(_mm_mullo_epi16(s, w), 8)),
                         _mm_srli_epi16(_mm_mullo_epi16(d, w), 8));
  };
  size_t i = 0;
  size_t end = n & ~size_t{7};
  for (; end - i >= 16; i += 16) {
    __m128i d = Load(dst + i);
    __m128i s = Load(src + i);
    __m128i m = Load(mask + i);
    Store(dst + i, _mm_packus_epi16(bytes(Lo(d), Lo(s), weights(Lo(m))), bytes(Hi(d), Hi(s), weights(Hi(m)))));
  }
  if (end - i >= 8) {
    __m128i d = Lo(Load8(dst + i));
    __m128i r = bytes(d, Lo(Load8(src + i)), weights(Lo(Load8(mask + i))));
    Store8(dst + i, _mm_packus_epi16(r, r));
    i += 8;
  }
  for (; i < n; ++i) RuleTableByte(dst + i, src[i], g_RuleWeightTable[mask[i]]);
}

void VecAddRowSaturate(uint8_t* dst, const uint8_t* src, size_t n) {
  size_t i = ForBlocks(dst, src, 0, n & ~size_t{7}, [](__m128i d, __m128i s) { return _mm_adds_epu8(d, s); });
  for (; i < n; ++i) dst[i] = AddSaturate(dst[i], src[i]);
}

void VecAddRowOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  __m128i weight = Words(o);
  size_t i = ForBlocks(dst, src, 0, n & ~size_t{7}, [weight](__m128i d, __m128i s) {
    __m128i scaled = _mm_packus_epi16(_mm_srli_epi16(_mm_mullo_epi16(Lo(s), weight), 8),
                                      _mm_srli_epi16(_mm_mullo_epi16(Hi(s), weight), 8));
    return _mm_adds_epu8(d, scaled);
  });
  for (; i < n; ++i) dst[i] = AddWeighted(dst[i], src[i], o);
}

// Slots 11 and 12 on four pixels: colour bytes move by weight/256 towards the
// saturated sum, alpha bytes stay.
template <int L, bool kOpacity>
inline __m128i AddAlpha16(__m128i d, __m128i s, __m128i opacity) {
  __m128i gain = _mm_subs_epu8(_mm_adds_epu8(d, s), d);
  __m128i r[2];
  for (int half = 0; half < 2; ++half) {
    __m128i sw = half == 0 ? Lo(s) : Hi(s);
    __m128i w = _mm_add_epi16(BroadcastAlpha(sw), Words(1));
    if (L >= 2) w = _mm_min_epi16(w, Words(255));
    if (kOpacity) w = _mm_srli_epi16(_mm_mullo_epi16(w, opacity), 8);
    __m128i g = half == 0 ? Lo(gain) : Hi(gain);
    __m128i dw = half == 0 ? Lo(d) : Hi(d);
    r[half] = _mm_add_epi16(dw, _mm_srli_epi16(_mm_mullo_epi16(g, w), 8));
  }
  __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  __m128i blended = _mm_packus_epi16(r[0], r[1]);
  return _mm_or_si128(_mm_andnot_si128(alphaMask, blended), _mm_and_si128(alphaMask, d));
}

template <int L, int kWidth>
void VecAddRowAlpha(uint8_t* dst, const uint8_t* src, size_t n) {
  size_t i = 0;
  i = WideAddAlphaLoops<kWidth>(L, false, dst, src, 0, i, n);
  __m128i none = _mm_setzero_si128();
  for (; n - i >= 16; i += 16) Store(dst + i, AddAlpha16<L, false>(Load(dst + i), Load(src + i), none));
  for (; n - i >= 4; i += 4) {
    int w = AddAlphaWeight(L, src[i + 3]);
    for (size_t c = i; c < i + 3; ++c) dst[c] = AddWeighted(dst[c], src[c], w);
  }
}

template <int L, int kWidth>
void VecAddRowAlphaOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  if (o == 256) {
    // 256 * w / 256 is w: the product would not fit a word.
    VecAddRowAlpha<L, kWidth>(dst, src, n);
    return;
  }
  size_t i = 0;
  if (o >= 0 && o < 256) i = WideAddAlphaLoops<kWidth>(L, true, dst, src, o, i, n);
  __m128i opacity = Words(o);
  for (; n - i >= 16; i += 16) Store(dst + i, AddAlpha16<L, true>(Load(dst + i), Load(src + i), opacity));
  for (; n - i >= 4; i += 4) {
    int w = (o * AddAlphaWeight(L, src[i + 3])) >> 8;
    for (size_t c = i; c < i + 3; ++c) dst[c] = AddWeighted(dst[c], src[c], w);
  }
}

void VecSubtractRowSaturate(uint8_t* dst, const uint8_t* src, size_t n) {
  size_t i = ForBlocks(dst, src, 0, n & ~size_t{7}, [](__m128i d, __m128i s) { return _mm_subs_epu8(s, d); });
  for (; i < n; ++i) dst[i] = static_cast<uint8_t>(std::max(0, src[i] - dst[i]));
}

inline __m128i MultiplyWords(__m128i d, __m128i s) {
  return _mm_srli_epi16(_mm_mullo_epi16(d, _mm_add_epi16(s, Words(1))), 8);
}

void VecMultiplyRow(uint8_t* dst, const uint8_t* src, size_t n) {
  size_t whole = n & ~size_t{3};
  size_t i = ForBlocks(dst, src, 0, n & ~size_t{7}, [](__m128i d, __m128i s) {
    return _mm_packus_epi16(MultiplyWords(Lo(d), Lo(s)), MultiplyWords(Hi(d), Hi(s)));
  });
  for (; i < whole; ++i) dst[i] = static_cast<uint8_t>((dst[i] * (src[i] + 1)) >> 8);
}

void VecScreenRow(uint8_t* dst, const uint8_t* src, size_t n) {
  auto words = [](__m128i d, __m128i s) { return _mm_sub_epi16(_mm_add_epi16(d, s), MultiplyWords(d, s)); };
  size_t i = ForBlocks(dst, src, 0, n & ~size_t{7}, [words](__m128i d, __m128i s) {
    return _mm_packus_epi16(words(Lo(d), Lo(s)), words(Hi(d), Hi(s)));
  });
  for (; i < n; ++i) dst[i] = ScreenExact(dst[i], src[i]);
}

void VecScreenRowOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  if (o == 0) return;
  __m128i weight = Words(o);
  // s - trunc(s*d/255) is 0..255; trunc(x/255) = (x + 1 + (x >> 8)) >> 8 for
  // x <= 65025; (S - d) * o stays below 65536.
  auto words = [weight](__m128i d, __m128i s) {
    __m128i x = _mm_mullo_epi16(s, d);
    __m128i q = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, Words(1)), _mm_srli_epi16(x, 8)), 8);
    __m128i gain = _mm_sub_epi16(s, q);
    return _mm_add_epi16(d, _mm_srli_epi16(_mm_mullo_epi16(gain, weight), 8));
  };
  size_t i = ForBlocks(dst, src, 0, n & ~size_t{7}, [words](__m128i d, __m128i s) {
    return _mm_packus_epi16(words(Lo(d), Lo(s)), words(Hi(d), Hi(s)));
  });
  for (; i < n; ++i) dst[i] = LerpSingle(dst[i], ScreenExact(dst[i], src[i]), o);
}

void VecLightenRow(uint8_t* dst, const uint8_t* src, size_t n) {
  size_t i = ForBlocks(dst, src, 0, n & ~size_t{7}, [](__m128i d, __m128i s) { return _mm_max_epu8(d, s); });
  for (; i < n; ++i) dst[i] = std::max(dst[i], src[i]);
}

void VecDarkenRow(uint8_t* dst, const uint8_t* src, size_t n) {
  size_t i = ForBlocks(dst, src, 0, n & ~size_t{7}, [](__m128i d, __m128i s) { return _mm_min_epu8(d, s); });
  for (; i < n; ++i) dst[i] = std::min(dst[i], src[i]);
}

void VecLinearBurnRow(uint8_t* dst, const uint8_t* src, size_t n) {
  // d + s - 255 = d - (255 - s), floored at 0.
  __m128i ones = _mm_set1_epi8(-1);
  size_t i = ForBlocks(dst, src, 0, n & ~size_t{7},
                       [ones](__m128i d, __m128i s) { return _mm_subs_epu8(d, _mm_xor_si128(s, ones)); });
  for (; i < n; ++i) dst[i] = static_cast<uint8_t>(std::max(0, dst[i] + src[i] - 255));
}

void VecLinearLightRow(uint8_t* dst, const uint8_t* src, size_t n) {
  auto words = [](__m128i d, __m128i s) { return _mm_sub_epi16(_mm_add_epi16(d, _mm_add_epi16(s, s)), Words(256)); };
  size_t i = ForBlocks(dst, src, 0, n & ~size_t{7}, [words](__m128i d, __m128i s) {
    return _mm_packus_epi16(words(Lo(d), Lo(s)), words(Hi(d), Hi(s)));
  });
  for (; i < n; ++i) dst[i] = ClampByte(dst[i] + 2 * src[i] - 256);
}

template <int L>
void VecDownscale2x2Row(uint8_t* dst, const uint8_t* src, size_t stride, size_t count) {
  GetReferencePrimitives(L).mDownscale2x2Row(dst, src, stride, count);
}

template <int L, int kWidth>
constexpr PixelPrimitiveTable MakeVectorTable() {
  return PixelPrimitiveTable{
      VecZeroBytes,
      VecFillBytes,
      VecFillDwords,
      VecCopyBytes,
      VecBlendRowOpacity<L>,
      VecBlendRowAlpha<L, kWidth>,
      VecBlendRowAlphaOpacity<L, kWidth>,
      VecBlendRowRuleWeighted<L>,
      VecCrossFadeRow<L>,
      VecAddRowSaturate,
      VecAddRowOpacity,
      VecAddRowAlpha<L, kWidth>,
      VecAddRowAlphaOpacity<L, kWidth>,
      VecSubtractRowSaturate,
      VecMultiplyRow,
      VecScreenRow,
      VecScreenRowOpacity,
      VecLightenRow,
      VecDarkenRow,
      VecLinearBurnRow,
      VecLinearLightRow,
      VecDownscale2x2Row<L>,
      TableAlphaOverRow,
      TableAlphaOverRowSourceOpacity,
      TableAlphaOverRowDestOpacity,
      TableAlphaOverRowBothOpacity,
  };
}

constexpr PixelPrimitiveTable kVectorLevel1 = MakeVectorTable<1, 16>();
constexpr PixelPrimitiveTable kVectorLevel2 = MakeVectorTable<2, 16>();
constexpr PixelPrimitiveTable kWideLevel1 = MakeVectorTable<1, 32>();
constexpr PixelPrimitiveTable kWideLevel2 = MakeVectorTable<2, 32>();
constexpr PixelPrimitiveTable kWidestLevel1 = MakeVectorTable<1, 64>();
constexpr PixelPrimitiveTable kWidestLevel2 = MakeVectorTable<2, 64>();

}  // namespace

const PixelPrimitiveTable& GetVectorPrimitives(int level, int width) {
  if (width >= 64 && HaveWidestVectors()) return level <= 1 ? kWidestLevel1 : kWidestLevel2;
  if (width >= 32 && HaveWideVectors()) return level <= 1 ? kWideLevel1 : kWideLevel2;
  return level <= 1 ? kVectorLevel1 : kVectorLevel2;
}

#else

const PixelPrimitiveTable& GetVectorPrimitives(int level, int) { return GetReferencePrimitives(level); }

#endif
