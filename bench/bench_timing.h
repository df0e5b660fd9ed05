#pragma once
// Timing pieces the pixel benchmarks share: a pool of a chosen size for the
// length of a benchmark, the time of one piece of work, and the engine timed
// beside its yardstick in the same iterations.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

#include "core/platform_facts.h"
#include "image/pixel_workers.h"

// workers 0: no pool, the jobs run on the calling thread (one worker's work
// without the hand-off, which a busy machine would make erratic).
class PoolScope {
 public:
  explicit PoolScope(int workers) {
    StopPixelWorkers();
    if (workers == 0) return;
    g_WorkerCount = static_cast<uint8_t>(workers);
    StartPixelWorkers();
  }
  ~PoolScope() { StopPixelWorkers(); }
};

template <typename Work>
double Seconds(Work work) {
  auto start = std::chrono::steady_clock::now();
  work();
  benchmark::ClobberMemory();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Times `engine` and `yardstick` alternately; the benchmark's own time is the
// engine's, the counter `name` the ratio of the engine's total to the
// yardstick's (below 1: the engine is faster), or with `speedup` the inverse.
template <typename Engine, typename Yardstick>
void Compare(benchmark::State& state, const char* name, Engine engine, Yardstick yardstick, bool speedup = false) {
  double engineSeconds = 0;
  double yardstickSeconds = 0;
  for (auto _ : state) {
    double seconds = Seconds(engine);
    yardstickSeconds += Seconds(yardstick);
    engineSeconds += seconds;
    state.SetIterationTime(seconds);
  }
  state.counters[name] = speedup ? yardstickSeconds / engineSeconds : engineSeconds / yardstickSeconds;
}

// Times `engine` on every iteration back to back, then `yardstick` as many
// times in a run of its own; counters as in Compare. Work that a pool takes
// stays in step with the pool's waking: workers that finished a job are
// still awake for the next, as through the layers of one frame.
template <typename Engine, typename Yardstick>
void CompareRuns(benchmark::State& state, const char* name, Engine engine, Yardstick yardstick,
                 bool speedup = false) {
  double engineSeconds = 0;
  int64_t runs = 0;
  for (auto _ : state) {
    double seconds = Seconds(engine);
    engineSeconds += seconds;
    state.SetIterationTime(seconds);
    ++runs;
  }
  double yardstickSeconds = 0;
  for (int64_t k = 0; k < runs; ++k) yardstickSeconds += Seconds(yardstick);
  state.counters[name] = speedup ? yardstickSeconds / engineSeconds : engineSeconds / yardstickSeconds;
}
