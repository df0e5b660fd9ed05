// The blurs' line kernels on AVX-512: the 16 sums of four pixels in one
// register. Used where the processor has AVX-512 with its byte, word and
// dword extensions (see BlurVectorWidthRuns).
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 intrinsics fill their unused merge operand with a
// variable initialised from itself, which its own uninitialised-use checks
// then report from every inlined call.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "image/effect_blurs_internal.h"

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
#include "image/effect_blurs_bytes128.h"
#include "image/effect_blurs_lines.h"

namespace {

struct Avx512Tag {};

struct Avx512Lanes : BlurBytes128<Avx512Tag> {
  using T = __m512i;
  static T Zero() { return _mm512_setzero_si512(); }
  static T Add(T a, T b) { return _mm512_add_epi32(a, b); }
  static T Sub(T a, T b) { return _mm512_sub_epi32(a, b); }
  static T Shl(T a, int count) { return _mm512_sll_epi32(a, _mm_cvtsi32_si128(count)); }
  static T Shr(T a, int count) { return _mm512_srl_epi32(a, _mm_cvtsi32_si128(count)); }
  static T Divide(T x, const BlurDivisor& divisor) {
    __m512i magic = _mm512_set1_epi32(static_cast<int>(divisor.mMagic));
    __m128i shift = _mm_cvtsi32_si128(divisor.mShift);
    __m512i even = _mm512_srl_epi64(_mm512_mul_epu32(x, magic), shift);
    __m512i odd = _mm512_srl_epi64(_mm512_mul_epu32(_mm512_srli_epi64(x, 32), magic), shift);
    return _mm512_or_si512(even, _mm512_slli_epi64(odd, 32));
  }
  static T Widen(Bytes b) { return _mm512_cvtepu8_epi32(b); }
  static Bytes Narrow(T t) { return _mm512_cvtepi32_epi8(t); }
  static T LoadSums(const uint32_t* p) { return _mm512_loadu_si512(p); }
  static void StoreSums(uint32_t* p, T t) { _mm512_storeu_si512(p, t); }
};

}  // namespace

BlurLineKernels Avx512BlurKernels() { return {blur_lines::Rows<Avx512Lanes>, blur_lines::Columns<Avx512Lanes>}; }

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#else

BlurLineKernels Avx512BlurKernels() { return PlainBlurKernels(); }

#endif
