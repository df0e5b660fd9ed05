// The shell's run-time switch commands: frame rate, input switches, the
// cursor, the screen-saver block, background running, the logical screen
// size and the stopwatches.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/display_state.h"
#include "core/errors.h"
#include "core/input_state.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "core/stopwatches.h"
#include "core/window_table.h"
#include "layer/layer_record.h"
#include "image/pixel_buffers.h"
#include "platform/cursors.h"
#include "platform/gpu_device.h"
#include "render/direct3d.h"
#include "script/task_step.h"
#include "shell/frame.h"
#include "shell/input.h"
#include "shell/startup.h"
#include "shell/window_objects.h"
#include "support/fake_clock.h"
#include "support/gpu_fixture.h"
#include "support/script_assembler.h"
#include "support/script_runner.h"

namespace {

// A script whose frames are written one by one: frame n runs `frames[n]`.
class SwitchCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { g_WindowTable[0] = &mMain; }
  void TearDown() override { g_WindowTable[0] = nullptr; }

  void Load(const std::vector<std::function<void(ScriptAssembler&)>>& frames) {
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    for (const auto& frame : frames) {
      frame(code);
      code.Op("wait", {{"frames", Num(1)}});
    }
    mGame.Add(code);
    ASSERT_TRUE(mGame.Load());
    g_WindowTable[0] = &mMain;
  }

  FakeClock mClock{50000};
  ScriptRunner mGame;
  WindowObject mMain;
};

struct RateCase {
  const char* mName;
  int64_t mFps;
  int32_t mStored;
  uint32_t mIntervalMs;
};

class FrameRateTest : public SwitchCommandTest, public ::testing::WithParamInterface<RateCase> {};

TEST_P(FrameRateTest, TheRatePacesTheFramesAndABadRatePacesAsOne) {
  const RateCase& c = GetParam();
  g_StepsThisSecond = 12;
  g_DrawnThisSecond = 9;
  Load({[&](ScriptAssembler& code) { code.Op("frame_rate", {{"fps", Num(c.mFps)}}); }});
  mGame.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(g_FrameRate, c.mStored);
  EXPECT_EQ(g_ShownStepRate, 12u);
  EXPECT_EQ(g_ShownDrawRate, 9u);
  EXPECT_EQ(g_StepsThisSecond, 0u);
  EXPECT_EQ(g_DrawnThisSecond, 0u);
  EXPECT_EQ(g_SecondStart, mClock.Now());
  // Pacing from a fresh time base: the second frame sleeps one interval.
  g_LastFrameTime = mClock.Now();
  g_FrameIntervalFixed = 0;
  mClock.mSleeps.clear();
  PaceFrame();
  ASSERT_EQ(mClock.mSleeps.size(), 1u);
  EXPECT_EQ(mClock.mSleeps[0], c.mIntervalMs);
}

INSTANTIATE_TEST_SUITE_P(Cases, FrameRateTest,
                         ::testing::Values(RateCase{"Thirty", 30, 30, 33}, RateCase{"Ten", 10, 10, 100},
                                           RateCase{"Zero", 0, 1, 1000}, RateCase{"Negative", -5, 1, 1000}),
                         [](const ::testing::TestParamInfo<RateCase>& info) { return std::string(info.param.mName); });

TEST_F(SwitchCommandTest, FrameSkipOffKeepsDrawingWhenFarBehind) {
  Load({[](ScriptAssembler& code) { code.Op("frame_rate", {{"skip", Num(0)}}); }});
  mGame.Frame();
  EXPECT_EQ(g_FrameSkip, 0);
  g_LastFrameTime = mClock.Now();
  g_FrameIntervalFixed = 0;
  PaceFrame();
  mClock.Advance(100);  // six intervals late
  EXPECT_EQ(PaceFrame(), 0);
  g_FrameSkip = 1;
  g_LastFrameTime = mClock.Now();
  mClock.Advance(100);
  EXPECT_EQ(PaceFrame(), 1);
}

