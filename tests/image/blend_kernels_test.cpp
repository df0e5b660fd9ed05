#include "image/blend_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "image/blend_kernels_internal.h"
#include "image/pixel_primitives.h"
#include "image/pixel_primitives_internal.h"

namespace {

class BlendKernels : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitPixelPrimitives();
    InitProductTables();
    InitBlendKernels();
  }
};

int FloorDivide(double numerator, double denominator) { return static_cast<int>(std::floor(numerator / denominator)); }

// The channel function of every mode, written independently of the engine's
// table builder (floating-point floors, no product tables).
int ExpectedModeValue(int mode, int s, int d) {
  auto clamp = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
  switch (mode) {
    case 0: return s;
    case 1: return clamp(s + d);
    case 2: return clamp(s - d);
    case 3: return FloorDivide(s * d, 255);
    case 4: return d == 0 ? (s > 0 ? 255 : 0) : clamp(FloorDivide(255.0 * s, d));
    case 5: return s + d - FloorDivide(s * d, 255);
    case 6: return s > d ? s : d;
    case 7: return s < d ? s : d;
    case 8: return s > d ? s - d : d - s;
    case 9: return s + d - 2 * FloorDivide(s * d, 255);
    case 10:
      if (d < 128) return FloorDivide(2.0 * s * d, 255);
      if (d == 128) return s;
      return 2 * d - 257 + FloorDivide(s * (512.0 - 2 * d), 255);
    case 11: return clamp(FloorDivide(256.0 * d, 256 - s));
    case 12: return clamp(255 - FloorDivide(256.0 * (255 - d), s + 1));
    case 13: return clamp(s + d - 255);
    case 14:
      if (s < 128) return FloorDivide(2.0 * s * d, 255);
      if (s == 128) return d;
      return 2 * s - 257 + FloorDivide(d * (512.0 - 2 * s), 255);
    case 15: {
      double root = std::sqrt(256.0 - d);
      double k = std::trunc(16384 - root);
      if (s < 128) return clamp(d + FloorDivide((s - 128) * k, 32768));
      if (d <= 32) return clamp(d + FloorDivide((s - 128) * std::trunc(16384 - (768 - 8.0 * d) * root), 32768));
      return clamp(d + FloorDivide((s - 128) * k, 65536));
    }
    case 16:
      if (s == 0) return 0;
      if (s <= 127) return clamp(FloorDivide(255.0 * d + 510.0 * s - 65025, 2.0 * s));
      if (s <= 254) return clamp(FloorDivide(255.0 * d, 510 - 2 * s));
      return 255;
    case 17: return clamp(2 * s + d - 256);
    case 18: return s < 128 ? (d < 2 * s ? d : 2 * s) : (d > 2 * s - 255 ? d : 2 * s - 255);
    default: return -1;
  }
}

// The opaque kernel of group 0 on every (s, d) pair: the table value, or the
// forwarded primitive's own formula for multiply and screen.
// The processor runs the vector kernels of this width (16, 32 or 64 bytes;
// 0 the widest it has).
bool BuildsVectorWidth(int width) {
  if (g_CpuFeatures[kCpuSse2] == 0) return false;
  if (width == 64) return HaveWidestVectors();
  if (width == 32) return HaveWideVectors();
  return true;
}

TEST_F(BlendKernels, EveryModeOpaqueTableAgainstTheFormula) {
  std::vector<uint8_t> src(65536);
  std::vector<uint8_t> dst(65536);
  for (int mode = 0; mode < kBlendModeCount; ++mode) {
    SCOPED_TRACE(mode);
    for (int s = 0; s < 256; ++s) {
      for (int d = 0; d < 256; ++d) {
        ASSERT_EQ(g_BlendLookupTables.mMode[mode][s][d], ExpectedModeValue(mode, s, d)) << s << " " << d;
        src[s * 256 + d] = static_cast<uint8_t>(s);
        dst[s * 256 + d] = static_cast<uint8_t>(d);
      }
    }
    // The engine's kernels and those of every vector width the processor
    // has (0: the engine's own table).
    for (int width : {0, 16, 32, 64}) {
      BlendKernelTable table = g_BlendKernels;
      if (width != 0 && !BuildsVectorWidth(width)) continue;
      if (width != 0) BuildBlendKernelTable(&table, width);
      for (int s = 0; s < 256; ++s) {
        for (int d = 0; d < 256; ++d) dst[s * 256 + d] = static_cast<uint8_t>(d);
      }
      table.mPlain[mode * 2 + 1](dst.data(), src.data(), 256, dst.size());
      for (int s = 0; s < 256; ++s) {
        for (int d = 0; d < 256; ++d) {
          int expected = ExpectedModeValue(mode, s, d);
          if (mode == BLEND_MULTIPLY) expected = (d * (s + 1)) >> 8;
          if (mode == BLEND_SCREEN) expected = d + s - ((d * (s + 1)) >> 8);
          ASSERT_EQ(dst[s * 256 + d], expected) << "width " << width << ": " << s << " " << d;
        }
      }
    }
  }
}

