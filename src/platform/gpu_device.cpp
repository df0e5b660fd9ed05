#include "platform/gpu_device.h"

#include <SDL.h>
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/gl_functions.h"
#include "platform/gpu_device_internal.h"

GpuDeviceFaults g_GpuDeviceFaults;
GpuDeviceCounts g_GpuDeviceCounts;

namespace {



// Mesa's drivers, with the LLVM they carry, allocate at load time and do not
// give it back when they are unloaded: loading them again for every device
// would lose that memory each time. The shared objects that the first
// context brought in stay loaded for the life of the process.
std::vector<std::string> LoadedObjects() {
  std::vector<std::string> names;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) -> int {
        if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0') {
          static_cast<std::vector<std::string>*>(data)->emplace_back(info->dlpi_name);
        }
        return 0;
      },
      &names);
  return names;
}

std::vector<std::string> g_objectsBeforeGl;
std::vector<std::string> g_objectsKept;
bool g_objectsBeforeGlTaken = false;

// Everything the GL library and its drivers loaded stays loaded for the rest
// of the run: unloading them leaves what they allocated without an owner.
// Called when the library is loaded and again when a context has loaded the
// driver.
void KeepDriversLoaded() {
  for (const std::string& name : LoadedObjects()) {
    if (std::find(g_objectsBeforeGl.begin(), g_objectsBeforeGl.end(), name) != g_objectsBeforeGl.end()) continue;
    if (std::find(g_objectsKept.begin(), g_objectsKept.end(), name) != g_objectsKept.end()) continue;
    // The handle is kept on purpose: the object is never unloaded.
    dlopen(name.c_str(), RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
    g_objectsKept.push_back(name);
  }
}

void Identity(float* m) {
  for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

// Every GL call needs its context on this thread; the device remembers which
// thread used it last.
GpuDevice* g_liveDevice = nullptr;

GLenum BlendFactor(GpuBlend blend) {
  switch (blend) {
    case GpuBlend::kZero: return GL_ZERO;
    case GpuBlend::kOne: return GL_ONE;
    case GpuBlend::kSrcColor: return GL_SRC_COLOR;
    case GpuBlend::kInvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case GpuBlend::kSrcAlpha: return GL_SRC_ALPHA;
    case GpuBlend::kInvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case GpuBlend::kDestColor: return GL_DST_COLOR;
    case GpuBlend::kInvDestColor: return GL_ONE_MINUS_DST_COLOR;
  }
  return GL_ONE;
}

GLenum BlendEquation(GpuBlendOp op) {
  switch (op) {
    case GpuBlendOp::kAdd: return GL_FUNC_ADD;
    case GpuBlendOp::kSubtract: return GL_FUNC_SUBTRACT;
    case GpuBlendOp::kRevSubtract: return GL_FUNC_REVERSE_SUBTRACT;
    case GpuBlendOp::kMin: return GL_MIN;
    case GpuBlendOp::kMax: return GL_MAX;
  }
  return GL_FUNC_ADD;
}

GLint MagFilter(GpuFilter filter) {
  return filter == GpuFilter::kLinear || filter == GpuFilter::kAnisotropic ? GL_LINEAR : GL_NEAREST;
}

GLint MinFilter(GpuFilter min, GpuFilter mip) {
  bool linear = min == GpuFilter::kLinear || min == GpuFilter::kAnisotropic;
  if (mip == GpuFilter::kNone) return linear ? GL_LINEAR : GL_NEAREST;
  bool linearMip = mip == GpuFilter::kLinear || mip == GpuFilter::kAnisotropic;
  if (linear) return linearMip ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_NEAREST;
  return linearMip ? GL_NEAREST_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST;
}

void ApplySampler(GpuDevice* device, int unit) {
  const GpuSamplerState& state = device->mSamplerStates[unit];
  GLuint sampler = device->mSamplers[unit];
  device->gl.SamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, MagFilter(state.mag));
  device->gl.SamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, MinFilter(state.min, state.mip));
}

