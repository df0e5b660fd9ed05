// The GPU frame on the OpenGL device: what reaches the capture layer, the
// quad placement, the effect passes against the processor's rule mask and
// cross-fade, the layer capture and the sprite paste.
#include "render/gpu_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "image/image_operations.h"
#include "image/pixel_buffers.h"
#include "layer/composition.h"
#include "layer/layer_record.h"
#include "movie/emote.h"
#include "platform/gpu_device.h"
#include "render/direct3d.h"
#include "render/layer_textures.h"
#include "support/dialog_recorder.h"
#include "support/emote_double.h"
#include "support/gpu_scene.h"

namespace {

uint32_t Argb(int a, int r, int g, int b) {
  return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(r & 255) << 16) |
         (static_cast<uint32_t>(g & 255) << 8) | static_cast<uint32_t>(b & 255);
}

std::vector<uint32_t> Solid(int32_t width, int32_t height, uint32_t colour) {
  return std::vector<uint32_t>(static_cast<size_t>(width) * height, colour);
}

std::vector<uint32_t> Pattern(int32_t width, int32_t height, int seed, int alpha = 255) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      pixels.push_back(Argb(alpha, x * 37 + y * 11 + seed, x * 7 + y * 59 + seed * 3, x * 23 + y * 31 + seed * 5));
    }
  }
  return pixels;
}

void SetPath(char* text, const char* path) { std::snprintf(text, kLayerPathTextBytes, "%s", path); }

int WorstColourDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  int worst = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(Channel(a[i], c) - Channel(b[i], c)));
  }
  return worst;
}

class GpuFrameTest : public testing::Test {
 protected:
  void Open(int32_t width, int32_t height) {
    mScene = std::make_unique<GpuScene>(width, height);
    mOpened = mScene->Open();
  }
  void TearDown() override { mScene.reset(); }
  void PointSampling() {
    g_SamplerMagFilter = 0;
    g_SamplerMinFilter = 0;
  }
  std::unique_ptr<GpuScene> mScene;
  bool mOpened = false;
};

#define OPEN_OR_SKIP(w, h)                                   \
  Open(w, h);                                                \
  if (!mOpened) GTEST_SKIP() << "no OpenGL device here"

TEST_F(GpuFrameTest, WithoutACaptureLayerNothingIsDrawn) {
  OPEN_OR_SKIP(8, 8);
  mScene->Layer("a", 0, 0, 8, 8, Solid(8, 8, Argb(255, 10, 20, 30)));
  int before = g_GpuDeviceCounts.quadsDrawn;
  EXPECT_EQ(RenderFrameGpu(), 0);
  EXPECT_EQ(g_GpuDeviceCounts.quadsDrawn, before);
  // With a capture layer the same frame draws the layer's one tile.
  mScene->CaptureLayer(8, 8);
  EXPECT_EQ(RenderFrameGpu(), 0);
  EXPECT_EQ(g_GpuDeviceCounts.quadsDrawn, before + 1);
}

TEST_F(GpuFrameTest, ACaptureLayerOfAnotherSizeIsNeverWritten) {
  OPEN_OR_SKIP(8, 8);
  PointSampling();
  mScene->Layer("a", 0, 0, 8, 8, Solid(8, 8, Argb(255, 10, 20, 30)));
  for (auto size : {std::pair{7, 8}, std::pair{8, 9}}) {
    ObjectTreeNode* capture = mScene->CaptureLayer(size.first, size.second);
    std::vector<uint32_t> before = RecordPixels(RecordOf(capture));
    EXPECT_EQ(RenderFrameGpu(), 0);
    EXPECT_EQ(RecordPixels(RecordOf(capture)), before);
  }
  mScene->CaptureLayer(8, 8);
  EXPECT_EQ(mScene->GpuFrame(), Solid(8, 8, Argb(255, 10, 20, 30)));
}

