#include <gtest/gtest.h>
#include <webp/decode.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/message_ids.h"
#include "datasrc/resource_lookup.h"
#include "image/pixel_buffers.h"
#include "image/webp_codec.h"
#include "movie/emote.h"
#include "support/image_test_env.h"
#include "support/qcg_builder.h"

namespace {

std::vector<uint8_t> Pixels(int width, int height, bool withAlpha) {
  std::mt19937 random(static_cast<uint32_t>(width * 31 + height));
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  for (size_t i = 0; i < pixels.size(); i += 4) {
    uint32_t value = random();
    std::memcpy(&pixels[i], &value, 4);
    pixels[i + 3] = withAlpha ? static_cast<uint8_t>(1 + value % 255) : 255;
  }
  return pixels;
}

class WebpDecoder : public ::testing::Test {
 protected:
  void SetUp() override { LoadWebpCodec(); }
  ImageReportRecorder mReports;
};

TEST_F(WebpDecoder, FilesWithAndWithoutAlphaLoadTheirPixels) {
  struct Case {
    const char* mName;
    int mWidth, mHeight;
    bool mAlpha;
    int mQuality;
  };
  const Case cases[] = {
      {"lossless with alpha", 9, 5, true, -1},
      {"lossless opaque", 4, 4, false, -1},
      {"lossy opaque", 24, 16, false, 80},
      {"lossy with alpha", 16, 8, true, 90},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mName);
    std::vector<uint8_t> pixels = Pixels(c.mWidth, c.mHeight, c.mAlpha);
    std::vector<uint8_t> file = EncodeWebpFixture(pixels.data(), c.mWidth, c.mHeight, c.mQuality);
    // The library's own decode is the reference.
    int width = 0;
    int height = 0;
    uint8_t* reference = WebPDecodeBGRA(file.data(), file.size(), &width, &height);
    ASSERT_NE(reference, nullptr);
    std::vector<uint8_t> expected(reference, reference + static_cast<size_t>(width) * height * 4);
    WebPFree(reference);
    if (c.mQuality < 0) {
      EXPECT_EQ(expected, pixels);
    }

    ScopedLayerRecord layer;
    ASSERT_EQ(DecodeBytesAs(layer.get(), FILE_TYPE_WEBP, file, "pic.webp"), 0);
    EXPECT_EQ(layer->mWidth, c.mWidth);
    EXPECT_EQ(layer->mHeight, c.mHeight);
    EXPECT_EQ(layer->mHasAlpha, 1);
    EXPECT_EQ(0, std::memcmp(layer->mPixels, expected.data(), expected.size()));
    EXPECT_TRUE(mReports.Boxes().empty());
  }
}

TEST_F(WebpDecoder, FilesThatAreNotWebpShowTheCheckBoxBeforeAllocating) {
  std::vector<uint8_t> pixels = Pixels(4, 4, true);
  std::vector<uint8_t> good = EncodeWebpFixture(pixels.data(), 4, 4, -1);
  std::vector<uint8_t> wave = good;
  std::memcpy(&wave[8], "WAVE", 4);
  std::vector<uint8_t> noRiff = good;
  noRiff[0] = 'X';
  // RIFF/WEBP marks with nothing the codec can size behind them.
  std::vector<uint8_t> bodyless(good.begin(), good.begin() + 12);
  std::vector<uint8_t> garbled = good;
  std::memset(&garbled[12], 0xEE, garbled.size() - 12);
  std::vector<uint8_t> tiny = {'R', 'I', 'F', 'F'};
  for (const auto* file : {&wave, &noRiff, &bodyless, &garbled, &tiny}) {
    mReports.Clear();
    ScopedLayerRecord layer;
    EXPECT_EQ(DecodeBytesAs(layer.get(), FILE_TYPE_WEBP, *file, "pic.webp"), -1);
    ASSERT_EQ(mReports.Boxes().size(), 1u);
    EXPECT_EQ(mReports.Boxes()[0].mText, "File Check Error.");
    EXPECT_EQ(mReports.Boxes()[0].mCaption, "");
    EXPECT_EQ(layer->mPixelAlloc, nullptr);
  }
}

TEST_F(WebpDecoder, WithoutTheCodecEveryLoadFails) {
  ReleaseWebpCodec();
  std::vector<uint8_t> pixels = Pixels(2, 2, false);
  ScopedLayerRecord layer;
  EXPECT_EQ(DecodeBytesAs(layer.get(), FILE_TYPE_WEBP, EncodeWebpFixture(pixels.data(), 2, 2, -1), "pic.webp"), -1);
  ASSERT_EQ(mReports.Boxes().size(), 1u);
  EXPECT_EQ(mReports.Boxes()[0].mText, "WebP の読込に対応していません。");
  EXPECT_EQ(mReports.FirstId(), 0);
}

TEST_F(WebpDecoder, PictureWiderThanAnImageMayBeIsRefused) {
  std::vector<uint8_t> pixels(8200 * 1 * 4, 0x40);
  std::vector<uint8_t> file = EncodeWebpFixture(pixels.data(), 8200, 1, -1);
  ScopedLayerRecord layer;
  EXPECT_EQ(DecodeBytesAs(layer.get(), FILE_TYPE_WEBP, file, "wide.webp"), -1);
  EXPECT_EQ(mReports.FirstId(), kMsgImageTooLarge.mNumber);
  EXPECT_EQ(layer->mPixelAlloc, nullptr);
}

TEST(PsdImage, AnyPsdIsRefusedWith100220) {
  ImageReportRecorder reports;
  for (const std::vector<uint8_t>& file : {std::vector<uint8_t>{'8', 'B', 'P', 'S', 0, 1}, std::vector<uint8_t>{}}) {
    reports.Clear();
    ScopedLayerRecord layer;
    EXPECT_EQ(DecodeBytesAs(layer.get(), FILE_TYPE_PSD, file, "pic.psd"), -1);
    EXPECT_EQ(reports.FirstId(), kMsgPsdNotLoaded.mNumber);
    EXPECT_NE(reports.FirstReport().find("pic.psd"), std::string::npos);
    EXPECT_TRUE(reports.Quit());
  }
}

TEST(EmoteImage, PsbWithoutTheRuntimeLoadsAsATwoByTwoPlaceholder) {
  ImageReportRecorder reports;
  ASSERT_EQ(g_EmoteEnabled, 0);
  ScopedLayerRecord layer;
  EXPECT_EQ(DecodeBytesAs(layer.get(), FILE_TYPE_PSB, {'P', 'S', 'B', 0, 9, 9}, "chara.psb"), 0);
  EXPECT_EQ(layer->mWidth, 2);
  EXPECT_EQ(layer->mHeight, 2);
  EXPECT_EQ(layer->mGpuState, 0);
  EXPECT_EQ(reports.FirstId(), 0);
  EXPECT_TRUE(reports.Boxes().empty());
}

}  // namespace
