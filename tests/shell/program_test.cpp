// The engine program as a user starts it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/instance_lock.h"
#include "platform/text_codec.h"
#include "shell/entry.h"
#include "shell/process_state.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace {

class ProgramTest : public testing::Test {
 protected:
  void SetUp() override { setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1); }

  ProgramResult Run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), ORVANE_BINARY_PATH);
    return RunProgram(arguments,
                      {"ORVANE_UNATTENDED=1", "SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy",
                       "XDG_RUNTIME_DIR=" + runtime.Path()},
                      30000);
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
  // Take the per-program lock as a running first copy holds it.
  ResetShellState();
  std::string folder = game.Path();
  std::vector<char*> argv = {const_cast<char*>("orvane"), folder.data()};
  std::string programFileName;
  ChooseGameFolder(2, argv.data(), &programFileName);
  programFileName = "orvane";  // the program the test starts, not the test itself
  ASSERT_TRUE(InitProcessPaths(programFileName));
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

}  // namespace
