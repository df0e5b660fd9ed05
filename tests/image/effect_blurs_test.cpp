// The live blurs (running sums, vector kernels, parts on the pixel workers)
// against the plain tap-by-tap blurs, byte for byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/platform_facts.h"
#include "image/effect_blurs_internal.h"
#include "image/effect_kernels.h"
#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"

namespace {

constexpr BlurEffect kEffects[] = {BlurEffect::kBoxH,      BlurEffect::kBoxV,     BlurEffect::kBox,
                                   BlurEffect::kShadowBox, BlurEffect::kWeighted, BlurEffect::kShadowWeighted};
constexpr int kWidths[] = {0, 16, 32, 64};

const char* NameOf(BlurEffect effect) {
  switch (effect) {
    case BlurEffect::kBoxH: return "box horizontal";
    case BlurEffect::kBoxV: return "box vertical";
    case BlurEffect::kBox: return "box";
    case BlurEffect::kShadowBox: return "shadow box";
    case BlurEffect::kWeighted: return "weighted";
    case BlurEffect::kShadowWeighted: return "shadow weighted";
  }
  return "?";
}

// A source block of random bytes whose alpha runs through stretches of 0
// and of 255 (rows 1-2 and a band of columns), as shadow masks have.
struct Source {
  int32_t mWidth;
  int32_t mHeight;
  std::vector<uint8_t> mBytes;
  Source(int32_t width, int32_t height, uint32_t seed)
      : mWidth(width), mHeight(height), mBytes(static_cast<size_t>(width) * height * 4) {
    std::mt19937 random(seed);
    for (uint8_t& byte : mBytes) byte = static_cast<uint8_t>(random());
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        uint8_t& alpha = mBytes[(static_cast<size_t>(y) * width + x) * 4 + 3];
        if (y == 1 || x % 11 < 3) alpha = 0;
        if (y == 2 || x % 11 == 5 || x % 11 == 6) alpha = 255;
      }
    }
  }
  EffectRegion Region(int64_t x0, int64_t y0, int64_t x1, int64_t y1) const {
    return EffectRegion{mBytes.data(), mWidth, mHeight, x0, y0, x1, y1};
  }
};

std::vector<uint8_t> Reference(BlurEffect effect, const EffectRegion& region, int64_t radius, int hasAlpha) {
  std::vector<uint8_t> out(static_cast<size_t>(region.Width()) * region.Height() * 4);
  switch (effect) {
    case BlurEffect::kBoxH: blur_reference::ApplyBoxBlurHEffect(out.data(), region, radius, hasAlpha); break;
    case BlurEffect::kBoxV: blur_reference::ApplyBoxBlurVEffect(out.data(), region, radius, hasAlpha); break;
    case BlurEffect::kBox: blur_reference::ApplyBoxBlurEffect(out.data(), region, radius, hasAlpha); break;
    case BlurEffect::kShadowBox: blur_reference::ApplyShadowBoxBlurEffect(out.data(), region, radius, hasAlpha); break;
    case BlurEffect::kWeighted: blur_reference::ApplyWeightedBlurEffect(out.data(), region, radius, hasAlpha); break;
    case BlurEffect::kShadowWeighted: blur_reference::ApplyShadowWeightedBlurEffect(out.data(), region, radius); break;
  }
  return out;
}

std::vector<uint8_t> Live(BlurEffect effect, const EffectRegion& region, int64_t radius, int hasAlpha, int width,
                          int64_t bands = 0) {
  std::vector<uint8_t> out(static_cast<size_t>(region.Width()) * region.Height() * 4);
  ApplyBlurEffectAtWidth(effect, out.data(), region, radius, hasAlpha, width, bands);
  return out;
}

// The public kernel of the effect (the widest vectors the processor has).
std::vector<uint8_t> Public(BlurEffect effect, const EffectRegion& region, int64_t radius, int hasAlpha) {
  std::vector<uint8_t> out(static_cast<size_t>(region.Width()) * region.Height() * 4);
  switch (effect) {
    case BlurEffect::kBoxH: ApplyBoxBlurHEffect(out.data(), region, radius, hasAlpha); break;
    case BlurEffect::kBoxV: ApplyBoxBlurVEffect(out.data(), region, radius, hasAlpha); break;
    case BlurEffect::kBox: ApplyBoxBlurEffect(out.data(), region, radius, hasAlpha); break;
    case BlurEffect::kShadowBox: ApplyShadowBoxBlurEffect(out.data(), region, radius, hasAlpha); break;
    case BlurEffect::kWeighted: ApplyWeightedBlurEffect(out.data(), region, radius, hasAlpha); break;
    case BlurEffect::kShadowWeighted: ApplyShadowWeightedBlurEffect(out.data(), region, radius); break;
  }
  return out;
}

