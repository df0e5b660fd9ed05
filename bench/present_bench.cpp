// Speed of presenting a composed 1920x1080 frame on the main window's
// surface: 1:1 into a 1920x1080 window, and scaled to 1280x720 in a 1280x720
// window with each processor scaler (the picture goes through the back
// buffer). Printed in milliseconds beside a yardstick timed in the same run:
//   vs_memcpy  a present against a memcpy of one 1920x1080 frame.
// Arguments: the path (0 1:1, 1 nearest, 2 bilinear, 3 bilinear on the
// workers) and the workers (1 or all; the scalers post their rows to them).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench_timing.h"
#include "core/platform_facts.h"
#include "core/settings.h"
#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"
#include "platform/window.h"
#include "render/present.h"
#include "shell/engine_reset.h"
#include "shell/startup.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kScaledWidth = 1280;
constexpr int kScaledHeight = 720;
constexpr size_t kFrameBytes = static_cast<size_t>(kWidth) * kHeight * 4;


void BM_PresentFrame(benchmark::State& state) {
  int path = static_cast<int>(state.range(0));
  int workers = static_cast<int>(state.range(1));
  // No display needed: the offscreen driver keeps the surface in memory.
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  ResetEngineState();
  InitPixelPrimitives();
  g_WorkerCount = static_cast<uint8_t>(workers);
  StartPixelWorkers();

  bool scaled = path != 0;
  int windowWidth = scaled ? kScaledWidth : kWidth;
  int windowHeight = scaled ? kScaledHeight : kHeight;
  PlatformWindowDesc desc;
  desc.mWidth = windowWidth;
  desc.mHeight = windowHeight;
  WindowObject window;
  window.mIndex = 0;
  window.mWindow = CreatePlatformWindow(desc);
  if (window.mWindow == nullptr) {
    state.SkipWithError("no video driver");
    return;
  }
  g_PresentWidth = windowWidth;
  g_PresentHeight = windowHeight;
  g_ConfiguredWidth = windowWidth;
  g_ConfiguredHeight = windowHeight;
  AllocBackBuffer(windowWidth, windowHeight);
  g_CpuScaleBilinear = path >= 2 ? 1 : 0;
  g_CpuFeatures[kCpuSse] = path == 3 ? 1 : 0;
  g_AllowSse = path == 3 ? 1 : 0;

  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * (kHeight + 1) * 4 + 4);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* p = &pixels[(static_cast<size_t>(y) * kWidth + x) * 4];
      p[0] = static_cast<uint8_t>(x * 255 / kWidth);
      p[1] = static_cast<uint8_t>(y * 255 / kHeight);
      p[2] = static_cast<uint8_t>((x ^ y) & 255);
      p[3] = 255;
    }
  }
  LayerRecord frame;
  frame.mWidth = kWidth;
  frame.mHeight = kHeight;
  frame.mPixels = pixels.data();
  std::vector<uint8_t> copy(kFrameBytes);

  // The first present makes the window's surface: not part of a present.
  frame.mChangedRect[2] = kWidth - 1;
  frame.mChangedRect[3] = kHeight - 1;
  PresentWindowFrame(&window, &frame);

  double presentSeconds = 0;
  double memcpySeconds = 0;
  for (auto _ : state) {
    frame.mChangedRect[0] = 0;
    frame.mChangedRect[1] = 0;
    frame.mChangedRect[2] = kWidth - 1;
    frame.mChangedRect[3] = kHeight - 1;
    double seconds = Seconds([&] { PresentWindowFrame(&window, &frame); });
    presentSeconds += seconds;
    state.SetIterationTime(seconds);
    memcpySeconds += Seconds([&] { std::memcpy(copy.data(), pixels.data(), kFrameBytes); });
    benchmark::DoNotOptimize(copy.data());
  }
  state.counters["vs_memcpy"] = presentSeconds / memcpySeconds;
  static const char* const kPaths[] = {"1:1", "nearest", "bilinear", "bilinear on workers"};
  state.SetLabel(kPaths[path]);
  DestroyPlatformWindow(window.mWindow);
  ResetEngineState();
}
BENCHMARK(BM_PresentFrame)
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({1, kMaxPixelWorkers})
    ->Args({2, 1})
    ->Args({3, 1})
    ->Args({3, kMaxPixelWorkers})
    ->ArgNames({"path", "workers"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
