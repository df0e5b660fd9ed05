#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/gpu_device.h"

namespace {

class GpuDeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    g_GpuDeviceFaults = GpuDeviceFaults{};
    g_GpuDeviceCounts = GpuDeviceCounts{};
    mSystem = OpenGpuSystem();
    ASSERT_NE(mSystem, nullptr);
    mDevice = CreateGpuDevice(mSystem, 0, 4, 2, GpuVertexProcessing::kHardware);
    ASSERT_NE(mDevice, nullptr);
  }
  void TearDown() override {
    for (GpuTexture* texture : mTextures) ReleaseGpuTexture(texture);
    ReleaseGpuDevice(mDevice);
    CloseGpuSystem(mSystem);
    g_GpuDeviceFaults = GpuDeviceFaults{};
  }

  GpuTexture* Texture(int width, int height, const std::vector<uint32_t>& pixels,
                      GpuFormat format = GpuFormat::kArgb8888, bool renderTarget = false, bool dither = false) {
    GpuTexture* texture = CreateGpuTexture(mDevice, width, height, format, renderTarget);
    EXPECT_NE(texture, nullptr);
    if (texture == nullptr) return nullptr;
    mTextures.push_back(texture);
    if (!pixels.empty()) {
      EXPECT_TRUE(UploadGpuTexture(texture, pixels.data(), static_cast<size_t>(width) * 4, dither));
    }
    return texture;
  }

  // The render target's pixels, top row first.
  std::vector<uint32_t> ReadBack(GpuTexture* target) {
    int width = GpuTextureWidth(target), height = GpuTextureHeight(target);
    GpuReadBuffer* buffer = CreateGpuReadBuffer(mDevice, width, height);
    EXPECT_NE(buffer, nullptr);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0xDEADBEEF);
    if (buffer == nullptr) return pixels;
    EXPECT_TRUE(ReadGpuRenderTarget(mDevice, target, buffer));
    size_t pitch = 0;
    const uint8_t* rows = GpuReadBufferRows(buffer, &pitch, nullptr, nullptr);
    for (int y = 0; y < height; ++y) std::memcpy(&pixels[static_cast<size_t>(y) * width], rows + pitch * y, width * 4u);
    ReleaseGpuReadBuffer(buffer);
    return pixels;
  }

  // A quad over the whole render target with texture coordinates 0..1.
  static void FullQuad(int width, int height, uint32_t diffuse, GpuScreenVertex out[4]) {
    const float x0 = -0.5f, y0 = -0.5f, x1 = width - 0.5f, y1 = height - 0.5f;
    const float corners[4][4] = {{x0, y1, 0, 1}, {x1, y1, 1, 1}, {x0, y0, 0, 0}, {x1, y0, 1, 0}};
    for (int i = 0; i < 4; ++i) {
      out[i] = GpuScreenVertex{};
      out[i].x = corners[i][0];
      out[i].y = corners[i][1];
      out[i].rhw = 1.0f;
      out[i].diffuse = diffuse;
      out[i].uv[0][0] = corners[i][2];
      out[i].uv[0][1] = corners[i][3];
    }
  }

  bool DrawFull(GpuTexture* target, uint32_t diffuse) {
    GpuScreenVertex quad[4];
    FullQuad(GpuTextureWidth(target), GpuTextureHeight(target), diffuse, quad);
    return DrawGpuQuad(mDevice, quad);
  }

  GpuSystem* mSystem = nullptr;
  GpuDevice* mDevice = nullptr;
  std::vector<GpuTexture*> mTextures;
};

void ExpectNear(uint32_t actual, uint32_t expected, int tolerance, const std::string& what) {
  for (int shift = 0; shift < 32; shift += 8) {
    int a = static_cast<int>((actual >> shift) & 0xFF), e = static_cast<int>((expected >> shift) & 0xFF);
    EXPECT_LE(std::abs(a - e), tolerance) << what << ": got " << std::hex << actual << " want " << expected;
  }
}

TEST_F(GpuDeviceTest, OpensACoreContextWithARenderTargetBackBuffer) {
  GpuCaps caps;
  ASSERT_TRUE(QueryGpuCaps(mDevice, &caps));
  EXPECT_GE(caps.maxTextureWidth, 2048);
  EXPECT_EQ(caps.maxTextureWidth, caps.maxTextureHeight);
  EXPECT_GE(caps.pixelShaderMajor, 2);
  GpuTexture* back = GpuBackBuffer(mDevice);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(GpuTextureWidth(back), 4);
  EXPECT_EQ(GpuTextureHeight(back), 2);
  EXPECT_EQ(GpuRenderTarget(mDevice), back);
  EXPECT_EQ(GpuDeviceProcessing(mDevice), GpuVertexProcessing::kHardware);
  EXPECT_EQ(g_GpuDeviceCounts.devicesCreated, 1);
  EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, 0);  // the back buffer is the device's own
  ASSERT_TRUE(ClearGpuRenderTarget(mDevice, 0x80FF4020));
  for (uint32_t pixel : ReadBack(back)) EXPECT_EQ(pixel, 0x80FF4020u);
}

