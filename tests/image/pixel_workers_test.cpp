#include "image/pixel_workers.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <zlib.h>

#include <csignal>

#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "core/message_ids.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "datasrc/compression.h"
#include "image/blend_kernels.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "shell/engine_reset.h"
#include "support/image_test_env.h"

namespace {

// The idle flag follows the busy count: a worker that has just finished may
// still be writing it when the poster returns, so the check waits a moment.
bool WorkersBecomeIdle() {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (g_WorkersIdle.load() != 1) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

class PixelWorkers : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitProductTables();
    InitBlendKernels();
  }
  void SetUp() override {
    ResetEngineState();
    InitPixelPrimitives();
  }
  void TearDown() override {
    SetWorkerThreadStarter(nullptr);
    ResetEngineState();
  }
  void StartWith(int count) {
    g_WorkerCount = static_cast<uint8_t>(count);
    ASSERT_EQ(StartPixelWorkers(), 0);
    ASSERT_EQ(GetPixelWorkerCount(), count);
  }
};

void FillLayer(LayerRecord* record, int width, int height, std::mt19937& random) {
  uint8_t* block = AllocPixelBuffer(nullptr, width, height, nullptr);
  ASSERT_NE(block, nullptr);
  for (size_t i = 0; i < static_cast<size_t>(width) * height * 4; ++i) block[i] = static_cast<uint8_t>(random());
  SetPixelBuffer(record, block, width, height);
}

// The blend as one call per row straight through the kernel table.
void BlendDirectly(int code, LayerRecord* dst, LayerRecord* src, LayerRecord* mask, int64_t sx, int64_t sy,
                   int64_t dx, int64_t dy, int width, int rows) {
  int entry = src->mBlendMode * 2 + (src->mOpacity >> 8);
  for (int r = 0; r < rows; ++r) {
    uint8_t* d = dst->mPixels + ((dy + r) * dst->mWidth + dx) * 4;
    const uint8_t* s = src->mPixels + ((sy + r) * src->mWidth + sx) * 4;
    const uint8_t* m = mask == nullptr ? nullptr : mask->mPixels + ((sy + r) * mask->mWidth + sx) * 4;
    size_t n = static_cast<size_t>(width) * 4;
    switch (code) {
      case JOB_BLEND_ROWS: g_BlendKernels.mPlain[entry](d, s, src->mOpacity, n); break;
      case JOB_BLEND_ROWS_ALPHA: g_BlendKernels.mAlpha[entry](d, s, src->mOpacity, n); break;
      case JOB_BLEND_ROWS_MASKED:
        g_BlendKernels.mMasked[entry](d, s, m, src->mRuleThreshold, src->mRuleSoftness, n);
        break;
      default:
        g_BlendKernels.mMaskedAlpha[src->mBlendMode * 2](d, s, m, src->mRuleThreshold, src->mRuleSoftness, n);
        break;
    }
  }
}

// A random source and two equal random destinations of one size: one for
// the pool, one for BlendDirectly.
struct BlendTargets {
  BlendTargets(int sourceWidth, int sourceHeight, int width, int height, std::mt19937& random)
      : mWidth(width), mHeight(height) {
    FillLayer(mSource.get(), sourceWidth, sourceHeight, random);
    FillLayer(mPooled.get(), width, height, random);
    FillLayer(mDirect.get(), width, height, random);
    if (mPooled->mPixels != nullptr && mDirect->mPixels != nullptr) {
      std::memcpy(mDirect->mPixels, mPooled->mPixels, PixelBlockBytes(width, height));
    }
  }
  bool Same() {
    return std::memcmp(mPooled->mPixels, mDirect->mPixels, PixelBlockBytes(mWidth, mHeight)) == 0;
  }
  ScopedLayerRecord mSource;
  ScopedLayerRecord mPooled;
  ScopedLayerRecord mDirect;
  int mWidth;
  int mHeight;
};