void ApplyBlend(GpuDevice* device) {
  device->gl.BlendFunc(BlendFactor(device->mSourceBlend), BlendFactor(device->mDestinationBlend));
  device->gl.BlendEquation(BlendEquation(device->mBlendOp));
}

bool BindTarget(GpuDevice* device) {
  GpuTexture* target = device->mTarget;
  if (target == nullptr || target->mFramebuffer == 0) return false;
  device->gl.BindFramebuffer(GL_FRAMEBUFFER, target->mFramebuffer);
  device->gl.Viewport(0, 0, target->mWidth, target->mHeight);
  return true;
}

void DeleteTextureObjects(GpuTexture* texture) {
  GpuDevice* device = texture->mDevice;
  if (device == nullptr) return;
  GpuCall call(device);
  if (texture->mFramebuffer != 0) device->gl.DeleteFramebuffers(1, &texture->mFramebuffer);
  if (texture->mName != 0) device->gl.DeleteTextures(1, &texture->mName);
  texture->mFramebuffer = 0;
  texture->mName = 0;
  if (device->mTarget == texture) device->mTarget = nullptr;
  for (GpuTexture*& bound : device->mTextures) {
    if (bound == texture) bound = nullptr;
  }
  for (GpuEffect* effect : device->mLiveEffects) ForgetGpuEffectTexture(effect, texture);
  auto& live = device->mLiveTextures;
  live.erase(std::remove(live.begin(), live.end(), texture), live.end());
  texture->mDevice = nullptr;
}

// Makes a texture's storage (and its framebuffer for a render target).
GpuTexture* MakeTexture(GpuDevice* device, int width, int height, GpuFormat format, bool renderTarget) {
  const GlFunctions& gl = device->gl;
  auto* texture = new GpuTexture;
  texture->mDevice = device;
  texture->mWidth = width;
  texture->mHeight = height;
  texture->mFormat = format;
  texture->mRenderTarget = renderTarget;
  gl.GetError();
  gl.GenTextures(1, &texture->mName);
  gl.ActiveTexture(GL_TEXTURE0 + kGpuStages);
  gl.BindTexture(GL_TEXTURE_2D, texture->mName);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  if (format == GpuFormat::kArgb4444) {
    gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA4, width, height, 0, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV,
                  nullptr);
  } else {
    gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                  nullptr);
  }
  gl.BindTexture(GL_TEXTURE_2D, 0);
  bool ok = gl.GetError() == GL_NO_ERROR;
  if (ok && renderTarget) {
    gl.GenFramebuffers(1, &texture->mFramebuffer);
    gl.BindFramebuffer(GL_FRAMEBUFFER, texture->mFramebuffer);
    gl.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture->mName, 0);
    ok = gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (ok) {
      // A new render target starts transparent black, as a fresh surface.
      gl.Viewport(0, 0, width, height);
      gl.ClearColor(0, 0, 0, 0);
      gl.Clear(GL_COLOR_BUFFER_BIT);
    }
    gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
  }
  device->mLiveTextures.push_back(texture);
  if (!ok) {
    DeleteTextureObjects(texture);
    delete texture;
    return nullptr;
  }
  return texture;
}

