// The numbered effects on small pictures, each checked against a direct
// computation of what the effect means (plain sums, not running sums).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "effect_test_fixture.h"
#include "image/effect_kernels.h"
#include "image/image_operations.h"
#include "image/runtime_random.h"
#include "layer/composition.h"

namespace {

struct Region {
  int64_t x0, y0, x1, y1;
  int64_t Width() const { return x1 - x0 + 1; }
  int64_t Height() const { return y1 - y0 + 1; }
};

class EffectKernels : public ImageOpsTest {
 protected:
  // Runs the effect on a fresh layer without destination; the layer's new
  // picture.
  Picture Run(const Picture& picture, int32_t effect, Region r, int64_t p1, int64_t p2 = 0, uint8_t hasAlpha = 0,
              int64_t extra = 0) {
    ObjectTreeNode* node = AddLayer("fx", picture, hasAlpha);
    EXPECT_EQ(ApplyLayerEffect(effect, node, nullptr, r.x0, r.y0, r.x1, r.y1, p1, p2, 0, extra), 0);
    return Read(node);
  }
};

Picture Crop(const Picture& picture, Region r) {
  return MakePicture(static_cast<int32_t>(r.Width()), static_cast<int32_t>(r.Height()),
                     [&](int x, int y) { return picture.At(r.x0 + x, r.y0 + y); });
}

uint32_t MapChannels(uint32_t pixel, int (*f)(int)) {
  return Pack(f(Channel(pixel, 0)), f(Channel(pixel, 1)), f(Channel(pixel, 2)), Channel(pixel, 3));
}

TEST_F(EffectKernels, BrightnessAddsLevelMinus128AndClampsColoursOnly) {
  Picture picture = MakePicture(6, 5, PatternPixel);
  Region region{1, 1, 4, 3};
  for (int64_t level : {0, 1, 128, 200, 255, 256}) {
    Picture expected = MakePicture(4, 3, [&](int x, int y) {
      uint32_t p = picture.At(region.x0 + x, region.y0 + y);
      auto c = [&](int k) { return std::clamp<int>(Channel(p, k) + static_cast<int>(level) - 128, 0, 255); };
      return Pack(c(0), c(1), c(2), Channel(p, 3));
    });
    EXPECT_TRUE(SamePicture(expected, Run(picture, 1, region, level))) << "level " << level;
  }
}

TEST_F(EffectKernels, NegativeAndSepiaFollowTheirFormulas) {
  Picture picture = MakePicture(5, 4, PatternPixel);
  picture.At(0, 0) = Pack(0, 0, 0, 7);
  picture.At(1, 0) = Pack(255, 255, 255, 9);
  Region all{0, 0, 4, 3};
  Picture negative = MakePicture(5, 4, [&](int x, int y) {
    return MapChannels(picture.At(x, y), [](int c) { return 255 - c; });
  });
  EXPECT_TRUE(SamePicture(negative, Run(picture, 28, all, 0)));

  Picture sepia = Run(picture, 39, all, 0);
  // Black and white, worked by hand.
  EXPECT_EQ(sepia.At(0, 0), Pack(0, 0, 17, 7));
  EXPECT_EQ(sepia.At(1, 0), Pack(210, 254, 255, 9));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      uint32_t p = picture.At(x, y);
      double luminance = (117.0 * Channel(p, 0) + 601.0 * Channel(p, 1) + 306.0 * Channel(p, 2)) / 1024.0;
      auto tint = [&](double offset) { return std::clamp(static_cast<int>(std::trunc(luminance + offset)), 0, 255); };
      EXPECT_EQ(sepia.At(x, y), Pack(tint(-46347025.0 / 1048576), tint(-287585.0 / 1048576),
                                     tint(18748416.0 / 1048576), Channel(p, 3)))
          << x << "," << y;
    }
  }
}

TEST_F(EffectKernels, ThresholdWorksInPlaceOverTheRegionOnly) {
  Picture picture = MakePicture(6, 4, PatternPixel);
  picture.At(2, 1) = Pack(10, 20, 30, 44);  // sum exactly 3 * 20
  Region region{1, 1, 3, 2};
  for (int64_t level : {0, 20, 21, 256}) {
    Picture expected = picture;
    for (int64_t y = region.y0; y <= region.y1; ++y) {
      for (int64_t x = region.x0; x <= region.x1; ++x) {
        uint32_t p = picture.At(x, y);
        int v = Channel(p, 0) + Channel(p, 1) + Channel(p, 2) >= 3 * level ? 255 : 0;
        expected.At(x, y) = Pack(v, v, v, Channel(p, 3));
      }
    }
    EXPECT_TRUE(SamePicture(expected, Run(picture, 19, region, level))) << "threshold " << level;
  }
}

