#pragma once
// The drawing device of the GPU side: an OpenGL 3.3 core context of its own
// (a hidden SDL window, or EGL with SDL's offscreen driver), loaded through
// SDL when the device is opened. The device never presents: every picture
// goes into a render-target texture and is read back into memory.
//
// Conventions:
// - Pixels in memory are 32-bit A8R8G8B8 words (B, G, R, A bytes), top row
//   first, as everywhere else in the engine. Textures and render targets keep
//   that order, so a read-back returns rows top first.
// - Quads come pre-transformed in render-target pixels with pixel centres on
//   integer coordinates (x = 0 is the middle of the first column); the device
//   adds the half pixel that OpenGL wants.
// - One device at a time; it is used from one thread at a time, and a call
//   from another thread than the last makes the context current there first.
#include <cstddef>
#include <cstdint>

struct GpuSystem;
struct GpuDevice;
struct GpuTexture;
struct GpuReadBuffer;
struct GpuEffect;

// The vertex of every quad: position (x, y, z, rhw; rhw is 1), the diffuse
// colour as an A8R8G8B8 word, eight texture-coordinate pairs of which the
// layer drawing uses the first.
struct GpuScreenVertex {
  float x, y, z, rhw;
  uint32_t diffuse;
  float uv[8][2];
};
static_assert(sizeof(GpuScreenVertex) == 84, "the quad vertex is 84 bytes");

enum class GpuFormat : uint8_t { kArgb8888, kArgb4444 };
enum class GpuVertexProcessing : uint8_t { kHardware, kMixed, kSoftware };

struct GpuDisplayMode {
  int width = 0;
  int height = 0;
  int refreshRate = 0;
};

struct GpuCaps {
  int maxTextureWidth = 0;
  int maxTextureHeight = 0;
  // The pixel-shader model the device offers, as major and minor (OpenGL 3.3
  // core answers 3.0).
  int pixelShaderMajor = 0;
  int pixelShaderMinor = 0;
  uint64_t textureMemoryBytes = 0;
};

// Results of TestGpuCooperativeLevel.
constexpr int kGpuDeviceOk = 0;
constexpr int kGpuDeviceLost = 1;
constexpr int kGpuDeviceNotReset = 2;

// ---- system and device ----
// Loads the OpenGL library; null when it cannot be used.
GpuSystem* OpenGpuSystem();
void CloseGpuSystem(GpuSystem* system);
// The current mode of a display (adapter = display index). false on failure.
bool GetGpuDisplayMode(GpuSystem* system, int adapter, GpuDisplayMode* mode);
// Makes the device with a back buffer (an A8R8G8B8 render target) of
// width x height. The vertex-processing choice is recorded (OpenGL has no
// such choice). Null on failure.
GpuDevice* CreateGpuDevice(GpuSystem* system, int adapter, int width, int height,
                           GpuVertexProcessing processing);
void ReleaseGpuDevice(GpuDevice* device);
GpuVertexProcessing GpuDeviceProcessing(const GpuDevice* device);
bool QueryGpuCaps(GpuDevice* device, GpuCaps* caps);
// kGpuDeviceOk, or kGpuDeviceLost / kGpuDeviceNotReset (only through the test
// faults: an OpenGL context is not lost by mode changes).
int TestGpuCooperativeLevel(GpuDevice* device);

// ---- textures, render targets, read-back ----
// A texture of one mip level; renderTarget textures can be drawn into.
// Null on failure (also for sides <= 0 or above the device maximum).
GpuTexture* CreateGpuTexture(GpuDevice* device, int width, int height, GpuFormat format,
                             bool renderTarget);
void ReleaseGpuTexture(GpuTexture* texture);
int GpuTextureWidth(const GpuTexture* texture);
int GpuTextureHeight(const GpuTexture* texture);
GpuFormat GpuTextureFormat(const GpuTexture* texture);
// Replaces the whole texture with width x height pixels from rows of
// pitchBytes (the texture's own size). A 16-bit texture gets each channel
// reduced to 4 bits, with error diffusion when dither is set. false on failure.
bool UploadGpuTexture(GpuTexture* texture, const uint32_t* pixels, size_t pitchBytes, bool dither);
// The back buffer: a render target the device owns (never released by the
// caller).
GpuTexture* GpuBackBuffer(GpuDevice* device);
// Draws from now on into the texture, which must be a render target.
bool SetGpuRenderTarget(GpuDevice* device, GpuTexture* target);
GpuTexture* GpuRenderTarget(GpuDevice* device);
// Fills the whole render target with an A8R8G8B8 colour.
bool ClearGpuRenderTarget(GpuDevice* device, uint32_t argb);
// A block of memory of width x height pixels that receives render targets.
GpuReadBuffer* CreateGpuReadBuffer(GpuDevice* device, int width, int height);
void ReleaseGpuReadBuffer(GpuReadBuffer* buffer);
// Copies the render target (which must not be larger) into the buffer.
bool ReadGpuRenderTarget(GpuDevice* device, GpuTexture* target, GpuReadBuffer* buffer);
// The buffer's rows: first row, pitch in bytes, width and height.
const uint8_t* GpuReadBufferRows(const GpuReadBuffer* buffer, size_t* pitchBytes, int* width,
                                 int* height);

