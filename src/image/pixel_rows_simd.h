#pragma once
// The vector block loops of the normal and add alpha rows (slots 5, 6, 11
// and 12), over a vector type V as in blend_simd.h, whose helpers they use.
// Included only by the files that instantiate them; internal linkage.
#include <cstddef>
#include <cstdint>

#include "image/blend_simd.h"

namespace {
namespace simd {

// Blocks of the normal alpha rows (slots 5 and 6) on a vector of pixels with
// weights a (the source alpha, or the alpha times the opacity, 0..255).
// Level 1 floors the sum s (a + 1) + d (256 - a), at most 255 * 257; levels 2
// and 3 floor each product (the high half of the product with the byte moved
// up by 8) and saturate the sum.
template <class V, int L>
[[gnu::always_inline]] inline Vec<V> AlphaBlockWords(Vec<V> d, Vec<V> s, Vec<V> a, bool high) {
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
[[gnu::always_inline]] inline Vec<V> AlphaBlock(Vec<V> d, Vec<V> s, Vec<V> opacity) {
  Vec<V> a0;
  Vec<V> a1;
  if (kOpacity) {
    // Once per pixel in its dword, then spread over the pixel's words.
    PixelWords<V>(V::template Srli32<8>(V::Mullo16(V::template Srli32<24>(s), opacity)), &a0, &a1);
  } else {
    AlphaWords<V>(s, &a0, &a1);
  }
  return V::PackUs16(AlphaBlockWords<V, L>(d, s, a0, false), AlphaBlockWords<V, L>(d, s, a1, true));
}

// The alpha bytes of every pixel equal `value`.
template <class V>
[[gnu::always_inline]] inline bool AllAlphaEqual(Vec<V> s, Vec<V> value) {
  return (V::Movemask8(V::Cmpeq8(s, value)) & V::kAlphaBits) == V::kAlphaBits;
}

// How far ahead of the blend the destination is fetched.
constexpr size_t kAlphaPrefetchBytes = 512;

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
    // Skipped runs leave gaps in the destination's reads that stop the
    // processor's own prefetching, so the rows ahead are asked for here.
    __builtin_prefetch(dst + i + kAlphaPrefetchBytes, 1);
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

// Slots 11 and 12 on whole vectors from byte i of the row: colour bytes
// move by w/256 towards the saturated sum, w = sA + 1 (capped at 255 at
// levels 2 and 3, times o / 256 for slot 12, o below 256); alpha stays.
// Returns where it stopped.
template <class V, int L, bool kOpacity>
size_t AddAlphaBlocks(uint8_t* dst, const uint8_t* src, int o, size_t i, size_t n) {
  Vec<V> opacity = V::Set16(o);
  for (; n - i >= V::kBytes; i += V::kBytes) {
    Vec<V> d = V::Load(dst + i);
    Vec<V> s = V::Load(src + i);
    Vec<V> gain = V::Subs8u(V::Adds8u(d, s), d);
    Vec<V> a0;
    Vec<V> a1;
    AlphaWords<V>(s, &a0, &a1);
    Vec<V> w0 = V::Add16(a0, V::Set16(1));
    Vec<V> w1 = V::Add16(a1, V::Set16(1));
    if (L >= 2) {
      w0 = V::Min16(w0, V::Set16(255));
      w1 = V::Min16(w1, V::Set16(255));
    }
    if (kOpacity) {
      w0 = V::template Srli16<8>(V::Mullo16(w0, opacity));
      w1 = V::template Srli16<8>(V::Mullo16(w1, opacity));
    }
    Vec<V> r0 = V::Add16(V::Lo8(d), V::template Srli16<8>(V::Mullo16(V::Lo8(gain), w0)));
    Vec<V> r1 = V::Add16(V::Hi8(d), V::template Srli16<8>(V::Mullo16(V::Hi8(gain), w1)));
    V::Store(dst + i, KeepAlpha<V>(V::PackUs16(r0, r1), d));
  }
  return i;
}

// The two loops chosen by level (1, or 2 and 3 alike) and opacity, as the
// files of each instruction set hand them out.
template <class V>
size_t AlphaBlocksOfLevel(int level, bool withOpacity, uint8_t* dst, const uint8_t* src, int o, size_t i,
                          size_t end) {
  if (level == 1) {
    return withOpacity ? AlphaBlocks<V, 1, true>(dst, src, o, i, end) : AlphaBlocks<V, 1, false>(dst, src, o, i, end);
  }
  return withOpacity ? AlphaBlocks<V, 2, true>(dst, src, o, i, end) : AlphaBlocks<V, 2, false>(dst, src, o, i, end);
}
template <class V>
size_t AddAlphaBlocksOfLevel(int level, bool withOpacity, uint8_t* dst, const uint8_t* src, int o, size_t i,
                             size_t n) {
  if (level == 1) {
    return withOpacity ? AddAlphaBlocks<V, 1, true>(dst, src, o, i, n) : AddAlphaBlocks<V, 1, false>(dst, src, o, i, n);
  }
  return withOpacity ? AddAlphaBlocks<V, 2, true>(dst, src, o, i, n) : AddAlphaBlocks<V, 2, false>(dst, src, o, i, n);
}

}  // namespace simd
}  // namespace
