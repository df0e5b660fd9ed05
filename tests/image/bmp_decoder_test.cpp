#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "core/message_ids.h"
#include "image/image_decoders.h"
#include "image/pixel_buffers.h"
#include "support/image_fixtures.h"
#include "support/image_test_env.h"

namespace {

// A palette fixture of a depth with random indices; expected pixels from it.
BmpFixture PaletteBmp(int bits, int width, int height, uint32_t coloursUsed, std::mt19937& random) {
  BmpFixture bmp;
  bmp.mWidth = width;
  bmp.mHeight = height;
  bmp.mBits = bits;
  bmp.mColoursUsed = coloursUsed;
  size_t entries = coloursUsed != 0 ? coloursUsed : (size_t{1} << bits);
  for (size_t i = 0; i < entries; ++i) bmp.mPalette.push_back(random() & 0x00FFFFFFu);
  for (int i = 0; i < width * height; ++i) bmp.mIndices.push_back(static_cast<uint8_t>(random() % (1u << bits)));
  return bmp;
}

uint32_t ExpectedPaletteColour(const BmpFixture& bmp, uint8_t index) {
  return index < bmp.mPalette.size() ? (bmp.mPalette[index] | 0xFF000000u) : 0xFF000000u;
}

TEST(BmpDecoder, PaletteDepthsAtOddWidths) {
  ImageReportRecorder reports;
  std::mt19937 random(3);
  struct Case {
    int mBits, mWidth, mHeight;
    uint32_t mColoursUsed;
  };
  // Colours-used 0 reads the whole palette; a smaller count leaves the other
  // entries opaque black.
  const Case cases[] = {{1, 3, 5, 0}, {1, 33, 2, 0}, {4, 5, 3, 0}, {4, 7, 4, 3},
                        {8, 3, 3, 0}, {8, 13, 5, 2}, {8, 1, 1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mBits) + " bits, width " + std::to_string(c.mWidth));
    BmpFixture bmp = PaletteBmp(c.mBits, c.mWidth, c.mHeight, c.mColoursUsed, random);
    ScopedLayerRecord record;
    ASSERT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_BMP, WriteBmp(bmp)), 0);
    EXPECT_EQ(record->mWidth, c.mWidth);
    EXPECT_EQ(record->mHeight, c.mHeight);
    EXPECT_EQ(record->mHasAlpha, 0);
    for (int y = 0; y < c.mHeight; ++y) {
      for (int x = 0; x < c.mWidth; ++x) {
        ASSERT_EQ(record.Pixel(x, y), ExpectedPaletteColour(bmp, bmp.mIndices[y * c.mWidth + x])) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(reports.LastReport(), "");
}

// The palette sits after the information header, however long the header
// is; a header size below 40 (never written by a proper tool, read so far as
// 40) keeps the palette at byte 54.
TEST(BmpDecoder, PaletteFollowsTheInformationHeader) {
  ImageReportRecorder reports;
  std::mt19937 random(5);
  struct Case {
    const char* mName;
    uint32_t mHeaderSize;
    int mBits;
    bool mZeroSizeField;  // the header written, its size field then zeroed
  };
  const Case cases[] = {
      {"V5, 8 bits", 124, 8, false}, {"V5, 4 bits", 124, 4, false}, {"V4, 8 bits", 108, 8, false},
      {"V4, 1 bit", 108, 1, false},  {"40, 8 bits", 40, 8, false},   {"size field 0", 40, 8, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mName);
    BmpFixture bmp = PaletteBmp(c.mBits, 5, 3, 0, random);
    bmp.mHeaderSize = c.mHeaderSize;
    std::vector<uint8_t> file = WriteBmp(bmp);
    if (c.mZeroSizeField) std::fill(file.begin() + 14, file.begin() + 18, uint8_t{0});
    ScopedLayerRecord record;
    ASSERT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_BMP, file), 0);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 5; ++x) {
        ASSERT_EQ(record.Pixel(x, y), ExpectedPaletteColour(bmp, bmp.mIndices[y * 5 + x])) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(reports.LastReport(), "");
}

TEST(BmpDecoder, TrueColourDepths) {
  std::mt19937 random(4);
  for (int bits : {24, 32}) {
    for (int width : {1, 3, 6}) {
      BmpFixture bmp;
      bmp.mWidth = width;
      bmp.mHeight = 4;
      bmp.mBits = bits;
      for (int i = 0; i < width * 4; ++i) bmp.mPixels.push_back(static_cast<uint32_t>(random()) | 0x01000000u);
      ScopedLayerRecord record;
      ASSERT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_BMP, WriteBmp(bmp)), 0);
      EXPECT_EQ(record->mHasAlpha, bits == 32 ? 1 : 0);
      for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < width; ++x) {
          uint32_t stored = bmp.mPixels[y * width + x];
          uint32_t expected = bits == 24 ? (stored | 0xFF000000u) : stored;
          ASSERT_EQ(record.Pixel(x, y), expected) << bits << " " << width << " " << x << "," << y;
        }
      }
    }
  }
}