struct InputCase {
  const char* mName;
  uint8_t mMouseBefore;
  uint8_t mShownBefore;
  int64_t mMouse;
  uint8_t mRequest;
  uint8_t mShown;
};

class InputEnableTest : public SwitchCommandTest, public ::testing::WithParamInterface<InputCase> {};

TEST_P(InputEnableTest, TheMouseSwitchHidesOrShowsTheCursorOnAChange) {
  const InputCase& c = GetParam();
  Load({[&](ScriptAssembler& code) {
    code.Op("input", {{"keyboard", Num(0)}, {"joystick", Num(1)}, {"mouse", Num(c.mMouse)}});
  }});
  g_MouseInputOn = c.mMouseBefore;
  g_CursorShown = c.mShownBefore;
  g_CursorRequest = 0;
  mGame.Frame();
  EXPECT_EQ(g_KeyboardInputOn, 0);
  EXPECT_EQ(g_JoystickInputOn, 1);
  EXPECT_EQ(g_MouseInputOn, static_cast<uint8_t>(c.mMouse));
  EXPECT_EQ(g_CursorRequest, c.mRequest);
  EXPECT_EQ(g_CursorShown, c.mShown);
}

INSTANTIATE_TEST_SUITE_P(Cases, InputEnableTest,
                         ::testing::Values(InputCase{"OnToOffHides", 1, 1, 0, 2, 0},
                                           InputCase{"OffToOnShows", 0, 0, 1, 1, 1},
                                           InputCase{"OnStaysOn", 1, 0, 1, 0, 0},
                                           InputCase{"OffStaysOff", 0, 1, 0, 0, 1}),
                         [](const ::testing::TestParamInfo<InputCase>& info) { return std::string(info.param.mName); });

struct ModeCase {
  const char* mName;
  int64_t mMode;
  uint8_t mShownBefore;
  uint8_t mArmedBefore;
  uint8_t mRequest;
  uint8_t mShown;
  uint8_t mAutoHide;
  uint8_t mArmed;
};

class CursorModeTest : public SwitchCommandTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(CursorModeTest, TheModeSetsAutoHideAndTheShowRequest) {
  const ModeCase& c = GetParam();
  Load({[&](ScriptAssembler& code) { code.Op("mouse", {{"mode", Num(c.mMode)}, {"delay", Num(700)}}); }});
  g_CursorShown = c.mShownBefore;
  mMain.mCursorIdleArmed = c.mArmedBefore;
  g_CursorRequest = 0;
  g_CursorAutoHide = 7;
  mGame.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(g_CursorRequest, c.mRequest);
  EXPECT_EQ(g_CursorShown, c.mShown);
  EXPECT_EQ(g_CursorAutoHide, c.mAutoHide);
  EXPECT_EQ(mMain.mCursorIdleArmed, c.mArmed);
  EXPECT_EQ(g_CursorIdleDelay, 700);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CursorModeTest,
    ::testing::Values(ModeCase{"HiddenHidesAShownCursor", 0, 1, 1, 2, 0, 0, 0},
                      ModeCase{"HiddenLeavesAHiddenOne", 0, 0, 1, 0, 0, 0, 0},
                      ModeCase{"AutoHideShowsWhenNeitherActiveNorShown", 1, 0, 0, 1, 1, 1, 0},
                      ModeCase{"AutoHideWaitsWhileActive", 1, 0, 1, 0, 0, 1, 1},
                      ModeCase{"AlwaysShown", 2, 0, 1, 1, 1, 0, 0}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.mName); });

