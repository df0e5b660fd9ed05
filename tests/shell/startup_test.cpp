#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/errors.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "datasrc/pack_index.h"
#include "platform/game_files.h"
#include "platform/instance_lock.h"
#include "platform/process.h"
#include "platform/text_codec.h"
#include "platform/window.h"
#include "shell/entry.h"
#include "shell/startup.h"
#include "shell/window_objects.h"
#include "support/dialog_recorder.h"
#include "support/fixture_game.h"
#include "support/script_data_builder.h"
#include "support/script_test_env.h"
#include "support/temp_folder.h"

namespace {

std::vector<std::string> g_recordedSteps;
void RecordStep(const char* step) { g_recordedSteps.emplace_back(step); }

std::vector<std::vector<std::string>> g_detachedStarts;
bool RecordDetachedStart(void*, const std::vector<std::string>& arguments) {
  g_detachedStarts.push_back(arguments);
  return true;
}

class StartupTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetShellState();
    g_recordedSteps.clear();
    g_detachedStarts.clear();
    SetShellStepHook(RecordStep);
    SetDetachedStartHook(RecordDetachedStart, nullptr);
    runtime.WriteFile("keep", "");
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
  }
  void TearDown() override {
    ShutdownEngine();
    ReleaseInstanceMutexes();
    SetShellStepHook(nullptr);
    SetDetachedStartHook(nullptr, nullptr);
    ResetScriptEngineState();
    ResetShellState();
  }

  // Sets the process up for a game folder as WinMain does before start-up.
  void EnterGame(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"orvane", game.Path()});
    argumentStore = arguments;
    argv.clear();
    for (std::string& argument : argumentStore) argv.push_back(argument.data());
    std::string programFileName;
    ChooseGameFolder(static_cast<int>(argv.size()), argv.data(), &programFileName);
    ASSERT_TRUE(InitProcessPaths(programFileName));
    ASSERT_TRUE(SetGameCurrentFolder(g_ExeFolder));
  }

  int Start() { return StartEngine(g_ArgumentCount, g_ArgumentVector); }

  TempFolder game;
  TempFolder runtime{false};
  DialogRecorder dialogs;
  std::vector<std::string> argumentStore;
  std::vector<char*> argv;
};

TEST_F(StartupTest, StepsRunInTheirBindingOrder) {
  // A packed game: the release layout, so no compiler.
  ASSERT_TRUE(WriteGamePack(game.Path() + "/data.qpf", BuildScriptDataFiles(MakeFixtureGame())));
  EnterGame({});
  ASSERT_EQ(Start(), 0);
  EXPECT_EQ(g_ReleaseLayout, 1);
  EXPECT_EQ(g_recordedSteps,
            (std::vector<std::string>{"settings", "pixel primitives", "platform facts", "data keys",
                                      "compression library", "pack index", "folder lock", "runtime tables",
                                      "folder writable", "window objects", "engine config", "sizes", "back buffer",
                                      "main window", "menu strip", "object trees", "sound device", "joysticks",
                                      "outside libraries", "script data", "pixel workers", "sound thread",
                                      "script thread", "stopwatches"}));
  EXPECT_TRUE(dialogs.mBoxes.empty());
  EXPECT_TRUE(dialogs.mErrorDialogs.empty());
  EXPECT_NE(GetMainPlatformWindow(), nullptr);
  EXPECT_NE(g_BackBuffer, nullptr);
  EXPECT_EQ(g_OsCode, 255) << "an unknown build starts";
  // The per-program lock made way for the per-folder lock.
  EXPECT_FALSE(IsInstanceLockHeld(g_InstanceMutexes[1]));
  EXPECT_TRUE(IsInstanceLockHeld(g_InstanceMutexes[2]));

  g_recordedSteps.clear();
  ShutdownEngine();
  EXPECT_EQ(g_recordedSteps,
            (std::vector<std::string>{"shutdown: sound thread", "shutdown: script thread", "shutdown: pixel workers",
                                      "shutdown: movies and sound device", "shutdown: menus",
                                      "shutdown: cursor, glyphs, save records, flash", "shutdown: libraries",
                                      "shutdown: windows"}));
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_EQ(GetMainPlatformWindow(), nullptr);
  EXPECT_EQ(g_BackBuffer, nullptr);
}

TEST_F(StartupTest, ADevelopmentFolderWithoutTheCompilerShowsTheLicenceNotice) {
  EnterGame({});
  EXPECT_EQ(Start(), -1);
  EXPECT_EQ(g_recordedSteps.back(), "script compiler");
  ASSERT_EQ(dialogs.mErrorDialogs.size(), 1u);
  EXPECT_EQ(dialogs.mErrorDialogs[0].mCaption, "License Information");
  EXPECT_EQ(dialogs.mErrorDialogs[0].mText, GetMessageText(100000));
  EXPECT_EQ(GetMainPlatformWindow(), nullptr) << "no window was made";
}

TEST_F(StartupTest, SettingsToolSwitchInAnyCaseStartsTheToolAndEnds) {
  EnterGame({"/QvCfG"});
  EXPECT_EQ(Start(), -1);
  EXPECT_EQ(g_recordedSteps.back(), "settings tool");
  ASSERT_EQ(g_detachedStarts.size(), 1u);
  ASSERT_EQ(g_detachedStarts[0].size(), 2u);
  EXPECT_EQ(g_detachedStarts[0][1], "/qvcfg");
  EXPECT_NE(g_detachedStarts[0][0].find(ConvertCp932ToUtf8("エンジン設定.exe")), std::string::npos);
  EXPECT_TRUE(dialogs.mErrorDialogs.empty());
}

