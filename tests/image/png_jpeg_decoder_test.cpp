#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <random>

#include "image/image_decoders.h"
#include "image/pixel_buffers.h"
#include "support/image_fixtures.h"
#include "support/image_test_env.h"

namespace {

std::vector<uint8_t> RandomBytes(size_t n, std::mt19937& random) {
  std::vector<uint8_t> bytes(n);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

uint32_t Argb(int a, int r, int g, int b) {
  return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
         static_cast<uint32_t>(b);
}

// The pixel a PNG sample set gives, written from the format: samples scaled
// to 8 bits (16-bit samples keep their high byte), grey spread to R = G = B.
uint32_t ExpectedPngPixel(const PngFixture& png, int x, int y) {
  size_t rowBytes = PngRowBytes(png.mWidth, png.mColourType, png.mBitDepth);
  const uint8_t* row = png.mRows.data() + static_cast<size_t>(y) * rowBytes;
  auto sample = [&](int index) -> int {
    if (png.mBitDepth == 16) return row[index * 2];
    if (png.mBitDepth == 8) return row[index];
    int perByte = 8 / png.mBitDepth;
    int shift = 8 - png.mBitDepth * (index % perByte + 1);
    return (row[index / perByte] >> shift) & ((1 << png.mBitDepth) - 1);
  };
  auto scale = [&](int v) { return png.mBitDepth >= 8 ? v : v * 255 / ((1 << png.mBitDepth) - 1); };
  switch (png.mColourType) {
    case PNG_COLOR_TYPE_GRAY: {
      int v = scale(sample(x));
      int raw = png.mBitDepth == 16 ? (row[x * 2] << 8) | row[x * 2 + 1] : sample(x);
      int a = png.mHasTransparentColour && raw == png.mTransparentGrey ? 0 : 255;
      return Argb(a, v, v, v);
    }
    case PNG_COLOR_TYPE_GRAY_ALPHA: return Argb(sample(x * 2 + 1), sample(x * 2), sample(x * 2), sample(x * 2));
    case PNG_COLOR_TYPE_RGB: return Argb(255, sample(x * 3), sample(x * 3 + 1), sample(x * 3 + 2));
    case PNG_COLOR_TYPE_RGB_ALPHA: return Argb(sample(x * 4 + 3), sample(x * 4), sample(x * 4 + 1), sample(x * 4 + 2));
    default: {
      int index = sample(x);
      int a = index < static_cast<int>(png.mPaletteAlpha.size()) ? png.mPaletteAlpha[index] : 255;
      return Argb(a, png.mPalette[index * 3], png.mPalette[index * 3 + 1], png.mPalette[index * 3 + 2]);
    }
  }
}

uint32_t AfterLoad(uint32_t pixel) { return (pixel >> 24) == 0 ? TRANSPARENT_COLOUR : pixel; }

PngFixture RandomPng(int width, int height, int colourType, int bitDepth, std::mt19937& random) {
  PngFixture png;
  png.mWidth = width;
  png.mHeight = height;
  png.mColourType = colourType;
  png.mBitDepth = bitDepth;
  png.mRows = RandomBytes(PngRowBytes(width, colourType, bitDepth) * height, random);
  if (colourType == PNG_COLOR_TYPE_PALETTE) {
    png.mPalette = RandomBytes(3 << bitDepth, random);
    // Keep indices inside the palette.
    for (uint8_t& b : png.mRows) b = bitDepth == 8 ? static_cast<uint8_t>(b % (1 << bitDepth)) : b;
  }
  return png;
}

TEST(PngDecoder, ColourTypesAndDepths) {
  ImageReportRecorder reports;
  std::mt19937 random(21);
  struct Case {
    int mColourType, mBitDepth;
    bool mHasAlpha;
  };
  const Case cases[] = {
      {PNG_COLOR_TYPE_GRAY, 1, false},      {PNG_COLOR_TYPE_GRAY, 2, false},     {PNG_COLOR_TYPE_GRAY, 4, false},
      {PNG_COLOR_TYPE_GRAY, 8, false},      {PNG_COLOR_TYPE_GRAY, 16, false},    {PNG_COLOR_TYPE_GRAY_ALPHA, 8, true},
      {PNG_COLOR_TYPE_GRAY_ALPHA, 16, true}, {PNG_COLOR_TYPE_RGB, 8, false},     {PNG_COLOR_TYPE_RGB, 16, false},
      {PNG_COLOR_TYPE_RGB_ALPHA, 8, true},  {PNG_COLOR_TYPE_RGB_ALPHA, 16, true}, {PNG_COLOR_TYPE_PALETTE, 1, false},
      {PNG_COLOR_TYPE_PALETTE, 4, false},   {PNG_COLOR_TYPE_PALETTE, 8, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("colour type " + std::to_string(c.mColourType) + " depth " + std::to_string(c.mBitDepth));
    PngFixture png = RandomPng(13, 7, c.mColourType, c.mBitDepth, random);
    ScopedLayerRecord record;
    ASSERT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_PNG, WritePng(png)), 0);
    EXPECT_EQ(record->mWidth, 13);
    EXPECT_EQ(record->mHeight, 7);
    EXPECT_EQ(record->mHasAlpha, c.mHasAlpha ? 1 : 0);
    for (int y = 0; y < 7; ++y) {
      for (int x = 0; x < 13; ++x) ASSERT_EQ(record.Pixel(x, y), AfterLoad(ExpectedPngPixel(png, x, y))) << x << "," << y;
    }
  }
  EXPECT_EQ(reports.LastReport(), "");
}

TEST(PngDecoder, TransparencyChunksGiveAlphaWithoutTheAlphaFlag) {
  std::mt19937 random(22);
  PngFixture palette = RandomPng(9, 4, PNG_COLOR_TYPE_PALETTE, 4, random);
  palette.mPaletteAlpha = {0, 128, 255, 0};
  PngFixture grey = RandomPng(9, 4, PNG_COLOR_TYPE_GRAY, 8, random);
  grey.mHasTransparentColour = true;
  grey.mTransparentGrey = grey.mRows[5];
  PngFixture grey16 = RandomPng(9, 4, PNG_COLOR_TYPE_GRAY, 16, random);
  grey16.mHasTransparentColour = true;
  grey16.mTransparentGrey = static_cast<uint16_t>((grey16.mRows[4] << 8) | grey16.mRows[5]);
  for (const PngFixture* png : {&palette, &grey, &grey16}) {
    ScopedLayerRecord record;
    ASSERT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_PNG, WritePng(*png)), 0);
    EXPECT_EQ(record->mHasAlpha, 0);
    int transparent = 0;
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 9; ++x) {
        uint32_t expected = AfterLoad(ExpectedPngPixel(*png, x, y));
        ASSERT_EQ(record.Pixel(x, y), expected) << x << "," << y;
        if (expected == TRANSPARENT_COLOUR) ++transparent;
      }
    }
    EXPECT_GT(transparent, 0);
  }
}