// 8-bit channels to 4 bits, rounded to the nearest of the 16 levels; with
// dither the rounding error of each channel is spread over the neighbours
// (Floyd-Steinberg).
std::vector<uint16_t> ReduceTo4444(const uint32_t* pixels, size_t pitchBytes, int width, int height,
                                   bool dither) {
  std::vector<uint16_t> out(static_cast<size_t>(width) * height);
  std::vector<int> error(dither ? static_cast<size_t>(width + 2) * 2 * 4 : 0, 0);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(pixels) + pitchBytes * y);
    int* thisRow = dither ? &error[static_cast<size_t>(y % 2) * (width + 2) * 4] : nullptr;
    int* nextRow = dither ? &error[static_cast<size_t>((y + 1) % 2) * (width + 2) * 4] : nullptr;
    if (dither) std::fill(nextRow, nextRow + static_cast<size_t>(width + 2) * 4, 0);
    for (int x = 0; x < width; ++x) {
      uint32_t pixel = row[x];
      uint16_t packed = 0;
      for (int channel = 0; channel < 4; ++channel) {
        int value = static_cast<int>((pixel >> (channel * 8)) & 0xFF);
        if (dither) value = std::clamp(value + thisRow[(x + 1) * 4 + channel] / 16, 0, 255);
        int level = (value * 15 + 127) / 255;
        if (dither) {
          int err = value - level * 17;
          thisRow[(x + 2) * 4 + channel] += err * 7;
          nextRow[x * 4 + channel] += err * 3;
          nextRow[(x + 1) * 4 + channel] += err * 5;
          nextRow[(x + 2) * 4 + channel] += err * 1;
        }
        packed = static_cast<uint16_t>(packed | (level << (channel * 4)));
      }
      out[static_cast<size_t>(y) * width + x] = packed;
    }
  }
  return out;
}

void DestroyDeviceObjects(GpuDevice* device) {
  const GlFunctions& gl = device->gl;
  while (!device->mLiveEffects.empty()) {
    GpuEffect* effect = device->mLiveEffects.back();
    device->mLiveEffects.pop_back();
    DetachGpuEffect(effect);
  }
  while (!device->mLiveTextures.empty()) {
    GpuTexture* texture = device->mLiveTextures.back();
    bool owned = texture->mOwnedByDevice;
    if (!owned) --g_GpuDeviceCounts.texturesAlive;
    DeleteTextureObjects(texture);
    if (owned) delete texture;
  }
  device->mBackBuffer = nullptr;
  if (gl.DeleteProgram != nullptr && device->mFixedProgram != 0) gl.DeleteProgram(device->mFixedProgram);
  if (gl.DeleteShader != nullptr && device->mVertexShader != 0) gl.DeleteShader(device->mVertexShader);
  if (gl.DeleteSamplers != nullptr) gl.DeleteSamplers(kGpuStages, device->mSamplers);
  if (gl.DeleteBuffers != nullptr && device->mVertexBuffer != 0) gl.DeleteBuffers(1, &device->mVertexBuffer);
  if (gl.DeleteVertexArrays != nullptr && device->mVertexArray != 0) {
    gl.DeleteVertexArrays(1, &device->mVertexArray);
  }
}

}  // namespace

// ---- internal helpers shared with the effects ----

GpuCall::GpuCall(GpuDevice* device) : mDevice(device) {
  if (device == nullptr || device->mContext == nullptr) return;
  if (device->mCallDepth == 0 && SDL_GL_GetCurrentContext() != device->mContext) {
    if (SDL_GL_MakeCurrent(device->mWindow, device->mContext) != 0) return;
  }
  ++device->mCallDepth;
  mOk = true;
}

GpuCall::~GpuCall() {
  if (!mOk || --mDevice->mCallDepth != 0) return;
  SDL_GL_MakeCurrent(mDevice->mWindow, nullptr);
  // SDL keeps the current context of a thread in storage of that thread,
  // which it frees only for threads of its own: another thread gives it back
  // after each call.
  if (std::this_thread::get_id() != mDevice->mOwnerThread) SDL_TLSCleanup();
}


bool DrawGpuQuadWithProgram(GpuDevice* device, GLuint program, const GpuScreenVertex vertices[4]) {
  const GlFunctions& gl = device->gl;
  if (!BindTarget(device)) return false;
  gl.Uniform2f(gl.GetUniformLocation(program, "uTargetSize"), static_cast<float>(device->mTarget->mWidth),
               static_cast<float>(device->mTarget->mHeight));
  ApplyBlend(device);
  gl.BindVertexArray(device->mVertexArray);
  gl.BindBuffer(GL_ARRAY_BUFFER, device->mVertexBuffer);
  gl.BufferData(GL_ARRAY_BUFFER, sizeof(GpuScreenVertex) * 4, vertices, GL_STREAM_DRAW);
  gl.DrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  if (gl.GetError() != GL_NO_ERROR) return false;
  ++g_GpuDeviceCounts.quadsDrawn;
  return true;
}

