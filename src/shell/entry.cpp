#include "shell/entry.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "core/debug_log.h"
#include "core/errors.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "datasrc/compression.h"
#include "datasrc/resource_lookup.h"
#include "image/pixel_workers.h"
#include "image/webp_codec.h"
#include "layer/text_setup.h"
#include "movie/emote.h"
#include "movie/movies.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/game_files.h"
#include "platform/messages.h"
#include "platform/process.h"
#include "platform/termination_signals.h"
#include "platform/threads.h"
#include "platform/window.h"
#include "render/direct3d.h"
#include "savedata/save_slots.h"
#include "shell/appended_data.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "shell/input.h"
#include "shell/menus.h"
#include "shell/startup.h"
#include "shell/window_objects.h"
#include "sound/sound_device.h"

namespace {

// How long shutdown waits for a thread to notice the quit flag. Both poll it
// at least every 20 ms, so this only ends a wait for a thread that hangs.
constexpr uint32_t kThreadEndTimeoutMs = 5000;
// After the display is lost the end must not wait long: a thread that needs
// the frame lock the interrupted call holds would never end.
constexpr uint32_t kLostDisplayWaitMs = 400;
// Start-ups of every game take turns under this lock; it is held only from
// the process entry until the per-program lock is taken, so a launch waits
// this long at most before it goes on without it.
constexpr const char* kStartupLockName = "orvane1";
constexpr uint32_t kStartupLockWaitMs = 5000;
// The exit status of a run that ended on a fatal report (0 is a normal end).
constexpr int kFatalReportExitStatus = 1;

// Never destroyed: a process that ends through exit() while the thread runs
// (a library may call it) must not destroy a running thread object.
std::thread& g_ScriptThread = *new std::thread;
std::atomic<bool> g_CloseRequested{false};
int g_ExitCode = 0;

void DispatchPendingMessages() {
  WindowMessage message;
  while (g_Running.load() != 0 && PeekWindowMessage()) {
    if (!GetWindowMessage(&message)) {
      g_Running.store(0);
      g_ExitCode = static_cast<int>(message.mWParam);
      break;
    }
    DispatchWindowMessage(message);
  }
}

// Hands the waiting messages to the window procedure. With threaded stepping
// this happens only while the stepping thread sleeps in pacing.
void DrainMessages() {
  if (g_ThreadedStep.load() == 0) {
    DispatchPendingMessages();
    return;
  }
  if (!PeekWindowMessage()) return;
  g_DispatchWaiting.store(1);
  std::lock_guard<std::recursive_mutex> frame(g_FrameLock);
  g_DispatchWaiting.store(0);
  DispatchPendingMessages();
}

// The display's server is gone. This runs inside the video call that found
// it, which cannot go on, so the program ends here as a close ends it: the
// quit flag, the threads ended and joined, the instance locks released; the
// exit code is that of a close.
void EndAfterDisplayLoss() {
  static std::atomic<bool> ending{false};
  if (ending.exchange(true)) {
    // Another thread found the loss too and is ending the process.
    for (;;) SleepMs(1000);
  }
  std::fputs("orvane: the display went away; closing\n", stderr);
  g_QuitFlag.store(1);
  if (WaitForThreadState(g_SoundThreadState, 1, kLostDisplayWaitMs)) JoinSoundThread();
  bool onScriptThread = g_ScriptThread.joinable() && g_ScriptThread.get_id() == std::this_thread::get_id();
  if (!onScriptThread && WaitForThreadState(g_ScriptThreadState, 9, kLostDisplayWaitMs) &&
      g_ScriptThread.joinable()) {
    g_ScriptThread.join();
  }
  // A script thread still running waits for the frame lock in pacing, where
  // it posts no work.
  StopPixelWorkers();
  ReleaseInstanceMutexes();
  std::fflush(nullptr);
  // No destructors: the interrupted call and a thread left waiting still use
  // what they would destroy.
  std::_Exit(FatalReportMade() ? kFatalReportExitStatus : 0);
}

void SetFlushToZero() {
#if defined(__SSE__)
  _MM_SET_FLUSH_ZERO_MODE(_MM_FLUSH_ZERO_ON);
#endif
}

}  // namespace