TEST_F(SwitchCommandTest, AutoHideHidesTheCursorAfterTheIdleDelayOfKeyUse) {
  Load({[](ScriptAssembler& code) { code.Op("mouse", {{"mode", Num(1)}, {"delay", Num(700)}}); }});
  g_CursorShown = 1;
  mGame.Frame();
  ASSERT_EQ(g_CursorAutoHide, 1);
  // A key is used: the idle time starts.
  g_InputRaw[0x41] = 0x80;
  g_PaceNow = mClock.Now();
  UpdateInput();
  EXPECT_EQ(mMain.mCursorIdleArmed, 1);
  g_InputRaw[0x41] = 0;
  g_PaceNow = mClock.Now() + 700;
  UpdateInput();
  EXPECT_EQ(g_CursorShown, 1) << "not before the delay is over";
  g_PaceNow = mClock.Now() + 701;
  UpdateInput();
  EXPECT_EQ(g_CursorShown, 0);
  EXPECT_EQ(g_CursorRequest, 0) << "the hide request was carried out";
}

TEST_F(SwitchCommandTest, TriggersAndSystemCursorsAreSetAndUnknownShapesAreTheArrow) {
  const std::vector<std::pair<int64_t, SystemCursor>> shapes = {
      {0, SystemCursor::kArrow}, {1, SystemCursor::kIBeam}, {11, SystemCursor::kHand},
      {13, SystemCursor::kHelp}, {14, SystemCursor::kArrow}, {-1, SystemCursor::kArrow}};
  std::vector<std::function<void(ScriptAssembler&)>> frames;
  frames.push_back([](ScriptAssembler& code) {
    code.Op("mouse", {{"on_move", Num(0)}, {"on_buttons", Num(0)}, {"on_wheel", Num(0)}});
  });
  for (const auto& shape : shapes) {
    int64_t value = shape.first;
    frames.push_back([value](ScriptAssembler& code) { code.Op("mouse", {{"cursor", Num(value)}}); });
  }
  Load(frames);
  mGame.Frame();
  EXPECT_EQ(mMain.mShowCursorOnMove, 0);
  EXPECT_EQ(mMain.mShowCursorOnButtons, 0);
  EXPECT_EQ(mMain.mShowCursorOnWheel, 0);
  for (const auto& shape : shapes) {
    SetSystemCursorShape(SystemCursor::kWait);
    mGame.Frame();
    EXPECT_EQ(GetCurrentCursorShape(), shape.second) << "value " << shape.first;
  }
}

TEST_F(SwitchCommandTest, ACursorFromAMissingLayerDoesNothing) {
  Load({[](ScriptAssembler& code) { code.Op("mouse", {{"layer", Str("missing")}, {"x", Num(5)}}); }});
  SetSystemCursorShape(SystemCursor::kCross);
  mGame.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(GetCurrentCursorShape(), SystemCursor::kCross);
  EXPECT_EQ(mMain.mCursorX, 5);
}

TEST_F(SwitchCommandTest, StoppingAStopwatchLeavesTheStoppedTimeOut) {
  Load({[](ScriptAssembler& code) { code.Op("screen", {{"stopwatch3", Num(0)}}); },
        [](ScriptAssembler& code) {
          code.Op("screen", {{"stopwatch3", Num(1)}, {"stopwatch1", Num(1)}, {"stopwatch4", Num(0x100)}});
        }});
  for (int k = 0; k < kStopwatchCount; ++k) g_StopwatchBase[k] = mClock.Now();
  mGame.Frame();
  EXPECT_EQ(g_StopwatchPausable[2], 0);
  mClock.Advance(5000);
  EXPECT_EQ(ReadStopwatch(2), 0u) << "a stopped stopwatch stands still";
  mGame.Frame();
  mClock.Advance(250);
  EXPECT_EQ(g_StopwatchPausable[2], 1);
  EXPECT_EQ(ReadStopwatch(0), 5250u);
  EXPECT_EQ(ReadStopwatch(1), 5250u);
  EXPECT_EQ(ReadStopwatch(2), 250u);
  EXPECT_EQ(ReadStopwatch(3), 5000u) << "the switch is taken as a byte: 0x100 is 0 and stops it";
}

TEST_F(SwitchCommandTest, AStopwatchSwitchWithoutAChangeDoesNothing) {
  Load({[](ScriptAssembler& code) { code.Op("screen", {{"stopwatch2", Num(1)}}); }});
  g_StopwatchBase[1] = 100;
  mGame.Frame();
  EXPECT_EQ(g_StopwatchBase[1], 100u);
  EXPECT_EQ(g_StopwatchPausable[1], 1);
}

