// Stand-ins until presentation is built. Direct3D drawing is switched on only
// with the E-mote runtime, which this platform does not have.
#include "render/direct3d.h"

uint8_t g_GpuRedrawRequest = 0;
int InitDirect3D() { return 1; }
void ReleaseGpuFrameTextures() {}
void ReleaseDirect3D() {}
