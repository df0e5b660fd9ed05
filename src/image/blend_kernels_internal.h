#pragma once
// Shared between the plain and the vectorised blend kernels.
#include "image/blend_kernels.h"

// Replaces every kernel of the mode pattern in `table` by its vectorised form
// when the processor has SSE2; false (table untouched) otherwise. The kernels
// that forward to the row primitives are installed afterwards, over these.
bool InstallVectorBlendKernels(BlendKernelTable* table);
