// The blend kernels of every mode on SSE2, 16 bytes (four pixels) a step in
// 16-bit word lanes. Most modes are computed in closed form, with the same
// floors as their tables (floor(x/255) = (x + 1 + (x >> 8)) >> 8 for x up to
// 65280); the modes that divide per byte read their tables. The weighted
// steps use d + floor((t - d) w / 256) = (d (256 - w) + t w) >> 8, which stays
// within an unsigned word for w up to 256. The last n mod 16 bytes, and any
// weight outside 0..256, go to the plain kernels, which give the same bytes.
#include "image/blend_kernels.h"
#include "image/blend_kernels_internal.h"
#include "image/pixel_primitives.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <utility>

namespace {

inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i Lo(__m128i v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }
inline __m128i Hi(__m128i v) { return _mm_unpackhi_epi8(v, _mm_setzero_si128()); }
inline __m128i Words(int value) { return _mm_set1_epi16(static_cast<int16_t>(value)); }
inline __m128i Select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}
// floor(x / 255) for unsigned words x <= 65280.
inline __m128i Div255(__m128i x) {
  return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, Words(1)), _mm_srli_epi16(x, 8)), 8);
}
// The alpha word of each pixel copied into its four lanes.
inline __m128i BroadcastAlpha(__m128i words) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(words, 0xFF), 0xFF); }
// The alpha byte of every pixel.
inline __m128i AlphaBytes() { return _mm_set1_epi32(static_cast<int>(0xFF000000u)); }

constexpr bool IsTableMode(int mode) {
  return mode == BLEND_DIVIDE || mode == BLEND_COLOR_DODGE || mode == BLEND_COLOR_BURN || mode == BLEND_SOFT_LIGHT ||
         mode == BLEND_VIVID_LIGHT;
}

// The overlay and hard light shape on words: b picks the branch, a is the
// other byte. b < 128: floor(2ab/255); b = 128: a; b > 128:
// 2b - 257 + floor(a (512 - 2b)/255).
inline __m128i LightShape(__m128i a, __m128i b) {
  __m128i below = _mm_cmplt_epi16(b, Words(128));
  __m128i twice = _mm_add_epi16(b, b);
  __m128i factor = Select(below, twice, _mm_sub_epi16(Words(512), twice));
  __m128i q = Div255(_mm_mullo_epi16(a, factor));
  __m128i above = _mm_add_epi16(_mm_sub_epi16(twice, Words(257)), q);
  __m128i r = Select(below, q, above);
  return Select(_mm_cmpeq_epi16(b, Words(128)), a, r);
}

// T(s, d) on eight words, for the modes computed in words.
template <int M>
inline __m128i ModeWords(__m128i s, __m128i d) {
  if constexpr (M == BLEND_MULTIPLY) {
    return Div255(_mm_mullo_epi16(s, d));
  } else if constexpr (M == BLEND_SCREEN) {
    return _mm_sub_epi16(_mm_add_epi16(s, d), Div255(_mm_mullo_epi16(s, d)));
  } else if constexpr (M == BLEND_EXCLUSION) {
    __m128i q = Div255(_mm_mullo_epi16(s, d));
    return _mm_sub_epi16(_mm_add_epi16(s, d), _mm_add_epi16(q, q));
  } else if constexpr (M == BLEND_OVERLAY) {
    return LightShape(s, d);
  } else if constexpr (M == BLEND_HARD_LIGHT) {
    return LightShape(d, s);
  } else if constexpr (M == BLEND_LINEAR_LIGHT) {
    // Packing saturates the signed words to 0..255.
    return _mm_sub_epi16(_mm_add_epi16(d, _mm_add_epi16(s, s)), Words(256));
  } else {
    static_assert(M == BLEND_PIN_LIGHT);
    __m128i twice = _mm_add_epi16(s, s);
    __m128i low = _mm_min_epi16(d, twice);
    __m128i high = _mm_max_epi16(d, _mm_sub_epi16(twice, Words(255)));
    return Select(_mm_cmplt_epi16(s, Words(128)), low, high);
  }
}

