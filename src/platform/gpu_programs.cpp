// The programs of the GPU device: the vertex shader every quad goes
// through and the fragment program that stands in for the texture stages.
#include <algorithm>
#include <string>

#include "platform/gl_functions.h"
#include "platform/gpu_device.h"
#include "platform/gpu_device_internal.h"

namespace {

// Positions arrive in render-target pixels with pixel centres on integers;
// OpenGL puts them on the halves. Rows stay top first: memory row 0 of a
// texture or render target is window row 0 here, so nothing is flipped and
// a read-back returns the top row first.
constexpr const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec4 aDiffuse;
layout(location = 2) in vec2 aTexCoord;
uniform vec2 uTargetSize;
out vec2 vTexCoord;
out vec4 vDiffuse;
void main() {
  vec2 clip = (aPosition.xy + vec2(0.5)) / uTargetSize * 2.0 - vec2(1.0);
  gl_Position = vec4(clip, 0.0, 1.0);
  vTexCoord = aTexCoord;
  vDiffuse = aDiffuse;
}
)";

// The texture stages: every stage samples its texture at the first
// coordinate pair (the layer drawing gives its mask and second source the
// same tile grid). A stage whose colour op is disable ends the chain; an
// alpha op of disable passes the current alpha on. Op and argument numbers
// follow GpuStageOp and GpuStageArg.
constexpr const char* kFixedFragmentShader = R"(#version 330 core
in vec2 vTexCoord;
in vec4 vDiffuse;
out vec4 fragColor;
uniform sampler2D uTexture0;
uniform sampler2D uTexture1;
uniform sampler2D uTexture2;
uniform int uHasTexture[3];
uniform int uColorOp[3];
uniform int uColorArg1[3];
uniform int uColorArg2[3];
uniform int uAlphaOp[3];
uniform int uAlphaArg1[3];
uniform int uAlphaArg2[3];
uniform vec4 uFactor;
vec4 StageArg(int which, vec4 tex, vec4 current) {
  if (which == 0) return tex;
  if (which == 1) return vDiffuse;
  if (which == 2) return uFactor;
  return current;
}
vec4 StageOp(int op, vec4 a, vec4 b, float currentAlpha) {
  if (op == 1) return a;
  if (op == 2) return a * b;
  return a * currentAlpha + b * (1.0 - currentAlpha);
}
void main() {
  vec4 textures[3];
  textures[0] = uHasTexture[0] != 0 ? texture(uTexture0, vTexCoord) : vec4(0.0, 0.0, 0.0, 1.0);
  textures[1] = uHasTexture[1] != 0 ? texture(uTexture1, vTexCoord) : vec4(0.0, 0.0, 0.0, 1.0);
  textures[2] = uHasTexture[2] != 0 ? texture(uTexture2, vTexCoord) : vec4(0.0, 0.0, 0.0, 1.0);
  vec4 current = vDiffuse;
  for (int i = 0; i < 3; ++i) {
    if (uColorOp[i] == 0) break;
    vec4 tex = textures[i];
    vec3 rgb = StageOp(uColorOp[i], StageArg(uColorArg1[i], tex, current),
                       StageArg(uColorArg2[i], tex, current), current.a).rgb;
    float alpha = current.a;
    if (uAlphaOp[i] != 0) {
      alpha = StageOp(uAlphaOp[i], StageArg(uAlphaArg1[i], tex, current),
                      StageArg(uAlphaArg2[i], tex, current), current.a).a;
    }
    current = vec4(rgb, alpha);
  }
  fragColor = current;
}
)";

// Appends the compiler's or linker's log of a shader or program.
void AppendInfoLog(GLuint object, PFNGLGETSHADERIVPROC getValue, PFNGLGETSHADERINFOLOGPROC getLog,
                   std::string* log) {
  if (log == nullptr) return;
  GLint length = 0;
  getValue(object, GL_INFO_LOG_LENGTH, &length);
  std::string text(static_cast<size_t>(std::max(length, 1)), '\0');
  getLog(object, length, nullptr, text.data());
  *log += text.c_str();
}

