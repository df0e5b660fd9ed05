// The demo game that the run command starts: its script runs to its end
// without a report, moving its layers frame by frame, and the program shows
// it and ends on its own.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "demo/demo_game.h"
#include "core/input_state.h"
#include "layer/layer_record.h"
#include "script/script_data.h"
#include "script/variables.h"
#include "shell/engine_reset.h"
#include "support/fixture_game.h"
#include "support/run_program.h"
#include "support/script_runner.h"
#include "support/temp_folder.h"

namespace {

// True when the text holds a message tag: "E", six digits, "[".
bool HasMessageTag(const std::string& text) {
  for (size_t at = text.find('E'); at != std::string::npos; at = text.find('E', at + 1)) {
    size_t digits = 0;
    while (at + 1 + digits < text.size() && std::isdigit(static_cast<unsigned char>(text[at + 1 + digits]))) ++digits;
    if (digits == 6 && at + 7 < text.size() && text[at + 7] == '[') return true;
  }
  return false;
}

const LayerRecord* Layer(const char* path) {
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, path, kPathLeaf);
  return node != nullptr ? static_cast<const LayerRecord*>(node->mPayload) : nullptr;
}

TEST(DemoGameTest, TheScriptMovesItsLayersAndEndsWithoutAReport) {
  ScriptRunner game;
  game.mData = DemoScript();
  game.mEnv.Write(DemoPictures());
  ASSERT_TRUE(game.Load());
  ASSERT_TRUE(game.Frame());
  for (const char* path : {"W0/sky", "W0/sun", "W0/red", "W0/band", "W0/green", "W0/square"}) {
    SCOPED_TRACE(path);
    ASSERT_NE(Layer(path), nullptr);
    EXPECT_NE(Layer(path)->mPixels, nullptr);
  }
  EXPECT_EQ(Layer("W0/sky")->mWidth, kDemoWidth);
  EXPECT_EQ(Layer("W0/sky")->mHeight, kDemoHeight);
  EXPECT_EQ(Layer("W0/band")->mHasAlpha, 1);
  int64_t redStart = Layer("W0/red")->mX;
  int64_t sunStart = Layer("W0/sun")->mOpacity;
  for (int frame = 0; frame < 10; ++frame) ASSERT_TRUE(game.Frame());
  EXPECT_EQ(Layer("W0/red")->mX - redStart, 30);
  EXPECT_EQ(Layer("W0/sun")->mOpacity - sunStart, 10);
  int frames = game.RunUntilQuit(kDemoFrames + 10);
  EXPECT_LT(frames, kDemoFrames + 10) << "the demo must end on its own";
  EXPECT_EQ(g_LastErrorText, "");
}

TEST(DemoGameTest, TheProgramRunsTheDemoPackToItsEnd) {
  TempFolder runtime{false};
  TempFolder folder{false};
  std::vector<GameFile> files = BuildScriptDataFiles(DemoScript());
  for (GameFile& picture : DemoPictures()) files.push_back(std::move(picture));
  ASSERT_TRUE(WriteGamePack(folder.Path() + "/data.qpf", files));
  ProgramResult result = RunProgram({ORVANE_BINARY_PATH, folder.Path()},
                                    {"ORVANE_UNATTENDED=1", "SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy",
                                     "XDG_RUNTIME_DIR=" + runtime.Path()},
                                    60000);
  EXPECT_FALSE(result.mTimedOut);
  EXPECT_EQ(result.mExitCode, 0) << result.mOutput;
  // Every message of the demo is tagged "E<number>[...]": none may show.
  EXPECT_FALSE(HasMessageTag(result.mOutput)) << result.mOutput;
  ResetEngineState();
}

}  // namespace

namespace {

TEST(DemoGameTest, TheSaveKeyKeepsTheRedDiscAndTheLoadKeyBringsItBack) {
  ScriptRunner game;
  game.mData = DemoScript();
  game.mEnv.Write(DemoPictures());
  ASSERT_TRUE(game.Load());
  for (int frame = 0; frame < 5; ++frame) ASSERT_TRUE(game.Frame());
  int64_t savedX = Layer("W0/red")->mX;
  g_InputPressCount[g_ScriptKeyTable[kDemoSaveKey]] = 1;
  ASSERT_TRUE(game.Frame()) << g_LastErrorText;
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(g_InputPressCount[g_ScriptKeyTable[kDemoSaveKey]], 0);
  int64_t savedCounter = GetIntElement(kDemoCounterVariable, 0);
  for (int frame = 0; frame < 20; ++frame) ASSERT_TRUE(game.Frame());
  EXPECT_GT(Layer("W0/red")->mX, savedX + 3 * 15);
  g_InputPressCount[g_ScriptKeyTable[kDemoLoadKey]] = 1;
  // A load ends the frame of the task: the next frame shows the disc back.
  game.Frame();
  game.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_GE(GetIntElement(kDemoCounterVariable, 0), savedCounter);
  EXPECT_LE(GetIntElement(kDemoCounterVariable, 0), savedCounter + 2);
  EXPECT_GE(Layer("W0/red")->mX, savedX);
  EXPECT_LE(Layer("W0/red")->mX, savedX + 3 * 2);
  EXPECT_EQ(Layer("W0/red")->mY, 180);
  EXPECT_EQ(Layer("W0/red")->mWidth, 90);
  int frames = game.RunUntilQuit(kDemoFrames + 10);
  EXPECT_LT(frames, kDemoFrames + 10);
  EXPECT_EQ(g_LastErrorText, "");
}

}  // namespace