TEST_F(PixelWorkers, PoolBlendIsByteIdenticalToOneCallBlend) {
  std::mt19937 random(5);
  for (int w = 0; w < 256; ++w) g_RuleWeightTable[w] = static_cast<int32_t>(random() % 257);
  for (int workers = 1; workers <= 4; ++workers) {
    StartWith(workers);
    for (int code : std::initializer_list<int>{JOB_BLEND_ROWS, JOB_BLEND_ROWS_MASKED, JOB_BLEND_ROWS_ALPHA, JOB_BLEND_ROWS_MASKED_ALPHA}) {
      for (int rows : {1, 2, 3, 37}) {
        for (int mode : {BLEND_NORMAL, BLEND_SCREEN, BLEND_SOFT_LIGHT}) {
          ScopedLayerRecord src;
          ScopedLayerRecord mask;
          ScopedLayerRecord pooled;
          ScopedLayerRecord direct;
          FillLayer(src.get(), 23, 40, random);
          FillLayer(mask.get(), 25, 41, random);
          FillLayer(pooled.get(), 31, 45, random);
          FillLayer(direct.get(), 31, 45, random);
          std::memcpy(direct->mPixels, pooled->mPixels, PixelBlockBytes(31, 45));
          src->mBlendMode = static_cast<uint8_t>(mode);
          src->mOpacity = static_cast<int16_t>(rows == 2 ? 256 : 131);
          src->mRuleThreshold = 90;
          src->mRuleSoftness = 40;
          LayerRecord* maskRecord = code == JOB_BLEND_ROWS_MASKED || code == JOB_BLEND_ROWS_MASKED_ALPHA ? mask.get() : nullptr;
          RunBlendJobs(code, pooled.get(), src.get(), maskRecord, 3, 1, 5, 2, 17, rows);
          BlendDirectly(code, direct.get(), src.get(), maskRecord, 3, 1, 5, 2, 17, rows);
          ASSERT_EQ(0, std::memcmp(pooled->mPixels, direct->mPixels, PixelBlockBytes(31, 45)))
              << workers << " workers, code " << code << ", rows " << rows << ", mode " << mode;
        }
      }
    }
    StopPixelWorkers();
    EXPECT_EQ(GetPixelWorkerCount(), 0);
  }
}

// Workers woken by a large job with the quit flag set end without running
// it; the poster runs their bands, and later jobs run there too.
TEST_F(PixelWorkers, QuitFlagEndsEveryWorkerAndLeavesNoBandUndone) {
  struct Case {
    int mWorkers;
    uint8_t mMode;
    int16_t mOpacity;
  };
  for (const Case& c : {Case{3, BLEND_NORMAL, 100}, Case{4, BLEND_SOFT_LIGHT, 90}}) {
    StartWith(c.mWorkers);
    EXPECT_TRUE(WorkersBecomeIdle());
    std::mt19937 random(9 + c.mWorkers);
    BlendTargets targets(520, 520, 520, 520, random);
    LayerRecord* src = targets.mSource.get();
    src->mBlendMode = c.mMode;
    src->mOpacity = c.mOpacity;
    g_QuitFlag.store(1);
    for (int round = 0; round < 2; ++round) {
      RunBlendJobs(JOB_BLEND_ROWS, targets.mPooled.get(), src, nullptr, 0, 0, 0, 0, 520, 520);
      BlendDirectly(JOB_BLEND_ROWS, targets.mDirect.get(), src, nullptr, 0, 0, 0, 0, 520, 520);
    }
    EXPECT_TRUE(targets.Same()) << c.mWorkers << " workers";
    StopPixelWorkers();
    EXPECT_EQ(GetPixelWorkerCount(), 0);
    EXPECT_TRUE(WorkersBecomeIdle());
    g_QuitFlag.store(0);
  }
}

TEST_F(PixelWorkers, StopWakesAndJoinsWorkersThatNeverHadAJob) {
  for (int round = 0; round < 3; ++round) {
    StartWith(4);
    g_QuitFlag.store(1);
    StopPixelWorkers();
    EXPECT_EQ(GetPixelWorkerCount(), 0);
    EXPECT_TRUE(WorkersBecomeIdle());
    g_QuitFlag.store(0);
  }
}

std::atomic<int> g_StartsAllowed{0};
bool LimitedStarter(std::thread& thread, std::function<void()> routine) {
  if (g_StartsAllowed.fetch_sub(1) <= 0) return false;
  thread = std::thread(std::move(routine));
  return true;
}

