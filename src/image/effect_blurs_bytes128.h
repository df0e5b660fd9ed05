#pragma once
// The byte side of the blurs' vector lanes (see effect_blurs_lines.h): four
// pixels in one 16-byte register, whatever the width of the sums. `Tag` is
// the including file's own, so that each vector width has its own copy.
#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "image/effect_blurs_internal.h"

template <class Tag>
struct BlurBytes128 {
  using Bytes = __m128i;
  static Bytes LoadBytes(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void StoreBytes(uint8_t* p, Bytes b) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), b); }
  static Bytes LoadBytesPart(const uint8_t* p, size_t bytes) {
    alignas(16) uint8_t staged[16] = {};
    std::memcpy(staged, p, bytes);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(staged));
  }
  static void StoreBytesPart(uint8_t* p, Bytes b, size_t bytes) {
    alignas(16) uint8_t staged[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(staged), b);
    std::memcpy(p, staged, bytes);
  }
  // Four rows of four pixels to four columns.
  static void Transpose4x4(const uint8_t* src, ptrdiff_t srcPitch, uint8_t* dst, ptrdiff_t dstPitch) {
    __m128i a = LoadBytes(src);
    __m128i b = LoadBytes(src + srcPitch);
    __m128i c = LoadBytes(src + 2 * srcPitch);
    __m128i d = LoadBytes(src + 3 * srcPitch);
    __m128i ab01 = _mm_unpacklo_epi32(a, b);
    __m128i ab23 = _mm_unpackhi_epi32(a, b);
    __m128i cd01 = _mm_unpacklo_epi32(c, d);
    __m128i cd23 = _mm_unpackhi_epi32(c, d);
    StoreBytes(dst, _mm_unpacklo_epi64(ab01, cd01));
    StoreBytes(dst + dstPitch, _mm_unpackhi_epi64(ab01, cd01));
    StoreBytes(dst + 2 * dstPitch, _mm_unpacklo_epi64(ab23, cd23));
    StoreBytes(dst + 3 * dstPitch, _mm_unpackhi_epi64(ab23, cd23));
  }
  static Bytes KeepChannels(Bytes mean, Bytes input, BlurChannels channels) {
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    switch (channels) {
      case BlurChannels::kAll: return mean;
      case BlurChannels::kColour: return _mm_or_si128(_mm_andnot_si128(alpha, mean), _mm_and_si128(alpha, input));
      case BlurChannels::kAlpha: return _mm_and_si128(alpha, mean);
    }
    return mean;
  }
};
#endif
