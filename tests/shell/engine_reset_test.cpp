// The engine started, brought back to its start state and started again in
// one process.
#include "shell/engine_reset.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/debug_log.h"
#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "datasrc/compiler_link.h"
#include "datasrc/pack_index.h"
#include "datasrc/preload_cache.h"
#include "datasrc/resource_lookup.h"
#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"
#include "image/runtime_random.h"
#include "layer/layer_record.h"
#include "movie/emote.h"
#include "platform/clock.h"
#include "platform/game_files.h"
#include "platform/instance_lock.h"
#include "platform/messages.h"
#include "script/engine_config.h"
#include "script/execution_context.h"
#include "script/script_data.h"
#include "shell/frame.h"
#include "shell/startup.h"
#include "shell/window_objects.h"
#include "sound/sound_device.h"
#include "support/dialog_recorder.h"
#include "support/fixture_game.h"
#include "support/script_data_builder.h"
#include "support/temp_folder.h"

namespace {

std::vector<std::string> g_steps;
void RecordStep(const char* step) { g_steps.emplace_back(step); }

// The settings file's words, little-endian, at their word numbers.
std::string SettingsWords(std::initializer_list<std::pair<int, uint32_t>> values) {
  std::string data(128, '\0');
  for (auto [word, value] : values) {
    for (int b = 0; b < 4; ++b) data[static_cast<size_t>(word) * 4 + b] = static_cast<char>((value >> (8 * b)) & 0xFF);
  }
  return data;
}

class EngineResetTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState();
    runtime.WriteFile("keep", "");
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    SetShellStepHook(RecordStep);
  }
  void TearDown() override {
    SetShellStepHook(nullptr);
    ResetEngineState();
  }

  // The fixture game, packed: the release layout, no compiler.
  static void WritePlainGame(const TempFolder& folder) {
    ASSERT_TRUE(WriteGamePack(folder.Path() + "/data.qpf", BuildScriptDataFiles(MakeFixtureGame())));
  }

  // A game that differs from the fixture game wherever start-up leaves
  // something behind: a larger screen, threaded stepping, debug mode, loose
  // files first, other extension orders and title, a second pack, and a
  // settings file that holds the processor level and the workers down.
  static void WriteOtherGame(const TempFolder& folder) {
    ScriptData data = MakeFixtureGame();
    data.mConfig.mWidth = 800;
    data.mConfig.mHeight = 600;
    data.mConfig.mThreadedStep = 1;
    data.mConfig.mDebugMode = 1;
    data.mConfig.mLooseFirstDev = 1;
    data.mConfig.mLooseFirstRelease = 1;
    data.mConfig.mImageOrder = {6, 5, 4, 3, 2, 1, 0, 0};
    data.mConfig.mSoundOrder = {2, 1, 0, 0};
    data.mConfig.mTitle = "別のゲーム";
    ASSERT_TRUE(WriteGamePack(folder.Path() + "/data.qpf", BuildScriptDataFiles(data)));
    std::filesystem::create_directories(folder.Path() + "/pac");
    ASSERT_TRUE(WriteGamePack(folder.Path() + "/pac/extra.qpf", {{"extra.txt", Bytes{'x'}}}));
    folder.WriteFile("qvcfg.dat", SettingsWords({{3, 0}, {4, 0}}));
    folder.WriteFile("qvsfs.dat", SettingsWords({{21, 1}}));
  }

  // Sets the process up for the game as the entry does, then starts.
  int Start(const TempFolder& game) {
    std::vector<char*> argv = {const_cast<char*>("orvane"), const_cast<char*>(game.Path().c_str()), nullptr};
    std::string programFileName;
    ChooseGameFolder(2, argv.data(), &programFileName);
    EXPECT_TRUE(InitProcessPaths(programFileName));
    EXPECT_TRUE(SetGameCurrentFolder(g_ExeFolder));
    g_steps.clear();
    dialogs.mBoxes.clear();
    dialogs.mErrorDialogs.clear();
    int result = StartEngine(g_ArgumentCount, g_ArgumentVector);
    // A script thread is running once it has said so.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (result == 0 && g_ThreadedStep.load() != 0 && g_ScriptThreadState.load() != 0 &&
           std::chrono::steady_clock::now() < deadline) {
      SleepMs(1);
    }
    return result;
  }

  // What a start leaves that the next start could inherit, one line each.
  // Times, the frames a running script thread has stepped so far and the
  // paths of the game folder are left out.
  std::string Fingerprint(int result) const {
    std::ostringstream out;
    out << "result " << result << "\nsteps";
    for (const std::string& step : g_steps) out << " | " << step;
    out << "\nboxes " << dialogs.mBoxes.size() << " error dialogs " << dialogs.mErrorDialogs.size()
        << " last error '" << g_LastErrorText << "' quit " << int(g_QuitFlag.load()) << "\n";
    out << "settings sse " << int(g_AllowSse) << "/" << int(g_AllowSse2) << " workers " << int(g_MaxWorkers)
        << " draw " << int(g_DrawMode) << " save " << int(g_SaveLocation) << " '" << g_SaveFolder << "'\n";
    out << "facts os " << int(g_OsCode) << " desktop " << g_DesktopWidth << "x" << g_DesktopHeight << " workers "
        << int(g_WorkerCount) << " level " << g_PixelLevel << " running " << GetPixelWorkerCount() << "\n";
    out << "packs " << g_PackCount << " entries " << g_PackEntryTotal << " release " << int(g_ReleaseLayout)
        << " loose " << int(g_LooseFirstDev) << int(g_LooseFirstRelease) << " orders";
    for (uint8_t value : g_ImageExtOrder) out << " " << int(value);
    out << " /";
    for (uint8_t value : g_SoundExtOrder) out << " " << int(value);
    out << "\nconfig debug " << int(g_DebugMode) << " title '" << g_WindowTitle << "' textures " << g_TextureWidth
        << "x" << g_TextureHeight << " threaded " << int(g_ThreadedStep.load()) << " thread "
        << int(g_ScriptThreadState.load()) << " sound " << int(g_SoundSetting) << "\n";
    const WindowObject* main = g_WindowTable[0];
    out << "window " << (main != nullptr ? main->mWidth : -1) << "x" << (main != nullptr ? main->mHeight : -1)
        << " shown state " << (main != nullptr ? int(main->mDisplayState) : -1) << " title '"
        << (main != nullptr ? main->mTitle : "") << "' system window " << (GetMainPlatformWindow() != nullptr)
        << " ids";
    for (int32_t id : g_WindowIds) out << " " << id;
    out << "\nsizes " << g_ConfiguredWidth << "x" << g_ConfiguredHeight << " " << g_ClientWidth << "x"
        << g_ClientHeight << " " << g_PresentWidth << "x" << g_PresentHeight << " back buffer "
        << (g_BackBuffer != nullptr) << " read-only " << int(g_FolderReadOnly) << "\n";
    out << "locks " << IsInstanceLockHeld(g_InstanceMutexes[0]) << IsInstanceLockHeld(g_InstanceMutexes[1])
        << IsInstanceLockHeld(g_InstanceMutexes[2]) << "\n";
    out << "script messages " << GetMessageTextCount() << " commands " << g_CommandCount << " scripts "
        << g_ScriptCount << " labels " << g_LabelCount << " definitions " << g_VariableDefinitionCount;
    ObjectTreeNode* mainTask = FindObjectByPath(g_TaskRoot, "SYSTEM", kPathLeaf);
    const auto* context = mainTask != nullptr ? static_cast<const ExecutionContext*>(mainTask->mPayload) : nullptr;
    // With threaded stepping the script thread moves the main task on while
    // this reads: its position is left out.
    if (g_ThreadedStep.load() == 0) {
      out << " start " << (context != nullptr ? context->mScriptNumber : -1) << ":"
          << (context != nullptr ? context->mPc : -1);
    }
    out << "\nframe rate " << g_FrameRate << " skip " << g_FrameSkip << "\n";
    return out.str();
  }

  // The current folder while the test runs; the folder the test started in
  // comes back when it ends, whichever game folder start-up entered.
  TempFolder home;
  TempFolder runtime{false};
  DialogRecorder dialogs;
};