TEST_F(PixelWorkers, RefusedThreadsShrinkThePoolOrFailTheStart) {
  ImageReportRecorder reports;
  SetWorkerThreadStarter(LimitedStarter);
  g_StartsAllowed = 2;
  g_WorkerCount = 4;
  EXPECT_EQ(StartPixelWorkers(), 0);
  EXPECT_EQ(GetPixelWorkerCount(), 2);
  EXPECT_EQ(g_WorkerCount, 2);
  EXPECT_FALSE(reports.Quit());
  StopPixelWorkers();

  g_StartsAllowed = 0;
  g_WorkerCount = 4;
  EXPECT_NE(StartPixelWorkers(), 0);
  EXPECT_EQ(GetPixelWorkerCount(), 0);
  EXPECT_EQ(reports.FirstId(), kMsgOutOfMemory.mNumber);
  EXPECT_TRUE(reports.Quit());
}

TEST_F(PixelWorkers, CodesWithoutARoutineCompleteAtOnce) {
  StartWith(4);
  for (int code : {static_cast<int>(JOB_TEXTURE_LEVEL), static_cast<int>(JOB_SCALE_BILINEAR_ALT), 777}) {
    for (int i = 0; i < 4; ++i) {
      g_WorkerJobs[i].mCode = code;
      PostWorkerJob(i);
    }
    WaitForWorkerJobs(4);
    for (int i = 0; i < 4; ++i) {
      EXPECT_TRUE(g_WorkerJobs[i].mRan);
      EXPECT_EQ(g_WorkerJobs[i].mStatus, 0);
    }
  }
}

std::vector<uint8_t> QcgFile(const std::vector<uint8_t>& half1, const std::vector<uint8_t>& half2) {
  std::vector<uint8_t> file(kQcgHeaderBytes, 0);
  file.insert(file.end(), half1.begin(), half1.end());
  file.insert(file.end(), half2.begin(), half2.end());
  return file;
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::vector<uint8_t> out(size);
  EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9), Z_OK);
  out.resize(size);
  return out;
}

TEST_F(PixelWorkers, QcgHalvesReportTheirStatus) {
  LoadCompressionLibrary();
  std::vector<uint8_t> pixels(4 * 6 * 4);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7 + 3);
  std::vector<uint8_t> first(pixels.begin(), pixels.begin() + 40);
  std::vector<uint8_t> second(pixels.begin() + 40, pixels.end());
  auto snappy = [](const std::vector<uint8_t>& data) {
    size_t size = g_SnpApi.mCompressedLength(data.size());
    std::vector<uint8_t> out(size);
    EXPECT_EQ(g_SnpApi.mCompress(reinterpret_cast<const char*>(data.data()), data.size(),
                                 reinterpret_cast<char*>(out.data()), &size),
              0);
    out.resize(size);
    return out;
  };
  for (int workers : {1, 2, 3}) {
    StartWith(workers);
    struct Case {
      int mCode;
      std::vector<uint8_t> mHalf1, mHalf2;
    };
    std::vector<Case> cases = {{JOB_QCG_RAW, first, second},
                               {JOB_QCG_ZLIB, Deflate(first), Deflate(second)},
                               {JOB_QCG_SNP, snappy(first), snappy(second)}};
    for (const Case& c : cases) {
      std::vector<uint8_t> file = QcgFile(c.mHalf1, c.mHalf2);
      std::vector<uint8_t> out(PixelBlockBytes(4, 6), 0xEE);
      EXPECT_EQ(RunQcgJobs(c.mCode, out.data(), out.size(), file.data(), file.size(), first.size(), c.mHalf1.size(),
                           second.size(), c.mHalf2.size(), 4, 6),
                0)
          << c.mCode << " with " << workers;
      EXPECT_EQ(0, std::memcmp(out.data(), pixels.data(), pixels.size())) << c.mCode << " with " << workers;

      // A damaged second half fails the unpack instead of showing as loaded.
      std::vector<uint8_t> damaged = file;
      damaged[kQcgHeaderBytes + c.mHalf1.size() + c.mHalf2.size() / 2] ^= 0x5A;
      damaged.resize(damaged.size() - 3);
      EXPECT_NE(RunQcgJobs(c.mCode, out.data(), out.size(), damaged.data(), damaged.size(), first.size(),
                           c.mHalf1.size(), second.size(), c.mHalf2.size(), 4, 6),
                0)
          << c.mCode << " with " << workers;
      // Stored sizes past the end of the file are refused before reading.
      EXPECT_NE(RunQcgJobs(c.mCode, out.data(), out.size(), file.data(), file.size(), first.size(), c.mHalf1.size(),
                           second.size(), c.mHalf2.size() + 100, 4, 6),
                0);
      // Output sizes past the pixel block are refused before writing.
      EXPECT_NE(RunQcgJobs(c.mCode, out.data(), 50, file.data(), file.size(), first.size(), c.mHalf1.size(),
                           second.size(), c.mHalf2.size(), 4, 6),
                0);
    }
    StopPixelWorkers();
  }
}

