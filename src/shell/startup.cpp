#include "shell/startup.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include "core/errors.h"
#include "core/object_tree.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "core/stopwatches.h"
#include "core/sjis.h"
#include "datasrc/compiler_link.h"
#include "datasrc/compression.h"
#include "datasrc/pack_index.h"
#include "datasrc/resource_lookup.h"
#include "image/blend_kernels.h"
#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"
#include "image/runtime_random.h"
#include "image/webp_codec.h"
#include "layer/text_setup.h"
#include "movie/emote.h"
#include "platform/clock.h"
#include "platform/game_files.h"
#include "platform/process.h"
#include "platform/window.h"
#include "render/direct3d.h"
#include "savedata/save_slots.h"
#include "script/engine_config.h"
#include "script/runtime_tables.h"
#include "script/script_data.h"
#include "shell/appended_data.h"
#include "shell/display.h"
#include "shell/entry.h"
#include "shell/frame.h"
#include "shell/input.h"
#include "shell/menus.h"
#include "shell/window_objects.h"
#include "sound/sound_device.h"

int32_t g_ClientWidth;
int32_t g_ClientHeight;
uint8_t g_JoysticksPresent;
char g_IdentifierString[16];

namespace {

constexpr int32_t kMaxBackBufferWidth = 8192;
bool g_RuntimeTablesBuilt = false;
ShellStepHook g_StepHook = nullptr;

void Step(const char* name) { TraceShellStep(name); }

bool IsArgument(const char* expected) {
  return g_CommandLineCount >= 1 && EqualsSjisNoCase(g_CommandLineArgs[1], expected);
}

// A fatal report in a step that does not end start-up by itself still ends
// it: the program must not run on without a window.
bool QuitRequested() { return g_QuitFlag.load() != 0; }

}  // namespace

void SetShellStepHook(ShellStepHook hook) { g_StepHook = hook; }

void TraceShellStep(const char* step) {
  if (g_StepHook != nullptr) g_StepHook(step);
}

void InitRuntimeTables() {
  if (g_RuntimeTablesBuilt) return;
  g_RuntimeTablesBuilt = true;
  std::strcpy(g_IdentifierString, "revnavro");
  SeedRandom(GetTimeMs());
  SeedRuntimeRandom(static_cast<uint32_t>(std::time(nullptr)));
  InitProductTables();
  InitBlendKernels();
  InitEvaluatorOperands();
  FillKeyTransitionTable();
  FillAssignOperatorTable();
  FillOperatorTable(1);
  FillCommandSwitches();
  g_InactivePauseEnded = AddPausedTimeToStopwatches;
  CreateMessageText();
  InitFontList();
  int major = 0;
  int minor = 0;
  char letter = 0;
  if (GetDirectXVersion(&major, &minor, &letter) < 0) major = 0;
  g_DirectXVersion = major;
}

int TestGameFolderWritable() {
  // The game folder is the one the script compiler reported in the
  // development layout (the link made it the current folder, so a relative
  // answer is the current folder itself) and the program folder otherwise.
  const char* folder = g_ExeFolder;
  if (g_GameFolder[0] != '\0') {
    bool absolute = g_GameFolder[0] == '\\' || g_GameFolder[0] == '/';
    folder = absolute ? g_GameFolder : ".";
  }
  if (!CanCreateFileInFolder(folder)) g_FolderReadOnly = 1;
  return 0;
}

void BeginTimerPeriod() {
  // Sleeps are already precise to the millisecond here; only the counters of
  // the frame rate start over.
  g_StepsThisSecond = 0;
  g_DrawnThisSecond = 0;
  g_ShownStepRate = 0;
  g_ShownDrawRate = 0;
  g_SecondStart = 0;
}

void EndTimerPeriod() {
  // Nothing to give back: no timer period was raised.
}

void LoadTouchLibrary() {}
void ReleaseTouchLibrary() {}

void ComputePresentSize(int32_t clientWidth, int32_t clientHeight, int32_t desktopWidth, int32_t desktopHeight,
                        int32_t* presentWidth, int32_t* presentHeight) {
  if (clientWidth > desktopWidth || clientHeight > desktopHeight) {
    *presentWidth = desktopWidth / 2;
    *presentHeight = desktopHeight / 2;
  } else {
    *presentWidth = clientWidth;
    *presentHeight = clientHeight;
  }
}

bool AllocBackBuffer(int32_t width, int32_t height) {
  ReleaseBackBuffer();
  if (width > kMaxBackBufferWidth || height > kMaxBackBufferWidth || width < 0 || height < 0) {
    ShowMessageBox("", "ＣＧサイズが大きすぎます。X=%d, Y=%d", width, height);
    ReportError(kMsgOutOfMemory);
    return false;
  }
  size_t rowBytes = static_cast<size_t>(width) * 4;
  size_t bytes = rowBytes + rowBytes * static_cast<size_t>(height) + 4;
  g_BackBuffer = static_cast<uint8_t*>(std::calloc(bytes, 1));
  if (g_BackBuffer == nullptr) {
    ReportError(kMsgNoMemoryForFile);
    return false;
  }
  return true;
}

void ReleaseBackBuffer() {
  std::free(g_BackBuffer);
  g_BackBuffer = nullptr;
}