// ---- system and device ----

GpuSystem* OpenGpuSystem() {
  if (g_GpuDeviceFaults.failOpenSystem) return nullptr;
  if (!g_objectsBeforeGlTaken) {
    g_objectsBeforeGlTaken = true;
    g_objectsBeforeGl = LoadedObjects();
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
  auto* system = new GpuSystem;
  if (SDL_GL_LoadLibrary(nullptr) != 0) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    delete system;
    return nullptr;
  }
  system->mLibraryLoaded = true;
  KeepDriversLoaded();
  return system;
}

void CloseGpuSystem(GpuSystem* system) {
  if (system == nullptr) return;
  if (system->mLibraryLoaded) SDL_GL_UnloadLibrary();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  delete system;
}

bool GetGpuDisplayMode(GpuSystem* system, int adapter, GpuDisplayMode* mode) {
  if (system == nullptr || mode == nullptr || g_GpuDeviceFaults.failDisplayMode) return false;
  SDL_DisplayMode current;
  if (SDL_GetCurrentDisplayMode(adapter, &current) != 0) return false;
  mode->width = current.w;
  mode->height = current.h;
  mode->refreshRate = current.refresh_rate;
  return true;
}

namespace {
// Shaders, vertex layout, samplers, the set-up states and the back buffer of
// a device whose context is current.
bool SetUpDevice(GpuDevice* device, int width, int height) {
  if (!LoadGlFunctions(&device->gl)) return false;
  const GlFunctions& gl = device->gl;
  GLint maxSide = 0;
  gl.GetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
  device->mMaxTextureSide = maxSide;
  std::string log;
  if (!BuildGpuPrograms(device, &log)) {
    SDL_Log("GPU device shaders: %s", log.c_str());
    return false;
  }
  gl.GenVertexArrays(1, &device->mVertexArray);
  gl.GenBuffers(1, &device->mVertexBuffer);
  gl.BindVertexArray(device->mVertexArray);
  gl.BindBuffer(GL_ARRAY_BUFFER, device->mVertexBuffer);
  gl.BufferData(GL_ARRAY_BUFFER, sizeof(GpuScreenVertex) * 4, nullptr, GL_STREAM_DRAW);
  const auto stride = static_cast<GLsizei>(sizeof(GpuScreenVertex));
  gl.EnableVertexAttribArray(0);
  gl.VertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(0));
  gl.EnableVertexAttribArray(1);
  gl.VertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                         reinterpret_cast<const void*>(offsetof(GpuScreenVertex, diffuse)));
  gl.EnableVertexAttribArray(2);
  gl.VertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offsetof(GpuScreenVertex, uv)));
  gl.GenSamplers(kGpuStages, device->mSamplers);
  for (int i = 0; i < kGpuStages; ++i) {
    gl.SamplerParameteri(device->mSamplers[i], GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl.SamplerParameteri(device->mSamplers[i], GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    ApplySampler(device, i);
  }
  // The set-up states: no culling or depth, alpha blending on, no dither.
  gl.Disable(GL_CULL_FACE);
  gl.Disable(GL_DEPTH_TEST);
  gl.Disable(GL_DITHER);
  gl.Enable(GL_BLEND);
  ApplyBlend(device);
  for (auto& matrix : device->mTransforms) Identity(matrix);
  device->mBackBuffer = MakeTexture(device, width, height, GpuFormat::kArgb8888, true);
  if (device->mBackBuffer == nullptr) return false;
  device->mBackBuffer->mOwnedByDevice = true;
  device->mTarget = device->mBackBuffer;
  return true;
}
}  // namespace

