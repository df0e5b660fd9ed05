#include "render/render_reset.h"

#include "render/direct3d.h"
#include "render/gpu_frame.h"
#include "render/present.h"

void ResetRenderState() {
  ReleaseGpuFrameTextures();
  ReleaseDirect3D();
  g_GpuRedrawRequest = 0;
  g_GpuCompose = 0;
  g_FrameCaptureLayer = nullptr;
  ResetPresentState();
}