// Opacity 256 draws as 255 (a byte of 256 would be 0 and hide the layer in
// every mode); opacity 0 is not drawn at all.
TEST_F(GpuFrameTest, OpacityIsClampedToAByteAndZeroIsSkipped) {
  for (int mode : {0, 1, 6}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    OPEN_OR_SKIP(4, 4);
    PointSampling();
    LayerRecord* layer = RecordOf(mScene->Layer("a", 0, 0, 4, 4, Solid(4, 4, Argb(255, 200, 100, 50))));
    layer->mBlendMode = static_cast<uint8_t>(mode);
    layer->mOpacity = 256;
    mScene->CaptureLayer(4, 4);
    for (uint32_t pixel : mScene->GpuFrame()) EXPECT_EQ(pixel & 0xFFFFFFu, 0xC86432u);
    layer->mOpacity = 0;
    int before = g_GpuDeviceCounts.quadsDrawn;
    for (uint32_t pixel : mScene->GpuFrame()) EXPECT_EQ(pixel & 0xFFFFFFu, 0u);
    EXPECT_EQ(g_GpuDeviceCounts.quadsDrawn, before);
    mScene.reset();
  }
}

TEST_F(GpuFrameTest, InvisibleAndUntexturedLayersAreSkipped) {
  OPEN_OR_SKIP(4, 4);
  mScene->Layer("cpu", 0, 0, 4, 4, Solid(4, 4, Argb(255, 1, 2, 3)), false);
  RecordOf(mScene->Layer("hidden", 0, 0, 4, 4, Solid(4, 4, Argb(255, 4, 5, 6))))->mVisible = 0;
  mScene->CaptureLayer(4, 4);
  int before = g_GpuDeviceCounts.quadsDrawn;
  for (uint32_t pixel : mScene->GpuFrame()) EXPECT_EQ(pixel, 0u);
  EXPECT_EQ(g_GpuDeviceCounts.quadsDrawn, before);
}

TEST_F(GpuFrameTest, LayersInsideGroupsAreDrawn) {
  OPEN_OR_SKIP(8, 4);
  PointSampling();
  ObjectTreeNode* group = mScene->mEnv->Add(mScene->mEnv->mW0, "g", 0, 0, 8, 4, true);
  SetPixelBuffer(RecordOf(group), AllocPixelBuffer(nullptr, 8, 4, nullptr), 8, 4);
  mScene->Layer("inner", 4, 0, 4, 4, Solid(4, 4, Argb(255, 9, 8, 7)), true, group);
  mScene->CaptureLayer(8, 4);
  std::vector<uint32_t> frame = mScene->GpuFrame();
  EXPECT_EQ(frame[0], 0u);
  EXPECT_EQ(frame[5] & 0xFFFFFFu, 0x090807u);
}

// Columns that alternate between black and white show how far the texels
// were moved: with the sub-pixel correction a layer at 10.25 samples each
// column 1/16 towards the one before it, and at 10.5 half-way.
TEST_F(GpuFrameTest, SubPixelPositionsMoveTheTextureCoordinates) {
  struct Case {
    int64_t mPosX100;
    int mFirstPixel;
    float mWeightOfPrevious;
  };
  const Case cases[] = {{1025, 10, 0.0625f}, {1050, 11, 0.5f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mPosX100);
    OPEN_OR_SKIP(24, 2);
    std::vector<uint32_t> columns;
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 8; ++x) columns.push_back(x % 2 == 0 ? Argb(255, 255, 255, 255) : Argb(255, 0, 0, 0));
    }
    LayerRecord* layer = RecordOf(mScene->Layer("a", 10, 0, 8, 2, columns));
    layer->mPosX100 = c.mPosX100;
    mScene->CaptureLayer(24, 2);
    std::vector<uint32_t> frame = mScene->GpuFrame();
    for (int k = 1; k < 6; ++k) {
      int x = c.mFirstPixel + k;
      int texel = x - 10 - (c.mFirstPixel - 10);
      float current = texel % 2 == 0 ? 255.0f : 0.0f;
      float previous = 255.0f - current;
      float expected = current * (1.0f - c.mWeightOfPrevious) + previous * c.mWeightOfPrevious;
      EXPECT_NEAR(Channel(frame[24 + x], 1), expected, 2.0f) << "pixel " << x;
    }
    mScene.reset();
  }
}

