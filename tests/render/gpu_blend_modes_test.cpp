// Each blend mode drawn on the GPU against the processor compositor's frame
// of the same layers: the GPU frame is read back through the capture layer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/settings.h"
#include "layer/layer_record.h"
#include "platform/gpu_device.h"
#include "render/gpu_blend_states.h"
#include "render/gpu_frame.h"
#include "support/gpu_scene.h"

namespace {

constexpr int32_t kWidth = 16;
constexpr int32_t kHeight = 8;
constexpr int64_t kTopX = 3;
constexpr int64_t kTopY = 2;
constexpr int32_t kTopWidth = 8;
constexpr int32_t kTopHeight = 4;

uint32_t Argb(int a, int r, int g, int b) {
  return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(r & 255) << 16) |
         (static_cast<uint32_t>(g & 255) << 8) | static_cast<uint32_t>(b & 255);
}

std::vector<uint32_t> BasePixels() {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) pixels.push_back(Argb(255, x * 11 + y * 97 + 47, x * 53 + y * 17 + 101, x * 29 + y * 71 + 13));
  }
  return pixels;
}

enum class Alpha { kOpaque, kBinary, kMixed };

std::vector<uint32_t> TopPixels(Alpha alpha) {
  static const int kMixedLevels[] = {0, 64, 128, 200, 255, 17, 240};
  std::vector<uint32_t> pixels;
  for (int y = 0; y < kTopHeight; ++y) {
    for (int x = 0; x < kTopWidth; ++x) {
      int i = y * kTopWidth + x;
      int a = alpha == Alpha::kOpaque ? 255 : (alpha == Alpha::kBinary ? ((i % 3) == 0 ? 0 : 255) : kMixedLevels[i % 7]);
      pixels.push_back(Argb(a, x * 37 + y * 5 + 200, x * 71 + y * 43 + 9, x * 13 + y * 89 + 151));
    }
  }
  return pixels;
}

// The colour channels of two frames differ by at most tolerance.
void ExpectColoursNear(const std::vector<uint32_t>& gpu, const std::vector<uint32_t>& expected, int tolerance) {
  ASSERT_EQ(gpu.size(), expected.size());
  int worst = 0;
  for (size_t i = 0; i < gpu.size(); ++i) {
    for (int c = 0; c < 3; ++c) {
      int difference = std::abs(Channel(gpu[i], c) - Channel(expected[i], c));
      worst = std::max(worst, difference);
      if (difference > tolerance) {
        ADD_FAILURE() << "pixel (" << i % kWidth << ", " << i / kWidth << ") channel " << c << ": GPU "
                      << int(Channel(gpu[i], c)) << ", expected " << int(Channel(expected[i], c));
        return;
      }
    }
  }
}

enum class Reference {
  kCpu,        // the compositor in the same mode
  kCpuNormal,  // the compositor in mode 0: the GPU has no states of its own
  kFromTarget  // the target minus the colour: the GPU's subtract
};

struct ModeCase {
  const char* mName;
  int mMode;
  int16_t mOpacity;
  Alpha mAlpha;
  Reference mReference;
  int mTolerance;
};

std::string CaseName(const testing::TestParamInfo<ModeCase>& info) { return info.param.mName; }

class GpuBlendModeTest : public testing::TestWithParam<ModeCase> {};

TEST_P(GpuBlendModeTest, MatchesTheProcessorCompositor) {
  const ModeCase& c = GetParam();
  GpuScene scene(kWidth, kHeight);
  if (!scene.Open()) GTEST_SKIP() << "no OpenGL device here";
  // Point sampling: texels land exactly on pixels, so only the blend
  // arithmetic differs.
  g_SamplerMagFilter = 0;
  g_SamplerMinFilter = 0;
  scene.Layer("base", 0, 0, kWidth, kHeight, BasePixels());
  std::vector<uint32_t> top = TopPixels(c.mAlpha);
  LayerRecord* record = RecordOf(scene.Layer("top", kTopX, kTopY, kTopWidth, kTopHeight, top));
  record->mOpacity = c.mOpacity;
  scene.CaptureLayer(kWidth, kHeight);

  std::vector<uint32_t> expected;
  if (c.mReference == Reference::kFromTarget) {
    expected = BasePixels();
    for (int y = 0; y < kTopHeight; ++y) {
      for (int x = 0; x < kTopWidth; ++x) {
        uint32_t& d = expected[(y + kTopY) * kWidth + x + kTopX];
        uint32_t s = top[y * kTopWidth + x];
        d = Argb(255, std::max(0, Channel(d, 2) - Channel(s, 2)), std::max(0, Channel(d, 1) - Channel(s, 1)),
                 std::max(0, Channel(d, 0) - Channel(s, 0)));
      }
    }
  } else {
    record->mBlendMode = static_cast<uint8_t>(c.mReference == Reference::kCpuNormal ? 0 : c.mMode);
    expected = scene.CpuFrame();
  }
  record->mBlendMode = static_cast<uint8_t>(c.mMode);
  ExpectColoursNear(scene.GpuFrame(), expected, c.mTolerance);
}

