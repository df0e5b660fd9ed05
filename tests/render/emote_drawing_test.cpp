// E-mote drawing: the camera matrices worked out by hand, the setters and
// the pre-pass through the stand-in runtime on a real (software) device: the
// model draws into its tile, the back buffer stays as it was, the pending
// time goes with the drawing once.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "core/window_table.h"
#include "image/pixel_buffers.h"
#include "layer/layer_record.h"
#include "movie/emote.h"
#include "platform/gpu_device.h"
#include "render/direct3d.h"
#include "render/emote_drawing.h"
#include "render/layer_textures.h"
#include "shell/display.h"
#include "support/emote_double.h"
#include "support/gpu_fixture.h"
#include "support/image_test_env.h"

namespace {

using Matrix = std::array<float, 16>;

Matrix ToArray(const float m[16]) {
  Matrix a{};
  std::memcpy(a.data(), m, sizeof(float) * 16);
  return a;
}

void ExpectNear(const Matrix& actual, const Matrix& expected) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-6f) << "_" << (i / 4 + 1) << (i % 4 + 1);
}

struct CameraCase {
  const char* mName;
  float mWidth, mHeight, mCameraX, mCameraY, mDegrees;
  Matrix mWorld, mView, mProjection;
};

class EmoteCameraMatrixTest : public testing::TestWithParam<CameraCase> {};

TEST_P(EmoteCameraMatrixTest, MatchTheHandWorkedTransforms) {
  const CameraCase& c = GetParam();
  EmoteCameraMatrices m = BuildEmoteCameraMatrices(c.mWidth, c.mHeight, c.mCameraX, c.mCameraY, c.mDegrees);
  {
    SCOPED_TRACE("world");
    ExpectNear(ToArray(m.mWorld), c.mWorld);
  }
  {
    SCOPED_TRACE("view");
    ExpectNear(ToArray(m.mView), c.mView);
  }
  {
    SCOPED_TRACE("projection");
    ExpectNear(ToArray(m.mProjection), c.mProjection);
  }
}

constexpr Matrix kIdentity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// The view of a camera at (cx, cy): the eye at (-0.5 - cx, 0.5 - cy, h / 2)
// looking down -z with up = -y gives x (1, 0, 0), y (0, -1, 0), z (0, 0, -1)
// and a translation of (0.5 + cx, 0.5 - cy, h / 2); _11 is then negated.
Matrix View(float cx, float cy, float h) {
  return {-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 0.5f + cx, 0.5f - cy, h / 2, 1};
}
Matrix Projection(float aspect) { return {aspect, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0}; }