struct FillCase {
  const char* mName;
  int64_t mType;
  int64_t mColour;
  bool mWhole;
  uint8_t mHasAlphaBefore;
  uint8_t mHasAlphaAfter;
};

class EffectFill : public EffectKernels, public testing::WithParamInterface<FillCase> {};

TEST_P(EffectFill, FillsTheRegionAndDecidesTheAlphaFlag) {
  const FillCase& c = GetParam();
  Picture picture = MakePicture(4, 3, PatternPixel);
  Region region = c.mWhole ? Region{0, 0, 3, 2} : Region{1, 0, 2, 1};
  Picture expected = picture;
  auto word = static_cast<uint32_t>(c.mColour);
  for (int64_t y = region.y0; y <= region.y1; ++y) {
    for (int64_t x = region.x0; x <= region.x1; ++x) {
      uint32_t& p = expected.At(x, y);
      if (c.mType == 1) p = (word & 0xFFFFFF) | 0xFF000000u;
      if (c.mType == 2) p = (p & 0xFFFFFF) | (word & 0xFF) << 24;
      if (c.mType == 3) p = word;
    }
  }
  ObjectTreeNode* node = AddLayer("fill", picture, c.mHasAlphaBefore);
  ASSERT_EQ(ApplyLayerEffect(24, node, nullptr, region.x0, region.y0, region.x1, region.y1, c.mColour, 0, 0, c.mType),
            0);
  EXPECT_TRUE(SamePicture(expected, Read(node)));
  EXPECT_EQ(RecordOf(node)->mHasAlpha, c.mHasAlphaAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EffectFill,
    testing::Values(FillCase{"OpaqueColourKeepsFlag", 1, 0x12345678, false, 1, 1},
                    FillCase{"OpaqueColourKeepsClearFlag", 1, 0x12345678, true, 0, 0},
                    FillCase{"Alpha255WholeClearsFlag", 2, 255, true, 1, 0},
                    FillCase{"Alpha255PartSetsFlag", 2, 255, false, 0, 1},
                    FillCase{"Alpha128WholeSetsFlag", 2, 0x180, true, 0, 1},
                    FillCase{"ArgbOpaqueWholeClearsFlag", 3, 0xFF102030, true, 1, 0},
                    FillCase{"ArgbTranslucentWholeSetsFlag", 3, 0xFEFFFFFF, true, 0, 1},
                    FillCase{"ArgbOpaquePartSetsFlag", 3, 0xFF102030, false, 0, 1},
                    FillCase{"OtherTypeChangesNothing", 7, 0x11223344, true, 0, 0}),
    [](const testing::TestParamInfo<FillCase>& info) { return std::string(info.param.mName); });

struct RampCase {
  const char* mName;
  int64_t mA;
  int64_t mB;
};

class EffectAlphaRamp : public EffectKernels, public testing::WithParamInterface<RampCase> {};

TEST_P(EffectAlphaRamp, FadesAcrossTheWholeWidthOfTheRegionRows) {
  const RampCase& c = GetParam();
  Picture picture = MakePicture(300, 3, [](int x, int y) { return Pack(x & 255, y, 1, 200 + y); });
  Picture expected = picture;
  for (int y = 1; y <= 2; ++y) {
    for (int x = 0; x < 300; ++x) {
      // 128-bit: the extreme positions overflow 64-bit differences.
      using Wide = __int128;
      Wide f = -1;  // kept
      if (c.mA < c.mB) {
        f = x < c.mA ? -1 : x > c.mB ? 0 : 255 - (Wide{x} - c.mA) * 255 / (Wide{c.mB} - c.mA);
      } else if (c.mA > c.mB) {
        if (c.mA >= 0) f = x < c.mB ? 0 : x > c.mA ? -1 : (Wide{x} - c.mB) * 255 / (Wide{c.mA} - c.mB);
      } else {
        f = x > c.mA ? 0 : -1;
      }
      if (f >= 0) {
        uint32_t p = picture.At(x, y);
        expected.At(x, y) = (p & 0xFFFFFF) | static_cast<uint32_t>(std::floor(Channel(p, 3) * static_cast<double>(f) / 255.0)) << 24;
      }
    }
  }
  // The region's columns do not limit the ramp; its rows do.
  ObjectTreeNode* node = AddLayer("ramp", picture);
  ASSERT_EQ(ApplyLayerEffect(27, node, nullptr, 10, 1, 20, 2, c.mA, c.mB, 0, 0), 0);
  EXPECT_TRUE(SamePicture(expected, Read(node)));
  EXPECT_EQ(RecordOf(node)->mHasAlpha, 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, EffectAlphaRamp,
                         testing::Values(RampCase{"Rising", 100, 200}, RampCase{"Falling", 200, 100},
                                         RampCase{"Equal", 150, 150}, RampCase{"NegativeAboveB", -5, -50},
                                         RampCase{"BeyondTheImage", 250, 400},
                                         RampCase{"ExtremeRise", INT64_MIN, INT64_MAX},
                                         RampCase{"ExtremeFall", INT64_MAX, INT64_MIN},
                                         RampCase{"FarLeftToInside", INT64_MIN + 1, 120}),
                         [](const testing::TestParamInfo<RampCase>& info) { return std::string(info.param.mName); });

TEST_F(EffectKernels, MirrorUsesTheWholeImageAxisAndFlipUsesTheRegion) {
  Picture picture = MakePicture(8, 5, PatternPixel);
  Region left{0, 1, 2, 3};
  Picture mirrored = MakePicture(3, 3, [&](int x, int y) { return picture.At(7 - x, 1 + y); });
  EXPECT_TRUE(SamePicture(mirrored, Run(picture, 11, left, 0)));
  Picture flipped = MakePicture(3, 3, [&](int x, int y) { return picture.At(x, 3 - y); });
  EXPECT_TRUE(SamePicture(flipped, Run(picture, 38, left, 0)));
  for (int32_t copy : {8, 9}) EXPECT_TRUE(SamePicture(Crop(picture, {2, 1, 6, 4}), Run(picture, copy, {2, 1, 6, 4}, 0)));
}

// The blurs, computed directly: a window cut at the region's edges.
enum class Mode { kAll, kColour, kAlpha };

Picture BlurLines(const Picture& in, bool horizontal, int64_t r, Mode mode, const std::vector<uint32_t>* weights) {
  return MakePicture(in.mWidth, in.mHeight, [&](int x, int y) {
    int64_t n = horizontal ? in.mWidth : in.mHeight;
    int64_t i = horizontal ? x : y;
    int64_t lo = std::max<int64_t>(0, i - r);
    int64_t hi = std::min<int64_t>(n - 1, i + r);
    uint64_t sums[4] = {};
    uint64_t total = 0;
    for (int64_t j = lo; j <= hi; ++j) {
      uint32_t p = horizontal ? in.At(j, y) : in.At(x, j);
      uint64_t weight = weights != nullptr ? (*weights)[static_cast<size_t>(j - lo)] : 1;
      for (int c = 0; c < 4; ++c) sums[c] += weight * Channel(p, c);
      total += weight;
    }
    if (total == 0) {
      for (auto& s : sums) s = 0;
      for (int64_t j = lo; j <= hi; ++j) {
        uint32_t p = horizontal ? in.At(j, y) : in.At(x, j);
        for (int c = 0; c < 4; ++c) sums[c] += Channel(p, c);
      }
      total = static_cast<uint64_t>(hi - lo + 1);
    }
    auto mean = [&](int c) { return static_cast<int>(sums[c] / total); };
    switch (mode) {
      case Mode::kAll: return Pack(mean(0), mean(1), mean(2), mean(3));
      case Mode::kColour: return Pack(mean(0), mean(1), mean(2), Channel(in.At(x, y), 3));
      default: return Pack(0, 0, 0, mean(3));
    }
  });
}

// The weight table as described: 512 over the middle band, then halved
// outwards step by step.
std::vector<uint32_t> WeightTable(int64_t r) {
  int64_t q = (2 * r) / 8;
  std::vector<uint32_t> table(static_cast<size_t>(2 * r + 1), 0);
  for (int64_t k = r - q; k <= r + q; ++k) table[static_cast<size_t>(k)] = 512;
  uint32_t value = 512;
  for (int64_t k = r - q - 1, m = r + q + 1; k >= 0; --k, ++m) {
    value /= 2;
    table[static_cast<size_t>(k)] = value;
    table[static_cast<size_t>(m)] = value;
  }
  return table;
}

TEST_F(EffectKernels, BlurWeightTablesOfTheSmallRadii) {
  EXPECT_EQ(WeightTable(4), (std::vector<uint32_t>{64, 128, 256, 512, 512, 512, 256, 128, 64}));
  EXPECT_EQ(WeightTable(1), (std::vector<uint32_t>{256, 512, 256}));
  for (int64_t r : {1, 2, 4, 7, 13, 40, 256}) {
    std::vector<uint32_t> built(static_cast<size_t>(2 * r + 1));
    BuildBlurWeights(built.data(), r);
    EXPECT_EQ(built, WeightTable(r)) << "radius " << r;
  }
}

struct BlurCase {
  int32_t mEffect;
  int64_t mRadius;
  uint8_t mHasAlpha;
};

class EffectBlur : public EffectKernels, public testing::WithParamInterface<BlurCase> {};

TEST_P(EffectBlur, MatchesTheDirectWindowedMean) {
  const BlurCase& c = GetParam();
  Picture picture = MakePicture(11, 9, PatternPixel);
  Region region{2, 1, 9, 7};
  Picture in = Crop(picture, region);
  int64_t r = std::max<int64_t>(c.mRadius, 1);
  Mode mode = c.mHasAlpha == 1 ? Mode::kAll : Mode::kColour;
  std::vector<uint32_t> weights = WeightTable(r);
  Picture expected;
  switch (c.mEffect) {
    case 3: expected = BlurLines(in, true, r, mode, nullptr); break;
    case 4: expected = BlurLines(in, false, r, mode, nullptr); break;
    case 5: expected = BlurLines(BlurLines(in, true, r, mode, nullptr), false, r, mode, nullptr); break;
    case 7: {
      Mode shadow = c.mHasAlpha == 1 ? Mode::kAlpha : Mode::kColour;
      expected = BlurLines(BlurLines(in, true, r, shadow, nullptr), false, r, shadow, nullptr);
      break;
    }
    case 2: {
      const std::vector<uint32_t>* w = c.mHasAlpha == 1 ? &weights : nullptr;
      expected = BlurLines(BlurLines(in, true, r, mode, w), false, r, mode, w);
      break;
    }
    default:
      expected = BlurLines(BlurLines(in, true, r, Mode::kAlpha, &weights), false, r, Mode::kAlpha, &weights);
      break;
  }
  EXPECT_TRUE(SamePicture(expected, Run(picture, c.mEffect, region, c.mRadius, 0, c.mHasAlpha)));
}

INSTANTIATE_TEST_SUITE_P(
    Radii, EffectBlur,
    testing::Values(BlurCase{3, 1, 0}, BlurCase{3, 0, 1}, BlurCase{3, 256, 1}, BlurCase{4, 2, 0}, BlurCase{4, 3, 1},
                    BlurCase{5, 1, 1}, BlurCase{5, 4, 0}, BlurCase{5, 256, 1}, BlurCase{7, 2, 1}, BlurCase{7, 2, 0},
                    BlurCase{2, 1, 1}, BlurCase{2, 4, 1}, BlurCase{2, 13, 1}, BlurCase{2, 256, 1}, BlurCase{2, 3, 0},
                    BlurCase{6, 1, 0}, BlurCase{6, 5, 1}, BlurCase{6, 20, 1}),
    [](const testing::TestParamInfo<BlurCase>& info) {
      return "Effect" + std::to_string(info.param.mEffect) + "Radius" + std::to_string(info.param.mRadius) +
             "Alpha" + std::to_string(info.param.mHasAlpha);
    });

TEST_F(EffectKernels, WeightedBlurOfAOnePixelRectangleWithWeightsOfZeroTakesThePixel) {
  // Radius 13 and more: the only weight of a one-pixel window is 0.
  Picture picture = MakePicture(5, 5, PatternPixel);
  for (int64_t radius : {13, 100, 256}) {
    for (int32_t effect : {2, 6}) {
      Picture out = Run(picture, effect, {2, 2, 2, 2}, radius, 0, 1);
      ASSERT_EQ(out.mWidth, 1);
      uint32_t p = picture.At(2, 2);
      EXPECT_EQ(out.At(0, 0), effect == 2 ? p : p & 0xFF000000u) << "effect " << effect << " radius " << radius;
    }
  }
}

TEST_F(EffectKernels, BoxBlurOfOneColumnIsUnchangedHorizontally) {
  Picture picture = MakePicture(4, 6, PatternPixel);
  EXPECT_TRUE(SamePicture(Crop(picture, {1, 0, 1, 5}), Run(picture, 3, {1, 0, 1, 5}, 1, 0, 1)));
}

int64_t FloorDiv(int64_t a, int64_t b) { return static_cast<int64_t>(std::floor(static_cast<double>(a) / b)); }

TEST_F(EffectKernels, MosaicAveragesCellsOfTheGridThroughTheCentre) {
  Picture picture = MakePicture(13, 10, PatternPixel);
  Region all{0, 0, 12, 9};
  for (int64_t size : {-3, 0, 1, 3, 4, 20}) {
    int64_t s = std::max<int64_t>(size, 1);
    int64_t cx = (all.x1 + 1) / 2;
    int64_t cy = (all.y1 + 1) / 2;
    std::map<std::pair<int64_t, int64_t>, std::array<uint64_t, 4>> cells;
    auto cellOf = [&](int x, int y) { return std::make_pair(FloorDiv(x - cx, s), FloorDiv(y - cy, s)); };
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 13; ++x) {
        auto& cell = cells[cellOf(x, y)];
        for (int c = 0; c < 3; ++c) cell[c] += Channel(picture.At(x, y), c);
        cell[3] += 1;
      }
    }
    Picture expected = MakePicture(13, 10, [&](int x, int y) {
      const auto& cell = cells[cellOf(x, y)];
      return Pack(static_cast<int>(cell[0] / cell[3]), static_cast<int>(cell[1] / cell[3]),
                  static_cast<int>(cell[2] / cell[3]), Channel(picture.At(x, y), 3));
    });
    EXPECT_TRUE(SamePicture(expected, Run(picture, 20, all, size))) << "cell size " << size;
  }
}

