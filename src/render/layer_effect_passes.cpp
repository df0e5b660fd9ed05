#include "render/layer_effect_passes.h"

const char kLayerEffectTechnique[] = "DE_RudaveDizi1";

namespace {

// What every pass starts with: the inputs of the device's vertex shader, the
// output and the layer tile.
#define LAYER_PASS_HEADER \
  "#version 330 core\n" \
  "in vec2 vTexCoord;\n" \
  "in vec4 vDiffuse;\n" \
  "out vec4 fragColor;\n" \
  "uniform sampler2D QV_Texture1;\n"

// Pass 0: the layer tile cross-faded towards the second source's tile by
// QV_FadeVal (fade / 256), weighted as the processor's cross-fade, every channel alpha
// included as the processor's cross-fade mixes them; the result is drawn
// with the opacity QV_AlphaVal.
const char kCrossFadePass[] = LAYER_PASS_HEADER R"(uniform sampler2D QV_Texture2;
uniform float QV_AlphaVal;
uniform float QV_FadeVal;
void main() {
  vec4 first = texture(QV_Texture1, vTexCoord);
  vec4 second = texture(QV_Texture2, vTexCoord);
  // The processor's cross-fade weighs the second source by (fade + 1) / 256
  // for fades 0..255.
  float weight = (min(floor(QV_FadeVal * 256.0 + 0.5), 255.0) + 1.0) / 256.0;
  vec4 mixed = mix(first, second, weight);
  fragColor = vec4(mixed.rgb, mixed.a * QV_AlphaVal);
}
)";

// Pass 1: the layer tile through a rule mask, weighted per mask level as
// the processor compositor weights it. The mask level is the blue byte of
// the mask tile. QV_FadeVal2 is the softness s (1..256) and QV_FadeVal the
// threshold t as t * (256 / s + 128) / 65536, from which t is taken back so
// the weight follows the compositor's integer steps:
//   s = 256: 256 for levels 256 - t and above, else 0;
//   otherwise e = (s >> 1) t - 128 s + t + ((level s) >> 1) and the weight
//   min(e, 255) + 1;
// then the opacity o (QV_AlphaVal x 256) scales it as (weight o) >> 8, and a
// weight of 1 or less leaves the target unchanged. The source alpha a weighs
// in as (a + 1) / 256.
const char kRuleMaskPass[] = LAYER_PASS_HEADER R"(uniform sampler2D QV_Texture2;
uniform float QV_AlphaVal;
uniform float QV_FadeVal;
uniform float QV_FadeVal2;
void main() {
  vec4 colour = texture(QV_Texture1, vTexCoord);
  float level = floor(texture(QV_Texture2, vTexCoord).b * 255.0 + 0.5);
  float s = floor(QV_FadeVal2 + 0.5);
  float t = floor(QV_FadeVal * 65536.0 / (256.0 / s + 128.0) + 0.5);
  float weight;
  if (s >= 256.0) {
    weight = level >= 256.0 - t ? 256.0 : 0.0;
  } else {
    float e = floor(s * 0.5) * t - s * 128.0 + t + floor(level * s * 0.5);
    weight = min(e, 255.0) + 1.0;
  }
  float opacity = floor(QV_AlphaVal * 256.0 + 0.5);
  weight = floor(weight * opacity / 256.0);
  if (weight <= 1.0) weight = 0.0;
  float sourceAlpha = (floor(colour.a * 255.0 + 0.5) + 1.0) / 256.0;
  fragColor = vec4(colour.rgb, weight / 256.0 * sourceAlpha);
}
)";

const char kPassThrough[] = LAYER_PASS_HEADER R"(void main() { fragColor = texture(QV_Texture1, vTexCoord); }
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

#undef LAYER_PASS_HEADER