TEST_F(GpuDeviceTest, OnlyOneDeviceAtATime) {
  EXPECT_EQ(CreateGpuDevice(mSystem, 0, 4, 4, GpuVertexProcessing::kSoftware), nullptr);
  EXPECT_EQ(CreateGpuDevice(mSystem, 0, 0, 4, GpuVertexProcessing::kSoftware), nullptr);
}

TEST_F(GpuDeviceTest, UploadAndReadBackKeepWordsAndRowOrder) {
  // Rows of 3 pixels in a buffer whose pitch is 5 pixels.
  const std::vector<uint32_t> source = {0x01020304, 0x11121314, 0x21222324, 0xDEAD0001, 0xDEAD0002,
                                        0xFF000000, 0x00FFFFFF, 0x7F80817E, 0xDEAD0003, 0xDEAD0004};
  GpuTexture* target = Texture(3, 2, {}, GpuFormat::kArgb8888, true);
  ASSERT_NE(target, nullptr);
  ASSERT_TRUE(UploadGpuTexture(target, source.data(), 5 * 4, false));
  EXPECT_EQ(ReadBack(target), (std::vector<uint32_t>{0x01020304, 0x11121314, 0x21222324, 0xFF000000,
                                                     0x00FFFFFF, 0x7F80817E}));
  EXPECT_FALSE(UploadGpuTexture(target, source.data(), 2 * 4, false));  // pitch below the width
}

TEST_F(GpuDeviceTest, QuadOnIntegerCentresCopiesTexelsOneToOneTopRowFirst) {
  const std::vector<uint32_t> texels = {0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004,
                                        0xFF000101, 0xFF000102, 0xFF000103, 0xFF000104};
  GpuTexture* texture = Texture(4, 2, texels);
  GpuTexture* back = GpuBackBuffer(mDevice);
  ASSERT_TRUE(ClearGpuRenderTarget(mDevice, 0));
  SetGpuTexture(mDevice, 0, texture);
  SetGpuStage(mDevice, 0, GpuStage{GpuStageOp::kSelectArg1, GpuStageArg::kTexture, GpuStageArg::kCurrent,
                                   GpuStageOp::kSelectArg1, GpuStageArg::kTexture, GpuStageArg::kCurrent});
  SetGpuBlend(mDevice, GpuBlend::kOne, GpuBlend::kZero, GpuBlendOp::kAdd);
  ASSERT_TRUE(DrawFull(back, 0xFFFFFFFF));
  EXPECT_EQ(ReadBack(back), texels);
  EXPECT_EQ(g_GpuDeviceCounts.quadsDrawn, 1);

  // A quad one pixel wide at x = 2 touches only column 2.
  ASSERT_TRUE(ClearGpuRenderTarget(mDevice, 0));
  GpuScreenVertex quad[4];
  FullQuad(1, 2, 0xFFFFFFFF, quad);
  for (GpuScreenVertex& v : quad) v.x += 2.0f;
  SetGpuStage(mDevice, 0, GpuStage{GpuStageOp::kSelectArg1, GpuStageArg::kDiffuse, GpuStageArg::kCurrent,
                                   GpuStageOp::kSelectArg1, GpuStageArg::kDiffuse, GpuStageArg::kCurrent});
  ASSERT_TRUE(DrawGpuQuad(mDevice, quad));
  EXPECT_EQ(ReadBack(back), (std::vector<uint32_t>{0, 0, 0xFFFFFFFF, 0, 0, 0, 0xFFFFFFFF, 0}));
}

struct StageCase {
  const char* name;
  GpuStage stages[kGpuStages];
  bool textures[kGpuStages];  // texel 0x80402010 (alpha 0x80) on stage 0, 0xFFFFFFFF on 1 and 2
  uint32_t diffuse;
  uint32_t factor;
  uint32_t expected;
};

constexpr GpuStage kOff{};
constexpr GpuStage Stage(GpuStageOp colorOp, GpuStageArg c1, GpuStageArg c2, GpuStageOp alphaOp, GpuStageArg a1,
                         GpuStageArg a2) {
  return GpuStage{colorOp, c1, c2, alphaOp, a1, a2};
}
using Op = GpuStageOp;
using Arg = GpuStageArg;

