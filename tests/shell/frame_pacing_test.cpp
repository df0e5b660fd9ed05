#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "core/process_state.h"
#include "core/stopwatches.h"
#include "shell/engine_reset.h"
#include "shell/entry.h"
#include "shell/frame.h"
#include "support/fake_clock.h"

namespace {

class FramePacingTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState();
    // The first frame finds the clock far from the time base and starts it.
    PaceFrame();
    clock.mSleeps.clear();
  }
  void TearDown() override { ResetEngineState(); }

  uint32_t CurrentIntervalMs() const { return g_FrameIntervalFixed >> 16; }

  FakeClock clock{100000};
};

TEST_F(FramePacingTest, SixtyFramesPerSecondAlternateSixteenAndSeventeen) {
  ResetFrameState();
  std::vector<uint32_t> intervals;
  for (int frame = 0; frame < 60; ++frame) {
    PaceFrame();
    intervals.push_back(CurrentIntervalMs());
  }
  std::vector<uint32_t> first(intervals.begin(), intervals.begin() + 12);
  EXPECT_EQ(first, (std::vector<uint32_t>{16, 17, 16, 17, 17, 16, 17, 17, 16, 17, 17, 16}));
  EXPECT_EQ(std::accumulate(intervals.begin(), intervals.end(), 0u), 999u);
}

TEST_F(FramePacingTest, AnEarlyFrameSleepsOutItsInterval) {
  clock.Advance(5);
  EXPECT_EQ(PaceFrame(), 0);
  ASSERT_EQ(clock.mSleeps.size(), 1u);
  EXPECT_EQ(clock.mSleeps[0], CurrentIntervalMs() - 5);
  EXPECT_EQ(g_PaceNow, clock.Now());
  // Steady frames keep the time base on the clock.
  EXPECT_EQ(g_LastFrameTime, clock.Now());
}

TEST_F(FramePacingTest, ALateFrameMakesTheNextOneWaitLongerWithoutSkipping) {
  PaceFrame();  // on time
  clock.Advance(20);
  EXPECT_EQ(PaceFrame(), 0);
  uint32_t lag = 20 - CurrentIntervalMs();
  ASSERT_TRUE(lag == 3 || lag == 4);
  EXPECT_TRUE(clock.mSleeps.size() == 1);  // only the on-time frame slept
  EXPECT_EQ(g_LastFrameTime, clock.Now() + lag);

  clock.mSleeps.clear();
  EXPECT_EQ(PaceFrame(), 0);
  ASSERT_EQ(clock.mSleeps.size(), 1u);
  EXPECT_EQ(clock.mSleeps[0], CurrentIntervalMs() + lag);
}

struct LagCase {
  uint32_t mLagMs;
  int32_t mFrameSkip;
  uint8_t mVerdict;
  bool mForgotten;
};

class FrameLagTest : public FramePacingTest, public testing::WithParamInterface<LagCase> {};

TEST_P(FrameLagTest, LagDecidesTheSkipVerdictAndTheTimeBase) {
  const LagCase& lagCase = GetParam();
  g_FrameSkip = lagCase.mFrameSkip;
  PaceFrame();
  uint32_t next = ((g_FrameIntervalFixed & 0xFFFF) + 65536000u / 60) >> 16;
  clock.Advance(next + lagCase.mLagMs);
  EXPECT_EQ(PaceFrame(), lagCase.mVerdict);
  uint32_t expectedLag = lagCase.mForgotten ? 0 : lagCase.mLagMs;
  EXPECT_EQ(g_LastFrameTime, clock.Now() + expectedLag);
  EXPECT_EQ(g_PaceNow, clock.Now() + expectedLag);
}

INSTANTIATE_TEST_SUITE_P(Lags, FrameLagTest,
                         testing::Values(LagCase{60, 1, 1, false}, LagCase{60, 0, 0, false},
                                         LagCase{47, 1, 0, false}, LagCase{249, 1, 1, false},
                                         LagCase{300, 1, 0, true}, LagCase{250, 1, 0, true}),
                         [](const testing::TestParamInfo<LagCase>& info) {
                           return "Lag" + std::to_string(info.param.mLagMs) + "Skip" +
                                  std::to_string(info.param.mFrameSkip);
                         });

TEST_F(FramePacingTest, FrameRateCountersRollOverEachSecond) {
  clock.Set(200999);
  g_SecondStart = 200000;
  g_StepsThisSecond = 41;
  g_DrawnThisSecond = 40;
  g_LastFrameTime = clock.Now();
  PaceFrame();  // sleeps into the next second
  EXPECT_EQ(g_ShownStepRate, 41u);
  EXPECT_EQ(g_ShownDrawRate, 40u);
  EXPECT_EQ(g_StepsThisSecond, 1u);
  EXPECT_EQ(g_DrawnThisSecond, 0u);
}

TEST_F(FramePacingTest, AClockFarBehindTheTimeBaseRestartsInsteadOfSleepingForAges) {
  g_LastFrameTime = clock.Now() + 0x80000000u;
  EXPECT_EQ(PaceFrame(), 0);
  EXPECT_TRUE(clock.mSleeps.empty());
  EXPECT_EQ(g_LastFrameTime, clock.Now());
}

TEST_F(FramePacingTest, RunFrameDoesNothingWhileTheCloseQuestionIsOpen) {
  g_PausedByCloseQuestion = 1;
  int64_t steps = g_StepCounter;
  EXPECT_EQ(RunFrame(), 0);
  EXPECT_EQ(g_FrameCounter, 1);
  EXPECT_EQ(g_StepCounter, steps);
  EXPECT_TRUE(clock.mSleeps.empty());
}

TEST_F(FramePacingTest, RunFrameEndsOnTheQuitFlag) {
  g_QuitFlag.store(1);
  EXPECT_EQ(RunFrame(), 1);
  EXPECT_EQ(g_StepCounter, 0);
}

TEST_F(FramePacingTest, ASkippedFrameStepsButDoesNotPresent) {
  g_LastFrameTime = clock.Now();
  EXPECT_EQ(RunFrame(), 0);
  EXPECT_EQ(g_DrawnThisSecond, 1u);
  EXPECT_EQ(g_StepCounter, 1);

  g_SkipDraw = 1;
  EXPECT_EQ(RunFrame(), 0);
  EXPECT_EQ(g_StepCounter, 2);
  EXPECT_EQ(g_DrawnThisSecond, 1u);
  EXPECT_EQ(g_SkipDraw, 0) << "the verdict lives one frame";
}

TEST_F(FramePacingTest, ScriptPauseMovesOnlyPausableStopwatches) {
  for (uint32_t& base : g_StopwatchBase) base = 1000;
  g_StopwatchPausable[2] = 0;
  BeginScriptPause();
  clock.Advance(500);
  BeginScriptPause();  // a second begin changes nothing
  clock.Advance(250);
  EndScriptPause();
  EndScriptPause();  // an end while not paused changes nothing
  EXPECT_EQ(g_StopwatchBase[0], 1750u);
  EXPECT_EQ(g_StopwatchBase[1], 1750u);
  EXPECT_EQ(g_StopwatchBase[2], 1000u);
  EXPECT_EQ(g_StopwatchBase[3], 1750u);
}

}  // namespace