// T(s, d) on 16 bytes; sp and dp address the same bytes (the tables of the
// dividing modes are read through them).
template <int M>
inline __m128i ModeValues(const uint8_t* sp, const uint8_t* dp, __m128i s, __m128i d) {
  if constexpr (IsTableMode(M)) {
    const uint8_t* table = &g_BlendLookupTables.mMode[M][0][0];
    alignas(16) uint8_t t[16];
    for (int k = 0; k < 16; ++k) t[k] = table[sp[k] * 256 + dp[k]];
    return _mm_load_si128(reinterpret_cast<const __m128i*>(t));
  } else if constexpr (M == BLEND_NORMAL) {
    return s;
  } else if constexpr (M == BLEND_ADD) {
    return _mm_adds_epu8(d, s);
  } else if constexpr (M == BLEND_SUBTRACT) {
    return _mm_subs_epu8(s, d);
  } else if constexpr (M == BLEND_LIGHTEN) {
    return _mm_max_epu8(s, d);
  } else if constexpr (M == BLEND_DARKEN) {
    return _mm_min_epu8(s, d);
  } else if constexpr (M == BLEND_DIFFERENCE) {
    return _mm_or_si128(_mm_subs_epu8(s, d), _mm_subs_epu8(d, s));
  } else if constexpr (M == BLEND_LINEAR_BURN) {
    // d + s - 255 = d - (255 - s), floored at 0.
    return _mm_subs_epu8(d, _mm_xor_si128(s, _mm_set1_epi8(-1)));
  } else {
    return _mm_packus_epi16(ModeWords<M>(Lo(s), Lo(d)), ModeWords<M>(Hi(s), Hi(d)));
  }
}

// d + floor((t - d) w / 256) on words, w 0..256.
inline __m128i Weigh(__m128i d, __m128i t, __m128i w) {
  return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(d, _mm_sub_epi16(Words(256), w)), _mm_mullo_epi16(t, w)), 8);
}
inline __m128i WeighBytes(__m128i d, __m128i t, __m128i wLo, __m128i wHi) {
  return _mm_packus_epi16(Weigh(Lo(d), Lo(t), wLo), Weigh(Hi(d), Hi(t), wHi));
}
// Colour bytes from r, alpha bytes from d.
inline __m128i KeepAlpha(__m128i r, __m128i d) { return Select(AlphaBytes(), d, r); }

// 1: every byte, alpha included, becomes T.
template <int M>
void VecOpaque(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  size_t i = 0;
  for (; n - i >= 16; i += 16) Store(dst + i, ModeValues<M>(src + i, dst + i, Load(src + i), Load(dst + i)));
  if (i < n) g_PlainBlendKernels.mPlain[M * 2 + 1](dst + i, src + i, o, n - i);
}

// 2: every byte moves towards T by o/256; difference truncates toward zero.
template <int M>
void VecOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  size_t i = 0;
  if (o >= 0 && o <= 255) {
    __m128i w = Words(o);
    for (; n - i >= 16; i += 16) {
      __m128i d = Load(dst + i);
      __m128i t = ModeValues<M>(src + i, dst + i, Load(src + i), d);
      if constexpr (M == BLEND_DIFFERENCE) {
        // One of the two gaps is zero; each moves by floor(gap o / 256).
        __m128i up = _mm_subs_epu8(t, d);
        __m128i down = _mm_subs_epu8(d, t);
        auto scale = [w](__m128i gap) {
          return _mm_packus_epi16(_mm_srli_epi16(_mm_mullo_epi16(Lo(gap), w), 8),
                                  _mm_srli_epi16(_mm_mullo_epi16(Hi(gap), w), 8));
        };
        Store(dst + i, _mm_sub_epi8(_mm_add_epi8(d, scale(up)), scale(down)));
      } else {
        Store(dst + i, WeighBytes(d, t, w, w));
      }
    }
  }
  if (i < n) g_PlainBlendKernels.mPlain[M * 2](dst + i, src + i, o, n - i);
}

