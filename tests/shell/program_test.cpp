// The engine program as a user starts it.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/process_state.h"
#include "platform/instance_lock.h"
#include "platform/text_codec.h"
#include "shell/engine_reset.h"
#include "shell/entry.h"
#include "support/command_table.h"
#include "support/fixture_game.h"
#include "support/run_program.h"
#include "support/script_assembler.h"
#include "support/script_data_builder.h"
#include "support/script_test_env.h"
#include "support/temp_folder.h"

namespace {

class ProgramTest : public testing::Test {
 protected:
  void SetUp() override { setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1); }
  void TearDown() override { ResetEngineState(); }

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
    ResetEngineState();
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
}

// Waits until the copy of the game started as `program` has its window (it
// answers activation requests then); false when it ended first.
bool WaitForGameWindow(const BackgroundProgram& program) {
  for (int attempt = 0; attempt < 2000; ++attempt) {
    if (SendActivationRequest(g_InstanceName)) return true;
    if (!IsProgramRunning(program)) return false;
    usleep(10000);
  }
  return false;
}

// A launch that finds another start-up holding the start-up lock waits for
// it and then runs; it does not end in silence.
TEST_F(ProgramTest, ALaunchWaitsForAnotherStartUpInsteadOfEnding) {
  InstanceLock startup;
  ASSERT_EQ(CreateInstanceLock("orvane1", &startup), InstanceLockResult::Created);
  BackgroundProgram launch = StartProgram({ORVANE_BINARY_PATH, game.Path()}, Environment());
  usleep(400000);
  bool waited = IsProgramRunning(launch);
  ReleaseInstanceLock(&startup);
  ProgramResult result = FinishProgram(&launch, 30000);
  EXPECT_TRUE(waited) << "the launch ended while the start-up lock was held\n" << result.mOutput;
  EXPECT_FALSE(result.mTimedOut);
  EXPECT_EQ(result.mExitCode, 0);
  // This folder holds no game: a launch that ran shows the notice.
  EXPECT_NE(result.mOutput.find("License Information"), std::string::npos) << result.mOutput;
}

// Each termination signal closes the game in order, with the status of a
// normal end (a hang-up used to kill it outright).
TEST_F(ProgramTest, EveryTerminationSignalEndsTheGameInOrder) {
  ASSERT_TRUE(WriteGamePack(game.Path() + "/data.qpf", BuildScriptDataFiles(MakeFixtureGame())));
  ComputeLockNames();
  for (int signal : {SIGHUP, SIGINT, SIGTERM}) {
    SCOPED_TRACE(strsignal(signal));
    BackgroundProgram program = StartProgram({ORVANE_BINARY_PATH, game.Path()}, Environment());
    ASSERT_TRUE(WaitForGameWindow(program)) << FinishProgram(&program, 1000).mOutput;
    kill(program.mPid, signal);
    ProgramResult ended = FinishProgram(&program, 30000);
    EXPECT_FALSE(ended.mTimedOut);
    EXPECT_EQ(ended.mExitCode, 0) << ended.mOutput;
  }
}

// A run that ends on a fatal report tells its launcher so; a run that ends
// as the script asks ends with 0.
TEST_F(ProgramTest, AFatalReportEndsWithAFailureStatus) {
  struct Case {
    const char* mName;
    bool mFatal;
    int mExitCode;
  };
  const Case cases[] = {{"end command", false, 0}, {"missing label", true, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mName);
    ScriptData data;
    data.mMessages = TaggedMessages(FixtureMessageIds());
    data.mCommands = StandardCommandTable();
    ScriptAssembler main(StandardCommandTable(), 0);
    main.Label("SYSTEM_START");
    main.Op("wait", {{"frames", Num(2)}});
    if (c.mFatal) main.Call(Str("no_such_label"));
    main.Op("end");
    AddScript(data, main, "main.txt");
    ASSERT_TRUE(WriteGamePack(game.Path() + "/data.qpf", BuildScriptDataFiles(data)));
    ProgramResult result = Run({game.Path()});
    EXPECT_FALSE(result.mTimedOut);
    EXPECT_EQ(result.mExitCode, c.mExitCode) << result.mOutput;
    EXPECT_EQ(result.mOutput.find("E108180") != std::string::npos, c.mFatal) << result.mOutput;
  }
}

struct DisplayLossCase {
  const char* mName;
  uint32_t mThreadedStep;  // the game's threaded-stepping switch
  // The program is told to end at the moment its display dies (Ctrl+C on a
  // run under xvfb-run reaches both): the server goes while the window
  // closes.
  bool mSignalledToo;
};

class DisplayLossTest : public ProgramTest, public testing::WithParamInterface<DisplayLossCase> {};

TEST_P(DisplayLossTest, LosingTheDisplayEndsTheGameInOrderAndFreesItsLocks) {
  if (FindVirtualDisplayServer().empty()) GTEST_SKIP() << "Xvfb is not installed";
  ScriptData data = MakeFixtureGame();
  data.mConfig.mThreadedStep = GetParam().mThreadedStep;
  ASSERT_TRUE(WriteGamePack(game.Path() + "/data.qpf", BuildScriptDataFiles(data)));
  ComputeLockNames();
  VirtualDisplay display;
  ASSERT_TRUE(StartVirtualDisplay(&display, 20000));

  std::vector<std::string> onDisplay = Environment();
  onDisplay[1] = "SDL_VIDEODRIVER=x11";
  onDisplay.push_back("DISPLAY=" + display.mName);
  BackgroundProgram first = StartProgram({ORVANE_BINARY_PATH, game.Path()}, onDisplay);
  bool shown = WaitForGameWindow(first);
  if (!shown) StopVirtualDisplay(&display);
  ASSERT_TRUE(shown) << FinishProgram(&first, 1000).mOutput;
  // Frames run and the pixel workers wait for work when the display dies.
  usleep(300000);
  if (GetParam().mSignalledToo) kill(first.mPid, SIGINT);
  StopVirtualDisplay(&display);

  ProgramResult ended = FinishProgram(&first, 5000);
  EXPECT_FALSE(ended.mTimedOut) << "the program hung after its display went away\n" << ended.mOutput;
  EXPECT_EQ(ended.mExitCode, 0) << "the program did not end as a close does\n" << ended.mOutput;

  // The locks went with it: a new start of the same game runs.
  BackgroundProgram second = StartProgram({ORVANE_BINARY_PATH, game.Path()}, Environment());
  EXPECT_TRUE(WaitForGameWindow(second)) << "the game's instance locks were kept";
  EXPECT_TRUE(IsProgramRunning(second));
  kill(second.mPid, SIGTERM);
  ProgramResult again = FinishProgram(&second, 30000);
  EXPECT_FALSE(again.mTimedOut);
  EXPECT_EQ(again.mExitCode, 0) << again.mOutput;
  ResetEngineState();
}

INSTANTIATE_TEST_SUITE_P(Cases, DisplayLossTest,
                         testing::Values(DisplayLossCase{"SteppingOnTheMainThread", 0, false},
                                         DisplayLossCase{"SteppingOnTheScriptThread", 1, false},
                                         DisplayLossCase{"WhileClosingOnASignal", 0, true},
                                         DisplayLossCase{"WhileClosingOnASignalWithTheScriptThread", 1, true}),
                         [](const testing::TestParamInfo<DisplayLossCase>& info) {
                           return std::string(info.param.mName);
                         });

}  // namespace
