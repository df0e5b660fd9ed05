#include <gtest/gtest.h>

#include <cstring>

#include "core/debug_log.h"
#include "core/process_state.h"
#include "shell/engine_reset.h"
#include "shell/entry.h"
#include "support/dialog_recorder.h"
#include "support/temp_folder.h"

namespace {

class DebugLogTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState();
    std::snprintf(g_ExeFolder, sizeof g_ExeFolder, "%s/", game.Path().c_str());
  }
  void TearDown() override { ResetEngineState(); }
  TempFolder game;
  DialogRecorder dialogs;
};

TEST_F(DebugLogTest, TheHeaderComesOnceBeforeTheFirstText) {
  game.WriteFile("debuglog.txt", "from an earlier run\n");
  int64_t first = WriteDebugLog("debuglog.txt", true, kDebugLogBudget, "value=%d", 42);
  int64_t second = WriteDebugLog("debuglog.txt", true, kDebugLogBudget, "text=%s", "abc");
  std::string log = game.ReadFile("debuglog.txt");
  // "//" and 76 dashes, the date line, the dashes again, then the texts.
  const std::string rule = "//" + std::string(76, '-') + "\n";
  const std::string dateLine = "//■00/00/00 time=00:00:00\n";
  ASSERT_EQ(log.size(), rule.size() * 2 + dateLine.size() + std::string("value=42\ntext=abc\n").size()) << log;
  EXPECT_EQ(log.substr(0, rule.size()), rule);
  std::string date = log.substr(rule.size(), dateLine.size());
  for (size_t i = 0; i < dateLine.size(); ++i) {
    bool digit = dateLine[i] == '0';
    EXPECT_TRUE(digit ? (date[i] >= '0' && date[i] <= '9') : date[i] == dateLine[i]) << date;
  }
  EXPECT_EQ(log.substr(rule.size() + dateLine.size()), rule + "value=42\ntext=abc\n");
  EXPECT_EQ(static_cast<size_t>(first + second), log.size()) << "each call returns what it appended";
  EXPECT_EQ(second, 9);
  EXPECT_TRUE(dialogs.mBoxes.empty());
}

TEST_F(DebugLogTest, EraseFirstActsOnlyOnTheFirstWriteOfARun) {
  game.WriteFile("debuglog.txt", "old\n");
  WriteDebugLog("debuglog.txt", false, kDebugLogBudget, "a");
  EXPECT_EQ(game.ReadFile("debuglog.txt").rfind("old\n", 0), 0u) << "kept without erase-first";
  WriteDebugLog("debuglog.txt", true, kDebugLogBudget, "b");
  EXPECT_EQ(game.ReadFile("debuglog.txt").rfind("old\n", 0), 0u) << "erase-first after the first write does nothing";
}

TEST_F(DebugLogTest, AnExhaustedBudgetAppendsAndShowsTheWarningEachTime) {
  WriteDebugLog("debuglog.txt", false, 0, "x");
  WriteDebugLog("debuglog.txt", false, -5, "y");
  ASSERT_EQ(dialogs.mBoxes.size(), 2u);
  EXPECT_NE(dialogs.mBoxes[0].mText.find("log が 10MB を超えました。"), std::string::npos);
  EXPECT_NE(dialogs.mBoxes[0].mText.find("debuglog.txt を削除していただくか"), std::string::npos);
  std::string log = game.ReadFile("debuglog.txt");
  EXPECT_NE(log.find("x\nlog が 10MB"), std::string::npos);
  EXPECT_NE(log.find("y\nlog が 10MB"), std::string::npos);
}

TEST_F(DebugLogTest, AFormatFromAScriptCannotReadMissingArguments) {
  WriteDebugLog("debuglog.txt", false, kDebugLogBudget, "%s %s %d %s", "only");
  std::string log = game.ReadFile("debuglog.txt");
  EXPECT_NE(log.find("\nonly   \n"), std::string::npos) << log;
}

TEST_F(DebugLogTest, AFileThatCannotBeOpenedIsSkipped) {
  std::snprintf(g_ExeFolder, sizeof g_ExeFolder, "%s/missing/", game.Path().c_str());
  EXPECT_EQ(WriteDebugLog("debuglog.txt", false, kDebugLogBudget, "lost"), 0);
}

TEST_F(DebugLogTest, NothingIsWrittenWithoutAGameFolder) {
  g_ExeFolder[0] = '\0';
  EXPECT_EQ(WriteDebugLog("debuglog.txt", false, kDebugLogBudget, "lost"), 0);
  EXPECT_FALSE(game.Exists("debuglog.txt"));
}

}  // namespace
