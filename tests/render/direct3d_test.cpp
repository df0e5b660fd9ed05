#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/settings.h"
#include "platform/gpu_device.h"
#include "render/direct3d.h"
#include "render/layer_effect_passes.h"
#include "shell/engine_reset.h"
#include "support/dialog_recorder.h"
#include "support/gpu_fixture.h"

namespace {

bool HasBox(const DialogRecorder& dialogs, const std::string& caption, const std::string& text) {
  for (const RecordedBox& box : dialogs.mBoxes) {
    if (box.mCaption == caption && box.mText == text) return true;
  }
  return false;
}

// Draws a texture over the whole back buffer as it is and reads it back.
std::vector<uint32_t> DrawnThrough(GpuTexture* texture) {
  GpuDevice* device = g_pD3DDevice;
  GpuTexture* back = GpuBackBuffer(device);
  SetGpuRenderTarget(device, back);
  ClearGpuRenderTarget(device, 0x12345678);
  SetGpuTexture(device, 0, texture);
  SetGpuStage(device, 0, GpuStage{GpuStageOp::kSelectArg1, GpuStageArg::kTexture, GpuStageArg::kCurrent,
                                  GpuStageOp::kSelectArg1, GpuStageArg::kTexture, GpuStageArg::kCurrent});
  SetGpuStage(device, 1, GpuStage{});
  SetGpuBlend(device, GpuBlend::kOne, GpuBlend::kZero, GpuBlendOp::kAdd);
  const float w = static_cast<float>(GpuTextureWidth(back)), h = static_cast<float>(GpuTextureHeight(back));
  GpuScreenVertex quad[4] = {};
  const float corners[4][4] = {{-0.5f, h - 0.5f, 0, 1}, {w - 0.5f, h - 0.5f, 1, 1}, {-0.5f, -0.5f, 0, 0},
                               {w - 0.5f, -0.5f, 1, 0}};
  for (int i = 0; i < 4; ++i) {
    quad[i].x = corners[i][0];
    quad[i].y = corners[i][1];
    quad[i].rhw = 1;
    quad[i].diffuse = 0xFFFFFFFF;
    quad[i].uv[0][0] = corners[i][2];
    quad[i].uv[0][1] = corners[i][3];
  }
  EXPECT_TRUE(DrawGpuQuad(device, quad));
  return ReadGpuTexturePixels(back);
}

using Direct3DTest = GpuFixture;

TEST_F(Direct3DTest, InitMakesTheDeviceAndItsObjectsOfTheOffscreenSize) {
  EXPECT_NE(g_pD3D, nullptr);
  ASSERT_NE(g_pD3DDevice, nullptr);
  EXPECT_EQ(g_OffscreenWidth, 64);
  EXPECT_EQ(g_OffscreenHeight, 48);
  EXPECT_EQ(g_PresentParams.mBackBufferWidth, 64);
  EXPECT_EQ(g_PresentParams.mBackBufferHeight, 48);
  EXPECT_EQ(g_PresentParams.mBackBufferFormat, 21u);
  EXPECT_EQ(g_PresentParams.mSwapEffect, 3u);
  EXPECT_EQ(g_PresentParams.mPresentationInterval, 0x80000000u);
  EXPECT_EQ(g_pBackBufferSurface, GpuBackBuffer(g_pD3DDevice));
  ASSERT_NE(g_pSysMemSurface, nullptr);
  int width = 0, height = 0;
  GpuReadBufferRows(g_pSysMemSurface, nullptr, &width, &height);
  EXPECT_EQ(width, 64);
  EXPECT_EQ(height, 48);
  for (GpuTexture* texture : {g_pRenderTexture, g_pGetSSTexture, g_pWhiteTexture, g_pBlackTexture}) {
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(GpuTextureWidth(texture), 64);
    EXPECT_EQ(GpuTextureHeight(texture), 48);
  }
  EXPECT_EQ(GpuTextureFormat(g_pRenderTexture), GpuFormat::kArgb8888);
  EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, 4);
  EXPECT_EQ(g_hTechnique, FindGpuTechnique(g_lpEffect, kLayerEffectTechnique));
  EXPECT_GE(g_hTechnique, 0);
  EXPECT_GE(g_MaxTextureWidth, 2048);
  EXPECT_TRUE(mDialogs.mBoxes.empty());

