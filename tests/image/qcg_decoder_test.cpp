#include <gtest/gtest.h>
#include <webp/decode.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/message_ids.h"
#include "core/platform_facts.h"
#include "datasrc/compression.h"
#include "datasrc/resource_lookup.h"
#include "image/pixel_buffers.h"
#include "image/pixel_workers.h"
#include "image/webp_codec.h"
#include "support/image_test_env.h"
#include "support/qcg_builder.h"

namespace {

// Random B, G, R, A pixels with some fully transparent ones among them.
std::vector<uint8_t> RandomPixels(int width, int height, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  for (size_t i = 0; i < pixels.size(); i += 4) {
    uint32_t value = random();
    std::memcpy(&pixels[i], &value, 4);
    if (value % 7 == 0) pixels[i + 3] = 0;
  }
  return pixels;
}

// What a load leaves of pixels: alpha-0 pixels become the transparent colour.
std::vector<uint8_t> AfterLoad(std::vector<uint8_t> pixels) {
  for (size_t i = 0; i < pixels.size(); i += 4) {
    if (pixels[i + 3] == 0) pixels[i] = pixels[i + 1] = pixels[i + 2] = 0x80;
  }
  return pixels;
}

// The pixels libwebp alone makes of the fixture's two WebP halves.
std::vector<uint8_t> DecodeWebpHalves(const QcgFixture& qcg) {
  QcgHalves halves = EncodeQcgHalves(qcg);
  std::vector<uint8_t> pixels;
  for (const std::vector<uint8_t>* half : {&halves.mStored1, &halves.mStored2}) {
    int width = 0;
    int height = 0;
    uint8_t* decoded = WebPDecodeBGRA(half->data(), half->size(), &width, &height);
    EXPECT_NE(decoded, nullptr);
    if (decoded == nullptr) return {};
    pixels.insert(pixels.end(), decoded, decoded + static_cast<size_t>(width) * height * 4);
    WebPFree(decoded);
  }
  return pixels;
}

std::vector<uint8_t> LoadedPixels(const ScopedLayerRecord& layer) {
  const LayerRecord& record = layer.mRecord;
  return std::vector<uint8_t>(record.mPixels, record.mPixels + static_cast<size_t>(record.mWidth) * record.mHeight * 4);
}

class QcgDecoder : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    LoadCompressionLibrary();
    LoadWebpCodec();
    g_WorkerCount = static_cast<uint8_t>(GetParam());
    ASSERT_EQ(StartPixelWorkers(), 0);
  }
  void TearDown() override { StopPixelWorkers(); }
  ImageReportRecorder mReports;
};

struct MethodCase {
  const char* mName;
  uint32_t mMethod;
  int mWebpQuality;
  int mWidth;
  int mHeight;
  int mFirstHalfRows;
};

TEST_P(QcgDecoder, EveryMethodDecodesToItsSourcePixels) {
  const MethodCase cases[] = {
      {"raw", kQcgRaw, 0, 5, 3, 1},
      {"zlib", kQcgZlib, 0, 17, 9, 4},
      {"block codec", kQcgBlockCodec, 0, 16, 16, 8},
      {"WebP lossless", kQcgWebp, -1, 13, 7, 3},
      {"WebP lossy", kQcgWebp, 75, 32, 20, 10},
      {"one row in the first half", kQcgZlib, 0, 3, 2, 1},
  };
  for (const MethodCase& c : cases) {
    SCOPED_TRACE(c.mName);
    QcgFixture qcg;
    qcg.mWidth = c.mWidth;
    qcg.mHeight = c.mHeight;
    qcg.mMethod = c.mMethod;
    qcg.mWebpQuality = c.mWebpQuality;
    qcg.mFirstHalfRows = c.mFirstHalfRows;
    qcg.mPixels = RandomPixels(c.mWidth, c.mHeight, c.mMethod * 100 + c.mWidth);
    ScopedLayerRecord layer;
    ASSERT_EQ(DecodeBytesAs(layer.get(), FILE_TYPE_QCG, WriteQcg(qcg), "pic.qcg"), 0) << mReports.FirstReport();
    EXPECT_EQ(layer->mWidth, c.mWidth);
    EXPECT_EQ(layer->mHeight, c.mHeight);
    EXPECT_EQ(layer->mHasAlpha, 1);
    // Lossy WebP is compared with what the library alone decodes.
    std::vector<uint8_t> expected = c.mWebpQuality >= 0 && c.mMethod == kQcgWebp ? DecodeWebpHalves(qcg) : qcg.mPixels;
    EXPECT_EQ(LoadedPixels(layer), AfterLoad(expected));
    EXPECT_TRUE(mReports.Boxes().empty());
    EXPECT_EQ(mReports.FirstId(), 0);
  }
}

