#pragma once
// The 64-byte vector operations (AVX-512 with its byte, word and dword
// extensions) of the generic pixel loops in blend_simd.h. Every operation
// works on each 128-bit lane as the 16-byte form does. Comparisons give masks
// as vectors, as the narrower forms do; selections are one bitwise select.
// Only code compiled for these extensions (and run where the processor has
// them) may use them.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

struct Avx512Ops {
  using T = __m512i;
  static constexpr size_t kBytes = 64;
  // The mask bits of the alpha bytes.
  static constexpr uint64_t kAlphaBits = 0x8888888888888888ull;
  static constexpr bool kHasShuffle = true;
  // The bitwise select a ? b : c of the ternary logic instruction.
  static constexpr int kSelect = 0xCA;

  static T Load(const uint8_t* p) { return _mm512_loadu_si512(p); }
  static void Store(uint8_t* p, T v) { _mm512_storeu_si512(p, v); }
  static T Zero() { return _mm512_setzero_si512(); }
  static T Set8(int v) { return _mm512_set1_epi8(static_cast<char>(v)); }
  static T Set16(int v) { return _mm512_set1_epi16(static_cast<int16_t>(v)); }
  static T Set32(uint32_t v) { return _mm512_set1_epi32(static_cast<int>(v)); }
  static T And(T a, T b) { return _mm512_and_si512(a, b); }
  static T Or(T a, T b) { return _mm512_or_si512(a, b); }
  static T AndNot(T a, T b) { return _mm512_andnot_si512(a, b); }
  // yes where the mask bits are ones, no where they are zero.
  static T Blend(T mask, T yes, T no) { return _mm512_ternarylogic_epi32(mask, yes, no, kSelect); }
  static T Xor(T a, T b) { return _mm512_xor_si512(a, b); }
  // Every bit flipped. Spelled as a ternary logic on a alone: the exclusive
  // or with all ones becomes a ternary logic whose result register is also
  // an input, which ties each loop step to the register's last value.
  static T Not(T a) { return _mm512_ternarylogic_epi32(a, a, a, 0x55); }
  static T Add8(T a, T b) { return _mm512_add_epi8(a, b); }
  static T Sub8(T a, T b) { return _mm512_sub_epi8(a, b); }
  static T Adds8u(T a, T b) { return _mm512_adds_epu8(a, b); }
  static T Subs8u(T a, T b) { return _mm512_subs_epu8(a, b); }
  static T Max8u(T a, T b) { return _mm512_max_epu8(a, b); }
  static T Min8u(T a, T b) { return _mm512_min_epu8(a, b); }
  static T Cmpeq8(T a, T b) { return _mm512_movm_epi8(_mm512_cmpeq_epi8_mask(a, b)); }
  static uint64_t Movemask8(T a) { return _mm512_movepi8_mask(a); }
  static T Add16(T a, T b) { return _mm512_add_epi16(a, b); }
  static T Sub16(T a, T b) { return _mm512_sub_epi16(a, b); }
  static T Subs16u(T a, T b) { return _mm512_subs_epu16(a, b); }
  static T Mullo16(T a, T b) { return _mm512_mullo_epi16(a, b); }
  static T Mulhi16u(T a, T b) { return _mm512_mulhi_epu16(a, b); }
  static T Mulhi16(T a, T b) { return _mm512_mulhi_epi16(a, b); }
  static T Min16(T a, T b) { return _mm512_min_epi16(a, b); }
  static T Max16(T a, T b) { return _mm512_max_epi16(a, b); }
  static T Cmplt16(T a, T b) { return _mm512_movm_epi16(_mm512_cmplt_epi16_mask(a, b)); }
  static T Cmpeq16(T a, T b) { return _mm512_movm_epi16(_mm512_cmpeq_epi16_mask(a, b)); }
  template <int N>
  static T Srli16(T a) {
    return _mm512_srli_epi16(a, N);
  }
  template <int N>
  static T Srli32(T a) {
    return _mm512_srli_epi32(a, N);
  }
  template <int N>
  static T Slli32(T a) {
    return _mm512_slli_epi32(a, N);
  }
  // Bytes to words: the low or high eight bytes of each 128-bit lane, as
  // they are (Lo8, Hi8) or moved up by 8 bits (LoUp8, HiUp8).
  static T Lo8(T a) { return _mm512_unpacklo_epi8(a, _mm512_setzero_si512()); }
  static T Hi8(T a) { return _mm512_unpackhi_epi8(a, _mm512_setzero_si512()); }
  static T LoUp8(T a) { return _mm512_unpacklo_epi8(_mm512_setzero_si512(), a); }
  static T HiUp8(T a) { return _mm512_unpackhi_epi8(_mm512_setzero_si512(), a); }
  static T Lo32(T a, T b) { return _mm512_unpacklo_epi32(a, b); }
  static T Hi32(T a, T b) { return _mm512_unpackhi_epi32(a, b); }
  // Byte lookups in a 16-byte table (the same in each 128-bit lane) by the
  // low four bits of each index byte (an index with its top bit set gives 0).
  static T Table16(const uint8_t* table) {
    return _mm512_maskz_broadcast_i32x4(static_cast<__mmask16>(0xFFFF),
                                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(table)));
  }
  static T Shuffle8(T table, T index) { return _mm512_shuffle_epi8(table, index); }
  // Words from the bytes of a (low) and b (high), as Lo8 and Hi8 take them.
  static T Interleave8Lo(T a, T b) { return _mm512_unpacklo_epi8(a, b); }
  static T Interleave8Hi(T a, T b) { return _mm512_unpackhi_epi8(a, b); }
  static T PackUs16(T a, T b) { return _mm512_packus_epi16(a, b); }
  static T Add32(T a, T b) { return _mm512_add_epi32(a, b); }
  static T Sub32(T a, T b) { return _mm512_sub_epi32(a, b); }
  // Words to dwords (the low or high four words of each 128-bit lane) and
  // back with signed saturation.
  static T Lo16(T a) { return _mm512_unpacklo_epi16(a, _mm512_setzero_si512()); }
  static T Hi16(T a) { return _mm512_unpackhi_epi16(a, _mm512_setzero_si512()); }
  static T PackS32(T a, T b) { return _mm512_packs_epi32(a, b); }

  // Single-precision lanes, one per dword.
  using F = __m512;
  static F ToFloat(T a) { return _mm512_cvtepi32_ps(a); }
  static T ToInt(F a) { return _mm512_cvttps_epi32(a); }
  static F FSet(float v) { return _mm512_set1_ps(v); }
  static F FAdd(F a, F b) { return _mm512_add_ps(a, b); }
  static F FSub(F a, F b) { return _mm512_sub_ps(a, b); }
  static F FMul(F a, F b) { return _mm512_mul_ps(a, b); }
  static F FDiv(F a, F b) { return _mm512_div_ps(a, b); }
  static F FMax(F a, F b) { return _mm512_max_ps(a, b); }
  static F FSqrt(F a) { return _mm512_sqrt_ps(a); }
  static T FCmplt(F a, F b) { return _mm512_movm_epi32(_mm512_cmp_ps_mask(a, b, _CMP_LT_OQ)); }
};

#endif
