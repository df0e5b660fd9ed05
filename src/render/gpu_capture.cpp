// Reading GPU pictures back into layers: the frame copy, the capture of one
// layer into a new screen-sized image, and the sprite paste that refills a
// layer's tiles with another layer's pixels.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/alloc.h"
#include "core/errors.h"
#include "core/message_ids.h"
#include "core/object_tree.h"
#include "core/window_table.h"
#include "image/pixel_buffers.h"
#include "layer/dirty_rects.h"
#include "layer/image_operation.h"
#include "layer/layer_record.h"
#include "platform/gpu_device.h"
#include "render/direct3d.h"
#include "render/gpu_frame.h"
#include "render/layer_textures.h"

namespace {

// Every tile of the record's grid is there to be written into.
bool HoldsAllTiles(const LayerRecord* record) {
  int count = record->mTileCountX * record->mTileCountY;
  if (count <= 0 || count > kTileTextureCount) return false;
  for (int i = 0; i < count; ++i) {
    if (record->mTileTextures[i] == nullptr) return false;
  }
  return true;
}

}  // namespace

void CopySurfaceToPixels(GpuTexture* surface, uint32_t* pixels, int width, int height) {
  if (g_pD3DDevice == nullptr || surface == nullptr || g_pSysMemSurface == nullptr || pixels == nullptr) return;
  if (width <= 0 || height <= 0) return;
  size_t pitch = 0;
  int bufferWidth = 0;
  int bufferHeight = 0;
  const uint8_t* rows = GpuReadBufferRows(g_pSysMemSurface, &pitch, &bufferWidth, &bufferHeight);
  // The read-back buffer has the size of the window when the device was
  // made; a larger request would read past it.
  if (rows == nullptr || width > bufferWidth || height > bufferHeight) return;
  if (!ReadGpuRenderTarget(g_pD3DDevice, surface, g_pSysMemSurface)) return;
  size_t rowBytes = static_cast<size_t>(width) * 4;
  auto* out = reinterpret_cast<uint8_t*>(pixels);
  for (int y = 0; y < height; ++y) {
    std::memcpy(out + rowBytes * static_cast<size_t>(y), rows + pitch * static_cast<size_t>(y), rowBytes);
  }
}

int CaptureLayerGpu(ObjectTreeNode* source, ObjectTreeNode* target) {
  if (g_pD3DDevice == nullptr || g_pBackBufferSurface == nullptr) return 0;
  LayerRecord* from = LayerRecordOf(source);
  LayerRecord* to = LayerRecordOf(target);
  const WindowObject* main = g_WindowTable[0];
  if (from == nullptr || to == nullptr || main == nullptr) return 0;
  if (!SetGpuRenderTarget(g_pD3DDevice, g_pGetSSTexture)) return 0;
  ClearRenderTarget();
  BeginEffectWithSamplers();
  DrawLayerQuadGpu(from, nullptr, nullptr, 1, from->mBlendMode);
  EndSceneGpu();
  // The render target stays the capture texture; the next frame sets its own.
  int32_t width = main->mWidth;
  int32_t height = main->mHeight;
  // A height beyond the image limit is refused the same way: no image may
  // have a side above it.
  if (width > kMaxImageSide || height > kMaxImageSide) {
    ShowMessageBox("", "ＣＧサイズが大きすぎます。X=%d, Y=%d", width, height);
    ReportError(kMsgOutOfMemory);
    return 0;
  }
  // A window without a size has no picture to take.
  if (width <= 0 || height <= 0) return 0;
  auto* block = static_cast<uint8_t*>(AllocZeroed(PixelBlockBytes(width, height)));
  if (block == nullptr) {
    ReportErrorFmt(kMsgNoMemoryForFile, "", width, height);
    return 0;
  }
  SetPixelBuffer(to, block, width, height);
  InvalidateLayerToRoot(target);
  CopySurfaceToPixels(g_pGetSSTexture, reinterpret_cast<uint32_t*>(to->mPixels), width, height);
  return 0;
}

int PasteSpriteGpu(ObjectTreeNode* source, ObjectTreeNode* target) {
  // The source is read with the target's width as pitch for the target's
  // height, and only tiles the target already holds are written.
  if (!SpritePasteFits(source, target)) return -1;
  LayerRecord* from = LayerRecordOf(source);
  LayerRecord* to = LayerRecordOf(target);
  if (!HoldsAllTiles(to) || from->mBufferWidth < to->mWidth || from->mBufferHeight < to->mHeight) return -1;
  g_TileUpload.mCentreX = static_cast<float>(to->mCentreX);
  g_TileUpload.mCentreY = static_cast<float>(to->mCentreY);
  g_TileUpload.mWidth = to->mWidth;
  g_TileUpload.mHeight = to->mHeight;
  g_TileUpload.mTileLimitX = to->mTileLimitX;
  g_TileUpload.mTileLimitY = to->mTileLimitY;
  g_TileUpload.mPixelRecord = from;
  g_TileUpload.mTileRecord = to;
  return BuildLayerTextureTiles(1) != 0 ? -1 : 0;
}
