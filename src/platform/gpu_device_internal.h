#pragma once
// What the device and its effects share inside the platform layer.
#include <SDL.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/gl_functions.h"
#include "platform/gpu_device.h"

struct GpuSystem {
  bool mLibraryLoaded = false;
};

struct GpuTexture {
  GpuDevice* mDevice = nullptr;  // null once the device is gone
  GLuint mName = 0;
  GLuint mFramebuffer = 0;  // render targets only
  int mWidth = 0;
  int mHeight = 0;
  GpuFormat mFormat = GpuFormat::kArgb8888;
  bool mRenderTarget = false;
  bool mOwnedByDevice = false;
};

struct GpuReadBuffer {
  int mWidth = 0;
  int mHeight = 0;
  std::vector<uint8_t> mRows;
};

struct GpuSamplerState {
  GpuFilter mag = GpuFilter::kPoint;
  GpuFilter min = GpuFilter::kPoint;
  GpuFilter mip = GpuFilter::kNone;
};

struct GpuDevice {
  GpuSystem* mSystem = nullptr;
  SDL_Window* mWindow = nullptr;
  SDL_GLContext mContext = nullptr;
  int mCallDepth = 0;
  std::thread::id mOwnerThread;  // the thread that made the device
  GlFunctions gl;
  GpuVertexProcessing mProcessing = GpuVertexProcessing::kHardware;
  int mMaxTextureSide = 0;
  GLuint mVertexArray = 0;
  GLuint mVertexBuffer = 0;
  GLuint mVertexShader = 0;
  GLuint mFixedProgram = 0;
  // Where the fixed-function program's per-draw uniforms live, looked up
  // once when it is linked: the stage arrays and the texture factor.
  GLint mStageUniforms[7] = {-1, -1, -1, -1, -1, -1, -1};
  GLint mFactorUniform = -1;
  GLuint mSamplers[kGpuStages] = {0, 0, 0};
  GpuTexture* mBackBuffer = nullptr;
  GpuTexture* mTarget = nullptr;
  GpuTexture* mTextures[kGpuStages] = {nullptr, nullptr, nullptr};
  GpuStage mStages[kGpuStages];
  GpuSamplerState mSamplerStates[kGpuStages];
  uint32_t mTextureFactor = 0xFFFFFFFFu;
  GpuBlend mSourceBlend = GpuBlend::kOne;
  GpuBlend mDestinationBlend = GpuBlend::kZero;
  GpuBlendOp mBlendOp = GpuBlendOp::kAdd;
  float mTransforms[3][16];
  GpuEffect* mActiveEffect = nullptr;  // with a pass begun
  std::vector<GpuTexture*> mLiveTextures;
  std::vector<GpuEffect*> mLiveEffects;
};

// Holds the device's context current on the calling thread for one call of
// the interface. The outermost call lets the context go again when it ends,
// so that the next call may come from another thread (a context can be
// current on one thread only).
class GpuCall {
 public:
  explicit GpuCall(GpuDevice* device);
  ~GpuCall();
  GpuCall(const GpuCall&) = delete;
  GpuCall& operator=(const GpuCall&) = delete;
  bool ok() const { return mOk; }

 private:
  GpuDevice* mDevice = nullptr;
  bool mOk = false;
};
// The shared vertex shader and the fixed-function program of a device whose
// context is current; false with the compiler's log in *log.
bool BuildGpuPrograms(GpuDevice* device, std::string* log);
// Hands the texture stages, the texture factor and the stage textures to the
// fixed-function program, which must be in use.
void SetGpuStageUniforms(GpuDevice* device);
// An A8R8G8B8 word as 0..1 RGBA.
inline void GpuColourOf(uint32_t argb, float out[4]) {
  out[0] = static_cast<float>((argb >> 16) & 0xFF) / 255.0f;
  out[1] = static_cast<float>((argb >> 8) & 0xFF) / 255.0f;
  out[2] = static_cast<float>(argb & 0xFF) / 255.0f;
  out[3] = static_cast<float>(argb >> 24) / 255.0f;
}
// Compiles and links a program of the shared vertex shader and a fragment
// shader; 0 on failure with the log in *log.
GLuint LinkGpuProgram(GpuDevice* device, const char* fragmentSource, std::string* log);
// Binds the vertex array, uploads the quad and draws it with the program
// that is in use.
bool DrawGpuQuadWithProgram(GpuDevice* device, GLuint program, const GpuScreenVertex vertices[4]);
// Effect side: draws the quad with the pass that is begun.
bool DrawGpuEffectQuad(GpuEffect* effect, const GpuScreenVertex vertices[4]);
// Called when a device goes: the effect's programs are deleted with it.
void DetachGpuEffect(GpuEffect* effect);
// Called when a texture goes: effects stop referring to it.
void ForgetGpuEffectTexture(GpuEffect* effect, GpuTexture* texture);
