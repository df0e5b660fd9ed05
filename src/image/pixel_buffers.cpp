#include "image/pixel_buffers.h"

#include <cstdlib>
#include <cstring>

#include "core/alloc.h"
#include "core/byte_order.h"
#include "core/errors.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "core/sjis.h"
#include "datasrc/resource_lookup.h"
#include "image/image_decoders.h"
#include "image/pixel_primitives.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"
#include "script/script_data.h"

namespace {

// The command slot of the layer command, whose name message 100030 shows.
constexpr int kLayerCommandSlot = 1;

void FreeDerivedPixels(LayerRecord* record) {
  if (record->mDerivedPixels != nullptr) {
    if (record->mPixels == record->mDerivedPixels) record->mPixels = record->mPixelAlloc;
    std::free(record->mDerivedPixels);
    record->mDerivedPixels = nullptr;
  }
}

void ReportImageTooLarge(int64_t width, int64_t height) {
  ShowMessageBox("", "ＣＧサイズが大きすぎます。X=%d, Y=%d", width, height);
  ReportError(100010, 1);
}

// The canvas of a new group: 0, or -1 after the report with the record
// unchanged.
int InstallBlankCanvas(LayerRecord* record, int64_t width, int64_t height) {
  // A group may be sizeless (a side of 0); it still gets the few bytes of a
  // block of that size.
  if (width < 0 || width > kMaxImageSide || height < 0 || height > kMaxImageSide) {
    ReportImageTooLarge(width, height);
    return -1;
  }
  auto sideWidth = static_cast<int32_t>(width);
  auto sideHeight = static_cast<int32_t>(height);
  // Zeroed with the spare row, so that nothing unwritten is ever read.
  auto* block = static_cast<uint8_t*>(AllocZeroed(PixelBlockBytes(sideWidth, sideHeight)));
  if (block == nullptr) {
    ReportError(104030, 1);
    return -1;
  }
  FreeDerivedPixels(record);
  std::free(record->mPixelAlloc);
  record->mPixelAlloc = block;
  record->mPixels = block;
  record->mWidth = record->mBufferWidth = sideWidth;
  record->mHeight = record->mBufferHeight = sideHeight;
  record->mDirtyValid = 1;
  record->mDirtyWhole = 1;
  record->mDirtyRect[0] = 0;
  record->mDirtyRect[1] = 0;
  record->mDirtyRect[2] = width - 1;
  record->mDirtyRect[3] = height - 1;
  return 0;
}

}  // namespace

size_t PixelBlockBytes(int32_t width, int32_t height) {
  return static_cast<size_t>(width) * 4 * (static_cast<size_t>(height) + 1) + 4;
}

uint8_t* AllocPixelBuffer(uint8_t* oldBlock, int32_t width, int32_t height, const char* fileName) {
  if (width < 1 || width > kMaxImageSide || height < 1 || height > kMaxImageSide) {
    ReportImageTooLarge(width, height);
    return nullptr;
  }
  auto* block = static_cast<uint8_t*>(AllocZeroed(PixelBlockBytes(width, height)));
  if (block == nullptr) {
    if (fileName != nullptr) {
      ReportError(100010, 1);
    } else {
      ReportError(104030, 1);
    }
    return nullptr;
  }
  std::free(oldBlock);
  return block;
}

LayerRecord* CreateBlankImageLayer(const char* path, int64_t width, int64_t height, int64_t orderKey) {
  ObjectTreeNode* node = CreateTreeNode(g_LayerRoot, path, orderKey, 1);
  if (node == nullptr) return nullptr;
  LayerRecord* record = GetLayerRecord(node);
  // A group that could not be made whole does not stay in the tree.
  if (record == nullptr || InstallBlankCanvas(record, width, height) != 0) {
    ReleaseLayerNode(node);
    return nullptr;
  }
  InvalidateGroupToRoot(node);
  return record;
}

int InstallNewPixelBlock(LayerRecord* record, int32_t width, int32_t height, const char* fileName) {
  uint8_t* block = AllocPixelBuffer(record->mPixelAlloc, width, height, fileName);
  if (block == nullptr) return -1;
  // A load draws its own block; a derived copy made from the old one is
  // dropped at the end of the load.
  record->mPixelAlloc = block;
  record->mPixels = block;
  record->mWidth = width;
  record->mHeight = height;
  return 0;
}

int LoadImageFile(LayerRecord* record, const char* name) {
  if (name == nullptr || name[0] == '\0') return MakeEmptyImage(record, name == nullptr ? "" : name);
  return DecodeImageFile(record, name);
}

int DecodeImageFile(LayerRecord* record, const char* name) {
  char lookupName[kResolvedNameBytes];
  char resolved[kResolvedNameBytes] = {};
  CopySjisBounded(lookupName, sizeof(lookupName), name);
  ResourceLocation location;
  int found = FindMediaFile(&location, resolved, lookupName, 0);
  if (found < 0) return -1;
  if (found == 1) return MakeEmptyImage(record, name);
  return DecodeLocatedImage(record, &location, resolved);
}