TEST(PngDecoder, InterlacedImageMatchesItsPlainTwin) {
  std::mt19937 random(23);
  for (int colourType : {PNG_COLOR_TYPE_RGB_ALPHA, PNG_COLOR_TYPE_PALETTE, PNG_COLOR_TYPE_GRAY}) {
    for (int size : {1, 7, 19}) {
      PngFixture png = RandomPng(size, size + 2, colourType, 8, random);
      PngFixture twin = png;
      twin.mInterlaced = true;
      ScopedLayerRecord plain;
      ScopedLayerRecord interlaced;
      ASSERT_EQ(DecodeBytesAs(plain.get(), FILE_TYPE_PNG, WritePng(png)), 0);
      ASSERT_EQ(DecodeBytesAs(interlaced.get(), FILE_TYPE_PNG, WritePng(twin)), 0);
      ASSERT_EQ(0, std::memcmp(plain->mPixels, interlaced->mPixels, PixelBlockBytes(size, size + 2)))
          << colourType << " " << size;
      EXPECT_EQ(plain.Pixel(0, 0), AfterLoad(ExpectedPngPixel(png, 0, 0)));
    }
  }
}

TEST(PngDecoder, GammaIsCorrectedTowardsTheScreen) {
  PngFixture png;
  png.mWidth = 4;
  png.mHeight = 1;
  png.mColourType = PNG_COLOR_TYPE_GRAY;
  png.mRows = {0, 64, 128, 255};
  png.mGamma = 1 / 2.2;
  ScopedLayerRecord same;
  ASSERT_EQ(DecodeBytesAs(same.get(), FILE_TYPE_PNG, WritePng(png)), 0);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(same.Pixel(x, 0) & 0xFF, png.mRows[x]);
  png.mGamma = 1.0;
  ScopedLayerRecord linear;
  ASSERT_EQ(DecodeBytesAs(linear.get(), FILE_TYPE_PNG, WritePng(png)), 0);
  for (int x = 0; x < 4; ++x) {
    double expected = 255 * std::pow(png.mRows[x] / 255.0, 1 / 2.2);
    EXPECT_NEAR(static_cast<int>(linear.Pixel(x, 0) & 0xFF), expected, 1.0) << x;
  }
}

