// Speed of the effect kernels and the resize scalers on a 1920x1080 layer,
// each printed as a ratio to a yardstick timed in the same benchmark,
// iteration by iteration:
//   vs_memcpy  the kernel or scaler against a memcpy of the frame;
//   vs_pixman  the Lanczos-2 reduction to 1280x720 against pixman's
//              separable convolution (Lanczos-2 sampling) of the same frame
//              to the same size (below 2: within the goal).
// The effects other than the blurs, the smooth scaler and the presentation's
// nearest and bilinear scalers spread rows over the workers, so they are
// timed with the pool stopped (one thread) and with four.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "bench_frame.h"
#include "bench_timing.h"
#include "core/platform_facts.h"
#include "core/settings.h"
#include "image/effect_kernels.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"
#include "image/resample.h"
#include "layer/composition.h"
#include "render/scalers.h"

#if defined(ORVANE_HAVE_PIXMAN)
#include <pixman.h>
#endif

namespace {

// The kernel of an effect number over the whole frame into the output.
void RunEffect(int effect, int64_t p1) {
  BenchFrames& f = TheBenchFrames();
  EffectRegion region{f.mSource.data(), kFrameWidth, kFrameHeight, 0, 0, kFrameWidth - 1, kFrameHeight - 1};
  uint8_t* out = f.mOutput.data();
  uint8_t flag = 1;
  const int64_t whole[4] = {0, 0, kFrameWidth - 1, kFrameHeight - 1};
  switch (effect) {
    case 1: ApplyBrightnessEffect(out, region, p1); break;
    case 2: ApplyWeightedBlurEffect(out, region, p1, 1); break;
    case 3: ApplyBoxBlurHEffect(out, region, p1, 1); break;
    case 4: ApplyBoxBlurVEffect(out, region, p1, 1); break;
    case 5: ApplyBoxBlurEffect(out, region, p1, 1); break;
    case 6: ApplyShadowWeightedBlurEffect(out, region, p1); break;
    case 7: ApplyShadowBoxBlurEffect(out, region, p1, 1); break;
    case 9: CopyRectRows(out, region); break;
    case 10: ApplyScatterEffect(out, region, p1); break;
    case 11: ApplyMirrorEffect(out, region); break;
    case 12: ApplyToneRect(out, f.mSource.data(), whole, kFrameWidth, kFrameHeight, static_cast<int32_t>(p1)); break;
    case 19: ApplyThresholdEffect(out, region, p1); break;
    case 20: ApplyMosaicEffect(out, region, p1); break;
    case 23: ApplyWaveEffect(out, region, p1, 0, 3); break;
    case 24: ApplyFillEffect(out, region, p1, 3, &flag); break;
    case 27: ApplyAlphaRampEffect(out, region, kFrameWidth, 100, 1800, &flag); break;
    case 28: ApplyNegativeEffect(out, region); break;
    case 30: ApplySaturationRect(out, f.mSource.data(), whole, kFrameWidth, kFrameHeight, static_cast<int32_t>(p1)); break;
    case 38: ApplyVerticalFlipEffect(out, region); break;
    case 39: ApplySepiaEffect(out, region); break;
    case 40: ApplySwirlEffect(out, region, p1); break;
    default: break;
  }
}

// Arguments: effect number, P1.
void BM_EffectVsMemcpy(benchmark::State& state) {
  SetUpPixelBench();
  auto effect = static_cast<int>(state.range(0));
  int64_t p1 = state.range(1);
  Compare(state, "vs_memcpy", [&] { RunEffect(effect, p1); }, MemcpyBenchFrame);
}
BENCHMARK(BM_EffectVsMemcpy)
    ->Args({2, 4})
    ->Args({2, 32})
    ->Args({3, 8})
    ->Args({4, 8})
    ->Args({5, 8})
    ->Args({5, 256})
    ->Args({6, 8})
    ->Args({7, 8})
    ->Args({12, 0x4080C0})
    ->Args({30, 40})
    ->ArgNames({"effect", "p1"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Arguments: effect number, P1, workers (0: the pool stopped, one thread).
void BM_EffectOnWorkersVsMemcpy(benchmark::State& state) {
  SetUpPixelBench();
  auto effect = static_cast<int>(state.range(0));
  int64_t p1 = state.range(1);
  PoolScope pool(static_cast<int>(state.range(2)));
  Compare(state, "vs_memcpy", [&] { RunEffect(effect, p1); }, MemcpyBenchFrame);
}
void EffectOnWorkersArguments(benchmark::internal::Benchmark* bench) {
  const std::pair<int, int64_t> effects[] = {{10, 8},  {20, 16}, {23, 20}, {40, 900}, {1, 200},  {39, 0},
                                             {27, 0},  {28, 0},  {19, 128}, {24, 0x80FFFFFF}, {11, 0}, {38, 0},
                                             {9, 0}};
  for (auto [effect, p1] : effects) {
    for (int workers : {0, 4}) bench->Args({effect, p1, workers});
  }
  bench->ArgNames({"effect", "p1", "workers"});
}
BENCHMARK(BM_EffectOnWorkersVsMemcpy)
    ->Apply(EffectOnWorkersArguments)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Arguments: mode, target width and height, workers (0: the pool stopped).
void BM_ScalerVsMemcpy(benchmark::State& state) {
  SetUpPixelBench();
  auto mode = static_cast<int>(state.range(0));
  auto w = static_cast<int32_t>(state.range(1));
  auto h = static_cast<int32_t>(state.range(2));
  PoolScope pool(static_cast<int>(state.range(3)));
  BenchFrames& f = TheBenchFrames();
  std::vector<uint8_t> out(PixelBlockBytes(w, h));
  const uint8_t* src = f.mSource.data();
  auto run = [&] {
    switch (mode) {
      case 10: ScaleImageNearestParallel(out.data(), src, 0, 0, kFrameWidth - 1, kFrameHeight - 1, kFrameWidth, kFrameHeight, w, h); break;
      case 21:
        ScaleImageBilinearParallel(out.data(), src, 0, 0, (kFrameWidth - 1) * 100, (kFrameHeight - 1) * 100, kFrameWidth, kFrameHeight,
                                   w * 100, h * 100);
        break;
      case 31: ResampleBicubic(out.data(), src, 0, 0, kFrameWidth - 1, kFrameHeight - 1, kFrameWidth, kFrameHeight, w, h); break;
      case 41:
        ScaleImageSmoothThreaded(out.data(), src, 0, 0, (kFrameWidth - 1) * 100, (kFrameHeight - 1) * 100, kFrameWidth, kFrameHeight,
                                 int64_t{w} * 100, int64_t{h} * 100);
        break;
      default: ResampleLanczos(out.data(), src, kFrameWidth, kFrameHeight, w, h); break;
    }
  };
  Compare(state, "vs_memcpy", run, MemcpyBenchFrame);
}
void ScalerArguments(benchmark::internal::Benchmark* bench) {
  for (int mode : {10, 21, 31, 41, 51}) {
    for (auto [w, h] : {std::pair{1280, 720}, std::pair{2880, 1620}}) {
      bool threaded = mode == 10 || mode == 21 || mode == 41;
      for (int workers : {0, 4}) {
        if (workers == 4 && !threaded) continue;
        bench->Args({mode, w, h, workers});
      }
    }
  }
  bench->ArgNames({"mode", "w", "h", "workers"});
}
BENCHMARK(BM_ScalerVsMemcpy)->Apply(ScalerArguments)->UseManualTime()->Unit(benchmark::kMillisecond);

#if defined(ORVANE_HAVE_PIXMAN)
void BM_LanczosVsPixman(benchmark::State& state) {
  SetUpPixelBench();
  constexpr int32_t kOutWidth = 1280;
  constexpr int32_t kOutHeight = 720;
  BenchFrames& f = TheBenchFrames();
  std::vector<uint8_t> out(PixelBlockBytes(kOutWidth, kOutHeight));
  std::vector<uint32_t> pixmanOut(static_cast<size_t>(kOutWidth) * kOutHeight);
  pixman_image_t* source = pixman_image_create_bits(PIXMAN_a8r8g8b8, kFrameWidth, kFrameHeight,
                                                    reinterpret_cast<uint32_t*>(f.mSource.data()), kFrameWidth * 4);
  pixman_image_t* dest =
      pixman_image_create_bits(PIXMAN_a8r8g8b8, kOutWidth, kOutHeight, pixmanOut.data(), kOutWidth * 4);
  pixman_fixed_t scaleX = pixman_double_to_fixed(static_cast<double>(kFrameWidth) / kOutWidth);
  pixman_fixed_t scaleY = pixman_double_to_fixed(static_cast<double>(kFrameHeight) / kOutHeight);
  pixman_transform_t transform;
  pixman_transform_init_scale(&transform, scaleX, scaleY);
  pixman_image_set_transform(source, &transform);
  int count = 0;
  pixman_fixed_t* params = pixman_filter_create_separable_convolution(
      &count, scaleX, scaleY, PIXMAN_KERNEL_IMPULSE, PIXMAN_KERNEL_IMPULSE, PIXMAN_KERNEL_LANCZOS2,
      PIXMAN_KERNEL_LANCZOS2, 4, 4);
  pixman_image_set_filter(source, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, count);
  Compare(
      state, "vs_pixman", [&] { ResampleLanczos(out.data(), f.mSource.data(), kFrameWidth, kFrameHeight, kOutWidth, kOutHeight); },
      [&] {
        pixman_image_composite32(PIXMAN_OP_SRC, source, nullptr, dest, 0, 0, 0, 0, 0, 0, kOutWidth, kOutHeight);
      });
  std::free(params);
  pixman_image_unref(source);
  pixman_image_unref(dest);
}
BENCHMARK(BM_LanczosVsPixman)->UseManualTime()->Unit(benchmark::kMillisecond);
#endif

}  // namespace