// A smooth-scale job over a band: the source, destination and column table
// of a 2:1 reduction from srcW x srcH.
struct SmoothScale {
  std::vector<uint8_t> mSource;
  std::vector<uint8_t> mDest;
  std::vector<int32_t> mColumns;
  WorkerJob mJob;

  SmoothScale(int srcW, int srcH, int destW, int destH) {
    mSource.assign(PixelBlockBytes(srcW, srcH), 0);
    mDest.assign(PixelBlockBytes(destW, destH), 0xCC);
    for (int l = 0; l < destW; ++l) {
      mColumns.push_back(l * 2 * 256);
      mColumns.push_back(l * 2 * 256 + 128);
    }
    mJob.mCode = JOB_SCALE_SMOOTH;
    mJob.mScaleFirstRow = 0;
    mJob.mScaleEndRow = destH;
    mJob.mFirstColumn = 0;
    mJob.mEndColumn = destW;
    mJob.mX0 = 0;
    mJob.mY0 = 0;
    mJob.mX1 = srcW * 100;
    mJob.mY1 = (srcH - 1) * 100;
    mJob.mSourceWidth = srcW;
    mJob.mSourceHeight = srcH;
    mJob.mDestWidth = destW * 100;
    mJob.mDestHeight = destH * 100;
    mJob.mDestPixels = mDest.data();
    mJob.mSourcePixels = mSource.data();
    mJob.mColumnTable = mColumns.data();
  }
  uint32_t DestPixel(int x, int y, int destW) const {
    uint32_t value;
    std::memcpy(&value, mDest.data() + (static_cast<size_t>(y) * destW + x) * 4, 4);
    return value;
  }
};

TEST_F(PixelWorkers, SmoothScaleAveragesSubSamplesAndClearsHiddenColumns) {
  // A uniform picture stays uniform away from the last row and column.
  SmoothScale uniform(8, 8, 4, 4);
  for (size_t i = 0; i < 8 * 8 * 4; ++i) uniform.mSource[i] = 0x40;
  uniform.mJob.mFirstColumn = 1;
  uniform.mJob.mEndColumn = 3;
  RunWorkerJob(&uniform.mJob, -1);
  EXPECT_EQ(uniform.mJob.mStatus, 0);
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(uniform.DestPixel(0, y, 4), 0u) << y;
    EXPECT_EQ(uniform.DestPixel(1, y, 4), 0x40404040u) << y;
    EXPECT_EQ(uniform.DestPixel(2, y, 4), 0x40404040u) << y;
    EXPECT_EQ(uniform.DestPixel(3, y, 4), 0u) << y;
  }

  // The same job on a worker (with its own work rows) gives the same bytes.
  StartWith(2);
  SmoothScale pooled(8, 8, 4, 4);
  pooled.mSource = uniform.mSource;
  pooled.mJob.mFirstColumn = 1;
  pooled.mJob.mEndColumn = 3;
  g_WorkerJobs[0] = pooled.mJob;
  g_WorkerJobs[1].mCode = JOB_NONE;
  PostWorkerJob(0);
  PostWorkerJob(1);
  WaitForWorkerJobs(2);
  EXPECT_EQ(g_WorkerJobs[0].mStatus, 0);
  EXPECT_EQ(pooled.mDest, uniform.mDest);

  // Wider than the work rows: refused with a status, nothing written.
  SmoothScale wide(8, 8, 4, 4);
  wide.mJob.mDestWidth = (kSmoothScaleMaxWidth + 1) * 100;
  RunWorkerJob(&wide.mJob, -1);
  EXPECT_NE(wide.mJob.mStatus, 0);
}

