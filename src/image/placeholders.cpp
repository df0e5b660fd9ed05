// Stand-ins until the pixel machinery is built.
#include "image/blend_kernels.h"
#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"
#include "image/webp_codec.h"

void InitPixelPrimitives() {}
void InitProductTables() {}
void InitBlendKernels() {}
int StartPixelWorkers() { return 0; }
void StopPixelWorkers() {}
void LoadWebpCodec() {}
void ReleaseWebpCodec() {}
