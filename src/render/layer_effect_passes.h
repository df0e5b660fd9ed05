#pragma once
// The layer effect: technique "DE_RudaveDizi1" with its passes as GLSL.
// Pass 0 cross-fades a layer tile with a second source's tile, pass 1 draws
// a layer tile through a rule mask; passes 2 and 3 belong to a presentation
// path that never runs and pass the tile through.
#include "platform/gpu_device.h"

extern const char kLayerEffectTechnique[];
extern const GpuEffectSource g_LayerEffectSource;
