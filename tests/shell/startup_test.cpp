#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "datasrc/compiler_link.h"
#include "datasrc/compression.h"
#include "datasrc/pack_index.h"
#include "platform/game_files.h"
#include "platform/instance_lock.h"
#include "platform/edit_field.h"
#include "platform/process.h"
#include "platform/shared_memory.h"
#include "platform/text_codec.h"
#include "platform/window.h"
#include "shell/appended_data.h"
#include "shell/engine_reset.h"
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
    ResetEngineState();
    g_recordedSteps.clear();
    g_detachedStarts.clear();
    SetShellStepHook(RecordStep);
    SetDetachedStartHook(RecordDetachedStart, nullptr);
    runtime.WriteFile("keep", "");
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
  }
  void TearDown() override {
    SetShellStepHook(nullptr);
    SetDetachedStartHook(nullptr, nullptr);
    ResetEngineState();
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
  EXPECT_EQ(dialogs.mErrorDialogs[0].mText, GetMessageText(kMsgOpenSourceNotice));
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

// The screen saver's window takes no typed text: no input method serves it.
class ScreenSaverTextTest : public StartupTest, public testing::WithParamInterface<bool> {};

TEST_P(ScreenSaverTextTest, TypedTextReachesAFocusedFieldOnlyOutsideScreenSaverMode) {
  bool saver = GetParam();
  ASSERT_TRUE(WriteGamePack(game.Path() + "/data.qpf", BuildScriptDataFiles(MakeFixtureGame())));
  EnterGame({});
  g_ScreenSaverMode = saver ? 1 : 0;
  ASSERT_EQ(Start(), 0);
  PlatformWindow* main = GetMainPlatformWindow();
  ASSERT_NE(main, nullptr);
  PlatformEditField* field = CreatePlatformEditField(main, 0, 0, 100, 20, "", 64);
  FocusPlatformEditField(field, true);
  EXPECT_EQ(SDL_IsTextInputActive() == SDL_TRUE, !saver);
  SDL_Event typed{};
  typed.type = SDL_TEXTINPUT;
  typed.text.windowID = SDL_GetWindowID(GetSdlWindow(main));
  SDL_strlcpy(typed.text.text, "a", sizeof typed.text.text);
  TranslatePlatformWindowEvent(typed);
  EXPECT_EQ(GetPlatformEditFieldText(field), saver ? "" : "a");
  DestroyPlatformEditField(field);
  ShutdownEngine();
}

INSTANTIATE_TEST_SUITE_P(Modes, ScreenSaverTextTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "ScreenSaver" : "Game");
                         });

TEST_F(StartupTest, AFolderThatRefusesFilesIsMarkedReadOnly) {
  EnterGame({});
  TestGameFolderWritable();
  EXPECT_EQ(g_FolderReadOnly, 0);
  std::snprintf(g_ExeFolder, sizeof g_ExeFolder, "%s", (game.Path() + "/missing/").c_str());
  TestGameFolderWritable();
  EXPECT_EQ(g_FolderReadOnly, 1);
  EXPECT_TRUE(ListGameFolder(game.Path()).empty()) << "the test file is removed";
}

// /proc takes no new file from anyone, root included.
constexpr const char* kRefusingFolder = "\\proc\\";

TEST_F(StartupTest, TheWritableTestLooksAtTheGameFolderNotTheProgramFolder) {
  EnterGame({});
  const std::string takesFiles = g_ExeFolder;
  struct Case {
    const char* mLabel;
    std::string mProgramFolder;
    std::string mReportedFolder;  // the compiler's answer; empty in the release layout
    int mReadOnly;
  };
  const Case cases[] = {
      {"the reported game folder refuses", takesFiles, kRefusingFolder, 1},
      {"only the program folder refuses", kRefusingFolder, takesFiles, 0},
      {"a relative answer names the current folder, which takes files", kRefusingFolder, "game", 0},
      {"release layout: the program folder is the game folder", kRefusingFolder, "", 1},
  };
  for (const Case& c : cases) {
    g_FolderReadOnly = 0;
    std::snprintf(g_ExeFolder, sizeof g_ExeFolder, "%s", c.mProgramFolder.c_str());
    std::snprintf(g_GameFolder, sizeof g_GameFolder, "%s", c.mReportedFolder.c_str());
    EXPECT_EQ(TestGameFolderWritable(), 0);
    EXPECT_EQ(static_cast<int>(g_FolderReadOnly), c.mReadOnly) << c.mLabel;
  }
  g_GameFolder[0] = '\0';
  EXPECT_TRUE(ListGameFolder(game.Path()).empty()) << "the test file is removed";
}

