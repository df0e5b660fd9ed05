#include <unistd.h>

#include <fstream>
#include <string>

#include "core/message_ids.h"
#include "datasrc/data_source_fixture.h"
#include "platform/shared_memory.h"

namespace {

class CompilerLinkTest : public DataSourceTest {
 protected:
  void SetUp() override {
    DataSourceTest::SetUp();
    // Names of our own, so that test runs in parallel never meet.
    static int run = 0;
    mSuffix = "." + std::to_string(getpid()) + "." + std::to_string(++run);
    SetSharedMemoryNameSuffix(mSuffix);
    std::filesystem::create_directories(Native("system/VODod"));
  }
  void TearDown() override {
    SetSharedMemoryNameSuffix("");
    DataSourceTest::TearDown();
  }

  void InstallCompiler(const std::string& scenario) {
    std::filesystem::create_symlink(ORVANE_FAKE_COMPILER_PATH, Native("system/VODod/VODod.exe"));
    WriteFile("system/VODod/fake_compiler.txt", "suffix " + mSuffix + "\nrecord " + Native("record.txt") + "\n" + scenario);
  }

  // The engine-form name of a folder below the temporary one.
  std::string EngineFolder(const std::string& relative) const {
    std::string path = Native(relative);
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    return path;
  }

  std::string CurrentFolder() const {
    char cwd[4096];
    return getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) : std::string();
  }

  std::string mSuffix;
  const std::string kLinkFailure = "|ORVANEコンパイラとデータ通信が出来ませんでした。";
};

TEST_F(CompilerLinkTest, WithoutTheCompilerTheLicenceNoticeStopsStartUp) {
  EXPECT_EQ(RunScriptCompiler(), 1);
  EXPECT_EQ(g_ErrorDialogCaption, "License Information");
  EXPECT_EQ(g_LastErrorText, ReportText(kMsgOpenSourceNotice));
  EXPECT_EQ(g_QuitFlag.load(), 1);
}

TEST_F(CompilerLinkTest, CompilerThatCannotBeStarted) {
  WriteFile("system/VODod/VODod.exe", "MZ: a program for another system");
  EXPECT_EQ(RunScriptCompiler(), 1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"|ORVANEコンパイラを起動できませんでした。"});
}

TEST_F(CompilerLinkTest, SuccessDeliversFilesAndTheGameFolder) {
  std::filesystem::create_directories(Native("game/data"));
  InstallCompiler("file qvbin\\qve.qbn messages\nfile data\\x.txt compiler\nfolder " + EngineFolder("game") + "\n");
  ASSERT_EQ(RunScriptCompiler(), 0);
  EXPECT_TRUE(mDialogs.mBoxes.empty());
  EXPECT_TRUE(g_LastErrorText.empty());
  EXPECT_EQ(CurrentFolder(), Native("game"));
  EXPECT_EQ(std::string(g_GameFolder), EngineFolder("game"));
  // What the compiler was given.
  std::ifstream record(Native("record.txt"));
  std::string argument, version, folder;
  std::getline(record, argument);
  std::getline(record, version);
  std::getline(record, folder);
  EXPECT_EQ(argument, "qv");
  EXPECT_EQ(version, "554");
  EXPECT_EQ(folder, g_ExeFolder);

  ASSERT_EQ(g_CompilerOutput.size(), 2u);
  EXPECT_STREQ(g_CompilerOutput[1].mName, "data\\x.txt");
  EXPECT_EQ(LoadText("QVBIN\\QVE.QBN"), "messages");
}

// A compiler that announces a data size of 0 gets a block of 16 bytes, and
// what it wrote there is delivered.
TEST_F(CompilerLinkTest, ADataSizeOfZeroIsTakenAs16) {
  InstallCompiler("file a.txt b\nsize 0\n");  // one file of 4 + 6 + 4 + 1 bytes
  ASSERT_EQ(RunScriptCompiler(), 0);
  EXPECT_TRUE(mDialogs.mBoxes.empty());
  EXPECT_EQ(g_CompilerOutputBlock.size(), 16u);
  ASSERT_EQ(g_CompilerOutput.size(), 1u);
  EXPECT_STREQ(g_CompilerOutput[0].mName, "a.txt");
  EXPECT_EQ(LoadText("a.txt"), "b");
}

TEST_F(CompilerLinkTest, DeliveredFileComesBeforePacksAndLooseFiles) {
  PackBuilder pack;
  AddPackFile(&pack, "data\\x.txt", "pack");
  WritePack("data.qpf", pack);
  ASSERT_EQ(BuildPackIndex(), 0);
  WriteFile("data/x.txt", "loose");
  InstallCompiler("file data\\x.txt compiler\n");
  ASSERT_EQ(RunScriptCompiler(), 0);
  g_LooseFirstDev = 1;
  ResourceLocation location;
  EXPECT_EQ(LocateResource(&location, "data\\x.txt", 1), SOURCE_COMPILER_OUTPUT);
  EXPECT_EQ(location.mType, 0);
  EXPECT_EQ(LoadText("data\\x.txt"), "compiler");
}

TEST_F(CompilerLinkTest, CompilerThatEndsEarlyStopsStartUpSilently) {
  std::string folder = CurrentFolder();
  InstallCompiler("exit-early\n");
  EXPECT_EQ(RunScriptCompiler(), 1);
  EXPECT_TRUE(mDialogs.mBoxes.empty());
  EXPECT_TRUE(g_LastErrorText.empty());
  EXPECT_EQ(g_CompilerOutput.size(), 0u);
  EXPECT_EQ(CurrentFolder(), folder);
}

TEST_F(CompilerLinkTest, FailedCompileStopsStartUpAfterTheOutputWasTaken) {
  std::filesystem::create_directories(Native("game"));
  std::string folder = CurrentFolder();
  InstallCompiler("result 0\nfile a.txt a\nfolder " + EngineFolder("game") + "\n");
  EXPECT_EQ(RunScriptCompiler(), 1);
  EXPECT_TRUE(mDialogs.mBoxes.empty());
  EXPECT_EQ(g_CompilerOutput.size(), 1u);
  EXPECT_EQ(CurrentFolder(), folder);
}

TEST_F(CompilerLinkTest, MalformedAnswersFailTheLink) {
  const std::pair<const char*, std::string> cases[] = {
      {"name length past the block", "count 1\nblock-hex ff000000616200000000\n"},
      {"name without terminator", "count 1\nblock-hex 0200000061620000000000\n"},
      {"empty name", "count 1\nblock-hex 000000000000000000\n"},
      {"data past the block", "count 1\nblock-hex 03000000616200ff000000\n"},
      {"more files than the block holds", "file a.txt a\ncount 2\n"},
      {"block larger than the engine takes", "file a.txt a\nsize 2000000000\n"},
      {"folder without terminator", "file a.txt a\nfolder-unterminated\n"},
      {"folder longer than a path", "file a.txt a\nfolder " + std::string(300, 'f') + "\n"},
      {"folder that does not exist", "file a.txt a\nfolder \\no\\such\\folder\n"},
  };
  for (const auto& [label, scenario] : cases) {
    std::filesystem::remove(Native("system/VODod/VODod.exe"));
    InstallCompiler(scenario);
    mDialogs.mBoxes.clear();
    EXPECT_EQ(RunScriptCompiler(), -1) << label;
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kLinkFailure}) << label;
    EXPECT_EQ(g_CompilerOutput.size(), 0u) << label;
    EXPECT_EQ(CurrentFolder(), mFolder) << label;
  }
}

}  // namespace