// Expected bytes worked out by hand: a x b / 255 rounded, per channel.
const StageCase kStageCases[] = {
    {"SelectTexture",
     {Stage(Op::kSelectArg1, Arg::kTexture, Arg::kCurrent, Op::kSelectArg1, Arg::kTexture, Arg::kCurrent), kOff, kOff},
     {true, false, false}, 0xFFFFFFFF, 0, 0x80402010},
    {"SelectDiffuse",
     {Stage(Op::kSelectArg1, Arg::kDiffuse, Arg::kCurrent, Op::kSelectArg1, Arg::kDiffuse, Arg::kCurrent), kOff, kOff},
     {true, false, false}, 0x11223344, 0, 0x11223344},
    {"ModulateTextureByDiffuse",
     // 0x80*0x80/255 = 64.25 -> 0x40; 0x40*0x80 -> 0x20; 0x20*0x80 -> 0x10; 0x10*0x80 -> 0x08
     {Stage(Op::kModulate, Arg::kTexture, Arg::kDiffuse, Op::kModulate, Arg::kTexture, Arg::kDiffuse), kOff, kOff},
     {true, false, false}, 0x80808080, 0, 0x40201008},
    {"AlphaByTextureFactorColourFromTexture",
     // mode 0: colour = texture, alpha = texture alpha x factor alpha (0x80 x 0x40 / 255 = 32.1)
     {Stage(Op::kSelectArg1, Arg::kTexture, Arg::kCurrent, Op::kModulate, Arg::kTexture, Arg::kTextureFactor),
      Stage(Op::kSelectArg1, Arg::kCurrent, Arg::kCurrent, Op::kDisable, Arg::kTexture, Arg::kCurrent), kOff},
     {true, false, false}, 0xFFFFFFFF, 0x40000000, 0x20402010},
    {"MissingTextureReadsOpaqueBlack",
     {Stage(Op::kSelectArg1, Arg::kTexture, Arg::kCurrent, Op::kSelectArg1, Arg::kTexture, Arg::kCurrent), kOff, kOff},
     {false, false, false}, 0xFFFFFFFF, 0, 0xFF000000},
    {"FirstStageDisabledLeavesDiffuse", {kOff, kOff, kOff}, {true, false, false}, 0x12345678, 0, 0x12345678},
    {"DisabledStageEndsTheChain",
     {Stage(Op::kSelectArg1, Arg::kTexture, Arg::kCurrent, Op::kSelectArg1, Arg::kTexture, Arg::kCurrent), kOff,
      Stage(Op::kSelectArg1, Arg::kDiffuse, Arg::kCurrent, Op::kSelectArg1, Arg::kDiffuse, Arg::kCurrent)},
     {true, true, true}, 0xFFFFFFFF, 0, 0x80402010},
    {"AlphaOpDisableKeepsCurrentAlpha",
     {Stage(Op::kSelectArg1, Arg::kTexture, Arg::kCurrent, Op::kDisable, Arg::kTexture, Arg::kCurrent), kOff, kOff},
     {true, false, false}, 0x33FFFFFF, 0, 0x33402010},
    {"BlendCurrentAlphaFadesToWhite",
     // stage 0 current = 0x80402010 (alpha 0.502); stage 1: cur x a + white x (1 - a)
     // R: 0x40 x 0.502 + 255 x 0.498 = 159.1 -> 0x9F; G: 0x20 -> 143.1 -> 0x8F; B: 0x10 -> 135.0 -> 0x87
     {Stage(Op::kSelectArg1, Arg::kTexture, Arg::kCurrent, Op::kSelectArg1, Arg::kTexture, Arg::kCurrent),
      Stage(Op::kBlendCurrentAlpha, Arg::kCurrent, Arg::kTexture, Op::kSelectArg1, Arg::kCurrent, Arg::kCurrent),
      kOff},
     {true, true, false}, 0xFFFFFFFF, 0, 0x809F8F87},
    {"BlendCurrentAlphaWithFactor",
     // mode 7's second stage with a factor of black: cur x a + 0 x (1 - a)
     {Stage(Op::kSelectArg1, Arg::kTexture, Arg::kCurrent, Op::kSelectArg1, Arg::kTexture, Arg::kCurrent),
      Stage(Op::kBlendCurrentAlpha, Arg::kCurrent, Arg::kTextureFactor, Op::kSelectArg1, Arg::kCurrent,
            Arg::kCurrent),
      kOff},
     {true, false, false}, 0xFFFFFFFF, 0x00000000, 0x80201008},
};

class GpuStageOpTest : public GpuDeviceTest, public testing::WithParamInterface<StageCase> {};

