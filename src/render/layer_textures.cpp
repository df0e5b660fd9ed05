#include "render/layer_textures.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/errors.h"
#include "core/settings.h"
#include "image/pixel_primitives.h"
#include "layer/layer_record.h"
#include "movie/emote.h"
#include "platform/gpu_device.h"
#include "render/direct3d.h"

TileUploadParams g_TileUpload;
const int32_t g_TileSizes[kTileSizeCandidates] = {8192, 4096, 2048, 1024, 512, 256, 128, 64, 32, 16};
uint8_t* g_TileStaging = nullptr;
size_t g_TileStagingSize = kTileStagingStartBytes;

namespace {

constexpr char kTextureFailureText[] =
    "テクスチャを生成できませんでした。\r\nVRAM容量不足の可能性があります。\r\n\r\n※解決方法\r\n"
    "一度ゲームを終了してから[エンジン設定.exe]を起動して頂き、ゲーム画面の描画方法の項目を【 CPU(バイリニア) "
    "】にセットして\r\n起動し直していただければ動作いたします。";

// The narrowest first tile of the x axis.
constexpr int32_t kNarrowImageTile = 512;

struct AxisLimits {
  int32_t deviceMax;
  int32_t configured;
  int32_t layer;
};

// The tile sides of one axis into sides[]; the count, or -1 when the 32nd
// tile is reached (*rest then holds what was left after it).
int TileSides(int32_t side, const AxisLimits& limits, bool narrowRule, int32_t* sides, int32_t* rest) {
  int count = 0;
  int32_t remaining = side;
  while (remaining > 0) {
    int32_t tile = g_TileSizes[0];
    for (int32_t candidate : g_TileSizes) {
      if (candidate >= remaining) tile = candidate;
    }
    if (limits.deviceMax > 0 && limits.deviceMax < tile) tile = limits.deviceMax;
    if (limits.configured > 0 && limits.configured < tile) tile = limits.configured;
    if (limits.layer > 0 && limits.layer < tile) tile = limits.layer;
    // A narrow image gets one wide first tile; never wider than the device
    // can make, or no texture of the layer could ever be created.
    if (narrowRule && side < kNarrowImageTile && count == 0) {
      tile = kNarrowImageTile;
      if (limits.deviceMax > 0 && limits.deviceMax < tile) tile = limits.deviceMax;
    }
    sides[count] = tile;
    ++count;
    remaining -= tile;
    if (count == kTileSizeEntries) {
      *rest = remaining;
      return -1;
    }
  }
  return count;
}

bool GrowStaging(size_t bytes) {
  if (g_TileStaging != nullptr && bytes <= g_TileStagingSize) return true;
  size_t capacity = bytes > g_TileStagingSize ? bytes : g_TileStagingSize;
  auto* grown = static_cast<uint8_t*>(std::realloc(g_TileStaging, capacity));
  if (grown == nullptr) return false;
  g_TileStaging = grown;
  g_TileStagingSize = capacity;
  return true;
}

// The tile at (x0, y0) of tw x th: the image's pixels where it has them,
// the pad colour elsewhere.
void FillStaging(const uint8_t* pixels, int32_t width, int32_t height, int32_t x0, int32_t y0, int32_t tw,
                 int32_t th) {
  const size_t rowBytes = static_cast<size_t>(tw) * 4;
  const size_t pitch = static_cast<size_t>(width) * 4;
  int32_t copyWidth = width - x0 < tw ? width - x0 : tw;
  if (copyWidth < 0) copyWidth = 0;
  for (int32_t row = 0; row < th; ++row) {
    uint8_t* out = g_TileStaging + rowBytes * static_cast<size_t>(row);
    size_t copied = 0;
    if (y0 + row < height && copyWidth > 0) {
      copied = static_cast<size_t>(copyWidth) * 4;
      g_PixelPrimitives.mCopyBytes(out, pixels + pitch * static_cast<size_t>(y0 + row) + static_cast<size_t>(x0) * 4,
                                   copied);
    }
    if (copied < rowBytes) g_PixelPrimitives.mFillDwords(out + copied, rowBytes - copied, kTilePadColour);
  }
}

}  // namespace

void ReleaseLayerTextures(LayerRecord* record) {
  if (record == nullptr) return;
  for (GpuTexture*& texture : record->mTileTextures) {
    if (texture != nullptr) ReleaseGpuTexture(texture);
    texture = nullptr;
  }
}

int UploadLayerTexture(LayerRecord* record, int flag, int tileLimitX, int tileLimitY) {
  if (record == nullptr) return -1;
  g_TileUpload.mWidth = record->mWidth;
  g_TileUpload.mHeight = record->mHeight;
  g_TileUpload.mCentreX = static_cast<float>(record->mWidth) * 0.5f;
  g_TileUpload.mCentreY = static_cast<float>(record->mHeight) * 0.5f;
  g_TileUpload.mFlag = flag;
  g_TileUpload.mTileLimitX = tileLimitX;
  g_TileUpload.mTileLimitY = tileLimitY;
  g_TileUpload.mPixelRecord = record;
  g_TileUpload.mTileRecord = record;
  return BuildLayerTextureTiles(0);
}

