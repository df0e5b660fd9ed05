#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/errors.h"
#include "core/process_state.h"
#include "platform/process.h"
#include "script/engine_config.h"
#include "shell/entry.h"
#include "support/dialog_recorder.h"

namespace {

class ErrorReportTest : public testing::Test {
 protected:
  void SetUp() override { ResetShellState(); }
  void TearDown() override {
    ResetShellState();
    g_DebugMode = 0;
  }
  DialogRecorder dialogs;
};

TEST_F(ErrorReportTest, TextsComeFromBuiltInsThenTheMessageFileThenTheUnknownText) {
  ASSERT_TRUE(AddMessageText(104060, "file text for 104060"));
  ASSERT_TRUE(AddMessageText(200001, "first %d"));
  ASSERT_TRUE(AddMessageText(200001, "second"));
  EXPECT_EQ(GetMessageText(104060), "[%s]ファイルが\n存在しません。");
  EXPECT_EQ(GetMessageText(200001), "first %d");
  EXPECT_EQ(GetMessageText(999999),
            "[内部エラー]\n\nエラー文字列の指定ミスです。\nシステム開発者までお問い合わせください。");
}

TEST_F(ErrorReportTest, TheMessageTableHoldsAtMost256Texts) {
  for (int id = 0; id < kMaxMessageTexts; ++id) ASSERT_TRUE(AddMessageText(300000 + id, "x"));
  EXPECT_FALSE(AddMessageText(400000, "one too many"));
  EXPECT_EQ(GetMessageTextCount(), kMaxMessageTexts);
}

TEST_F(ErrorReportTest, OnlyTheFirstReportOpensTheDialogAndFatalSetsTheQuitFlag) {
  ReportErrorFmt(104060, 0, "a.png");
  EXPECT_EQ(g_QuitFlag.load(), 0) << "a non-fatal report leaves the flag";
  ReportErrorFmt(104010, 1, "b.png");
  ReportError(100010, 1);
  ASSERT_EQ(dialogs.mErrorDialogs.size(), 1u);
  EXPECT_EQ(dialogs.mErrorDialogs[0].mText, "[a.png]ファイルが\n存在しません。");
  EXPECT_EQ(dialogs.mErrorDialogs[0].mCaption, "ORVANE Debug Info.");
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_EQ(g_LastErrorText, "メモリ不足です。") << "later reports still build their text";
}

TEST_F(ErrorReportTest, TextsFromGameDataFormatOnlyTheArgumentsGiven) {
  // A message file may hold more conversions than a report passes.
  ASSERT_TRUE(AddMessageText(500000, "%s and %s, %d%% of %n %x"));
  ReportErrorFmt(500000, 0, "one");
  EXPECT_EQ(g_LastErrorText, "one and , % of %n ");
  ReportError(500000, 0);
  EXPECT_EQ(g_LastErrorText, " and , % of %n ");
}

TEST_F(ErrorReportTest, LongTextsAreCutOnACharacterBoundary) {
  std::string longName(1021, 'a');
  ASSERT_TRUE(AddMessageText(500001, "%sあい"));
  ReportErrorFmt(500001, 0, longName);
  // 1021 + 2 bytes fit in 1023; the next double-byte character does not.
  EXPECT_EQ(g_LastErrorText.size(), 1023u);
  EXPECT_EQ(g_LastErrorText.substr(1021), "あ");
}

TEST_F(ErrorReportTest, AReportOutsideTaskSteppingHasNoLocation) {
  ReportErrorAtScriptFmt(104060, 0, "x.png");
  EXPECT_EQ(g_LastErrorText, "[x.png]ファイルが\n存在しません。");
  EXPECT_TRUE(g_ErrorScriptName.empty());
  EXPECT_EQ(g_ErrorLine, 1);
}

TEST_F(ErrorReportTest, TheEditButtonFollowsTheDebugModeAndTheLocation) {
  g_DebugMode = 0;
  ReportError(100010, 0);
  g_ErrorDialogShown = false;
  g_DebugMode = 1;
  ReportError(100010, 0);
  ASSERT_EQ(dialogs.mErrorDialogs.size(), 2u);
  EXPECT_EQ(dialogs.mErrorDialogs[0].mEditButton, EditButtonState::Absent);
  EXPECT_EQ(dialogs.mErrorDialogs[1].mEditButton, EditButtonState::Disabled);
}

TEST_F(ErrorReportTest, MessageBoxesFormatBoundedAndAreSystemModal) {
  ShowMessageBox("", "ＣＧサイズが大きすぎます。X=%d, Y=%d", 9000, 100);
  ShowMessageBox(nullptr, "%s", std::string(3000, 'z'));
  ASSERT_EQ(dialogs.mBoxes.size(), 2u);
  EXPECT_EQ(dialogs.mBoxes[0].mText, "ＣＧサイズが大きすぎます。X=9000, Y=100");
  EXPECT_NE(dialogs.mBoxes[0].mStyle & kBoxSystemModal, 0u);
  EXPECT_EQ(dialogs.mBoxes[1].mText.size(), kMessageTextLimit);
}

TEST(FileNamePartTest, TakesTheTextAfterTheLastSeparator) {
  struct Case {
    const char* mPath;
    bool mResult;
    const char* mPart;
  };
  const Case cases[] = {
      {"scenario\\start.txt", true, "start.txt"},
      {"a/b\\c.txt", true, "c.txt"},
      {"noseparator.txt", false, ""},
      {"folder\\", false, ""},
      // 0x5C is the trail byte of "表": not a separator.
      {"dir\\表示.txt", true, "表示.txt"},
      {"表示", false, ""},
  };
  for (const Case& c : cases) {
    std::string part = "old";
    EXPECT_EQ(GetFileNamePart(&part, c.mPath), c.mResult) << c.mPath;
    EXPECT_EQ(part, c.mPart) << c.mPath;
  }
}

TEST(EditorCommandTest, EachEditorGetsTheLineInItsOwnForm) {
  const std::string path = "/games/my game/scenario/start.txt";
  EXPECT_EQ(BuildEditorCommand("vim", path, 12), (std::vector<std::string>{"vim", "+12", path}));
  EXPECT_EQ(BuildEditorCommand("/usr/bin/nano", path, 3), (std::vector<std::string>{"/usr/bin/nano", "+3", path}));
  EXPECT_EQ(BuildEditorCommand("code -w", path, 7), (std::vector<std::string>{"code", "-w", "--goto", path + ":7"}));
  EXPECT_EQ(BuildEditorCommand("kate", path, 9), (std::vector<std::string>{"kate", "--line", "9", path}));
  EXPECT_EQ(BuildEditorCommand("subl", path, 5), (std::vector<std::string>{"subl", path + ":5"}));
  EXPECT_EQ(BuildEditorCommand("someeditor", path, 5), (std::vector<std::string>{"someeditor", path}));
  EXPECT_TRUE(BuildEditorCommand("", path, 5).empty());
  EXPECT_TRUE(BuildEditorCommand("   ", path, 5).empty());
}

}  // namespace
