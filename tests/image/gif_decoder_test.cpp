#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "image/image_decoders.h"
#include "image/pixel_buffers.h"
#include "support/image_fixtures.h"
#include "support/image_test_env.h"

namespace {

std::vector<uint8_t> RandomPalette(int entries, std::mt19937& random) {
  std::vector<uint8_t> palette;
  for (int i = 0; i < entries * 3; ++i) palette.push_back(static_cast<uint8_t>(random()));
  return palette;
}

GifFixtureImage RandomImage(int width, int height, int colours, std::mt19937& random, bool smooth = false) {
  GifFixtureImage image;
  image.mWidth = width;
  image.mHeight = height;
  for (int i = 0; i < width * height; ++i) {
    // Smooth images repeat runs, so the code table fills with long chains.
    int value = smooth ? (i / 7 + (i % width) / 3) % colours : static_cast<int>(random() % colours);
    image.mIndices.push_back(static_cast<uint8_t>(value));
  }
  return image;
}

uint32_t PaletteColour(const std::vector<uint8_t>& palette, int index) {
  return 0xFF000000u | (static_cast<uint32_t>(palette[index * 3]) << 16) |
         (static_cast<uint32_t>(palette[index * 3 + 1]) << 8) | palette[index * 3 + 2];
}

void ExpectImage(ScopedLayerRecord& record, const GifFixtureImage& image, const std::vector<uint8_t>& palette) {
  for (int y = 0; y < image.mHeight; ++y) {
    for (int x = 0; x < image.mWidth; ++x) {
      ASSERT_EQ(record.Pixel(image.mLeft + x, image.mTop + y), PaletteColour(palette, image.mIndices[y * image.mWidth + x]))
          << x << "," << y;
    }
  }
}

TEST(GifDecoder, CodeWidthsClearCodesAndFullTables) {
  ImageReportRecorder reports;
  std::mt19937 random(11);
  struct Case {
    const char* mName;
    int mWidth, mHeight, mColours;
    bool mSmooth;
    int mClearAfter;
    bool mDeferred;
  };
  // Random 256-colour data fills the 4096-entry table several times; the
  // deferred variant keeps decoding from a full table without a clear code.
  const Case cases[] = {
      {"two colours", 9, 7, 2, false, 0, false},      {"four colours", 13, 5, 4, false, 0, false},
      {"full tables", 160, 120, 256, false, 0, false}, {"long chains", 200, 90, 16, true, 0, false},
      {"deferred clear", 160, 120, 256, false, 0, true}, {"frequent clears", 64, 64, 64, false, 17, false},
      {"one pixel", 1, 1, 2, false, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mName);
    GifFixture gif;
    gif.mScreenWidth = c.mWidth;
    gif.mScreenHeight = c.mHeight;
    gif.mGlobalPalette = RandomPalette(c.mColours, random);
    gif.mImages.push_back(RandomImage(c.mWidth, c.mHeight, c.mColours, random, c.mSmooth));
    gif.mImages[0].mClearAfterCodes = c.mClearAfter;
    gif.mImages[0].mDeferredClear = c.mDeferred;
    ScopedLayerRecord record;
    ASSERT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_GIF, WriteGif(gif)), 0);
    EXPECT_EQ(record->mWidth, c.mWidth);
    EXPECT_EQ(record->mHeight, c.mHeight);
    EXPECT_EQ(record->mHasAlpha, 0);
    ExpectImage(record, gif.mImages[0], gif.mGlobalPalette);
  }
  EXPECT_EQ(reports.LastReport(), "");
}

// The smallest well-known GIF: one transparent pixel, written by other tools.
TEST(GifDecoder, ClassicOnePixelFile) {
  const std::vector<uint8_t> file = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0,
                                     0x21, 0xF9, 4, 1, 0, 0, 0, 0, 0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0,
                                     0x3B};
  ScopedLayerRecord record;
  ASSERT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_GIF, file), 0);
  EXPECT_EQ(record->mHasAlpha, 1);
  EXPECT_EQ(record.Pixel(0, 0), TRANSPARENT_COLOUR);
}

