#include "render/render_reset.h"

#include "render/direct3d.h"

void ResetRenderState() {
  ReleaseGpuFrameTextures();
  ReleaseDirect3D();
  g_GpuRedrawRequest = 0;
}