int DecodeLocatedImage(LayerRecord* record, ResourceLocation* location, const char* resolvedName) {
  record->mHasAlpha = 0;
  int result = 0;
  switch (location->mType) {
    case FILE_TYPE_BMP: result = DecodeBmpImage(location, record, resolvedName) != 0 ? -1 : 0; break;
    case FILE_TYPE_PNG: result = DecodePngImage(location, record, resolvedName) != 0 ? -1 : 0; break;
    case FILE_TYPE_JPG:
      if (DecodeJpegImage(location, record, resolvedName) != 0) {
        ReportErrorAtScriptFmt(100210, 1, resolvedName);
        result = -1;
      }
      break;
    case FILE_TYPE_GIF:
      if (DecodeGifImage(location, record, resolvedName) != 0) {
        ReportErrorAtScriptFmt(100215, 1, resolvedName);
        result = -1;
      }
      break;
    case FILE_TYPE_PSD: RejectPsdImage(location, record, resolvedName); result = -1; break;
    case FILE_TYPE_QCG: result = DecodeQcgImage(location, record, resolvedName) != 0 ? -1 : 0; break;
    case FILE_TYPE_PSB: result = LoadEmoteImage(location, record, resolvedName) != 0 ? -1 : 0; break;
    case FILE_TYPE_WEBP: result = DecodeWebpImage(location, record, resolvedName) != 0 ? -1 : 0; break;
    default:
      ReportUnloadableImageKind(resolvedName);
      result = -1;
      break;
  }
  // Whatever a decoder failed on, its file data is gone with the location.
  ReleaseResourceData(location);
  if (result != 0) return -1;
  record->mBufferWidth = record->mWidth;
  record->mBufferHeight = record->mHeight;
  ReplaceTransparentPixels(record);
  FreeDerivedPixels(record);
  ResetFrameClock();
  return 0;
}

int MakeEmptyImage(LayerRecord* record, const char* name) {
  record->mHasAlpha = 0;
  if (InstallNewPixelBlock(record, 1, 1, name) != 0) return -1;
  record->mBufferWidth = 1;
  record->mBufferHeight = 1;
  ReplaceTransparentPixels(record);
  FreeDerivedPixels(record);
  ResetFrameClock();
  return 0;
}

void ReplaceTransparentPixels(LayerRecord* record) {
  if (record->mPixels == nullptr || record->mWidth <= 0 || record->mHeight <= 0) return;
  size_t count = static_cast<size_t>(record->mWidth) * static_cast<size_t>(record->mHeight);
  uint8_t* pixel = record->mPixels;
  for (size_t i = 0; i < count; ++i, pixel += 4) {
    if (pixel[3] == 0) {
      pixel[0] = 0x80;
      pixel[1] = 0x80;
      pixel[2] = 0x80;
    }
  }
}

int SetPixelBuffer(LayerRecord* record, uint8_t* block, int32_t width, int32_t height) {
  if (record->mPixelAlloc != nullptr && record->mPixelAlloc != block) std::free(record->mPixelAlloc);
  if (record->mDerivedPixels != nullptr && record->mDerivedPixels != block) std::free(record->mDerivedPixels);
  record->mDerivedPixels = nullptr;
  record->mPixelAlloc = block;
  record->mPixels = block;
  record->mDerivedStamp = 0;
  record->mWidth = width;
  record->mBufferWidth = width;
  record->mHeight = height;
  record->mBufferHeight = height;
  return 0;
}

uint8_t* BuildMemoryBmp(int32_t width, int32_t height, uint32_t colour, size_t* totalBytes) {
  if (width < 0 || height < 0 || width > kMaxImageSide || height > kMaxImageSide) return nullptr;
  size_t pixelBytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  auto* file = static_cast<uint8_t*>(std::malloc(pixelBytes + 54));
  if (file == nullptr) return nullptr;
  std::memset(file, 0, 54);
  file[0] = 'B';
  file[1] = 'M';
  StoreLe32(file + 2, static_cast<uint32_t>(pixelBytes + 54));
  StoreLe32(file + 10, 54);
  StoreLe32(file + 14, 40);
  StoreLe32(file + 18, static_cast<uint32_t>(width));
  StoreLe32(file + 22, static_cast<uint32_t>(height));
  StoreLe16(file + 26, 1);
  StoreLe16(file + 28, 32);
  if (colour == 0) {
    g_PixelPrimitives.mZeroBytes(file + 54, pixelBytes);
  } else {
    g_PixelPrimitives.mFillDwords(file + 54, pixelBytes, colour);
  }
  *totalBytes = pixelBytes + 54;
  return file;
}

void ReportUnloadableImageKind(const char* fileName) {
  // The name as the loaded command table spells it; empty before the table
  // is loaded.
  const char* command = "";
  if (kLayerCommandSlot < g_CommandCount && g_CommandNames[kLayerCommandSlot] != nullptr) {
    command = g_CommandNames[kLayerCommandSlot];
  }
  ReportErrorAtScriptFmt(100030, 1, command, fileName);
}

int ReadImageResource(ResourceLocation* location, const char* name, int report, int lookup) {
  (void)report;  // the readers report their own failures
  if (lookup != 0) return LoadResourceWhole(location, name);
  if (location->mSource < 1 || location->mSource > 4) return -2;
  return ReadResource(location, name);
}

void ReleaseGifFrames(LayerRecord* record) {
  if (record->mGifFrames == nullptr) return;
  for (int i = 0; i < kGifFrameTableSize; ++i) std::free(record->mGifFrames[i]);
  std::free(record->mGifFrames);
  record->mGifFrames = nullptr;
}

void ReleaseLayerImage(LayerRecord* record) {
  FreeDerivedPixels(record);
  std::free(record->mPixelAlloc);
  record->mPixelAlloc = nullptr;
  record->mPixels = nullptr;
  ReleaseGifFrames(record);
}