// At whole-pixel positions the default linear filter blends a pixel with an
// eighth of its neighbour, which a smooth picture keeps within one level of
// the compositor's frame.
TEST_F(GpuFrameTest, LinearFilteringStaysCloseToTheCompositorForSmoothPictures) {
  OPEN_OR_SKIP(16, 8);
  std::vector<uint32_t> smooth;
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 12; ++x) smooth.push_back(Argb(255, 100 + x * 3, 50 + y * 3, 200 - x * 2 - y));
  }
  mScene->Layer("a", 2, 1, 12, 6, smooth);
  mScene->CaptureLayer(16, 8);
  std::vector<uint32_t> cpu = mScene->CpuFrame();
  std::vector<uint32_t> gpu = mScene->GpuFrame();
  // Compare inside the layer: its outermost pixels blend with the padding.
  int worst = 0;
  for (int y = 2; y < 6; ++y) {
    for (int x = 3; x < 13; ++x) {
      for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(Channel(gpu[y * 16 + x], c) - Channel(cpu[y * 16 + x], c)));
    }
  }
  EXPECT_LE(worst, 1);
}

TEST_F(GpuFrameTest, RollTurnsTheLayerAboutTheCentreInTheWindow) {
  OPEN_OR_SKIP(12, 12);
  PointSampling();
  uint32_t colour = Argb(255, 250, 10, 10);
  LayerRecord* layer = RecordOf(mScene->Layer("a", 4, 6, 4, 2, Solid(4, 2, colour)));
  layer->mCentreX = 550;
  layer->mCentreY = 650;
  layer->mRotation3 = 9000;
  mScene->CaptureLayer(12, 12);
  std::vector<uint32_t> frame = mScene->GpuFrame();
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 12; ++x) {
      bool covered = x >= 5 && x <= 6 && y >= 5 && y <= 8;
      EXPECT_EQ(frame[y * 12 + x] & 0xFFFFFFu, covered ? colour & 0xFFFFFFu : 0u) << x << ", " << y;
    }
  }
}

TEST_F(GpuFrameTest, YawOfHalfATurnMirrorsTheLayer) {
  OPEN_OR_SKIP(8, 2);
  PointSampling();
  std::vector<uint32_t> halves;
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) halves.push_back(x < 2 ? Argb(255, 255, 0, 0) : Argb(255, 0, 0, 255));
  }
  LayerRecord* layer = RecordOf(mScene->Layer("a", 2, 0, 4, 2, halves));
  layer->mCentreX = 350;  // the middle of the layer: between pixels 3 and 4
  layer->mCentreY = 50;
  layer->mRotation1 = 18000;
  mScene->CaptureLayer(8, 2);
  std::vector<uint32_t> frame = mScene->GpuFrame();
  EXPECT_EQ(frame[2] & 0xFFFFFFu, 0x0000FFu);
  EXPECT_EQ(frame[3] & 0xFFFFFFu, 0x0000FFu);
  EXPECT_EQ(frame[4] & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(frame[5] & 0xFFFFFFu, 0xFF0000u);
}

TEST_F(GpuFrameTest, ScaleStretchesTheTiles) {
  OPEN_OR_SKIP(8, 4);
  PointSampling();
  std::vector<uint32_t> two = {Argb(255, 255, 0, 0), Argb(255, 0, 255, 0)};
  LayerRecord* layer = RecordOf(mScene->Layer("a", 0, 0, 2, 1, two));
  layer->mScaleX = 20000;  // 200 percent
  layer->mScaleY = 40000;
  mScene->CaptureLayer(8, 4);
  std::vector<uint32_t> frame = mScene->GpuFrame();
  for (int y = 0; y < 4; ++y) {
    EXPECT_EQ(frame[y * 8 + 0] & 0xFFFFFFu, 0xFF0000u) << y;
    EXPECT_EQ(frame[y * 8 + 1] & 0xFFFFFFu, 0xFF0000u) << y;
    EXPECT_EQ(frame[y * 8 + 2] & 0xFFFFFFu, 0x00FF00u) << y;
    EXPECT_EQ(frame[y * 8 + 3] & 0xFFFFFFu, 0x00FF00u) << y;
  }
}

