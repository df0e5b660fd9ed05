// The blend kernels of every mode on SSE2 (16 bytes a step); the loops are
// those of blend_simd.h.
#include <cstddef>
#include <cstdint>
#include <utility>

#include "image/blend_kernels.h"
#include "image/blend_kernels_internal.h"
#include "image/pixel_primitives.h"
#include "image/pixel_primitives_internal.h"

#if defined(__SSE2__)
#include "image/blend_simd.h"
#include "image/simd_sse2.h"

bool InstallVectorBlendKernels(BlendKernelTable* table, int width) {
  if (!HaveSse2()) return false;
  if (width == 64 || (width == 0 && HaveWidestVectors())) return InstallWidestBlendKernels(table);
  if (width == 32 || (width == 0 && HaveWideVectors())) return InstallWideBlendKernels(table);
  simd::InstallModes<Sse2Ops>(table, std::make_integer_sequence<int, kBlendModeCount>());
  return true;
}

#else

bool InstallVectorBlendKernels(BlendKernelTable*, int) { return false; }

#endif