TEST_P(GpuStageOpTest, OnePixelMatchesHandComputedBytes) {
  const StageCase& c = GetParam();
  GpuTexture* target = Texture(1, 1, {}, GpuFormat::kArgb8888, true);
  GpuTexture* texel = Texture(1, 1, {0x80402010});
  GpuTexture* white = Texture(1, 1, {0xFFFFFFFF});
  ASSERT_TRUE(SetGpuRenderTarget(mDevice, target));
  ASSERT_TRUE(ClearGpuRenderTarget(mDevice, 0x00000000));
  for (int i = 0; i < kGpuStages; ++i) {
    ASSERT_TRUE(SetGpuTexture(mDevice, i, c.textures[i] ? (i == 0 ? texel : white) : nullptr));
    ASSERT_TRUE(SetGpuStage(mDevice, i, c.stages[i]));
  }
  ASSERT_TRUE(SetGpuTextureFactor(mDevice, c.factor));
  ASSERT_TRUE(SetGpuBlend(mDevice, GpuBlend::kOne, GpuBlend::kZero, GpuBlendOp::kAdd));
  ASSERT_TRUE(DrawFull(target, c.diffuse));
  ExpectNear(ReadBack(target)[0], c.expected, 1, c.name);
}

INSTANTIATE_TEST_SUITE_P(Stages, GpuStageOpTest, testing::ValuesIn(kStageCases),
                         [](const testing::TestParamInfo<StageCase>& info) { return std::string(info.param.name); });

struct BlendCase {
  const char* name;
  GpuBlend source;
  GpuBlend destination;
  GpuBlendOp op;
  uint32_t expected;  // source 0x80C04020 drawn over destination 0xFF408060
};

const BlendCase kBlendCases[] = {
    // alpha 0x80 = 0.502: R 0xC0 x .502 + 0x40 x .498 = 128.3; G 0x40 -> 0x60.1; B 0x20 -> 0x40.0
    // alpha 0x80 x .502 + 0xFF x .498 = 191.2
    {"AlphaBlend", GpuBlend::kSrcAlpha, GpuBlend::kInvSrcAlpha, GpuBlendOp::kAdd, 0xBF806040},
    // source x a + dest: R 96.4 + 64 = 160; G 32.1 + 128 = 160; B 16.1 + 96 = 112; A 64.3 + 255 -> 255
    {"AddWithAlpha", GpuBlend::kSrcAlpha, GpuBlend::kOne, GpuBlendOp::kAdd, 0xFFA0A070},
    // dest - source x a: R 64 - 96.4 -> 0; G 128 - 32.1 = 95.9; B 96 - 16.1 = 79.9; A 255 - 64.3 = 190.7
    {"ReverseSubtract", GpuBlend::kSrcAlpha, GpuBlend::kOne, GpuBlendOp::kRevSubtract, 0xBF006050},
    // source x a - dest: R 96.4 - 64 = 32.4; G, B below 0; A 64.3 - 255 -> 0
    {"Subtract", GpuBlend::kSrcAlpha, GpuBlend::kOne, GpuBlendOp::kSubtract, 0x00200000},
    // dest x source colour: R 64 x .753 = 48.2; G 128 x .251 = 32.1; B 96 x .125 = 12.0; A 255 x .502
    {"Multiply", GpuBlend::kZero, GpuBlend::kSrcColor, GpuBlendOp::kAdd, 0x8030200C},
    // source x (1 - dest) + dest: R 192 x .749 + 64 = 207.8; G 64 x .498 + 128 = 159.9;
    // B 32 x .624 + 96 = 116.0; A 128 x 0 + 255
    {"Screen", GpuBlend::kInvDestColor, GpuBlend::kOne, GpuBlendOp::kAdd, 0xFFD0A074},
    // MIN and MAX take the channels as they are, whatever the factors.
    {"MaxIgnoresFactors", GpuBlend::kZero, GpuBlend::kZero, GpuBlendOp::kMax, 0xFFC08060},
    {"MinIgnoresFactors", GpuBlend::kZero, GpuBlend::kZero, GpuBlendOp::kMin, 0x80404020},
    // source x (1 - dest) + dest x (1 - source): R 192 x .749 + 64 x .247 = 159.6;
    // G 64 x .498 + 128 x .749 = 127.7; B 32 x .624 + 96 x .875 = 103.9; A 128 x 0 + 255 x .498 = 127
    {"Exclusion", GpuBlend::kInvDestColor, GpuBlend::kInvSrcColor, GpuBlendOp::kAdd, 0x7FA08068},
    // source x dest: the same product from the other side
    {"SourceTimesDestColour", GpuBlend::kDestColor, GpuBlend::kZero, GpuBlendOp::kAdd, 0x8030200C},
};