TEST_F(StartupTest, InfoSwitchShowsTheNoticeAsAFatalReport) {
  EnterGame({"/INFO"});
  EXPECT_EQ(Start(), -1);
  ASSERT_EQ(dialogs.mErrorDialogs.size(), 1u);
  EXPECT_EQ(dialogs.mErrorDialogs[0].mCaption, "License Information");
  EXPECT_EQ(g_QuitFlag.load(), 1);
}

TEST_F(StartupTest, ASecondCopyOnTheSameFolderEndsAndCallsTheFirstForward) {
  ASSERT_TRUE(WriteGamePack(game.Path() + "/data.qpf", BuildScriptDataFiles(MakeFixtureGame())));
  EnterGame({});
  InstanceLock first;
  ASSERT_EQ(CreateInstanceLock(g_FolderMutexName, &first), InstanceLockResult::Created);
  int listener = OpenActivationListener(g_InstanceName);
  ASSERT_GE(listener, 0);
  EXPECT_EQ(Start(), -1);
  EXPECT_EQ(g_recordedSteps.back(), "folder lock");
  EXPECT_TRUE(TakeActivationRequest(listener));
  CloseActivationListener(listener);
  ReleaseInstanceLock(&first);
}

TEST_F(StartupTest, AFolderThatRefusesFilesIsMarkedReadOnly) {
  EnterGame({});
  TestGameFolderWritable();
  EXPECT_EQ(g_FolderReadOnly, 0);
  std::snprintf(g_ExeFolder, sizeof g_ExeFolder, "%s", (game.Path() + "/missing/").c_str());
  TestGameFolderWritable();
  EXPECT_EQ(g_FolderReadOnly, 1);
  EXPECT_TRUE(ListGameFolder(game.Path()).empty()) << "the test file is removed";
}

TEST(StartupSizesTest, AScreenLargerThanTheDesktopHalvesBothSides) {
  struct Case {
    int32_t mClientWidth, mClientHeight, mPresentWidth, mPresentHeight;
  };
  const Case cases[] = {{1280, 720, 1280, 720}, {1920, 1080, 1920, 1080}, {2000, 600, 960, 540}, {800, 1200, 960, 540}};
  for (const Case& c : cases) {
    int32_t width = 0, height = 0;
    ComputePresentSize(c.mClientWidth, c.mClientHeight, 1920, 1080, &width, &height);
    EXPECT_EQ(width, c.mPresentWidth);
    EXPECT_EQ(height, c.mPresentHeight);
  }
}

TEST(StartupSizesTest, ABackBufferWiderThan8192IsAFatalReport) {
  ResetShellState();
  DialogRecorder dialogs;
  EXPECT_FALSE(AllocBackBuffer(8193, 100));
  EXPECT_EQ(g_BackBuffer, nullptr);
  ASSERT_EQ(dialogs.mBoxes.size(), 1u);
  EXPECT_EQ(dialogs.mBoxes[0].mText, "ＣＧサイズが大きすぎます。X=8193, Y=100");
  EXPECT_EQ(g_LastErrorText, "メモリ不足です。");
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_TRUE(AllocBackBuffer(8192, 2));
  ResetShellState();
}

TEST(PlatformFactsTest, OsCodesWorkerCountsAndRefreshRates) {
  EXPECT_EQ(GetOsCodeForBuild(7600), 80);
  EXPECT_EQ(GetOsCodeForBuild(7601), 255) << "Windows 7 SP1 is not in the table";
  EXPECT_EQ(GetOsCodeForBuild(1381), 13);
  EXPECT_EQ(GetOsCodeForBuild(0x00010000 | 2600), 50) << "only the low 16 bits count";
  EXPECT_EQ(GetOsCodeForBuild(9600), 91);
  EXPECT_EQ(ComputeWorkerCount(4, 1), 1);
  EXPECT_EQ(ComputeWorkerCount(4, 8), 4);
  EXPECT_EQ(ComputeWorkerCount(1, 8), 1);
  EXPECT_EQ(ComputeWorkerCount(4, 0), 1);
  EXPECT_EQ(NormaliseRefreshRate(0), -1);
  EXPECT_EQ(NormaliseRefreshRate(1), -1);
  EXPECT_EQ(NormaliseRefreshRate(59), -1);
  EXPECT_EQ(NormaliseRefreshRate(60), 60);
}

TEST(RelaunchTest, TheProgramStartsAgainWithAnArgumentVector) {
  ResetShellState();
  g_detachedStarts.clear();
  SetDetachedStartHook(RecordDetachedStart, nullptr);
  g_GameFolderNative = "/games/a folder with spaces";
  LaunchProcess(BuildRelaunchArguments());
  SetDetachedStartHook(nullptr, nullptr);
  ASSERT_EQ(g_detachedStarts.size(), 1u);
  ASSERT_EQ(g_detachedStarts[0].size(), 2u);
  EXPECT_EQ(g_detachedStarts[0][1], "/games/a folder with spaces");
}

}  // namespace