GpuDevice* CreateGpuDevice(GpuSystem* system, int adapter, int width, int height,
                           GpuVertexProcessing processing) {
  int index = static_cast<int>(processing);
  ++g_GpuDeviceCounts.createAttempts[index];
  if (system == nullptr || width <= 0 || height <= 0 || g_GpuDeviceFaults.failCreate[index]) return nullptr;
  if (g_liveDevice != nullptr) return nullptr;  // one device at a time
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  int position = static_cast<int>(SDL_WINDOWPOS_UNDEFINED_DISPLAY(adapter));
  auto* device = new GpuDevice;
  device->mSystem = system;
  device->mProcessing = processing;
  device->mOwnerThread = std::this_thread::get_id();
  device->mWindow = SDL_CreateWindow("", position, position, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (device->mWindow != nullptr) device->mContext = SDL_GL_CreateContext(device->mWindow);
  bool ok = device->mContext != nullptr;
  if (ok) {
    KeepDriversLoaded();
    GpuCall call(device);
    ok = call.ok() && SetUpDevice(device, width, height);
    if (!ok && device->gl.GetError != nullptr) DestroyDeviceObjects(device);
  }
  if (!ok) {
    if (device->mContext != nullptr) SDL_GL_DeleteContext(device->mContext);
    if (device->mWindow != nullptr) SDL_DestroyWindow(device->mWindow);
    delete device;
    return nullptr;
  }
  g_liveDevice = device;
  ++g_GpuDeviceCounts.devicesCreated;
  return device;
}

void ReleaseGpuDevice(GpuDevice* device) {
  if (device == nullptr) return;
  {
    GpuCall call(device);
    DestroyDeviceObjects(device);
  }
  SDL_GL_DeleteContext(device->mContext);
  SDL_DestroyWindow(device->mWindow);
  if (g_liveDevice == device) g_liveDevice = nullptr;
  delete device;
}

GpuVertexProcessing GpuDeviceProcessing(const GpuDevice* device) {
  return device != nullptr ? device->mProcessing : GpuVertexProcessing::kHardware;
}

namespace {
int DeviceMaxSide(const GpuDevice* device) {
  if (g_GpuDeviceFaults.maxTextureSide > 0) return g_GpuDeviceFaults.maxTextureSide;
  return device->mMaxTextureSide;
}
}  // namespace

bool QueryGpuCaps(GpuDevice* device, GpuCaps* caps) {
  if (device == nullptr || caps == nullptr) return false;
  caps->maxTextureWidth = DeviceMaxSide(device);
  caps->maxTextureHeight = DeviceMaxSide(device);
  caps->pixelShaderMajor = g_GpuDeviceFaults.pixelShaderMajor >= 0 ? g_GpuDeviceFaults.pixelShaderMajor : 3;
  caps->pixelShaderMinor = 0;
  // OpenGL core has no query for free texture memory.
  caps->textureMemoryBytes = 0;
  return true;
}

int TestGpuCooperativeLevel(GpuDevice* device) {
  if (device == nullptr) return kGpuDeviceLost;
  int level = g_GpuDeviceFaults.cooperativeLevel;
  g_GpuDeviceFaults.cooperativeLevel = kGpuDeviceOk;
  return level;
}

// ---- textures, render targets, read-back ----

GpuTexture* CreateGpuTexture(GpuDevice* device, int width, int height, GpuFormat format, bool renderTarget) {
  if (device == nullptr || width <= 0 || height <= 0) return nullptr;
  int maxSide = DeviceMaxSide(device);
  if (width > maxSide || height > maxSide) return nullptr;
  if (g_GpuDeviceFaults.failTextureAfter == 0) return nullptr;
  if (g_GpuDeviceFaults.failTextureAfter > 0) --g_GpuDeviceFaults.failTextureAfter;
  GpuCall call(device);
  if (!call.ok()) return nullptr;
  GpuTexture* texture = MakeTexture(device, width, height, format, renderTarget);
  if (texture != nullptr) ++g_GpuDeviceCounts.texturesAlive;
  return texture;
}

void ReleaseGpuTexture(GpuTexture* texture) {
  if (texture == nullptr || texture->mOwnedByDevice) return;
  // A texture whose device went first was already counted out then.
  if (texture->mDevice != nullptr) --g_GpuDeviceCounts.texturesAlive;
  DeleteTextureObjects(texture);
  delete texture;
}

int GpuTextureWidth(const GpuTexture* texture) { return texture != nullptr ? texture->mWidth : 0; }
int GpuTextureHeight(const GpuTexture* texture) { return texture != nullptr ? texture->mHeight : 0; }
GpuFormat GpuTextureFormat(const GpuTexture* texture) {
  return texture != nullptr ? texture->mFormat : GpuFormat::kArgb8888;
}

bool UploadGpuTexture(GpuTexture* texture, const uint32_t* pixels, size_t pitchBytes, bool dither) {
  if (texture == nullptr || pixels == nullptr || texture->mDevice == nullptr) return false;
  if (pitchBytes < static_cast<size_t>(texture->mWidth) * 4 || pitchBytes % 4 != 0) return false;
  GpuDevice* device = texture->mDevice;
  GpuCall call(device);
  if (!call.ok()) return false;
  const GlFunctions& gl = device->gl;
  gl.GetError();
  gl.ActiveTexture(GL_TEXTURE0 + kGpuStages);
  gl.BindTexture(GL_TEXTURE_2D, texture->mName);
  gl.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (texture->mFormat == GpuFormat::kArgb4444) {
    std::vector<uint16_t> reduced = ReduceTo4444(pixels, pitchBytes, texture->mWidth, texture->mHeight, dither);
    gl.PixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    gl.TexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, texture->mWidth, texture->mHeight, GL_BGRA,
                     GL_UNSIGNED_SHORT_4_4_4_4_REV, reduced.data());
  } else {
    gl.PixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(pitchBytes / 4));
    gl.TexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, texture->mWidth, texture->mHeight, GL_BGRA,
                     GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
    gl.PixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  }
  gl.BindTexture(GL_TEXTURE_2D, 0);
  return gl.GetError() == GL_NO_ERROR;
}