  for (uint32_t pixel : DrawnThrough(g_pWhiteTexture)) ASSERT_EQ(pixel, 0xFFFFFFFFu);
  for (uint32_t pixel : DrawnThrough(g_pBlackTexture)) ASSERT_EQ(pixel, 0xFF000000u);
}

TEST_F(Direct3DTest, ReleaseClearsEveryObject) {
  ReleaseGpuFrameTextures();
  ReleaseDirect3D();
  EXPECT_EQ(g_pD3D, nullptr);
  EXPECT_EQ(g_pD3DDevice, nullptr);
  EXPECT_EQ(g_pBackBufferSurface, nullptr);
  EXPECT_EQ(g_pSysMemSurface, nullptr);
  EXPECT_EQ(g_pRenderTexture, nullptr);
  EXPECT_EQ(g_pGetSSTexture, nullptr);
  EXPECT_EQ(g_pWhiteTexture, nullptr);
  EXPECT_EQ(g_pBlackTexture, nullptr);
  EXPECT_EQ(g_lpEffect, nullptr);
  EXPECT_EQ(g_hTechnique, -1);
  EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, 0);
}

class Direct3DSixteenBitTest : public GpuFixture {
  void BeforeGpuStart() override {
    g_Use16BitTextures = 1;
    g_TextureFormat = kTextureFormat16;
  }
};

TEST_F(Direct3DSixteenBitTest, RenderTexturesTakeTheConfiguredFormat) {
  EXPECT_EQ(GpuTextureFormat(g_pRenderTexture), GpuFormat::kArgb4444);
  EXPECT_EQ(GpuTextureFormat(g_pGetSSTexture), GpuFormat::kArgb4444);
  EXPECT_EQ(GpuTextureFormat(g_pWhiteTexture), GpuFormat::kArgb4444);
  for (uint32_t pixel : DrawnThrough(g_pWhiteTexture)) ASSERT_EQ(pixel, 0xFFFFFFFFu);
}

// Creation outside the fixture: each case sets faults first.
class Direct3DStartTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState();
    g_GpuDeviceFaults = GpuDeviceFaults{};
    g_GpuDeviceCounts = GpuDeviceCounts{};
  }
  void TearDown() override {
    StopTestGpu();
    g_GpuDeviceFaults = GpuDeviceFaults{};
    ResetEngineState();
  }
  DialogRecorder mDialogs;
};

struct FallbackCase {
  const char* name;
  bool noHardware;  // settings word 12
  bool fail[3];
  int result;
  GpuVertexProcessing made;
  int attempts[3];
};

const FallbackCase kFallbackCases[] = {
    {"HardwareFirst", false, {false, false, false}, 0, GpuVertexProcessing::kHardware, {1, 0, 0}},
    {"WordTwelveStartsWithMixed", true, {false, false, false}, 0, GpuVertexProcessing::kMixed, {0, 1, 0}},
    {"MixedAfterHardware", false, {true, false, false}, 0, GpuVertexProcessing::kMixed, {1, 1, 0}},
    {"SoftwareLast", false, {true, true, false}, 0, GpuVertexProcessing::kSoftware, {1, 1, 1}},
    {"WordTwelveThenSoftware", true, {false, true, false}, 0, GpuVertexProcessing::kSoftware, {0, 1, 1}},
    {"AllFail", false, {true, true, true}, 1, GpuVertexProcessing::kHardware, {1, 1, 1}},
};

class Direct3DFallbackTest : public Direct3DStartTest, public testing::WithParamInterface<FallbackCase> {};

TEST_P(Direct3DFallbackTest, CreationTriesTheVertexProcessingKindsInOrder) {
  const FallbackCase& c = GetParam();
  g_NoHardwareVertexProcessing = c.noHardware ? 1 : 0;
  for (int i = 0; i < 3; ++i) g_GpuDeviceFaults.failCreate[i] = c.fail[i];
  ASSERT_EQ(StartTestGpu(64, 48), c.result);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(g_GpuDeviceCounts.createAttempts[i], c.attempts[i]) << i;
  if (c.result == 0) {
    ASSERT_NE(g_pD3DDevice, nullptr);
    EXPECT_EQ(GpuDeviceProcessing(g_pD3DDevice), c.made);
    EXPECT_TRUE(mDialogs.mBoxes.empty());
  } else {
    EXPECT_EQ(g_pD3DDevice, nullptr);
    EXPECT_EQ(g_pD3D, nullptr);
    EXPECT_TRUE(HasBox(mDialogs, "", "[Direct3D初期化エラー]Direct3Dの初期化に失敗しました。"));
  }
}