TEST_P(QcgDecoder, TwoByOneRawImageLoadsItsEightStoredBytes) {
  QcgFixture qcg;
  qcg.mWidth = 2;
  qcg.mHeight = 1;
  qcg.mFirstHalfRows = 0;
  qcg.mPixels = {1, 2, 3, 4, 5, 6, 7, 8};
  std::vector<uint8_t> file = WriteQcg(qcg);
  // Parts of 4 bytes each.
  file[kQcgOut1Offset] = file[kQcgStored1Offset] = 4;
  file[kQcgOut2Offset] = file[kQcgStored2Offset] = 4;
  ScopedLayerRecord layer;
  ASSERT_EQ(DecodeBytesAs(layer.get(), FILE_TYPE_QCG, file, "pic.qcg"), 0);
  EXPECT_EQ(layer.Pixel(0, 0), 0x04030201u);
  EXPECT_EQ(layer.Pixel(1, 0), 0x08070605u);
}

TEST_P(QcgDecoder, WrongMagicWarnsAndStillLoads) {
  QcgFixture qcg;
  qcg.mWidth = 2;
  qcg.mHeight = 2;
  qcg.mMethod = kQcgZlib;
  qcg.mPixels = RandomPixels(2, 2, 9);
  qcg.mMagic = std::array<uint8_t, 4>{'Q', 'C', 'X', 0};
  ScopedLayerRecord layer;
  ASSERT_EQ(DecodeBytesAs(layer.get(), FILE_TYPE_QCG, WriteQcg(qcg), "pic.qcg"), 0);
  ASSERT_EQ(mReports.Boxes().size(), 1u);
  EXPECT_EQ(mReports.Boxes()[0].mText, "File Check Error.");
  EXPECT_EQ(LoadedPixels(layer), AfterLoad(qcg.mPixels));
}

// A damaged file: the change made to a good fixture (or to its bytes), and
// what the load reports.
struct DamageCase {
  const char* mName;
  uint32_t mMethod;
  std::function<void(QcgFixture&, const QcgHalves&)> mChangeFixture;
  std::function<void(std::vector<uint8_t>&, const QcgHalves&)> mChangeBytes;
  const char* mBox;  // the box shown, or null
  int mReport;       // the message id reported, or 0
};

void FlipByte(std::vector<uint8_t>& file, size_t at) { file[at] ^= 0x5A; }