GpuTexture* GpuBackBuffer(GpuDevice* device) { return device != nullptr ? device->mBackBuffer : nullptr; }

bool SetGpuRenderTarget(GpuDevice* device, GpuTexture* target) {
  if (device == nullptr || target == nullptr || !target->mRenderTarget || target->mDevice != device) return false;
  device->mTarget = target;
  return true;
}

GpuTexture* GpuRenderTarget(GpuDevice* device) { return device != nullptr ? device->mTarget : nullptr; }

bool ClearGpuRenderTarget(GpuDevice* device, uint32_t argb) {
  GpuCall call(device);
  if (!call.ok() || !BindTarget(device)) return false;
  const GlFunctions& gl = device->gl;
  float colour[4];
  GpuColourOf(argb, colour);
  gl.ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  gl.ClearColor(colour[0], colour[1], colour[2], colour[3]);
  gl.Clear(GL_COLOR_BUFFER_BIT);
  return gl.GetError() == GL_NO_ERROR;
}

GpuReadBuffer* CreateGpuReadBuffer(GpuDevice* device, int width, int height) {
  if (device == nullptr || width <= 0 || height <= 0 || g_GpuDeviceFaults.failReadBuffer) return nullptr;
  auto* buffer = new GpuReadBuffer;
  buffer->mWidth = width;
  buffer->mHeight = height;
  buffer->mRows.assign(static_cast<size_t>(width) * height * 4, 0);
  return buffer;
}

void ReleaseGpuReadBuffer(GpuReadBuffer* buffer) { delete buffer; }