int ActivateRunningInstance(const char* className) {
  SendActivationRequest(className);
  return 0;
}

void RequestClose() {
  g_QuitFlag.store(1);
  g_CloseRequested.store(true);
  WindowObject* main = g_WindowTable[0];
  PlatformWindow* window = main != nullptr ? main->mWindow : nullptr;
  if (window == nullptr) {
    // No window to close: end the loop directly.
    PostQuitMessage(0);
    return;
  }
  main->mCloseState = 2;
  PostWindowMessage(window, kMsgClose, 0, 0);
}

void RunFrameLoop() {
  while (RunFrame() == 0) {
  }
  RequestClose();
}

void ScriptThreadMain() {
  TakeFrameLockForStepping();
  {
    std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
    g_ScriptThreadState.store(0);
  }
  RunFrameLoop();
  ReleaseFrameLockAfterStepping();
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  g_ScriptThreadState.store(9);
}

int StartScriptThread() {
  if (g_ThreadedStep.load() == 0) return 0;
  if (!StartThread(g_ScriptThread, ScriptThreadMain)) {
    // Without a script thread the main thread runs the frame steps itself.
    g_ThreadedStep.store(0);
  }
  return 0;
}

int RunMessageLoop() {
  g_ExitCode = 0;
  DrainMessages();
  while (g_Running.load() != 0) {
    // A hang-up, Ctrl+C or SIGTERM closes the game as a close request does.
    if (TakeTerminationRequest() && !g_CloseRequested.load()) RequestClose();
    if (g_QuitFlag.load() != 0) {
      // Whatever set the flag, the window closes: nothing else would end the
      // loop once frames stop.
      if (!g_CloseRequested.load()) RequestClose();
      SleepMs(1);
    } else {
      SampleWindowInput();
      if (g_ThreadedStep.load() != 0 && g_ScriptThreadState.load() != 9) {
        SleepMs(1);
      } else if (RunFrame() != 0) {
        RequestClose();
      }
    }
    DrainMessages();
  }
  return g_ExitCode;
}

bool WaitForThreadState(const std::atomic<uint8_t>& state, uint8_t endState, uint32_t timeoutMs) {
  uint32_t start = GetTimeMs();
  for (;;) {
    uint8_t value;
    {
      std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
      value = state.load();
    }
    if (value == 0xFF || value == endState) return true;
    if (GetTimeMs() - start >= timeoutMs) return false;
    SleepMs(1);
  }
}

void ShutdownEngine() {
  // The flag first: the threads end on it.
  g_QuitFlag.store(1);
  TraceShellStep("shutdown: sound thread");
  if (!WaitForThreadState(g_SoundThreadState, 1, kThreadEndTimeoutMs)) {
    std::fputs("orvane: the sound thread did not end\n", stderr);
  }
  JoinSoundThread();
  TraceShellStep("shutdown: script thread");
  if (!WaitForThreadState(g_ScriptThreadState, 9, kThreadEndTimeoutMs)) {
    std::fputs("orvane: the script thread did not end\n", stderr);
    if (g_ScriptThread.joinable()) g_ScriptThread.detach();
  }
  if (g_ScriptThread.joinable()) g_ScriptThread.join();
  TraceShellStep("shutdown: pixel workers");
  StopPixelWorkers();
  if (g_EmoteEnabled != 0) {
    TraceShellStep("shutdown: emote players");
    ReleaseAllEmotePlayers();
  }
  if (g_GpuDrawing != 0) {
    TraceShellStep("shutdown: direct3d");
    ReleaseGpuFrameTextures();
    ReleaseDirect3D();
  }
  TraceShellStep("shutdown: movies and sound device");
  CloseMovieDirectShow();
  CloseMovieMci();
  ReleaseSoundDevice();
  TraceShellStep("shutdown: menus");
  DestroyMenuSets();
  if (IsFullscreen() && LeaveFullscreen(0) == 0) ClearFullscreenState();
  TraceShellStep("shutdown: cursor, glyphs, save records, flash");
  SetSystemCursorVisible(true);
  EndTimerPeriod();
  DeleteGlyphObjects();
  FreePendingSaveRecords();
  DestroyFlashWindow();
  TraceShellStep("shutdown: libraries");
  ReleaseTouchLibrary();
  ReleaseCompressionLibrary();
  ReleaseDataSources();
  if (g_EmoteEnabled != 0) ReleaseEmoteDlls();
  ReleaseWebpCodec();
  TraceShellStep("shutdown: windows");
  ReleaseBackBuffer();
  ReleaseWindowObjects();
  QuitPlatformVideo();
}