// An E-mote layer's tile holds the model where the window shows it (the
// runtime draws it there during the pre-pass): the quad ignores the layer's
// position, scale and angles.
TEST_F(GpuFrameTest, AnEmoteLayerIsDrawnAtTheOriginUnscaled) {
  OPEN_OR_SKIP(8, 4);
  PointSampling();
  std::vector<uint32_t> picture = Pattern(8, 4, 33);
  LayerRecord* layer = RecordOf(mScene->Layer("model", 0, 0, 8, 4, picture));
  layer->mPosX100 = 300;
  layer->mPosY100 = 100;
  layer->mScaleX = 5000;
  layer->mRotation3 = 4500;
  mScene->CaptureLayer(8, 4);
  {
    // The runtime's model is the picture, drawn into the layer's tile.
    EmoteRuntimeDouble runtime;
    ASSERT_EQ(InitEmoteDriver(), 0);
    ASSERT_EQ(LoadEmotePlayer(layer, "model", 5), 0);
    // A model layer holds one render-target tile of the window's size.
    ASSERT_EQ(UploadLayerTexture(layer, 0, 512, 256), 0);
    ASSERT_EQ(GpuTextureWidth(layer->mTileTextures[0]), 8);
    runtime.mOnRender = [&picture](void*) {
      ASSERT_TRUE(UploadGpuTexture(GpuRenderTarget(g_pD3DDevice), picture.data(), 8 * 4, false));
    };
    std::vector<uint32_t> frame = mScene->GpuFrame();
    EXPECT_EQ(runtime.CallsTo(256).size(), 1u);
    for (size_t i = 0; i < frame.size(); ++i) EXPECT_EQ(frame[i] & 0xFFFFFFu, picture[i] & 0xFFFFFFu) << i;
    ReleaseEmotePlayer(layer);
  }
  layer->mGpuState = 1;
  // As an ordinary textured layer it is drawn where the record says.
  layer->mScaleX = 10000;
  layer->mRotation3 = 0;
  std::vector<uint32_t> moved = mScene->GpuFrame();
  EXPECT_EQ(moved[0] & 0xFFFFFFu, 0u);
  EXPECT_EQ(moved[8 + 3] & 0xFFFFFFu, picture[0] & 0xFFFFFFu);
}

// The rule-mask pass against the compositor's rule-masked blend, for soft
// and hard edges, several thresholds and opacities.
TEST_F(GpuFrameTest, RuleMaskPassMatchesTheCompositor) {
  struct Case {
    int16_t mThreshold, mSoftness, mOpacity;
    int mAlpha;
  };
  const Case cases[] = {{128, 64, 256, 255}, {40, 200, 256, 255}, {200, 16, 180, 255},
                        {128, 256, 256, 255}, {90, 256, 200, 255}, {150, 100, 256, 160}};
  for (const Case& c : cases) {
    SCOPED_TRACE("threshold " + std::to_string(c.mThreshold) + " softness " + std::to_string(c.mSoftness));
    OPEN_OR_SKIP(16, 16);
    PointSampling();
    mScene->Layer("base", 0, 0, 16, 16, Pattern(16, 16, 3));
    std::vector<uint32_t> levels;
    for (int i = 0; i < 256; ++i) levels.push_back(Argb(255, 0, 0, i));
    RecordOf(mScene->Layer("mask", 0, 0, 16, 16, levels))->mVisible = 0;
    LayerRecord* layer = RecordOf(mScene->Layer("top", 0, 0, 16, 16, Pattern(16, 16, 90, c.mAlpha)));
    SetPath(layer->mRuleLayerPath, "mask");
    layer->mRuleThreshold = c.mThreshold;
    layer->mRuleSoftness = c.mSoftness;
    layer->mOpacity = c.mOpacity;
    mScene->CaptureLayer(16, 16);
    std::vector<uint32_t> cpu = mScene->CpuFrame();
    EXPECT_LE(WorstColourDifference(mScene->GpuFrame(), cpu), 2);
    mScene.reset();
  }
}

