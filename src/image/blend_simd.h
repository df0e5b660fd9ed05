#pragma once
// The vectorised blend kernels and the block loops of the normal alpha rows,
// written once over a vector type V of V::kBytes bytes (16 on SSE2, 32 on
// AVX2). V supplies the operations below on unsigned bytes and 16-bit words;
// wider vectors work lane by lane (128 bits) exactly as the 16-byte form, so
// every width gives the same bytes. Included only by the files that
// instantiate it (one per instruction set, each compiled for its set);
// everything here has internal linkage.
//
// Most modes are computed in closed form, with the same floors as their
// tables (floor(x/255) = (x + 1 + (x >> 8)) >> 8 for x up to 65280); the
// modes that divide per byte read their tables. The weighted steps use
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
inline Vec<V> Select(Vec<V> mask, Vec<V> yes, Vec<V> no) {
  return V::Or(V::And(mask, yes), V::AndNot(mask, no));
}
// floor(x / 255) for unsigned words x <= 65280.
template <class V>
inline Vec<V> Div255(Vec<V> x) {
  return V::template Srli16<8>(V::Add16(V::Add16(x, V::Set16(1)), V::template Srli16<8>(x)));
}
// A per-pixel 32-bit value (below 65536) in all four word lanes of its pixel:
// the first two pixels of each 128-bit lane and the last two, matching the
// word halves Lo8 and Hi8.
template <class V>
inline void PixelWords(Vec<V> perPixel, Vec<V>* first, Vec<V>* last) {
  Vec<V> both = V::Or(perPixel, V::template Slli32<16>(perPixel));
  *first = V::Lo32(both, both);
  *last = V::Hi32(both, both);
}
template <class V>
inline void AlphaWords(Vec<V> s, Vec<V>* first, Vec<V>* last) {
  PixelWords<V>(V::template Srli32<24>(s), first, last);
}
template <class V>
inline Vec<V> AlphaBytes() {
  return V::Set32(0xFF000000u);
}
// Colour bytes from r, alpha bytes from d.
template <class V>
inline Vec<V> KeepAlpha(Vec<V> r, Vec<V> d) {
  return Select<V>(AlphaBytes<V>(), d, r);
}

constexpr bool IsTableMode(int mode) {
  return mode == BLEND_DIVIDE || mode == BLEND_COLOR_DODGE || mode == BLEND_COLOR_BURN || mode == BLEND_SOFT_LIGHT ||
         mode == BLEND_VIVID_LIGHT;
}

// The overlay and hard light shape on words: b picks the branch, a is the
// other byte. b < 128: floor(2ab/255); b = 128: a; b > 128:
// 2b - 257 + floor(a (512 - 2b)/255).
template <class V>
inline Vec<V> LightShape(Vec<V> a, Vec<V> b) {
  Vec<V> below = V::Cmplt16(b, V::Set16(128));
  Vec<V> twice = V::Add16(b, b);
  Vec<V> factor = Select<V>(below, twice, V::Sub16(V::Set16(512), twice));
  Vec<V> q = Div255<V>(V::Mullo16(a, factor));
  Vec<V> above = V::Add16(V::Sub16(twice, V::Set16(257)), q);
  return Select<V>(V::Cmpeq16(b, V::Set16(128)), a, Select<V>(below, q, above));
}

