// JPEG files through libjpeg, decoded from memory straight into B, G, R, A
// rows (the library's extended BGRA output gives alpha 255). Four-channel
// files come out of the library as C, M, Y, K (YCCK converted by it) and are
// turned into colour here.
#include "core/errors.h"
#include "datasrc/resource_lookup.h"
#include "image/image_decoders.h"
#include "image/jpeg_memory.h"
#include "image/pixel_buffers.h"
#include "layer/layer_record.h"

namespace {

enum JpegReadResult : int {
  kJpegRead = 0,
  kJpegLibraryFailed = -2,
  kJpegTooLarge = -3,
};

// Turns a row of C, M, Y, K samples into B, G, R, A in place. Files with an
// Adobe marker store the inks inverted (0 = full ink), the way Adobe writes
// them; others store them plainly. Each colour is its ink's complement
// scaled by the black's: R = (255 - C) * (255 - K) / 255, rounded.
void ConvertCmykRow(uint8_t* row, size_t width, bool inverted) {
  for (size_t x = 0; x < width; ++x, row += 4) {
    // Each of c, m, y, k becomes 255 - the ink.
    unsigned c = row[0], m = row[1], y = row[2], k = row[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    row[0] = static_cast<uint8_t>((y * k + 127) / 255);
    row[1] = static_cast<uint8_t>((m * k + 127) / 255);
    row[2] = static_cast<uint8_t>((c * k + 127) / 255);
    row[3] = 255;
  }
}

// No object with a destructor lives in this frame: libjpeg leaves it by
// longjmp on an error.
int ReadJpegRows(LayerRecord* record, const char* fileName, const uint8_t* data, size_t size) {
  jpeg_decompress_struct info;
  JpegErrorManager errors;
  info.err = InitJpegErrorManager(&errors);
  if (setjmp(errors.mJump) != 0) {
    jpeg_destroy_decompress(&info);
    return kJpegLibraryFailed;
  }
  if (!ReadJpegHeaderWithinLimits(&info, data, size)) {
    jpeg_destroy_decompress(&info);
    ReportErrorAtScriptFmt(kMsgImageTooLarge, fileName);
    return kJpegTooLarge;
  }
  bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
  jpeg_start_decompress(&info);
  auto width = static_cast<int32_t>(info.output_width);
  auto height = static_cast<int32_t>(info.output_height);
  if (info.output_components != 4 || width > kMaxImageSide || height > kMaxImageSide) {
    jpeg_destroy_decompress(&info);
    return kJpegLibraryFailed;
  }
  if (InstallNewPixelBlock(record, width, height, fileName) != 0) {
    jpeg_destroy_decompress(&info);
    return kJpegTooLarge;
  }
  bool inverted = info.saw_Adobe_marker != 0;
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = record->mPixels + static_cast<size_t>(info.output_scanline) * static_cast<size_t>(width) * 4;
    if (jpeg_read_scanlines(&info, &row, 1) != 1) break;
    if (cmyk) ConvertCmykRow(row, static_cast<size_t>(width), inverted);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return kJpegRead;
}

}  // namespace

int DecodeJpegImage(ResourceLocation* location, LayerRecord* record, const char* fileName) {
  if (ReadImageResource(location, fileName, 1, 0) != 0) return -1;
  int result = ReadJpegRows(record, fileName, location->mData, location->mSize);
  ReleaseResourceData(location);
  return result;
}