// Tolerances: 0 where the GPU's blend gives the compositor's bytes; 1 or 2
// where the compositor floors a product the GPU rounds, or weighs alpha by
// (a + 1) / 256 where the GPU takes a / 255. The compositor's add caps the
// alpha weight at 255 and its darken floors a step of a transparent pixel
// down, both one level off the exact result the GPU draws.
INSTANTIATE_TEST_SUITE_P(
    Modes, GpuBlendModeTest,
    testing::Values(ModeCase{"NormalOpaque", 0, 256, Alpha::kOpaque, Reference::kCpu, 0},
                    ModeCase{"NormalAlpha", 0, 256, Alpha::kMixed, Reference::kCpu, 2},
                    ModeCase{"NormalOpacity", 0, 160, Alpha::kMixed, Reference::kCpu, 2},
                    ModeCase{"AddOpaque", 1, 256, Alpha::kOpaque, Reference::kCpu, 1},
                    ModeCase{"AddBinaryAlpha", 1, 256, Alpha::kBinary, Reference::kCpu, 1},
                    ModeCase{"SubtractFromTheTarget", 2, 256, Alpha::kOpaque, Reference::kFromTarget, 0},
                    ModeCase{"MultiplyOpaque", 3, 256, Alpha::kOpaque, Reference::kCpu, 1},
                    ModeCase{"MultiplyAlpha", 3, 256, Alpha::kMixed, Reference::kCpu, 2},
                    ModeCase{"DivideAsNormal", 4, 256, Alpha::kMixed, Reference::kCpuNormal, 2},
                    ModeCase{"ScreenOpaque", 5, 256, Alpha::kOpaque, Reference::kCpu, 1},
                    ModeCase{"ScreenAlpha", 5, 256, Alpha::kMixed, Reference::kCpu, 2},
                    ModeCase{"LightenOpaque", 6, 256, Alpha::kOpaque, Reference::kCpu, 0},
                    ModeCase{"DarkenOpaque", 7, 256, Alpha::kOpaque, Reference::kCpu, 0},
                    ModeCase{"DarkenBinaryAlpha", 7, 256, Alpha::kBinary, Reference::kCpu, 1},
                    ModeCase{"DifferenceAsNormal", 8, 256, Alpha::kMixed, Reference::kCpuNormal, 2},
                    ModeCase{"ExclusionOpaque", 9, 256, Alpha::kOpaque, Reference::kCpu, 2},
                    ModeCase{"OverlayAsNormal", 10, 256, Alpha::kOpaque, Reference::kCpuNormal, 0},
                    ModeCase{"ColourDodgeAsNormal", 11, 200, Alpha::kMixed, Reference::kCpuNormal, 2},
                    ModeCase{"ColourBurnAsNormal", 12, 256, Alpha::kMixed, Reference::kCpuNormal, 2},
                    ModeCase{"LinearBurnAsNormal", 13, 256, Alpha::kOpaque, Reference::kCpuNormal, 0},
                    ModeCase{"HardLightAsNormal", 14, 256, Alpha::kMixed, Reference::kCpuNormal, 2},
                    ModeCase{"SoftLightAsNormal", 15, 256, Alpha::kMixed, Reference::kCpuNormal, 2},
                    ModeCase{"VividLightAsNormal", 16, 256, Alpha::kOpaque, Reference::kCpuNormal, 0},
                    ModeCase{"LinearLightAsNormal", 17, 256, Alpha::kMixed, Reference::kCpuNormal, 2},
                    ModeCase{"PinLightAsNormal", 18, 256, Alpha::kMixed, Reference::kCpuNormal, 2}),
    CaseName);

