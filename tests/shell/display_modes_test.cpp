#include <gtest/gtest.h>

#include <vector>

#include "core/errors.h"
#include "core/message_ids.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "shell/display.h"
#include "shell/engine_reset.h"
#include "shell/startup.h"
#include "shell/window_objects.h"
#include "support/dialog_recorder.h"
#include "support/script_test_env.h"

namespace {

// The display the tests pretend to have: one 1920x1080 monitor at 32 bits.
std::vector<PlatformDisplayMode> g_modes;
bool g_monitorFound = true;
bool g_fullscreenAccepted = true;

bool FakeFindMonitor(PlatformWindow*, int* monitor, int rect[4]) {
  if (!g_monitorFound) return false;
  *monitor = 0;
  rect[0] = 0;
  rect[1] = 0;
  rect[2] = 1920;
  rect[3] = 1080;
  return true;
}
bool FakeGetMode(int, int index, PlatformDisplayMode* mode) {
  if (index < 0 || index >= static_cast<int>(g_modes.size())) return false;
  *mode = g_modes[static_cast<size_t>(index)];
  return true;
}
bool FakeEnterFullscreen(PlatformWindow*, const PlatformDisplayMode*) { return g_fullscreenAccepted; }

class DisplayModesTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState();
    InstallTaggedMessages({kMsgOutOfMemory, kMsgDisplayChangeRefused});
    g_modes = {{1920, 1080, 32, 60}, {1600, 900, 32, 60}, {1280, 720, 32, 60}, {1024, 576, 16, 60},
               {1024, 768, 32, 60},  {800, 600, 32, 60},  {1366, 768, 32, 60}};
    g_monitorFound = true;
    g_fullscreenAccepted = true;
    hooks.mFindMonitor = FakeFindMonitor;
    hooks.mGetMode = FakeGetMode;
    hooks.mEnterFullscreen = FakeEnterFullscreen;
    SetPlatformDisplayHooks(&hooks);
    g_DesktopWidth = 1920;
    g_DesktopHeight = 1080;
    g_FullscreenBits = 32;
  }
  void TearDown() override { ResetEngineState(); }

  // Window 0 of 800x600 in a window, sizes as after start-up.
  void CreateMainWindow() {
    SetWindowProcedure(MainWndProc);
    ASSERT_EQ(CreateWindowObjects(), 0);
    main = g_WindowTable[0];
    main->mWidth = 800;
    main->mHeight = 600;
    SetUpWindowObject(main, "test");
    ASSERT_EQ(CreateGameWindow(main, 1, "orvane-display-test", "test"), 1);
    g_WindowIds[0] = 1;
    g_ConfiguredWidth = g_PresentWidth = 800;
    g_ConfiguredHeight = g_PresentHeight = 600;
    ASSERT_TRUE(AllocBackBuffer(800, 600));
  }

  PlatformDisplayHooks hooks;
  WindowObject* main = nullptr;
  DialogRecorder dialogs;
};

TEST_F(DisplayModesTest, BackBufferSizeForEachScalingMode) {
  struct Case {
    uint8_t mRule;
    int32_t mWidth, mHeight, mTargetWidth, mTargetHeight;
    uint8_t mFit;
    int32_t mPresentWidth, mPresentHeight;
  };
  const Case cases[] = {
      {1, 800, 600, 1920, 1080, 2, 1440, 1080},  // fit: full height
      {1, 800, 600, 1280, 1024, 1, 1280, 960},   // fit: full width
      {2, 800, 600, 1920, 1080, 1, 1920, 1440},  // cover, larger than the desktop and kept
      {2, 800, 600, 1280, 1024, 2, 1365, 1024},
      {3, 800, 600, 1280, 1024, 3, 1280, 1024},  // stretched
      {0, 800, 600, 1920, 1080, 0, 800, 600},    // unscaled
      {0, 2000, 1000, 640, 480, 0, 960, 540},    // wider than the desktop: half the desktop
      {3, 800, 600, 1920, 1200, 3, 960, 540},    // taller than the desktop
      {1, 0, 600, 1920, 1080, 2, 0, 1080},       // width 0 taken as 1
  };
  for (const Case& c : cases) {
    g_ScalingMode = c.mRule;
    EXPECT_EQ(ResizeBackBuffer(c.mWidth, c.mHeight, c.mTargetWidth, c.mTargetHeight), 0);
    EXPECT_EQ(g_ScalingMode, c.mFit) << int(c.mRule) << " " << c.mTargetWidth << "x" << c.mTargetHeight;
    EXPECT_EQ(g_PresentWidth, c.mPresentWidth) << int(c.mRule) << " " << c.mTargetWidth;
    EXPECT_EQ(g_PresentHeight, c.mPresentHeight) << int(c.mRule) << " " << c.mTargetWidth;
    EXPECT_NE(g_BackBuffer, nullptr);
  }
}

