#include "shell/frame.h"

#include <climits>

#include "core/object_tree.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "core/stopwatches.h"
#include "layer/composition.h"
#include "movie/emote.h"
#include "movie/movies.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "render/gpu_frame.h"
#include "script/task_step.h"
#include "shell/display.h"
#include "shell/input.h"
#include "shell/menu_presenter.h"
#include "shell/menus.h"
#include "shell/window_objects.h"

int64_t g_FrameCounter;
uint8_t g_SkipDraw;
uint8_t g_PacingVerdict;
uint8_t g_FirstFrameShown;
int32_t g_FrameRate = 60;
int32_t g_FrameSkip = 1;
uint32_t g_FrameIntervalFixed;
uint32_t g_PaceNow;
uint32_t g_StepsThisSecond;
uint32_t g_DrawnThisSecond;
uint32_t g_ShownStepRate;
uint32_t g_ShownDrawRate;
uint32_t g_SecondStart;
uint8_t g_PausedByCloseQuestion;
uint8_t g_DrawDuringMovie;
uint8_t g_ScriptPaused;
int64_t g_ScriptPauseStart;

namespace {

constexpr int32_t kForgottenLagMs = 250;
// A time base further ahead of the clock than this was never a pacing
// result (at most a forgotten lag plus an interval): the frame counts as far
// behind.
constexpr int32_t kFurthestAheadMs = 2000;

bool ShouldDraw() {
  if (g_SkipDraw != 0) return false;
  if (g_DrawDuringMovie != 0) return true;
  if (g_UseDirectShow == 1) return !IsDirectShowMoviePlaying();
  return !IsMciMovieOpen();
}

void GiveEmotePlayersTheirTime(int32_t elapsed) {
  if (g_EmoteEnabled == 0) return;
  for (int slot = 0; slot < kEmotePlayerSlots; ++slot) {
    if (g_EmotePendingTime[slot] != 0) {
      AdvanceEmotePlayer(g_EmotePlayers[slot], g_EmotePendingTime[slot]);
      g_EmotePendingTime[slot] = 0;
    }
  }
  for (int slot = 0; slot < kEmotePlayerSlots; ++slot) {
    if (g_EmotePlayers[slot] != nullptr) {
      g_EmotePendingTime[slot] = (elapsed < 0 || elapsed > 10000) ? 16.0f : static_cast<float>(elapsed);
    }
  }
}

}  // namespace

uint8_t RunFrame() {
  g_FrameCounter += 1;
  if (g_PausedByCloseQuestion != 0) return 0;
  if (g_QuitFlag.load() != 0) return 1;
  TickOgvMovie();
  UpdateInput();
  do {
    g_RerunRequest = 0;
    g_StepCounter += 1;
    uint8_t result = StepTasks(g_TaskRoot);
    if (result != 0) g_QuitFlag.store(1);
    if (g_QuitFlag.load() != 0) return 1;
  } while (g_RerunRequest != 0);
  CommitLayerState(GetFirstLayerChild());

  if (ShouldDraw()) {
    for (int window = 0; window < kWindowCount; ++window) {
      if (RenderWindowLayers(window) != 0) return 1;
    }
  }
  // The main window appears with the first frame, drawn or not: a first
  // frame that starts an opening movie draws nothing.
  if (g_FirstFrameShown == 0) {
    g_FirstFrameShown = 1;
    WindowObject* main = g_WindowTable[0];
    if (main != nullptr && main->mDisplayState == 1) ShowPlatformWindow(main->mWindow, true);
  }
  g_PacingVerdict = PaceFrame();
  if (g_EmoteEnabled != 0 && IsEmoteAnimating()) g_GpuRedrawRequest = 1;
  UpdateMenuStrip();
  if (ShouldDraw()) {
    for (int window = 0; window < kWindowCount; ++window) {
      if (PresentWindowCpu(window) != 0) return 1;
    }
    // The windows paint what was composed when their paint message comes.
    InvalidateRequestedWindows();
    CountPresentedFrame();
    ResetDirtyRects(GetFirstLayerChild());
  }
  if (g_PendingPopup != 0) {
    int32_t command = TrackPendingPopup(g_PendingPopup);
    g_PendingPopup = 0;
    PostWindowMessage(GetMainPlatformWindow(), kMsgCommand, static_cast<uint64_t>(command), 0);
  }
  g_SkipDraw = g_PacingVerdict;
  return g_QuitFlag.load();
}