// T(s, d) on words, for the modes computed in words.
template <class V, int M>
inline Vec<V> ModeWords(Vec<V> s, Vec<V> d) {
  if constexpr (M == BLEND_MULTIPLY) {
    return Div255<V>(V::Mullo16(s, d));
  } else if constexpr (M == BLEND_SCREEN) {
    return V::Sub16(V::Add16(s, d), Div255<V>(V::Mullo16(s, d)));
  } else if constexpr (M == BLEND_EXCLUSION) {
    Vec<V> q = Div255<V>(V::Mullo16(s, d));
    return V::Sub16(V::Add16(s, d), V::Add16(q, q));
  } else if constexpr (M == BLEND_OVERLAY) {
    return LightShape<V>(s, d);
  } else if constexpr (M == BLEND_HARD_LIGHT) {
    return LightShape<V>(d, s);
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

// T(s, d) on a vector of bytes; sp and dp address the same bytes (the tables
// of the dividing modes are read through them). kColourOnly: the alpha bytes
// of the result are not used.
template <class V, int M, bool kColourOnly = false>
inline Vec<V> ModeValues(const uint8_t* sp, const uint8_t* dp, Vec<V> s, Vec<V> d) {
  if constexpr (IsTableMode(M)) {
    const uint8_t* table = &g_BlendLookupTables.mMode[M][0][0];
    uint64_t words[V::kBytes / 8];
    for (size_t w = 0; w < V::kBytes / 8; ++w) {
      uint64_t word = 0;
      for (size_t k = 0; k < 8; ++k) {
        size_t at = w * 8 + k;
        if (kColourOnly && (at & 3) == 3) continue;
        word |= static_cast<uint64_t>(table[sp[at] * 256 + dp[at]]) << (8 * k);
      }
      words[w] = word;
    }
    return V::FromWords(words);
  } else if constexpr (M == BLEND_NORMAL) {
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
  } else if constexpr (M == BLEND_LINEAR_BURN) {
    // d + s - 255 = d - (255 - s), floored at 0.
    return V::Subs8u(d, V::Xor(s, V::Set8(-1)));
  } else {
    return V::PackUs16(ModeWords<V, M>(V::Lo8(s), V::Lo8(d)), ModeWords<V, M>(V::Hi8(s), V::Hi8(d)));
  }
}

// d + floor((t - d) w / 256) on words, w 0..256.
template <class V>
inline Vec<V> Weigh(Vec<V> d, Vec<V> t, Vec<V> w) {
  return V::template Srli16<8>(V::Add16(V::Mullo16(d, V::Sub16(V::Set16(256), w)), V::Mullo16(t, w)));
}
template <class V>
inline Vec<V> WeighBytes(Vec<V> d, Vec<V> t, Vec<V> wLo, Vec<V> wHi) {
  return V::PackUs16(Weigh<V>(V::Lo8(d), V::Lo8(t), wLo), Weigh<V>(V::Hi8(d), V::Hi8(t), wHi));
}

// 1: every byte, alpha included, becomes T.
template <class V, int M>
void Opaque(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  size_t i = 0;
  for (; n - i >= V::kBytes; i += V::kBytes) {
    V::Store(dst + i, ModeValues<V, M>(src + i, dst + i, V::Load(src + i), V::Load(dst + i)));
  }
  if (i < n) g_PlainBlendKernels.mPlain[M * 2 + 1](dst + i, src + i, o, n - i);
}

// 2: every byte moves towards T by o/256; difference truncates toward zero.
template <class V, int M>
void Opacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  size_t i = 0;
  if (o >= 0 && o <= 255) {
    Vec<V> w = V::Set16(o);
    for (; n - i >= V::kBytes; i += V::kBytes) {
      Vec<V> d = V::Load(dst + i);
      Vec<V> t = ModeValues<V, M>(src + i, dst + i, V::Load(src + i), d);
      if constexpr (M == BLEND_DIFFERENCE) {
        // One of the two gaps is zero; each moves by floor(gap o / 256).
        auto scale = [w](Vec<V> gap) {
          return V::PackUs16(V::template Srli16<8>(V::Mullo16(V::Lo8(gap), w)),
                             V::template Srli16<8>(V::Mullo16(V::Hi8(gap), w)));
        };
        V::Store(dst + i, V::Sub8(V::Add8(d, scale(V::Subs8u(t, d))), scale(V::Subs8u(d, t))));
      } else {
        V::Store(dst + i, WeighBytes<V>(d, t, w, w));
      }
    }
  }
  if (i < n) g_PlainBlendKernels.mPlain[M * 2](dst + i, src + i, o, n - i);
}

// 3 and 4: colour bytes move by the source alpha + 1 (times o / 256); the
// destination alpha stays.
template <class V, int M, bool kOpacity>
void Alpha(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  size_t i = 0;
  if (!kOpacity || (o >= 0 && o <= 255)) {
    Vec<V> opacity = V::Set16(o);
    auto weight = [opacity](Vec<V> alpha) {
      Vec<V> w = V::Add16(alpha, V::Set16(1));
      return kOpacity ? V::template Srli16<8>(V::Mullo16(w, opacity)) : w;
    };
    for (; n - i >= V::kBytes; i += V::kBytes) {
      Vec<V> d = V::Load(dst + i);
      Vec<V> s = V::Load(src + i);
      Vec<V> t = ModeValues<V, M, true>(src + i, dst + i, s, d);
      Vec<V> a0;
      Vec<V> a1;
      AlphaWords<V>(s, &a0, &a1);
      V::Store(dst + i, KeepAlpha<V>(WeighBytes<V>(d, t, weight(a0), weight(a1)), d));
    }
  }
  if (i < n) g_PlainBlendKernels.mAlpha[M * 2 + (kOpacity ? 0 : 1)](dst + i, src + i, o, n - i);
}

// The rule weights of the pixels of one vector (from each mask pixel's blue
// byte), as 32-bit values. Returns false when every weight skips its pixel;
// `plain` is set when a weight lies outside 0..256 (the step then runs
// plain). Skipping weights become 0, which leaves the pixel.
template <class V>
inline bool RuleWeights(const uint8_t* mask, Vec<V>* weights, bool* plain) {
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
    Vec<V> t = ModeValues<V, M, true>(src + i, dst + i, V::Load(src + i), d);
    Vec<V> w0;
    Vec<V> w1;
    PixelWords<V>(weights, &w0, &w1);
    V::Store(dst + i, KeepAlpha<V>(WeighBytes<V>(d, t, w0, w1), d));
  }
  if (i < n) g_PlainBlendKernels.mMasked[M * 2](dst + i, src + i, mask + i, threshold, softness, n - i);
}