TEST_F(DisplayModesTest, ConfiguredFitStaysFitAfterItsResult) {
  g_ScalingMode = 1;
  ResizeBackBuffer(800, 600, 1920, 1080);
  ASSERT_EQ(g_ScalingMode, 2) << "the fit of a wide target fills the height";
  // A configured "cover" would now fill 1024 high and overflow the width.
  ResizeBackBuffer(800, 600, 1280, 1024);
  EXPECT_EQ(g_ScalingMode, 1);
  EXPECT_EQ(g_PresentWidth, 1280);
  EXPECT_EQ(g_PresentHeight, 960);
  EXPECT_EQ(g_ScalingRule, 1);
}

TEST_F(DisplayModesTest, MaximisedWindowFitsWhateverTheRule) {
  g_ScalingMode = 3;
  g_Maximized = 1;
  ResizeBackBuffer(800, 600, 1280, 1024);
  EXPECT_EQ(g_PresentWidth, 1280);
  EXPECT_EQ(g_PresentHeight, 960);
}

TEST_F(DisplayModesTest, DesktopSizeKeptWhenTheMonitorIsNotFound) {
  CreateMainWindow();
  g_monitorFound = false;
  EXPECT_EQ(FindWindowMonitor(main->mWindow), 0);
  EXPECT_EQ(g_DesktopWidth, 1920);
  EXPECT_EQ(g_DesktopHeight, 1080);
  EXPECT_EQ(g_MonitorRect[2], 0);
  g_ScalingMode = 0;
  ResizeBackBuffer(800, 600, 800, 600);
  EXPECT_EQ(g_PresentWidth, 800) << "no halving to nothing";
  EXPECT_EQ(g_PresentHeight, 600);
}

TEST_F(DisplayModesTest, FullScreenSizeIsTheSmallestModeOfTheDesktopAspect) {
  int32_t width = 0;
  int32_t height = 0;
  g_ChangeDisplayMode = 1;
  ChooseFullscreenSize(0, 800, 600, &width, &height);
  EXPECT_EQ(width, 1280);
  EXPECT_EQ(height, 720);
  ChooseFullscreenSize(0, 1300, 600, &width, &height);
  EXPECT_EQ(width, 1600);
  EXPECT_EQ(height, 900);
  ChooseFullscreenSize(0, 2000, 600, &width, &height);
  EXPECT_EQ(width, 1920) << "none holds it: the desktop size";
  g_ChangeDisplayMode = 0;
  ChooseFullscreenSize(0, 800, 600, &width, &height);
  EXPECT_EQ(width, 1920);
  EXPECT_EQ(height, 1080);
  g_ChangeDisplayMode = 1;
  g_DesktopHeight = 0;
  ChooseFullscreenSize(0, 800, 600, &width, &height);
  EXPECT_EQ(width, 1920) << "no aspect without a desktop height";
}

TEST_F(DisplayModesTest, SizingKeepsTheAspectOnEveryEdge) {
  CreateMainWindow();
  struct Case {
    uint64_t mEdge;
    int32_t mIn[4];
    int32_t mOut[4];
  };
  const Case cases[] = {
      {kEdgeRight, {0, 0, 900, 600}, {0, 0, 900, 675}},
      {kEdgeLeft, {-100, 0, 800, 600}, {-100, 0, 800, 675}},
      {kEdgeTop, {0, -60, 800, 600}, {0, -60, 880, 600}},
      {kEdgeBottom, {0, 0, 800, 660}, {0, 0, 880, 660}},
      {kEdgeTopLeft, {-100, -100, 800, 600}, {-133, -100, 800, 600}},
      {kEdgeTopLeft, {-200, 0, 800, 600}, {-200, -150, 800, 600}},
      {kEdgeTopRight, {0, -100, 900, 600}, {0, -100, 933, 600}},
      {kEdgeTopRight, {0, 0, 1000, 600}, {0, -150, 1000, 600}},
      {kEdgeBottomLeft, {-100, 0, 800, 700}, {-133, 0, 800, 700}},
      {kEdgeBottomLeft, {-200, 0, 800, 600}, {-200, 0, 800, 750}},
      {kEdgeBottomRight, {0, 0, 900, 700}, {0, 0, 933, 700}},
      {kEdgeBottomRight, {0, 0, 1000, 600}, {0, 0, 1000, 750}},
  };
  for (const Case& c : cases) {
    int32_t rect[4] = {c.mIn[0], c.mIn[1], c.mIn[2], c.mIn[3]};
    SendWindowMessage(main->mWindow, kMsgSizing, c.mEdge, reinterpret_cast<int64_t>(rect));
    for (int side = 0; side < 4; ++side) EXPECT_EQ(rect[side], c.mOut[side]) << "edge " << c.mEdge << " side " << side;
  }
}

