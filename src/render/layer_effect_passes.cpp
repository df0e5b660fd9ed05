#include "render/layer_effect_passes.h"

const char kLayerEffectTechnique[] = "DE_RudaveDizi1";

namespace {

// Pass 0: the layer tile cross-faded towards the second source's tile by
// QV_FadeVal, with the opacity QV_AlphaVal.
const char kCrossFadePass[] = R"(#version 330 core
in vec2 vTexCoord;
in vec4 vDiffuse;
out vec4 fragColor;
uniform sampler2D QV_Texture1;
uniform sampler2D QV_Texture2;
uniform float QV_AlphaVal;
uniform float QV_FadeVal;
void main() {
  vec4 first = texture(QV_Texture1, vTexCoord);
  vec4 second = texture(QV_Texture2, vTexCoord);
  vec4 mixed = mix(first, second, QV_FadeVal);
  fragColor = vec4(mixed.rgb, mixed.a * QV_AlphaVal);
}
)";

// Pass 1: the layer tile shown where the rule mask has passed the
// threshold, with a soft edge of QV_FadeVal2 levels.
const char kRuleMaskPass[] = R"(#version 330 core
in vec2 vTexCoord;
in vec4 vDiffuse;
out vec4 fragColor;
uniform sampler2D QV_Texture1;
uniform sampler2D QV_Texture2;
uniform float QV_AlphaVal;
uniform float QV_FadeVal;
uniform float QV_FadeVal2;
void main() {
  vec4 colour = texture(QV_Texture1, vTexCoord);
  float rule = texture(QV_Texture2, vTexCoord).b;
  float shown = clamp(QV_FadeVal * 2.0 - rule * (QV_FadeVal2 / 256.0 + 1.0), 0.0, 1.0);
  fragColor = vec4(colour.rgb, colour.a * QV_AlphaVal * shown);
}
)";

const char kPassThrough[] = R"(#version 330 core
in vec2 vTexCoord;
in vec4 vDiffuse;
out vec4 fragColor;
uniform sampler2D QV_Texture1;
void main() { fragColor = texture(QV_Texture1, vTexCoord); }
)";

const GpuEffectPass kPasses[] = {
    {"Pass0", kCrossFadePass},
    {"Pass1", kRuleMaskPass},
    {"Pass2", kPassThrough},
    {"Pass3", kPassThrough},
};
const GpuEffectTechnique kTechniques[] = {{kLayerEffectTechnique, kPasses, 4}};

}  // namespace

const GpuEffectSource g_LayerEffectSource = {kTechniques, 1};