TEST(BmpDecoder, SixteenBitLoadsAsAZeroedBlock) {
  ImageReportRecorder reports;
  ScopedLayerRecord record;
  // An earlier image leaves bytes in the record's block that must not show.
  BmpFixture first;
  first.mWidth = 4;
  first.mHeight = 4;
  first.mBits = 24;
  first.mPixels.assign(16, 0x00ABCDEFu);
  ASSERT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_BMP, WriteBmp(first)), 0);
  BmpFixture bmp;
  bmp.mWidth = 4;
  bmp.mHeight = 4;
  bmp.mBits = 16;
  ASSERT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_BMP, WriteBmp(bmp)), 0);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(record.Pixel(x, y), TRANSPARENT_COLOUR);
  }
}

TEST(BmpDecoder, DamagedAndRefusedFiles) {
  ImageReportRecorder reports;
  BmpFixture good;
  good.mWidth = 3;
  good.mHeight = 2;
  good.mBits = 8;
  good.mPalette = {0x112233u, 0x445566u};
  good.mColoursUsed = 2;
  good.mIndices = {0, 1, 0, 1, 0, 1};
  std::vector<uint8_t> valid = WriteBmp(good);

  auto patched = [&](size_t at, std::vector<uint8_t> bytes) {
    std::vector<uint8_t> file = valid;
    for (size_t i = 0; i < bytes.size(); ++i) file[at + i] = bytes[i];
    return file;
  };
  auto withSize = [&](size_t size) { return std::vector<uint8_t>(valid.begin(), valid.begin() + size); };
  struct Case {
    const char* mName;
    std::vector<uint8_t> mFile;
    MessageId mId;  // none: checked on its own below
  };
  std::vector<Case> cases = {
      {"no magic", patched(0, {'P', 'M'}), kMsgBmpNoMagic},
      {"one byte", withSize(1), kMsgBmpNoMagic},
      {"short header", withSize(40), kMsgBmpDamaged},
      {"pixel offset 10", patched(10, {10, 0, 0, 0}), kMsgBmpDamaged},
      {"pixel offset past the end", patched(10, {0xFF, 0xFF, 0, 0}), kMsgBmpDamaged},
      {"rows past the end", withSize(valid.size() - 1), kMsgBmpDamaged},
      {"palette past the end", patched(46, {0, 1, 0, 0}), kMsgBmpDamaged},
      {"header size past the end", patched(14, {0xF0, 0xFF, 0xFF, 0xFF}), kMsgBmpDamaged},
      {"palette past the end after a long header", patched(14, {124, 0, 0, 0}), kMsgBmpDamaged},
      {"huge colour count", patched(46, {0xFF, 0xFF, 0xFF, 0xFF}), {}},
      {"width 8193", patched(18, {0x01, 0x20, 0, 0}), kMsgImageTooLarge},
      {"width 0", patched(18, {0, 0, 0, 0}), kMsgImageTooLarge},
      {"negative width", patched(18, {0xFF, 0xFF, 0xFF, 0xFF}), kMsgImageTooLarge},
      {"height 8193", patched(22, {0x01, 0x20, 0, 0}), kMsgImageTooLarge},
      {"top-down", patched(22, {0xFE, 0xFF, 0xFF, 0xFF}), kMsgBmpTopDown},
      {"compressed 8-bit", patched(30, {1, 0, 0, 0}), kMsgBmpCompressed},
  };
  for (const Case& c : cases) {
    reports.Clear();
    ScopedLayerRecord record;
    int result = DecodeBytesAs(record.get(), FILE_TYPE_BMP, c.mFile);
    if (c.mId.mNumber == 0) {
      // A colour count beyond the palette reads the palette's 256 entries,
      // which lie past the end of this small file.
      EXPECT_EQ(result, -1) << c.mName;
      EXPECT_EQ(reports.FirstId(), kMsgBmpDamaged.mNumber) << c.mName;
      continue;
    }
    EXPECT_EQ(result, -1) << c.mName;
    EXPECT_EQ(reports.FirstId(), c.mId.mNumber) << c.mName;
    EXPECT_TRUE(reports.Quit()) << c.mName;
    EXPECT_EQ(record->mWidth, 1) << c.mName;
  }
  // The same 4-bit file decodes without compression.
  reports.Clear();
  BmpFixture four;
  four.mBits = 4;
  four.mWidth = 2;
  four.mIndices = {0, 1};
  four.mCompression = 2;
  ScopedLayerRecord record;
  EXPECT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_BMP, WriteBmp(four)), -1);
  EXPECT_EQ(reports.FirstId(), kMsgBmpCompressed.mNumber);
}

}  // namespace