// d + floor((t - d) W / 65536) on words for W = w * a (w, a 0..256): the
// 32-bit products come from the low and high halves of the word multiply;
// W = 65536 (both 256) gives t.
template <class V>
inline Vec<V> WeighWide(Vec<V> d, Vec<V> t, Vec<V> w, Vec<V> a) {
  Vec<V> wide = V::Mullo16(w, a);
  Vec<V> full = V::And(V::Cmpeq16(w, V::Set16(256)), V::Cmpeq16(a, V::Set16(256)));
  Vec<V> up = V::Subs16u(t, d);
  Vec<V> down = V::Subs16u(d, t);
  Vec<V> rise = V::Mulhi16u(up, wide);
  // The fall rounds away from zero: the floor of a negative product.
  Vec<V> exact = V::Cmpeq16(V::Mullo16(down, wide), V::Zero());
  Vec<V> fall = V::Sub16(V::Mulhi16u(down, wide), V::Xor(exact, V::Set16(-1)));
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
    Vec<V> t = ModeValues<V, M, true>(src + i, dst + i, s, d);
    Vec<V> w0;
    Vec<V> w1;
    PixelWords<V>(weights, &w0, &w1);
    Vec<V> a0;
    Vec<V> a1;
    AlphaWords<V>(s, &a0, &a1);
    Vec<V> r = V::PackUs16(WeighWide<V>(V::Lo8(d), V::Lo8(t), w0, V::Add16(a0, bonus)),
                           WeighWide<V>(V::Hi8(d), V::Hi8(t), w1, V::Add16(a1, bonus)));
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

// Blocks of the normal alpha rows (slots 5 and 6) on a vector of pixels with
// weights a (the source alpha, or the alpha times the opacity, 0..255).
// Level 1 floors the sum s (a + 1) + d (256 - a), at most 255 * 257; levels 2
// and 3 floor each product (the high half of the product with the byte moved
// up by 8) and saturate the sum.
template <class V, int L>
inline Vec<V> AlphaBlockWords(Vec<V> d, Vec<V> s, Vec<V> a, bool high) {
  Vec<V> up = V::Add16(a, V::Set16(1));
  Vec<V> down = V::Sub16(V::Set16(256), a);
  if (L == 1) {
    Vec<V> sw = high ? V::Hi8(s) : V::Lo8(s);
    Vec<V> dw = high ? V::Hi8(d) : V::Lo8(d);
    return V::template Srli16<8>(V::Add16(V::Mullo16(sw, up), V::Mullo16(dw, down)));
  }
  Vec<V> sw = high ? V::HiUp8(s) : V::LoUp8(s);
  Vec<V> dw = high ? V::HiUp8(d) : V::LoUp8(d);
  return V::Add16(V::Mulhi16u(sw, up), V::Mulhi16u(dw, down));
}

template <class V, int L, bool kOpacity>
inline Vec<V> AlphaBlock(Vec<V> d, Vec<V> s, Vec<V> opacity) {
  Vec<V> a0;
  Vec<V> a1;
  AlphaWords<V>(s, &a0, &a1);
  if (kOpacity) {
    a0 = V::template Srli16<8>(V::Mullo16(a0, opacity));
    a1 = V::template Srli16<8>(V::Mullo16(a1, opacity));
  }
  return V::PackUs16(AlphaBlockWords<V, L>(d, s, a0, false), AlphaBlockWords<V, L>(d, s, a1, true));
}

// The alpha bytes of every pixel equal `value`.
template <class V>
inline bool AllAlphaEqual(Vec<V> s, Vec<V> value) {
  return (V::Movemask8(V::Cmpeq8(s, value)) & V::kAlphaBits) == V::kAlphaBits;
}

// Whole vectors of block pixels from byte i up to `end`; returns where it
// stopped. Block bytes of pixels with alpha 0 stay as they are and those with
// alpha 255 become the source (alpha included), at every level and, for
// alpha 0, whatever the opacity: such runs are skipped or copied.
template <class V, int L, bool kOpacity>
size_t AlphaBlocks(uint8_t* dst, const uint8_t* src, int o, size_t i, size_t end) {
  Vec<V> none = V::Zero();
  Vec<V> opaque = V::Set8(-1);
  Vec<V> opacity = V::Set16(o);
  bool copies = !kOpacity || o == 256;
  while (end - i >= V::kBytes) {
    Vec<V> s = V::Load(src + i);
    if (AllAlphaEqual<V>(s, none)) {
      i += V::kBytes;
      continue;
    }
    if (copies && AllAlphaEqual<V>(s, opaque)) {
      V::Store(dst + i, s);
      i += V::kBytes;
      continue;
    }
    V::Store(dst + i, AlphaBlock<V, L, kOpacity>(V::Load(dst + i), s, opacity));
    i += V::kBytes;
  }
  return i;
}

}  // namespace simd
}  // namespace
