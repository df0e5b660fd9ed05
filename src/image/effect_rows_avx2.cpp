// The effects' row loops on AVX2 (32 bytes a step), used where the processor
// has it; the loops are those of effect_rows_simd.h, compiled here for AVX2
// alone.
#include <cstddef>
#include <cstdint>

#include "image/effect_rows.h"
#include "image/pixel_primitives_internal.h"

#if defined(__x86_64__) || defined(__i386__)

// Everything from here to the end of the section is compiled for AVX2. The
// intrinsics header comes first so that only our own functions take the mark.
#include <immintrin.h>
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
#include "image/effect_rows_simd.h"
#include "image/simd_avx2.h"

namespace {

struct Avx2EffectOps : Avx2Ops {
  template <int N>
  static T Srai32(T a) {
    return _mm256_srai_epi32(a, N);
  }
  static constexpr bool kHasDwordOps = true;
  static T Gather32(const void* base, T index) {
    return _mm256_i32gather_epi32(static_cast<const int*>(base), index, 4);
  }
  static T Mullo32(T a, T b) { return _mm256_mullo_epi32(a, b); }
  static T Max32(T a, T b) { return _mm256_max_epi32(a, b); }
  static T Min32(T a, T b) { return _mm256_min_epi32(a, b); }
  static T Lanes() { return _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7); }
  // The low byte of each dword (each below 256), in order, to 8 bytes at p.
  static void StoreLowBytes(uint8_t* p, T a) {
    const T bytes = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 4, 8, 12, -1, -1,
                                     -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    T packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(a, bytes), _mm256_setr_epi32(0, 4, 0, 0, 0, 0, 0, 0));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
  }
  static T WidenWords(const uint16_t* p) {
    return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  static T Cmpgt32(T a, T b) { return _mm256_cmpgt_epi32(a, b); }
  static T Madd16(T a, T b) { return _mm256_madd_epi16(a, b); }
  static T Reverse32(T a) { return _mm256_permutevar8x32_epi32(a, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0)); }
  static void WidenBytes(const uint8_t* p, T* low, T* high) {
    *low = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    *high = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)));
  }
  // B0-3 G0-3 R0-3 A0-3 to B0 G0 R0 A0 B1 ... in each 128-bit lane.
  static T PackBytesToPixels(T a) {
    const T order = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 0, 4, 8, 12, 1, 5, 9, 13,
                                     2, 6, 10, 14, 3, 7, 11, 15);
    return _mm256_shuffle_epi8(a, order);
  }
};

}  // namespace

bool FillAvx2EffectRows(EffectRowKernels* table) {
  if (!HaveWideVectors()) return false;
  fx::FillTable<Avx2EffectOps>(table);
  return true;
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#else

bool FillAvx2EffectRows(EffectRowKernels*) { return false; }

#endif