TEST_F(EngineResetTest, ASecondStartAfterAResetBehavesLikeTheFirst) {
  TempFolder plain(false);
  TempFolder other(false);
  WritePlainGame(plain);
  WriteOtherGame(other);

  int result = Start(plain);
  std::string first = Fingerprint(result);
  ASSERT_EQ(result, 0) << first;
  EXPECT_EQ(g_steps.back(), "stopwatches") << first;
  EXPECT_TRUE(dialogs.mErrorDialogs.empty()) << first;
  // Values start-up keeps once they are set: each game gets its own.
  EXPECT_EQ(g_TextureWidth, 1024);
  EXPECT_EQ(g_TextureHeight, 512);

  ResetEngineState();
  // The engine holds nothing of the run: no window, thread, lock, table.
  EXPECT_EQ(g_WindowTable[0], nullptr);
  EXPECT_EQ(g_BackBuffer, nullptr);
  EXPECT_EQ(GetPixelWorkerCount(), 0);
  EXPECT_EQ(g_ScriptThreadState.load(), 0xFF);
  EXPECT_FALSE(IsInstanceLockHeld(g_InstanceMutexes[2])) << "the folder lock is released";
  EXPECT_EQ(g_TaskRoot, nullptr);
  EXPECT_EQ(g_LayerRoot, nullptr);
  EXPECT_EQ(g_ScriptFileTable, nullptr);
  EXPECT_EQ(g_PackCount, 0);
  EXPECT_EQ(GetMessageTextCount(), 0);
  EXPECT_EQ(g_ExeFolder[0], '\0');
  EXPECT_TRUE(g_GameFolderNative.empty());

  // Another game in between leaves its own marks, also while it runs.
  result = Start(other);
  std::string between = Fingerprint(result);
  ASSERT_EQ(result, 0) << between;
  EXPECT_EQ(g_ThreadedStep.load(), 1) << between;
  EXPECT_EQ(g_TextureWidth, 1024);
  EXPECT_EQ(g_TextureHeight, 1024);
  EXPECT_EQ(g_PackCount, 2);
  EXPECT_EQ(GetPixelWorkerCount(), 1);
  EXPECT_NE(between, first);
  ASSERT_EQ(PreloadFile(0, "extra.txt", 9), 0);
  EXPECT_EQ(GetPreloadCount(0), 1);
  ReportError(WithFatal(kMsgOutOfMemory, 0));
  EXPECT_TRUE(g_ErrorDialogShown);
  PostWindowMessage(GetMainPlatformWindow(), kMsgCommand, 7, 0);

  ResetEngineState();
  EXPECT_EQ(g_ScriptThreadState.load(), 0xFF) << "the running script thread ended";
  EXPECT_EQ(g_ThreadedStep.load(), 0);
  EXPECT_EQ(GetPreloadCount(0), 0);
  EXPECT_FALSE(PeekWindowMessage());

  std::string second = Fingerprint(Start(plain));
  EXPECT_EQ(second, first);

  // And the first game once more after the second: its lock was given back.
  ResetEngineState();
  EXPECT_EQ(Fingerprint(Start(other)), between);
}

