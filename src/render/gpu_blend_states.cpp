#include "render/gpu_blend_states.h"

namespace {

using Op = GpuStageOp;
using Arg = GpuStageArg;

constexpr GpuStage Stage(Op colorOp, Arg c1, Arg c2, Op alphaOp, Arg a1, Arg a2) {
  return GpuStage{colorOp, c1, c2, alphaOp, a1, a2};
}
constexpr GpuStage kStageOff = Stage(Op::kDisable, Arg::kTexture, Arg::kCurrent, Op::kDisable, Arg::kTexture,
                                     Arg::kCurrent);
// Colour and alpha both the texture modulated by the vertex colour.
constexpr GpuStage kTextureTimesDiffuse = Stage(Op::kModulate, Arg::kTexture, Arg::kDiffuse, Op::kModulate,
                                                Arg::kTexture, Arg::kDiffuse);
constexpr GpuStage kDiffuseTimesTexture = Stage(Op::kModulate, Arg::kDiffuse, Arg::kTexture, Op::kModulate,
                                                Arg::kDiffuse, Arg::kTexture);

constexpr GpuBlendState kNormal = {
    Stage(Op::kSelectArg1, Arg::kTexture, Arg::kCurrent, Op::kModulate, Arg::kTexture, Arg::kTextureFactor),
    Stage(Op::kSelectArg1, Arg::kTexture, Arg::kCurrent, Op::kDisable, Arg::kTexture, Arg::kCurrent),
    GpuFactorSource::kOpacity,
    GpuStage1Texture::kTile,
    true,
    GpuBlend::kSrcAlpha,
    GpuBlend::kInvSrcAlpha,
    GpuBlendOp::kAdd,
    false,
};

// Index = blend mode. The modes with the normal states here have no
// fixed-function form of their own.
constexpr GpuBlendState kStates[kBlendModeCount] = {
    kNormal,
    // 1 add
    {Stage(Op::kSelectArg1, Arg::kTexture, Arg::kCurrent, Op::kModulate, Arg::kTexture, Arg::kDiffuse), kStageOff,
     GpuFactorSource::kUnchanged, GpuStage1Texture::kTile, false, GpuBlend::kSrcAlpha, GpuBlend::kOne,
     GpuBlendOp::kAdd, true},
    // 2 subtract from the target
    {kDiffuseTimesTexture, kStageOff, GpuFactorSource::kUnchanged, GpuStage1Texture::kTile, false,
     GpuBlend::kSrcAlpha, GpuBlend::kOne, GpuBlendOp::kRevSubtract, true},
    // 3 multiply: the target times the colour faded to white by its alpha
    {kDiffuseTimesTexture,
     Stage(Op::kBlendCurrentAlpha, Arg::kCurrent, Arg::kTexture, Op::kSelectArg1, Arg::kCurrent, Arg::kCurrent),
     GpuFactorSource::kWhite, GpuStage1Texture::kWhite, false, GpuBlend::kZero, GpuBlend::kSrcColor,
     GpuBlendOp::kAdd, true},
    kNormal,  // 4 divide
    // 5 screen with the colour faded to black by its alpha
    {kTextureTimesDiffuse,
     Stage(Op::kBlendCurrentAlpha, Arg::kCurrent, Arg::kTexture, Op::kSelectArg1, Arg::kCurrent, Arg::kCurrent),
     GpuFactorSource::kUnchanged, GpuStage1Texture::kBlack, false, GpuBlend::kInvDestColor, GpuBlend::kOne,
     GpuBlendOp::kAdd, true},
    // 6 lighten
    {kTextureTimesDiffuse, kStageOff, GpuFactorSource::kUnchanged, GpuStage1Texture::kTile, false, GpuBlend::kOne,
     GpuBlend::kOne, GpuBlendOp::kMax, true},
    // 7 darken with the colour faded to white by its alpha
    {kTextureTimesDiffuse,
     Stage(Op::kBlendCurrentAlpha, Arg::kCurrent, Arg::kTextureFactor, Op::kSelectArg1, Arg::kCurrent,
           Arg::kCurrent),
     GpuFactorSource::kWhite, GpuStage1Texture::kTile, false, GpuBlend::kOne, GpuBlend::kOne, GpuBlendOp::kMin,
     true},
    kNormal,  // 8 difference
    // 9 exclusion: src (1 - dst) + dst (1 - src)
    {kTextureTimesDiffuse, kStageOff, GpuFactorSource::kUnchanged, GpuStage1Texture::kTile, false,
     GpuBlend::kInvDestColor, GpuBlend::kInvSrcColor, GpuBlendOp::kAdd, true},
    kNormal,  // 10 overlay
    kNormal,  // 11 colour dodge
    kNormal,  // 12 colour burn
    kNormal,  // 13 linear burn
    kNormal,  // 14 hard light
    kNormal,  // 15 soft light
    kNormal,  // 16 vivid light
    kNormal,  // 17 linear light
    kNormal,  // 18 pin light
};

bool ReadsTexture(GpuStageOp op, GpuStageArg a1, GpuStageArg a2) {
  if (op == GpuStageOp::kDisable) return false;
  if (a1 == GpuStageArg::kTexture) return true;
  return op != GpuStageOp::kSelectArg1 && a2 == GpuStageArg::kTexture;
}

uint32_t FactorValue(GpuFactorSource source, uint8_t g) {
  return source == GpuFactorSource::kOpacity ? static_cast<uint32_t>(g) << 24 : 0xFFFFFFFFu;
}

}  // namespace

const GpuBlendState& GpuBlendStateOf(int mode) {
  if (mode < 0 || mode >= kBlendModeCount) return kNormal;
  return kStates[mode];
}

uint32_t GpuQuadDiffuse(int mode, uint8_t g) {
  // 98 and 100 are not blend modes a layer can hold, but a caller that
  // passes them gets the opacity colour as the modes with a diffuse do.
  bool opacity = (mode >= 0 && mode < kBlendModeCount && kStates[mode].opacityInDiffuse) || mode == 98 || mode == 100;
  return opacity ? static_cast<uint32_t>(g) * 0x01010101u : 0xFF000000u;
}

GpuStage GpuStageWithoutTexture(const GpuStage& stage) {
  if (ReadsTexture(stage.colorOp, stage.colorArg1, stage.colorArg2) ||
      ReadsTexture(stage.alphaOp, stage.alphaArg1, stage.alphaArg2)) {
    return kStageOff;
  }
  return stage;
}

bool ApplyGpuBlendState(GpuDevice* device, int mode, uint8_t g, bool stage1HasTile, GpuTexture* white,
                        GpuTexture* black) {
  const GpuBlendState& state = GpuBlendStateOf(mode);
  bool stage1HasTexture = stage1HasTile;
  if (state.stage1Texture != GpuStage1Texture::kTile) {
    GpuTexture* texture = state.stage1Texture == GpuStage1Texture::kWhite ? white : black;
    if (!SetGpuTexture(device, 1, texture)) return false;
    stage1HasTexture = texture != nullptr;
  }
  if (state.factor != GpuFactorSource::kUnchanged && !SetGpuTextureFactor(device, FactorValue(state.factor, g))) {
    return false;
  }
  SetGpuStage(device, 0, state.stage0);
  SetGpuStage(device, 1, stage1HasTexture ? state.stage1 : GpuStageWithoutTexture(state.stage1));
  if (state.disableStage2) SetGpuStage(device, 2, kStageOff);
  return SetGpuBlend(device, state.source, state.destination, state.op);
}