INSTANTIATE_TEST_SUITE_P(Order, Direct3DFallbackTest, testing::ValuesIn(kFallbackCases),
                         [](const testing::TestParamInfo<FallbackCase>& info) { return std::string(info.param.name); });

TEST_F(Direct3DStartTest, PixelShaderBelowTwoShowsTheCheckBoxAndGivesUpTheGpu) {
  g_GpuDeviceFaults.pixelShaderMajor = 1;  // a 1.4 device
  EXPECT_EQ(StartTestGpu(64, 48), 1);
  ASSERT_EQ(mDialogs.mBoxes.size(), 1u);
  EXPECT_EQ(mDialogs.mBoxes[0].mCaption, "環境チェック");
  EXPECT_EQ(mDialogs.mBoxes[0].mText.rfind("ビデオカードにピクセルシェーダ 2.0以降 が実装されていません。\r\n", 0), 0u);
  EXPECT_NE(mDialogs.mBoxes[0].mText.find("【 CPU(バイリニア) 】にセットして\r\n起動し直して"), std::string::npos);
  EXPECT_EQ(g_GpuDrawing, 0);
}

TEST_F(Direct3DStartTest, CapsAreReadInTheFirstInitOfARunOnly) {
  g_GpuDeviceFaults.maxTextureSide = 1024;
  ASSERT_EQ(StartTestGpu(64, 48), 0);
  EXPECT_EQ(g_MaxTextureWidth, 1024);
  EXPECT_EQ(g_MaxTextureHeight, 1024);
  StopTestGpu();
  // A device made again keeps the first caps and is not checked again.
  g_GpuDeviceFaults.maxTextureSide = 2048;
  g_GpuDeviceFaults.pixelShaderMajor = 1;
  ASSERT_EQ(StartTestGpu(64, 48), 0);
  EXPECT_EQ(g_MaxTextureWidth, 1024);
  EXPECT_TRUE(mDialogs.mBoxes.empty());
  // A new process (the engine reset) reads them again.
  StopTestGpu();
  ResetEngineState();
  EXPECT_EQ(g_MaxTextureWidth, kDefaultMaxTextureSide);
  g_GpuDeviceFaults.pixelShaderMajor = -1;
  ASSERT_EQ(StartTestGpu(64, 48), 0);
  EXPECT_EQ(g_MaxTextureWidth, 2048);
}

struct StartFailureCase {
  const char* name;
  GpuDeviceFaults faults;
  int result;
  const char* caption;
  const char* text;
};

GpuDeviceFaults Faults(void (*set)(GpuDeviceFaults&)) {
  GpuDeviceFaults faults;
  set(faults);
  return faults;
}

const StartFailureCase kStartFailures[] = {
    {"NoSystem", Faults([](GpuDeviceFaults& f) { f.failOpenSystem = true; }), 1, "",
     "[DX]オブジェクトを生成できませんでした。"},
    {"NoDisplayMode", Faults([](GpuDeviceFaults& f) { f.failDisplayMode = true; }), 1, "",
     "[DX]現在のディスプレイモードを取得できませんでした。(DispNo.0)"},
    {"NoReadBuffer", Faults([](GpuDeviceFaults& f) { f.failReadBuffer = true; }), 1, "エラー",
     "オフスクリーンサーフェスを生成できませんでした。"},
    {"NoRenderTexture", Faults([](GpuDeviceFaults& f) { f.failTextureAfter = 0; }), -1, "",
     "Render テクスチャを生成できませんでした。"},
    {"NoGetSSTexture", Faults([](GpuDeviceFaults& f) { f.failTextureAfter = 1; }), -1, "",
     "GetSS テクスチャを生成できませんでした。"},
    {"NoEffect", Faults([](GpuDeviceFaults& f) { f.failEffect = true; }), 1, "", "[エラー] Shader Init Error."},
};

class Direct3DStartFailureTest : public Direct3DStartTest, public testing::WithParamInterface<StartFailureCase> {};