void EndScriptThread() {
  if (!g_ScriptThread.joinable()) return;
  g_QuitFlag.store(1);
  g_ScriptThread.join();
}

void ResetEntryState() {
  EndScriptThread();
  g_CloseRequested.store(false);
  g_ExitCode = 0;
}

std::vector<std::string> BuildRelaunchArguments() { return {GetProgramPath(), g_GameFolderNative}; }

void LaunchProcess(const std::vector<std::string>& arguments) { StartDetachedProcess(arguments, g_GameFolderNative); }

namespace {

void TakeStartupLock() {
  // A launch never ends because another start-up is under way: it waits for
  // its turn, and the per-program and per-folder locks then decide whether
  // this copy runs. One that waited in vain, or cannot make the lock, goes
  // on without it.
  switch (WaitForInstanceLock(kStartupLockName, &g_InstanceMutexes[0], kStartupLockWaitMs)) {
    case InstanceLockResult::Created: break;
    case InstanceLockResult::AlreadyHeld:
      std::fputs("orvane: another start-up kept the start-up lock; going on without it\n", stderr);
      break;
    case InstanceLockResult::Failed:
      std::fputs("orvane: the start-up lock cannot be made; going on without it\n", stderr);
      break;
  }
}

int RunProgram(int argc, char** argv) {
  TakeStartupLock();

  std::string programFileName;
  ChooseGameFolder(argc, argv, &programFileName);
  if (!InitProcessPaths(programFileName)) {
    ShowMessageBox("エラー", "ゲームフォルダのパスが長すぎます。\n\n%s", g_GameFolderNative);
    ReleaseInstanceMutexes();
    return 0;
  }
  if (CreateInstanceLock(g_InstanceName, &g_InstanceMutexes[1]) != InstanceLockResult::Created) {
    ActivateRunningInstance(g_InstanceName);
    ReleaseInstanceMutexes();
    return 0;
  }
  ReleaseInstanceMutex(0);
  SetGameCurrentFolder(g_ExeFolder);
  if (CheckAppendedData() < 0) {
    ReleaseInstanceMutexes();
    return 0;
  }
  if (g_ScreenSaverMode != 0 && HandleScreenSaverArguments() != 0) {
    ReleaseInstanceMutexes();
    return 0;
  }
  // The process-wide lock exists from the start; COM has no counterpart here.
  SetWindowProcedure(MainWndProc);
  SetDisplayLostRoutine(EndAfterDisplayLoss);
  g_Running.store(1);
  int exitCode = 0;
  // The message loop acts on the request the signals leave: caught from the
  // engine's start (its window shows during it), a signal that comes before
  // the loop runs is kept for it; the wait for the start-up lock and the end
  // keep what the process had (no save is under way there).
  WatchTerminationSignals();
  if (StartEngine(g_ArgumentCount, g_ArgumentVector) == 0) exitCode = RunMessageLoop();
  StopWatchingTerminationSignals();
  ShutdownEngine();
  ReleaseInstanceMutexes();
  if (g_RelaunchOnExit.load() != 0) LaunchProcess(BuildRelaunchArguments());
  return exitCode;
}

}  // namespace

int WinMain(int argc, char** argv) {
  SetFlushToZero();
  int exitCode = RunProgram(argc, argv);
  // A launcher must be able to tell a run that failed from one that ended.
  if (exitCode == 0 && FatalReportMade()) exitCode = kFatalReportExitStatus;
  return exitCode;
}