class GpuBlendOpTest : public GpuDeviceTest, public testing::WithParamInterface<BlendCase> {};

TEST_P(GpuBlendOpTest, TwoPixelsMatchHandComputedBytes) {
  const BlendCase& c = GetParam();
  GpuTexture* target = Texture(2, 1, {}, GpuFormat::kArgb8888, true);
  ASSERT_TRUE(SetGpuRenderTarget(mDevice, target));
  ASSERT_TRUE(ClearGpuRenderTarget(mDevice, 0xFF408060));
  SetGpuStage(mDevice, 0, Stage(Op::kSelectArg1, Arg::kDiffuse, Arg::kCurrent, Op::kSelectArg1, Arg::kDiffuse,
                                Arg::kCurrent));
  ASSERT_TRUE(SetGpuBlend(mDevice, c.source, c.destination, c.op));
  ASSERT_TRUE(DrawFull(target, 0x80C04020));
  std::vector<uint32_t> pixels = ReadBack(target);
  ExpectNear(pixels[0], c.expected, 1, c.name);
  ExpectNear(pixels[1], c.expected, 1, c.name);
}

INSTANTIATE_TEST_SUITE_P(Blends, GpuBlendOpTest, testing::ValuesIn(kBlendCases),
                         [](const testing::TestParamInfo<BlendCase>& info) { return std::string(info.param.name); });

TEST_F(GpuDeviceTest, SixteenBitTextureKeepsFourBitsPerChannel) {
  // 0xFF -> 15 -> 0xFF; 0x80 -> 8 -> 0x88; 0x40 -> 4 -> 0x44; 0xC0 -> 11 -> 0xBB
  GpuTexture* texture = Texture(2, 1, {0xFF8040C0, 0x00000000}, GpuFormat::kArgb4444);
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(GpuTextureFormat(texture), GpuFormat::kArgb4444);
  GpuTexture* target = Texture(2, 1, {}, GpuFormat::kArgb8888, true);
  SetGpuRenderTarget(mDevice, target);
  ClearGpuRenderTarget(mDevice, 0x12345678);
  SetGpuTexture(mDevice, 0, texture);
  SetGpuStage(mDevice, 0, Stage(Op::kSelectArg1, Arg::kTexture, Arg::kCurrent, Op::kSelectArg1, Arg::kTexture,
                                Arg::kCurrent));
  SetGpuBlend(mDevice, GpuBlend::kOne, GpuBlend::kZero, GpuBlendOp::kAdd);
  ASSERT_TRUE(DrawFull(target, 0xFFFFFFFF));
  EXPECT_EQ(ReadBack(target), (std::vector<uint32_t>{0xFF8844BB, 0x00000000}));
}

TEST_F(GpuDeviceTest, SixteenBitRenderTargetAndDitherSpreadsTheError) {
  // 0x08 lies half-way between the levels 0x00 and 0x11: plain rounding
  // gives one level everywhere, dithering mixes both with the mean kept.
  std::vector<uint32_t> flat(16 * 4, 0xFF080808);
  for (bool dither : {false, true}) {
    GpuTexture* target = Texture(16, 4, {}, GpuFormat::kArgb4444, true);
    ASSERT_NE(target, nullptr);
    ASSERT_TRUE(UploadGpuTexture(target, flat.data(), 16 * 4, dither));
    std::vector<uint32_t> pixels = ReadBack(target);
    int sum = 0, distinct = 0;
    for (uint32_t pixel : pixels) {
      EXPECT_EQ(pixel >> 24, 0xFFu);
      int blue = static_cast<int>(pixel & 0xFF);
      EXPECT_TRUE(blue == 0x00 || blue == 0x11) << std::hex << pixel;
      sum += blue;
      distinct += blue != static_cast<int>(pixels[0] & 0xFF);
    }
    if (dither) {
      EXPECT_GT(distinct, 0);
      EXPECT_NEAR(sum / static_cast<double>(pixels.size()), 8.0, 2.0);
    } else {
      EXPECT_EQ(distinct, 0);
    }
  }
}

constexpr const char* kScaleShader = R"(#version 330 core
in vec2 vTexCoord;
in vec4 vDiffuse;
out vec4 fragColor;
uniform sampler2D QV_Texture1;
uniform sampler2D QV_Texture2;
uniform float QV_AlphaVal;
uniform float QV_FadeVal;
void main() {
  vec4 a = texture(QV_Texture1, vTexCoord);
  vec4 b = texture(QV_Texture2, vTexCoord);
  fragColor = mix(a, b, QV_FadeVal) * QV_AlphaVal;
}
)";
constexpr const char* kRedShader = R"(#version 330 core
out vec4 fragColor;
void main() { fragColor = vec4(1.0, 0.0, 0.0, 1.0); }
)";

