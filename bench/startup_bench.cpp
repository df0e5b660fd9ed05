// Time from an empty engine to the demo game's first presented frame: the
// pack opened, the script data loaded, the windows made, the first frames
// stepped and composed, and the first picture painted into the window. Beside
// it, timed in the same run, the window library alone:
//   vs_window  the start against making, painting once and closing an
//              SDL window of the same size.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "core/process_state.h"
#include "core/window_table.h"
#include "demo/demo_game.h"
#include "shell/engine_reset.h"
#include "support/fixture_game.h"
#include "support/in_process_game.h"
#include "support/temp_folder.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Starts the game and runs the loop until the main window was drawn once;
// false when it ends first.
bool StartToFirstFrame(const std::string& folder) {
  if (StartGameInProcess(folder) != 0) return false;
  for (int pass = 0; pass < 100; ++pass) {
    if (!RunLoopPass()) return false;
    const WindowObject* main = g_WindowTable[0];
    if (main != nullptr && main->mDrawn != 0) return true;
  }
  return false;
}

double WindowAlone() {
  auto start = std::chrono::steady_clock::now();
  SDL_Window* window = SDL_CreateWindow("yardstick", 0, 0, kDemoWidth, kDemoHeight, SDL_WINDOW_HIDDEN);
  if (window != nullptr) {
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (surface != nullptr) {
      SDL_FillRect(surface, nullptr, 0);
      SDL_UpdateWindowSurface(window);
    }
    SDL_DestroyWindow(window);
  }
  return SecondsSince(start);
}

void BM_DemoStartToFirstFrame(benchmark::State& state) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  TempFolder folder{false};
  std::vector<GameFile> files = BuildScriptDataFiles(DemoScript());
  for (GameFile& picture : DemoPictures()) files.push_back(std::move(picture));
  for (GameFile& sound : DemoSounds()) files.push_back(std::move(sound));
  if (!WriteGamePack(folder.Path() + "/data.qpf", files)) {
    state.SkipWithError("cannot write the demo");
    return;
  }
  double startSeconds = 0;
  double windowSeconds = 0;
  for (auto _ : state) {
    EndGameInProcess();
    auto start = std::chrono::steady_clock::now();
    bool shown = StartToFirstFrame(folder.Path());
    double seconds = SecondsSince(start);
    if (!shown) {
      state.SkipWithError("the demo did not present a frame");
      break;
    }
    state.SetIterationTime(seconds);
    startSeconds += seconds;
    windowSeconds += WindowAlone();
  }
  EndGameInProcess();
  state.counters["ms"] = benchmark::Counter(startSeconds * 1000, benchmark::Counter::kAvgIterations);
  if (windowSeconds > 0) state.counters["vs_window"] = startSeconds / windowSeconds;
}
BENCHMARK(BM_DemoStartToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