struct SizeCase {
  const char* mName;
  int64_t mWidth;
  int64_t mHeight;
  bool mChanged;
};

class LogicalSizeTest : public SwitchCommandTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(LogicalSizeTest, BothSidesAboveZeroSetTheSizeInAWindow) {
  const SizeCase& c = GetParam();
  Load({[&](ScriptAssembler& code) { code.Op("screen", {{"width", Num(c.mWidth)}, {"height", Num(c.mHeight)}}); }});
  mMain.mWidth = 640;
  mMain.mHeight = 480;
  g_ClientWidth = g_ConfiguredWidth = g_PresentWidth = 640;
  g_ClientHeight = g_ConfiguredHeight = g_PresentHeight = 480;
  mGame.Frame();
  int32_t width = c.mChanged ? static_cast<int32_t>(c.mWidth) : 640;
  int32_t height = c.mChanged ? static_cast<int32_t>(c.mHeight) : 480;
  EXPECT_EQ(mMain.mWidth, width);
  EXPECT_EQ(mMain.mHeight, height);
  for (int32_t value : {g_ClientWidth, g_ConfiguredWidth, g_PresentWidth}) EXPECT_EQ(value, width);
  for (int32_t value : {g_ClientHeight, g_ConfiguredHeight, g_PresentHeight}) EXPECT_EQ(value, height);
}

INSTANTIATE_TEST_SUITE_P(Cases, LogicalSizeTest,
                         ::testing::Values(SizeCase{"Both", 800, 600, true}, SizeCase{"ZeroWidth", 0, 480, false},
                                           SizeCase{"NegativeHeight", 800, -1, false}),
                         [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.mName); });

// With GPU drawing on, the device is made again at the new logical size.
TEST_F(SwitchCommandTest, ANewSizeMakesTheGpuDeviceAgainAtThatSize) {
  Load({[](ScriptAssembler& code) { code.Op("screen", {{"width", Num(320)}, {"height", Num(200)}}); }});
  mMain.mWidth = 640;
  mMain.mHeight = 480;
  g_ClientWidth = g_ConfiguredWidth = g_PresentWidth = 640;
  g_ClientHeight = g_ConfiguredHeight = g_PresentHeight = 480;
  if (StartTestGpu(640, 480) != 0) GTEST_SKIP() << "no OpenGL device here";
  ASSERT_EQ(g_OffscreenWidth, 640);
  int created = g_GpuDeviceCounts.devicesCreated;
  mGame.Frame();
  EXPECT_EQ(g_GpuDeviceCounts.devicesCreated, created + 1);
  EXPECT_EQ(g_OffscreenWidth, 320);
  EXPECT_EQ(g_OffscreenHeight, 200);
  EXPECT_EQ(g_GpuDrawing, 1);
  StopTestGpu();
}

TEST_F(SwitchCommandTest, BackgroundRunningIsTakenOnlyWhileTheMainWindowIsActive) {
  Load({[](ScriptAssembler& code) { code.Op("screen", {{"background", Num(0)}, {"block_saver", Num(0)}}); },
        [](ScriptAssembler& code) { code.Op("screen", {{"background", Num(0)}}); }});
  mMain.mActive = 0;
  g_RunInBackground = 1;
  mGame.Frame();
  EXPECT_EQ(g_RunInBackground, 1);
  EXPECT_EQ(g_BlockScreenSaver, 0);
  mMain.mActive = 1;
  mGame.Frame();
  EXPECT_EQ(g_RunInBackground, 0);
}

TEST_F(SwitchCommandTest, TheValidateOnlySlotDoesNothing) {
  Load({[](ScriptAssembler& code) { code.Op("validate101"); }});
  EXPECT_TRUE(mGame.Frame());
  EXPECT_EQ(g_LastErrorText, "");
}

}  // namespace
