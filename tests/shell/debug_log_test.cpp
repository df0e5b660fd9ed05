#include <gtest/gtest.h>

#include <cstring>
#include <regex>

#include "shell/debug_log.h"
#include "shell/entry.h"
#include "shell/process_state.h"
#include "support/dialog_recorder.h"
#include "support/temp_folder.h"

namespace {

class DebugLogTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetShellState();
    std::snprintf(g_ExeFolder, sizeof g_ExeFolder, "%s/", game.Path().c_str());
  }
  void TearDown() override { ResetShellState(); }
  TempFolder game;
  DialogRecorder dialogs;
};

TEST_F(DebugLogTest, TheHeaderComesOnceBeforeTheFirstText) {
  game.WriteFile("debuglog.txt", "from an earlier run\n");
  int64_t first = WriteDebugLog("debuglog.txt", true, kDebugLogBudget, "value=%d", 42);
  int64_t second = WriteDebugLog("debuglog.txt", true, kDebugLogBudget, "text=%s", "abc");
  std::string log = game.ReadFile("debuglog.txt");
  std::regex shape(
      "//-{76}\n//■\\d\\d/\\d\\d/\\d\\d time=\\d\\d:\\d\\d:\\d\\d\n//-{76}\nvalue=42\ntext=abc\n");
  EXPECT_TRUE(std::regex_match(log, shape)) << log;
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

}  // namespace
