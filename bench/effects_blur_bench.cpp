// Speed of the blur effects on one 1920x1080 layer, each printed as a ratio
// to a yardstick timed in the same benchmark:
//   vs_memcpy  the blur against a memcpy of the frame, with the plain
//              tap-by-tap kernels (kernel 0, one thread) and the live ones
//              (kernel 1) with the pool stopped (workers 0: one thread) and
//              with four workers;
//   vs_pixman  the box blur of radius 8 against pixman's separable
//              convolution with the same 17-tap box on both axes (below 1:
//              faster than pixman).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_frame.h"
#include "bench_timing.h"
#include "image/effect_blurs_internal.h"
#include "image/effect_kernels.h"

#if defined(ORVANE_HAVE_PIXMAN)
#include <pixman.h>
#endif

namespace {

constexpr int32_t kWidth = kFrameWidth;
constexpr int32_t kHeight = kFrameHeight;

EffectRegion WholeFrame() {
  return EffectRegion{TheBenchFrames().mSource.data(), kWidth, kHeight, 0, 0, kWidth - 1, kHeight - 1};
}

// The blur of an effect number (2-7) over the whole frame, with alpha.
void RunBlur(int effect, int64_t radius, bool live) {
  uint8_t* out = TheBenchFrames().mOutput.data();
  EffectRegion region = WholeFrame();
  switch (effect) {
    case 2:
      live ? ApplyWeightedBlurEffect(out, region, radius, 1)
           : blur_reference::ApplyWeightedBlurEffect(out, region, radius, 1);
      break;
    case 3:
      live ? ApplyBoxBlurHEffect(out, region, radius, 1) : blur_reference::ApplyBoxBlurHEffect(out, region, radius, 1);
      break;
    case 4:
      live ? ApplyBoxBlurVEffect(out, region, radius, 1) : blur_reference::ApplyBoxBlurVEffect(out, region, radius, 1);
      break;
    case 5:
      live ? ApplyBoxBlurEffect(out, region, radius, 1) : blur_reference::ApplyBoxBlurEffect(out, region, radius, 1);
      break;
    case 6:
      live ? ApplyShadowWeightedBlurEffect(out, region, radius)
           : blur_reference::ApplyShadowWeightedBlurEffect(out, region, radius);
      break;
    default:
      live ? ApplyShadowBoxBlurEffect(out, region, radius, 1)
           : blur_reference::ApplyShadowBoxBlurEffect(out, region, radius, 1);
      break;
  }
}

// Arguments: effect number, radius, kernel (0 plain, 1 live), workers.
void BM_BlurVsMemcpy(benchmark::State& state) {
  SetUpPixelBench();
  auto effect = static_cast<int>(state.range(0));
  int64_t radius = state.range(1);
  bool live = state.range(2) != 0;
  PoolScope pool(static_cast<int>(state.range(3)));
  CompareRuns(
      state, "vs_memcpy", [&] { RunBlur(effect, radius, live); }, MemcpyBenchFrame);
}
void BlurArguments(benchmark::internal::Benchmark* bench) {
  const int64_t cases[][2] = {{2, 4}, {2, 32}, {6, 8}, {5, 8}, {5, 256}, {3, 8}, {4, 8}, {7, 8}};
  for (const auto& c : cases) {
    bench->Args({c[0], c[1], 0, 0});
    for (int workers : {0, 4}) bench->Args({c[0], c[1], 1, workers});
  }
  bench->ArgNames({"effect", "radius", "live", "workers"});
}
BENCHMARK(BM_BlurVsMemcpy)->Apply(BlurArguments)->UseManualTime()->Unit(benchmark::kMillisecond);

#if defined(ORVANE_HAVE_PIXMAN)
// The live box blur of radius 8 (one thread or four workers) against pixman
// convolving the frame with a 17 x 17 box given as two 17-tap rows of
// weights 1/17 (no phases), at the identity transform.
void BM_BoxBlurVsPixman(benchmark::State& state) {
  SetUpPixelBench();
  constexpr int kTaps = 17;
  PoolScope pool(static_cast<int>(state.range(0)));
  BenchFrames& f = TheBenchFrames();
  std::vector<uint32_t> pixmanOut(static_cast<size_t>(kWidth) * kHeight);
  pixman_image_t* source = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight,
                                                    reinterpret_cast<uint32_t*>(f.mSource.data()), kWidth * 4);
  pixman_image_t* dest = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, pixmanOut.data(), kWidth * 4);
  std::vector<pixman_fixed_t> params = {pixman_int_to_fixed(kTaps), pixman_int_to_fixed(kTaps), 0, 0};
  for (int k = 0; k < 2 * kTaps; ++k) params.push_back(pixman_double_to_fixed(1.0 / kTaps));
  pixman_image_set_filter(source, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params.data(), static_cast<int>(params.size()));
  CompareRuns(
      state, "vs_pixman", [] { RunBlur(5, 8, true); },
      [&] { pixman_image_composite32(PIXMAN_OP_SRC, source, nullptr, dest, 0, 0, 0, 0, 0, 0, kWidth, kHeight); });
  pixman_image_unref(source);
  pixman_image_unref(dest);
}
BENCHMARK(BM_BoxBlurVsPixman)->ArgName("workers")->Arg(0)->Arg(4)->UseManualTime()->Unit(benchmark::kMillisecond);
#endif

}  // namespace
