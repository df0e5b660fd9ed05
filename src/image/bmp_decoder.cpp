// Uncompressed Windows bitmaps: 1, 4, 8, 24 and 32 bits per pixel, stored
// bottom-up. Every offset and length from the file is checked against its
// size before it is read.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/byte_order.h"
#include "core/errors.h"
#include "datasrc/resource_lookup.h"
#include "image/image_decoders.h"
#include "image/pixel_buffers.h"
#include "layer/layer_record.h"

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kInfoHeaderBytes = 40;
constexpr size_t kBmpHeaderBytes = kFileHeaderBytes + kInfoHeaderBytes;

int Fail(ResourceLocation* location, MessageId id, const char* fileName, bool atScript = true) {
  if (atScript) {
    ReportErrorAtScriptFmt(id, fileName);
  } else {
    ReportErrorFmt(id, fileName);
  }
  ReleaseResourceData(location);
  return -1;
}

// Stored row size in bytes of a depth, 0 for depths that are not decoded.
size_t StoredRowBytes(int bits, size_t width) {
  switch (bits) {
    case 1: return ((width + 31) >> 5) * 4;
    case 4: return ((width + 7) >> 3) * 4;
    case 8: return (width + 3) & ~size_t{3};
    case 24: return (width * 3 + 3) & ~size_t{3};
    case 32: return width * 4;
    default: return 0;
  }
}

}  // namespace

int DecodeBmpImage(ResourceLocation* location, LayerRecord* record, const char* fileName) {
  if (ReadImageResource(location, fileName, 1, 0) != 0) return -1;
  const uint8_t* data = location->mData;
  size_t size = location->mSize;
  if (data == nullptr || size < 2 || data[0] != 'B' || data[1] != 'M') return Fail(location, kMsgBmpNoMagic, fileName);
  if (size < kBmpHeaderBytes) return Fail(location, kMsgBmpDamaged, fileName);
  uint32_t pixelOffset = LoadLe32(data + 10);
  if (pixelOffset <= 10) return Fail(location, kMsgBmpDamaged, fileName);
  auto width = static_cast<int32_t>(LoadLe32(data + 18));
  auto height = static_cast<int32_t>(LoadLe32(data + 22));
  int bits = LoadLe16(data + 28);
  uint32_t compression = LoadLe32(data + 30);
  uint32_t coloursUsed = LoadLe32(data + 46);
  if (width > kMaxImageSide || height > kMaxImageSide || width < 1) return Fail(location, kMsgImageTooLarge, fileName);
  if (height < 0) return Fail(location, kMsgBmpTopDown, fileName);
  if (height == 0) return Fail(location, kMsgImageTooLarge, fileName);
  if ((bits == 4 || bits == 8) && compression != 0) return Fail(location, kMsgBmpCompressed, fileName, false);

  // The palette follows the information header, whose size the file gives
  // (the longer V4 and V5 headers carry colour-space fields first); a stored
  // size below the 40 bytes that every field above needs is taken as 40.
  // The palette and the stored rows must lie inside the file.
  uint32_t palette[256];
  size_t paletteSize = bits <= 8 ? (size_t{1} << bits) : 0;
  size_t paletteRead = 0;
  if (bits == 1 || bits == 4 || bits == 8) {
    size_t paletteOffset = kFileHeaderBytes + std::max<size_t>(LoadLe32(data + 14), kInfoHeaderBytes);
    paletteRead = coloursUsed == 0 ? paletteSize : std::min<size_t>(coloursUsed, paletteSize);
    if (paletteOffset > size || paletteRead * 4 > size - paletteOffset) return Fail(location, kMsgBmpDamaged, fileName);
    for (size_t i = 0; i < 256; ++i) palette[i] = 0xFF000000u;
    for (size_t i = 0; i < paletteRead; ++i) palette[i] |= LoadLe32(data + paletteOffset + i * 4);
  }
  size_t rowBytes = StoredRowBytes(bits, static_cast<size_t>(width));
  if (rowBytes != 0 && (pixelOffset > size || rowBytes * static_cast<size_t>(height) > size - pixelOffset)) {
    return Fail(location, kMsgBmpDamaged, fileName);
  }

  if (InstallNewPixelBlock(record, width, height, fileName) != 0) {
    ReleaseResourceData(location);
    return -1;
  }
  size_t w = static_cast<size_t>(width);
  for (int32_t j = 0; rowBytes != 0 && j < height; ++j) {
    const uint8_t* in = data + pixelOffset + static_cast<size_t>(j) * rowBytes;
    uint8_t* out = record->mPixels + static_cast<size_t>(height - 1 - j) * w * 4;
    switch (bits) {
      case 1:
        for (size_t x = 0; x < w; ++x) StoreLe32(out + x * 4, palette[(in[x >> 3] >> (7 - (x & 7))) & 1]);
        break;
      case 4:
        for (size_t x = 0; x < w; ++x) StoreLe32(out + x * 4, palette[(in[x >> 1] >> ((x & 1) != 0 ? 0 : 4)) & 15]);
        break;
      case 8:
        for (size_t x = 0; x < w; ++x) StoreLe32(out + x * 4, palette[in[x]]);
        break;
      case 24:
        for (size_t x = 0; x < w; ++x) {
          out[x * 4] = in[x * 3];
          out[x * 4 + 1] = in[x * 3 + 1];
          out[x * 4 + 2] = in[x * 3 + 2];
          out[x * 4 + 3] = 255;
        }
        break;
      default:
        std::memcpy(out, in, w * 4);
        break;
    }
  }
  if (bits == 32) record->mHasAlpha = 1;
  ReleaseResourceData(location);
  return 0;
}