TEST(PngDecoder, TooLargeAndDamagedFilesFailCleanly) {
  ImageReportRecorder reports;
  std::mt19937 random(24);
  PngFixture wide;
  wide.mWidth = 8193;
  wide.mHeight = 1;
  wide.mColourType = PNG_COLOR_TYPE_GRAY;
  wide.mRows.assign(8193, 7);
  PngFixture tall = wide;
  tall.mWidth = 1;
  tall.mHeight = 8193;
  std::vector<uint8_t> good = WritePng(RandomPng(16, 16, PNG_COLOR_TYPE_RGB, 8, random));
  std::vector<uint8_t> truncated(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2));
  std::vector<uint8_t> corrupted = good;
  for (size_t i = 60; i < corrupted.size() - 20; i += 7) corrupted[i] ^= 0xFF;
  std::vector<uint8_t> notPng = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  struct Case {
    const char* mName;
    std::vector<uint8_t> mFile;
    int mId;
  };
  std::vector<Case> cases = {{"8193 wide", WritePng(wide), 100091},
                             {"8193 high", WritePng(tall), 100091},
                             {"truncated", truncated, 100200},
                             {"corrupted", corrupted, 100200},
                             {"not a PNG", notPng, 100200},
                             {"empty", {}, 100200}};
  for (const Case& c : cases) {
    reports.Clear();
    ScopedLayerRecord record;
    EXPECT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_PNG, c.mFile), -1) << c.mName;
    EXPECT_EQ(reports.FirstId(), c.mId) << c.mName;
    EXPECT_TRUE(reports.Quit()) << c.mName;
  }
}

// An independent decode of a JPEG with libjpeg's plain RGB output.
std::vector<uint8_t> DecodeJpegRgb(const std::vector<uint8_t>& file, int* width, int* height) {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  *width = static_cast<int>(info.output_width);
  *height = static_cast<int>(info.output_height);
  std::vector<uint8_t> rgb(static_cast<size_t>(*width) * *height * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = rgb.data() + static_cast<size_t>(info.output_scanline) * *width * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return rgb;
}

TEST(JpegDecoder, ColourAndGreyFiles) {
  ImageReportRecorder reports;
  std::mt19937 random(31);
  struct Case {
    int mComponents, mWidth, mHeight;
    bool mProgressive;
  };
  const Case cases[] = {{3, 17, 9, false}, {3, 16, 16, true}, {1, 13, 5, false}, {1, 8, 8, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mComponents) + " components, width " + std::to_string(c.mWidth));
    std::vector<uint8_t> samples = RandomBytes(static_cast<size_t>(c.mWidth) * c.mHeight * c.mComponents, random);
    std::vector<uint8_t> file = WriteJpeg(c.mWidth, c.mHeight, c.mComponents, samples, 90, c.mProgressive);
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb = DecodeJpegRgb(file, &width, &height);
    ScopedLayerRecord record;
    ASSERT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_JPG, file), 0);
    EXPECT_EQ(record->mWidth, c.mWidth);
    EXPECT_EQ(record->mHeight, c.mHeight);
    EXPECT_EQ(record->mHasAlpha, 0);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
        uint32_t pixel = record.Pixel(x, y);
        ASSERT_EQ(pixel, Argb(255, p[0], p[1], p[2])) << x << "," << y;
        if (c.mComponents == 1) {
          ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]);
        }
      }
    }
  }
}