bool ReadGpuRenderTarget(GpuDevice* device, GpuTexture* target, GpuReadBuffer* buffer) {
  if (device == nullptr || target == nullptr || buffer == nullptr || target->mDevice != device) return false;
  if (!target->mRenderTarget || target->mWidth > buffer->mWidth || target->mHeight > buffer->mHeight) {
    return false;
  }
  GpuCall call(device);
  if (!call.ok()) return false;
  const GlFunctions& gl = device->gl;
  gl.GetError();
  gl.BindFramebuffer(GL_FRAMEBUFFER, target->mFramebuffer);
  gl.PixelStorei(GL_PACK_ALIGNMENT, 1);
  gl.PixelStorei(GL_PACK_ROW_LENGTH, buffer->mWidth);
  gl.ReadPixels(0, 0, target->mWidth, target->mHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, buffer->mRows.data());
  gl.PixelStorei(GL_PACK_ROW_LENGTH, 0);
  return gl.GetError() == GL_NO_ERROR;
}

const uint8_t* GpuReadBufferRows(const GpuReadBuffer* buffer, size_t* pitchBytes, int* width, int* height) {
  if (buffer == nullptr) return nullptr;
  if (pitchBytes != nullptr) *pitchBytes = static_cast<size_t>(buffer->mWidth) * 4;
  if (width != nullptr) *width = buffer->mWidth;
  if (height != nullptr) *height = buffer->mHeight;
  return buffer->mRows.data();
}

// ---- fixed-function drawing ----

bool SetGpuTexture(GpuDevice* device, int stage, GpuTexture* texture) {
  if (device == nullptr || stage < 0 || stage >= kGpuStages) return false;
  if (texture != nullptr && texture->mDevice != device) return false;
  device->mTextures[stage] = texture;
  return true;
}

bool SetGpuStage(GpuDevice* device, int stage, const GpuStage& state) {
  if (device == nullptr || stage < 0 || stage >= kGpuStages) return false;
  device->mStages[stage] = state;
  return true;
}

bool SetGpuTextureFactor(GpuDevice* device, uint32_t argb) {
  if (device == nullptr) return false;
  device->mTextureFactor = argb;
  return true;
}

bool SetGpuBlend(GpuDevice* device, GpuBlend source, GpuBlend destination, GpuBlendOp op) {
  if (device == nullptr) return false;
  device->mSourceBlend = source;
  device->mDestinationBlend = destination;
  device->mBlendOp = op;
  return true;
}

bool SetGpuSampler(GpuDevice* device, int sampler, GpuFilter mag, GpuFilter min, GpuFilter mip) {
  if (device == nullptr || sampler < 0 || sampler >= kGpuStages) return false;
  device->mSamplerStates[sampler] = GpuSamplerState{mag, min, mip};
  GpuCall call(device);
  if (!call.ok()) return false;
  ApplySampler(device, sampler);
  return true;
}

bool DrawGpuQuad(GpuDevice* device, const GpuScreenVertex vertices[4]) {
  if (device == nullptr || vertices == nullptr) return false;
  GpuCall call(device);
  if (!call.ok()) return false;
  if (device->mActiveEffect != nullptr) return DrawGpuEffectQuad(device->mActiveEffect, vertices);
  device->gl.UseProgram(device->mFixedProgram);
  SetGpuStageUniforms(device);
  return DrawGpuQuadWithProgram(device, device->mFixedProgram, vertices);
}

// ---- transforms ----

bool SetGpuTransform(GpuDevice* device, GpuTransform which, const float matrix[16]) {
  if (device == nullptr || matrix == nullptr) return false;
  std::memcpy(device->mTransforms[static_cast<int>(which)], matrix, sizeof(float) * 16);
  return true;
}

const float* GetGpuTransform(const GpuDevice* device, GpuTransform which) {
  return device != nullptr ? device->mTransforms[static_cast<int>(which)] : nullptr;
}