// 3 and 4: colour bytes move by the source alpha + 1 (times o / 256); the
// destination alpha stays.
template <int M, bool kOpacity>
void VecAlpha(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  size_t i = 0;
  if (!kOpacity || (o >= 0 && o <= 255)) {
    __m128i opacity = Words(o);
    auto weight = [opacity](__m128i sourceWords) {
      __m128i w = _mm_add_epi16(BroadcastAlpha(sourceWords), Words(1));
      return kOpacity ? _mm_srli_epi16(_mm_mullo_epi16(w, opacity), 8) : w;
    };
    for (; n - i >= 16; i += 16) {
      __m128i d = Load(dst + i);
      __m128i s = Load(src + i);
      __m128i t = ModeValues<M>(src + i, dst + i, s, d);
      Store(dst + i, KeepAlpha(WeighBytes(d, t, weight(Lo(s)), weight(Hi(s))), d));
    }
  }
  if (i < n) g_PlainBlendKernels.mAlpha[M * 2 + (kOpacity ? 0 : 1)](dst + i, src + i, o, n - i);
}

// The rule weights of four pixels (from each mask pixel's blue byte). Returns
// false when every weight skips its pixel; `plain` is set when a weight lies
// outside 0..256 (the step then runs plain). Skipping weights become 0.
inline bool RuleWeights(const uint8_t* mask, int32_t w[4], bool* plain) {
  bool any = false;
  *plain = false;
  for (int k = 0; k < 4; ++k) {
    w[k] = g_RuleWeightTable[mask[k * 4]];
    if (w[k] <= 1) {
      w[k] = 0;
    } else {
      any = true;
      if (w[k] > 256) *plain = true;
    }
  }
  return any;
}

// 5: the rule weight of the mask pixel; weights 0 and 1 leave the pixel.
template <int M>
void VecMasked(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int threshold, int softness, size_t n) {
  size_t i = 0;
  for (; n - i >= 16; i += 16) {
    int32_t w[4];
    bool plain = false;
    if (!RuleWeights(mask + i, w, &plain)) continue;
    if (plain) {
      g_PlainBlendKernels.mMasked[M * 2](dst + i, src + i, mask + i, threshold, softness, 16);
      continue;
    }
    __m128i d = Load(dst + i);
    __m128i t = ModeValues<M>(src + i, dst + i, Load(src + i), d);
    __m128i wLo = _mm_set_epi16(static_cast<int16_t>(w[1]), static_cast<int16_t>(w[1]), static_cast<int16_t>(w[1]),
                                static_cast<int16_t>(w[1]), static_cast<int16_t>(w[0]), static_cast<int16_t>(w[0]),
                                static_cast<int16_t>(w[0]), static_cast<int16_t>(w[0]));
    __m128i wHi = _mm_set_epi16(static_cast<int16_t>(w[3]), static_cast<int16_t>(w[3]), static_cast<int16_t>(w[3]),
                                static_cast<int16_t>(w[3]), static_cast<int16_t>(w[2]), static_cast<int16_t>(w[2]),
                                static_cast<int16_t>(w[2]), static_cast<int16_t>(w[2]));
    Store(dst + i, KeepAlpha(WeighBytes(d, t, wLo, wHi), d));
  }
  if (i < n) g_PlainBlendKernels.mMasked[M * 2](dst + i, src + i, mask + i, threshold, softness, n - i);
}

