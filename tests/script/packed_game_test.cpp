// Script data and the engine configuration read from packs.
#include <gtest/gtest.h>

#include <string>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "datasrc/pack_index.h"
#include "datasrc/resource_lookup.h"
#include "platform/game_files.h"
#include "script/engine_config.h"
#include "script/execution_context.h"
#include "script/script_data.h"
#include "script/variables.h"
#include "shell/appended_data.h"
#include "support/fixture_game.h"
#include "support/pack_builder.h"
#include "support/script_test_env.h"

namespace {

class PackedGameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_GameFolderNative = mEnv.Folder();
    ASSERT_TRUE(InitProcessPaths("orvane"));
    g_DataAppended = 0;
    g_LooseFirstDev = 0;
    g_LooseFirstRelease = 0;
    InitDataKeys();
  }
  void TearDown() override {
    ReleaseDataSources();
    g_DataAppended = 0;
    g_ReleaseLayout = 0;
    ClearFolderAliases();
  }

  // Packs the files into data.qpf in the game folder and indexes the packs.
  void WritePack(const std::vector<GameFile>& files) {
    ASSERT_TRUE(WriteGamePack(mEnv.Folder() + "/data.qpf", files));
    ASSERT_EQ(BuildPackIndex(), 0);
  }

  static GameFile ConfigFile(const std::string& title) {
    EngineConfigFile config;
    config.mTitle = title;
    return {"qvbin\\qvcfg.qbn", BuildConfigFile(config)};
  }

  ScriptTestEnvironment mEnv;
};

TEST_F(PackedGameTest, LooseConfigurationWinsOverThePack) {
  WritePack({ConfigFile("packed")});
  EXPECT_EQ(g_ReleaseLayout, 1);  // a packed configuration selects the release layout
  ASSERT_EQ(LoadEngineConfig(), 0);
  EXPECT_EQ(g_WindowTitle, "packed");

  // A loose file wins, even where packs come first for every other file.
  mEnv.Write(ConfigFile("loose"));
  g_DataAppended = 1;
  ASSERT_FALSE(LooseFilesFirst());
  ASSERT_EQ(LoadEngineConfig(), 0);
  EXPECT_EQ(g_WindowTitle, "loose");
  EXPECT_EQ(g_QuitFlag.load(), 0);
}

TEST_F(PackedGameTest, FixtureGameLoadsFromAPack) {
  std::vector<GameFile> files = BuildScriptDataFiles(MakeFixtureGame());
  WritePack(files);
  ASSERT_EQ(LoadEngineConfig(), 0);
  EXPECT_EQ(g_WindowTitle, "フィクスチャ");
  ASSERT_EQ(CreateObjectTrees(), 0);
  ASSERT_EQ(LoadScriptData(), 0);
  ObjectTreeNode* mainTask = FindObjectByPath(g_TaskRoot, "SYSTEM", kPathLeaf);
  ASSERT_NE(mainTask, nullptr);
  auto* context = static_cast<ExecutionContext*>(mainTask->mPayload);
  EXPECT_EQ(context->mPc, 1);
  EXPECT_EQ(context->mScriptNumber, 0);
  EXPECT_EQ(g_VariableTable[kFixtureInt]->mInts[0], 42);
  EXPECT_EQ(LoadScriptFile(1), 1);
  EXPECT_EQ(g_VariableTable[kFixtureScriptVar]->mInts[0], 7);
  EXPECT_EQ(g_QuitFlag.load(), 0);
}

TEST_F(PackedGameTest, ADamagedPackedScriptFileIsReported) {
  ScriptData data = MakeFixtureGame();
  std::vector<GameFile> files = BuildScriptDataFiles(data);
  for (GameFile& file : files) {
    if (file.mName == ScriptFileName(1)) file.mBytes.resize(20);
  }
  WritePack(files);
  ASSERT_EQ(CreateObjectTrees(), 0);
  ASSERT_EQ(LoadScriptData(), 0);
  EXPECT_EQ(LoadScriptFile(1), 0);
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_EQ(g_LastErrorText, ExpectedReport(104010, {ScriptFileName(1)}));
}

}  // namespace