TEST_F(EffectKernels, ScatterMovesColoursWithinBlocksAndKeepsAlphaInPlace) {
  Picture picture = MakePicture(9, 7, PatternPixel);
  Region all{0, 0, 8, 6};
  for (int64_t p1 : {-4, 0, 1}) EXPECT_TRUE(SamePicture(picture, Run(picture, 10, all, p1))) << p1;
  for (int64_t p1 : {2, 6, 256}) {
    SeedRuntimeRandom(77);
    Picture first = Run(picture, 10, all, p1);
    SeedRuntimeRandom(77);
    EXPECT_TRUE(SamePicture(first, Run(picture, 10, all, p1))) << "a seed repeats the scatter";
    std::multiset<uint32_t> before, after;
    for (int y = 0; y < 7; ++y) {
      for (int x = 0; x < 9; ++x) {
        EXPECT_EQ(Channel(first.At(x, y), 3), Channel(picture.At(x, y), 3));
        before.insert(picture.At(x, y) & 0xFFFFFF);
        after.insert(first.At(x, y) & 0xFFFFFF);
      }
    }
    EXPECT_EQ(before, after) << "colours are only moved";
  }
}

TEST_F(EffectKernels, ScatterOfOnePassSwapsTheFirstBlockByTheDrawnOrder) {
  // A 2x2 picture holds one block, scattered once forward and once back.
  Picture picture = MakePicture(2, 2, [](int x, int y) { return Pack(1 + x + 2 * y, 0, 0, 10 + x + 2 * y); });
  SeedRuntimeRandom(5);
  int first = RuntimeRandom() % 24;
  int second = RuntimeRandom() % 24;
  static const int kOrders[24][4] = {
      {3, 2, 1, 0}, {2, 3, 1, 0}, {3, 1, 2, 0}, {1, 3, 2, 0}, {2, 1, 3, 0}, {1, 2, 3, 0}, {3, 2, 0, 1}, {2, 3, 0, 1},
      {3, 0, 2, 1}, {0, 3, 2, 1}, {2, 0, 3, 1}, {0, 2, 3, 1}, {3, 1, 0, 2}, {1, 3, 0, 2}, {3, 0, 1, 2}, {0, 3, 1, 2},
      {1, 0, 3, 2}, {0, 1, 3, 2}, {2, 1, 0, 3}, {1, 2, 0, 3}, {2, 0, 1, 3}, {0, 2, 1, 3}, {1, 0, 2, 3}, {0, 1, 2, 3}};
  int colours[4] = {1, 2, 3, 4};
  for (int n : {first, second}) {
    int before[4];
    std::copy(std::begin(colours), std::end(colours), before);
    for (int k = 0; k < 4; ++k) colours[k] = before[kOrders[n][k]];
  }
  SeedRuntimeRandom(5);
  Picture out = Run(picture, 10, {0, 0, 1, 1}, 2);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(out.At(k % 2, k / 2), Pack(colours[k], 0, 0, 10 + k)) << "pixel " << k;
}