int StartEngine(int argc, char** argv) {
  Step("settings");
  ResetEngineSettings();
  CopyCommandLineArguments(argc, argv);
  LoadEngineSettings();
  BuildSaveFolder();
  Step("pixel primitives");
  InitPixelPrimitives();
  Step("platform facts");
  DetectPlatform();
  if (g_OsCode >= 1 && g_OsCode <= 19) {
    ShowMessageBox("エラー", "Windows95/NT3.5/NT4 では起動できません。");
    return -1;
  }
  Step("data keys");
  if (InitDataKeys() != 0) return -1;
  if (IsArgument("/qvcfg")) {
    Step("settings tool");
    // The settings tool is started without waiting; its result is not read.
    StartDetachedProcess({ResolveGamePath("エンジン設定.exe"), "/qvcfg"}, g_GameFolderNative);
    return -1;
  }
  if (IsArgument("/info")) {
    Step("licence notice");
    g_ErrorDialogCaption = "License Information";
    ReportError(kMsgOpenSourceNotice);
    return -1;
  }
  Step("compression library");
  if (IsCompressionLibraryWanted()) LoadCompressionLibrary();
  Step("pack index");
  if (BuildPackIndex() != 0) return -1;
  if (QuitRequested()) return -1;
  if (IsCompressionLibraryWanted() && !g_SnpModule) return -1;
  if (g_DataAppended == 0) {
    Step("folder lock");
    if (CreateInstanceLock(g_FolderMutexName, &g_InstanceMutexes[2]) != InstanceLockResult::Created) {
      ActivateRunningInstance(g_InstanceName);
      ReleaseInstanceMutexes();
      return -1;
    }
    ReleaseInstanceMutex(1);
  }
  if (g_ReleaseLayout == 0) {
    Step("script compiler");
    if (RunScriptCompiler() != 0) return -1;
  }
  Step("runtime tables");
  InitRuntimeTables();
  Step("folder writable");
  TestGameFolderWritable();
  // The program's own resources are built in: the tag resource always fits.
  Step("window objects");
  if (CreateWindowObjects() != 0) return -1;
  Step("engine config");
  if (LoadEngineConfig() != 0) return -1;
  if (g_DisableComposition != 0 && g_OsCode >= 65) DisableDesktopComposition();

  Step("sizes");
  WindowObject* main = g_WindowTable[0];
  g_ConfiguredWidth = main->mWidth;
  g_ConfiguredHeight = main->mHeight;
  if (g_ScreenSaverMode != 0) {
    main->mWidth = g_DesktopWidth;
    main->mHeight = g_DesktopHeight;
  }
  g_ClientWidth = main->mWidth;
  g_ClientHeight = main->mHeight;
  ComputePresentSize(g_ClientWidth, g_ClientHeight, g_DesktopWidth, g_DesktopHeight, &g_PresentWidth,
                     &g_PresentHeight);
  Step("back buffer");
  AllocBackBuffer(g_PresentWidth, g_PresentHeight);
  if (QuitRequested()) return -1;

  Step("main window");
  SetUpWindowObject(main, g_WindowTitle.c_str());
  g_WindowIds[0] = 1;
  if (CreateGameWindow(main, g_ShowCommand, g_InstanceName, g_WindowTitle.c_str()) == 0) {
    ShowMessageBox("エラー", "ウィンドウが生成できませんでした。");
    return -1;
  }
  // A screen saver takes no typed text: no input method serves its window.
  if (g_ScreenSaverMode != 0) DetachPlatformWindowTextInput(main->mWindow);
  BeginTimerPeriod();
  g_FullscreenBits = static_cast<uint8_t>(g_DesktopBits);
  Step("menu strip");
  CreateMenuStripWindow();
  Step("object trees");
  CreateObjectTrees();
  if (QuitRequested()) return -1;
  Step("sound device");
  if (g_SoundSetting != 0) {
    if (InitDirectSound() == 1) {
      g_SoundSetting = 1;
    } else if (g_SoundSetting == 2) {
      g_SoundSetting = 0;
      return -1;
    } else {
      g_SoundSetting = 0;
    }
  }
  Step("joysticks");
  g_JoysticksPresent = InitJoysticks();
  g_PaceNow = 0;
  g_StartTime = GetLocalTime();
  Step("outside libraries");
  ResourceLocation probe;
  bool extensionFound =
      LocateResource(&probe, (std::string(g_ExeFolder) + "\\d3dx9_43.dll").c_str(), 0) > 0;
  if (g_OsCode >= 65 || extensionFound) {
    LoadEmoteDlls();
    if (g_EmoteEnabled != 0) {
      g_GpuDrawing = 1;
      g_ChangeDisplayMode = 0;
    }
  }
  if (g_OsCode >= 80) LoadTouchLibrary();
  LoadWebpCodec();
  if (g_GpuDrawing != 0) WriteSystemReport();
  Step("script data");
  if (LoadScriptData() != 0) {
    RequestClose();
    return 1;
  }
  Step("pixel workers");
  if (StartPixelWorkers() != 0) return -1;
  Step("sound thread");
  if (StartSoundSystem() != 0) return -1;
  Step("script thread");
  StartScriptThread();
  Step("stopwatches");
  uint32_t base = GetTimeMs();
  for (uint32_t& stopwatch : g_StopwatchBase) stopwatch = base;
  ClearMemorySaveSlots();
  if (g_GpuDrawing != 0) {
    Step("direct3d");
    int result = InitDirect3D();
    if (result == 1 || result == -1) {
      g_DrawMode = 0;
      g_CpuScaleBilinear = 1;
      g_GpuDrawing = 0;
      ShowMessageBox("", "GPU描画が出来ませんでした。CPU描画に移行します。");
      if (result == -1) {
        g_QuitFlag.store(1);
        return -1;
      }
    }
  }
  return 0;
}

void ResetStartupState() {
  g_RuntimeTablesBuilt = false;
  g_ConfiguredWidth = g_ConfiguredHeight = 0;
  g_ClientWidth = g_ClientHeight = 0;
  g_PresentWidth = g_PresentHeight = 0;
  ReleaseBackBuffer();
  g_JoysticksPresent = 0;
  std::memset(g_IdentifierString, 0, sizeof g_IdentifierString);
}
