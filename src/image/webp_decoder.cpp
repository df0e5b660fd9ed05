// WebP files through the bound codec. The size is asked for, and checked,
// before any pixel block is allocated.
#include <cstdint>
#include <cstring>

#include "core/errors.h"
#include "datasrc/resource_lookup.h"
#include "image/image_decoders.h"
#include "image/pixel_buffers.h"
#include "image/webp_codec.h"
#include "layer/layer_record.h"

namespace {

int FileCheckError(ResourceLocation* location) {
  ReleaseResourceData(location);
  ShowMessageBox("", "File Check Error.");
  return -1;
}

}  // namespace

int DecodeWebpImage(ResourceLocation* location, LayerRecord* record, const char* fileName) {
  if (!g_WebpLoaded) {
    ShowMessageBox("", "WebP の読込に対応していません。");
    return -1;
  }
  if (ReadImageResource(location, fileName, 1, 0) != 0) return -1;
  const uint8_t* data = location->mData;
  size_t size = location->mSize;
  if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WEBP", 4) != 0) {
    return FileCheckError(location);
  }
  record->mHasAlpha = 1;
  int32_t width = 0;
  int32_t height = 0;
  if (!g_WebpApi.mGetInfo(data, size, &width, &height)) return FileCheckError(location);
  if (width > kMaxImageSide || height > kMaxImageSide) {
    ReleaseResourceData(location);
    ReportErrorAtScriptFmt(kMsgImageTooLarge, fileName);
    return -1;
  }
  if (InstallNewPixelBlock(record, width, height, fileName) != 0) {
    ReleaseResourceData(location);
    return -1;
  }
  size_t pixelBytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  bool decoded = g_WebpApi.mDecode(data, size, record->mPixels, pixelBytes, width * 4);
  if (!decoded) return FileCheckError(location);
  ReleaseResourceData(location);
  return 0;
}