TEST(GifDecoder, InterlacedImageMatchesItsPlainTwin) {
  std::mt19937 random(12);
  for (int height : {1, 2, 5, 8, 9, 17}) {
    GifFixture gif;
    gif.mScreenWidth = 11;
    gif.mScreenHeight = height;
    gif.mGlobalPalette = RandomPalette(16, random);
    gif.mImages.push_back(RandomImage(11, height, 16, random));
    GifFixture twin = gif;
    twin.mImages[0].mInterlaced = true;
    ScopedLayerRecord plain;
    ScopedLayerRecord interlaced;
    ASSERT_EQ(DecodeBytesAs(plain.get(), FILE_TYPE_GIF, WriteGif(gif)), 0);
    ASSERT_EQ(DecodeBytesAs(interlaced.get(), FILE_TYPE_GIF, WriteGif(twin)), 0);
    ASSERT_NE(WriteGif(gif), WriteGif(twin));
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < 11; ++x) ASSERT_EQ(plain.Pixel(x, y), interlaced.Pixel(x, y)) << height << " " << x << "," << y;
    }
  }
}

TEST(GifDecoder, AnimationKeepsOneRecordPerImage) {
  ImageReportRecorder reports;
  std::mt19937 random(13);
  GifFixture gif;
  gif.mScreenWidth = 10;
  gif.mScreenHeight = 8;
  gif.mGlobalPalette = RandomPalette(4, random);
  gif.mLoopCount = 7;
  GifFixtureImage first = RandomImage(4, 3, 4, random);
  first.mLeft = 2;
  first.mTop = 1;
  first.mHasControl = true;
  first.mDelay = 12;
  first.mDisposal = 2;
  GifFixtureImage second = RandomImage(10, 8, 8, random);
  second.mLocalPalette = RandomPalette(8, random);
  second.mHasControl = true;
  second.mDelay = 30;
  second.mDisposal = 1;
  second.mTransparent = true;
  second.mTransparentIndex = 3;
  GifFixtureImage third = RandomImage(5, 5, 4, random);
  third.mInterlaced = true;
  gif.mImages = {first, second, third};
  ScopedLayerRecord record;
  ASSERT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_GIF, WriteGif(gif)), 0);
  ASSERT_NE(record->mGifFrames, nullptr);
  for (int i = 0; i < 3; ++i) ASSERT_NE(record->mGifFrames[i], nullptr) << i;
  EXPECT_EQ(record->mGifFrames[3], nullptr);
  const GifFrame& f0 = *record->mGifFrames[0];
  const GifFrame& f1 = *record->mGifFrames[1];
  const GifFrame& f2 = *record->mGifFrames[2];
  EXPECT_EQ(f0.mLeft, 2);
  EXPECT_EQ(f0.mTop, 1);
  EXPECT_EQ(f0.mWidth, 4);
  EXPECT_EQ(f0.mHeight, 3);
  EXPECT_EQ(f0.mDelay, 12);
  EXPECT_EQ(f0.mDisposal, 2);
  EXPECT_EQ(f0.mLoopCount, 7);
  EXPECT_EQ(f1.mDelay, 30);
  EXPECT_EQ(f1.mTransparentFlag, 1);
  EXPECT_EQ(f1.mTransparentIndex, 3);
  EXPECT_EQ(0, std::memcmp(f1.mPalette, second.mLocalPalette.data(), second.mLocalPalette.size()));
  // The local table of frame 1 does not leak into frame 2.
  EXPECT_EQ(0, std::memcmp(f2.mPalette, gif.mGlobalPalette.data(), gif.mGlobalPalette.size()));
  EXPECT_EQ(0, std::memcmp(f2.Indices(), third.mIndices.data(), third.mIndices.size()));
  // The graphic control applies to the images after it.
  EXPECT_EQ(f2.mDelay, 30);
  // Frame 0 is drawn at its place; frame 1 has a transparent index, so the
  // image has alpha.
  EXPECT_EQ(record->mHasAlpha, 1);
  ExpectImage(record, first, gif.mGlobalPalette);
  EXPECT_EQ(record.Pixel(0, 0), TRANSPARENT_COLOUR);
  EXPECT_EQ(record.Pixel(9, 7), TRANSPARENT_COLOUR);

  // A later one-image file on the same record leaves no stale frames.
  GifFixture single;
  single.mScreenWidth = 3;
  single.mScreenHeight = 3;
  single.mGlobalPalette = RandomPalette(2, random);
  GifFixtureImage only = RandomImage(3, 3, 2, random);
  only.mHasControl = true;
  only.mTransparent = true;
  only.mTransparentIndex = 1;
  single.mImages = {only};
  ASSERT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_GIF, WriteGif(single)), 0);
  EXPECT_NE(record->mGifFrames[0], nullptr);
  EXPECT_EQ(record->mGifFrames[1], nullptr);
  EXPECT_EQ(record->mGifFrames[2], nullptr);
  EXPECT_EQ(record->mGifFrames[0]->mLoopCount, 1);
  EXPECT_EQ(record->mHasAlpha, 1);
  for (int i = 0; i < 9; ++i) {
    uint32_t pixel = record.Pixel(i % 3, i / 3);
    EXPECT_EQ(pixel, only.mIndices[i] == 1 ? TRANSPARENT_COLOUR : PaletteColour(single.mGlobalPalette, 0)) << i;
  }
}