// The script compiler hands the script data over and answers a game folder
// that refuses files, while the program folder (which holds the compiler)
// takes them.
TEST_F(StartupTest, ADevelopmentGameInAFolderThatRefusesFilesStartsMarkedReadOnly) {
  static int run = 0;
  std::string suffix = ".startup." + std::to_string(getpid()) + "." + std::to_string(++run);
  SetSharedMemoryNameSuffix(suffix);
  std::filesystem::create_directories(game.Path() + "/system/VODod");
  std::filesystem::create_symlink(ORVANE_FAKE_COMPILER_PATH, game.Path() + "/system/VODod/VODod.exe");
  std::vector<GameFile> files = BuildScriptDataFiles(MakeFixtureGame());
  std::string hex;
  auto addWord = [&hex](uint32_t value) {
    char text[9];
    for (int b = 0; b < 4; ++b) {
      std::snprintf(text, sizeof text, "%02x", (value >> (8 * b)) & 0xFF);
      hex += text;
    }
  };
  auto addBytes = [&hex](const uint8_t* bytes, size_t size) {
    char text[3];
    for (size_t i = 0; i < size; ++i) {
      std::snprintf(text, sizeof text, "%02x", bytes[i]);
      hex += text;
    }
  };
  for (const GameFile& file : files) {
    addWord(static_cast<uint32_t>(file.mName.size() + 1));
    addBytes(reinterpret_cast<const uint8_t*>(file.mName.c_str()), file.mName.size() + 1);
    addWord(static_cast<uint32_t>(file.mBytes.size()));
    addBytes(file.mBytes.data(), file.mBytes.size());
  }
  game.WriteFile("system/VODod/fake_compiler.txt", "suffix " + suffix + "\ncount " + std::to_string(files.size()) +
                                                       "\nblock-hex " + hex + "\nfolder " + kRefusingFolder + "\n");
  EnterGame({});
  int result = Start();
  SetSharedMemoryNameSuffix("");
  ASSERT_EQ(result, 0) << (dialogs.mErrorDialogs.empty() ? "" : dialogs.mErrorDialogs[0].mText);
  EXPECT_EQ(g_ReleaseLayout, 0);
  EXPECT_EQ(std::string(g_GameFolder), kRefusingFolder);
  EXPECT_EQ(g_FolderReadOnly, 1);
  EXPECT_TRUE(dialogs.mErrorDialogs.empty());
}

struct CompressionUses {
  const char* mLabel;
  uint8_t mVariables, mSlots, mImages, mPacks;
  bool mLoaded;
};

void PrintTo(const CompressionUses& uses, std::ostream* out) { *out << uses.mLabel; }

class StartupCompressionTest : public StartupTest, public testing::WithParamInterface<CompressionUses> {
 protected:
  void TearDown() override {
    g_UseSnpVariables = 1;
    g_UseSnpSlots = g_UseSnpImages = g_UseSnpPacks = 0;
    StartupTest::TearDown();
  }
};

// The start-up loads the compression library when any of its four uses is
// on; as shipped, variable records always use it.
TEST_P(StartupCompressionTest, TheLibraryIsLoadedWhenAnyUseIsOn) {
  ASSERT_TRUE(WriteGamePack(game.Path() + "/data.qpf", BuildScriptDataFiles(MakeFixtureGame())));
  EnterGame({});
  ReleaseCompressionLibrary();
  const CompressionUses& uses = GetParam();
  g_UseSnpVariables = uses.mVariables;
  g_UseSnpSlots = uses.mSlots;
  g_UseSnpImages = uses.mImages;
  g_UseSnpPacks = uses.mPacks;
  ASSERT_EQ(Start(), 0) << "start-up needs the library only for a use that is on";
  EXPECT_EQ(g_SnpModule, uses.mLoaded);
  if (!uses.mLoaded) {
    EXPECT_EQ(g_SnpApi.mUncompress, nullptr);
    return;
  }
  ASSERT_NE(g_SnpApi.mCompressedLength, nullptr);
  ASSERT_NE(g_SnpApi.mCompress, nullptr);
  ASSERT_NE(g_SnpApi.mUncompressedLength, nullptr);
  ASSERT_NE(g_SnpApi.mUncompress, nullptr);
  // The bound entry points work together: a record round-trips.
  const std::string record(300, 'v');
  std::string packed(g_SnpApi.mCompressedLength(record.size()), '\0');
  size_t length = packed.size();
  ASSERT_EQ(g_SnpApi.mCompress(record.data(), record.size(), packed.data(), &length), 0);
  std::string back(record.size(), '\0');
  size_t backLength = back.size();
  ASSERT_EQ(g_SnpApi.mUncompress(packed.data(), length, back.data(), &backLength), 0);
  EXPECT_EQ(back, record);
}

INSTANTIATE_TEST_SUITE_P(
    Uses, StartupCompressionTest,
    testing::Values(CompressionUses{"AsShipped", 1, 0, 0, 0, true}, CompressionUses{"SlotsOnly", 0, 1, 0, 0, true},
                    CompressionUses{"ImagesOnly", 0, 0, 1, 0, true}, CompressionUses{"NoUse", 0, 0, 0, 0, false}),
    [](const testing::TestParamInfo<CompressionUses>& info) { return std::string(info.param.mLabel); });

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
  ResetEngineState();
  DialogRecorder dialogs;
  EXPECT_FALSE(AllocBackBuffer(8193, 100));
  EXPECT_EQ(g_BackBuffer, nullptr);
  ASSERT_EQ(dialogs.mBoxes.size(), 1u);
  EXPECT_EQ(dialogs.mBoxes[0].mText, "ＣＧサイズが大きすぎます。X=8193, Y=100");
  EXPECT_EQ(g_LastErrorText, "メモリ不足です。");
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_TRUE(AllocBackBuffer(8192, 2));
  ResetEngineState();
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
  ResetEngineState();
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