GLuint CompileShader(const GlFunctions& gl, GLenum kind, const char* source, std::string* log) {
  GLuint shader = gl.CreateShader(kind);
  gl.ShaderSource(shader, 1, &source, nullptr);
  gl.CompileShader(shader);
  GLint ok = 0;
  gl.GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok) return shader;
  AppendInfoLog(shader, gl.GetShaderiv, gl.GetShaderInfoLog, log);
  gl.DeleteShader(shader);
  return 0;
}

// The stage arrays of the fixed-function program, in the order of
// GpuDevice::mStageUniforms.
constexpr const char* kStageUniformNames[7] = {"uHasTexture", "uColorOp",   "uColorArg1", "uColorArg2",
                                               "uAlphaOp",    "uAlphaArg1", "uAlphaArg2"};
constexpr const char* kSamplerNames[kGpuStages] = {"uTexture0", "uTexture1", "uTexture2"};
}  // namespace

bool BuildGpuPrograms(GpuDevice* device, std::string* log) {
  const GlFunctions& gl = device->gl;
  device->mVertexShader = CompileShader(gl, GL_VERTEX_SHADER, kVertexShader, log);
  if (device->mVertexShader == 0) return false;
  GLuint program = LinkGpuProgram(device, kFixedFragmentShader, log);
  device->mFixedProgram = program;
  if (program == 0) return false;
  for (int k = 0; k < 7; ++k) device->mStageUniforms[k] = gl.GetUniformLocation(program, kStageUniformNames[k]);
  device->mFactorUniform = gl.GetUniformLocation(program, "uFactor");
  // Stage i always samples texture unit i.
  gl.UseProgram(program);
  for (int i = 0; i < kGpuStages; ++i) gl.Uniform1i(gl.GetUniformLocation(program, kSamplerNames[i]), i);
  return true;
}

GLuint LinkGpuProgram(GpuDevice* device, const char* fragmentSource, std::string* log) {
  const GlFunctions& gl = device->gl;
  GLuint fragment = CompileShader(gl, GL_FRAGMENT_SHADER, fragmentSource, log);
  if (fragment == 0) return 0;
  GLuint program = gl.CreateProgram();
  gl.AttachShader(program, device->mVertexShader);
  gl.AttachShader(program, fragment);
  gl.BindFragDataLocation(program, 0, "fragColor");
  gl.LinkProgram(program);
  gl.DeleteShader(fragment);
  GLint ok = 0;
  gl.GetProgramiv(program, GL_LINK_STATUS, &ok);
  if (ok) return program;
  AppendInfoLog(program, gl.GetProgramiv, gl.GetProgramInfoLog, log);
  gl.DeleteProgram(program);
  return 0;
}

void SetGpuStageUniforms(GpuDevice* device) {
  const GlFunctions& gl = device->gl;
  GLint values[7][kGpuStages];
  for (int i = 0; i < kGpuStages; ++i) {
    const GpuStage& stage = device->mStages[i];
    values[0][i] = device->mTextures[i] != nullptr ? 1 : 0;
    values[1][i] = static_cast<GLint>(stage.colorOp);
    values[2][i] = static_cast<GLint>(stage.colorArg1);
    values[3][i] = static_cast<GLint>(stage.colorArg2);
    values[4][i] = static_cast<GLint>(stage.alphaOp);
    values[5][i] = static_cast<GLint>(stage.alphaArg1);
    values[6][i] = static_cast<GLint>(stage.alphaArg2);
  }
  for (int k = 0; k < 7; ++k) gl.Uniform1iv(device->mStageUniforms[k], kGpuStages, values[k]);
  float factor[4];
  GpuColourOf(device->mTextureFactor, factor);
  gl.Uniform4f(device->mFactorUniform, factor[0], factor[1], factor[2], factor[3]);
  for (int i = 0; i < kGpuStages; ++i) {
    gl.ActiveTexture(GL_TEXTURE0 + i);
    gl.BindTexture(GL_TEXTURE_2D, device->mTextures[i] != nullptr ? device->mTextures[i]->mName : 0);
    gl.BindSampler(i, device->mSamplers[i]);
  }
}
