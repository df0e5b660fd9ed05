// Speed of the pixel machinery, each figure printed as a ratio to a yardstick
// timed in the same benchmark, iteration by iteration, so that a busy machine
// slows both alike:
//   vs_pixman  the normal alpha blend against pixman's OVER on the same frame
//              (random pixels, and picture-like ones: runs of clear, opaque and
//              ramped alpha);
//   vs_normal  every mode (with and without alpha, opacity 256 and 128)
//              against the normal alpha blend at opacity 256;
//   vs_memcpy  the same blend against a memcpy of the frame;
//   speedup    one thread doing the whole frame against the pool's workers
//              (above 1: the pool is faster), and the poster alone against a
//              64x64 blit through a pool of four.
// All frames are 1920x1080; "one worker" is the calling thread doing the whole
// blend. The label names the processor level the primitives and kernels ran
// at, and the width of the vector loops.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench_timing.h"
#include "core/platform_facts.h"
#include "core/settings.h"
#include "image/blend_kernels.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "image/pixel_primitives_internal.h"
#include "image/pixel_workers.h"
#include "layer/layer_record.h"

#if defined(ORVANE_HAVE_PIXMAN)
#include <pixman.h>
#endif

namespace {

constexpr int kFrameWidth = 1920;
constexpr int kFrameHeight = 1080;
constexpr int kRowPixels = 1920;
constexpr size_t kFrameBytes = static_cast<size_t>(kFrameWidth) * kFrameHeight * 4;

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

std::string LevelLabel() {
  std::string label = "level " + std::to_string(g_PixelLevel);
  if (g_CpuFeatures[kCpuSse2] == 0) {
    label += ", plain kernels";
  } else {
    label += HaveWidestVectors() ? ", AVX-512 loops" : HaveWideVectors() ? ", AVX2 loops" : ", SSE2 loops";
  }
  return label;
}

enum class Content { kRandom, kPicture };

// A frame-sized layer. Random: every byte random. Picture-like: each row is
// runs of 8 to 200 pixels, 40 % clear, 40 % opaque, 20 % alpha ramps.
struct FrameLayer {
  LayerRecord mRecord;
  FrameLayer(uint32_t seed, Content content) {
    uint8_t* block = AllocPixelBuffer(nullptr, kFrameWidth, kFrameHeight, nullptr);
    std::mt19937 random(seed);
    for (size_t i = 0; i < kFrameBytes; ++i) block[i] = static_cast<uint8_t>(random());
    if (content == Content::kPicture) {
      for (int y = 0; y < kFrameHeight; ++y) {
        uint8_t* row = block + static_cast<size_t>(y) * kFrameWidth * 4;
        for (int x = 0; x < kFrameWidth;) {
          int run = std::min<int>(8 + static_cast<int>(random() % 193), kFrameWidth - x);
          unsigned kind = random() % 10;
          for (int k = 0; k < run; ++k) {
            uint8_t alpha = kind < 4 ? 0 : kind < 8 ? 255 : static_cast<uint8_t>(k * 255 / std::max(1, run - 1));
            row[(x + k) * 4 + 3] = alpha;
          }
          x += run;
        }
      }
    }
    SetPixelBuffer(&mRecord, block, kFrameWidth, kFrameHeight);
  }
  ~FrameLayer() { ReleaseLayerImage(&mRecord); }
};

FrameLayer& Source(Content content) {
  static FrameLayer random(1, Content::kRandom);
  static FrameLayer picture(3, Content::kPicture);
  return content == Content::kRandom ? random : picture;
}
FrameLayer& Destination() {
  static FrameLayer layer(2, Content::kRandom);
  return layer;
}
FrameLayer& SecondDestination() {
  static FrameLayer layer(4, Content::kRandom);
  return layer;
}

// Compare, with the frame's pixel rate and the kernel level.
template <typename Engine, typename Yardstick>
void CompareFrame(benchmark::State& state, const char* name, Engine engine, Yardstick yardstick,
                  bool speedup = false) {
  Compare(state, name, engine, yardstick, speedup);
  state.counters["Mpx"] = benchmark::Counter(static_cast<double>(kFrameWidth) * kFrameHeight / 1e6,
                                             benchmark::Counter::kIsIterationInvariantRate);
  state.SetLabel(LevelLabel());
}

void BlendFrame(LayerRecord* dst, LayerRecord* src, uint8_t mode, int16_t opacity, bool alpha) {
  src->mBlendMode = mode;
  src->mOpacity = opacity;
  RunBlendJobs(alpha ? JOB_BLEND_ROWS_ALPHA : JOB_BLEND_ROWS, dst, src, nullptr, 0, 0, 0, 0, kFrameWidth,
               kFrameHeight);
}

#if defined(ORVANE_HAVE_PIXMAN)
// Argument: 0 random pixels, 1 picture-like.
void BM_NormalAlphaVsPixman(benchmark::State& state) {
  SetUpTables();
  PoolScope pool(0);
  Content content = state.range(0) == 0 ? Content::kRandom : Content::kPicture;
  LayerRecord* src = &Source(content).mRecord;
  LayerRecord* dst = &Destination().mRecord;
  auto* other = reinterpret_cast<uint32_t*>(SecondDestination().mRecord.mPixels);
  pixman_image_t* source = pixman_image_create_bits(PIXMAN_a8r8g8b8, kFrameWidth, kFrameHeight,
                                                    reinterpret_cast<uint32_t*>(src->mPixels), kFrameWidth * 4);
  pixman_image_t* dest = pixman_image_create_bits(PIXMAN_a8r8g8b8, kFrameWidth, kFrameHeight, other, kFrameWidth * 4);
  CompareFrame(
      state, "vs_pixman", [&] { BlendFrame(dst, src, BLEND_NORMAL, 256, true); },
      [&] {
        pixman_image_composite32(PIXMAN_OP_OVER, source, nullptr, dest, 0, 0, 0, 0, 0, 0, kFrameWidth, kFrameHeight);
      });
  pixman_image_unref(source);
  pixman_image_unref(dest);
}
BENCHMARK(BM_NormalAlphaVsPixman)->Arg(0)->Arg(1)->ArgName("picture")->UseManualTime()->Unit(benchmark::kMillisecond);
#endif

// Arguments: mode, with alpha (0/1), opacity; one worker.
void BM_ModeVsNormalAlpha(benchmark::State& state) {
  SetUpTables();
  PoolScope pool(0);
  auto mode = static_cast<uint8_t>(state.range(0));
  bool alpha = state.range(1) != 0;
  auto opacity = static_cast<int16_t>(state.range(2));
  LayerRecord* src = &Source(Content::kRandom).mRecord;
  LayerRecord* dst = &Destination().mRecord;
  CompareFrame(
      state, "vs_normal", [&] { BlendFrame(dst, src, mode, opacity, alpha); },
      [&] { BlendFrame(dst, src, BLEND_NORMAL, 256, true); });
}
void ModeArguments(benchmark::internal::Benchmark* bench) {
  for (int mode = 0; mode < kBlendModeCount; ++mode) {
    for (int alpha : {1, 0}) {
      for (int opacity : {256, 128}) bench->Args({mode, alpha, opacity});
    }
  }
  bench->ArgNames({"mode", "alpha", "opacity"});
}
BENCHMARK(BM_ModeVsNormalAlpha)->Apply(ModeArguments)->UseManualTime()->Unit(benchmark::kMillisecond);

// The normal alpha blend and two table modes against a memcpy of the frame.
void BM_BlendVsMemcpy(benchmark::State& state) {
  SetUpTables();
  PoolScope pool(0);
  auto mode = static_cast<uint8_t>(state.range(0));
  LayerRecord* src = &Source(Content::kRandom).mRecord;
  LayerRecord* dst = &Destination().mRecord;
  uint8_t* copy = SecondDestination().mRecord.mPixels;
  CompareFrame(
      state, "vs_memcpy", [&] { BlendFrame(dst, src, mode, 256, true); },
      [&] { std::memcpy(copy, src->mPixels, kFrameBytes); });
}
BENCHMARK(BM_BlendVsMemcpy)
    ->Arg(BLEND_NORMAL)
    ->Arg(BLEND_OVERLAY)
    ->Arg(BLEND_SOFT_LIGHT)
    ->ArgName("mode")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Arguments: workers, mode, awake. The full frame through the pool against
// the same blend done by the calling thread alone. awake 0: the two in turn,
// so the workers have gone to sleep before each blend and are woken by it;
// awake 1: the pool's blends back to back, as a frame's layers follow one
// another, and the calling thread's in a run of their own.
void BM_WorkersVsOne(benchmark::State& state) {
  SetUpTables();
  PoolScope pool(static_cast<int>(state.range(0)));
  auto mode = static_cast<uint8_t>(state.range(1));
  LayerRecord* src = &Source(Content::kRandom).mRecord;
  LayerRecord* dst = &Destination().mRecord;
  int entry = mode * 2 + 1;
  auto engine = [&] { BlendFrame(dst, src, mode, 256, true); };
  auto yardstick = [&] {
    for (int y = 0; y < kFrameHeight; ++y) {
      size_t offset = static_cast<size_t>(y) * kFrameWidth * 4;
      g_BlendKernels.mAlpha[entry](dst->mPixels + offset, src->mPixels + offset, 256, kFrameWidth * 4);
    }
  };
  if (state.range(2) != 0) {
    CompareRuns(state, "speedup", engine, yardstick, true);
    state.SetLabel(LevelLabel());
  } else {
    CompareFrame(state, "speedup", engine, yardstick, true);
  }
}
void WorkerArguments(benchmark::internal::Benchmark* bench) {
  for (int awake : {0, 1}) {
    bench->Args({2, BLEND_NORMAL, awake});
    for (int mode : {BLEND_NORMAL, BLEND_OVERLAY, BLEND_SOFT_LIGHT}) bench->Args({4, mode, awake});
  }
  bench->ArgNames({"workers", "mode", "awake"});
}
BENCHMARK(BM_WorkersVsOne)->Apply(WorkerArguments)->UseManualTime()->Unit(benchmark::kMillisecond);

// A 64x64 blit through a pool of four against the same blit on the poster.
void BM_SmallBlitThroughPool(benchmark::State& state) {
  SetUpTables();
  PoolScope pool(4);
  LayerRecord* src = &Source(Content::kRandom).mRecord;
  LayerRecord* dst = &Destination().mRecord;
  src->mBlendMode = BLEND_NORMAL;
  src->mOpacity = 256;
  CompareFrame(
      state, "speedup",
      [&] {
        for (int k = 0; k < 64; ++k) RunBlendJobs(JOB_BLEND_ROWS_ALPHA, dst, src, nullptr, k, k, k, k, 64, 64);
      },
      [&] {
        for (int k = 0; k < 64; ++k) {
          for (int y = 0; y < 64; ++y) {
            size_t offset = (static_cast<size_t>(y + k) * kFrameWidth + k) * 4;
            g_BlendKernels.mAlpha[1](dst->mPixels + offset, src->mPixels + offset, 256, 64 * 4);
          }
        }
      },
      true);
}
BENCHMARK(BM_SmallBlitThroughPool)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Argument: slot number. One 1920-pixel row, in cache, against memcpy of it.
void BM_PrimitiveRow(benchmark::State& state) {
  SetUpTables();
  int slot = static_cast<int>(state.range(0));
  const PixelPrimitiveTable& t = g_PixelPrimitives;
  std::vector<uint8_t> a(kRowPixels * 4 * 2 + 64);
  std::vector<uint8_t> b(kRowPixels * 4 * 2 + 64);
  std::vector<uint8_t> d(kRowPixels * 4 + 64);
  std::vector<uint8_t> copy(kRowPixels * 4);
  std::mt19937 random(3);
  for (auto* v : {&a, &b, &d}) {
    for (uint8_t& x : *v) x = static_cast<uint8_t>(random());
  }
  for (int i = 0; i < 256; ++i) g_RuleWeightTable[i] = i + 1;
  size_t n = kRowPixels * 4;
  auto run = [&] {
    for (int repeat = 0; repeat < 16; ++repeat) {
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
    }
  };
  CompareFrame(state, "vs_memcpy", run, [&] {
    for (int repeat = 0; repeat < 16; ++repeat) std::memcpy(copy.data(), a.data(), n);
  });
  state.counters["Mpx"] = benchmark::Counter(16.0 * kRowPixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PrimitiveRow)->DenseRange(0, kPixelPrimitiveSlots - 1)->ArgName("slot")->UseManualTime();

}  // namespace