// The alpha flag holds for every frame of the file: it is set when any
// image's graphic control has the transparent flag, whichever frame it is.
TEST(GifDecoder, AlphaFlagWhenAnyFrameHasATransparentIndex) {
  ImageReportRecorder reports;
  std::mt19937 random(15);
  struct Case {
    const char* mName;
    std::vector<bool> mTransparent;  // per image: a graphic control with the flag, or one without
    int mHasAlpha;
  };
  const Case cases[] = {
      {"only the second of three", {false, true, false}, 1},
      {"only the last", {false, false, true}, 1},
      {"only the first", {true, false, false}, 1},
      {"none", {false, false, false}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mName);
    GifFixture gif;
    gif.mScreenWidth = 6;
    gif.mScreenHeight = 4;
    gif.mGlobalPalette = RandomPalette(4, random);
    for (bool transparent : c.mTransparent) {
      GifFixtureImage image = RandomImage(6, 4, 4, random);
      image.mIndices[0] = 2;  // every frame shows index 2 somewhere
      image.mHasControl = true;
      image.mTransparent = transparent;
      image.mTransparentIndex = 2;
      gif.mImages.push_back(image);
    }
    ScopedLayerRecord record;
    ASSERT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_GIF, WriteGif(gif)), 0);
    EXPECT_EQ(record->mHasAlpha, c.mHasAlpha);
    // Each frame drawn: index 2 is transparent exactly in the frames whose
    // control says so, and the record's flag makes that alpha count.
    for (size_t n = 0; n < c.mTransparent.size(); ++n) {
      RenderGifFrame(record.get(), static_cast<int>(n));
      const GifFixtureImage& image = gif.mImages[n];
      for (int i = 0; i < 24; ++i) {
        uint32_t colour = PaletteColour(gif.mGlobalPalette, image.mIndices[i]);
        uint32_t expected = c.mTransparent[n] && image.mIndices[i] == 2 ? colour & 0x00FFFFFFu : colour;
        ASSERT_EQ(record.Pixel(i % 6, i / 6), expected) << "frame " << n << " pixel " << i;
      }
      if (c.mTransparent[n]) {
        EXPECT_EQ(record->mHasAlpha, 1) << "frame " << n;
      }
    }
  }
}

TEST(GifDecoder, FrameLargerThanTheScreenIsClipped) {
  std::mt19937 random(14);
  GifFixture gif;
  gif.mScreenWidth = 4;
  gif.mScreenHeight = 3;
  gif.mGlobalPalette = RandomPalette(4, random);
  GifFixtureImage image = RandomImage(6, 5, 4, random);
  image.mLeft = 1;
  image.mTop = 1;
  gif.mImages = {image};
  ScopedLayerRecord record;
  ASSERT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_GIF, WriteGif(gif)), 0);
  for (int y = 1; y < 3; ++y) {
    for (int x = 1; x < 4; ++x) {
      EXPECT_EQ(record.Pixel(x, y), PaletteColour(gif.mGlobalPalette, image.mIndices[(y - 1) * 6 + (x - 1)]));
    }
  }
}

