#pragma once
// The GPU frame: the main window's layer tree drawn as textured quads into
// the back buffer and read back into the frame-capture layer; the capture of
// one layer and the sprite paste of the image operation.
#include <cstdint>

struct ObjectTreeNode;
struct LayerRecord;
struct GpuScreenVertex;
struct GpuTexture;

extern uint8_t g_GpuRedrawRequest;
// Set by the OS utility command: the GPU frame is what the window shows.
extern uint8_t g_GpuCompose;
// The layer node that receives every GPU frame (set by the layer command);
// cleared when that node is released.
extern ObjectTreeNode* g_FrameCaptureLayer;
// Set by display-mode and window-size changes (defined with the display
// modes); the next GPU frame resets the device first.
extern uint8_t g_DeviceResetPending;

// Draws one GPU frame now. 0.
int RenderFrameGpu();
// 0; -1 when a mask or second-source path cannot be normalised.
int DrawLayerGroupGpu(ObjectTreeNode* group);
// 0; -1 when a texture, state or draw fails or there is no device.
int DrawLayerQuadGpu(LayerRecord* record, LayerRecord* mask, LayerRecord* second, int opacitySwitch,
                     int blendMode);
void BuildScreenVertex(GpuScreenVertex* vertex, uint32_t colour, float x, float y, float z, float u,
                       float v);
void TranslateQuadVertices(GpuScreenVertex vertices[4], float dx, float dy, float dz);
void ClearRenderTarget();
// Begins the effect and sets the filters of samplers 0 and 1 from the
// settings: the set-up the frame and the capture share.
void BeginEffectWithSamplers();
void EndEffect();
void EndSceneGpu();
// Copies the render target into a 32-bit buffer of width x height.
void CopySurfaceToPixels(GpuTexture* surface, uint32_t* pixels, int width, int height);
// Draws the source layer on the GPU and copies the picture into the target
// (nothing without a device). 0.
int CaptureLayerGpu(ObjectTreeNode* source, ObjectTreeNode* target);
// Writes the source's pixels into the target's existing texture tiles. 0, or
// -1 when the tiles could not be written.
int PasteSpriteGpu(ObjectTreeNode* source, ObjectTreeNode* target);