TEST_F(DisplayModesTest, EnteringAndLeavingFullScreenRestoresTheSizes) {
  CreateMainWindow();
  g_ChangeDisplayMode = 1;
  g_ScalingMode = 1;
  EXPECT_EQ(SetFullscreenMode(1), 1);
  EXPECT_EQ(g_FullScreen, 1);
  EXPECT_EQ(g_ConfiguredWidth, 1280);
  EXPECT_EQ(g_ConfiguredHeight, 720);
  EXPECT_EQ(g_PresentWidth, 960);
  EXPECT_EQ(g_PresentHeight, 720);
  EXPECT_NE(GetWindowStyle(main->mWindow) & kWindowStylePopup, 0u);
  EXPECT_EQ(SetFullscreenMode(1), 0) << "already so";
  EXPECT_EQ(SetFullscreenMode(0), 1);
  EXPECT_EQ(g_FullScreen, 0);
  EXPECT_EQ(g_ConfiguredWidth, 800);
  EXPECT_EQ(g_ConfiguredHeight, 600);
  EXPECT_EQ(g_PresentWidth, 800);
  EXPECT_EQ(g_PresentHeight, 600);
  EXPECT_EQ(GetWindowStyle(main->mWindow) & kWindowStylePopup, 0u);
  EXPECT_EQ(GetWindowStyle(main->mWindow) & kWindowStyleCaption, kWindowStyleCaption);
}

TEST_F(DisplayModesTest, RefusedFullScreenSwitchKeepsTheWindow) {
  CreateMainWindow();
  g_ChangeDisplayMode = 1;
  g_fullscreenAccepted = false;
  EXPECT_EQ(SetFullscreenMode(1), -1);
  EXPECT_EQ(g_FullScreen, 0);
  EXPECT_EQ(g_ConfiguredWidth, 800);
  EXPECT_EQ(g_ConfiguredHeight, 600);
  EXPECT_EQ(g_PresentWidth, 800);
  EXPECT_EQ(g_PresentHeight, 600);
  EXPECT_NE(g_BackBuffer, nullptr);
  EXPECT_EQ(GetWindowStyle(main->mWindow) & kWindowStylePopup, 0u);
  EXPECT_EQ(g_LastErrorText, ExpectedReport(kMsgDisplayChangeRefused));
  EXPECT_EQ(g_QuitFlag.load(), 0) << "not fatal";
  // Leaving does nothing: the program never left its window.
  EXPECT_EQ(SetFullscreenMode(0), 0);
}

TEST_F(DisplayModesTest, FullScreenWithoutAMatchingModeSaysSoAndKeepsTheWindow) {
  CreateMainWindow();
  g_ChangeDisplayMode = 1;
  g_modes = {{1024, 768, 32, 60}};
  EXPECT_EQ(SetFullscreenMode(1), -1);
  EXPECT_EQ(g_FullScreen, 0);
  ASSERT_FALSE(dialogs.mBoxes.empty());
  EXPECT_EQ(dialogs.mBoxes.back().mText, "PC環境が 1920 x 1080 解像度でのフルスクリーンに対応していません。");
  EXPECT_EQ(g_ConfiguredWidth, 800);
  EXPECT_EQ(g_PresentWidth, 800);
}

TEST_F(DisplayModesTest, MaximiseAndRestoreReturnTheSizes) {
  CreateMainWindow();
  SendWindowMessage(main->mWindow, kMsgSysCommand, kSysCommandMaximize, 0);
  EXPECT_EQ(g_Maximized, 1);
  EXPECT_EQ(g_MaximizeRequest, 1);
  SetPlatformWindowClientSize(main->mWindow, 1600, 1000);
  SendWindowMessage(main->mWindow, kMsgWindowPosChanged, 0, 0);
  EXPECT_EQ(g_ConfiguredWidth, 1600);
  EXPECT_EQ(g_ConfiguredHeight, 1000);
  EXPECT_EQ(g_PresentWidth, 1333);
  EXPECT_EQ(g_PresentHeight, 1000);
  EXPECT_FALSE(IsUnscaledWindowMode(main));
  SendWindowMessage(main->mWindow, kMsgSysCommand, kSysCommandRestore, 0);
  EXPECT_EQ(g_Maximized, 0);
  EXPECT_EQ(g_ConfiguredWidth, 800);
  EXPECT_EQ(g_ConfiguredHeight, 600);
  EXPECT_EQ(g_PresentWidth, 800);
  EXPECT_EQ(g_PresentHeight, 600);
  EXPECT_TRUE(IsUnscaledWindowMode(main));
}

}  // namespace