// Softness 0 draws no mask pass: the layer shows as if it had no mask, and a
// second source then selects the cross-fade pass.
TEST_F(GpuFrameTest, AMaskWithoutSoftnessIsIgnored) {
  OPEN_OR_SKIP(8, 8);
  PointSampling();
  std::vector<uint32_t> levels;
  for (int i = 0; i < 64; ++i) levels.push_back(Argb(255, 0, 0, i * 4));
  RecordOf(mScene->Layer("mask", 0, 0, 8, 8, levels))->mVisible = 0;
  RecordOf(mScene->Layer("second", 0, 0, 8, 8, Solid(8, 8, Argb(255, 0, 0, 240))))->mVisible = 0;
  LayerRecord* layer = RecordOf(mScene->Layer("top", 0, 0, 8, 8, Solid(8, 8, Argb(255, 240, 0, 0))));
  SetPath(layer->mRuleLayerPath, "mask");
  layer->mRuleThreshold = 100;
  layer->mRuleSoftness = 0;
  mScene->CaptureLayer(8, 8);
  for (uint32_t pixel : mScene->GpuFrame()) EXPECT_EQ(pixel & 0xFFFFFFu, 0xF00000u);
  SetPath(layer->mSecondLayerPath, "second");
  layer->mFade = 256;
  for (uint32_t pixel : mScene->GpuFrame()) EXPECT_EQ(pixel & 0xFFFFFFu, 0x0000F0u);
}

// The cross-fade pass against the processor's cross-fade of the same two
// images, drawn with the layer's opacity.
TEST_F(GpuFrameTest, CrossFadePassMatchesTheProcessorCrossFade) {
  for (int16_t fade : {0, 64, 128, 255}) {
    for (int16_t opacity : {256, 150}) {
      SCOPED_TRACE("fade " + std::to_string(fade) + " opacity " + std::to_string(opacity));
      OPEN_OR_SKIP(8, 8);
      PointSampling();
      mScene->Layer("base", 0, 0, 8, 8, Pattern(8, 8, 7));
      ObjectTreeNode* second = mScene->Layer("second", 0, 0, 8, 8, Pattern(8, 8, 150));
      RecordOf(second)->mVisible = 0;
      ObjectTreeNode* top = mScene->Layer("top", 0, 0, 8, 8, Pattern(8, 8, 60));
      LayerRecord* layer = RecordOf(top);
      SetPath(layer->mSecondLayerPath, "second");
      layer->mFade = fade;
      layer->mOpacity = opacity;
      mScene->CaptureLayer(8, 8);
      std::vector<uint32_t> gpu = mScene->GpuFrame();
      // The processor: the cross-faded image in place of the layer's own.
      std::vector<uint32_t> own = RecordPixels(layer);
      ObjectTreeNode* first = mScene->Layer("first", 0, 0, 8, 8, own, false);
      RecordOf(first)->mVisible = 0;
      ASSERT_EQ(CrossFadeImageRect(first, second, top, 0, 0, fade), 0);
      EXPECT_LE(WorstColourDifference(gpu, mScene->CpuFrame()), 2);
      mScene.reset();
    }
  }
}

TEST_F(GpuFrameTest, AMaskPathThatCannotBeNormalisedFailsTheGroup) {
  OPEN_OR_SKIP(4, 4);
  DialogRecorder dialogs;
  LayerRecord* layer = RecordOf(mScene->Layer("a", 0, 0, 4, 4, Solid(4, 4, Argb(255, 1, 1, 1))));
  // A blank inside a segment: names never hold one.
  SetPath(layer->mRuleLayerPath, "sub/bad name");
  EXPECT_EQ(DrawLayerGroupGpu(mScene->mEnv->mW0), -1);
  g_QuitFlag.store(0);
}

TEST_F(GpuFrameTest, CaptureDrawsOneLayerIntoAWindowSizedImage) {
  OPEN_OR_SKIP(8, 6);
  PointSampling();
  mScene->Layer("other", 0, 0, 8, 6, Solid(8, 6, Argb(255, 9, 9, 9)));
  ObjectTreeNode* source = mScene->Layer("source", 2, 1, 3, 2, Pattern(3, 2, 40));
  ObjectTreeNode* target = mScene->mEnv->Add(mScene->mEnv->mW0, "target", 0, 0, 1, 1);
  EXPECT_EQ(CaptureLayerGpu(source, target), 0);
  LayerRecord* captured = RecordOf(target);
  ASSERT_NE(captured->mPixels, nullptr);
  ASSERT_EQ(captured->mWidth, 8);
  ASSERT_EQ(captured->mHeight, 6);
  std::vector<uint32_t> pixels = RecordPixels(captured);
  std::vector<uint32_t> drawn = Pattern(3, 2, 40);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) {
      bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
      uint32_t expected = inside ? drawn[(y - 1) * 3 + (x - 2)] : 0u;
      EXPECT_EQ(pixels[y * 8 + x] & 0xFFFFFFu, expected & 0xFFFFFFu) << x << ", " << y;
    }
  }
}