// ---- fixed-function drawing ----
// What a texture stage computes, after the Direct3D texture stages the
// blend modes are written for: arguments are the stage's texture, the
// vertex colour, the texture factor or the previous stage's result.
enum class GpuStageOp : uint8_t { kDisable, kSelectArg1, kModulate, kBlendCurrentAlpha };
enum class GpuStageArg : uint8_t { kTexture, kDiffuse, kTextureFactor, kCurrent };
struct GpuStage {
  GpuStageOp colorOp = GpuStageOp::kDisable;
  GpuStageArg colorArg1 = GpuStageArg::kTexture;
  GpuStageArg colorArg2 = GpuStageArg::kCurrent;
  GpuStageOp alphaOp = GpuStageOp::kDisable;
  GpuStageArg alphaArg1 = GpuStageArg::kTexture;
  GpuStageArg alphaArg2 = GpuStageArg::kCurrent;
};
constexpr int kGpuStages = 3;
enum class GpuBlend : uint8_t {
  kZero, kOne, kSrcColor, kInvSrcColor, kSrcAlpha, kInvSrcAlpha, kDestColor, kInvDestColor
};
enum class GpuBlendOp : uint8_t { kAdd, kSubtract, kRevSubtract, kMin, kMax };
enum class GpuFilter : uint8_t { kNone, kPoint, kLinear, kAnisotropic };

// Stage 0..2 samples this texture. Null: none, and the stage's texture
// argument reads as opaque black (0, 0, 0, 1).
bool SetGpuTexture(GpuDevice* device, int stage, GpuTexture* texture);
bool SetGpuStage(GpuDevice* device, int stage, const GpuStage& state);
bool SetGpuTextureFactor(GpuDevice* device, uint32_t argb);
// Alpha blending is always on (the device's set-up state).
bool SetGpuBlend(GpuDevice* device, GpuBlend source, GpuBlend destination, GpuBlendOp op);
// Sampler 0..2: filters; addressing is always clamp.
bool SetGpuSampler(GpuDevice* device, int sampler, GpuFilter mag, GpuFilter min, GpuFilter mip);
// Draws the four vertices as a triangle strip (bottom-left, bottom-right,
// top-left, top-right) with the current states, or with the current effect
// pass when one is begun. false on failure.
bool DrawGpuQuad(GpuDevice* device, const GpuScreenVertex vertices[4]);

// ---- transforms kept for the E-mote runtime, which draws with them ----
enum class GpuTransform : uint8_t { kWorld, kView, kProjection };
// Row-major 4 x 4 matrices applied to row vectors (v' = v M).
bool SetGpuTransform(GpuDevice* device, GpuTransform which, const float matrix[16]);
const float* GetGpuTransform(const GpuDevice* device, GpuTransform which);

// ---- effects: named techniques of GLSL passes ----
struct GpuEffectPass {
  const char* name;
  // Fragment shader (GLSL 330 core). Inputs from the shared vertex shader:
  // `in vec2 vTexCoord; in vec4 vDiffuse;` (diffuse as 0..1 RGBA); output
  // `out vec4 fragColor;`. Uniforms are looked up by name: sampler2D and
  // float uniforms are the effect's parameters.
  const char* fragmentSource;
};
struct GpuEffectTechnique {
  const char* name;
  const GpuEffectPass* passes;
  int passCount;
};
struct GpuEffectSource {
  const GpuEffectTechnique* techniques;
  int techniqueCount;
};
// Compiles every pass. Null on failure; *error (when given) receives the
// compiler's log, which the caller frees with delete[].
GpuEffect* CreateGpuEffect(GpuDevice* device, const GpuEffectSource& source, char** error);
void ReleaseGpuEffect(GpuEffect* effect);
// Index of the technique, or -1.
int FindGpuTechnique(const GpuEffect* effect, const char* name);
bool SetGpuTechnique(GpuEffect* effect, int technique);
bool BeginGpuEffect(GpuEffect* effect);
bool BeginGpuEffectPass(GpuEffect* effect, int pass);
// Parameters by uniform name; false when the name is unknown.
bool SetGpuEffectTexture(GpuEffect* effect, const char* name, GpuTexture* texture);
bool SetGpuEffectFloat(GpuEffect* effect, const char* name, float value);
bool CommitGpuEffect(GpuEffect* effect);
bool EndGpuEffectPass(GpuEffect* effect);
bool EndGpuEffect(GpuEffect* effect);

// ---- faults a test can ask for ----
// Each makes the named step fail (or answer) as a real device could; all off
// by default. Tests set them before the step and clear them after.
struct GpuDeviceFaults {
  bool failOpenSystem = false;
  bool failDisplayMode = false;
  bool failCreate[3] = {false, false, false};  // by GpuVertexProcessing
  int pixelShaderMajor = -1;                   // >= 0: the caps report this model
  int maxTextureSide = 0;                      // > 0: the caps report this maximum
  int failTextureAfter = -1;                   // >= 0: that many more textures, then none
  bool failReadBuffer = false;
  bool failEffect = false;
  int cooperativeLevel = kGpuDeviceOk;  // what TestGpuCooperativeLevel answers once
};
extern GpuDeviceFaults g_GpuDeviceFaults;
// Counts of what the device did, for tests.
struct GpuDeviceCounts {
  int devicesCreated = 0;
  int createAttempts[3] = {0, 0, 0};
  int texturesAlive = 0;
  int quadsDrawn = 0;
};
extern GpuDeviceCounts g_GpuDeviceCounts;