int BuildLayerTextureTiles(int mode) {
  LayerRecord* tiles = g_TileUpload.mTileRecord;
  LayerRecord* source = g_TileUpload.mPixelRecord;
  const int32_t width = g_TileUpload.mWidth;
  const int32_t height = g_TileUpload.mHeight;
  if (tiles == nullptr || source == nullptr) return -1;
  if (mode == 0) ReleaseLayerTextures(tiles);

  int32_t rest = 0;
  int countX = TileSides(width, {g_MaxTextureWidth, g_TileLimitWidth, g_TileUpload.mTileLimitX}, true,
                         tiles->mTileWidths, &rest);
  if (countX < 0) {
    tiles->mTileCountX = static_cast<uint8_t>(kTileSizeEntries);
    ShowMessageBox(nullptr, "TXNUM Overflow Error.");
    return -1;
  }
  tiles->mTileCountX = static_cast<uint8_t>(countX);
  int countY = TileSides(height, {g_MaxTextureHeight, g_TileLimitHeight, g_TileUpload.mTileLimitY}, false,
                         tiles->mTileHeights, &rest);
  if (countY < 0) {
    tiles->mTileCountY = static_cast<uint8_t>(kTileSizeEntries);
    ShowMessageBox("", "TYNUM Overflow Error. SX = %d, SY = %d, mRest = %d", width, height, rest);
    return -1;
  }
  tiles->mTileCountY = static_cast<uint8_t>(countY);

  const bool emoteTile = g_EmoteEnabled != 0 && tiles->mGpuState == 2;
  if (emoteTile) {
    tiles->mTileCountX = 1;
    tiles->mTileCountY = 1;
    tiles->mTileWidths[0] = g_OffscreenWidth;
    tiles->mTileHeights[0] = g_OffscreenHeight;
  }
  // The tile table holds 256 entries while each axis allows 31 tiles: a
  // layout of more tiles in all is refused before any texture is made.
  if (tiles->mTileCountX * tiles->mTileCountY > kTileTextureCount) {
    ShowMessageBox("", "TNUM Overflow Error. SX = %d, SY = %d, TX = %d, TY = %d", width, height,
                   static_cast<int>(tiles->mTileCountX), static_cast<int>(tiles->mTileCountY));
    return -1;
  }
  // The pixels are read as width x height with the build's width as pitch:
  // a source (the sprite paste's) holding fewer is refused.
  if (!emoteTile && tiles->mTileCountX * tiles->mTileCountY > 0 &&
      (source->mPixels == nullptr ||
       static_cast<int64_t>(source->mWidth) * source->mHeight < static_cast<int64_t>(width) * height)) {
    return -1;
  }

  const bool dither = g_TextureFormat == kTextureFormat16 && g_DitherTextures != 0;
  const GpuFormat format = g_TextureFormat == kTextureFormat16 ? GpuFormat::kArgb4444 : GpuFormat::kArgb8888;
  int32_t y0 = 0;
  for (int r = 0; r < tiles->mTileCountY; ++r) {
    const int32_t th = tiles->mTileHeights[r];
    int32_t x0 = 0;
    for (int c = 0; c < tiles->mTileCountX; ++c) {
      const int32_t tw = tiles->mTileWidths[c];
      GpuTexture*& texture = tiles->mTileTextures[r * tiles->mTileCountX + c];
      if (!emoteTile) {
        if (!GrowStaging(static_cast<size_t>(tw) * static_cast<size_t>(th) * 4)) {
          ShowMessageBox("", "メモリ不足エラー.");
          return -1;
        }
        FillStaging(source->mPixels, width, height, x0, y0, tw, th);
      }
      if (mode == 0) {
        texture = CreateGpuTexture(g_pD3DDevice, tw, th, format, true);
        if (texture == nullptr) {
          ShowMessageBox("", kTextureFailureText);
          return -1;
        }
      } else if (texture == nullptr || GpuTextureWidth(texture) != tw || GpuTextureHeight(texture) != th) {
        // Writing into the tiles a record already has needs those tiles.
        return -1;
      }
      // A failed transfer leaves this tile as it was; the build goes on.
      if (!emoteTile) UploadGpuTexture(texture, reinterpret_cast<const uint32_t*>(g_TileStaging), tw * 4u, dither);
      x0 += tw;
    }
    y0 += th;
  }

  tiles->mCentreX = static_cast<int64_t>(g_TileUpload.mCentreX);
  tiles->mCentreY = static_cast<int64_t>(g_TileUpload.mCentreY);
  tiles->mWidth = tiles->mBufferWidth = width;
  tiles->mHeight = tiles->mBufferHeight = height;
  tiles->mTileLimitX = g_TileUpload.mTileLimitX;
  tiles->mTileLimitY = g_TileUpload.mTileLimitY;
  g_TileUpload.mWidth = 0;
  g_TileUpload.mHeight = 0;
  g_TileUpload.mCentreX = 0;
  g_TileUpload.mCentreY = 0;
  return 0;
}

void ResetLayerTextureState() {
  std::free(g_TileStaging);
  g_TileStaging = nullptr;
  g_TileStagingSize = kTileStagingStartBytes;
  g_TileUpload = TileUploadParams{};
}
