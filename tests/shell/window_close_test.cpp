#include <gtest/gtest.h>

#include "core/process_state.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "script/engine_config.h"
#include "shell/engine_reset.h"
#include "shell/entry.h"
#include "shell/frame.h"
#include "shell/window_objects.h"
#include "support/dialog_recorder.h"
#include "support/test_window.h"

namespace {

class WindowCloseTest : public testing::Test {
 protected:
  void SetUp() override {
    main = CreateTestMainWindow("orvane-close-test");
    ASSERT_NE(main, nullptr);
    g_WindowTitle = "テスト";
  }
  void TearDown() override { ResetEngineState(); }

  void PressCloseBox() {
    SendWindowMessage(main->mWindow, kMsgSysCommand, kSysCommandClose, 0);
  }
  bool QuitMessagePosted() {
    WindowMessage message;
    while (PeekWindowMessage()) {
      if (!GetWindowMessage(&message)) return true;
    }
    return false;
  }

  WindowObject* main = nullptr;
  DialogRecorder dialogs;
};

TEST_F(WindowCloseTest, StateZeroOnlyTellsTheScript) {
  main->mCloseState = 0;
  PressCloseBox();
  PressCloseBox();
  EXPECT_EQ(g_CloseRequest, 1);
  EXPECT_NE(main->mWindow, nullptr);
  EXPECT_EQ(g_QuitFlag.load(), 0);
  EXPECT_TRUE(dialogs.mBoxes.empty());
}

TEST_F(WindowCloseTest, StateOneAsksAndNoKeepsEverythingRunning) {
  dialogs.mBoxAnswers = {kAnswerNo};
  PressCloseBox();
  ASSERT_EQ(dialogs.mBoxes.size(), 1u);
  EXPECT_EQ(dialogs.mBoxes[0].mText, "終了します。よろしいですか？");
  EXPECT_EQ(dialogs.mBoxes[0].mCaption, "テスト");
  EXPECT_EQ(dialogs.mBoxes[0].mStyle & kBoxButtonMask, static_cast<uint32_t>(kBoxYesNo));
  EXPECT_NE(main->mWindow, nullptr);
  EXPECT_EQ(g_QuitFlag.load(), 0);
  EXPECT_EQ(g_PausedByCloseQuestion, 0) << "the frame pause ends with the box";
  EXPECT_FALSE(QuitMessagePosted());
}

TEST_F(WindowCloseTest, StateOneAnsweredYesClosesAndEndsTheLoop) {
  dialogs.mBoxAnswers = {kAnswerYes};
  PressCloseBox();
  EXPECT_EQ(main->mWindow, nullptr);
  EXPECT_EQ(g_WindowIds[0], -1);
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_TRUE(QuitMessagePosted());
}

TEST_F(WindowCloseTest, StateTwoClosesAtOnce) {
  main->mCloseState = 2;
  PressCloseBox();
  EXPECT_TRUE(dialogs.mBoxes.empty());
  EXPECT_EQ(main->mWindow, nullptr);
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_TRUE(QuitMessagePosted());
}

TEST_F(WindowCloseTest, StateThreeClosesTheWindowWithoutEndingTheProgram) {
  main->mCloseState = 3;
  PressCloseBox();
  EXPECT_EQ(main->mWindow, nullptr);
  EXPECT_EQ(g_QuitFlag.load(), 0);
  EXPECT_FALSE(QuitMessagePosted());
}

TEST_F(WindowCloseTest, RequestCloseEndsTheLoopWithoutAsking) {
  RequestClose();
  EXPECT_EQ(main->mCloseState, 2);
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_EQ(main->mWindow, nullptr);
  EXPECT_TRUE(dialogs.mBoxes.empty());
}

TEST_F(WindowCloseTest, AMessageQueuedForAWindowThatIsGoneIsNeverHandedOn) {
  // A close requested from the frame step, then the close box before the
  // loop takes the request: the window is gone when its message comes up.
  RequestClose();
  PressCloseBox();
  ASSERT_EQ(main->mWindow, nullptr);
  EXPECT_EQ(RunMessageLoop(), 0);
}

TEST_F(WindowCloseTest, AQuitFlagSetElsewhereStillClosesTheWindow) {
  // For example the sound thread after its error box: nobody posted a close.
  g_QuitFlag.store(1);
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_EQ(main->mWindow, nullptr);
}

}  // namespace