// Building the tables before the processor features are detected (all
// feature bytes 0, as in a new process) still installs the vector kernels the
// processor runs.
TEST_F(BlendKernels, BuildingBeforeFeatureDetectionInstallsTheVectorKernels) {
  uint8_t detected[kCpuFeatureCount];
  std::memcpy(detected, g_CpuFeatures, sizeof detected);
  std::memset(g_CpuFeatures, 0, sizeof g_CpuFeatures);
  InitBlendKernels();
  BlendKernelTable built = g_BlendKernels;
  std::memcpy(g_CpuFeatures, detected, sizeof detected);
  BlendKernelTable reference;
  BuildBlendKernelTable(&reference, 0);
  int vectorEntries = 0;
  for (int entry = 0; entry < kBlendKernelEntries; ++entry) {
    SCOPED_TRACE(entry);
    EXPECT_EQ(built.mPlain[entry], reference.mPlain[entry]);
    EXPECT_EQ(built.mAlpha[entry], reference.mAlpha[entry]);
    EXPECT_EQ(built.mMasked[entry], reference.mMasked[entry]);
    EXPECT_EQ(built.mMaskedAlpha[entry], reference.mMaskedAlpha[entry]);
    if (built.mPlain[entry] != g_PlainBlendKernels.mPlain[entry]) ++vectorEntries;
  }
  if (BuildsVectorWidth(16)) {
    EXPECT_GT(vectorEntries, 0);
  }
  InitBlendKernels();
}