// A window wider than an image may be gets the size box and the fatal
// message; a window taller than that is refused the same way.
TEST_F(GpuFrameTest, CaptureOfAWindowLargerThanImagesCanBeIsRefused) {
  OPEN_OR_SKIP(8, 6);
  ObjectTreeNode* source = mScene->Layer("source", 0, 0, 2, 2, Pattern(2, 2, 40));
  ObjectTreeNode* target = mScene->mEnv->Add(mScene->mEnv->mW0, "target", 0, 0, 1, 1);
  for (auto size : {std::pair{8193, 6}, std::pair{8, 8193}}) {
    DialogRecorder dialogs;
    mScene->mEnv->mWindow.mWidth = size.first;
    mScene->mEnv->mWindow.mHeight = size.second;
    EXPECT_EQ(CaptureLayerGpu(source, target), 0);
    mScene->mEnv->mWindow.mWidth = 8;
    mScene->mEnv->mWindow.mHeight = 6;
    ASSERT_EQ(dialogs.mBoxes.size(), 1u);
    EXPECT_NE(dialogs.mBoxes[0].mText.find("8193"), std::string::npos);
    EXPECT_EQ(RecordOf(target)->mPixels, nullptr);
    EXPECT_EQ(g_QuitFlag.load(), 1);
    g_QuitFlag.store(0);
  }
}

TEST_F(GpuFrameTest, SpritePasteRefillsTheTargetsTiles) {
  OPEN_OR_SKIP(8, 4);
  PointSampling();
  ObjectTreeNode* source = mScene->Layer("source", 0, 0, 8, 4, Pattern(8, 4, 120), false);
  RecordOf(source)->mVisible = 0;
  ObjectTreeNode* target = mScene->Layer("target", 0, 0, 8, 4, Solid(8, 4, Argb(255, 1, 2, 3)));
  mScene->CaptureLayer(8, 4);
  EXPECT_EQ(PasteSpriteGpu(source, target), 0);
  std::vector<uint32_t> frame = mScene->GpuFrame();
  std::vector<uint32_t> expected = Pattern(8, 4, 120);
  for (size_t i = 0; i < frame.size(); ++i) EXPECT_EQ(frame[i] & 0xFFFFFFu, expected[i] & 0xFFFFFFu) << i;
  // The target keeps its own pixels: only its tiles show the source.
  EXPECT_EQ(RecordPixels(RecordOf(target)), Solid(8, 4, Argb(255, 1, 2, 3)));
}

TEST_F(GpuFrameTest, SpritePasteRefusesWhatDoesNotFit) {
  OPEN_OR_SKIP(8, 4);
  ObjectTreeNode* small = mScene->Layer("small", 0, 0, 7, 4, Pattern(7, 4, 1), false);
  ObjectTreeNode* shorter = mScene->Layer("short", 0, 0, 8, 3, Pattern(8, 3, 1), false);
  ObjectTreeNode* large = mScene->Layer("large", 0, 0, 9, 5, Pattern(9, 5, 1), false);
  ObjectTreeNode* untiled = mScene->Layer("untiled", 0, 0, 8, 4, Solid(8, 4, 0), false);
  ObjectTreeNode* target = mScene->Layer("target", 0, 0, 8, 4, Solid(8, 4, Argb(255, 1, 2, 3)));
  int alive = g_GpuDeviceCounts.texturesAlive;
  EXPECT_EQ(PasteSpriteGpu(small, target), -1);
  EXPECT_EQ(PasteSpriteGpu(shorter, target), -1);
  EXPECT_EQ(PasteSpriteGpu(large, untiled), -1);
  EXPECT_EQ(PasteSpriteGpu(nullptr, target), -1);
  EXPECT_EQ(PasteSpriteGpu(large, nullptr), -1);
  // A grid whose counts say more tiles than the target holds.
  RecordOf(untiled)->mTileCountX = 1;
  RecordOf(untiled)->mTileCountY = 1;
  EXPECT_EQ(PasteSpriteGpu(large, untiled), -1);
  EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, alive);
  // A larger source fits.
  EXPECT_EQ(PasteSpriteGpu(large, target), 0);
}

