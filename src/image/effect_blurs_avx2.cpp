// The blurs' line kernels on AVX2: the 16 sums of four pixels in two
// registers. Used where the processor has AVX2 (see BlurVectorWidthRuns).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "image/effect_blurs_internal.h"

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
#include "image/effect_blurs_bytes128.h"
#include "image/effect_blurs_lines.h"

namespace {

struct Avx2Tag {};

struct Avx2Lanes : BlurBytes128<Avx2Tag> {
  struct T {
    __m256i mLo;
    __m256i mHi;
  };
  static T Zero() { return T{_mm256_setzero_si256(), _mm256_setzero_si256()}; }
  static T Add(T a, T b) { return T{_mm256_add_epi32(a.mLo, b.mLo), _mm256_add_epi32(a.mHi, b.mHi)}; }
  static T Sub(T a, T b) { return T{_mm256_sub_epi32(a.mLo, b.mLo), _mm256_sub_epi32(a.mHi, b.mHi)}; }
  static T Shl(T a, int count) {
    __m128i c = _mm_cvtsi32_si128(count);
    return T{_mm256_sll_epi32(a.mLo, c), _mm256_sll_epi32(a.mHi, c)};
  }
  static T Shr(T a, int count) {
    __m128i c = _mm_cvtsi32_si128(count);
    return T{_mm256_srl_epi32(a.mLo, c), _mm256_srl_epi32(a.mHi, c)};
  }
  static __m256i DivideHalf(__m256i x, __m256i magic, __m128i shift) {
    __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(x, magic), shift);
    __m256i odd = _mm256_srl_epi64(_mm256_mul_epu32(_mm256_srli_epi64(x, 32), magic), shift);
    return _mm256_or_si256(even, _mm256_slli_epi64(odd, 32));
  }
  static T Divide(T a, const BlurDivisor& divisor) {
    __m256i magic = _mm256_set1_epi32(static_cast<int>(divisor.mMagic));
    __m128i shift = _mm_cvtsi32_si128(divisor.mShift);
    return T{DivideHalf(a.mLo, magic, shift), DivideHalf(a.mHi, magic, shift)};
  }
  static T Widen(Bytes b) { return T{_mm256_cvtepu8_epi32(b), _mm256_cvtepu8_epi32(_mm_srli_si128(b, 8))}; }
  static Bytes Narrow(T t) {
    // Words lo 0-3, hi 0-3 | lo 4-7, hi 4-7, put in order, then bytes.
    __m256i words = _mm256_permute4x64_epi64(_mm256_packs_epi32(t.mLo, t.mHi), 0xD8);
    return _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
  }
  static T LoadSums(const uint32_t* p) {
    return T{_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
             _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 8))};
  }
  static void StoreSums(uint32_t* p, T t) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), t.mLo);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 8), t.mHi);
  }
};

}  // namespace

BlurLineKernels Avx2BlurKernels() { return {blur_lines::Rows<Avx2Lanes>, blur_lines::Columns<Avx2Lanes>}; }

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#else

BlurLineKernels Avx2BlurKernels() { return PlainBlurKernels(); }

#endif