TEST_F(BlendKernels, DocumentedModeValues) {
  struct Case {
    int mMode, mS, mD, mExpected;
  };
  const Case cases[] = {
      {BLEND_DIVIDE, 1, 0, 255},          {BLEND_DIVIDE, 0, 0, 0},          {BLEND_COLOR_DODGE, 255, 1, 255},
      {BLEND_COLOR_DODGE, 255, 0, 0},     {BLEND_VIVID_LIGHT, 255, 0, 255}, {BLEND_VIVID_LIGHT, 0, 200, 0},
      {BLEND_OVERLAY, 77, 128, 77},       {BLEND_HARD_LIGHT, 128, 77, 77},  {BLEND_OVERLAY, 0, 255, 253},
      {BLEND_SUBTRACT, 100, 30, 70},      {BLEND_SUBTRACT, 30, 100, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(g_BlendLookupTables.mMode[c.mMode][c.mS][c.mD], c.mExpected) << c.mMode << " " << c.mS << " " << c.mD;
  }
  for (int d = 0; d < 256; ++d) EXPECT_EQ(g_BlendLookupTables.mMode[BLEND_SOFT_LIGHT][128][d], d);
  for (int a = 1; a < 256; ++a) EXPECT_EQ(g_BlendLookupTables.mReciprocal[a][a], 256);
  EXPECT_EQ(g_BlendLookupTables.mReciprocal[0][200], 0);
}

// Pattern model of a kernel on one row, from the formulas; forwarded kernels
// are modelled by the reference primitive of the running level.
void ModelKernel(int group, int mode, int o, uint8_t* d, const uint8_t* s, const uint8_t* m, size_t n) {
  const PixelPrimitiveTable& ref = GetReferencePrimitives(g_PixelLevel);
  auto T = [mode](int sv, int dv) { return ExpectedModeValue(mode, sv, dv); };
  bool opaque = o == 256;
  if (group == 0) {
    if (mode == BLEND_NORMAL) return opaque ? ref.mCopyBytes(d, s, n) : ref.mBlendRowOpacity(d, s, o, n);
    if (mode == BLEND_ADD) return opaque ? ref.mAddRowSaturate(d, s, n) : ref.mAddRowOpacity(d, s, o, n);
    if (mode == BLEND_SCREEN) return opaque ? ref.mScreenRow(d, s, n) : ref.mScreenRowOpacity(d, s, o, n);
    if (mode == BLEND_MULTIPLY && opaque) return ref.mMultiplyRow(d, s, n);
    for (size_t i = 0; i < n; ++i) {
      int t = T(s[i], d[i]);
      if (opaque) {
        d[i] = static_cast<uint8_t>(t);
      } else if (mode == BLEND_DIFFERENCE) {
        d[i] = static_cast<uint8_t>(d[i] + static_cast<int>(std::trunc((t - d[i]) * o / 256.0)));
      } else {
        d[i] = static_cast<uint8_t>(d[i] + FloorDivide((t - d[i]) * o, 256));
      }
    }
    return;
  }
  if (group == 1) {
    if (mode == BLEND_NORMAL) return opaque ? ref.mBlendRowAlpha(d, s, n) : ref.mBlendRowAlphaOpacity(d, s, o, n);
    if (mode == BLEND_ADD) return opaque ? ref.mAddRowAlpha(d, s, n) : ref.mAddRowAlphaOpacity(d, s, o, n);
  }
  if (group == 2 && mode == BLEND_NORMAL && opaque) return ref.mBlendRowRuleWeighted(d, s, m, 100, 64, n);
  for (size_t p = 0; p + 4 <= n; p += 4) {
    int sa = s[p + 3];
    double w = 0;
    double scale = 256;
    if (group == 1) {
      w = opaque ? sa + 1 : FloorDivide(o * (sa + 1), 256);
    } else {
      int rule = g_RuleWeightTable[m[p]];
      if (rule <= 1) continue;
      w = rule;
      if (group == 3) {
        w = rule * (mode == BLEND_NORMAL ? sa : sa + 1);
        scale = 65536;
      }
    }
    for (size_t c = p; c < p + 3; ++c) d[c] = static_cast<uint8_t>(d[c] + FloorDivide((T(s[c], d[c]) - d[c]) * w, scale));
  }
}

TEST_F(BlendKernels, GroupsAtTheOpacitiesAndAlphasWhereRulesChange) {
  std::mt19937 random(77);
  for (int w = 0; w < 256; ++w) {
    static constexpr int kWeights[] = {0, 1, 2, 128, 255, 256};
    g_RuleWeightTable[w] = kWeights[w % 6];
  }
  // 9 pixels: four 8-byte blocks and a single pixel (and a 4-byte tail).
  constexpr size_t kBytes = 36;
  static constexpr int kOpacities[] = {0, 1, 128, 255, 256};
  static constexpr int kAlphas[] = {0, 127, 255};
  for (int group = 0; group < 4; ++group) {
    for (int mode = 0; mode < kBlendModeCount; ++mode) {
      for (int o : kOpacities) {
        if (group >= 2 && o != 256 && o != 255) continue;  // the masked kernels ignore the opacity
        int entry = mode * 2 + (o >> 8);
        if (group == 3) entry = mode * 2;
        for (int alpha : kAlphas) {
          alignas(16) uint8_t d[kBytes];
          alignas(16) uint8_t expected[kBytes];
          uint8_t s[kBytes];
          uint8_t m[kBytes];
          for (size_t i = 0; i < kBytes; ++i) {
            d[i] = static_cast<uint8_t>(random());
            s[i] = (i & 3) == 3 ? static_cast<uint8_t>(alpha) : static_cast<uint8_t>(random());
            m[i] = static_cast<uint8_t>(i / 4);  // weights 0, 1, 2, 128, 255, 256, 0, 1, 2
          }
          std::memcpy(expected, d, kBytes);
          ModelKernel(group, mode, group >= 2 ? (entry & 1 ? 256 : 0) : o, expected, s, m, kBytes);
          switch (group) {
            case 0: g_BlendKernels.mPlain[entry](d, s, o, kBytes); break;
            case 1: g_BlendKernels.mAlpha[entry](d, s, o, kBytes); break;
            case 2: g_BlendKernels.mMasked[entry](d, s, m, 100, 64, kBytes); break;
            default: g_BlendKernels.mMaskedAlpha[entry](d, s, m, 100, 64, kBytes); break;
          }
          ASSERT_EQ(0, std::memcmp(d, expected, kBytes))
              << "group " << group << " mode " << mode << " opacity " << o << " alpha " << alpha;
        }
      }
    }
  }
}

TEST_F(BlendKernels, AlphaGroupKeepsTheDestinationAlpha) {
  for (int mode = 1; mode < kBlendModeCount; ++mode) {
    for (int entry : {mode * 2, mode * 2 + 1}) {
      uint8_t d[16] = {9, 9, 9, 33, 9, 9, 9, 44, 9, 9, 9, 55, 9, 9, 9, 66};
      uint8_t s[16] = {200, 100, 50, 255, 200, 100, 50, 128, 200, 100, 50, 0, 1, 2, 3, 4};
      g_BlendKernels.mAlpha[entry](d, s, 200, 16);
      EXPECT_EQ(d[3], 33);
      EXPECT_EQ(d[7], 44);
      EXPECT_EQ(d[11], 55);
      EXPECT_EQ(d[15], 66);
    }
  }
}

TEST_F(BlendKernels, RuleWeightsZeroAndOneSkipAndFullWeightGivesTheMode) {
  for (int w = 0; w < 256; ++w) g_RuleWeightTable[w] = 256;
  g_RuleWeightTable[10] = 0;
  g_RuleWeightTable[11] = 1;
  for (int mode = 1; mode < kBlendModeCount; ++mode) {
    uint8_t d[12] = {30, 60, 90, 7, 30, 60, 90, 7, 30, 60, 90, 7};
    const uint8_t s[12] = {200, 100, 50, 255, 200, 100, 50, 255, 200, 100, 50, 255};
    const uint8_t m[12] = {10, 0, 0, 0, 11, 0, 0, 0, 12, 0, 0, 0};
    g_BlendKernels.mMasked[mode * 2](d, s, m, 256, 0, 12);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(d[i], i % 4 == 3 ? 7 : (i % 4 + 1) * 30) << mode << " " << i;
    for (int c = 0; c < 3; ++c) EXPECT_EQ(d[8 + c], g_BlendLookupTables.mMode[mode][s[c]][(c + 1) * 30]) << mode;
    EXPECT_EQ(d[11], 7);
  }
}

// The kernels the engine runs, and the vector kernels of each width the
// processor has, against the plain kernels on random rows: every group, mode
// and entry, rows of every length and misalignment, alphas and rule weights
// where the rules change (weights outside 0..256 included).
class VectorKernels : public BlendKernels, public testing::WithParamInterface<int> {};

TEST_P(VectorKernels, GiveThePlainKernelsBytes) {
  int width = GetParam();
  BlendKernelTable table = g_BlendKernels;
  if (width != 0) BuildBlendKernelTable(&table, width);
  if (BuildsVectorWidth(width)) {
    // The vector forms are in place, so the comparison below is not of a
    // kernel with itself.
    EXPECT_NE(table.mAlpha[BLEND_OVERLAY * 2 + 1], g_PlainBlendKernels.mAlpha[BLEND_OVERLAY * 2 + 1]);
    EXPECT_NE(table.mMaskedAlpha[BLEND_NORMAL * 2], g_PlainBlendKernels.mMaskedAlpha[BLEND_NORMAL * 2]);
  }
  std::mt19937 random(2024);
  static constexpr int32_t kWeights[] = {-3, 0, 1, 2, 3, 127, 128, 129, 255, 256, 257, 300};
  static constexpr uint8_t kEdges[] = {0, 1, 2, 127, 128, 129, 254, 255};
  static constexpr int kOpacities[] = {0, 1, 2, 64, 127, 128, 129, 200, 254, 255, 256};
  auto fill = [&](uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) data[i] = (random() & 3) == 0 ? kEdges[random() % 8] : static_cast<uint8_t>(random());
  };
  for (int group = 0; group < 4; ++group) {
    for (int mode = 0; mode < kBlendModeCount; ++mode) {
      for (int o : kOpacities) {
        int entry = group == 3 ? mode * 2 : mode * 2 + (o >> 8);
        for (size_t n = 0; n <= 80; n += (n < 20 ? 1 : 7)) {
          for (size_t misalign = 0; misalign < 8; misalign += 3) {
            for (int w = 0; w < 256; ++w) g_RuleWeightTable[w] = kWeights[random() % std::size(kWeights)];
            alignas(16) uint8_t engine[96];
            alignas(16) uint8_t plain[96];
            alignas(16) uint8_t s[96];
            alignas(16) uint8_t m[96];
            fill(engine, sizeof(engine));
            fill(s, sizeof(s));
            fill(m, sizeof(m));
            std::memcpy(plain, engine, sizeof(engine));
            uint8_t* d1 = engine + misalign;
            uint8_t* d2 = plain + misalign;
            const uint8_t* src = s + (misalign * 5) % 8;
            int threshold = static_cast<int>(random() % 256);
            int softness = static_cast<int>(random() % 300);
            switch (group) {
              case 0:
                table.mPlain[entry](d1, src, o, n);
                g_PlainBlendKernels.mPlain[entry](d2, src, o, n);
                break;
              case 1:
                table.mAlpha[entry](d1, src, o, n);
                g_PlainBlendKernels.mAlpha[entry](d2, src, o, n);
                break;
              case 2:
                table.mMasked[entry](d1, src, m, threshold, softness, n);
                g_PlainBlendKernels.mMasked[entry](d2, src, m, threshold, softness, n);
                break;
              default:
                table.mMaskedAlpha[entry](d1, src, m, threshold, softness, n);
                g_PlainBlendKernels.mMaskedAlpha[entry](d2, src, m, threshold, softness, n);
                break;
            }
            ASSERT_EQ(0, std::memcmp(engine, plain, sizeof(engine)))
                << "group " << group << " mode " << mode << " opacity " << o << " n " << n << " misalignment "
                << misalign;
          }
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EngineSse2Avx2AndAvx512, VectorKernels, testing::Values(0, 16, 32, 64));

}  // namespace
