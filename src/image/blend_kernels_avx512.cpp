// The blend kernels of every mode and the block loops of the normal and add
// alpha rows on AVX-512 (64 bytes a step), used where the processor has its
// byte, word and dword extensions; the loops are those of blend_simd.h,
// compiled here for AVX-512 alone.
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
#include <utility>

#include "image/blend_kernels.h"
#include "image/blend_kernels_internal.h"
#include "image/pixel_primitives.h"
#include "image/pixel_primitives_internal.h"

#if defined(__x86_64__) || defined(__i386__)

bool HaveWidestVectors() {
  static const bool have = [] {
    __builtin_cpu_init();
    return HaveWideVectors() && __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0 &&
           __builtin_cpu_supports("avx512dq") != 0;
  }();
  return have;
}

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
#include "image/blend_simd.h"
#include "image/pixel_rows_simd.h"
#include "image/simd_avx512.h"

bool InstallWidestBlendKernels(BlendKernelTable* table) {
  if (!HaveWidestVectors()) return false;
  simd::InstallModes<Avx512Ops>(table, std::make_integer_sequence<int, kBlendModeCount>());
  return true;
}

size_t WidestAlphaBlocks(int level, bool withOpacity, uint8_t* dst, const uint8_t* src, int o, size_t i, size_t end) {
  return simd::AlphaBlocksOfLevel<Avx512Ops>(level, withOpacity, dst, src, o, i, end);
}

size_t WidestAddAlphaBlocks(int level, bool withOpacity, uint8_t* dst, const uint8_t* src, int o, size_t i, size_t n) {
  return simd::AddAlphaBlocksOfLevel<Avx512Ops>(level, withOpacity, dst, src, o, i, n);
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#else

bool HaveWidestVectors() { return false; }
bool InstallWidestBlendKernels(BlendKernelTable*) { return false; }
size_t WidestAlphaBlocks(int, bool, uint8_t*, const uint8_t*, int, size_t i, size_t) { return i; }
size_t WidestAddAlphaBlocks(int, bool, uint8_t*, const uint8_t*, int, size_t i, size_t) { return i; }

#endif
