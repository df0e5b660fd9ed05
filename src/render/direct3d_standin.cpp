// Stand-ins until the GPU device is built. GPU drawing is switched on only
// with the E-mote runtime, which this platform does not have.
#include "core/stand_in.h"
#include "render/direct3d.h"

GpuDevice* g_pD3DDevice = nullptr;
int32_t g_OffscreenWidth = 0;
int32_t g_OffscreenHeight = 0;
int InitDirect3D() {
  STAND_IN();
  return 1;
}
void ReleaseGpuFrameTextures() { STAND_IN(); }
void ReleaseDirect3D() { STAND_IN(); }
int ResetDirect3DDevice() {
  STAND_IN();
  return -1;
}