TEST_F(GpuDeviceTest, EffectPassDrawsWithCommittedUniforms) {
  const GpuEffectPass passes[] = {{"Pass0", kScaleShader}, {"Pass1", kRedShader}};
  const GpuEffectTechnique techniques[] = {{"Other", passes + 1, 1}, {"Main", passes, 2}};
  char* log = nullptr;
  GpuEffect* effect = CreateGpuEffect(mDevice, GpuEffectSource{techniques, 2}, &log);
  ASSERT_NE(effect, nullptr) << (log != nullptr ? log : "");
  EXPECT_EQ(FindGpuTechnique(effect, "Main"), 1);
  EXPECT_EQ(FindGpuTechnique(effect, "Missing"), -1);
  ASSERT_TRUE(SetGpuTechnique(effect, 1));
  EXPECT_FALSE(SetGpuTechnique(effect, 2));

  GpuTexture* first = Texture(1, 1, {0xFF0000FF});
  GpuTexture* second = Texture(1, 1, {0xFFFF0000});
  GpuTexture* target = Texture(1, 1, {}, GpuFormat::kArgb8888, true);
  SetGpuRenderTarget(mDevice, target);
  ClearGpuRenderTarget(mDevice, 0);
  SetGpuBlend(mDevice, GpuBlend::kOne, GpuBlend::kZero, GpuBlendOp::kAdd);
  EXPECT_TRUE(SetGpuEffectTexture(effect, "QV_Texture1", first));
  EXPECT_TRUE(SetGpuEffectTexture(effect, "QV_Texture2", second));
  EXPECT_TRUE(SetGpuEffectFloat(effect, "QV_AlphaVal", 1.0f));
  EXPECT_TRUE(SetGpuEffectFloat(effect, "QV_FadeVal", 0.25f));
  EXPECT_FALSE(SetGpuEffectFloat(effect, "QV_Unknown", 1.0f));
  EXPECT_FALSE(SetGpuEffectFloat(effect, "QV_Texture1", 1.0f));  // a texture, not a float
  EXPECT_FALSE(BeginGpuEffectPass(effect, 0));                    // not begun
  ASSERT_TRUE(BeginGpuEffect(effect));
  ASSERT_TRUE(BeginGpuEffectPass(effect, 0));
  ASSERT_TRUE(DrawFull(target, 0xFFFFFFFF));
  // blue x .75 + red x .25
  ExpectNear(ReadBack(target)[0], 0xFF4000BF, 1, "fade .25");

  // A change reaches the pass only when committed.
  SetGpuEffectFloat(effect, "QV_AlphaVal", 0.5f);
  ASSERT_TRUE(DrawFull(target, 0xFFFFFFFF));
  ExpectNear(ReadBack(target)[0], 0xFF4000BF, 1, "before the commit");
  ASSERT_TRUE(CommitGpuEffect(effect));
  ASSERT_TRUE(DrawFull(target, 0xFFFFFFFF));
  ExpectNear(ReadBack(target)[0], 0x80200060, 1, "after the commit");
  ASSERT_TRUE(EndGpuEffectPass(effect));

  ASSERT_TRUE(BeginGpuEffectPass(effect, 1));
  ASSERT_TRUE(DrawFull(target, 0xFFFFFFFF));
  EXPECT_EQ(ReadBack(target)[0], 0xFFFF0000u);
  ASSERT_TRUE(EndGpuEffectPass(effect));
  ASSERT_TRUE(EndGpuEffect(effect));

  // With no pass the fixed stages draw again.
  SetGpuTexture(mDevice, 0, nullptr);
  SetGpuStage(mDevice, 0, Stage(Op::kSelectArg1, Arg::kDiffuse, Arg::kCurrent, Op::kSelectArg1, Arg::kDiffuse,
                                Arg::kCurrent));
  ASSERT_TRUE(DrawFull(target, 0xFF00FF00));
  EXPECT_EQ(ReadBack(target)[0], 0xFF00FF00u);
  ReleaseGpuEffect(effect);
}

TEST_F(GpuDeviceTest, EffectThatDoesNotCompileReportsItsLog) {
  const GpuEffectPass passes[] = {{"Pass0", "#version 330 core\nvoid main() { undefined_call(); }\n"}};
  const GpuEffectTechnique technique = {"T", passes, 1};
  char* log = nullptr;
  EXPECT_EQ(CreateGpuEffect(mDevice, GpuEffectSource{&technique, 1}, &log), nullptr);
  ASSERT_NE(log, nullptr);
  EXPECT_NE(std::string(log).find("Pass0"), std::string::npos);
  delete[] log;
}

