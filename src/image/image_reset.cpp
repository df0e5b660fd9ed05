#include "image/image_reset.h"

#include <algorithm>
#include <iterator>

#include "image/effect_kernels.h"
#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"
#include "image/resample.h"
#include "image/runtime_random.h"
#include "image/webp_codec.h"

void ResetImageState() {
  StopPixelWorkers();
  std::fill(std::begin(g_WorkerJobs), std::end(g_WorkerJobs), WorkerJob());
  std::fill(std::begin(g_CpuFeatures), std::end(g_CpuFeatures), uint8_t{0});
  g_PixelLevel = 1;
  g_PixelPrimitives = GetPixelPrimitives(1);
  std::fill(std::begin(g_RuleWeightTable), std::end(g_RuleWeightTable), 0);
  SeedRuntimeRandom(1);
  ReleaseWebpCodec();
  ResetEffectKernelState();
  ResetResampleState();
}