INSTANTIATE_TEST_SUITE_P(
    Cases, EmoteCameraMatrixTest,
    testing::Values(
        CameraCase{"CentredOn640x480", 640, 480, 0, 0, 0, kIdentity, View(0, 0, 480), Projection(0.75f)},
        CameraCase{"MovedCamera", 640, 480, 10, -20, 0, kIdentity, View(10, -20, 480), Projection(0.75f)},
        // 90 degrees turns by -pi/2: cos 0, sin -1.
        CameraCase{"QuarterTurn", 100, 100, 0, 0, 90, Matrix{0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
                   View(0, 0, 100), Projection(1)},
        CameraCase{"HalfTurn", 100, 200, 3, 4, 180, Matrix{-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
                   View(3, 4, 200), Projection(2)},
        // A height of 0 makes both sides 1.
        CameraCase{"ZeroHeight", 640, 0, 0, 0, 0, kIdentity, View(0, 0, 1), Projection(1)},
        CameraCase{"TheResetCamera", 1, 1, 0, 0, 0, kIdentity, View(0, 0, 1), Projection(1)}),
    [](const testing::TestParamInfo<CameraCase>& info) { return info.param.mName; });

// With the eye half the height away and w = z, a point at depth 0 lands on
// the render target's pixel grid: one model unit is one pixel.
TEST(EmoteCameraMatrixPlainTest, DepthZeroMapsOnePixelPerUnit) {
  const float width = 640, height = 480;
  EmoteCameraMatrices m = BuildEmoteCameraMatrices(width, height, 0, 0, 0);
  auto project = [&](float x, float y) {
    float v[4] = {x, y, 0, 1};
    float view[4] = {}, clip[4] = {};
    for (int c = 0; c < 4; ++c) {
      for (int r = 0; r < 4; ++r) view[c] += v[r] * m.mView[r * 4 + c];
    }
    for (int c = 0; c < 4; ++c) {
      for (int r = 0; r < 4; ++r) clip[c] += view[r] * m.mProjection[r * 4 + c];
    }
    // Normalised device coordinates to pixels.
    return std::array<float, 2>{(clip[0] / clip[3] + 1) * width / 2, (1 - clip[1] / clip[3]) * height / 2};
  };
  std::array<float, 2> a = project(0, 0);
  std::array<float, 2> b = project(-10, 7);
  EXPECT_NEAR(std::fabs(b[0] - a[0]), 10.0f, 1e-3f);
  EXPECT_NEAR(std::fabs(b[1] - a[1]), 7.0f, 1e-3f);
}

// A device of the offscreen size with the E-mote runtime stand-in and one
// layer holding a player and its render-target tile.
class EmoteDrawingTest : public testing::Test {
 protected:
  static constexpr int kWidth = 64;
  static constexpr int kHeight = 48;

  void SetUp() override {
    mSystem = OpenGpuSystem();
    ASSERT_NE(mSystem, nullptr);
    mDevice = CreateGpuDevice(mSystem, 0, kWidth, kHeight, GpuVertexProcessing::kHardware);
    ASSERT_NE(mDevice, nullptr);
    g_pD3DDevice = mDevice;
    g_OffscreenWidth = kWidth;
    g_OffscreenHeight = kHeight;
    ASSERT_EQ(InitEmoteDriver(), 0);
    ASSERT_EQ(LoadEmotePlayer(Layer(), mModel.data(), mModel.size()), 0);
    mSlot = FindEmoteSlot(Layer());
    ASSERT_GE(mSlot, 0);
    mTile = CreateGpuTexture(mDevice, kWidth, kHeight, GpuFormat::kArgb8888, true);
    ASSERT_NE(mTile, nullptr);
    Layer()->mTileTextures[0] = mTile;
    // The back buffer holds the layers drawn so far.
    ASSERT_TRUE(SetGpuRenderTarget(mDevice, GpuBackBuffer(mDevice)));
    ASSERT_TRUE(ClearGpuRenderTarget(mDevice, kBackBufferColour));
    mRuntime.ClearCalls();
  }
  void TearDown() override {
    ReleaseAllEmotePlayers();
    Layer()->mTileTextures[0] = nullptr;
    ReleaseGpuTexture(mTile);
    g_pD3DDevice = nullptr;
    g_OffscreenWidth = 0;
    g_OffscreenHeight = 0;
    ReleaseGpuDevice(mDevice);
    CloseGpuSystem(mSystem);
  }

  LayerRecord* Layer() { return mLayer.get(); }

  std::vector<uint32_t> Pixels(GpuTexture* target) {
    int width = GpuTextureWidth(target), height = GpuTextureHeight(target);
    GpuReadBuffer* buffer = CreateGpuReadBuffer(mDevice, width, height);
    EXPECT_NE(buffer, nullptr);
    std::vector<uint32_t> pixels;
    if (buffer == nullptr) return pixels;
    EXPECT_TRUE(ReadGpuRenderTarget(mDevice, target, buffer));
    size_t pitch = 0;
    const uint8_t* rows = GpuReadBufferRows(buffer, &pitch, nullptr, nullptr);
    pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) std::memcpy(&pixels[static_cast<size_t>(y) * width], rows + pitch * y, width * 4u);
    ReleaseGpuReadBuffer(buffer);
    return pixels;
  }
  bool AllPixels(GpuTexture* target, uint32_t colour) {
    for (uint32_t pixel : Pixels(target)) {
      if (pixel != colour) return false;
    }
    return true;
  }

  static constexpr uint32_t kBackBufferColour = 0xFF102030u;
  const std::vector<uint8_t> mModel{'P', 'S', 'B', 0, 1};
  ScopedLayerRecord mLayer;
  ImageReportRecorder mReports;
  EmoteRuntimeDouble mRuntime;
  GpuSystem* mSystem = nullptr;
  GpuDevice* mDevice = nullptr;
  GpuTexture* mTile = nullptr;
  int mSlot = -1;
};

TEST_F(EmoteDrawingTest, TheSettersHandTheirValuesToThePlayer) {
  SetEmotePosition(Layer(), 1.5f, -2.0f);
  SetEmoteScale(Layer(), 0.75f);
  SetEmoteRotation(Layer(), 0.25f);
  DrawEmotePlayer(Layer());
  ASSERT_EQ(mRuntime.Ordinals(), (std::vector<int>{220, 222, 224, 256}));
  EXPECT_EQ(mRuntime.mCalls[0].mFloats, (std::vector<float>{1.5f, -2.0f, 0, 0}));
  EXPECT_EQ(mRuntime.mCalls[1].mFloats, (std::vector<float>{0.75f, 0, 0}));
  EXPECT_EQ(mRuntime.mCalls[2].mFloats, (std::vector<float>{0.25f, 0, 0}));
  for (const EmoteCall& call : mRuntime.mCalls) EXPECT_EQ(call.mTarget, Layer()->mPlayerHandle);

  // A layer without a player: nothing reaches the runtime.
  ScopedLayerRecord plain;
  mRuntime.ClearCalls();
  SetEmotePosition(plain.get(), 1, 1);
  SetEmoteScale(plain.get(), 1);
  SetEmoteRotation(plain.get(), 1);
  DrawEmotePlayer(plain.get());
  EXPECT_TRUE(mRuntime.mCalls.empty());
}

TEST_F(EmoteDrawingTest, TheCameraSetsTheDevicesThreeTransforms) {
  SetEmoteCamera(640, 480, 10, -20, 30);
  EmoteCameraMatrices expected = BuildEmoteCameraMatrices(640, 480, 10, -20, 30);
  EXPECT_EQ(ToArray(GetGpuTransform(mDevice, GpuTransform::kWorld)), ToArray(expected.mWorld));
  EXPECT_EQ(ToArray(GetGpuTransform(mDevice, GpuTransform::kView)), ToArray(expected.mView));
  EXPECT_EQ(ToArray(GetGpuTransform(mDevice, GpuTransform::kProjection)), ToArray(expected.mProjection));
}

TEST_F(EmoteDrawingTest, TheResetCameraIsTheOneByOneCameraOnlyWithEmote) {
  const float marker[16] = {7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
  for (GpuTransform which : {GpuTransform::kWorld, GpuTransform::kView, GpuTransform::kProjection}) {
    ASSERT_TRUE(SetGpuTransform(mDevice, which, marker));
  }
  g_EmoteEnabled = 0;
  ResetEmoteCamera();
  EXPECT_EQ(ToArray(GetGpuTransform(mDevice, GpuTransform::kView)), ToArray(marker));
  EXPECT_EQ(ToArray(GetGpuTransform(mDevice, GpuTransform::kProjection)), ToArray(marker));

  g_EmoteEnabled = 1;
  ResetEmoteCamera();
  EmoteCameraMatrices expected = BuildEmoteCameraMatrices(1, 1, 0, 0, 0);
  EXPECT_EQ(ToArray(GetGpuTransform(mDevice, GpuTransform::kWorld)), ToArray(expected.mWorld));
  EXPECT_EQ(ToArray(GetGpuTransform(mDevice, GpuTransform::kView)), ToArray(expected.mView));
  EXPECT_EQ(ToArray(GetGpuTransform(mDevice, GpuTransform::kProjection)), ToArray(expected.mProjection));
}

TEST_F(EmoteDrawingTest, TheModelDrawsIntoItsClearedTileAndTheBackBufferComesBack) {
  GpuTexture* targetWhileDrawing = nullptr;
  bool tileWasCleared = false;
  mRuntime.mOnRender = [&](void*) {
    targetWhileDrawing = GpuRenderTarget(mDevice);
    tileWasCleared = AllPixels(mTile, 0x00808080u);
    ASSERT_TRUE(SetGpuRenderTarget(mDevice, mTile));
    // The stand-in model paints its whole target.
    ClearGpuRenderTarget(mDevice, 0xFF00C000u);
  };
  DrawEmoteLayerPrePass(Layer());
  EXPECT_EQ(targetWhileDrawing, mTile);
  EXPECT_TRUE(tileWasCleared);
  EXPECT_EQ(GpuRenderTarget(mDevice), GpuBackBuffer(mDevice));
  EXPECT_TRUE(AllPixels(mTile, 0xFF00C000u));
  EXPECT_TRUE(AllPixels(GpuBackBuffer(mDevice), kBackBufferColour));
}

// mModelX = 200 and all else at rest: the model goes to x = -1 and the
// camera follows it by -1 pixel.
TEST_F(EmoteDrawingTest, AModelOffsetMovesThePlayerAndTheCamera) {
  Layer()->mModelX = 200;
  DrawEmoteLayerPrePass(Layer());
  ASSERT_EQ(mRuntime.Ordinals(), (std::vector<int>{220, 222, 224, 256}));
  EXPECT_EQ(mRuntime.mCalls[0].mFloats, (std::vector<float>{-1.0f, 0, 0, 0}));
  EXPECT_EQ(mRuntime.mCalls[1].mFloats, (std::vector<float>{1.0f, 0, 0}));
  EXPECT_EQ(mRuntime.mCalls[2].mFloats, (std::vector<float>{0, 0, 0}));
  Matrix moved = ToArray(GetGpuTransform(mDevice, GpuTransform::kView));

  Layer()->mModelX = 0;
  DrawEmoteLayerPrePass(Layer());
  Matrix still = ToArray(GetGpuTransform(mDevice, GpuTransform::kView));
  EXPECT_FLOAT_EQ(moved[12] - still[12], -1.0f);
  EXPECT_FLOAT_EQ(moved[13] - still[13], 0.0f);
  ExpectNear(still, View(-kWidth / 2.0f, -kHeight / 2.0f, kHeight));
  ExpectNear(ToArray(GetGpuTransform(mDevice, GpuTransform::kProjection)), Projection(48.0f / 64.0f));
}

TEST_F(EmoteDrawingTest, PositionScaleAndRotationComeFromTheLayer) {
  LayerRecord* layer = Layer();
  layer->mPosX100 = 1050;
  layer->mPosY100 = -300;
  layer->mModelY = 100;
  layer->mScaleX = 5000;
  layer->mScaleY = 20000;  // not read
  layer->mRotation3 = 9000;
  DrawEmoteLayerPrePass(layer);
  ASSERT_EQ(mRuntime.Ordinals(), (std::vector<int>{220, 222, 224, 256}));
  EXPECT_EQ(mRuntime.mCalls[0].mFloats, (std::vector<float>{-0.0f, 0.5f, 0, 0}));
  EXPECT_EQ(mRuntime.mCalls[1].mFloats, (std::vector<float>{0.5f, 0, 0}));
  EXPECT_EQ(mRuntime.mCalls[2].mFloats, (std::vector<float>{-9000.0f * 3.1415927f / 180.0f / 100.0f, 0, 0}));
  EXPECT_NEAR(mRuntime.mCalls[2].mFloats[0], -1.5707964f, 1e-6f);
  // Camera x = 10.5 - 0 - 32, y = -3 - 0.5 - 24.
  ExpectNear(ToArray(GetGpuTransform(mDevice, GpuTransform::kView)), View(10.5f - 32, -3.5f - 24, kHeight));
  ExpectNear(ToArray(GetGpuTransform(mDevice, GpuTransform::kWorld)), kIdentity);
}

TEST_F(EmoteDrawingTest, PendingTimeGoesWithTheDrawingOnce) {
  g_EmotePendingTime[mSlot] = 20.0f;
  DrawEmoteLayerPrePass(Layer());
  ASSERT_EQ(mRuntime.Ordinals(), (std::vector<int>{220, 222, 224, 254, 256}));
  EXPECT_EQ(mRuntime.mCalls[3].mFloats, (std::vector<float>{20.0f * 0.06f}));
  EXPECT_EQ(g_EmotePendingTime[mSlot], 0.0f);

  // Already handed on (by PaceFrame or this drawing): not again.
  mRuntime.ClearCalls();
  DrawEmoteLayerPrePass(Layer());
  EXPECT_EQ(mRuntime.Ordinals(), (std::vector<int>{220, 222, 224, 256}));
}

// Without its tile the model has nowhere to go: nothing is cleared or drawn
// on the back buffer, and the pending time waits for a later frame.
TEST_F(EmoteDrawingTest, WithoutItsTileNothingIsDrawnOverTheBackBuffer) {
  Layer()->mTileTextures[0] = nullptr;
  g_EmotePendingTime[mSlot] = 20.0f;
  DrawEmoteLayerPrePass(Layer());
  EXPECT_TRUE(mRuntime.mCalls.empty());
  EXPECT_EQ(g_EmotePendingTime[mSlot], 20.0f);
  EXPECT_EQ(GpuRenderTarget(mDevice), GpuBackBuffer(mDevice));
  EXPECT_TRUE(AllPixels(GpuBackBuffer(mDevice), kBackBufferColour));
}

TEST_F(EmoteDrawingTest, WithoutADeviceNothingHappens) {
  g_pD3DDevice = nullptr;
  const float marker[16] = {3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3};
  ASSERT_TRUE(SetGpuTransform(mDevice, GpuTransform::kView, marker));
  DrawEmoteLayerPrePass(Layer());
  SetEmoteCamera(10, 10, 0, 0, 0);
  ResetEmoteCamera();
  EXPECT_TRUE(mRuntime.mCalls.empty());
  EXPECT_EQ(ToArray(GetGpuTransform(mDevice, GpuTransform::kView)), ToArray(marker));
  g_pD3DDevice = mDevice;
}

// The device made with E-mote on, as start-up makes it: the camera is reset
// and the driver made on the new device.
class EmoteGpuStartTest : public GpuFixture {
 protected:
  void BeforeGpuStart() override { mRuntime.emplace(); }
  std::optional<EmoteRuntimeDouble> mRuntime;
};

TEST_F(EmoteGpuStartTest, TheDriverIsMadeOnTheNewDeviceWithTheResetCamera) {
  ASSERT_EQ(mRuntime->Ordinals(), (std::vector<int>{2, 110}));
  EXPECT_EQ(mRuntime->mCalls[0].mDevice, g_pD3DDevice);
  EXPECT_NE(g_EmoteDriver, nullptr);
  EmoteCameraMatrices expected = BuildEmoteCameraMatrices(1, 1, 0, 0, 0);
  EXPECT_EQ(ToArray(GetGpuTransform(g_pD3DDevice, GpuTransform::kView)), ToArray(expected.mView));
  EXPECT_EQ(ToArray(GetGpuTransform(g_pD3DDevice, GpuTransform::kProjection)), ToArray(expected.mProjection));
}

// A model file's layer gets its screen-sized render-target tile from the
// layer textures, and the pre-pass draws the model there.
TEST_F(EmoteGpuStartTest, AModelLayersTileReceivesTheModel) {
  ScopedLayerRecord layer;
  ASSERT_EQ(SetPixelBuffer(layer.get(), AllocPixelBuffer(nullptr, 2, 2, nullptr), 2, 2), 0);
  const uint8_t model[3] = {1, 2, 3};
  ASSERT_EQ(LoadEmotePlayer(layer.get(), model, sizeof model), 0);
  ASSERT_EQ(UploadLayerTexture(layer.get(), 0, 0, 0), 0);
  GpuTexture* tile = layer->mTileTextures[0];
  ASSERT_NE(tile, nullptr);
  EXPECT_EQ(GpuTextureWidth(tile), GpuWidth());
  EXPECT_EQ(GpuTextureHeight(tile), GpuHeight());

  ASSERT_TRUE(SetGpuRenderTarget(g_pD3DDevice, GpuBackBuffer(g_pD3DDevice)));
  ASSERT_TRUE(ClearGpuRenderTarget(g_pD3DDevice, 0xFF000040u));
  mRuntime->mOnRender = [](void*) { ClearGpuRenderTarget(g_pD3DDevice, 0x80FF0000u); };
  DrawEmoteLayerPrePass(layer.get());
  EXPECT_EQ(mRuntime->CallsTo(256).size(), 1u);
  EXPECT_EQ(GpuRenderTarget(g_pD3DDevice), GpuBackBuffer(g_pD3DDevice));
  std::vector<uint32_t> tilePixels = ReadGpuTexturePixels(tile);
  ASSERT_FALSE(tilePixels.empty());
  for (uint32_t pixel : tilePixels) ASSERT_EQ(pixel, 0x80FF0000u);
  for (uint32_t pixel : ReadGpuTexturePixels(GpuBackBuffer(g_pD3DDevice))) ASSERT_EQ(pixel, 0xFF000040u);
  ReleaseLayerTextures(layer.get());
  ReleaseEmotePlayer(layer.get());
}

// A resized main window brings the camera back to its reset state; without
// E-mote the transforms are left alone.
TEST_F(EmoteGpuStartTest, AResizeResetsTheCameraOnlyWithEmote) {
  const float marker[16] = {5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5};
  ASSERT_TRUE(SetGpuTransform(g_pD3DDevice, GpuTransform::kView, marker));
  g_EmoteEnabled = 0;
  OnSize(g_WindowTable[0]);
  EXPECT_EQ(ToArray(GetGpuTransform(g_pD3DDevice, GpuTransform::kView)), ToArray(marker));
  g_EmoteEnabled = 1;
  OnSize(g_WindowTable[0]);
  EXPECT_EQ(ToArray(GetGpuTransform(g_pD3DDevice, GpuTransform::kView)),
            ToArray(BuildEmoteCameraMatrices(1, 1, 0, 0, 0).mView));
}

}  // namespace