// A mode without states of its own used to draw with whatever the quad
// before it left: after an additive layer it added too. It now draws as
// normal whatever came before.
TEST(GpuBlendInheritanceTest, ModesWithoutStatesDoNotTakeThePreviousQuads) {
  for (int mode : {4, 8, 10, 14, 18}) {
    for (int previous : {1, 2, 3, 5, 6, 7, 9}) {
      SCOPED_TRACE("mode " + std::to_string(mode) + " after mode " + std::to_string(previous));
      GpuScene scene(kWidth, kHeight);
      if (!scene.Open()) GTEST_SKIP() << "no OpenGL device here";
      g_SamplerMagFilter = 0;
      g_SamplerMinFilter = 0;
      scene.Layer("base", 0, 0, kWidth, kHeight, BasePixels());
      LayerRecord* before = RecordOf(scene.Layer("before", 0, 0, 2, 2, std::vector<uint32_t>(4, Argb(255, 90, 90, 90))));
      before->mBlendMode = static_cast<uint8_t>(previous);
      LayerRecord* top = RecordOf(scene.Layer("top", kTopX, kTopY, kTopWidth, kTopHeight, TopPixels(Alpha::kMixed)));
      scene.CaptureLayer(kWidth, kHeight);
      // The reference: the same layer in mode 0, drawn on the GPU.
      top->mBlendMode = 0;
      std::vector<uint32_t> normal = scene.GpuFrame();
      top->mBlendMode = static_cast<uint8_t>(mode);
      std::vector<uint32_t> drawn = scene.GpuFrame();
      for (int y = 0; y < kTopHeight; ++y) {
        for (int x = 0; x < kTopWidth; ++x) {
          size_t i = static_cast<size_t>(y + kTopY) * kWidth + static_cast<size_t>(x + kTopX);
          ASSERT_EQ(drawn[i] & 0xFFFFFFu, normal[i] & 0xFFFFFFu) << "at (" << x << ", " << y << ")";
        }
      }
    }
  }
}

// The table itself: which modes carry the opacity in the vertex colour, and
// that the modes without states of their own take mode 0's.
TEST(GpuBlendStateTableTest, DiffuseAndFallbackStates) {
  for (int mode = 0; mode < kBlendModeCount; ++mode) {
    bool diffuse = mode == 1 || mode == 2 || mode == 3 || mode == 5 || mode == 6 || mode == 7 || mode == 9;
    EXPECT_EQ(GpuQuadDiffuse(mode, 0x7F), diffuse ? 0x7F7F7F7Fu : 0xFF000000u) << "mode " << mode;
  }
  EXPECT_EQ(GpuQuadDiffuse(98, 0x20), 0x20202020u);
  EXPECT_EQ(GpuQuadDiffuse(100, 0x20), 0x20202020u);
  const GpuBlendState& normal = GpuBlendStateOf(0);
  for (int mode : {4, 8, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, -1}) {
    const GpuBlendState& state = GpuBlendStateOf(mode);
    EXPECT_EQ(state.source, normal.source) << mode;
    EXPECT_EQ(state.destination, normal.destination) << mode;
    EXPECT_EQ(state.op, normal.op) << mode;
    EXPECT_EQ(state.factor, GpuFactorSource::kOpacity) << mode;
    EXPECT_TRUE(state.disableStage2) << mode;
  }
  EXPECT_EQ(GpuBlendStateOf(2).op, GpuBlendOp::kRevSubtract);
  EXPECT_EQ(GpuBlendStateOf(3).stage1Texture, GpuStage1Texture::kWhite);
  EXPECT_EQ(GpuBlendStateOf(5).stage1Texture, GpuStage1Texture::kBlack);
  EXPECT_EQ(GpuBlendStateOf(6).op, GpuBlendOp::kMax);
  EXPECT_EQ(GpuBlendStateOf(7).op, GpuBlendOp::kMin);
}

// A stage without a texture passes the previous result on rather than
// reading black; a stage that reads no texture is kept.
TEST(GpuBlendStateTableTest, StagesWithoutTexture) {
  GpuStage select{GpuStageOp::kSelectArg1, GpuStageArg::kTexture, GpuStageArg::kCurrent,
                  GpuStageOp::kDisable,    GpuStageArg::kTexture, GpuStageArg::kCurrent};
  EXPECT_EQ(GpuStageWithoutTexture(select).colorOp, GpuStageOp::kDisable);
  GpuStage factor{GpuStageOp::kBlendCurrentAlpha, GpuStageArg::kCurrent, GpuStageArg::kTextureFactor,
                  GpuStageOp::kSelectArg1,        GpuStageArg::kCurrent, GpuStageArg::kCurrent};
  EXPECT_EQ(GpuStageWithoutTexture(factor).colorOp, GpuStageOp::kBlendCurrentAlpha);
}

}  // namespace
