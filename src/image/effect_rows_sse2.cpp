// The effects' row loops on SSE2 (16 bytes a step); the loops are those of
// effect_rows_simd.h.
#include <cstddef>
#include <cstdint>

#include "image/effect_rows.h"
#include "image/pixel_primitives_internal.h"

#if defined(__SSE2__)
#include "image/effect_rows_simd.h"
#include "image/simd_sse2.h"

namespace {

struct Sse2EffectOps : Sse2Ops {
  template <int N>
  static T Srai32(T a) {
    return _mm_srai_epi32(a, N);
  }
  static constexpr bool kHasDwordOps = false;
  static T Cmpgt32(T a, T b) { return _mm_cmpgt_epi32(a, b); }
  static T Madd16(T a, T b) { return _mm_madd_epi16(a, b); }
  static T Reverse32(T a) { return _mm_shuffle_epi32(a, 0x1B); }
  static void WidenBytes(const uint8_t* p, T* low, T* high) {
    T bytes = Load(p);
    *low = _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
    *high = _mm_unpackhi_epi8(bytes, _mm_setzero_si128());
  }
  // B0-3 G0-3 R0-3 A0-3 to B0 G0 R0 A0 B1 ...: two interleavings of halves.
  static T PackBytesToPixels(T a) {
    T blueRed = _mm_unpacklo_epi8(a, _mm_unpackhi_epi64(a, a));
    return _mm_unpacklo_epi8(blueRed, _mm_unpackhi_epi64(blueRed, blueRed));
  }
};

}  // namespace

bool FillSse2EffectRows(EffectRowKernels* table) {
  if (!HaveSse2()) return false;
  fx::FillTable<Sse2EffectOps>(table);
  return true;
}

#else

bool FillSse2EffectRows(EffectRowKernels*) { return false; }

#endif