TEST_P(QcgDecoder, DamagedFilesAreRefusedBeforeAnyByteIsWrittenPastTheBlock) {
  const char* kCheck = "File Check Error.";
  const char* kFirst = "Uncompress Status Error 1.";
  const char* kSecond = "Uncompress Status Error 2.";
  const DamageCase cases[] = {
      {"width above 8192", kQcgRaw, [](QcgFixture& q, const QcgHalves&) { q.mStoredWidth = 8193; }, nullptr, nullptr,
       kMsgImageTooLarge.mNumber},
      {"width 0", kQcgRaw, [](QcgFixture& q, const QcgHalves&) { q.mStoredWidth = 0; }, nullptr, nullptr,
       kMsgImageTooLarge.mNumber},
      {"negative height", kQcgRaw, [](QcgFixture& q, const QcgHalves&) { q.mStoredHeight = -1; }, nullptr, nullptr,
       kMsgImageTooLarge.mNumber},
      {"sides larger than the halves", kQcgRaw, [](QcgFixture& q, const QcgHalves&) { q.mStoredHeight = 8000; },
       nullptr, kCheck, 0},
      {"unknown method", kQcgRaw, [](QcgFixture& q, const QcgHalves&) { q.mStoredMethod = 4; }, nullptr, kCheck, 0},
      {"second half past the end", kQcgZlib,
       [](QcgFixture& q, const QcgHalves& h) { q.mStored2 = static_cast<uint32_t>(h.mStored2.size() + 100); },
       nullptr, kCheck, 0},
      {"first half of 4 GiB", kQcgZlib, [](QcgFixture& q, const QcgHalves&) { q.mStored1 = 0xFFFFFFFFu; }, nullptr,
       kCheck, 0},
      {"outputs larger than the image", kQcgRaw,
       [](QcgFixture& q, const QcgHalves& h) { q.mOut2 = static_cast<uint32_t>(h.mOut2 + 4); }, nullptr, kCheck, 0},
      {"outputs smaller than the image", kQcgZlib,
       [](QcgFixture& q, const QcgHalves& h) { q.mOut1 = static_cast<uint32_t>(h.mOut1 - 4); }, nullptr, kCheck, 0},
      {"raw half stored shorter than it yields", kQcgRaw,
       [](QcgFixture& q, const QcgHalves& h) {
         q.mOut1 = static_cast<uint32_t>(h.mOut1 + 4);
         q.mOut2 = static_cast<uint32_t>(h.mOut2 - 4);
       },
       nullptr, kCheck, 0},
      {"truncated file", kQcgBlockCodec, nullptr, [](std::vector<uint8_t>& f, const QcgHalves&) { f.pop_back(); },
       kCheck, 0},
      {"shorter than the header", kQcgRaw, nullptr, [](std::vector<uint8_t>& f, const QcgHalves&) { f.resize(40); },
       kCheck, 0},
      {"zlib first half damaged", kQcgZlib, nullptr,
       [](std::vector<uint8_t>& f, const QcgHalves& h) { FlipByte(f, kQcgDataOffset + h.mStored1.size() / 2); },
       kFirst, 0},
      {"zlib second half damaged", kQcgZlib, nullptr,
       [](std::vector<uint8_t>& f, const QcgHalves& h) {
         FlipByte(f, kQcgDataOffset + h.mStored1.size() + h.mStored2.size() / 2);
       },
       kSecond, 0},
      // The first half unpacks to more than its stated room.
      {"zlib split moved", kQcgZlib,
       [](QcgFixture& q, const QcgHalves& h) {
         q.mOut1 = static_cast<uint32_t>(h.mOut1 - 4);
         q.mOut2 = static_cast<uint32_t>(h.mOut2 + 4);
       },
       nullptr, kFirst, 0},
      {"block codec split moved", kQcgBlockCodec,
       [](QcgFixture& q, const QcgHalves& h) {
         q.mOut1 = static_cast<uint32_t>(h.mOut1 + 4);
         q.mOut2 = static_cast<uint32_t>(h.mOut2 - 4);
       },
       nullptr, kFirst, 0},
      {"block codec second half damaged", kQcgBlockCodec, nullptr,
       [](std::vector<uint8_t>& f, const QcgHalves& h) { f[kQcgDataOffset + h.mStored1.size()] ^= 0x7F; }, kSecond,
       0},
      {"WebP half of another size", kQcgWebp,
       [](QcgFixture& q, const QcgHalves& h) {
         q.mOut1 = static_cast<uint32_t>(h.mOut1 + 6 * 4);
         q.mOut2 = static_cast<uint32_t>(h.mOut2 - 6 * 4);
       },
       nullptr, kFirst, 0},
      {"WebP second half damaged", kQcgWebp, nullptr,
       [](std::vector<uint8_t>& f, const QcgHalves& h) {
         std::memset(&f[kQcgDataOffset + h.mStored1.size()], 0, 16);
       },
       kSecond, 0},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.mName);
    mReports.Clear();
    QcgFixture qcg;
    qcg.mWidth = 6;
    qcg.mHeight = 4;
    qcg.mMethod = c.mMethod;
    qcg.mPixels = RandomPixels(6, 4, 77);
    QcgHalves halves = EncodeQcgHalves(qcg);
    if (c.mChangeFixture) c.mChangeFixture(qcg, halves);
    std::vector<uint8_t> file = WriteQcg(qcg);
    if (c.mChangeBytes) c.mChangeBytes(file, halves);
    ScopedLayerRecord layer;
    EXPECT_EQ(DecodeBytesAs(layer.get(), FILE_TYPE_QCG, file, "bad.qcg"), -1);
    if (c.mBox != nullptr) {
      ASSERT_EQ(mReports.Boxes().size(), 1u);
      EXPECT_EQ(mReports.Boxes()[0].mText, c.mBox);
    } else {
      EXPECT_TRUE(mReports.Boxes().empty());
    }
    EXPECT_EQ(mReports.FirstId(), c.mReport);
    // A header that does not fit its file is refused before the block exists.
    bool refusedByHeader = c.mReport != 0 || c.mBox == kCheck;
    if (refusedByHeader) {
      EXPECT_EQ(layer->mPixelAlloc, nullptr);
    }
  }
}

TEST_P(QcgDecoder, WebpHalvesWithoutTheCodecAreRefused) {
  ReleaseWebpCodec();
  QcgFixture qcg;
  qcg.mWidth = 4;
  qcg.mHeight = 2;
  qcg.mMethod = kQcgWebp;
  qcg.mPixels = RandomPixels(4, 2, 3);
  ScopedLayerRecord layer;
  EXPECT_EQ(DecodeBytesAs(layer.get(), FILE_TYPE_QCG, WriteQcg(qcg), "pic.qcg"), -1);
  ASSERT_EQ(mReports.Boxes().size(), 1u);
  EXPECT_EQ(mReports.Boxes()[0].mText, "WebP の読込に対応していません。");
}

INSTANTIATE_TEST_SUITE_P(Workers, QcgDecoder, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::to_string(info.param) + (info.param == 1 ? "Worker" : "Workers");
                         });

}  // namespace
