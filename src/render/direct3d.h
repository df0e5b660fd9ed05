#pragma once
// The Direct3D side: device, GPU frame and capture.
#include <cstdint>

extern uint8_t g_GpuRedrawRequest;
// 0 success, 1 fall back to processor drawing, -1 end the program.
int InitDirect3D();
void ReleaseGpuFrameTextures();
void ReleaseDirect3D();
