#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/errors.h"
#include "core/process_state.h"
#include "platform/process.h"
#include "script/engine_config.h"
#include "shell/engine_reset.h"
#include "shell/entry.h"
#include "support/dialog_recorder.h"

namespace {

// Messages that only a game's message file defines.
constexpr MessageId kFileMessage{500000, 0};
constexpr MessageId kLongFileMessage{500001, 0};

class ErrorReportTest : public testing::Test {
 protected:
  void SetUp() override { ResetEngineState(); }
  void TearDown() override { ResetEngineState(); }
  DialogRecorder dialogs;
};

TEST_F(ErrorReportTest, TextsComeFromBuiltInsThenTheMessageFileThenTheUnknownText) {
  ASSERT_TRUE(AddMessageText(kMsgFileNotFound.mNumber, "file text for 104060"));
  ASSERT_TRUE(AddMessageText(200001, "first %d"));
  ASSERT_TRUE(AddMessageText(200001, "second"));
  EXPECT_EQ(GetMessageText(kMsgFileNotFound), "[%s]ファイルが\n存在しません。");
  EXPECT_EQ(GetMessageText(200001), "first %d");
  EXPECT_EQ(GetMessageText(999999),
            "[内部エラー]\n\nエラー文字列の指定ミスです。\nシステム開発者までお問い合わせください。");
}

TEST_F(ErrorReportTest, TheBuiltInTextsBelongToTheirNamedIds) {
  struct Case {
    MessageId mId;
    int32_t mNumber;
    const char* mText;
  };
  const Case cases[] = {
      {kMsgOutOfMemory, 100010, "メモリ不足です。"},
      {kMsgCannotReadFile, 104010, "[%s]ファイルを\n読み込めませんでした。"},
      {kMsgNoMemoryForFile, 104030, "メモリ不足のため[%s]ファイルを\n読み込めませんでした。"},
      {kMsgFileNotFound, 104060, "[%s]ファイルが\n存在しません。"},
      {kMsgDamagedPackEntry, 104100, "パックファイル中に破損ファイルが見つかりました。\n\nPacFile = %s\nFile = %s"},
      {kMsgTooManyPackFolders, 104110, "フォルダの数が多すぎます。"},
      {kMsgPackFoldersTooDeep, 104111, "フォルダの階層が深すぎます。"},
      {kMsgPackVersionMismatch, 104120, "パックファイル仕様が現在の仕様と一致しません。\n\n[%s]"},
      {kMsgTooManyPacks, 104130, "パックファイルを同時に扱えるのは %d 個までです。"},
      {kMsgTooManyPackEntries, 104140, "パックファイル内に含まれるファイルが、合計 %d 個を超えました。"},
      {kMsgDuplicatePackEntry, 104150, "パックファイル内のファイル\n[%s]が\n重複しています。"},
      {kMsgCannotDecompress, 106010, "メモリ不足により\n[%s]ファイルを展開出来ませんでした。"},
      {kMsgDecompressBufferTooSmall, 900040, "[内部エラー]\n\nバッファ不足により\n[%s]ファイルを展開出来ませんでした。"},
      {kMsgCannotOpenPack, 901040, "[内部エラー]\n\nパックファイル[%s]が\nオープンできませんでした。"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.mId.mNumber, c.mNumber);
    // A message file's text of the same number does not replace it.
    ASSERT_TRUE(AddMessageText(c.mNumber, "from the message file"));
    EXPECT_EQ(GetMessageText(c.mId), c.mText) << c.mNumber;
  }
  EXPECT_EQ(kMsgOpenSourceNotice.mNumber, 100000);
  EXPECT_NE(GetMessageText(kMsgOpenSourceNotice), GetMessageText(999999));
}

TEST_F(ErrorReportTest, EachTableEntryReportsWithItsFatalFlag) {
  for (const MessageId& id : kAllMessageIds) {
    for (bool atScript : {false, true}) {
      g_QuitFlag.store(0);
      ReportErrorArgs(id, atScript, {});
      EXPECT_EQ(g_QuitFlag.load(), id.mFatal) << id.mNumber;
      // The other flag, for one call.
      g_QuitFlag.store(0);
      ReportErrorArgs(WithFatal(id, 1 - id.mFatal), atScript, {});
      EXPECT_EQ(g_QuitFlag.load(), 1 - id.mFatal) << id.mNumber;
    }
  }
  // Only the duplicate pack entry is reported without ending the run.
  EXPECT_EQ(kMsgDuplicatePackEntry.mFatal, 0);
  EXPECT_EQ(kMsgCannotOpenPack.mFatal, 1);
}

TEST_F(ErrorReportTest, TheMessageTableHoldsAtMost256Texts) {
  for (int id = 0; id < kMaxMessageTexts; ++id) ASSERT_TRUE(AddMessageText(300000 + id, "x"));
  EXPECT_FALSE(AddMessageText(400000, "one too many"));
  EXPECT_EQ(GetMessageTextCount(), kMaxMessageTexts);
}

TEST_F(ErrorReportTest, OnlyTheFirstReportOpensTheDialogAndFatalSetsTheQuitFlag) {
  ReportErrorFmt(WithFatal(kMsgFileNotFound, 0), "a.png");
  EXPECT_EQ(g_QuitFlag.load(), 0) << "a non-fatal report leaves the flag";
  ReportErrorFmt(kMsgCannotReadFile, "b.png");
  ReportError(kMsgOutOfMemory);
  ASSERT_EQ(dialogs.mErrorDialogs.size(), 1u);
  EXPECT_EQ(dialogs.mErrorDialogs[0].mText, "[a.png]ファイルが\n存在しません。");
  EXPECT_EQ(dialogs.mErrorDialogs[0].mCaption, "ORVANE Debug Info.");
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_EQ(g_LastErrorText, "メモリ不足です。") << "later reports still build their text";
}

TEST_F(ErrorReportTest, TextsFromGameDataFormatOnlyTheArgumentsGiven) {
  // A message file may hold more conversions than a report passes.
  ASSERT_TRUE(AddMessageText(kFileMessage.mNumber, "%s and %s, %d%% of %n %x"));
  ReportErrorFmt(kFileMessage, "one");
  EXPECT_EQ(g_LastErrorText, "one and , % of %n ");
  ReportError(kFileMessage);
  EXPECT_EQ(g_LastErrorText, " and , % of %n ");
}

TEST_F(ErrorReportTest, LongTextsAreCutOnACharacterBoundary) {
  std::string longName(1021, 'a');
  ASSERT_TRUE(AddMessageText(kLongFileMessage.mNumber, "%sあい"));
  ReportErrorFmt(kLongFileMessage, longName);
  // 1021 + 2 bytes fit in 1023; the next double-byte character does not.
  EXPECT_EQ(g_LastErrorText.size(), 1023u);
  EXPECT_EQ(g_LastErrorText.substr(1021), "あ");
}

TEST_F(ErrorReportTest, AReportOutsideTaskSteppingHasNoLocation) {
  ReportErrorAtScriptFmt(WithFatal(kMsgFileNotFound, 0), "x.png");
  EXPECT_EQ(g_LastErrorText, "[x.png]ファイルが\n存在しません。");
  EXPECT_TRUE(g_ErrorScriptName.empty());
  EXPECT_EQ(g_ErrorLine, 1);
}

TEST_F(ErrorReportTest, TheEditButtonFollowsTheDebugModeAndTheLocation) {
  g_DebugMode = 0;
  ReportError(WithFatal(kMsgOutOfMemory, 0));
  g_ErrorDialogShown = false;
  g_DebugMode = 1;
  ReportError(WithFatal(kMsgOutOfMemory, 0));
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

namespace {

// Ids that come from game data are reported by number and fatal flag; the
// text and the quit flag are those of the same id named.
TEST(NumberedReportTest, ANumberAndFlagReportLikeTheNamedId) {
  ResetEngineState();
  DialogRecorder dialogs;
  ReportErrorFmt(kMsgCannotReadFile.mNumber, 0, "a.txt");
  std::string byNumber = g_LastErrorText;
  EXPECT_EQ(g_QuitFlag.load(), 0) << "fatal flag 0 leaves the program running";
  ReportErrorFmt(WithFatal(kMsgCannotReadFile, 0), "a.txt");
  EXPECT_EQ(g_LastErrorText, byNumber);
  ReportError(kMsgOutOfMemory.mNumber, 1);
  EXPECT_EQ(g_QuitFlag.load(), 1);
  ResetEngineState();
}

}  // namespace
