// The blurs' line kernels in plain code and on SSE2 (every x86-64 has it);
// the wider ones are in effect_blurs_avx2.cpp and effect_blurs_avx512.cpp.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "image/effect_blurs_internal.h"
#include "image/effect_blurs_lines.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include "image/effect_blurs_bytes128.h"
#endif

namespace {

// Sums in an array, bytes in an array: runs anywhere.
struct PlainLanes {
  struct T {
    uint32_t mLane[16];
  };
  struct Bytes {
    uint8_t mByte[16];
  };
  static T Zero() { return T{}; }
  template <typename Op>
  static T Each(T a, Op op) {
    for (uint32_t& lane : a.mLane) lane = op(lane);
    return a;
  }
  static T Add(T a, const T& b) {
    for (int k = 0; k < 16; ++k) a.mLane[k] += b.mLane[k];
    return a;
  }
  static T Sub(T a, const T& b) {
    for (int k = 0; k < 16; ++k) a.mLane[k] -= b.mLane[k];
    return a;
  }
  static T Shl(T a, int count) {
    return Each(a, [count](uint32_t lane) { return lane << count; });
  }
  static T Shr(T a, int count) {
    return Each(a, [count](uint32_t lane) { return lane >> count; });
  }
  static T Divide(T a, const BlurDivisor& divisor) {
    return Each(a, [d = divisor.mDivisor](uint32_t lane) { return lane / d; });
  }
  static T Widen(const Bytes& b) {
    T t;
    for (int k = 0; k < 16; ++k) t.mLane[k] = b.mByte[k];
    return t;
  }
  static Bytes Narrow(const T& t) {
    Bytes b;
    for (int k = 0; k < 16; ++k) b.mByte[k] = static_cast<uint8_t>(t.mLane[k]);
    return b;
  }
  static T LoadSums(const uint32_t* p) {
    T t;
    std::memcpy(t.mLane, p, sizeof(t.mLane));
    return t;
  }
  static void StoreSums(uint32_t* p, const T& t) { std::memcpy(p, t.mLane, sizeof(t.mLane)); }
  static Bytes LoadBytes(const uint8_t* p) { return LoadBytesPart(p, 16); }
  static void StoreBytes(uint8_t* p, const Bytes& b) { std::memcpy(p, b.mByte, 16); }
  static Bytes LoadBytesPart(const uint8_t* p, size_t bytes) {
    Bytes b{};
    std::memcpy(b.mByte, p, bytes);
    return b;
  }
  static void StoreBytesPart(uint8_t* p, const Bytes& b, size_t bytes) { std::memcpy(p, b.mByte, bytes); }
  static void Transpose4x4(const uint8_t* src, ptrdiff_t srcPitch, uint8_t* dst, ptrdiff_t dstPitch) {
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) std::memcpy(dst + x * dstPitch + y * 4, src + y * srcPitch + x * 4, 4);
    }
  }
  static Bytes KeepChannels(Bytes mean, const Bytes& input, BlurChannels channels) {
    for (int k = 0; k < 16; k += 4) {
      if (channels == BlurChannels::kColour) mean.mByte[k + 3] = input.mByte[k + 3];
      if (channels == BlurChannels::kAlpha) mean.mByte[k] = mean.mByte[k + 1] = mean.mByte[k + 2] = 0;
    }
    return mean;
  }
};

#if defined(__SSE2__)
struct Sse2Tag {};

// Sums in four registers of four lanes.
struct Sse2Lanes : BlurBytes128<Sse2Tag> {
  struct T {
    __m128i mPart[4];
  };
  // Written out part by part: a loop here leaves the parts in memory.
  template <typename Op>
  static T Each(const T& a, Op op) {
    return T{{op(a.mPart[0]), op(a.mPart[1]), op(a.mPart[2]), op(a.mPart[3])}};
  }
  template <typename Op>
  static T Pair(const T& a, const T& b, Op op) {
    return T{{op(a.mPart[0], b.mPart[0]), op(a.mPart[1], b.mPart[1]), op(a.mPart[2], b.mPart[2]),
              op(a.mPart[3], b.mPart[3])}};
  }
  static T Zero() { return T{{_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()}}; }
  static T Add(const T& a, const T& b) {
    return Pair(a, b, [](__m128i x, __m128i y) { return _mm_add_epi32(x, y); });
  }
  static T Sub(const T& a, const T& b) {
    return Pair(a, b, [](__m128i x, __m128i y) { return _mm_sub_epi32(x, y); });
  }
  static T Shl(const T& a, int count) {
    __m128i c = _mm_cvtsi32_si128(count);
    return Each(a, [c](__m128i x) { return _mm_sll_epi32(x, c); });
  }
  static T Shr(const T& a, int count) {
    __m128i c = _mm_cvtsi32_si128(count);
    return Each(a, [c](__m128i x) { return _mm_srl_epi32(x, c); });
  }
  static T Divide(const T& a, const BlurDivisor& divisor) {
    __m128i magic = _mm_set1_epi32(static_cast<int>(divisor.mMagic));
    __m128i shift = _mm_cvtsi32_si128(divisor.mShift);
    return Each(a, [magic, shift](__m128i x) {
      __m128i even = _mm_srl_epi64(_mm_mul_epu32(x, magic), shift);
      __m128i odd = _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(x, 32), magic), shift);
      return _mm_or_si128(even, _mm_slli_epi64(odd, 32));
    });
  }
  static T Widen(Bytes b) {
    __m128i zero = _mm_setzero_si128();
    __m128i lo = _mm_unpacklo_epi8(b, zero);
    __m128i hi = _mm_unpackhi_epi8(b, zero);
    return T{{_mm_unpacklo_epi16(lo, zero), _mm_unpackhi_epi16(lo, zero), _mm_unpacklo_epi16(hi, zero),
              _mm_unpackhi_epi16(hi, zero)}};
  }
  static Bytes Narrow(const T& t) {
    return _mm_packus_epi16(_mm_packs_epi32(t.mPart[0], t.mPart[1]), _mm_packs_epi32(t.mPart[2], t.mPart[3]));
  }
  static __m128i Load4(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static T LoadSums(const uint32_t* p) { return T{{Load4(p), Load4(p + 4), Load4(p + 8), Load4(p + 12)}}; }
  static void StoreSums(uint32_t* p, const T& t) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), t.mPart[0]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4), t.mPart[1]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 8), t.mPart[2]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 12), t.mPart[3]);
  }
};
#endif

}  // namespace

size_t BlurColumnsScratchBytes(int64_t columns, int64_t n) {
  auto groups = static_cast<size_t>((columns + 3) / 4);
  return groups * (sizeof(blur_lines::ColumnSums) + 16) + static_cast<size_t>(n + 1) * sizeof(const uint8_t*);
}

size_t BlurRowsScratchBytes(int64_t n) {
  return static_cast<size_t>(n) * kBlurBandRows * 4 * 2 + BlurColumnsScratchBytes(kBlurBandRows, n);
}

BlurLineKernels PlainBlurKernels() { return {blur_lines::Rows<PlainLanes>, blur_lines::Columns<PlainLanes>}; }

#if defined(__SSE2__)
BlurLineKernels Sse2BlurKernels() { return {blur_lines::Rows<Sse2Lanes>, blur_lines::Columns<Sse2Lanes>}; }
#else
BlurLineKernels Sse2BlurKernels() { return PlainBlurKernels(); }
#endif
