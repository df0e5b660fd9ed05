// The effects' vector row loops against the plain ones at every vector width
// the processor has, and the effects spread over 1, 2 and 4 pixel workers
// against the same effects on the calling thread alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/platform_facts.h"
#include "effect_test_fixture.h"
#include "image/effect_kernels.h"
#include "image/effect_rows.h"
#include "image/pixel_workers.h"
#include "image/runtime_random.h"

namespace {

constexpr int kVectorWidths[] = {16, 32, 64};

// Random bytes with runs of alpha 0 and 255 and of black and white pixels,
// the values where saturation and clamps turn.
std::vector<uint8_t> TestPixels(size_t pixels, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(pixels * 4);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  for (size_t i = 0; i < pixels; ++i) {
    switch ((i / 5) % 7) {
      case 1: bytes[i * 4 + 3] = 0; break;
      case 2: bytes[i * 4 + 3] = 255; break;
      case 3: std::memset(&bytes[i * 4], 0, 3); break;
      case 4: std::memset(&bytes[i * 4], 255, 3); break;
      default: break;
    }
  }
  return bytes;
}

// One row loop run on a row of n pixels: out (n pixels and guard bytes
// after them) from in.
using RowRun = std::function<void(const EffectRowKernels&, uint8_t* out, const uint8_t* in, size_t n)>;

struct RowLoopCase {
  const char* mName;
  RowRun mRun;
};

std::vector<RowLoopCase> RowLoopCases() {
  std::vector<RowLoopCase> cases;
  for (int delta : {-255, -128, -1, 0, 1, 77, 127, 255}) {
    cases.push_back({"brightness", [delta](const EffectRowKernels& k, uint8_t* o, const uint8_t* in, size_t n) {
                       k.mBrightness(o, in, n, delta);
                     }});
  }
  cases.push_back({"negative", [](const EffectRowKernels& k, uint8_t* o, const uint8_t* in, size_t n) {
                     k.mNegative(o, in, n);
                   }});
  cases.push_back(
      {"sepia", [](const EffectRowKernels& k, uint8_t* o, const uint8_t* in, size_t n) { k.mSepia(o, in, n); }});
  for (int limit : {0, 1, 3, 383, 384, 765, 766}) {
    cases.push_back({"threshold", [limit](const EffectRowKernels& k, uint8_t* o, const uint8_t* in, size_t n) {
                       std::memcpy(o, in, n * 4);
                       k.mThreshold(o, n, limit);
                     }});
  }
  for (uint8_t alpha : {0, 128, 255}) {
    cases.push_back({"fill alpha", [alpha](const EffectRowKernels& k, uint8_t* o, const uint8_t* in, size_t n) {
                       std::memcpy(o, in, n * 4);
                       k.mFillAlpha(o, n, alpha);
                     }});
  }
  cases.push_back({"scale alpha", [](const EffectRowKernels& k, uint8_t* o, const uint8_t* in, size_t n) {
                     std::vector<uint32_t> factors(n);
                     for (size_t i = 0; i < n; ++i) factors[i] = (i * 37 + in[i * 4]) % 256;
                     if (n > 2) factors[1] = 255;
                     std::memcpy(o, in, n * 4);
                     k.mScaleAlpha(o, factors.data(), n);
                   }});
  cases.push_back({"reverse", [](const EffectRowKernels& k, uint8_t* o, const uint8_t* in, size_t n) {
                     if (n > 0) k.mReverse(o, in + (n - 1) * 4, n);
                   }});
  cases.push_back({"add row bytes", [](const EffectRowKernels& k, uint8_t* o, const uint8_t* in, size_t n) {
                     // Sums near the top of a word after 257 rows of 255;
                     // the words of n / 2 pixels fill the n pixels' bytes.
                     size_t half = n / 2;
                     std::vector<uint16_t> sums(half * 4);
                     for (size_t i = 0; i < half * 4; ++i) sums[i] = static_cast<uint16_t>(256 * 255 - in[i]);
                     k.mAddRowBytes(sums.data(), in, half);
                     if (half > 0) std::memcpy(o, sums.data(), half * 8);
                   }});
  cases.push_back({"colours with alpha", [](const EffectRowKernels& k, uint8_t* o, const uint8_t* in, size_t n) {
                     std::vector<uint32_t> colours(n);
                     for (size_t i = 0; i < n; ++i) colours[i] = (0x9E3779B9u * static_cast<uint32_t>(i)) & 0xFFFFFFu;
                     k.mColoursWithAlpha(o, colours.data(), in, n);
                   }});
  for (bool reversed : {false, true}) {
    cases.push_back({"scatter blocks", [reversed](const EffectRowKernels& k, uint8_t* o, const uint8_t* in, size_t n) {
                       // Two rows of n / 2 pixels, blocks side by side.
                       std::memcpy(o, in, n * 4);
                       size_t blocks = n / 4;
                       std::vector<uint8_t> orders(blocks);
                       for (size_t j = 0; j < blocks; ++j) orders[j] = static_cast<uint8_t>((in[j * 4 + 1] + j) % 24);
                       k.mScatterBlocks(o, n / 2 * 4, orders.data(), blocks, reversed);
                     }});
  }
  cases.push_back({"scatter draws", [](const EffectRowKernels& k, uint8_t* o, const uint8_t* in, size_t n) {
                     uint32_t state;
                     std::memcpy(&state, in, 4);
                     k.mScatterDraws(state, o, n * 4);
                   }});
  // The swirl and wave rows read a 64 x 17 source; their rows begin at
  // pixel 0 or 3.
  for (int32_t left : {0, 3}) {
    cases.push_back({"swirl row", [left](const EffectRowKernels& k, uint8_t* o, const uint8_t* in, size_t n) {
                       std::vector<uint8_t> source = TestPixels(64 * 17, 17);
                       std::vector<uint16_t> distances(n);
                       std::vector<uint32_t> turns(40);
                       for (size_t i = 0; i < n; ++i) distances[i] = static_cast<uint16_t>((in[i * 4] * 7 + i) % 40);
                       for (size_t t = 0; t < turns.size(); ++t) {
                         auto cosine = static_cast<int32_t>((t * 97) % 513) - 256;
                         auto sine = static_cast<int32_t>((t * 61 + 5) % 513) - 256;
                         turns[t] = (static_cast<uint32_t>(cosine) & 0xFFFFu) | static_cast<uint32_t>(sine) << 16;
                       }
                       auto width = static_cast<int32_t>(std::max<size_t>(n, 1));
                       SwirlRow row{distances.data(), turns.data(), source.data(), 64, 3, width / 2, 8, width, 17};
                       k.mSwirlRow(o, row, std::min(left, width), static_cast<int32_t>(n));
                     }});
    for (int32_t shiftX : {-70, -3, 0, 5, 70}) {
      cases.push_back({"wave row", [left, shiftX](const EffectRowKernels& k, uint8_t* o, const uint8_t* in, size_t n) {
                         std::vector<uint8_t> source = TestPixels(64 * 17, 19);
                         std::vector<int32_t> columnShift(n);
                         for (size_t i = 0; i < n; ++i) columnShift[i] = static_cast<int32_t>(in[i * 4 + 2] % 61) - 30;
                         auto w = static_cast<int32_t>(n);
                         int32_t inFirst = std::clamp(-shiftX, 0, w);
                         int32_t inEnd = std::clamp(w - shiftX, inFirst, w);
                         WaveRow row{source.data(), 64, columnShift.data(), 7, shiftX, inEnd, std::max(0, w - 2), 17};
                         k.mWaveRow(o, row, std::min(left, w), w);
                       }});
    }
  }
  return cases;
}

TEST(EffectRowLoops, EveryVectorWidthGivesThePlainBytesForEveryLength) {
  constexpr size_t kLongest = 3 * 16 + 7;
  constexpr size_t kGuard = 64;
  std::vector<uint8_t> in = TestPixels(kLongest, 11);
  int widthsRun = 0;
  for (int width : kVectorWidths) {
    const EffectRowKernels* vector = VectorEffectRows(width);
    if (vector == nullptr) continue;
    ++widthsRun;
    for (const RowLoopCase& c : RowLoopCases()) {
      for (size_t n = 0; n <= kLongest; ++n) {
        // The loops start at every alignment of the row.
        for (size_t offset : {size_t{0}, size_t{4}}) {
          std::vector<uint8_t> expected(kLongest * 4 + kGuard, 0xA5);
          std::vector<uint8_t> actual(expected);
          c.mRun(kPlainEffectRows, expected.data() + offset, in.data() + offset, n - (offset != 0 && n > 0));
          c.mRun(*vector, actual.data() + offset, in.data() + offset, n - (offset != 0 && n > 0));
          ASSERT_EQ(expected, actual) << c.mName << ", width " << width << ", " << n << " pixels at " << offset;
        }
      }
    }
  }
  // Every x86-64 processor runs SSE2.
  EXPECT_GE(widthsRun, 1);
}

TEST(EffectRowLoops, SepiaOfEveryBlueAndGreenAtEveryWidthGivesThePlainBytes) {
  // The tints turn where the luminance crosses a multiple of 1024 past
  // their offsets; every blue and green pair meets many of those turns.
  std::vector<uint8_t> in(65536 * 4);
  for (int red : {0, 1, 77, 254, 255}) {
    for (size_t i = 0; i < 65536; ++i) {
      in[i * 4] = static_cast<uint8_t>(i & 255);
      in[i * 4 + 1] = static_cast<uint8_t>(i >> 8);
      in[i * 4 + 2] = static_cast<uint8_t>(red);
      in[i * 4 + 3] = static_cast<uint8_t>(i * 13);
    }
    std::vector<uint8_t> expected(in.size());
    kPlainEffectRows.mSepia(expected.data(), in.data(), 65536);
    for (int width : kVectorWidths) {
      const EffectRowKernels* vector = VectorEffectRows(width);
      if (vector == nullptr) continue;
      std::vector<uint8_t> actual(in.size());
      vector->mSepia(actual.data(), in.data(), 65536);
      EXPECT_EQ(expected, actual) << "red " << red << ", width " << width;
    }
  }
}

// A region of the test picture and the effect parameters.
struct RegionCase {
  const char* mName;
  int64_t mX0, mY0, mX1, mY1;
};

constexpr int32_t kPictureWidth = 61;
constexpr int32_t kPictureHeight = 19;

std::vector<RegionCase> RegionCases() {
  std::vector<RegionCase> cases = {
      {"whole", 0, 0, kPictureWidth - 1, kPictureHeight - 1},
      {"top-left pixel", 0, 0, 0, 0},
      {"bottom-right pixel", kPictureWidth - 1, kPictureHeight - 1, kPictureWidth - 1, kPictureHeight - 1},
      {"inner pixel", 30, 9, 30, 9},
      {"one row", 0, 7, kPictureWidth - 1, 7},
      {"one column", 17, 0, 17, kPictureHeight - 1},
      {"left edge", 0, 3, 40, 12},
      {"right edge", 13, 2, kPictureWidth - 1, 16},
      {"top edge", 5, 0, 50, 6},
      {"bottom edge", 3, 11, 57, kPictureHeight - 1},
  };
  std::mt19937 random(5);
  for (int k = 0; k < 8; ++k) {
    auto x0 = static_cast<int64_t>(random() % kPictureWidth);
    auto y0 = static_cast<int64_t>(random() % kPictureHeight);
    auto x1 = x0 + static_cast<int64_t>(random() % static_cast<uint32_t>(kPictureWidth - x0));
    auto y1 = y0 + static_cast<int64_t>(random() % static_cast<uint32_t>(kPictureHeight - y0));
    cases.push_back({"random", x0, y0, x1, y1});
  }
  return cases;
}

// One effect run on a region: the kernel writes `out` (w x h, or for the
// in-place effects a copy of the whole picture) and the alpha flag.
using EffectRun = std::function<void(uint8_t* out, const EffectRegion& region, uint8_t* hasAlpha)>;

struct EffectCase {
  std::string mName;
  bool mInPlace;
  EffectRun mRun;
};

std::vector<EffectCase> EffectCases(int64_t scatterP1) {
  std::vector<EffectCase> cases;
  auto picture = [](const std::string& name, std::function<void(uint8_t*, const EffectRegion&)> run) {
    return EffectCase{name, false, [run](uint8_t* out, const EffectRegion& r, uint8_t*) { run(out, r); }};
  };
  auto inPlace = [](const std::string& name, EffectRun run) { return EffectCase{name, true, std::move(run)}; };
  for (int64_t level : {0, 100, 128, 255, 256}) {
    cases.push_back(picture("brightness " + std::to_string(level),
                            [level](uint8_t* o, const EffectRegion& r) { ApplyBrightnessEffect(o, r, level); }));
  }
  cases.push_back(picture("negative", ApplyNegativeEffect));
  cases.push_back(picture("sepia", ApplySepiaEffect));
  cases.push_back(picture("mirror", ApplyMirrorEffect));
  cases.push_back(picture("vertical flip", ApplyVerticalFlipEffect));
  cases.push_back(picture("copy", CopyRectRows));
  for (int64_t size : {1, 3, 16, 300}) {
    cases.push_back(picture("mosaic " + std::to_string(size),
                            [size](uint8_t* o, const EffectRegion& r) { ApplyMosaicEffect(o, r, size); }));
  }
  cases.push_back(picture("scatter", [scatterP1](uint8_t* o, const EffectRegion& r) {
    ApplyScatterEffect(o, r, scatterP1);
  }));
  for (int type : {1, 2, 3}) {
    cases.push_back(picture("wave " + std::to_string(type), [type](uint8_t* o, const EffectRegion& r) {
      ApplyWaveEffect(o, r, 9, 40, type);
    }));
  }
  for (int64_t angle : {0, 900, -2700}) {
    cases.push_back(picture("swirl " + std::to_string(angle),
                            [angle](uint8_t* o, const EffectRegion& r) { ApplySwirlEffect(o, r, angle); }));
  }
  for (int64_t threshold : {0, 1, 128, 256}) {
    cases.push_back(inPlace("threshold " + std::to_string(threshold),
                            [threshold](uint8_t* o, const EffectRegion& r, uint8_t*) {
                              ApplyThresholdEffect(o, r, threshold);
                            }));
  }
  for (int64_t type : {1, 2, 3}) {
    for (int64_t colour : {int64_t{0x80102030}, int64_t{0xFFFFFFFF}}) {
      cases.push_back(inPlace("fill " + std::to_string(type), [type, colour](uint8_t* o, const EffectRegion& r,
                                                                             uint8_t* hasAlpha) {
        ApplyFillEffect(o, r, colour, type, hasAlpha);
      }));
    }
  }
  for (auto [a, b] : {std::pair{5, 40}, std::pair{40, 5}, std::pair{20, 20}, std::pair{-3, 100}, std::pair{0, 1}}) {
    cases.push_back(inPlace("alpha ramp " + std::to_string(a) + " " + std::to_string(b),
                            [a = a, b = b](uint8_t* o, const EffectRegion& r, uint8_t* hasAlpha) {
                              ApplyAlphaRampEffect(o, r, r.mSourceWidth, a, b, hasAlpha);
                            }));
  }
  return cases;
}

// The bytes and the alpha flag an effect leaves.
struct EffectResult {
  std::vector<uint8_t> mBytes;
  uint8_t mHasAlpha = 0;
  uint32_t mGeneratorAfter = 0;
  bool operator==(const EffectResult& other) const {
    return mBytes == other.mBytes && mHasAlpha == other.mHasAlpha && mGeneratorAfter == other.mGeneratorAfter;
  }
};

EffectResult RunEffect(const EffectCase& effect, const std::vector<uint8_t>& source, int32_t width, int32_t height,
                       const RegionCase& r) {
  EffectRegion region{source.data(), width, height, r.mX0, r.mY0, r.mX1, r.mY1};
  EffectResult result;
  result.mHasAlpha = 7;
  SeedRuntimeRandom(1234);
  if (effect.mInPlace) {
    result.mBytes = source;
  } else {
    result.mBytes.assign(static_cast<size_t>(region.Width()) * static_cast<size_t>(region.Height()) * 4, 0);
  }
  effect.mRun(result.mBytes.data(), region, &result.mHasAlpha);
  result.mGeneratorAfter = RuntimeRandomState();
  return result;
}

class EffectVectors : public testing::Test {
 protected:
  void SetUp() override { InitPixelPrimitives(); }
  void TearDown() override {
    SelectEffectRowWidth(0);
    StopPixelWorkers();
  }
};

TEST_F(EffectVectors, EveryEffectAtEveryVectorWidthGivesThePlainBytesOnEveryRegion) {
  std::vector<uint8_t> source = TestPixels(static_cast<size_t>(kPictureWidth) * kPictureHeight, 3);
  for (const EffectCase& effect : EffectCases(8)) {
    for (const RegionCase& r : RegionCases()) {
      ASSERT_TRUE(SelectEffectRowWidth(-1));
      EffectResult expected = RunEffect(effect, source, kPictureWidth, kPictureHeight, r);
      for (int width : kVectorWidths) {
        if (!SelectEffectRowWidth(width)) continue;
        EXPECT_TRUE(expected == RunEffect(effect, source, kPictureWidth, kPictureHeight, r))
            << effect.mName << " on " << r.mName << " (" << r.mX0 << ", " << r.mY0 << ")-(" << r.mX1 << ", " << r.mY1
            << ") at width " << width;
      }
    }
  }
}

TEST_F(EffectVectors, OneTwoAndFourWorkersGiveTheBytesOfTheCallingThreadAlone) {
  // Large enough to be cut into several bands.
  constexpr int32_t kWidth = 403;
  constexpr int32_t kHeight = 389;
  std::vector<uint8_t> source = TestPixels(static_cast<size_t>(kWidth) * kHeight, 9);
  std::vector<RegionCase> regions = {{"whole", 0, 0, kWidth - 1, kHeight - 1}, {"inner", 7, 5, 390, 380}};
  // 12 sweeps of the scatter leave bands the height of several margins.
  for (int64_t scatterP1 : {int64_t{12}, int64_t{256}}) {
    std::vector<EffectCase> effects = EffectCases(scatterP1);
    std::vector<EffectResult> expected;
    StopPixelWorkers();
    for (const EffectCase& effect : effects) {
      for (const RegionCase& r : regions) expected.push_back(RunEffect(effect, source, kWidth, kHeight, r));
    }
    for (int workers : {1, 2, 4}) {
      StopPixelWorkers();
      g_WorkerCount = static_cast<uint8_t>(workers);
      ASSERT_EQ(StartPixelWorkers(), 0);
      size_t k = 0;
      for (const EffectCase& effect : effects) {
        for (const RegionCase& r : regions) {
          EXPECT_TRUE(expected[k++] == RunEffect(effect, source, kWidth, kHeight, r))
              << effect.mName << " on " << r.mName << " with " << workers << " workers, scatter " << scatterP1;
        }
      }
    }
  }
}

// The scatter as its rule reads: every sweep in turn, block by block, each
// drawing from the generator.
std::vector<uint8_t> SequentialScatter(const std::vector<uint8_t>& source, int64_t w, int64_t h, int64_t p1) {
  static const int kOrders[24][4] = {
      {3, 2, 1, 0}, {2, 3, 1, 0}, {3, 1, 2, 0}, {1, 3, 2, 0}, {2, 1, 3, 0}, {1, 2, 3, 0}, {3, 2, 0, 1}, {2, 3, 0, 1},
      {3, 0, 2, 1}, {0, 3, 2, 1}, {2, 0, 3, 1}, {0, 2, 3, 1}, {3, 1, 0, 2}, {1, 3, 0, 2}, {3, 0, 1, 2}, {0, 3, 1, 2},
      {1, 0, 3, 2}, {0, 1, 3, 2}, {2, 1, 0, 3}, {1, 2, 0, 3}, {2, 0, 1, 3}, {0, 2, 1, 3}, {1, 0, 2, 3}, {0, 1, 2, 3}};
  std::vector<uint8_t> out = source;
  auto scatter = [&](int64_t u, int64_t v) {
    size_t at[4] = {static_cast<size_t>((v * w + u) * 4), static_cast<size_t>((v * w + u + 1) * 4),
                    static_cast<size_t>(((v + 1) * w + u) * 4), static_cast<size_t>(((v + 1) * w + u + 1) * 4)};
    uint8_t before[4][3];
    for (int k = 0; k < 4; ++k) std::memcpy(before[k], &out[at[k]], 3);
    const int* order = kOrders[RuntimeRandom() % 24];
    for (int k = 0; k < 4; ++k) std::memcpy(&out[at[k]], before[order[k]], 3);
  };
  for (int64_t i = 0; i < p1 / 2; ++i) {
    for (int64_t v = i; v < h - 1; v += 2) {
      for (int64_t u = i; u < w - 1; u += 2) scatter(u, v);
    }
    // The backward sweep has as many blocks per row as the forward one.
    int64_t perRow = w - 1 - i > 0 ? (w - i) / 2 : 0;
    for (int64_t v = h - 2; v >= i; v -= 2) {
      for (int64_t n = 0, u = w - 2 - i; n < perRow; ++n, u -= 2) scatter(u, v);
    }
  }
  return out;
}

TEST_F(EffectVectors, ScatterInBandsGivesTheSequentialSweepsAndLeavesTheGeneratorWhereTheyDo) {
  struct Case {
    int32_t mWidth, mHeight;
    int64_t mP1;
  };
  for (Case c : {Case{301, 280, 8}, Case{300, 281, 12}, Case{97, 410, 60}, Case{5, 3, 256}, Case{2, 900, 6}}) {
    std::vector<uint8_t> source = TestPixels(static_cast<size_t>(c.mWidth) * c.mHeight, 21);
    SeedRuntimeRandom(99);
    std::vector<uint8_t> expected = SequentialScatter(source, c.mWidth, c.mHeight, c.mP1);
    int expectedNext = RuntimeRandom();
    for (int workers : {0, 4}) {
      StopPixelWorkers();
      if (workers != 0) {
        g_WorkerCount = static_cast<uint8_t>(workers);
        ASSERT_EQ(StartPixelWorkers(), 0);
      }
      std::vector<uint8_t> out(source.size());
      SeedRuntimeRandom(99);
      ApplyScatterEffect(out.data(), EffectRegion{source.data(), c.mWidth, c.mHeight, 0, 0, c.mWidth - 1, c.mHeight - 1},
                         c.mP1);
      EXPECT_EQ(out, expected) << c.mWidth << "x" << c.mHeight << " P1 " << c.mP1 << ", " << workers << " workers";
      EXPECT_EQ(RuntimeRandom(), expectedNext) << c.mWidth << "x" << c.mHeight << " P1 " << c.mP1;
    }
  }
}

TEST(RuntimeRandomSkip, TheStateAfterADrawCountIsTheStateAfterDrawingThatMany) {
  for (uint32_t seed : {0u, 1u, 0xDEADBEEFu}) {
    uint32_t state = seed;
    for (uint64_t draws = 0; draws < 300; ++draws) {
      ASSERT_EQ(RandomStateAfter(seed, draws), state) << seed << " after " << draws;
      NextRandomOf(&state);
    }
  }
}

}  // namespace
