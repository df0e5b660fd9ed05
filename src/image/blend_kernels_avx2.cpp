// The blend kernels of every mode and the block loops of the normal and add
// alpha rows on AVX2 (32 bytes a step), used where the processor has it; the loops
// are those of blend_simd.h, compiled here for AVX2 alone.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "image/blend_kernels.h"
#include "image/blend_kernels_internal.h"
#include "image/pixel_primitives.h"
#include "image/pixel_primitives_internal.h"

#if defined(__x86_64__) || defined(__i386__)

bool HaveSse2() {
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2") != 0;
  }();
  return have;
}

bool HaveWideVectors() {
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return have;
}

// Everything from here to the end of the section is compiled for AVX2. The
// intrinsics header comes first so that only our own functions take the mark.
#include <immintrin.h>
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
#include "image/blend_simd.h"
#include "image/pixel_rows_simd.h"
#include "image/simd_avx2.h"

bool InstallWideBlendKernels(BlendKernelTable* table) {
  if (!HaveWideVectors()) return false;
  simd::InstallModes<Avx2Ops>(table, std::make_integer_sequence<int, kBlendModeCount>());
  return true;
}

size_t WideAlphaBlocks(int level, bool withOpacity, uint8_t* dst, const uint8_t* src, int o, size_t i, size_t end) {
  return simd::AlphaBlocksOfLevel<Avx2Ops>(level, withOpacity, dst, src, o, i, end);
}

size_t WideAddAlphaBlocks(int level, bool withOpacity, uint8_t* dst, const uint8_t* src, int o, size_t i, size_t n) {
  return simd::AddAlphaBlocksOfLevel<Avx2Ops>(level, withOpacity, dst, src, o, i, n);
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#else

bool HaveSse2() { return false; }
bool HaveWideVectors() { return false; }
bool InstallWideBlendKernels(BlendKernelTable*) { return false; }
size_t WideAlphaBlocks(int, bool, uint8_t*, const uint8_t*, int, size_t i, size_t) { return i; }
size_t WideAddAlphaBlocks(int, bool, uint8_t*, const uint8_t*, int, size_t i, size_t) { return i; }

#endif