// d + floor((t - d) W / 65536) on words for W = w * a (w, a 0..256): the
// 32-bit products come from the low and high halves of the word multiply;
// W = 65536 (both 256) gives t.
inline __m128i WeighWide(__m128i d, __m128i t, __m128i w, __m128i a) {
  __m128i wide = _mm_mullo_epi16(w, a);
  __m128i full = _mm_and_si128(_mm_cmpeq_epi16(w, Words(256)), _mm_cmpeq_epi16(a, Words(256)));
  __m128i up = _mm_subs_epu16(t, d);
  __m128i down = _mm_subs_epu16(d, t);
  __m128i rise = _mm_mulhi_epu16(up, wide);
  // The fall rounds away from zero: the floor of a negative product.
  __m128i fallLow = _mm_mullo_epi16(down, wide);
  __m128i fall = _mm_sub_epi16(_mm_mulhi_epu16(down, wide),
                               _mm_xor_si128(_mm_cmpeq_epi16(fallLow, _mm_setzero_si128()), Words(-1)));
  return Select(full, t, _mm_sub_epi16(_mm_add_epi16(d, rise), fall));
}

// 6: the rule weight times the source alpha + 1 (normal mode: times the alpha).
template <int M>
void VecMaskedAlpha(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int threshold, int softness, size_t n) {
  size_t i = 0;
  __m128i bonus = Words(M == BLEND_NORMAL ? 0 : 1);
  for (; n - i >= 16; i += 16) {
    int32_t w[4];
    bool plain = false;
    if (!RuleWeights(mask + i, w, &plain)) continue;
    if (plain) {
      g_PlainBlendKernels.mMaskedAlpha[M * 2](dst + i, src + i, mask + i, threshold, softness, 16);
      continue;
    }
    __m128i d = Load(dst + i);
    __m128i s = Load(src + i);
    __m128i t = ModeValues<M>(src + i, dst + i, s, d);
    __m128i wLo = _mm_set_epi16(static_cast<int16_t>(w[1]), static_cast<int16_t>(w[1]), static_cast<int16_t>(w[1]),
                                static_cast<int16_t>(w[1]), static_cast<int16_t>(w[0]), static_cast<int16_t>(w[0]),
                                static_cast<int16_t>(w[0]), static_cast<int16_t>(w[0]));
    __m128i wHi = _mm_set_epi16(static_cast<int16_t>(w[3]), static_cast<int16_t>(w[3]), static_cast<int16_t>(w[3]),
                                static_cast<int16_t>(w[3]), static_cast<int16_t>(w[2]), static_cast<int16_t>(w[2]),
                                static_cast<int16_t>(w[2]), static_cast<int16_t>(w[2]));
    __m128i aLo = _mm_add_epi16(BroadcastAlpha(Lo(s)), bonus);
    __m128i aHi = _mm_add_epi16(BroadcastAlpha(Hi(s)), bonus);
    __m128i r = _mm_packus_epi16(WeighWide(Lo(d), Lo(t), wLo, aLo), WeighWide(Hi(d), Hi(t), wHi, aHi));
    Store(dst + i, KeepAlpha(r, d));
  }
  if (i < n) g_PlainBlendKernels.mMaskedAlpha[M * 2](dst + i, src + i, mask + i, threshold, softness, n - i);
}

template <int M>
void InstallMode(BlendKernelTable* table) {
  table->mPlain[M * 2 + 1] = VecOpaque<M>;
  table->mPlain[M * 2] = VecOpacity<M>;
  table->mAlpha[M * 2 + 1] = VecAlpha<M, false>;
  table->mAlpha[M * 2] = VecAlpha<M, true>;
  table->mMasked[M * 2] = VecMasked<M>;
  table->mMasked[M * 2 + 1] = VecMasked<M>;
  table->mMaskedAlpha[M * 2] = VecMaskedAlpha<M>;
}

template <int... M>
void InstallAllModes(BlendKernelTable* table, std::integer_sequence<int, M...>) {
  (InstallMode<M>(table), ...);
}

}  // namespace

bool InstallVectorBlendKernels(BlendKernelTable* table) {
  if (g_CpuFeatures[kCpuSse2] == 0) return false;
  InstallAllModes(table, std::make_integer_sequence<int, kBlendModeCount>());
  return true;
}

#else

bool InstallVectorBlendKernels(BlendKernelTable*) { return false; }

#endif