// Step 3 of the window composite: the GPU frame runs for window 0 only with
// GPU drawing and a request; the compose switch leaves the window's own
// composite out.
TEST_F(GpuFrameTest, TheWindowCompositeRunsTheGpuFrameOnRequest) {
  OPEN_OR_SKIP(4, 4);
  PointSampling();
  mScene->Layer("a", 0, 0, 4, 4, Solid(4, 4, Argb(255, 30, 60, 90)));
  ObjectTreeNode* capture = mScene->CaptureLayer(4, 4);
  LayerRecord* root = RecordOf(mScene->mEnv->mW0);

  g_GpuDrawing = 0;
  g_GpuRedrawRequest = 1;
  FlagWindowLayerFullyDirty(0);
  EXPECT_EQ(RenderWindowLayers(0), 0);
  EXPECT_EQ(g_GpuRedrawRequest, 1);
  EXPECT_EQ(RecordPixels(RecordOf(capture)), Solid(4, 4, 0x5A5A5A5Au));

  g_GpuDrawing = 1;
  EXPECT_EQ(mScene->GpuFrame(), Solid(4, 4, Argb(255, 30, 60, 90)));

  // Compose: no CPU composite of the main window and nothing captured.
  std::memset(root->mPixels, 0x33, 4 * 4 * 4);
  std::memset(RecordOf(capture)->mPixels, 0x44, 4 * 4 * 4);
  g_GpuCompose = 1;
  g_GpuRedrawRequest = 1;
  root->mDirty = 1;
  EXPECT_EQ(RenderWindowLayers(0), 0);
  EXPECT_EQ(g_GpuRedrawRequest, 0);
  EXPECT_EQ(root->mDirtyWhole, 1);
  EXPECT_EQ(RecordPixels(root), Solid(4, 4, 0x33333333u));
  EXPECT_EQ(RecordPixels(RecordOf(capture)), Solid(4, 4, 0x44444444u));
  g_GpuCompose = 0;
}

TEST_F(GpuFrameTest, QuadsWithoutTilesOrDeviceDrawNothing) {
  OPEN_OR_SKIP(4, 4);
  LayerRecord plain;
  EXPECT_EQ(DrawLayerQuadGpu(nullptr, nullptr, nullptr, 1, 0), 0);
  EXPECT_EQ(DrawLayerQuadGpu(&plain, nullptr, nullptr, 1, 0), 0);
  LayerRecord* layer = RecordOf(mScene->Layer("a", 0, 0, 4, 4, Solid(4, 4, 0)));
  ObjectTreeNode* capture = mScene->CaptureLayer(4, 4);
  GpuDevice* device = g_pD3DDevice;
  g_pD3DDevice = nullptr;
  int before = g_GpuDeviceCounts.quadsDrawn;
  EXPECT_EQ(DrawLayerQuadGpu(layer, nullptr, nullptr, 1, 0), -1);
  EXPECT_EQ(RenderFrameGpu(), 0);
  g_pD3DDevice = device;
  EXPECT_EQ(g_GpuDeviceCounts.quadsDrawn, before);
  EXPECT_EQ(RecordPixels(RecordOf(capture)), Solid(4, 4, 0x5A5A5A5Au));
}

