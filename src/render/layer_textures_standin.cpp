// Stand-in until layer textures are built: no texture is ever made without
// Direct3D, so the tiles are only cleared.
#include "core/stand_in.h"
#include "layer/layer_record.h"
#include "render/layer_textures.h"

void ReleaseLayerTextures(LayerRecord* record) {
  STAND_IN();
  for (GpuTexture*& texture : record->mTileTextures) texture = nullptr;
}
int UploadLayerTexture(LayerRecord*, int, int, int) {
  STAND_IN();
  return -1;
}