// State that start-up never touches but a run leaves behind, each made by the
// engine's own routines; after the reset the engine behaves as in a new
// process.
TEST_F(EngineResetTest, WhatARunLeavesOutsideStartUpIsGone) {
  TempFolder game;
  std::vector<char*> argv = {const_cast<char*>("orvane"), const_cast<char*>(game.Path().c_str()), nullptr};
  std::string programFileName;
  ChooseGameFolder(2, argv.data(), &programFileName);
  ASSERT_TRUE(InitProcessPaths(programFileName));

  // Reports: the first shows the dialog, later ones do not.
  ReportError(WithFatal(kMsgOutOfMemory, 0));
  ASSERT_EQ(dialogs.mErrorDialogs.size(), 1u);
  // The debug log's header belongs to the first write of a run.
  WriteDebugLog("debuglog.txt", false, kDebugLogBudget, "one");
  // A file the compiler delivered.
  std::string block = std::string("\x06\0\0\0a.txt\0\x01\0\0\0z", 15);
  ASSERT_TRUE(TakeOverCompilerOutput(reinterpret_cast<const uint8_t*>(block.data()), block.size(), 1));
  ResourceLocation location;
  ASSERT_EQ(FindInCompilerOutput(&location, "a.txt"), SOURCE_COMPILER_OUTPUT);
  // An E-mote player slot, the runtime generator, a frame that ended the
  // program, a message text.
  LayerRecord player{};
  g_EmotePlayers[3] = &player;
  SeedRuntimeRandom(12345);
  g_QuitFlag.store(1);
  EXPECT_EQ(RunFrame(), 1);
  EXPECT_EQ(g_FrameCounter, 1);
  ASSERT_TRUE(AddMessageText(200000, "x"));

  ResetEngineState();
  EXPECT_EQ(g_EmotePlayers[3], nullptr);
  EXPECT_EQ(FindInCompilerOutput(&location, "a.txt"), SOURCE_NONE);
  EXPECT_EQ(g_FrameCounter, 0);
  EXPECT_EQ(g_QuitFlag.load(), 0);
  EXPECT_EQ(GetMessageTextCount(), 0);
  int afterReset = RuntimeRandom();
  SeedRuntimeRandom(1);
  EXPECT_EQ(afterReset, RuntimeRandom()) << "the generator starts from its first seed";

  // A new run in the same folder: the first report shows its dialog again and
  // the log gets a new header.
  ChooseGameFolder(2, argv.data(), &programFileName);
  ASSERT_TRUE(InitProcessPaths(programFileName));
  ReportError(WithFatal(kMsgOutOfMemory, 0));
  EXPECT_EQ(dialogs.mErrorDialogs.size(), 2u);
  WriteDebugLog("debuglog.txt", false, kDebugLogBudget, "two");
  std::string log = game.ReadFile("debuglog.txt");
  size_t firstHeader = log.find("time=");
  ASSERT_NE(firstHeader, std::string::npos) << log;
  EXPECT_NE(log.find("time=", firstHeader + 1), std::string::npos) << log;
}

}  // namespace