// A reset asked for by a window change, or by a device that needs one,
// rebuilds the device and the layer tiles, draws the frame and asks for one
// more frame.
TEST_F(GpuFrameTest, AResetAsksForAnotherFrame) {
  for (bool byDevice : {false, true}) {
    SCOPED_TRACE(byDevice ? "the device asks" : "a window change asks");
    OPEN_OR_SKIP(4, 4);
    PointSampling();
    mScene->Layer("a", 0, 0, 4, 4, Solid(4, 4, Argb(255, 70, 80, 90)));
    ObjectTreeNode* capture = mScene->CaptureLayer(4, 4);
    int created = g_GpuDeviceCounts.devicesCreated;
    if (byDevice) {
      g_GpuDeviceFaults.cooperativeLevel = kGpuDeviceNotReset;
    } else {
      g_DeviceResetPending = 1;
    }
    g_GpuRedrawRequest = 0;
    EXPECT_EQ(RenderFrameGpu(), 0);
    g_GpuDeviceFaults.cooperativeLevel = kGpuDeviceOk;
    EXPECT_EQ(g_DeviceResetPending, 0);
    EXPECT_EQ(g_GpuRedrawRequest, 1);
    EXPECT_EQ(g_GpuDeviceCounts.devicesCreated, created + 1);
    EXPECT_NE(g_pD3DDevice, nullptr);
    EXPECT_EQ(g_GpuDrawing, 1);
    EXPECT_EQ(RecordPixels(RecordOf(capture)), Solid(4, 4, Argb(255, 70, 80, 90)));
    mScene.reset();
  }
}

// A reset that makes the device again but cannot re-upload one layer's tiles
// draws the frame with the others.
TEST_F(GpuFrameTest, AResetThatLosesOneLayerStillDrawsTheOthers) {
  OPEN_OR_SKIP(4, 4);
  PointSampling();
  DialogRecorder dialogs;
  LayerRecord* lost = RecordOf(mScene->Layer("a", 0, 0, 512, 272, Solid(512, 272, Argb(255, 1, 2, 3))));
  mScene->Layer("b", 0, 0, 4, 4, Solid(4, 4, Argb(255, 70, 80, 90)));
  ObjectTreeNode* capture = mScene->CaptureLayer(4, 4);
  // Its stored limits now ask for 16 x 17 tiles, more than a layer holds.
  lost->mTileLimitX = 32;
  lost->mTileLimitY = 16;
  g_DeviceResetPending = 1;
  EXPECT_EQ(RenderFrameGpu(), 0);
  EXPECT_EQ(g_GpuDrawing, 1);
  EXPECT_EQ(lost->mTileTextures[0], nullptr);
  EXPECT_EQ(RecordPixels(RecordOf(capture)), Solid(4, 4, Argb(255, 70, 80, 90)));
  EXPECT_FALSE(dialogs.mBoxes.empty());
}

// A reset that cannot make the device again leaves processor drawing on and
// the frame undrawn.
TEST_F(GpuFrameTest, AFailedResetEndsTheFrame) {
  OPEN_OR_SKIP(4, 4);
  DialogRecorder dialogs;
  mScene->Layer("a", 0, 0, 4, 4, Solid(4, 4, Argb(255, 70, 80, 90)));
  ObjectTreeNode* capture = mScene->CaptureLayer(4, 4);
  g_DeviceResetPending = 1;
  g_GpuDeviceFaults.failEffect = true;
  EXPECT_EQ(RenderFrameGpu(), 0);
  g_GpuDeviceFaults.failEffect = false;
  EXPECT_EQ(g_GpuDrawing, 0);
  EXPECT_EQ(g_pD3DDevice, nullptr);
  EXPECT_EQ(RecordPixels(RecordOf(capture)), Solid(4, 4, 0x5A5A5A5Au));
  EXPECT_FALSE(dialogs.mBoxes.empty());
}

TEST(GpuQuadVertexTest, ScreenVerticesAndTheirTranslation) {
  GpuScreenVertex quad[4];
  for (int i = 0; i < 4; ++i) BuildScreenVertex(&quad[i], 0x11223344u, 1.5f + i, 2.5f, 0.25f, 0.5f, 0.75f);
  EXPECT_EQ(quad[2].rhw, 1.0f);
  EXPECT_EQ(quad[2].diffuse, 0x11223344u);
  EXPECT_EQ(quad[2].uv[0][0], 0.5f);
  EXPECT_EQ(quad[2].uv[0][1], 0.75f);
  EXPECT_EQ(quad[2].uv[1][0], 0.0f);
  TranslateQuadVertices(quad, 1.0f, -2.0f, 0.5f);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(quad[i].x, 2.5f + i);
    EXPECT_EQ(quad[i].y, 0.5f);
    EXPECT_EQ(quad[i].z, 0.75f);
  }
}

}  // namespace
