#include "image_fixtures.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <map>
#include <stdexcept>

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

int PaletteBits(size_t entries) {
  int bits = 1;
  while ((size_t{1} << bits) < entries) ++bits;
  return bits;
}

}  // namespace

std::vector<uint8_t> WriteBmp(const BmpFixture& bmp) {
  int32_t rows = bmp.mHeight < 0 ? -bmp.mHeight : bmp.mHeight;
  size_t width = static_cast<size_t>(bmp.mWidth);
  size_t stride = 0;
  switch (bmp.mBits) {
    case 1: stride = ((width + 31) >> 5) * 4; break;
    case 4: stride = ((width + 7) >> 3) * 4; break;
    case 8: stride = (width + 3) & ~size_t{3}; break;
    case 24: stride = (width * 3 + 3) & ~size_t{3}; break;
    case 32: stride = width * 4; break;
    default: stride = (width * 2 + 3) & ~size_t{3}; break;
  }
  uint32_t paletteOffset = 14 + bmp.mHeaderSize;
  uint32_t offset =
      bmp.mPixelOffset != 0 ? bmp.mPixelOffset : static_cast<uint32_t>(paletteOffset + bmp.mPalette.size() * 4);
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, static_cast<uint32_t>(offset + stride * rows));
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, bmp.mHeaderSize);
  Put32(out, static_cast<uint32_t>(bmp.mWidth));
  Put32(out, static_cast<uint32_t>(bmp.mHeight));
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(bmp.mBits));
  Put32(out, bmp.mCompression);
  Put32(out, static_cast<uint32_t>(stride * rows));
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, bmp.mColoursUsed);
  Put32(out, 0);
  if (bmp.mHeaderSize >= 108) {
    // Red, green, blue and alpha masks, then the colour space "sRGB" whose
    // end points and gamma are not used.
    for (uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) Put32(out, mask);
    Put32(out, 0x73524742u);
    out.resize(out.size() + 48, 0);
  }
  if (bmp.mHeaderSize >= 124) {
    Put32(out, 4);  // rendering intent: pictures
    Put32(out, 0);  // no profile
    Put32(out, 0);
    Put32(out, 0);
  }
  out.resize(paletteOffset, 0);
  for (uint32_t entry : bmp.mPalette) Put32(out, entry);
  out.resize(offset, 0);
  for (int32_t j = 0; j < rows; ++j) {
    // Stored rows go bottom-up unless the height is negative.
    size_t y = bmp.mHeight < 0 ? static_cast<size_t>(j) : static_cast<size_t>(rows - 1 - j);
    std::vector<uint8_t> row(stride, 0);
    for (size_t x = 0; x < width; ++x) {
      switch (bmp.mBits) {
        case 1:
          if (bmp.mIndices[y * width + x] & 1) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
          break;
        case 4: row[x >> 1] |= static_cast<uint8_t>((bmp.mIndices[y * width + x] & 15) << ((x & 1) ? 0 : 4)); break;
        case 8: row[x] = bmp.mIndices[y * width + x]; break;
        case 24: {
          uint32_t p = bmp.mPixels[y * width + x];
          row[x * 3] = static_cast<uint8_t>(p);
          row[x * 3 + 1] = static_cast<uint8_t>(p >> 8);
          row[x * 3 + 2] = static_cast<uint8_t>(p >> 16);
          break;
        }
        case 32: {
          uint32_t p = bmp.mPixels[y * width + x];
          for (int b = 0; b < 4; ++b) row[x * 4 + b] = static_cast<uint8_t>(p >> (8 * b));
          break;
        }
        default: break;
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

std::vector<uint8_t> EncodeGifImageData(const std::vector<uint8_t>& indices, int minCodeSize, int clearAfterCodes,
                                        bool deferredClear) {
  const int clear = 1 << minCodeSize;
  const int end = clear + 1;
  std::vector<uint8_t> packed;
  uint32_t buffer = 0;
  int bits = 0;
  int width = minCodeSize + 1;
  int next = clear + 2;
  std::map<int, int> table;  // prefix * 256 + byte -> code
  auto emit = [&](int code) {
    buffer |= static_cast<uint32_t>(code) << bits;
    bits += width;
    while (bits >= 8) {
      packed.push_back(static_cast<uint8_t>(buffer));
      buffer >>= 8;
      bits -= 8;
    }
  };
  auto reset = [&] {
    table.clear();
    next = clear + 2;
    width = minCodeSize + 1;
  };
  // The decoder adds its entry one code later than the encoder: widths grow
  // once the encoder's next code passes the current limit.
  auto grow = [&] {
    if (next > (1 << width) && width < 12) ++width;
  };
  emit(clear);
  int codesSinceClear = 0;
  if (!indices.empty()) {
    int current = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
      int key = current * 256 + indices[i];
      auto found = table.find(key);
      if (found != table.end()) {
        current = found->second;
        continue;
      }
      emit(current);
      ++codesSinceClear;
      if (next < 4096) {
        table[key] = next++;
        grow();
      }
      if ((next == 4096 && !deferredClear) || (clearAfterCodes > 0 && codesSinceClear >= clearAfterCodes)) {
        emit(clear);
        reset();
        codesSinceClear = 0;
      }
      current = indices[i];
    }
    emit(current);
    if (next < 4096) {
      ++next;
      grow();
    }
  }
  emit(end);
  if (bits > 0) packed.push_back(static_cast<uint8_t>(buffer));

  std::vector<uint8_t> out;
  out.push_back(static_cast<uint8_t>(minCodeSize));
  for (size_t at = 0; at < packed.size(); at += 255) {
    size_t length = std::min<size_t>(255, packed.size() - at);
    out.push_back(static_cast<uint8_t>(length));
    out.insert(out.end(), packed.begin() + static_cast<std::ptrdiff_t>(at),
               packed.begin() + static_cast<std::ptrdiff_t>(at + length));
  }
  out.push_back(0);
  return out;
}

std::vector<uint8_t> WriteGif(const GifFixture& gif) {
  std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
  Put16(out, static_cast<uint32_t>(gif.mScreenWidth));
  Put16(out, static_cast<uint32_t>(gif.mScreenHeight));
  int globalBits = gif.mGlobalPalette.empty() ? 1 : PaletteBits(gif.mGlobalPalette.size() / 3);
  out.push_back(static_cast<uint8_t>((gif.mGlobalPalette.empty() ? 0 : 0x80) | (globalBits - 1)));
  out.push_back(0);
  out.push_back(0);
  if (!gif.mGlobalPalette.empty()) {
    out.insert(out.end(), gif.mGlobalPalette.begin(), gif.mGlobalPalette.end());
    out.resize(out.size() + (size_t{3} << globalBits) - gif.mGlobalPalette.size(), 0);
  }
  if (gif.mLoopCount >= 0) {
    const char* identifier = "NETSCAPE2.0";
    out.push_back(0x21);
    out.push_back(0xFF);
    out.push_back(11);
    out.insert(out.end(), identifier, identifier + 11);
    out.push_back(3);
    out.push_back(1);
    Put16(out, static_cast<uint32_t>(gif.mLoopCount));
    out.push_back(0);
  }
  for (const GifFixtureImage& image : gif.mImages) {
    if (image.mHasControl) {
      out.push_back(0x21);
      out.push_back(0xF9);
      out.push_back(4);
      out.push_back(static_cast<uint8_t>((image.mDisposal << 2) | (image.mTransparent ? 1 : 0)));
      Put16(out, static_cast<uint32_t>(image.mDelay));
      out.push_back(static_cast<uint8_t>(image.mTransparentIndex));
      out.push_back(0);
    }
    out.push_back(0x2C);
    Put16(out, static_cast<uint32_t>(image.mLeft));
    Put16(out, static_cast<uint32_t>(image.mTop));
    Put16(out, static_cast<uint32_t>(image.mWidth));
    Put16(out, static_cast<uint32_t>(image.mHeight));
    int localBits = image.mLocalPalette.empty() ? 0 : PaletteBits(image.mLocalPalette.size() / 3);
    out.push_back(static_cast<uint8_t>((image.mLocalPalette.empty() ? 0 : 0x80 | (localBits - 1)) |
                                       (image.mInterlaced ? 0x40 : 0)));
    if (!image.mLocalPalette.empty()) {
      out.insert(out.end(), image.mLocalPalette.begin(), image.mLocalPalette.end());
      out.resize(out.size() + (size_t{3} << localBits) - image.mLocalPalette.size(), 0);
    }
    std::vector<uint8_t> ordered;
    if (image.mInterlaced) {
      static constexpr int kStart[4] = {0, 4, 2, 1};
      static constexpr int kStep[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass) {
        for (int y = kStart[pass]; y < image.mHeight; y += kStep[pass]) {
          ordered.insert(ordered.end(), image.mIndices.begin() + y * image.mWidth,
                         image.mIndices.begin() + (y + 1) * image.mWidth);
        }
      }
    } else {
      ordered = image.mIndices;
    }
    int bitsInUse = std::max(localBits != 0 ? localBits : globalBits, 2);
    int minCodeSize = image.mMinCodeSize != 0 ? image.mMinCodeSize : bitsInUse;
    std::vector<uint8_t> data = EncodeGifImageData(ordered, minCodeSize, image.mClearAfterCodes, image.mDeferredClear);
    out.insert(out.end(), data.begin(), data.end());
  }
  if (gif.mTrailer) out.push_back(0x3B);
  return out;
}

size_t PngRowBytes(int width, int colourType, int bitDepth) {
  int channels = 1;
  switch (colourType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: channels = 2; break;
    case PNG_COLOR_TYPE_RGB: channels = 3; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: channels = 4; break;
    default: channels = 1; break;
  }
  return (static_cast<size_t>(width) * channels * bitDepth + 7) / 8;
}

namespace {

void AppendPngData(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void FlushPngData(png_structp) {}

}  // namespace

std::vector<uint8_t> WritePng(const PngFixture& fixture) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng could not write the fixture");
  }
  png_set_write_fn(png, &out, AppendPngData, FlushPngData);
  png_set_IHDR(png, info, static_cast<png_uint_32>(fixture.mWidth), static_cast<png_uint_32>(fixture.mHeight),
               fixture.mBitDepth, fixture.mColourType,
               fixture.mInterlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  for (size_t i = 0; i + 2 < fixture.mPalette.size(); i += 3) {
    palette.push_back({fixture.mPalette[i], fixture.mPalette[i + 1], fixture.mPalette[i + 2]});
  }
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!fixture.mPaletteAlpha.empty()) {
    png_set_tRNS(png, info, fixture.mPaletteAlpha.data(), static_cast<int>(fixture.mPaletteAlpha.size()), nullptr);
  }
  if (fixture.mHasTransparentColour) {
    png_color_16 colour = {};
    colour.gray = fixture.mTransparentGrey;
    colour.red = fixture.mTransparentRed;
    colour.green = fixture.mTransparentGreen;
    colour.blue = fixture.mTransparentBlue;
    png_set_tRNS(png, info, nullptr, 0, &colour);
  }
  if (fixture.mGamma > 0) png_set_gAMA(png, info, fixture.mGamma);
  png_write_info(png, info);
  size_t rowBytes = PngRowBytes(fixture.mWidth, fixture.mColourType, fixture.mBitDepth);
  std::vector<png_bytep> rows;
  for (int y = 0; y < fixture.mHeight; ++y) {
    rows.push_back(const_cast<png_bytep>(fixture.mRows.data() + static_cast<size_t>(y) * rowBytes));
  }
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<uint8_t> WriteJpeg(int width, int height, int components, const std::vector<uint8_t>& samples,
                               int quality, bool progressive) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = components;
  info.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  if (progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() + static_cast<size_t>(info.next_scanline) * width * components);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}
