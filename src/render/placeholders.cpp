// Stand-ins until presentation is built. Direct3D drawing is switched on only
// with the E-mote runtime, which this platform does not have.
#include "render/direct3d.h"
#include "render/layer_textures.h"

#include "layer/layer_record.h"

uint8_t g_GpuRedrawRequest = 0;
int InitDirect3D() { return 1; }
void ReleaseGpuFrameTextures() {}
void ReleaseDirect3D() {}

// No texture is ever made without Direct3D: the tiles are only cleared.
void ReleaseLayerTextures(LayerRecord* record) {
  for (LayerTexture*& texture : record->mTileTextures) texture = nullptr;
}
