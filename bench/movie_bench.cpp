// Speed of the Theora movie on a layer at 1280x720: each frame decoded by
// the library, converted to B, G, R, A and copied into the layer, as the
// frame step does at 30 frames a second. Printed beside a yardstick timed in
// the same run:
//   fps              frames decoded and copied a second on this thread;
//   ratio_to_memcpy  a frame's time against a memcpy of one frame's pixels.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "image/pixel_buffers.h"
#include "layer/layer_record.h"
#include "movie/ogv_movie.h"
#include "support/layer_tree_env.h"
#include "support/movie_fixtures.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFrames = 60;

// Moving colour bands over a gradient: the picture changes everywhere from
// frame to frame, as a movie's does.
uint32_t MoviePixel(int frame, int x, int y) {
  auto r = static_cast<uint32_t>((x + frame * 8) & 0xFF);
  auto g = static_cast<uint32_t>((y * 255 / kHeight) & 0xFF);
  auto b = static_cast<uint32_t>(((x / 64 + y / 64 + frame) % 2) * 200);
  return r << 16 | g << 8 | b;
}

double MemcpySeconds(int frames) {
  size_t bytes = static_cast<size_t>(kWidth) * kHeight * 4;
  std::vector<uint8_t> from(bytes, 1), to(bytes);
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; ++i) {
    from[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_TheoraDecodeAndCopy720p(benchmark::State& state) {
  TheoraMovieSpec spec;
  spec.mWidth = kWidth;
  spec.mHeight = kHeight;
  spec.mFrames = kFrames;
  spec.mKeyFrameInterval = 30;
  spec.mQuality = 48;
  spec.mPixel = MoviePixel;
  std::vector<uint8_t> movie = MakeTheoraMovie(spec);
  LayerTreeEnvironment env(kWidth, kHeight);
  env.mScript.Write(GameFile{"bench.ogv", Bytes(movie.begin(), movie.end())});
  ObjectTreeNode* node = env.Add(nullptr, "movie", 0, 0, kWidth, kHeight);
  LayerRecord* record = RecordOf(node);
  SetPixelBuffer(record, AllocPixelBuffer(nullptr, kWidth, kHeight, nullptr), kWidth, kHeight);
  if (OpenOgvMovie("bench.ogv") != 0 || g_OgvMovie.mTotalFrames != kFrames) {
    state.SkipWithError("the movie did not open");
    return;
  }
  double ours = 0;
  double yardstick = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < kFrames; ++frame) {
      g_OgvMovie.mFrame = static_cast<uint32_t>(frame);
      ShowOgvFrame(node);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    ours += seconds;
    yardstick += MemcpySeconds(kFrames);
    frames += kFrames;
  }
  ResetOgvMovie();
  state.counters["fps"] = static_cast<double>(frames) / ours;
  state.counters["ratio_to_memcpy"] = ours / yardstick;
}
BENCHMARK(BM_TheoraDecodeAndCopy720p)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
