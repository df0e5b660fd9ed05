#pragma once
// The 16-byte vector operations (SSE2) of the generic pixel loops in
// blend_simd.h.
#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

struct Sse2Ops {
  using T = __m128i;
  static constexpr size_t kBytes = 16;
  // The movemask bits of the alpha bytes.
  static constexpr uint32_t kAlphaBits = 0x8888u;
  // No byte shuffle (that came with SSSE3).
  static constexpr bool kHasShuffle = false;

  static T Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void Store(uint8_t* p, T v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  static T FromWords(const uint64_t* w) {
    return _mm_set_epi64x(static_cast<long long>(w[1]), static_cast<long long>(w[0]));
  }
  static T Zero() { return _mm_setzero_si128(); }
  static T Set8(int v) { return _mm_set1_epi8(static_cast<char>(v)); }
  static T Set16(int v) { return _mm_set1_epi16(static_cast<int16_t>(v)); }
  static T Set32(uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
  static T And(T a, T b) { return _mm_and_si128(a, b); }
  static T Or(T a, T b) { return _mm_or_si128(a, b); }
  static T AndNot(T a, T b) { return _mm_andnot_si128(a, b); }
  // yes where the mask bytes are all ones, no where they are zero.
  static T Blend(T mask, T yes, T no) { return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no)); }
  static T Xor(T a, T b) { return _mm_xor_si128(a, b); }
  static T Not(T a) { return _mm_xor_si128(a, _mm_set1_epi32(-1)); }
  static T Add8(T a, T b) { return _mm_add_epi8(a, b); }
  static T Sub8(T a, T b) { return _mm_sub_epi8(a, b); }
  static T Adds8u(T a, T b) { return _mm_adds_epu8(a, b); }
  static T Subs8u(T a, T b) { return _mm_subs_epu8(a, b); }
  static T Max8u(T a, T b) { return _mm_max_epu8(a, b); }
  static T Min8u(T a, T b) { return _mm_min_epu8(a, b); }
  static T Cmpeq8(T a, T b) { return _mm_cmpeq_epi8(a, b); }
  static uint32_t Movemask8(T a) { return static_cast<uint32_t>(_mm_movemask_epi8(a)); }
  static T Add16(T a, T b) { return _mm_add_epi16(a, b); }
  static T Sub16(T a, T b) { return _mm_sub_epi16(a, b); }
  static T Subs16u(T a, T b) { return _mm_subs_epu16(a, b); }
  static T Mullo16(T a, T b) { return _mm_mullo_epi16(a, b); }
  static T Mulhi16u(T a, T b) { return _mm_mulhi_epu16(a, b); }
  static T Min16(T a, T b) { return _mm_min_epi16(a, b); }
  static T Max16(T a, T b) { return _mm_max_epi16(a, b); }
  static T Cmplt16(T a, T b) { return _mm_cmplt_epi16(a, b); }
  static T Cmpeq16(T a, T b) { return _mm_cmpeq_epi16(a, b); }
  template <int N>
  static T Srli16(T a) {
    return _mm_srli_epi16(a, N);
  }
  template <int N>
  static T Srli32(T a) {
    return _mm_srli_epi32(a, N);
  }
  template <int N>
  static T Slli32(T a) {
    return _mm_slli_epi32(a, N);
  }
  // Bytes to words: the low or high eight bytes of each 128-bit lane, as
  // they are (Lo8, Hi8) or moved up by 8 bits (LoUp8, HiUp8).
  static T Lo8(T a) { return _mm_unpacklo_epi8(a, _mm_setzero_si128()); }
  static T Hi8(T a) { return _mm_unpackhi_epi8(a, _mm_setzero_si128()); }
  static T LoUp8(T a) { return _mm_unpacklo_epi8(_mm_setzero_si128(), a); }
  static T HiUp8(T a) { return _mm_unpackhi_epi8(_mm_setzero_si128(), a); }
  static T Lo32(T a, T b) { return _mm_unpacklo_epi32(a, b); }
  static T Hi32(T a, T b) { return _mm_unpackhi_epi32(a, b); }
  static T PackUs16(T a, T b) { return _mm_packus_epi16(a, b); }
  static T Mulhi16(T a, T b) { return _mm_mulhi_epi16(a, b); }
  static T Add32(T a, T b) { return _mm_add_epi32(a, b); }
  static T Sub32(T a, T b) { return _mm_sub_epi32(a, b); }
  // Words to dwords (the low or high four words of each 128-bit lane) and
  // back with signed saturation.
  static T Lo16(T a) { return _mm_unpacklo_epi16(a, _mm_setzero_si128()); }
  static T Hi16(T a) { return _mm_unpackhi_epi16(a, _mm_setzero_si128()); }
  static T PackS32(T a, T b) { return _mm_packs_epi32(a, b); }

  // Single-precision lanes, one per dword.
  using F = __m128;
  static F ToFloat(T a) { return _mm_cvtepi32_ps(a); }
  static T ToInt(F a) { return _mm_cvttps_epi32(a); }
  static F FSet(float v) { return _mm_set1_ps(v); }
  static F FAdd(F a, F b) { return _mm_add_ps(a, b); }
  static F FSub(F a, F b) { return _mm_sub_ps(a, b); }
  static F FMul(F a, F b) { return _mm_mul_ps(a, b); }
  static F FDiv(F a, F b) { return _mm_div_ps(a, b); }
  static F FMax(F a, F b) { return _mm_max_ps(a, b); }
  static F FSqrt(F a) { return _mm_sqrt_ps(a); }
  // yes where the mask lane is all ones, no where it is zero.
  static F FBlend(F mask, F yes, F no) { return _mm_or_ps(_mm_and_ps(mask, yes), _mm_andnot_ps(mask, no)); }
  static F FCmpltMask(F a, F b) { return _mm_cmplt_ps(a, b); }
  static T FCmplt(F a, F b) { return _mm_castps_si128(_mm_cmplt_ps(a, b)); }
};

#endif
