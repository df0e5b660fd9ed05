// The main window appears with the first frame step, whether that frame
// draws or not, and only when the game's configuration shows it.
#include <gtest/gtest.h>

#include <SDL.h>

#include "core/process_state.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "shell/engine_reset.h"
#include "shell/entry.h"
#include "shell/frame.h"
#include "shell/window_objects.h"
#include "support/fake_clock.h"
#include "support/test_window.h"

namespace {

struct FirstFrameCase {
  const char* mName;
  uint8_t mDisplayState;
  uint8_t mSkipDraw;  // the frame before it asked this one not to draw
  bool mShown;
};

class FirstFrameTest : public testing::TestWithParam<FirstFrameCase> {
 protected:
  void SetUp() override {
    main = CreateTestMainWindow("orvane-first-frame-test");
    ASSERT_NE(main, nullptr);
    g_LastFrameTime = clock.Now();
  }
  void TearDown() override {
    ReleaseWindowObjects();
    QuitPlatformVideo();
    SetWindowProcedure(nullptr);
    ResetEngineState();
  }

  bool WindowShown() const {
    return (SDL_GetWindowFlags(GetSdlWindow(main->mWindow)) & SDL_WINDOW_SHOWN) != 0;
  }

  WindowObject* main = nullptr;
  FakeClock clock{50000};
};

TEST_P(FirstFrameTest, TheFirstFrameShowsTheMainWindowByItsDisplayState) {
  const FirstFrameCase& frame = GetParam();
  main->mDisplayState = frame.mDisplayState;
  g_SkipDraw = frame.mSkipDraw;
  ASSERT_FALSE(WindowShown()) << "the window is created hidden";

  EXPECT_EQ(RunFrame(), 0);
  EXPECT_EQ(WindowShown(), frame.mShown);
  EXPECT_EQ(g_FirstFrameShown, 1) << "the first frame passed the showing step";

  // The showing step belongs to the first frame only: a window hidden since
  // stays hidden.
  ShowPlatformWindow(main->mWindow, false);
  EXPECT_EQ(RunFrame(), 0);
  EXPECT_FALSE(WindowShown());
}

INSTANTIATE_TEST_SUITE_P(Frames, FirstFrameTest,
                         testing::Values(FirstFrameCase{"ShownAndDrawing", 1, 0, true},
                                         FirstFrameCase{"ShownWithoutDrawing", 1, 1, true},
                                         FirstFrameCase{"HiddenAndDrawing", 0, 0, false},
                                         FirstFrameCase{"HiddenWithoutDrawing", 0, 1, false}),
                         [](const testing::TestParamInfo<FirstFrameCase>& info) {
                           return std::string(info.param.mName);
                         });

TEST_F(FirstFrameTest, AFrameThatEndsEarlyIsNotTheFirstShownFrame) {
  // While the close question is open no frame gets to the showing step.
  main->mDisplayState = 1;
  g_PausedByCloseQuestion = 1;
  EXPECT_EQ(RunFrame(), 0);
  EXPECT_FALSE(WindowShown());
  EXPECT_EQ(g_FirstFrameShown, 0);

  g_PausedByCloseQuestion = 0;
  EXPECT_EQ(RunFrame(), 0);
  EXPECT_TRUE(WindowShown());
}

}  // namespace
