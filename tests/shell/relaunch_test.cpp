// The end-program command with the restart byte starts the program again
// after shutdown. The new copy takes the same instance locks at once, so
// this copy must have let go of every one of them before it starts it:
// otherwise the new copy finds the game running and ends silently.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/process_state.h"
#include "platform/instance_lock.h"
#include "platform/messages.h"
#include "platform/process.h"
#include "shell/engine_reset.h"
#include "shell/entry.h"
#include "shell/startup.h"
#include "support/dialog_recorder.h"
#include "support/fixture_game.h"
#include "support/script_data_builder.h"
#include "support/script_test_env.h"
#include "support/temp_folder.h"

namespace {

struct RelaunchRecord {
  int mStarts = 0;
  std::vector<std::string> mArguments;
  std::vector<std::string> mLocksStillHeld;  // lock names a new copy could not take
};
RelaunchRecord g_relaunch;

bool RecordRelaunch(void*, const std::vector<std::string>& arguments) {
  ++g_relaunch.mStarts;
  g_relaunch.mArguments = arguments;
  for (int slot = 0; slot < 3; ++slot) {
    if (IsInstanceLockHeld(g_InstanceMutexes[slot])) g_relaunch.mLocksStillHeld.push_back("slot " + std::to_string(slot));
  }
  // What the new copy takes, in its order.
  for (const std::string& name : {std::string("orvane1"), std::string(g_InstanceName), std::string(g_FolderMutexName)}) {
    InstanceLock probe;
    if (CreateInstanceLock(name, &probe) != InstanceLockResult::Created) g_relaunch.mLocksStillHeld.push_back(name);
    ReleaseInstanceLock(&probe);
  }
  return true;
}

// The game asks for the end with a restart once start-up is through, as the
// end-program command does from its first frame.
void EndWithRestartAfterStartUp(const char* step) {
  if (std::strcmp(step, "stopwatches") != 0) return;
  g_RelaunchOnExit.store(1);
  RequestClose();
}

class RelaunchOrderTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState();
    g_relaunch = RelaunchRecord();
    runtime.WriteFile("keep", "");
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    SetDetachedStartHook(RecordRelaunch, nullptr);
    SetShellStepHook(EndWithRestartAfterStartUp);
  }
  void TearDown() override {
    SetShellStepHook(nullptr);
    SetDetachedStartHook(nullptr, nullptr);
    SetWindowProcedure(nullptr);
    ReleaseInstanceMutexes();
    ResetEngineState();
  }

  TempFolder game;
  TempFolder runtime{false};
  DialogRecorder dialogs;
};

TEST_F(RelaunchOrderTest, EveryInstanceLockIsReleasedBeforeTheNewCopyStarts) {
  ASSERT_TRUE(WriteGamePack(game.Path() + "/data.qpf", BuildScriptDataFiles(MakeFixtureGame())));
  std::string folder = game.Path();
  std::vector<char*> argv = {const_cast<char*>("orvane"), folder.data(), nullptr};
  EXPECT_EQ(WinMain(2, argv.data()), 0);
  EXPECT_TRUE(dialogs.mErrorDialogs.empty());
  ASSERT_EQ(g_relaunch.mStarts, 1) << "the program starts itself again";
  ASSERT_EQ(g_relaunch.mArguments.size(), 2u);
  EXPECT_EQ(g_relaunch.mArguments[1], game.Path()) << "for the same game";
  std::string held;
  for (const std::string& name : g_relaunch.mLocksStillHeld) held += "[" + name + "] ";
  EXPECT_TRUE(held.empty()) << "still held when the new copy starts: " << held;
}

}  // namespace
