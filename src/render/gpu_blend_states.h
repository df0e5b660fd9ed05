#pragma once
// The fixed-function states each blend mode draws a layer quad with: what
// texture stages 0 and 1 compute, the texture factor, the texture stage 1
// must hold, the blend factors and operation, and whether the vertex colour
// carries the opacity.
#include <cstdint>

#include "platform/gpu_device.h"

// What the texture factor is set to before the quad.
enum class GpuFactorSource : uint8_t {
  kUnchanged,  // the mode does not read it
  kOpacity,    // g << 24: the opacity in the alpha byte
  kWhite,      // 0xFFFFFFFF
};
// What stage 1 samples instead of the mask or second-source tile.
enum class GpuStage1Texture : uint8_t { kTile, kWhite, kBlack };

struct GpuBlendState {
  GpuStage stage0;
  GpuStage stage1;
  GpuFactorSource factor;
  GpuStage1Texture stage1Texture;
  bool disableStage2;
  GpuBlend source;
  GpuBlend destination;
  GpuBlendOp op;
  // True: the vertex colour is g in all four bytes; false: 0xFF000000.
  bool opacityInDiffuse;
};

// Blend modes are 0..18.
constexpr int kBlendModeCount = 19;

// The states of a blend mode. Modes without fixed-function states of their
// own (4, 8, 10..18) and any value out of range draw with the states of
// mode 0, so a quad never inherits the states of the quad before it.
const GpuBlendState& GpuBlendStateOf(int mode);
// The vertex colour of a quad in this mode with opacity byte g.
uint32_t GpuQuadDiffuse(int mode, uint8_t g);
// The stage as drawn when the stage holds no texture: a stage that reads its
// texture passes the previous result on instead.
GpuStage GpuStageWithoutTexture(const GpuStage& stage);
// Sets stages 0..2, the texture factor and the blend of the mode on the
// device; stage 1's texture is set for the modes that sample white or black
// (stage1Tile otherwise decides whether stage 1 reads a texture). False when
// the factor, the blend or a texture cannot be set (stage failures only
// leave the previous stage state, as a device that refuses them would).
bool ApplyGpuBlendState(GpuDevice* device, int mode, uint8_t g, bool stage1HasTile, GpuTexture* white,
                        GpuTexture* black);