TEST_F(GpuDeviceTest, FaultsMakeEachStepFail) {
  const GpuEffectPass pass = {"Pass0", kRedShader};
  const GpuEffectTechnique technique = {"T", &pass, 1};
  g_GpuDeviceFaults.failEffect = true;
  char* log = nullptr;
  EXPECT_EQ(CreateGpuEffect(mDevice, GpuEffectSource{&technique, 1}, &log), nullptr);
  delete[] log;
  g_GpuDeviceFaults.failEffect = false;
  GpuEffect* effect = CreateGpuEffect(mDevice, GpuEffectSource{&technique, 1}, nullptr);
  EXPECT_NE(effect, nullptr);
  ReleaseGpuEffect(effect);

  g_GpuDeviceFaults.failReadBuffer = true;
  EXPECT_EQ(CreateGpuReadBuffer(mDevice, 4, 2), nullptr);
  g_GpuDeviceFaults.failReadBuffer = false;

  g_GpuDeviceFaults.maxTextureSide = 256;
  GpuCaps caps;
  QueryGpuCaps(mDevice, &caps);
  EXPECT_EQ(caps.maxTextureWidth, 256);
  EXPECT_EQ(CreateGpuTexture(mDevice, 512, 16, GpuFormat::kArgb8888, false), nullptr);
  g_GpuDeviceFaults.maxTextureSide = 0;

  g_GpuDeviceFaults.pixelShaderMajor = 1;
  QueryGpuCaps(mDevice, &caps);
  EXPECT_EQ(caps.pixelShaderMajor, 1);
  g_GpuDeviceFaults.pixelShaderMajor = -1;

  g_GpuDeviceFaults.failTextureAfter = 2;
  GpuTexture* a = CreateGpuTexture(mDevice, 8, 8, GpuFormat::kArgb8888, false);
  GpuTexture* b = CreateGpuTexture(mDevice, 8, 8, GpuFormat::kArgb8888, true);
  GpuTexture* c = CreateGpuTexture(mDevice, 8, 8, GpuFormat::kArgb8888, false);
  EXPECT_NE(a, nullptr);
  EXPECT_NE(b, nullptr);
  EXPECT_EQ(c, nullptr);
  EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, 2);
  ReleaseGpuTexture(a);
  ReleaseGpuTexture(b);
  EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, 0);
  g_GpuDeviceFaults.failTextureAfter = -1;

  EXPECT_EQ(TestGpuCooperativeLevel(mDevice), kGpuDeviceOk);
  g_GpuDeviceFaults.cooperativeLevel = kGpuDeviceNotReset;
  EXPECT_EQ(TestGpuCooperativeLevel(mDevice), kGpuDeviceNotReset);
  EXPECT_EQ(TestGpuCooperativeLevel(mDevice), kGpuDeviceOk);  // answered once

  EXPECT_EQ(CreateGpuTexture(mDevice, 0, 8, GpuFormat::kArgb8888, false), nullptr);
  GpuTexture* plain = Texture(2, 2, {});
  EXPECT_FALSE(SetGpuRenderTarget(mDevice, plain));  // not a render target
  EXPECT_FALSE(SetGpuTexture(mDevice, 3, plain));
}

TEST(GpuDeviceFaultTest, SystemAndDeviceCreationFaultsAreCounted) {
  g_GpuDeviceFaults = GpuDeviceFaults{};
  g_GpuDeviceCounts = GpuDeviceCounts{};
  g_GpuDeviceFaults.failOpenSystem = true;
  EXPECT_EQ(OpenGpuSystem(), nullptr);
  g_GpuDeviceFaults.failOpenSystem = false;
  GpuSystem* system = OpenGpuSystem();
  ASSERT_NE(system, nullptr);
  GpuDisplayMode mode;
  EXPECT_TRUE(GetGpuDisplayMode(system, 0, &mode));
  EXPECT_GT(mode.width, 0);
  g_GpuDeviceFaults.failDisplayMode = true;
  EXPECT_FALSE(GetGpuDisplayMode(system, 0, &mode));
  g_GpuDeviceFaults.failDisplayMode = false;
  g_GpuDeviceFaults.failCreate[0] = true;
  g_GpuDeviceFaults.failCreate[1] = true;
  EXPECT_EQ(CreateGpuDevice(system, 0, 8, 8, GpuVertexProcessing::kHardware), nullptr);
  EXPECT_EQ(CreateGpuDevice(system, 0, 8, 8, GpuVertexProcessing::kMixed), nullptr);
  GpuDevice* device = CreateGpuDevice(system, 0, 8, 8, GpuVertexProcessing::kSoftware);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(GpuDeviceProcessing(device), GpuVertexProcessing::kSoftware);
  EXPECT_EQ(g_GpuDeviceCounts.createAttempts[0], 1);
  EXPECT_EQ(g_GpuDeviceCounts.createAttempts[1], 1);
  EXPECT_EQ(g_GpuDeviceCounts.createAttempts[2], 1);
  EXPECT_EQ(g_GpuDeviceCounts.devicesCreated, 1);
  ReleaseGpuDevice(device);
  CloseGpuSystem(system);
  g_GpuDeviceFaults = GpuDeviceFaults{};
}