struct WaveCase {
  int32_t mEffect;
  int64_t mAmplitude;
  int64_t mPhase;
};

class EffectWave : public EffectKernels, public testing::WithParamInterface<WaveCase> {};

TEST_P(EffectWave, ReadsDisplacedPixelsInsideTheRegion) {
  const WaveCase& c = GetParam();
  Picture picture = MakePicture(20, 16, PatternPixel);
  // A region away from the origin: columns are image columns, not region ones.
  Region region{5, 3, 14, 12};
  double factor = static_cast<double>(0.017453292f);
  int type = c.mEffect - 20;
  Picture expected = MakePicture(10, 10, [&](int u, int v) {
    int64_t i = region.y0 + v;
    int64_t j = region.x0 + u;
    int64_t s = type != 2 ? static_cast<int64_t>(c.mAmplitude * std::sin((i + c.mPhase) * factor)) : 0;
    int64_t t = type != 1 ? static_cast<int64_t>(c.mAmplitude * std::cos((j + c.mPhase) * factor)) : 0;
    // Columns past the right edge read the column before it.
    int64_t column = j + s < region.x0 ? region.x0 : (j + s > region.x1 ? region.x1 - 1 : j + s);
    return picture.At(column, std::clamp(i + t, region.y0, region.y1));
  });
  EXPECT_TRUE(SamePicture(expected, Run(picture, c.mEffect, region, c.mAmplitude, c.mPhase)));
}