// The smooth scale on random pixels against the formula written out: per
// byte, four bilinear sub-samples (start and middle column on two sub-rows),
// the sub-rows averaged first, then the two columns.
TEST_F(PixelWorkers, SmoothScaleMatchesTheSubSampleFormula) {
  constexpr int kSrcW = 9;
  constexpr int kSrcH = 7;
  constexpr int kDestW = 5;
  constexpr int kDestH = 4;
  SmoothScale scale(kSrcW, kSrcH, kDestW, kDestH);
  std::mt19937 random(41);
  for (uint8_t& b : scale.mSource) b = static_cast<uint8_t>(random());
  // Start and middle offsets with fractions of their own.
  scale.mColumns.clear();
  for (int l = 0; l < kDestW; ++l) {
    scale.mColumns.push_back(l * 410 + 37);
    scale.mColumns.push_back(l * 410 + 37 + 205);
  }
  scale.mJob.mColumnTable = scale.mColumns.data();
  scale.mJob.mY1 = 520;  // span 520 over D = 300
  RunWorkerJob(&scale.mJob, -1);
  ASSERT_EQ(scale.mJob.mStatus, 0);

  auto sample = [&](int64_t row, int g, int fy, int b) {
    const uint8_t* p00 = scale.mSource.data() + (static_cast<size_t>(row) * kSrcW + (g >> 8)) * 4;
    const uint8_t* p10 = p00 + kSrcW * 4;
    int fx = g & 255;
    int top = (p00[b] * (256 - fx) + p00[b + 4] * fx) >> 8;
    int bottom = (p10[b] * (256 - fx) + p10[b + 4] * fx) >> 8;
    return (top * (256 - fy) + bottom * fy) >> 8;
  };
  for (int i = 0; i < kDestH; ++i) {
    int64_t p1 = 256LL * i * 520 / 300;
    int64_t p2 = (256LL * i + 128) * 520 / 300;
    for (int l = 0; l < kDestW; ++l) {
      for (int b = 0; b < 4; ++b) {
        int left = (sample(p1 >> 8, scale.mColumns[2 * l], p1 & 255, b) +
                    sample(p2 >> 8, scale.mColumns[2 * l], p2 & 255, b) + 1) >> 1;
        int right = (sample(p1 >> 8, scale.mColumns[2 * l + 1], p1 & 255, b) +
                     sample(p2 >> 8, scale.mColumns[2 * l + 1], p2 & 255, b) + 1) >> 1;
        ASSERT_EQ(scale.mDest[(static_cast<size_t>(i) * kDestW + l) * 4 + b], (left + right + 1) >> 1)
            << "row " << i << " column " << l << " byte " << b;
      }
    }
  }
}

TEST_F(PixelWorkers, SmoothScaleSecondSubRowAtTheLastSourceRow) {
  // Source 4x2: row 0 value 0, row 1 value 200; the spare row below is 0.
  // One destination row whose second sub-row lands on source row 1.
  auto run = [](int64_t x0) {
    SmoothScale scale(4, 2, 1, 2);
    for (int x = 0; x < 4; ++x) {
      for (int b = 0; b < 4; ++b) scale.mSource[(4 + x) * 4 + b] = 200;
    }
    scale.mColumns = {0, 0};
    scale.mJob.mColumnTable = scale.mColumns.data();
    scale.mJob.mX0 = x0 * 100;
    scale.mJob.mSourceWidth = 4;
    scale.mJob.mY0 = 0;
    scale.mJob.mY1 = 100;
    scale.mJob.mDestHeight = 200;  // D = 100
    scale.mJob.mScaleFirstRow = 1;
    scale.mJob.mScaleEndRow = 2;
    scale.mJob.mDestWidth = 100;
    RunWorkerJob(&scale.mJob, -1);
    EXPECT_EQ(scale.mJob.mStatus, 0);
    return scale.DestPixel(0, 1, 1) & 0xFF;
  };
  // Row i = 1, span 100, D = 100: p1 = 256 (row 1, fy 0), p2 = 384 (row 1, fy 128).
  // x0 = 0: the second sub-row keeps row 1 and blends half of the spare row
  // (0) below: (200 + 100 + 1) >> 1 = 150 for both sub-samples.
  EXPECT_EQ(run(0), 150u);
  // x0 = 1: its first sample lies beyond the last row's start, so it uses the
  // first sub-row (row 1, fy 0) twice: 200.
  EXPECT_EQ(run(1), 200u);
}

}  // namespace