TEST(GifDecoder, ImagesPastTheFrameTableAreReadOverNotKept) {
  GifFixture gif;
  gif.mScreenWidth = 2;
  gif.mScreenHeight = 1;
  gif.mGlobalPalette = {10, 20, 30, 40, 50, 60};
  GifFixtureImage image;
  image.mWidth = 2;
  image.mIndices = {1, 0};
  gif.mImages.assign(kGifFrameTableSize + 3, image);
  gif.mImages.back().mWidth = 7;  // a different image after the table end
  gif.mImages.back().mIndices.assign(7, 1);
  ScopedLayerRecord record;
  ASSERT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_GIF, WriteGif(gif)), 0);
  EXPECT_NE(record->mGifFrames[kGifFrameTableSize - 1], nullptr);
  EXPECT_EQ(record->mGifFrames[kGifFrameTableSize - 1]->mWidth, 2);
  EXPECT_EQ(record.Pixel(0, 0), 0xFF28323Cu);
  EXPECT_EQ(record.Pixel(1, 0), 0xFF0A141Eu);
}

TEST(GifDecoder, MalformedFiles) {
  ImageReportRecorder reports;
  std::mt19937 random(15);
  GifFixture base;
  base.mScreenWidth = 8;
  base.mScreenHeight = 8;
  base.mGlobalPalette = RandomPalette(4, random);
  base.mImages = {RandomImage(8, 8, 4, random)};
  std::vector<uint8_t> valid = WriteGif(base);

  GifFixture noImage = base;
  noImage.mImages.clear();
  GifFixture bigFrame = base;
  bigFrame.mImages[0].mWidth = 8193;
  bigFrame.mImages[0].mHeight = 1;
  bigFrame.mImages[0].mIndices.assign(8193, 0);
  GifFixture bigScreen = base;
  bigScreen.mScreenHeight = 8193;
  std::vector<uint8_t> badIntroducer = valid;
  badIntroducer.back() = 0x99;
  std::vector<uint8_t> badLabel = WriteGif(noImage);
  badLabel.insert(badLabel.end() - 1, {0x21, 0x77, 0});

  struct Case {
    const char* mName;
    std::vector<uint8_t> mFile;
    int mFirstId;
  };
  std::vector<Case> failing = {
      {"no image block", WriteGif(noImage), 100215},
      {"frame wider than 8192", WriteGif(bigFrame), 100091},
      {"screen higher than 8192", WriteGif(bigScreen), 100091},
      {"unknown introducer", badIntroducer, 100215},
      {"unknown extension", badLabel, 100215},
      {"empty file", {}, 100091},
      {"header only", std::vector<uint8_t>(valid.begin(), valid.begin() + 13 + 12), 100215},
  };
  for (const Case& c : failing) {
    reports.Clear();
    ScopedLayerRecord record;
    EXPECT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_GIF, c.mFile), -1) << c.mName;
    EXPECT_EQ(reports.FirstId(), c.mFirstId) << c.mName;
    EXPECT_EQ(reports.LastId(), 100215) << c.mName;
    EXPECT_TRUE(reports.Quit()) << c.mName;
  }

  // Damaged LZW data is not reported: the frame keeps what was decoded.
  size_t dataStart = 13 + 12 + 10 + 1;  // header, palette, image descriptor, code size
  uint8_t blockLength = valid[dataStart];
  ASSERT_GT(blockLength, 8);
  std::vector<uint8_t> truncated(valid.begin(), valid.begin() + dataStart + 1 + blockLength - 8);
  truncated[dataStart] = static_cast<uint8_t>(blockLength - 8);
  truncated.push_back(0);
  truncated.push_back(0x3B);
  std::vector<uint8_t> garbage = valid;
  for (size_t i = dataStart + 2; i < garbage.size() - 3; ++i) garbage[i] = static_cast<uint8_t>(random());
  std::vector<uint8_t> wideCodes = valid;
  wideCodes[dataStart - 1] = 12;  // a minimum code size no stream can use
  for (const std::vector<uint8_t>& file : {truncated, garbage, wideCodes}) {
    reports.Clear();
    ScopedLayerRecord record;
    EXPECT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_GIF, file), 0);
    EXPECT_EQ(record->mWidth, 8);
    EXPECT_EQ(reports.LastReport(), "");
  }
}

}  // namespace
