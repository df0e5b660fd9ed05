#pragma once
// Shared between the plain and the vectorised blend kernels.
#include "image/blend_kernels.h"

// Replaces every kernel of the mode pattern in `table` by its vectorised form
// when the processor has SSE2: width 16 the SSE2 kernels, 32 the AVX2 ones,
// 64 the AVX-512 ones (false when the processor lacks that set), 0 the
// widest the processor runs.
// False (table untouched) without SSE2. The kernels that forward to the row
// primitives are installed afterwards, over these.
bool InstallVectorBlendKernels(BlendKernelTable* table, int width = 0);
// The AVX2 kernels; false (table untouched) where the processor lacks AVX2.
bool InstallWideBlendKernels(BlendKernelTable* table);
// The AVX-512 kernels; false (table untouched) where the processor lacks them.
bool InstallWidestBlendKernels(BlendKernelTable* table);
// Fills `table` with the kernels of the given width (-1 plain, else as for
// InstallVectorBlendKernels) and the forwarding kernels.
void BuildBlendKernelTable(BlendKernelTable* table, int width);