namespace {

// Blends large enough to go through the pool: every band on its worker, the
// bytes those of one call per row, the job blocks holding the bands.
TEST_F(PixelWorkers, LargeBlendsRunInBandsOnTheWorkers) {
  std::mt19937 random(17);
  for (int w = 0; w < 256; ++w) g_RuleWeightTable[w] = static_cast<int32_t>(random() % 257);
  constexpr int kWidth = 590;
  constexpr int kRows = 451;
  static_assert(static_cast<int64_t>(kWidth) * kRows >= kSleepingPoolJobMinPixels);
  for (int workers : {2, 3, 4}) {
    StartWith(workers);
    for (int code : {JOB_BLEND_ROWS, JOB_BLEND_ROWS_MASKED, JOB_BLEND_ROWS_ALPHA, JOB_BLEND_ROWS_MASKED_ALPHA}) {
      ScopedLayerRecord src;
      ScopedLayerRecord mask;
      ScopedLayerRecord pooled;
      ScopedLayerRecord direct;
      FillLayer(src.get(), 600, 460, random);
      FillLayer(mask.get(), 605, 462, random);
      FillLayer(pooled.get(), 596, 454, random);
      FillLayer(direct.get(), 596, 454, random);
      std::memcpy(direct->mPixels, pooled->mPixels, PixelBlockBytes(596, 454));
      src->mBlendMode = BLEND_OVERLAY;
      src->mOpacity = 200;
      src->mRuleThreshold = 70;
      src->mRuleSoftness = 30;
      bool masked = code == JOB_BLEND_ROWS_MASKED || code == JOB_BLEND_ROWS_MASKED_ALPHA;
      LayerRecord* maskRecord = masked ? mask.get() : nullptr;
      RunBlendJobs(code, pooled.get(), src.get(), maskRecord, 4, 6, 3, 2, kWidth, kRows);
      BlendDirectly(code, direct.get(), src.get(), maskRecord, 4, 6, 3, 2, kWidth, kRows);
      ASSERT_EQ(0, std::memcmp(pooled->mPixels, direct->mPixels, PixelBlockBytes(596, 454)))
          << workers << " workers, code " << code;
      for (int i = 0; i < workers; ++i) {
        EXPECT_EQ(g_WorkerJobs[i].mCode, code);
        EXPECT_EQ(g_WorkerJobs[i].mFirstRow, kRows * i / workers);
        EXPECT_EQ(g_WorkerJobs[i].mEndRow, kRows * (i + 1) / workers);
        EXPECT_TRUE(g_WorkerJobs[i].mRan);
      }
    }
    EXPECT_TRUE(WorkersBecomeIdle());
    StopPixelWorkers();
  }
}

// A small blend runs on the posting thread; the job blocks hold the bands
// as though the workers had run them.
TEST_F(PixelWorkers, SmallBlendsRunOnThePosterWithTheBandsRecorded) {
  StartWith(4);
  for (int i = 0; i < 4; ++i) {
    g_WorkerJobs[i].mCode = JOB_TEXTURE_LEVEL;
    g_WorkerJobs[i].mRan = false;
  }
  std::mt19937 random(4);
  BlendTargets targets(64, 64, 64, 64, random);
  targets.mSource->mOpacity = 256;
  RunBlendJobs(JOB_BLEND_ROWS_ALPHA, targets.mPooled.get(), targets.mSource.get(), nullptr, 0, 0, 0, 0, 64, 10);
  BlendDirectly(JOB_BLEND_ROWS_ALPHA, targets.mDirect.get(), targets.mSource.get(), nullptr, 0, 0, 0, 0, 64, 10);
  EXPECT_TRUE(targets.Same());
  const int64_t bands[5] = {0, 2, 5, 7, 10};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(g_WorkerJobs[i].mCode, JOB_BLEND_ROWS_ALPHA) << i;
    EXPECT_EQ(g_WorkerJobs[i].mFirstRow, bands[i]) << i;
    EXPECT_EQ(g_WorkerJobs[i].mEndRow, bands[i + 1]) << i;
    EXPECT_EQ(g_WorkerJobs[i].mWidth, 64) << i;
    EXPECT_TRUE(g_WorkerJobs[i].mRan) << i;
  }
}

// A worker held fast (here in a signal handler) cannot take its start
// signal. The poster claims every chunk itself, takes that worker's job back
// and returns without waiting for it; the bytes are those of one call per
// row.
std::atomic<bool> g_HoldWorker{false};
std::atomic<bool> g_WorkerHeld{false};
pthread_t g_FirstWorker;
std::atomic<int> g_StartedThreads{0};
void HoldWorker(int) {
  g_WorkerHeld.store(true);
  while (g_HoldWorker.load()) {
  }
}
bool RecordingStarter(std::thread& thread, std::function<void()> routine) {
  thread = std::thread(std::move(routine));
  if (g_StartedThreads.fetch_add(1) == 0) g_FirstWorker = thread.native_handle();
  return true;
}