// A four-channel JPEG written with libjpeg's compressor: the C, M, Y, K
// samples as given, stored as CMYK or transformed to YCCK, with or without
// the Adobe marker.
std::vector<uint8_t> WriteFourChannelJpeg(int width, int height, const std::vector<uint8_t>& samples,
                                          J_COLOR_SPACE stored, bool adobeMarker) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 4;
  info.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&info);
  jpeg_set_colorspace(&info, stored);
  info.write_Adobe_marker = adobeMarker ? TRUE : FALSE;
  jpeg_set_quality(&info, 100, TRUE);
  // No subsampling: each flat tile keeps its colour up to its edges.
  for (int i = 0; i < info.num_components; ++i) {
    info.comp_info[i].h_samp_factor = 1;
    info.comp_info[i].v_samp_factor = 1;
  }
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() + static_cast<size_t>(info.next_scanline) * width * 4);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

// The C, M, Y, K samples libjpeg decodes from a four-channel file.
std::vector<uint8_t> DecodeJpegCmyk(const std::vector<uint8_t>& file) {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_CMYK;
  jpeg_start_decompress(&info);
  std::vector<uint8_t> cmyk(static_cast<size_t>(info.output_width) * info.output_height * 4);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = cmyk.data() + static_cast<size_t>(info.output_scanline) * info.output_width * 4;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return cmyk;
}

// Ink amounts 0..1 to an opaque pixel: each primary is what its ink and the
// black let through.
uint32_t InksToPixel(double c, double m, double y, double k) {
  auto channel = [&](double ink) { return static_cast<int>(std::lround(255.0 * (1.0 - ink) * (1.0 - k))); };
  return Argb(255, channel(c), channel(m), channel(y));
}

int ChannelDistance(uint32_t a, uint32_t b) {
  int most = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    most = std::max(most, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
  }
  return most;
}

