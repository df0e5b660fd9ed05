#include "platform/webp_library.h"

#include <webp/decode.h>
#include <webp/encode.h>

#include <algorithm>
#include <cstring>

bool WebpLibraryGetInfo(const uint8_t* data, size_t size, int32_t* width, int32_t* height) {
  int w = 0;
  int h = 0;
  if (data == nullptr || WebPGetInfo(data, size, &w, &h) == 0 || w <= 0 || h <= 0) return false;
  *width = w;
  *height = h;
  return true;
}

bool WebpLibraryDecodeBgra(const uint8_t* data, size_t size, uint8_t* out, size_t outBytes, int32_t stride) {
  if (data == nullptr || out == nullptr || stride <= 0) return false;
  return WebPDecodeBGRAInto(data, size, out, outBytes, stride) != nullptr;
}

size_t WebpLibraryEncodeBgra(const uint8_t* pixels, int32_t width, int32_t height, int32_t method, int32_t quality,
                             uint8_t* destination, size_t room) {
  if (pixels == nullptr || destination == nullptr || width <= 0 || height <= 0 || width > WEBP_MAX_DIMENSION ||
      height > WEBP_MAX_DIMENSION) {
    return 0;
  }
  WebPConfig config;
  if (WebPConfigInit(&config) == 0) return 0;
  config.method = std::clamp(method, 0, 6);
  if (quality < 0) {
    config.lossless = 1;
    config.quality = 100;
    config.exact = 1;
  } else {
    config.quality = static_cast<float>(std::min(quality, 100));
  }
  if (WebPValidateConfig(&config) == 0) return 0;
  WebPPicture picture;
  if (WebPPictureInit(&picture) == 0) return 0;
  picture.use_argb = 1;
  picture.width = width;
  picture.height = height;
  WebPMemoryWriter writer;
  WebPMemoryWriterInit(&writer);
  picture.writer = WebPMemoryWrite;
  picture.custom_ptr = &writer;
  size_t written = 0;
  if (WebPPictureImportBGRA(&picture, pixels, width * 4) != 0 && WebPEncode(&config, &picture) != 0 &&
      writer.size > 0 && writer.size <= room) {
    std::memcpy(destination, writer.mem, writer.size);
    written = writer.size;
  }
  WebPPictureFree(&picture);
  WebPMemoryWriterClear(&writer);
  return written;
}
