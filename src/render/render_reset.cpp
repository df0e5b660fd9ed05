#include "render/render_reset.h"

#include "render/direct3d.h"
#include "render/gpu_frame.h"
#include "render/layer_textures.h"
#include "render/present.h"

void ResetRenderState() {
  ResetDirect3DState();
  ResetLayerTextureState();
  g_GpuRedrawRequest = 0;
  g_GpuCompose = 0;
  g_FrameCaptureLayer = nullptr;
  ResetPresentState();
}
