// Throughput of the pixel machinery in megapixels per second (the "Mpx"
// counter, shown as a rate):
// every blend mode over a 1920x1080 frame (source without and with alpha, at
// full and half opacity, on one worker and on all), the row primitives at
// 1920 pixels, and beside them a memcpy of the same bytes (the memory limit
// of the machine) and pixman's OVER operator on the same frame.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "core/platform_facts.h"
#include "core/settings.h"
#include "image/blend_kernels.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"
#include "layer/layer_record.h"

#if defined(ORVANE_HAVE_PIXMAN)
#include <pixman.h>
#endif

namespace {

constexpr int kFrameWidth = 1920;
constexpr int kFrameHeight = 1080;
constexpr int kRowPixels = 1920;

void SetUpTables() {
  static bool ready = false;
  if (ready) return;
  // The settings' start values allow both vector levels, as the engine runs.
  ResetEngineSettings();
  InitPixelPrimitives();
  InitProductTables();
  InitBlendKernels();
  ready = true;
}

void SetThroughput(benchmark::State& state, double pixelsPerIteration) {
  state.counters["Mpx"] =
      benchmark::Counter(pixelsPerIteration / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

// A frame-sized layer with random colours and alphas spread over 0..255.
struct FrameLayer {
  LayerRecord mRecord;
  explicit FrameLayer(uint32_t seed) {
    uint8_t* block = AllocPixelBuffer(nullptr, kFrameWidth, kFrameHeight, nullptr);
    std::mt19937 random(seed);
    for (size_t i = 0; i < static_cast<size_t>(kFrameWidth) * kFrameHeight * 4; ++i) {
      block[i] = static_cast<uint8_t>(random());
    }
    SetPixelBuffer(&mRecord, block, kFrameWidth, kFrameHeight);
  }
  ~FrameLayer() { ReleaseLayerImage(&mRecord); }
};

FrameLayer& Source() {
  static FrameLayer layer(1);
  return layer;
}
FrameLayer& Destination() {
  static FrameLayer layer(2);
  return layer;
}

class PoolScope {
 public:
  explicit PoolScope(int workers) {
    StopPixelWorkers();
    g_WorkerCount = static_cast<uint8_t>(workers);
    StartPixelWorkers();
  }
  ~PoolScope() { StopPixelWorkers(); }
};

// Arguments: mode, with alpha (0/1), opacity, workers.
void BM_BlendFrame(benchmark::State& state) {
  SetUpTables();
  auto mode = static_cast<uint8_t>(state.range(0));
  bool alpha = state.range(1) != 0;
  auto opacity = static_cast<int16_t>(state.range(2));
  PoolScope pool(static_cast<int>(state.range(3)));
  LayerRecord* src = &Source().mRecord;
  LayerRecord* dst = &Destination().mRecord;
  src->mBlendMode = mode;
  src->mOpacity = opacity;
  int32_t code = alpha ? JOB_BLEND_ROWS_ALPHA : JOB_BLEND_ROWS;
  for (auto _ : state) {
    RunBlendJobs(code, dst, src, nullptr, 0, 0, 0, 0, kFrameWidth, kFrameHeight);
    benchmark::ClobberMemory();
  }
  SetThroughput(state, static_cast<double>(kFrameWidth) * kFrameHeight);
}

void BlendArguments(benchmark::internal::Benchmark* bench) {
  int all = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
  for (int mode = 0; mode < kBlendModeCount; ++mode) {
    for (int alpha : {0, 1}) {
      for (int opacity : {256, 128}) {
        for (int workers : {1, all}) bench->Args({mode, alpha, opacity, workers});
      }
    }
  }
  bench->ArgNames({"mode", "alpha", "opacity", "workers"});
}
BENCHMARK(BM_BlendFrame)->Apply(BlendArguments)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MemcpyFrame(benchmark::State& state) {
  size_t bytes = static_cast<size_t>(kFrameWidth) * kFrameHeight * 4;
  const uint8_t* src = Source().mRecord.mPixels;
  uint8_t* dst = Destination().mRecord.mPixels;
  for (auto _ : state) {
    std::memcpy(dst, src, bytes);
    benchmark::ClobberMemory();
  }
  SetThroughput(state, static_cast<double>(kFrameWidth) * kFrameHeight);
}
BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

#if defined(ORVANE_HAVE_PIXMAN)
void BM_PixmanOverFrame(benchmark::State& state) {
  auto* src = reinterpret_cast<uint32_t*>(Source().mRecord.mPixels);
  auto* dst = reinterpret_cast<uint32_t*>(Destination().mRecord.mPixels);
  pixman_image_t* source = pixman_image_create_bits(PIXMAN_a8r8g8b8, kFrameWidth, kFrameHeight, src, kFrameWidth * 4);
  pixman_image_t* dest = pixman_image_create_bits(PIXMAN_a8r8g8b8, kFrameWidth, kFrameHeight, dst, kFrameWidth * 4);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, source, nullptr, dest, 0, 0, 0, 0, 0, 0, kFrameWidth, kFrameHeight);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(source);
  pixman_image_unref(dest);
  SetThroughput(state, static_cast<double>(kFrameWidth) * kFrameHeight);
}
BENCHMARK(BM_PixmanOverFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

// Argument: slot number.
void BM_PrimitiveRow(benchmark::State& state) {
  SetUpTables();
  int slot = static_cast<int>(state.range(0));
  const PixelPrimitiveTable& t = g_PixelPrimitives;
  std::vector<uint8_t> a(kRowPixels * 4 * 2 + 64);
  std::vector<uint8_t> b(kRowPixels * 4 * 2 + 64);
  std::vector<uint8_t> d(kRowPixels * 4 + 64);
  std::mt19937 random(3);
  for (auto* v : {&a, &b, &d}) {
    for (uint8_t& x : *v) x = static_cast<uint8_t>(random());
  }
  for (int i = 0; i < 256; ++i) g_RuleWeightTable[i] = i + 1;
  size_t n = kRowPixels * 4;
  for (auto _ : state) {
    switch (slot) {
      case 0: t.mZeroBytes(d.data(), n); break;
      case 1: t.mFillBytes(d.data(), n, 0x55); break;
      case 2: t.mFillDwords(d.data(), n, 0x80808080u); break;
      case 3: t.mCopyBytes(d.data(), a.data(), n); break;
      case 4: t.mBlendRowOpacity(d.data(), a.data(), 100, n); break;
      case 5: t.mBlendRowAlpha(d.data(), a.data(), n); break;
      case 6: t.mBlendRowAlphaOpacity(d.data(), a.data(), 100, n); break;
      case 7: t.mBlendRowRuleWeighted(d.data(), a.data(), b.data(), 128, 64, n); break;
      case 8: t.mCrossFadeRow(d.data(), a.data(), b.data(), 100, n); break;
      case 9: t.mAddRowSaturate(d.data(), a.data(), n); break;
      case 10: t.mAddRowOpacity(d.data(), a.data(), 100, n); break;
      case 11: t.mAddRowAlpha(d.data(), a.data(), n); break;
      case 12: t.mAddRowAlphaOpacity(d.data(), a.data(), 100, n); break;
      case 13: t.mSubtractRowSaturate(d.data(), a.data(), n); break;
      case 14: t.mMultiplyRow(d.data(), a.data(), n); break;
      case 15: t.mScreenRow(d.data(), a.data(), n); break;
      case 16: t.mScreenRowOpacity(d.data(), a.data(), 100, n); break;
      case 17: t.mLightenRow(d.data(), a.data(), n); break;
      case 18: t.mDarkenRow(d.data(), a.data(), n); break;
      case 19: t.mLinearBurnRow(d.data(), a.data(), n); break;
      case 20: t.mLinearLightRow(d.data(), a.data(), n); break;
      case 21: t.mDownscale2x2Row(d.data(), a.data(), kRowPixels, kRowPixels / 2); break;
      case 22: t.mAlphaOverRow(d.data(), a.data(), n); break;
      case 23: t.mAlphaOverRowSourceOpacity(d.data(), a.data(), 100, n); break;
      case 24: t.mAlphaOverRowDestOpacity(d.data(), a.data(), 100, n); break;
      default: t.mAlphaOverRowBothOpacity(d.data(), a.data(), 200, 100, n); break;
    }
    benchmark::ClobberMemory();
  }
  SetThroughput(state, kRowPixels);
}
BENCHMARK(BM_PrimitiveRow)->DenseRange(0, kPixelPrimitiveSlots - 1)->ArgName("slot");

void BM_MemcpyRow(benchmark::State& state) {
  std::vector<uint8_t> a(kRowPixels * 4);
  std::vector<uint8_t> d(kRowPixels * 4);
  for (auto _ : state) {
    std::memcpy(d.data(), a.data(), a.size());
    benchmark::ClobberMemory();
  }
  SetThroughput(state, kRowPixels);
}
BENCHMARK(BM_MemcpyRow);

}  // namespace