TEST_F(GpuDeviceTest, TransformsAreKeptForTheRuntime) {
  const float* world = GetGpuTransform(mDevice, GpuTransform::kWorld);
  ASSERT_NE(world, nullptr);
  EXPECT_EQ(world[0], 1.0f);
  EXPECT_EQ(world[1], 0.0f);
  EXPECT_EQ(world[15], 1.0f);
  float view[16];
  for (int i = 0; i < 16; ++i) view[i] = static_cast<float>(i);
  ASSERT_TRUE(SetGpuTransform(mDevice, GpuTransform::kView, view));
  EXPECT_EQ(std::memcmp(GetGpuTransform(mDevice, GpuTransform::kView), view, sizeof view), 0);
  EXPECT_EQ(GetGpuTransform(mDevice, GpuTransform::kProjection)[5], 1.0f);
}

TEST_F(GpuDeviceTest, TexturesLeftAtReleaseAreFreedWithTheDevice) {
  GpuTexture* texture = CreateGpuTexture(mDevice, 4, 4, GpuFormat::kArgb8888, true);
  ASSERT_NE(texture, nullptr);
  ReleaseGpuDevice(mDevice);
  mDevice = nullptr;
  EXPECT_EQ(GpuTextureWidth(texture), 4);  // the handle stays readable
  EXPECT_FALSE(UploadGpuTexture(texture, std::vector<uint32_t>(16).data(), 16, false));
  ReleaseGpuTexture(texture);
  EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, 0);
}

TEST_F(GpuDeviceTest, ReleasedTextureIsForgottenByStagesTargetAndEffects) {
  const GpuEffectPass pass = {"Pass0", kScaleShader};
  const GpuEffectTechnique technique = {"T", &pass, 1};
  GpuEffect* effect = CreateGpuEffect(mDevice, GpuEffectSource{&technique, 1}, nullptr);
  ASSERT_NE(effect, nullptr);
  GpuTexture* texture = CreateGpuTexture(mDevice, 1, 1, GpuFormat::kArgb8888, true);
  ASSERT_NE(texture, nullptr);
  const uint32_t white = 0xFFFFFFFF;
  ASSERT_TRUE(UploadGpuTexture(texture, &white, 4, false));
  SetGpuTexture(mDevice, 0, texture);
  SetGpuRenderTarget(mDevice, texture);
  SetGpuEffectTexture(effect, "QV_Texture1", texture);
  CommitGpuEffect(effect);
  ReleaseGpuTexture(texture);
  EXPECT_EQ(GpuRenderTarget(mDevice), nullptr);
  EXPECT_FALSE(ClearGpuRenderTarget(mDevice, 0));  // no target left

  GpuTexture* target = Texture(1, 1, {}, GpuFormat::kArgb8888, true);
  SetGpuRenderTarget(mDevice, target);
  SetGpuStage(mDevice, 0, Stage(Op::kSelectArg1, Arg::kTexture, Arg::kCurrent, Op::kSelectArg1, Arg::kTexture,
                                Arg::kCurrent));
  SetGpuBlend(mDevice, GpuBlend::kOne, GpuBlend::kZero, GpuBlendOp::kAdd);
  ASSERT_TRUE(DrawFull(target, 0xFFFFFFFF));
  EXPECT_EQ(ReadBack(target)[0], 0xFF000000u);  // the stage has no texture any more
  ReleaseGpuEffect(effect);
}

TEST_F(GpuDeviceTest, AnotherThreadCanDrawAfterTheFirst) {
  GpuTexture* target = Texture(1, 1, {}, GpuFormat::kArgb8888, true);
  ASSERT_TRUE(SetGpuRenderTarget(mDevice, target));
  ASSERT_TRUE(ClearGpuRenderTarget(mDevice, 0xFF0000FF));
  bool cleared = false;
  std::thread other([&] { cleared = ClearGpuRenderTarget(mDevice, 0xFF00FF00); });
  other.join();
  EXPECT_TRUE(cleared);
  EXPECT_EQ(ReadBack(target)[0], 0xFF00FF00u);
}

}  // namespace