// Four-channel files decode to colour. Files with the Adobe marker hold their
// inks inverted (255 = no ink), as Adobe's programs write them.
TEST(JpegDecoder, CmykAndYcckFilesDecodeToColour) {
  ImageReportRecorder reports;
  std::mt19937 random(33);
  struct Case {
    const char* mName;
    J_COLOR_SPACE mStored;
    bool mAdobe;
  };
  const Case cases[] = {{"CMYK, Adobe", JCS_CMYK, true}, {"YCCK, Adobe", JCS_YCCK, true}, {"CMYK, plain", JCS_CMYK, false}};
  // Flat 16x16 tiles of random inks, then a tile of each pure ink and of no
  // ink, so that the lossy coding leaves every tile close to its inks.
  constexpr int kTile = 16;
  constexpr int kColumns = 5;
  constexpr int kRows = 3;
  std::vector<std::array<int, 4>> tiles;
  for (int i = 0; i < kColumns * kRows - 5; ++i) {
    tiles.push_back({static_cast<int>(random() % 256), static_cast<int>(random() % 256),
                     static_cast<int>(random() % 256), static_cast<int>(random() % 256)});
  }
  for (const std::array<int, 4>& pure :
       {std::array<int, 4>{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {0, 0, 0, 255}, {0, 0, 0, 0}}) {
    tiles.push_back(pure);
  }
  const int width = kColumns * kTile - 3;  // the last column of tiles is cut short
  const int height = kRows * kTile;
  auto tileAt = [&](int x, int y) -> const std::array<int, 4>& { return tiles[(y / kTile) * kColumns + x / kTile]; };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mName);
    std::vector<uint8_t> samples;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        for (int ink : tileAt(x, y)) samples.push_back(static_cast<uint8_t>(c.mAdobe ? 255 - ink : ink));
      }
    }
    std::vector<uint8_t> file = WriteFourChannelJpeg(width, height, samples, c.mStored, c.mAdobe);
    std::vector<uint8_t> decoded = DecodeJpegCmyk(file);
    ASSERT_EQ(decoded.size(), samples.size());

    ScopedLayerRecord record;
    ASSERT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_JPG, file), 0);
    EXPECT_EQ(reports.LastReport(), "");
    EXPECT_EQ(record->mWidth, width);
    EXPECT_EQ(record->mHeight, height);
    EXPECT_EQ(record->mHasAlpha, 0);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        // Exactly the conversion of the samples libjpeg decodes...
        const uint8_t* s = decoded.data() + (static_cast<size_t>(y) * width + x) * 4;
        double ink[4];
        for (int i = 0; i < 4; ++i) ink[i] = (c.mAdobe ? 255 - s[i] : s[i]) / 255.0;
        uint32_t pixel = record.Pixel(x, y);
        ASSERT_EQ(pixel, InksToPixel(ink[0], ink[1], ink[2], ink[3])) << x << "," << y;
        // ...and close to the inks written.
        const std::array<int, 4>& written = tileAt(x, y);
        ASSERT_LE(ChannelDistance(pixel, InksToPixel(written[0] / 255.0, written[1] / 255.0, written[2] / 255.0,
                                                     written[3] / 255.0)),
                  4)
            << x << "," << y;
      }
    }
    // Pure cyan, magenta, yellow and black, and white paper.
    const uint32_t pure[5] = {0xFF00FFFFu, 0xFFFF00FFu, 0xFFFFFF00u, 0xFF000000u, 0xFFFFFFFFu};
    for (int i = 0; i < 5; ++i) {
      int tile = kColumns * kRows - 5 + i;
      uint32_t pixel = record.Pixel((tile % kColumns) * kTile + 5, (tile / kColumns) * kTile + 5);
      EXPECT_LE(ChannelDistance(pixel, pure[i]), 2) << "pure tile " << i;
    }
  }
}

TEST(JpegDecoder, RefusedAndDamagedFiles) {
  ImageReportRecorder reports;
  std::mt19937 random(32);
  std::vector<uint8_t> wideSamples(8193 * 3, 100);
  std::vector<uint8_t> good = WriteJpeg(32, 32, 3, RandomBytes(32 * 32 * 3, random), 80);
  std::vector<uint8_t> garbage = good;
  for (size_t i = 200; i < garbage.size() - 2; ++i) garbage[i] = static_cast<uint8_t>(random());
  struct Case {
    const char* mName;
    std::vector<uint8_t> mFile;
    int mFirstId;
  };
  std::vector<Case> cases = {
      {"8193 x 1", WriteJpeg(8193, 1, 3, wideSamples, 80), 100091},
      {"not a JPEG", {0x12, 0x34, 0x56, 0x78}, 100210},
      {"empty", {}, 100210},
      {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 20), 100210},
  };
  for (const Case& c : cases) {
    reports.Clear();
    ScopedLayerRecord record;
    EXPECT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_JPG, c.mFile), -1) << c.mName;
    EXPECT_EQ(reports.FirstId(), c.mFirstId) << c.mName;
    EXPECT_EQ(reports.LastId(), 100210) << c.mName;
    EXPECT_TRUE(reports.Quit()) << c.mName;
  }
  // Truncated or scrambled entropy data ends the image early or fails it;
  // either way nothing is read outside the file.
  for (const std::vector<uint8_t>& file :
       {std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() * 2 / 3)), garbage}) {
    reports.Clear();
    ScopedLayerRecord record;
    int result = DecodeBytesAs(record.get(), FILE_TYPE_JPG, file);
    if (result == 0) {
      EXPECT_EQ(record->mWidth, 32);
      EXPECT_EQ(reports.LastReport(), "");
    } else {
      EXPECT_EQ(reports.LastId(), 100210);
    }
  }
}

}  // namespace