// The first differing pixel, for the failure message.
std::string FirstDifference(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual, int64_t w) {
  for (size_t i = 0; i < expected.size(); ++i) {
    if (expected[i] != actual[i]) {
      size_t pixel = i / 4;
      return "pixel (" + std::to_string(pixel % static_cast<size_t>(w)) + ", " +
             std::to_string(pixel / static_cast<size_t>(w)) + ") channel " + std::to_string(i % 4) + ": expected " +
             std::to_string(expected[i]) + ", got " + std::to_string(actual[i]);
    }
  }
  return "same";
}

class EffectBlurs : public testing::Test {
 protected:
  void SetUp() override { InitPixelPrimitives(); }
  void TearDown() override { StopPixelWorkers(); }
  static void StartWorkers(int count) {
    StopPixelWorkers();
    if (count == 0) return;
    g_WorkerCount = static_cast<uint8_t>(count);
    ASSERT_EQ(StartPixelWorkers(), 0);
  }
  // Every effect, both alpha flags and every vector width the processor has
  // against the plain kernels on one region.
  static void ExpectEveryKernelMatches(const Source& source, const EffectRegion& region, int64_t radius) {
    for (BlurEffect effect : kEffects) {
      for (int hasAlpha : {0, 1}) {
        std::vector<uint8_t> expected = Reference(effect, region, radius, hasAlpha);
        for (int width : kWidths) {
          if (!BlurVectorWidthRuns(width)) continue;
          std::vector<uint8_t> actual = Live(effect, region, radius, hasAlpha, width);
          ASSERT_EQ(expected, actual) << NameOf(effect) << " radius " << radius << " alpha flag " << hasAlpha
                                      << " width " << width << " region (" << region.mX0 << ", " << region.mY0 << ")-("
                                      << region.mX1 << ", " << region.mY1 << ") of " << source.mWidth << " x "
                                      << source.mHeight << ": " << FirstDifference(expected, actual, region.Width());
        }
      }
    }
  }
};

struct RegionCase {
  const char* mName;
  int64_t mX0, mY0, mX1, mY1;
};

// Regions of a 37 x 23 source: lines of every length up to the source's
// side meet every radius, with the windows cut at each edge.
constexpr RegionCase kRegions[] = {
    {"whole source", 0, 0, 36, 22},
    {"one pixel at the top left", 0, 0, 0, 0},
    {"one pixel inside", 17, 9, 17, 9},
    {"one row along the bottom", 0, 22, 36, 22},
    {"one column at the right", 36, 0, 36, 22},
    {"touching the right and bottom", 21, 8, 36, 22},
    {"touching the top and left", 0, 0, 13, 6},
    {"two by three inside", 5, 7, 6, 9},
};

TEST_F(EffectBlurs, EveryRadiusOnEdgeRegionsMatchesThePlainKernels) {
  Source source(37, 23, 1);
  // 0 counts as 1; 256 is the largest the command allows; beyond it, the
  // largest radius whose sums the reciprocal multiplies divide exactly, and
  // radii past that.
  std::vector<int64_t> radii;
  for (int64_t radius = 0; radius <= 257; ++radius) radii.push_back(radius);
  for (int64_t radius : {511, 512, 600, 1000}) radii.push_back(radius);
  for (int64_t radius : radii) {
    for (const RegionCase& c : kRegions) {
      SCOPED_TRACE(c.mName);
      ExpectEveryKernelMatches(source, source.Region(c.mX0, c.mY0, c.mX1, c.mY1), radius);
      if (HasFatalFailure()) return;
    }
  }
}

// A box window wider than the line is the whole line: a radius far past any
// picture (up to the largest a script value can hold) blurs as one that
// covers it, without its ring or its bands overflowing.
TEST_F(EffectBlurs, HugeBoxRadiiBlurAsTheWholeLine) {
  Source source(37, 23, 1);
  EffectRegion region = source.Region(0, 0, 36, 22);
  for (BlurEffect effect : {BlurEffect::kBoxH, BlurEffect::kBoxV, BlurEffect::kBox, BlurEffect::kShadowBox}) {
    for (int hasAlpha : {0, 1}) {
      std::vector<uint8_t> expected = Reference(effect, region, 1000, hasAlpha);
      for (int64_t radius : {int64_t{1} << 40, int64_t{1} << 62, INT64_MAX}) {
        for (int width : kWidths) {
          if (!BlurVectorWidthRuns(width)) continue;
          EXPECT_EQ(expected, Live(effect, region, radius, hasAlpha, width))
              << NameOf(effect) << " radius " << radius << " alpha flag " << hasAlpha << " width " << width;
        }
      }
    }
  }
}

