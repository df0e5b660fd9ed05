// The engine program as a user starts it.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "core/process_state.h"
#include "platform/instance_lock.h"
#include "platform/text_codec.h"
#include "shell/entry.h"
#include "support/fixture_game.h"
#include "support/run_program.h"
#include "support/script_data_builder.h"
#include "support/temp_folder.h"

namespace {

class ProgramTest : public testing::Test {
 protected:
  void SetUp() override { setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1); }

  std::vector<std::string> Environment() const {
    return {"ORVANE_UNATTENDED=1", "SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy",
            "XDG_RUNTIME_DIR=" + runtime.Path()};
  }

  ProgramResult Run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), ORVANE_BINARY_PATH);
    return RunProgram(arguments, Environment(), 30000);
  }

  // The lock names the program takes for the game folder.
  void ComputeLockNames() {
    ResetShellState();
    std::string folder = game.Path();
    std::vector<char*> argv = {const_cast<char*>("orvane"), folder.data()};
    std::string programFileName;
    ChooseGameFolder(2, argv.data(), &programFileName);
    programFileName = "orvane";  // the program the test starts, not the test itself
    ASSERT_TRUE(InitProcessPaths(programFileName));
  }

  TempFolder runtime{false};
  TempFolder game{false};
};

TEST_F(ProgramTest, AFolderWithoutGameDataEndsWithTheLicenceNotice) {
  ProgramResult result = Run({game.Path()});
  EXPECT_FALSE(result.mTimedOut);
  EXPECT_EQ(result.mExitCode, 0);
  // The terminal gets the box in UTF-8.
  EXPECT_NE(result.mOutput.find(ConvertCp932ToUtf8("License Information: ORVANE は次のオープンソース部品を使用しています。")),
            std::string::npos)
      << result.mOutput;
}

TEST_F(ProgramTest, TheInfoSwitchShowsTheNoticeAndEnds) {
  ProgramResult result = Run({game.Path(), "/info"});
  EXPECT_FALSE(result.mTimedOut);
  EXPECT_EQ(result.mExitCode, 0);
  EXPECT_NE(result.mOutput.find("License Information:"), std::string::npos) << result.mOutput;
}

TEST_F(ProgramTest, ASecondCopyForTheSameGameCallsTheFirstForwardAndEnds) {
  // Take the per-program lock as a first copy holds it during start-up.
  ComputeLockNames();
  InstanceLock first;
  ASSERT_EQ(CreateInstanceLock(g_InstanceName, &first), InstanceLockResult::Created);
  int listener = OpenActivationListener(g_InstanceName);
  ASSERT_GE(listener, 0);

  ProgramResult result = Run({game.Path()});
  EXPECT_FALSE(result.mTimedOut);
  EXPECT_EQ(result.mExitCode, 0);
  EXPECT_EQ(result.mOutput.find("License Information"), std::string::npos) << "it must not start";
  EXPECT_TRUE(TakeActivationRequest(listener));
  CloseActivationListener(listener);
  ReleaseInstanceLock(&first);
  ResetShellState();
}

TEST_F(ProgramTest, AGameRunsUntilItIsToldToEndAndASecondCopyEndsAtOnce) {
  ASSERT_TRUE(WriteGamePack(game.Path() + "/data.qpf", BuildScriptDataFiles(MakeFixtureGame())));
  ComputeLockNames();
  BackgroundProgram first = StartProgram({ORVANE_BINARY_PATH, game.Path()}, Environment());

  // The first copy's window listens once it exists (probing the locks
  // instead could itself make the first copy see a second one).
  bool running = false;
  for (int attempt = 0; attempt < 2000 && !running; ++attempt) {
    running = SendActivationRequest(g_InstanceName);
    if (!running) {
      ASSERT_TRUE(IsProgramRunning(first)) << FinishProgram(&first, 1000).mOutput;
      usleep(10000);
    }
  }
  ASSERT_TRUE(running);

  ProgramResult second = Run({game.Path()});
  EXPECT_FALSE(second.mTimedOut);
  EXPECT_EQ(second.mExitCode, 0);
  EXPECT_TRUE(IsProgramRunning(first)) << "the first copy runs on";

  // A termination signal ends it in order.
  usleep(200000);
  kill(first.mPid, SIGTERM);
  ProgramResult ended = FinishProgram(&first, 30000);
  EXPECT_FALSE(ended.mTimedOut);
  EXPECT_EQ(ended.mExitCode, 0) << ended.mOutput;
  ResetShellState();
}

}  // namespace
