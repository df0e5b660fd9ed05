#pragma once
// The GPU texture tiles of layer records: a layer's 32-bit image as a grid
// of power-of-two textures.
#include <cstddef>
#include <cstdint>

struct LayerRecord;

// One build's input (the single instance g_TileUpload).
struct TileUploadParams {
  float mCentreX = 0;
  float mCentreY = 0;
  int32_t mWidth = 0;
  int32_t mHeight = 0;
  int32_t mFlag = 0;  // not read by the build
  int32_t mTileLimitX = 0;
  int32_t mTileLimitY = 0;
  LayerRecord* mPixelRecord = nullptr;  // whose mPixels are read
  LayerRecord* mTileRecord = nullptr;   // whose tiles are written
};
extern TileUploadParams g_TileUpload;
constexpr int kTileSizeCandidates = 10;
extern const int32_t g_TileSizes[kTileSizeCandidates];
// The staging buffer of one tile's pixels: kept between builds, grown when a
// tile needs more, never shrunk. Allocated at the first build.
constexpr size_t kTileStagingStartBytes = 4194304;
extern uint8_t* g_TileStaging;
extern size_t g_TileStagingSize;
// What fills a tile beyond the image.
constexpr uint32_t kTilePadColour = 0x00000000;

// Releases every texture tile of the record and clears all entries.
void ReleaseLayerTextures(LayerRecord* record);
// Builds the record's texture tiles from its pixels with the flag and the
// tile size limits. 0, or -1 after a report.
int UploadLayerTexture(LayerRecord* record, int flag, int tileLimitX, int tileLimitY);
// Mode 0 releases the tile record's tiles and builds new ones; mode 1 writes
// into the textures the tile record already has. 0, or -1 after a report.
int BuildLayerTextureTiles(int mode);
// Frees the staging buffer and clears g_TileUpload (engine reset).
void ResetLayerTextureState();