TEST_F(PixelWorkers, AWorkerThatDoesNotWakeIsNotWaitedFor) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "ThreadSanitizer defers the signal that holds the worker";
#endif
  struct sigaction hold = {};
  struct sigaction previous = {};
  hold.sa_handler = HoldWorker;
  sigemptyset(&hold.sa_mask);
  ASSERT_EQ(sigaction(SIGUSR2, &hold, &previous), 0);
  g_StartedThreads = 0;
  SetWorkerThreadStarter(RecordingStarter);
  StartWith(2);
  g_HoldWorker = true;
  g_WorkerHeld = false;
  ASSERT_EQ(pthread_kill(g_FirstWorker, SIGUSR2), 0);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!g_WorkerHeld.load() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  ASSERT_TRUE(g_WorkerHeld.load());

  std::mt19937 random(31);
  BlendTargets targets(520, 520, 520, 520, random);
  LayerRecord* src = targets.mSource.get();
  src->mOpacity = 256;
  src->mBlendMode = BLEND_SCREEN;
  std::atomic<bool> finished{false};
  std::thread poster([&] {
    RunBlendJobs(JOB_BLEND_ROWS_ALPHA, targets.mPooled.get(), src, nullptr, 0, 0, 0, 0, 520, 520);
    finished.store(true);
  });
  deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!finished.load() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  bool returnedWhileHeld = finished.load();
  g_HoldWorker = false;
  poster.join();
  sigaction(SIGUSR2, &previous, nullptr);
  EXPECT_TRUE(returnedWhileHeld);
  BlendDirectly(JOB_BLEND_ROWS_ALPHA, targets.mDirect.get(), src, nullptr, 0, 0, 0, 0, 520, 520);
  EXPECT_TRUE(targets.Same());
  EXPECT_TRUE(g_WorkerJobs[0].mRan);
  StopPixelWorkers();
  EXPECT_TRUE(WorkersBecomeIdle());
}

// A parts run does every part exactly once whatever the pool's size, each
// on a thread whose slot is its own for the run, and uses the workers when
// they run (the parts here wait for one another so that no thread can take
// them all before the others wake).
TEST_F(PixelWorkers, PartsRunEveryPartOnceOnTheWorkersAndThePoster) {
  struct Run {
    std::atomic<int> mDone[64];
    std::atomic<int> mSlotUsers[kPartSlots];
    std::atomic<int> mSlotsSeen{0};
    std::atomic<bool> mSlotShared{false};
    std::atomic<int> mStarted{0};
    int mWaitFor = 1;
  };
  auto routine = [](void* context, int64_t part, int slot) {
    Run& run = *static_cast<Run*>(context);
    ASSERT_GE(slot, 0);
    ASSERT_LT(slot, kPartSlots);
    if (run.mSlotUsers[slot].fetch_add(1) != 0) run.mSlotShared.store(true);
    run.mSlotsSeen.fetch_or(1 << slot);
    // The first parts wait (briefly) until as many threads as the pool has
    // are inside one, so the run shows that it really is shared.
    if (run.mStarted.fetch_add(1) < run.mWaitFor) {
      auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
      while (run.mStarted.load() < run.mWaitFor && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
      }
    }
    run.mDone[part].fetch_add(1);
    run.mSlotUsers[slot].fetch_sub(1);
  };
  for (int workers : {0, 1, 2, 4}) {
    SCOPED_TRACE(workers);
    if (workers > 0) StartWith(workers);
    Run run;
    for (auto& done : run.mDone) done.store(0);
    for (auto& users : run.mSlotUsers) users.store(0);
    run.mWaitFor = workers == 0 ? 1 : workers;
    RunWorkerParts(64, routine, &run);
    for (int part = 0; part < 64; ++part) EXPECT_EQ(run.mDone[part].load(), 1) << part;
    EXPECT_FALSE(run.mSlotShared.load());
    int seen = run.mSlotsSeen.load();
    if (workers == 0) {
      EXPECT_EQ(seen, 1 << kMaxPixelWorkers);
    } else {
      EXPECT_EQ(seen & ~((1 << kPartSlots) - 1), 0);
      EXPECT_GE(__builtin_popcount(seen), workers) << "the parts stayed on fewer threads than the pool has";
    }
    StopPixelWorkers();
    EXPECT_TRUE(WorkersBecomeIdle());
  }
}

}  // namespace
