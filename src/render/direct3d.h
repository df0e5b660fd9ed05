#pragma once
// The Direct3D side: device, GPU frame and capture.
#include <cstdint>

struct ObjectTreeNode;

extern uint8_t g_GpuRedrawRequest;
// Set by the OS utility command: the GPU frame is what the window shows.
extern uint8_t g_GpuCompose;
// The layer node that receives every GPU frame (set by the layer command);
// cleared when that node is released.
extern ObjectTreeNode* g_FrameCaptureLayer;
// 0 success, 1 fall back to processor drawing, -1 end the program.
int InitDirect3D();
void ReleaseGpuFrameTextures();
void ReleaseDirect3D();
// Draws one GPU frame now. 0, or -1 to end the program.
int RenderFrameGpu();
// Draws the source layer on the GPU and copies the picture into the target
// (nothing without a device). 0.
int CaptureLayerGpu(ObjectTreeNode* source, ObjectTreeNode* target);
// Writes the source's pixels into the target's existing texture tiles. 0, or
// -1 when the tiles could not be written (no device or no tiles).
int PasteSpriteGpu(ObjectTreeNode* source, ObjectTreeNode* target);