INSTANTIATE_TEST_SUITE_P(Cases, EffectWave,
                         testing::Values(WaveCase{21, 3, 0}, WaveCase{21, 40, 90}, WaveCase{22, 0, 0},
                                         WaveCase{22, 4, 33}, WaveCase{23, 5, -70}, WaveCase{23, -6, 400},
                                         WaveCase{21, -2, 10}));

TEST_F(EffectKernels, WaveOfAmplitudeZeroIsACopy) {
  Picture picture = MakePicture(12, 9, PatternPixel);
  for (int32_t effect : {21, 22, 23}) EXPECT_TRUE(SamePicture(Crop(picture, {3, 2, 10, 8}), Run(picture, effect, {3, 2, 10, 8}, 0, 45)));
}

TEST_F(EffectKernels, SwirlOfAngleZeroIsACopyAndOtherAnglesStayInTheRegion) {
  Picture picture = MakePicture(15, 11, PatternPixel);
  Region region{2, 1, 12, 9};
  EXPECT_TRUE(SamePicture(Crop(picture, region), Run(picture, 40, region, 0)));
  std::set<uint32_t> inside;
  for (int64_t y = region.y0; y <= region.y1; ++y) {
    for (int64_t x = region.x0; x <= region.x1; ++x) inside.insert(picture.At(x, y));
  }
  for (int64_t angle : {900, -450, 3600}) {
    Picture out = Run(picture, 40, region, angle);
    // The centre does not move.
    EXPECT_EQ(out.At(5, 4), picture.At(region.x0 + 5, region.y0 + 4)) << angle;
    for (uint32_t p : out.mPixels) EXPECT_TRUE(inside.count(p) == 1) << "angle " << angle;
  }
}

TEST_F(EffectKernels, SwirlOfNinetyDegreesTurnsTheCentreNeighbours) {
  // 5x5: the centre (2, 2); the pixel right of it at distance 1 turns by
  // the twist of step 1 of n = trunc((hypot(5, 5) + 1) / 2 + 1) = 5 steps.
  Picture picture = MakePicture(5, 5, PatternPixel);
  Picture out = Run(picture, 40, {0, 0, 4, 4}, 900);
  double twist = (90.0 - 90.0 / 5) * 0.017453292519444445;
  auto cosT = static_cast<int64_t>(std::cos(twist) * 256);
  auto sinT = static_cast<int64_t>(std::sin(twist) * 256);
  int64_t o = 2 + ((0 * sinT + 1 * cosT) >> 8);
  int64_t t = ((1 * sinT + 0 * cosT) >> 8) + 2;
  EXPECT_EQ(out.At(3, 2), picture.At(o, t));
}

}  // namespace