// The vertical work split into bands of rows, each starting its sums part-
// way down: bands of a few rows, bands shorter than the window, bands that
// start inside the weighted blur's first r rows, and (for the smaller radii)
// bands that blur their own rows across into a ring that wraps.
TEST_F(EffectBlurs, BandsOfRowsGiveTheBytesOfOneBand) {
  Source source(23, 160, 9);
  EffectRegion region = source.Region(2, 3, 20, 157);
  std::vector<int64_t> radii;
  for (int64_t radius = 0; radius <= 80; ++radius) radii.push_back(radius);
  for (int64_t radius : {127, 128, 154, 155, 256}) radii.push_back(radius);
  for (int64_t radius : radii) {
    for (BlurEffect effect : kEffects) {
      for (int hasAlpha : {0, 1}) {
        std::vector<uint8_t> expected = Reference(effect, region, radius, hasAlpha);
        for (int width : kWidths) {
          if (!BlurVectorWidthRuns(width)) continue;
          for (int64_t bands : {1, 2, 3, 7, 31}) {
            std::vector<uint8_t> actual = Live(effect, region, radius, hasAlpha, width, bands);
            ASSERT_EQ(expected, actual) << NameOf(effect) << " radius " << radius << " alpha flag " << hasAlpha
                                        << " width " << width << " bands " << bands << ": "
                                        << FirstDifference(expected, actual, region.Width());
          }
        }
      }
    }
  }
}

TEST_F(EffectBlurs, RandomRegionsMatchThePlainKernels) {
  std::mt19937 random(33);
  for (int round = 0; round < 60; ++round) {
    auto width = static_cast<int32_t>(1 + random() % 90);
    auto height = static_cast<int32_t>(1 + random() % 60);
    Source source(width, height, static_cast<uint32_t>(round));
    int64_t x0 = random() % width;
    int64_t y0 = random() % height;
    int64_t x1 = x0 + random() % (width - x0);
    int64_t y1 = y0 + random() % (height - y0);
    int64_t radius = round % 3 == 0 ? 1 + random() % 256 : 1 + random() % 40;
    ExpectEveryKernelMatches(source, source.Region(x0, y0, x1, y1), radius);
    if (HasFatalFailure()) return;
  }
}

// A region of several row bands and column strips: the parts land on
// different threads, and the bytes must not change with their number.
TEST_F(EffectBlurs, OneTwoAndFourWorkersGiveThePlainKernelsBytes) {
  Source source(211, 75, 5);
  EffectRegion region = source.Region(3, 2, 207, 74);
  for (int workers : {0, 1, 2, 4}) {
    StartWorkers(workers);
    for (int64_t radius : {1, 4, 9, 32, 256}) {
      for (BlurEffect effect : kEffects) {
        for (int hasAlpha : {0, 1}) {
          ASSERT_EQ(Reference(effect, region, radius, hasAlpha), Public(effect, region, radius, hasAlpha))
              << NameOf(effect) << " radius " << radius << " alpha flag " << hasAlpha << " workers " << workers;
        }
      }
    }
  }
}

// The reciprocal multiply stands for the division of every sum a blur can
// make (below 2^25) by every divisor a window can have (the weights of a
// whole radius-256 table at most).
TEST_F(EffectBlurs, DivisorMultipliesTruncateAsTheDivision) {
  constexpr uint32_t kLargestSum = (1u << 25) - 1;
  for (uint32_t d = 1; d <= 70000; ++d) {
    BlurDivisor divisor = MakeBlurDivisor(d);
    uint32_t lastMultiple = kLargestSum / d * d;
    for (uint32_t x : {0u, d - 1, d, 2 * d - 1, 255 * d, 255 * d - 1, lastMultiple, lastMultiple - 1, kLargestSum}) {
      uint64_t quotient = (uint64_t{x} * divisor.mMagic) >> divisor.mShift;
      ASSERT_EQ(quotient, x / d) << x << " / " << d;
    }
  }
}

}  // namespace
