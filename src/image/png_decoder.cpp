// PNG files through libpng, read from memory into B, G, R, A rows.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "core/errors.h"
#include "datasrc/resource_lookup.h"
#include "image/image_decoders.h"
#include "image/pixel_buffers.h"
#include "layer/layer_record.h"

namespace {

enum PngReadResult : int {
  kPngRead = 0,
  kPngSetupFailed = 101,
  kPngTooLarge = 102,
  kPngDamaged = 103,   // libpng refused the data (damaged or truncated)
  kPngNoMemory = 104,  // the pixel block was refused and reported
};

// The file being decoded. One decode runs at a time, on the thread that
// steps the scripts.
struct PngSource {
  const uint8_t* mData;
  size_t mSize;
  size_t mOffset;
};

void PngMemoryRead(png_structp png, png_bytep destination, size_t length) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (length > source->mSize - source->mOffset) png_error(png, "read past the end of the data");
  std::memcpy(destination, source->mData + source->mOffset, length);
  source->mOffset += length;
}

[[noreturn]] void PngErrorExit(png_structp png, png_const_charp) { png_longjmp(png, 1); }
// Library warnings are not shown.
void PngWarning(png_structp, png_const_charp) {}

// No object with a destructor lives in this frame: libpng leaves it by
// longjmp on an error.
int ReadPngRows(LayerRecord* record, const char* fileName, PngSource* source) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngErrorExit, PngWarning);
  if (png == nullptr) return kPngSetupFailed;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return kPngSetupFailed;
  }
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    return kPngDamaged;
  }
  png_set_read_fn(png, source, PngMemoryRead);
  png_read_info(png, info);
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bitDepth = 0;
  int colourType = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);
  if (width > static_cast<png_uint_32>(kMaxImageSide) || height > static_cast<png_uint_32>(kMaxImageSide)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return kPngTooLarge;
  }
  if (colourType == PNG_COLOR_TYPE_PALETTE || (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) ||
      png_get_valid(png, info, PNG_INFO_tRNS) != 0) {
    png_set_expand(png);
  }
  if (bitDepth == 16) png_set_strip_16(png);
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  bool hasAlpha = colourType == PNG_COLOR_TYPE_GRAY_ALPHA || colourType == PNG_COLOR_TYPE_RGB_ALPHA;
  if (!hasAlpha) png_set_filler(png, 255, PNG_FILLER_AFTER);
  double fileGamma = 0;
  if (png_get_gAMA(png, info, &fileGamma) != 0) png_set_gamma(png, static_cast<double>(2.2f), fileGamma);
  // The interlace handling must be asked for before the update, or the
  // passes are not merged into whole rows.
  int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 4) {
    png_destroy_read_struct(&png, &info, nullptr);
    return kPngDamaged;
  }
  if (InstallNewPixelBlock(record, static_cast<int32_t>(width), static_cast<int32_t>(height), fileName) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    return kPngNoMemory;
  }
  record->mHasAlpha = hasAlpha ? 1 : 0;
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, record->mPixels + static_cast<size_t>(y) * width * 4, nullptr);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return kPngRead;
}

}  // namespace

int DecodePngImage(ResourceLocation* location, LayerRecord* record, const char* fileName) {
  if (ReadImageResource(location, fileName, 1, 0) != 0) return 1;
  PngSource source{location->mData, location->mSize, 0};
  int result = ReadPngRows(record, fileName, &source);
  ReleaseResourceData(location);
  switch (result) {
    case kPngRead: return 0;
    case kPngTooLarge: ReportErrorAtScriptFmt(100091, 1, fileName); return 1;
    case kPngNoMemory: return 1;
    default: ReportErrorAtScriptFmt(100200, 1, fileName); return 1;
  }
}
