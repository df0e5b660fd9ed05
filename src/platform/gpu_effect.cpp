// Effects of the GPU device: named techniques whose passes are GLSL
// fragment shaders over the device's shared vertex shader. Parameters are
// set by uniform name and reach the pass that is begun on CommitGpuEffect
// (or when a pass begins), as with the effects the layer drawing was
// written for.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/gl_functions.h"
#include "platform/gpu_device.h"
#include "platform/gpu_device_internal.h"

namespace {
struct EffectPass {
  std::string name;
  GLuint program = 0;
};
struct EffectTechnique {
  std::string name;
  std::vector<EffectPass> passes;
};
}  // namespace

struct GpuEffect {
  GpuDevice* mDevice = nullptr;
  std::vector<EffectTechnique> mTechniques;
  // Every uniform the passes declare, with whether it is a sampler.
  std::map<std::string, bool> mUniforms;
  int mTechnique = 0;
  bool mBegun = false;
  int mPass = -1;
  std::map<std::string, float> mPendingFloats;
  std::map<std::string, GpuTexture*> mPendingTextures;
  std::map<std::string, float> mFloats;
  std::map<std::string, GpuTexture*> mTextures;
};

namespace {

// The uniform declarations of a GLSL source: "uniform <type> <name>".
void CollectUniforms(const char* source, std::map<std::string, bool>* uniforms) {
  std::string text(source);
  size_t at = 0;
  auto isName = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; };
  while ((at = text.find("uniform", at)) != std::string::npos) {
    bool wordStart = at == 0 || !isName(text[at - 1]);
    at += 7;
    if (!wordStart || at >= text.size() || isName(text[at])) continue;
    auto skipSpace = [&] {
      while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])) != 0) ++at;
    };
    auto word = [&] {
      size_t start = at;
      while (at < text.size() && isName(text[at])) ++at;
      return text.substr(start, at - start);
    };
    skipSpace();
    std::string type = word();
    skipSpace();
    std::string name = word();
    if (!type.empty() && !name.empty()) (*uniforms)[name] = type.rfind("sampler", 0) == 0;
  }
}

void DeletePrograms(GpuEffect* effect) {
  GpuDevice* device = effect->mDevice;
  if (device == nullptr) return;
  GpuCall call(device);
  for (EffectTechnique& technique : effect->mTechniques) {
    for (EffectPass& pass : technique.passes) {
      if (pass.program != 0) device->gl.DeleteProgram(pass.program);
      pass.program = 0;
    }
  }
}

GLuint ActiveProgram(const GpuEffect* effect) {
  if (effect->mPass < 0) return 0;
  const EffectTechnique& technique = effect->mTechniques[static_cast<size_t>(effect->mTechnique)];
  return technique.passes[static_cast<size_t>(effect->mPass)].program;
}

void Commit(GpuEffect* effect) {
  for (const auto& [name, value] : effect->mPendingFloats) effect->mFloats[name] = value;
  for (const auto& [name, texture] : effect->mPendingTextures) effect->mTextures[name] = texture;
  effect->mPendingFloats.clear();
  effect->mPendingTextures.clear();
}

}  // namespace

void DetachGpuEffect(GpuEffect* effect) {
  DeletePrograms(effect);
  if (effect->mDevice != nullptr && effect->mDevice->mActiveEffect == effect) effect->mDevice->mActiveEffect = nullptr;
  effect->mDevice = nullptr;
}

void ForgetGpuEffectTexture(GpuEffect* effect, GpuTexture* texture) {
  for (auto* table : {&effect->mPendingTextures, &effect->mTextures}) {
    for (auto& entry : *table) {
      if (entry.second == texture) entry.second = nullptr;
    }
  }
}

bool DrawGpuEffectQuad(GpuEffect* effect, const GpuScreenVertex vertices[4]) {
  GpuDevice* device = effect->mDevice;
  GLuint program = ActiveProgram(effect);
  if (device == nullptr || program == 0) return false;
  const GlFunctions& gl = device->gl;
  gl.UseProgram(program);
  for (const auto& [name, value] : effect->mFloats) {
    GLint location = gl.GetUniformLocation(program, name.c_str());
    if (location >= 0) gl.Uniform1f(location, value);
  }
  // Effect textures take the units after the fixed stages; the n-th of them
  // is filtered as sampler n of the device (clamped, as every sampler).
  int index = 0;
  for (const auto& [name, texture] : effect->mTextures) {
    GLint location = gl.GetUniformLocation(program, name.c_str());
    if (location < 0) continue;
    GLuint unit = static_cast<GLuint>(kGpuStages + index);
    gl.ActiveTexture(GL_TEXTURE0 + unit);
    gl.BindTexture(GL_TEXTURE_2D, texture != nullptr ? texture->mName : 0);
    gl.BindSampler(unit, device->mSamplers[std::min(index, kGpuStages - 1)]);
    gl.Uniform1i(location, static_cast<GLint>(unit));
    ++index;
  }
  return DrawGpuQuadWithProgram(device, program, vertices);
}