TEST_P(Direct3DStartFailureTest, EachFailureShowsItsMessageAndGivesUpTheGpu) {
  const StartFailureCase& c = GetParam();
  g_GpuDeviceFaults = c.faults;
  EXPECT_EQ(StartTestGpu(64, 48), c.result);
  EXPECT_EQ(g_GpuDrawing, 0);
  ASSERT_EQ(mDialogs.mBoxes.size(), 1u);
  EXPECT_EQ(mDialogs.mBoxes[0].mCaption, c.caption);
  EXPECT_EQ(mDialogs.mBoxes[0].mText, c.text);
  if (c.result == -1) {
    // A render texture that cannot be made takes the device and system with it.
    EXPECT_EQ(g_pD3DDevice, nullptr);
    EXPECT_EQ(g_pD3D, nullptr);
    EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Failures, Direct3DStartFailureTest, testing::ValuesIn(kStartFailures),
                         [](const testing::TestParamInfo<StartFailureCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(Direct3DStartTest, MissingWhiteAndBlackTexturesDoNotStopStartUp) {
  g_GpuDeviceFaults.failTextureAfter = 2;  // Render and GetSS only
  ASSERT_EQ(StartTestGpu(64, 48), 0);
  EXPECT_EQ(g_pWhiteTexture, nullptr);
  EXPECT_EQ(g_pBlackTexture, nullptr);
  EXPECT_NE(g_lpEffect, nullptr);
  ASSERT_EQ(mDialogs.mBoxes.size(), 2u);
  EXPECT_EQ(mDialogs.mBoxes[0].mText, "WHITETEXBUF ERROR.");
  EXPECT_EQ(mDialogs.mBoxes[1].mText, "BLACKTEXBUF ERROR.");
}

TEST_F(Direct3DStartTest, OnlyTheBlackTextureMissing) {
  g_GpuDeviceFaults.failTextureAfter = 3;
  ASSERT_EQ(StartTestGpu(64, 48), 0);
  EXPECT_NE(g_pWhiteTexture, nullptr);
  EXPECT_EQ(g_pBlackTexture, nullptr);
  ASSERT_EQ(mDialogs.mBoxes.size(), 1u);
  EXPECT_EQ(mDialogs.mBoxes[0].mText, "BLACKTEXBUF ERROR.");
}

TEST_F(Direct3DStartTest, WithoutGpuDrawingNoWhiteOrBlackTextureIsMade) {
  SetUpGpuMainWindow(64, 48);
  g_GpuDrawing = 0;
  ASSERT_EQ(InitDirect3D(), 0);
  EXPECT_EQ(g_pWhiteTexture, nullptr);
  EXPECT_EQ(g_pBlackTexture, nullptr);
  EXPECT_NE(g_pRenderTexture, nullptr);
  ReleaseGpuFrameTextures();
  ReleaseDirect3D();
}

TEST_F(Direct3DTest, ResetMakesTheDeviceAgain) {
  g_GpuDeviceCounts.devicesCreated = 0;
  ASSERT_EQ(ResetDirect3DDevice(), 0);
  EXPECT_EQ(g_GpuDeviceCounts.devicesCreated, 1);
  EXPECT_NE(g_pD3DDevice, nullptr);
  EXPECT_NE(g_pRenderTexture, nullptr);
  EXPECT_NE(g_pGetSSTexture, nullptr);
  EXPECT_NE(g_lpEffect, nullptr);
  EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, 4);
  EXPECT_EQ(g_GpuDrawing, 1);
}

TEST_F(Direct3DTest, FailedResetSwitchesToProcessorDrawing) {
  g_DrawMode = 3;
  g_CpuScaleBilinear = 0;
  for (bool& fail : g_GpuDeviceFaults.failCreate) fail = true;
  EXPECT_EQ(ResetDirect3DDevice(), -1);
  EXPECT_EQ(g_GpuDrawing, 0);
  EXPECT_EQ(g_DrawMode, 0);
  EXPECT_EQ(g_CpuScaleBilinear, 1);
  EXPECT_EQ(g_pD3DDevice, nullptr);
  EXPECT_EQ(g_pD3D, nullptr);
  EXPECT_TRUE(HasBox(mDialogs, "", "GPU描画が出来ませんでした。CPU描画に移行します。"));
  EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, 0);
}

}  // namespace
