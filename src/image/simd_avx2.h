#pragma once
// The 32-byte vector operations (AVX2) of the generic pixel loops in
// blend_simd.h. Only code compiled for AVX2 (and run where the processor has
// it) may use them.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

struct Avx2Ops {
  using T = __m256i;
  static constexpr size_t kBytes = 32;
  // The movemask bits of the alpha bytes.
  static constexpr uint32_t kAlphaBits = 0x88888888u;
  static constexpr bool kHasShuffle = true;

  static T Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static void Store(uint8_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
  static T FromWords(const uint64_t* w) {
    return _mm256_set_epi64x(static_cast<long long>(w[3]), static_cast<long long>(w[2]), static_cast<long long>(w[1]),
                             static_cast<long long>(w[0]));
  }
  static T Zero() { return _mm256_setzero_si256(); }
  static T Set8(int v) { return _mm256_set1_epi8(static_cast<char>(v)); }
  static T Set16(int v) { return _mm256_set1_epi16(static_cast<int16_t>(v)); }
  static T Set32(uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
  static T And(T a, T b) { return _mm256_and_si256(a, b); }
  static T Or(T a, T b) { return _mm256_or_si256(a, b); }
  static T AndNot(T a, T b) { return _mm256_andnot_si256(a, b); }
  // yes where the mask bytes are all ones, no where they are zero.
  static T Blend(T mask, T yes, T no) { return _mm256_blendv_epi8(no, yes, mask); }
  static T Xor(T a, T b) { return _mm256_xor_si256(a, b); }
  static T Not(T a) { return _mm256_xor_si256(a, _mm256_set1_epi32(-1)); }
  static T Add8(T a, T b) { return _mm256_add_epi8(a, b); }
  static T Sub8(T a, T b) { return _mm256_sub_epi8(a, b); }
  static T Adds8u(T a, T b) { return _mm256_adds_epu8(a, b); }
  static T Subs8u(T a, T b) { return _mm256_subs_epu8(a, b); }
  static T Max8u(T a, T b) { return _mm256_max_epu8(a, b); }
  static T Min8u(T a, T b) { return _mm256_min_epu8(a, b); }
  static T Cmpeq8(T a, T b) { return _mm256_cmpeq_epi8(a, b); }
  static uint32_t Movemask8(T a) { return static_cast<uint32_t>(_mm256_movemask_epi8(a)); }
  static T Add16(T a, T b) { return _mm256_add_epi16(a, b); }
  static T Sub16(T a, T b) { return _mm256_sub_epi16(a, b); }
  static T Subs16u(T a, T b) { return _mm256_subs_epu16(a, b); }
  static T Mullo16(T a, T b) { return _mm256_mullo_epi16(a, b); }
  static T Mulhi16u(T a, T b) { return _mm256_mulhi_epu16(a, b); }
  static T Min16(T a, T b) { return _mm256_min_epi16(a, b); }
  static T Max16(T a, T b) { return _mm256_max_epi16(a, b); }
  static T Cmplt16(T a, T b) { return _mm256_cmpgt_epi16(b, a); }
  static T Cmpeq16(T a, T b) { return _mm256_cmpeq_epi16(a, b); }
  template <int N>
  static T Srli16(T a) {
    return _mm256_srli_epi16(a, N);
  }
  template <int N>
  static T Srli32(T a) {
    return _mm256_srli_epi32(a, N);
  }
  template <int N>
  static T Slli32(T a) {
    return _mm256_slli_epi32(a, N);
  }
  // Bytes to words: the low or high eight bytes of each 128-bit lane, as
  // they are (Lo8, Hi8) or moved up by 8 bits (LoUp8, HiUp8).
  static T Lo8(T a) { return _mm256_unpacklo_epi8(a, _mm256_setzero_si256()); }
  static T Hi8(T a) { return _mm256_unpackhi_epi8(a, _mm256_setzero_si256()); }
  static T LoUp8(T a) { return _mm256_unpacklo_epi8(_mm256_setzero_si256(), a); }
  static T HiUp8(T a) { return _mm256_unpackhi_epi8(_mm256_setzero_si256(), a); }
  static T Lo32(T a, T b) { return _mm256_unpacklo_epi32(a, b); }
  static T Hi32(T a, T b) { return _mm256_unpackhi_epi32(a, b); }
  // Byte lookups in a 16-byte table (the same in each 128-bit lane) by the
  // low four bits of each index byte.
  static T Table16(const uint8_t* table) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table)));
  }
  static T Shuffle8(T table, T index) { return _mm256_shuffle_epi8(table, index); }
  // Words from the bytes of a (low) and b (high), as Lo8 and Hi8 take them.
  static T Interleave8Lo(T a, T b) { return _mm256_unpacklo_epi8(a, b); }
  static T Interleave8Hi(T a, T b) { return _mm256_unpackhi_epi8(a, b); }
  static T PackUs16(T a, T b) { return _mm256_packus_epi16(a, b); }
  static T Mulhi16(T a, T b) { return _mm256_mulhi_epi16(a, b); }
  static T Add32(T a, T b) { return _mm256_add_epi32(a, b); }
  static T Sub32(T a, T b) { return _mm256_sub_epi32(a, b); }
  // Words to dwords (the low or high four words of each 128-bit lane) and
  // back with signed saturation.
  static T Lo16(T a) { return _mm256_unpacklo_epi16(a, _mm256_setzero_si256()); }
  static T Hi16(T a) { return _mm256_unpackhi_epi16(a, _mm256_setzero_si256()); }
  static T PackS32(T a, T b) { return _mm256_packs_epi32(a, b); }

  // Single-precision lanes, one per dword.
  using F = __m256;
  static F ToFloat(T a) { return _mm256_cvtepi32_ps(a); }
  static T ToInt(F a) { return _mm256_cvttps_epi32(a); }
  static F FSet(float v) { return _mm256_set1_ps(v); }
  static F FAdd(F a, F b) { return _mm256_add_ps(a, b); }
  static F FSub(F a, F b) { return _mm256_sub_ps(a, b); }
  static F FMul(F a, F b) { return _mm256_mul_ps(a, b); }
  static F FDiv(F a, F b) { return _mm256_div_ps(a, b); }
  static F FMax(F a, F b) { return _mm256_max_ps(a, b); }
  static F FSqrt(F a) { return _mm256_sqrt_ps(a); }
  // yes where the mask lane is all ones, no where it is zero.
  static F FBlend(F mask, F yes, F no) { return _mm256_blendv_ps(no, yes, mask); }
  static F FCmpltMask(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
  static T FCmplt(F a, F b) { return _mm256_castps_si256(_mm256_cmp_ps(a, b, _CMP_LT_OQ)); }
};

#endif
