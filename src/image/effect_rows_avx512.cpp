// The effects' row loops on AVX-512 (64 bytes a step), used where the
// processor has its byte, word and dword extensions; the loops are those of
// effect_rows_simd.h, compiled here for AVX-512 alone.
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 intrinsics fill their unused merge operand with a
// variable initialised from itself, which its own uninitialised-use checks
// then report from every inlined call.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <cstddef>
#include <cstdint>

#include "image/effect_rows.h"
#include "image/pixel_primitives_internal.h"

#if defined(__x86_64__) || defined(__i386__)

// Everything from here to the end of the section is compiled for AVX-512.
// The intrinsics header comes first so that only our own functions take the
// mark.
#include <immintrin.h>
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,avx512f,avx512bw,avx512dq"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw,avx512dq")
#endif
#include "image/effect_rows_simd.h"
#include "image/simd_avx512.h"

namespace {

struct Avx512EffectOps : Avx512Ops {
  template <int N>
  static T Srai32(T a) {
    return _mm512_srai_epi32(a, N);
  }
  static constexpr bool kHasDwordOps = true;
  static T Gather32(const void* base, T index) { return _mm512_i32gather_epi32(index, base, 4); }
  static T Mullo32(T a, T b) { return _mm512_mullo_epi32(a, b); }
  static T Max32(T a, T b) { return _mm512_max_epi32(a, b); }
  static T Min32(T a, T b) { return _mm512_min_epi32(a, b); }
  static T Lanes() { return _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15); }
  // The low byte of each dword (each below 256), in order, to 16 bytes at p.
  static void StoreLowBytes(uint8_t* p, T a) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm512_cvtepi32_epi8(a));
  }
  static T WidenWords(const uint16_t* p) {
    return _mm512_cvtepu16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
  }
  static T Cmpgt32(T a, T b) { return _mm512_movm_epi32(_mm512_cmpgt_epi32_mask(a, b)); }
  static T Madd16(T a, T b) { return _mm512_madd_epi16(a, b); }
  static T Reverse32(T a) {
    return _mm512_permutexvar_epi32(_mm512_setr_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0), a);
  }
  static void WidenBytes(const uint8_t* p, T* low, T* high) {
    *low = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
    *high = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)));
  }
  // B0-3 G0-3 R0-3 A0-3 to B0 G0 R0 A0 B1 ... in each 128-bit lane.
  static T PackBytesToPixels(T a) {
    const __m128i lane = _mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    return _mm512_shuffle_epi8(a, _mm512_broadcast_i32x4(lane));
  }
};

}  // namespace

bool FillAvx512EffectRows(EffectRowKernels* table) {
  if (!HaveWidestVectors()) return false;
  fx::FillTable<Avx512EffectOps>(table);
  return true;
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#else

bool FillAvx512EffectRows(EffectRowKernels*) { return false; }

#endif
