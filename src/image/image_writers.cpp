// The four image writers. Each writes under a temporary name and renames
// over the final one only when the whole file is out (PendingFile), so a
// failure leaves no half-written file behind.
#include "image/image_writers.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/byte_order.h"
#include "core/errors.h"
#include "core/process_state.h"
#include "image/jpeg_memory.h"
#include "image/pending_file.h"
#include "image/webp_codec.h"
#include "layer/layer_record.h"

namespace {

constexpr size_t kBmpHeaderBytes = 54;
constexpr size_t kWebpMinimumRoom = 1048576;
constexpr int32_t kWebpLossless = 101;
constexpr int32_t kWebpMethod = 6;

bool HasImage(const LayerRecord* record) {
  return record != nullptr && record->mPixels != nullptr && record->mWidth > 0 && record->mHeight > 0;
}

const uint8_t* PixelRow(const LayerRecord* record, int32_t y) {
  return record->mPixels + static_cast<size_t>(y) * static_cast<size_t>(record->mWidth) * 4;
}

[[noreturn]] void PngWriteError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWriteWarning(png_structp, png_const_charp) {}

// No object with a destructor lives in this frame: libpng leaves it by
// longjmp on an error. 0 written, -1 the library failed.
int WritePngRows(FILE* file, LayerRecord* record, int level) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngWriteError, PngWriteWarning);
  if (png == nullptr) return -1;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return -1;
  }
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return -1;
  }
  png_init_io(png, file);
  png_set_filter(png, 0, PNG_ALL_FILTERS);
  png_set_compression_level(png, level);
  png_set_IHDR(png, info, static_cast<png_uint_32>(record->mWidth), static_cast<png_uint_32>(record->mHeight), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_gAMA(png, info, 1.0 / 2.2);
  png_write_info(png, info);
  png_set_bgr(png);
  for (int32_t y = 0; y < record->mHeight; ++y) png_write_row(png, PixelRow(record, y));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return 0;
}

// The same for libjpeg: 0 written, -2 the library failed. `row` holds
// width*3 bytes.
int WriteJpegRows(FILE* file, const LayerRecord* record, int quality, uint8_t* row) {
  jpeg_compress_struct info;
  JpegErrorManager errors;
  info.err = InitJpegErrorManager(&errors);
  if (setjmp(errors.mJump) != 0) {
    jpeg_destroy_compress(&info);
    return -2;
  }
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(record->mWidth);
  info.image_height = static_cast<JDIMENSION>(record->mHeight);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    const uint8_t* pixel = PixelRow(record, static_cast<int32_t>(info.next_scanline));
    for (int32_t x = 0; x < record->mWidth; ++x, pixel += 4) {
      row[x * 3] = pixel[2];
      row[x * 3 + 1] = pixel[1];
      row[x * 3 + 2] = pixel[0];
    }
    JSAMPROW rows[1] = {row};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return 0;
}

}  // namespace

int SaveBMP(LayerRecord* record, const char* path) {
  PendingFile file(path);
  if (!HasImage(record) || !file.Open()) {
    ShowMessageBox(nullptr, "File Create Error.");
    return -1;
  }
  size_t width = static_cast<size_t>(record->mWidth);
  size_t height = static_cast<size_t>(record->mHeight);
  size_t stride = (width * 3 + 3) & ~size_t{3};
  std::vector<uint8_t> image(kBmpHeaderBytes + height * stride, 0);
  uint8_t* header = image.data();
  header[0] = 'B';
  header[1] = 'M';
  StoreLe32(header + 2, static_cast<uint32_t>(image.size()));
  StoreLe32(header + 10, static_cast<uint32_t>(kBmpHeaderBytes));
  StoreLe32(header + 14, 40);
  StoreLe32(header + 18, static_cast<uint32_t>(width));
  StoreLe32(header + 22, static_cast<uint32_t>(height));  // positive: bottom-up
  StoreLe16(header + 26, 1);
  StoreLe16(header + 28, 24);
  for (size_t i = 0; i < height; ++i) {
    const uint8_t* pixel = PixelRow(record, static_cast<int32_t>(height - 1 - i));
    uint8_t* out = header + kBmpHeaderBytes + i * stride;
    for (size_t x = 0; x < width; ++x, pixel += 4, out += 3) std::memcpy(out, pixel, 3);
  }
  if (std::fwrite(image.data(), 1, image.size(), file.get()) != image.size() || !file.Commit()) {
    ShowMessageBox(nullptr, "File Create Error.");
    return -1;
  }
  return 0;
}

int SavePNG(LayerRecord* record, const char* path, int32_t level) {
  PendingFile file(path);
  if (!HasImage(record) || !file.Open()) {
    ShowMessageBox(nullptr, "[SavePNG] File Create Error.\r\n\r\n%s", path);
    return -1;
  }
  // The layer keeps the opaque alpha it is saved with.
  if (record->mHasAlpha == 0) {
    size_t count = static_cast<size_t>(record->mWidth) * static_cast<size_t>(record->mHeight);
    for (size_t i = 0; i < count; ++i) record->mPixels[i * 4 + 3] = 255;
  }
  if (WritePngRows(file.get(), record, std::clamp(level, 0, 9)) != 0 || !file.Commit()) return -1;
  return g_QuitFlag.load() != 0 ? 1 : 0;
}

int SaveJPEG(LayerRecord* record, const char* path, int32_t quality) {
  PendingFile file(path);
  if (!HasImage(record) || !file.Open()) {
    ShowMessageBox(nullptr, "File Create Error.");
    return -1;
  }
  std::vector<uint8_t> row(static_cast<size_t>(record->mWidth) * 3);
  if (WriteJpegRows(file.get(), record, std::clamp(quality, 1, 100), row.data()) != 0) return -2;
  if (!file.Commit()) {
    ShowMessageBox(nullptr, "File Create Error.");
    return -1;
  }
  return 0;
}

size_t WebpEncodeRoom(int32_t width, int32_t height) {
  double product = static_cast<double>(width) * height * 4 * 1.2;
  return std::max(static_cast<size_t>(product), kWebpMinimumRoom);
}

int SaveWEBP(LayerRecord* record, const char* path, int32_t quality) {
  if (!g_WebpLoaded || !HasImage(record)) {
    ShowMessageBox(nullptr, "エンコードエラー.");
    return -1;
  }
  size_t room = WebpEncodeRoom(record->mWidth, record->mHeight);
  auto* buffer = static_cast<uint8_t*>(std::malloc(room));
  if (buffer == nullptr) {
    ShowMessageBox(nullptr, "エンコードエラー.");
    return -1;
  }
  quality = std::clamp(quality, 0, kWebpLossless);
  size_t encoded = g_WebpApi.mEncode(record->mPixels, record->mWidth, record->mHeight, kWebpMethod,
                                     quality == kWebpLossless ? -1 : quality, buffer, room);
  if (encoded == 0 || encoded > room) {
    std::free(buffer);
    ShowMessageBox(nullptr, "エンコードエラー.");
    return -1;
  }
  PendingFile file(path);
  if (!file.Open()) {
    std::free(buffer);
    ShowMessageBox(nullptr, "[SaveWEBP] File Create Error.\r\n\r\n%s", path);
    return -1;
  }
  bool written = std::fwrite(buffer, 1, encoded, file.get()) == encoded && file.Commit();
  std::free(buffer);
  if (!written) {
    ShowMessageBox(nullptr, "[SaveWEBP] File Create Error.\r\n\r\n%s", path);
    return -1;
  }
  return 0;
}
