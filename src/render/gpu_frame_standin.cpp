// Stand-ins until the GPU frame is built. GPU drawing is switched on only
// with the E-mote runtime, which this platform does not have.
#include "core/stand_in.h"
#include "render/gpu_frame.h"

uint8_t g_GpuRedrawRequest = 0;
uint8_t g_GpuCompose = 0;
ObjectTreeNode* g_FrameCaptureLayer = nullptr;
int RenderFrameGpu() {
  STAND_IN();
  return 0;
}
int CaptureLayerGpu(ObjectTreeNode*, ObjectTreeNode*) {
  STAND_IN();
  return 0;
}
int PasteSpriteGpu(ObjectTreeNode*, ObjectTreeNode*) {
  STAND_IN();
  return -1;
}