GpuEffect* CreateGpuEffect(GpuDevice* device, const GpuEffectSource& source, char** error) {
  if (error != nullptr) *error = nullptr;
  std::string log;
  auto fail = [&](GpuEffect* effect) -> GpuEffect* {
    if (effect != nullptr) {
      DeletePrograms(effect);
      delete effect;
    }
    if (error != nullptr) {
      *error = new char[log.size() + 1];
      std::memcpy(*error, log.c_str(), log.size() + 1);
    }
    return nullptr;
  };
  if (g_GpuDeviceFaults.failEffect) {
    log = "effect creation refused (test fault)";
    return fail(nullptr);
  }
  GpuCall call(device);
  if (!call.ok()) {
    log = "no device";
    return fail(nullptr);
  }
  auto* effect = new GpuEffect;
  effect->mDevice = device;
  for (int t = 0; t < source.techniqueCount; ++t) {
    const GpuEffectTechnique& technique = source.techniques[t];
    // Added first so that a failure below deletes the passes made so far.
    effect->mTechniques.push_back(EffectTechnique{});
    EffectTechnique& built = effect->mTechniques.back();
    built.name = technique.name != nullptr ? technique.name : "";
    for (int p = 0; p < technique.passCount; ++p) {
      const GpuEffectPass& pass = technique.passes[p];
      const char* passName = pass.name != nullptr ? pass.name : "";
      if (pass.fragmentSource == nullptr) {
        log = built.name + "/" + passName + ": no shader";
        return fail(effect);
      }
      std::string passLog;
      GLuint program = LinkGpuProgram(device, pass.fragmentSource, &passLog);
      if (program == 0) {
        log = built.name + "/" + passName + ": " + passLog;
        return fail(effect);
      }
      built.passes.push_back(EffectPass{passName, program});
      CollectUniforms(pass.fragmentSource, &effect->mUniforms);
    }
  }
  device->mLiveEffects.push_back(effect);
  return effect;
}

void ReleaseGpuEffect(GpuEffect* effect) {
  if (effect == nullptr) return;
  if (GpuDevice* device = effect->mDevice) {
    auto& live = device->mLiveEffects;
    live.erase(std::remove(live.begin(), live.end(), effect), live.end());
    DetachGpuEffect(effect);
  }
  delete effect;
}

int FindGpuTechnique(const GpuEffect* effect, const char* name) {
  if (effect == nullptr || name == nullptr) return -1;
  for (size_t i = 0; i < effect->mTechniques.size(); ++i) {
    if (effect->mTechniques[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

bool SetGpuTechnique(GpuEffect* effect, int technique) {
  if (effect == nullptr || technique < 0 || technique >= static_cast<int>(effect->mTechniques.size())) return false;
  if (effect->mPass >= 0) return false;
  effect->mTechnique = technique;
  return true;
}

bool BeginGpuEffect(GpuEffect* effect) {
  if (effect == nullptr || effect->mDevice == nullptr || effect->mTechniques.empty() || effect->mBegun) return false;
  effect->mBegun = true;
  return true;
}

bool BeginGpuEffectPass(GpuEffect* effect, int pass) {
  if (effect == nullptr || effect->mDevice == nullptr || !effect->mBegun || effect->mPass >= 0) return false;
  const EffectTechnique& technique = effect->mTechniques[static_cast<size_t>(effect->mTechnique)];
  if (pass < 0 || pass >= static_cast<int>(technique.passes.size())) return false;
  effect->mPass = pass;
  Commit(effect);
  effect->mDevice->mActiveEffect = effect;
  return true;
}

bool SetGpuEffectTexture(GpuEffect* effect, const char* name, GpuTexture* texture) {
  if (effect == nullptr || name == nullptr) return false;
  auto found = effect->mUniforms.find(name);
  if (found == effect->mUniforms.end() || !found->second) return false;
  effect->mPendingTextures[name] = texture;
  return true;
}

bool SetGpuEffectFloat(GpuEffect* effect, const char* name, float value) {
  if (effect == nullptr || name == nullptr) return false;
  auto found = effect->mUniforms.find(name);
  if (found == effect->mUniforms.end() || found->second) return false;
  effect->mPendingFloats[name] = value;
  return true;
}

bool CommitGpuEffect(GpuEffect* effect) {
  if (effect == nullptr || effect->mDevice == nullptr) return false;
  Commit(effect);
  return true;
}

bool EndGpuEffectPass(GpuEffect* effect) {
  if (effect == nullptr || effect->mPass < 0) return false;
  effect->mPass = -1;
  if (effect->mDevice != nullptr && effect->mDevice->mActiveEffect == effect) effect->mDevice->mActiveEffect = nullptr;
  return true;
}

bool EndGpuEffect(GpuEffect* effect) {
  if (effect == nullptr || !effect->mBegun) return false;
  if (effect->mPass >= 0) EndGpuEffectPass(effect);
  effect->mBegun = false;
  return true;
}
