#include <gtest/gtest.h>

#include "platform/process.h"
#include <unistd.h>

#include "support/temp_folder.h"

namespace {

TEST(ProcessTest, ChildrenGetTheirArgumentsUnsplitAndReportTheirExitCode) {
  TempFolder folder;
  ChildProcess child;
  ASSERT_TRUE(SpawnChildProcess({"sh", "-c", "test \"$1\" = 'two words' && exit 3", "sh", "two words"}, folder.Path(),
                                &child));
  EXPECT_EQ(WaitForChildProcess(&child), 3);

  ASSERT_TRUE(SpawnChildProcess({"sleep", "5"}, "", &child));
  int code = 0;
  EXPECT_FALSE(HasChildProcessEnded(&child, &code));
  KillChildProcess(&child);
  EXPECT_TRUE(HasChildProcessEnded(&child, &code));

  EXPECT_FALSE(SpawnChildProcess({"/nonexistent/program"}, "", &child));
}

TEST(ProcessTest, DetachedStartsReportWhetherTheProgramStarted) {
  TempFolder folder;
  EXPECT_TRUE(StartDetachedProcess({"sh", "-c", "echo started > marker", "sh"}, folder.Path()));
  EXPECT_FALSE(StartDetachedProcess({"/nonexistent/program"}, folder.Path()));
  for (int attempt = 0; attempt < 500 && !folder.Exists("marker"); ++attempt) usleep(10000);
  EXPECT_TRUE(folder.Exists("marker"));
}

}  // namespace
