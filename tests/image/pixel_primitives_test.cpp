#include "image/pixel_primitives.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/alloc.h"
#include "core/settings.h"

namespace {

constexpr size_t kGuard = 16;
constexpr uint8_t kCanary = 0xA5;

// A row buffer with canaries on both sides, placed at a chosen misalignment.
struct GuardedRow {
  alignas(64) std::array<uint8_t, 2 * kGuard + 64 + 8 + 64 * 2 + 64> mStorage;
  size_t mOffset;
  size_t mLength;

  GuardedRow(size_t misalignment, size_t length) : mOffset(kGuard + misalignment), mLength(length) {
    mStorage.fill(kCanary);
  }
  uint8_t* Data() { return mStorage.data() + mOffset; }
  std::string BrokenCanary() const {
    for (size_t i = 0; i < mOffset; ++i) {
      if (mStorage[i] != kCanary) return "before the row at " + std::to_string(i);
    }
    for (size_t i = mOffset + mLength; i < mStorage.size(); ++i) {
      if (mStorage[i] != kCanary) return "after the row at " + std::to_string(i - mOffset);
    }
    return "";
  }
};

// Bytes whose alpha positions often hold the values where the rules change.
void FillRandom(std::mt19937& random, uint8_t* data, size_t n) {
  static constexpr uint8_t kAlphas[] = {0, 1, 2, 127, 128, 129, 254, 255};
  for (size_t i = 0; i < n; ++i) {
    if ((i & 3) == 3 && (random() & 1) != 0) {
      data[i] = kAlphas[random() % std::size(kAlphas)];
    } else {
      data[i] = static_cast<uint8_t>(random());
    }
  }
}

struct SlotCall {
  const char* mName;
  // Runs the slot of `table` on dst with the prepared inputs; n as the slot counts it.
  std::function<void(const PixelPrimitiveTable&, uint8_t* dst, const uint8_t* a, const uint8_t* b, int o, int p,
                      size_t n)>
      mRun;
  bool mUsesOpacity;
  // Bytes the slot may write for a count n (the downscale counts pixels).
  std::function<size_t(size_t)> mWritten;
};

std::vector<SlotCall> AllSlots() {
  auto bytes = [](size_t n) { return n; };
  auto wholePixels = [](size_t n) { return n & ~size_t{3}; };
  return {
      {"ZeroBytes", [](auto& t, uint8_t* d, auto, auto, int, int, size_t n) { t.mZeroBytes(d, n); }, false, bytes},
      {"FillBytes", [](auto& t, uint8_t* d, auto, auto, int o, int, size_t n) { t.mFillBytes(d, n, 0x1234500u + o); },
       true, bytes},
      {"FillDwords",
       [](auto& t, uint8_t* d, auto, auto, int o, int, size_t n) { t.mFillDwords(d, n, 0x89ABCD00u + o); }, true,
       wholePixels},
      {"CopyBytes", [](auto& t, uint8_t* d, const uint8_t* a, auto, int, int, size_t n) { t.mCopyBytes(d, a, n); },
       false, bytes},
      {"BlendRowOpacity",
       [](auto& t, uint8_t* d, const uint8_t* a, auto, int o, int, size_t n) { t.mBlendRowOpacity(d, a, o, n); }, true,
       bytes},
      {"BlendRowAlpha", [](auto& t, uint8_t* d, const uint8_t* a, auto, int, int, size_t n) { t.mBlendRowAlpha(d, a, n); },
       false, wholePixels},
      {"BlendRowAlphaOpacity",
       [](auto& t, uint8_t* d, const uint8_t* a, auto, int o, int, size_t n) { t.mBlendRowAlphaOpacity(d, a, o, n); },
       true, wholePixels},
      {"BlendRowRuleWeighted",
       [](auto& t, uint8_t* d, const uint8_t* a, const uint8_t* b, int o, int p, size_t n) {
         t.mBlendRowRuleWeighted(d, a, b, o, p, n);
       },
       true, bytes},
      {"CrossFadeRow",
       [](auto& t, uint8_t* d, const uint8_t* a, const uint8_t* b, int o, int, size_t n) { t.mCrossFadeRow(d, a, b, o, n); },
       true, bytes},
      {"AddRowSaturate",
       [](auto& t, uint8_t* d, const uint8_t* a, auto, int, int, size_t n) { t.mAddRowSaturate(d, a, n); }, false, bytes},
      {"AddRowOpacity",
       [](auto& t, uint8_t* d, const uint8_t* a, auto, int o, int, size_t n) { t.mAddRowOpacity(d, a, o, n); }, true,
       bytes},
      {"AddRowAlpha", [](auto& t, uint8_t* d, const uint8_t* a, auto, int, int, size_t n) { t.mAddRowAlpha(d, a, n); },
       false, wholePixels},
      {"AddRowAlphaOpacity",
       [](auto& t, uint8_t* d, const uint8_t* a, auto, int o, int, size_t n) { t.mAddRowAlphaOpacity(d, a, o, n); },
       true, wholePixels},
      {"SubtractRowSaturate",
       [](auto& t, uint8_t* d, const uint8_t* a, auto, int, int, size_t n) { t.mSubtractRowSaturate(d, a, n); }, false,
       bytes},
      {"MultiplyRow", [](auto& t, uint8_t* d, const uint8_t* a, auto, int, int, size_t n) { t.mMultiplyRow(d, a, n); },
       false, wholePixels},
      {"ScreenRow", [](auto& t, uint8_t* d, const uint8_t* a, auto, int, int, size_t n) { t.mScreenRow(d, a, n); },
       false, bytes},
      {"ScreenRowOpacity",
       [](auto& t, uint8_t* d, const uint8_t* a, auto, int o, int, size_t n) { t.mScreenRowOpacity(d, a, o, n); }, true,
       bytes},
      {"LightenRow", [](auto& t, uint8_t* d, const uint8_t* a, auto, int, int, size_t n) { t.mLightenRow(d, a, n); },
       false, bytes},
      {"DarkenRow", [](auto& t, uint8_t* d, const uint8_t* a, auto, int, int, size_t n) { t.mDarkenRow(d, a, n); },
       false, bytes},
      {"LinearBurnRow", [](auto& t, uint8_t* d, const uint8_t* a, auto, int, int, size_t n) { t.mLinearBurnRow(d, a, n); },
       false, bytes},
      {"LinearLightRow",
       [](auto& t, uint8_t* d, const uint8_t* a, auto, int, int, size_t n) { t.mLinearLightRow(d, a, n); }, false, bytes},
      {"Downscale2x2Row",
       // a holds two source rows of 32 pixels; n counts output pixels (n/4 of them here).
       [](auto& t, uint8_t* d, const uint8_t* a, auto, int, int, size_t n) { t.mDownscale2x2Row(d, a, 16, n / 8); },
       false, [](size_t n) { return (n / 8) * 4; }},
      {"AlphaOverRow", [](auto& t, uint8_t* d, const uint8_t* a, auto, int, int, size_t n) { t.mAlphaOverRow(d, a, n); },
       false, wholePixels},
      {"AlphaOverRowSourceOpacity",
       [](auto& t, uint8_t* d, const uint8_t* a, auto, int o, int, size_t n) { t.mAlphaOverRowSourceOpacity(d, a, o, n); },
       true, wholePixels},
      {"AlphaOverRowDestOpacity",
       [](auto& t, uint8_t* d, const uint8_t* a, auto, int o, int, size_t n) { t.mAlphaOverRowDestOpacity(d, a, o, n); },
       true, wholePixels},
      {"AlphaOverRowBothOpacity",
       [](auto& t, uint8_t* d, const uint8_t* a, auto, int o, int p, size_t n) {
         t.mAlphaOverRowBothOpacity(d, a, p & 511, o, n);
       },
       true, wholePixels},
  };
}

TEST(PixelPrimitives, EverySlotMatchesItsReferenceAtEveryLevel) {
  std::vector<SlotCall> slots = AllSlots();
  ASSERT_EQ(slots.size(), static_cast<size_t>(kPixelPrimitiveSlots));
  std::mt19937 random(20240611);
  for (int w = 0; w < 256; ++w) g_RuleWeightTable[w] = w % 7 == 0 ? w % 3 : static_cast<int32_t>(random() % 257);
  // Opacities where the rules change; the second value feeds the rule
  // softness and the destination opacity.
  static constexpr int kOpacities[] = {0, 1, 2, 64, 127, 128, 129, 200, 255, 256};
  static constexpr int kSecond[] = {0, 1, 2, 255, 256, 300, -5, 1000, 128, 37};
  for (int level = 1; level <= 3; ++level) {
    const PixelPrimitiveTable& fast = GetPixelPrimitives(level);
    const PixelPrimitiveTable& reference = GetReferencePrimitives(level);
    for (const SlotCall& slot : slots) {
      for (size_t n = 0; n <= 64; ++n) {
        for (size_t misalignment = 0; misalignment < 8; ++misalignment) {
          for (size_t k = 0; k < (slot.mUsesOpacity ? std::size(kOpacities) : 1); ++k) {
            int o = kOpacities[k];
            int p = kSecond[(k + n) % std::size(kSecond)];
            std::vector<uint8_t> a(160);
            std::vector<uint8_t> b(160);
            FillRandom(random, a.data(), a.size());
            FillRandom(random, b.data(), b.size());
            GuardedRow row1(misalignment, slot.mWritten(n));
            GuardedRow row2(misalignment, slot.mWritten(n));
            FillRandom(random, row1.Data(), row1.mLength);
            std::memcpy(row2.Data(), row1.Data(), row1.mLength);
            // The source is misaligned differently from the destination.
            const uint8_t* source = a.data() + (misalignment * 3) % 8;
            slot.mRun(fast, row1.Data(), source, b.data() + misalignment, o, p, n);
            slot.mRun(reference, row2.Data(), source, b.data() + misalignment, o, p, n);
            SCOPED_TRACE(std::string(slot.mName) + " level " + std::to_string(level) + " n " + std::to_string(n) +
                         " misalignment " + std::to_string(misalignment) + " opacity " + std::to_string(o) +
                         " second " + std::to_string(p));
            ASSERT_EQ(row1.BrokenCanary(), "");
            ASSERT_EQ(row2.BrokenCanary(), "");
            ASSERT_EQ(0, std::memcmp(row1.Data(), row2.Data(), row1.mLength));
          }
        }
      }
    }
  }
}

// A row of pixels in an 8-aligned buffer, written at a byte offset.
struct AlignedPixels {
  alignas(16) uint8_t mBytes[96] = {};
  uint8_t* At(size_t offset) { return mBytes + offset; }
};

TEST(PixelPrimitives, OpacityBlendBlockRuleAndEdgeValues) {
  for (int level = 1; level <= 3; ++level) {
    SCOPED_TRACE(level);
    const PixelPrimitiveTable& table = GetPixelPrimitives(level);
    AlignedPixels dst;
    AlignedPixels src;
    // o = 256 copies, o = 0 leaves the destination.
    for (int i = 0; i < 20; ++i) {
      dst.mBytes[i] = static_cast<uint8_t>(i * 13);
      src.mBytes[i] = static_cast<uint8_t>(255 - i * 7);
    }
    table.mBlendRowOpacity(dst.mBytes, src.mBytes, 0, 20);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(dst.mBytes[i], i * 13);
    table.mBlendRowOpacity(dst.mBytes, src.mBytes, 256, 20);
    EXPECT_EQ(0, std::memcmp(dst.mBytes, src.mBytes, 20));
  }
  // o = 128 with d = s = 1: 0 in a block and 1 in the tail at level 1.
  AlignedPixels dst;
  AlignedPixels src;
  std::memset(dst.mBytes, 1, 12);
  std::memset(src.mBytes, 1, 12);
  GetPixelPrimitives(1).mBlendRowOpacity(dst.mBytes, src.mBytes, 128, 12);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(dst.mBytes[i], 0) << i;
  for (int i = 8; i < 12; ++i) EXPECT_EQ(dst.mBytes[i], 1) << i;

  // Level 2/3 first treat single bytes up to 8-byte alignment: with d = 0,
  // s = 1, o = 128 the single form gives 0 and the block average 1.
  for (int level : {2, 3}) {
    AlignedPixels d;
    AlignedPixels s;
    std::memset(s.mBytes, 1, sizeof(s.mBytes));
    GetPixelPrimitives(level).mBlendRowOpacity(d.At(4), s.At(4), 128, 16);
    const uint8_t expected[16] = {0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(d.At(4), expected, 16)) << level;
  }
}

TEST(PixelPrimitives, DocumentedValues) {
  for (int level = 1; level <= 3; ++level) {
    SCOPED_TRACE(level);
    const PixelPrimitiveTable& table = GetPixelPrimitives(level);
    // Add with opacity: 250 in a block, 227 in the tail.
    {
      AlignedPixels d;
      AlignedPixels s;
      std::memset(d.mBytes, 200, 12);
      std::memset(s.mBytes, 100, 12);
      table.mAddRowOpacity(d.mBytes, s.mBytes, 128, 12);
      EXPECT_EQ(d.mBytes[0], 250);
      EXPECT_EQ(d.mBytes[7], 250);
      EXPECT_EQ(d.mBytes[8], 227);
    }
    // Subtract is the source minus the destination, floored at 0.
    {
      uint8_t d[2] = {10, 5};
      uint8_t s[2] = {5, 10};
      table.mSubtractRowSaturate(d, s, 2);
      EXPECT_EQ(d[0], 0);
      EXPECT_EQ(d[1], 5);
    }
    // FillDwords with n = 10 writes two words and leaves bytes 8 and 9.
    {
      uint8_t d[12];
      std::memset(d, 0x55, sizeof(d));
      table.mFillDwords(d, 10, 0x04030201u);
      const uint8_t expected[12] = {1, 2, 3, 4, 1, 2, 3, 4, 0x55, 0x55, 0x55, 0x55};
      EXPECT_EQ(0, std::memcmp(d, expected, 12));
    }
    // Alpha-over onto a transparent destination takes the source exactly.
    {
      uint8_t d[8] = {10, 20, 30, 0, 10, 20, 30, 0};
      uint8_t s[8] = {200, 100, 50, 77, 200, 100, 50, 0};
      table.mAlphaOverRow(d, s, 8);
      const uint8_t expected[8] = {200, 100, 50, 77, 10, 20, 30, 0};
      EXPECT_EQ(0, std::memcmp(d, expected, 8));
    }
  }
  // Level 1 alpha blend of three pixels: the block pair blends alpha, the
  // last single pixel keeps it.
  AlignedPixels d;
  AlignedPixels s;
  for (int i = 0; i < 12; ++i) {
    d.mBytes[i] = 40;
    s.mBytes[i] = 200;
  }
  for (int p = 0; p < 3; ++p) s.mBytes[p * 4 + 3] = 100;
  GetPixelPrimitives(1).mBlendRowAlpha(d.mBytes, s.mBytes, 12);
  int blended = (100 * 101 + 40 * 156) >> 8;
  EXPECT_EQ(d.mBytes[3], blended);
  EXPECT_EQ(d.mBytes[7], blended);
  EXPECT_EQ(d.mBytes[11], 40);
  EXPECT_EQ(d.mBytes[8], 40 + ((160 * 101) >> 8));
}

// An opacity-scaled source can overshoot: the colours saturate instead of
// wrapping (d = 15, s = 0, dA = 0, sA = 255, o = 200 once gave 255).
TEST(PixelPrimitives, AlphaOverWithOpacitiesSaturates) {
  for (int level = 1; level <= 3; ++level) {
    const PixelPrimitiveTable& table = GetPixelPrimitives(level);
    uint8_t d[4] = {15, 15, 15, 0};
    uint8_t s[4] = {0, 0, 0, 255};
    table.mAlphaOverRowSourceOpacity(d, s, 200, 4);
    EXPECT_EQ(d[0], 0);
    EXPECT_EQ(d[3], 199);
    uint8_t high[4] = {240, 240, 240, 0};
    uint8_t white[4] = {255, 255, 255, 255};
    table.mAlphaOverRowSourceOpacity(high, white, 200, 4);
    EXPECT_EQ(high[0], 255);
  }
  // Slot 25 over a sweep of inputs: a black source never brightens and a
  // white one never darkens (a wrapped overshoot would).
  const PixelPrimitiveTable& table = GetPixelPrimitives(3);
  for (int dv : {0, 15, 128, 250}) {
    for (int sv : {0, 255}) {
      for (int da : {0, 1, 128, 255}) {
        for (int sa : {1, 128, 255}) {
          for (int o : {1, 128, 200, 256}) {
            uint8_t d[4] = {static_cast<uint8_t>(dv), 0, 0, static_cast<uint8_t>(da)};
            uint8_t s[4] = {static_cast<uint8_t>(sv), 0, 0, static_cast<uint8_t>(sa)};
            table.mAlphaOverRowBothOpacity(d, s, 256, o, 4);
            if (sv == 0) {
              EXPECT_LE(d[0], dv) << dv << " " << da << " " << sa << " " << o;
            } else {
              EXPECT_GE(d[0], dv) << dv << " " << da << " " << sa << " " << o;
            }
          }
        }
      }
    }
  }
}

TEST(PixelPrimitives, LevelFollowsTheProcessorSwitches) {
  uint8_t allowSse = g_AllowSse;
  uint8_t allowSse2 = g_AllowSse2;
  DetectCpuFeatures();
  bool sse = g_CpuFeatures[kCpuSse] != 0;
  bool sse2 = g_CpuFeatures[kCpuSse2] != 0;
  g_AllowSse = 0;
  g_AllowSse2 = 0;
  InitPixelPrimitives();
  EXPECT_EQ(g_PixelLevel, 1);
  EXPECT_EQ(g_PixelPrimitives.mBlendRowOpacity, GetPixelPrimitives(1).mBlendRowOpacity);
  g_AllowSse = 1;
  InitPixelPrimitives();
  EXPECT_EQ(g_PixelLevel, sse ? 2 : 1);
  g_AllowSse = 0;
  g_AllowSse2 = 1;
  InitPixelPrimitives();
  EXPECT_EQ(g_PixelLevel, sse2 ? 3 : 1);
  g_AllowSse = allowSse;
  g_AllowSse2 = allowSse2;
  InitPixelPrimitives();
}

TEST(PixelPrimitives, AllocZeroedReadsAsZeros) {
  for (size_t n : {size_t{0}, size_t{1}, size_t{4097}, size_t{1} << 20}) {
    auto* block = static_cast<uint8_t*>(AllocZeroed(n));
    ASSERT_NE(block, nullptr);
    for (size_t i = 0; i < n; ++i) ASSERT_EQ(block[i], 0) << i;
    std::free(block);
  }
}

}  // namespace