uint8_t PaceFrame() {
  uint32_t step = 65536000u / static_cast<uint32_t>(g_FrameRate > 0 ? g_FrameRate : 1);
  uint32_t now = GetTimeMs();
  g_PaceNow = now;
  g_FrameIntervalFixed = (g_FrameIntervalFixed & 0xFFFFu) + step;
  int32_t frameMs = static_cast<int32_t>(g_FrameIntervalFixed >> 16);
  // Signed: a time base ahead of the clock (after a late frame) gives a
  // negative value, and this frame waits longer.
  int32_t elapsed = static_cast<int32_t>(now - g_LastFrameTime);
  bool farBehind = elapsed < -kFurthestAheadMs;
  GiveEmotePlayersTheirTime(farBehind ? INT32_MAX : elapsed);

  g_PacingSleep.store(1);
  bool handOver = ReleaseFrameLockForPacing();
  uint8_t verdict = 0;
  if (!farBehind && elapsed < frameMs) {
    SleepMs(static_cast<uint32_t>(frameMs - elapsed));
    g_LastFrameTime += static_cast<uint32_t>(frameMs);
    now = GetTimeMs();
    g_PaceNow = now;
  } else {
    uint32_t lag = farBehind ? UINT32_MAX : static_cast<uint32_t>(elapsed - frameMs);
    if (lag >= static_cast<uint32_t>(kForgottenLagMs)) lag = 0;
    verdict = (lag >= 3u * static_cast<uint32_t>(frameMs) && (g_FrameSkip & 1) != 0) ? 1 : 0;
    g_PaceNow = now + lag;
    g_LastFrameTime = now + lag;
  }
  if (handOver) RetakeFrameLockAfterPacing();
  g_PacingSleep.store(0);

  if (g_PaceNow / 1000u != g_SecondStart / 1000u) {
    g_ShownStepRate = g_StepsThisSecond;
    g_ShownDrawRate = g_DrawnThisSecond;
    g_DrawnThisSecond = 0;
    g_SecondStart = g_PaceNow;
    g_StepsThisSecond = 0;
  }
  g_StepsThisSecond += 1;
  return verdict;
}

void UpdateMenuStrip() {
  SyncMenuBand();
  if (!IsFullscreen()) {
    if (IsMenuStripShown()) ShowMenuStrip(false);
    return;
  }
  int32_t y = GetSampledCursorY(0);
  int32_t height = GetMenuStripHeight();
  if (y < height) {
    if (!IsMenuStripShown() && HasMenuBarTopMenu()) ShowMenuStrip(true);
    y = GetCursorYInMainWindow();
  }
  if (y >= height && IsMenuStripShown()) {
    ShowMenuStrip(false);
    FlagWindowLayerFullyDirty(0);
  }
}

void CountPresentedFrame() { g_DrawnThisSecond += 1; }

void AddPausedTimeToStopwatches(uint32_t pausedMs) {
  for (int index = 0; index < kStopwatchCount; ++index) {
    if (g_StopwatchPausable[index] != 0) g_StopwatchBase[index] += pausedMs;
  }
}

void BeginScriptPause() {
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  if (g_ScriptPaused != 0) return;
  g_ScriptPaused = 1;
  g_ScriptPauseStart = GetTimeMs();
}

void EndScriptPause() {
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  if (g_ScriptPaused == 0) return;
  g_ScriptPaused = 0;
  uint32_t paused = GetTimeMs() - static_cast<uint32_t>(g_ScriptPauseStart);
  AddPausedTimeToStopwatches(paused);
  g_ScriptPauseStart = 0;
}

void ResetFrameState() {
  g_FrameCounter = 0;
  g_StepCounter = 0;
  g_RerunRequest = 0;
  g_SkipDraw = 0;
  g_PacingVerdict = 0;
  g_FirstFrameShown = 0;
  g_FrameRate = 60;
  g_FrameSkip = 1;
  g_FrameIntervalFixed = 0;
  g_LastFrameTime = 0;
  g_PaceNow = 0;
  g_StepsThisSecond = 0;
  g_DrawnThisSecond = 0;
  g_ShownStepRate = 0;
  g_ShownDrawRate = 0;
  g_SecondStart = 0;
  g_PausedByCloseQuestion = 0;
  g_DrawDuringMovie = 0;
  g_ScriptPaused = 0;
  g_ScriptPauseStart = 0;
}
