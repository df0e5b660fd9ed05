#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "core/process_state.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "shell/entry.h"
#include "shell/frame.h"

namespace {

class ThreadedSteppingTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetShellState();
    g_FrameRate = 500;
  }
  void TearDown() override {
    SetWindowProcedure(nullptr);
    ResetShellState();
  }
};

TEST_F(ThreadedSteppingTest, ShutdownEndsARunningScriptThreadWithoutAnyCloseFirst) {
  g_ThreadedStep.store(1);
  ASSERT_EQ(StartScriptThread(), 0);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (g_ScriptThreadState.load() != 0 && std::chrono::steady_clock::now() < deadline) SleepMs(1);
  ASSERT_EQ(g_ScriptThreadState.load(), 0);
  EXPECT_EQ(g_QuitFlag.load(), 0);
  auto start = std::chrono::steady_clock::now();
  ShutdownEngine();
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(g_ScriptThreadState.load(), 9);
  EXPECT_LT(took, std::chrono::seconds(4)) << "shutdown waited for a thread that only ends on the quit flag";
}

std::atomic<int> g_dispatched{0};
std::atomic<int> g_overlaps{0};

int64_t CheckingProcedure(PlatformWindow*, uint32_t message, uint64_t, int64_t) {
  // Window work must never run while the stepping thread does frame work:
  // while it runs (state 0) it must be asleep in pacing.
  if (g_ScriptThreadState.load() == 0 && g_PacingSleep.load() != 1) g_overlaps.fetch_add(1);
  SleepMs(1);
  if (message == kMsgCommand && g_dispatched.fetch_add(1) + 1 == 200) PostQuitMessage(0);
  return 0;
}

TEST_F(ThreadedSteppingTest, WindowMessagesAreHandledOnlyWhileTheStepperSleeps) {
  g_dispatched.store(0);
  g_overlaps.store(0);
  SetWindowProcedure(CheckingProcedure);
  g_ThreadedStep.store(1);
  ASSERT_EQ(StartScriptThread(), 0);
  std::thread poster([] {
    for (int index = 0; index < 200; ++index) {
      PostWindowMessage(nullptr, kMsgCommand, static_cast<uint64_t>(index), 0);
      SleepMs(index % 3 == 0 ? 1 : 0);
    }
  });
  EXPECT_EQ(RunMessageLoop(), 0);
  poster.join();
  ShutdownEngine();
  EXPECT_EQ(g_dispatched.load(), 200);
  EXPECT_EQ(g_overlaps.load(), 0);
  EXPECT_GT(g_FrameCounter, 0);
}

}  // namespace
