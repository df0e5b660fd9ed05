#include "script/script_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "datasrc/pack_index.h"
#include "platform/dialogs.h"
#include "platform/process.h"
#include "script/engine_config.h"
#include "script/task_step.h"
#include "script/variables.h"
#include "support/command_table.h"
#include "support/fixture_game.h"
#include "support/script_assembler.h"
#include "support/script_test_env.h"

namespace {

ExecutionContext* MainContext() {
  ObjectTreeNode* node = FindObjectByPath(g_TaskRoot, "SYSTEM", kPathLeaf);
  return node != nullptr ? static_cast<ExecutionContext*>(node->mPayload) : nullptr;
}

int32_t Label(const char* name) { return FindLabel(name, std::strlen(name)); }

class ScriptDataTest : public ::testing::Test {
 protected:
  // Writes the game, creates the trees and loads the script data.
  int Load(const ScriptData& data) {
    mEnv.Write(BuildScriptDataFiles(data));
    EXPECT_EQ(CreateObjectTrees(), 0);
    return LoadScriptData();
  }
  ScriptTestEnvironment mEnv;
};

TEST_F(ScriptDataTest, FixtureGameLoadsWithTheMainTaskAtSystemStart) {
  ASSERT_EQ(Load(MakeFixtureGame()), 0);
  EXPECT_EQ(g_QuitFlag.load(), 0);

  // Messages, commands, variables, scripts.
  EXPECT_EQ(GetMessageText(105000), "E105000[%s][%s][%s]");
  EXPECT_EQ(g_CommandCount, 121);
  EXPECT_STREQ(g_CommandNames[44], "if");
  EXPECT_EQ(g_ArgDeclCounts[43], 49);
  EXPECT_STREQ(g_ArgNames[43][0], "label");
  EXPECT_EQ(g_ArgValueKinds[43][17], 2);  // the reals of a call are raw
  EXPECT_EQ(g_ArgCheckKinds[105][0], 5);  // window numbers 0..3
  EXPECT_STREQ(g_ErrnoTexts[36], "errno 36");
  EXPECT_EQ(g_ScriptKeyTable[200], 200);
  EXPECT_EQ(g_VariableCount, 2000u);
  EXPECT_EQ(g_VariableFileValue, 77u);
  ASSERT_EQ(g_ScriptCount, 2);
  EXPECT_STREQ(g_ScriptNames[0], "main.txt");
  EXPECT_STREQ(g_ScriptNames[1], "sub\\sub.txt");

  // Start-up variables; the script variable waits for its script.
  const VariableRecord* integer = g_VariableTable[kFixtureInt];
  EXPECT_EQ(integer->mVarType, 1);
  EXPECT_EQ(integer->mGroup, 2);
  EXPECT_EQ(integer->mCount, 1);
  EXPECT_EQ(integer->mInts[0], 42);
  const VariableRecord* real = g_VariableTable[kFixtureReal];
  EXPECT_EQ(real->mDimCount, 1);
  EXPECT_EQ(real->mDims[0], 3);
  ASSERT_EQ(real->mCount, 3);
  EXPECT_EQ(real->mReals[2], 2.5);
  const VariableRecord* text = g_VariableTable[kFixtureString];
  EXPECT_EQ(text->mDimCount, 2);
  ASSERT_EQ(text->mCount, 4);
  EXPECT_STREQ(text->mStrings[3], "C:\\dir\\x");
  EXPECT_EQ(g_VariableTable[kFixtureScriptVar]->mVarType, 0);

  // The main task starts at SYSTEM_START in script 0.
  ExecutionContext* context = MainContext();
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(context->mScriptNumber, 0);
  EXPECT_EQ(context->mPc, 1);
  EXPECT_EQ(context->mBlockDepth, 0);
  EXPECT_EQ(context->mLoopDepth, 0);
  const ScriptFileRecord* record = g_ScriptFileTable[0];
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(context->mHandlers, record->mHandlers);
  EXPECT_EQ(context->mLines, record->mLines);
  EXPECT_EQ(context->mArgRecords, record->mArgRecords);
  EXPECT_EQ(context->mExpressionData, record->mExpressionData);
  EXPECT_EQ(record->mInstructionCount, 15);
  EXPECT_EQ(record->mLines[0], 1);
  EXPECT_EQ(record->mLines[14], 500);
  EXPECT_EQ(record->mHandlers[0][3], record->mHandlers[0][0]);
  EXPECT_EQ(record->mHandlers[1][3], g_CommandTable[44]);
  EXPECT_EQ(g_ScriptFileTable[1], nullptr);

  // Labels with their depths.
  int32_t inside = Label("inside");
  ASSERT_GE(inside, 0);
  EXPECT_EQ(g_Labels[inside].mPosition, 4);
  EXPECT_EQ(g_Labels[inside].mBlockDepth, 1);
  EXPECT_EQ(g_Labels[inside].mLoopDepth, 1);

  // Branch targets and aux words as the assembler wrote them.
  EXPECT_EQ(record->mArgRecords[2][1].mLength, 12u);  // loop end
  EXPECT_EQ(record->mArgRecords[3][1].mLength, 6u);   // if: next branch
  EXPECT_EQ(record->mArgRecords[3][2].mLength, 11u);  // if: end
  EXPECT_EQ(record->mArgRecords[6][1].mLength, 9u);   // else-if: next branch
  EXPECT_EQ(record->mAuxWords[4], EncodeCallAux(2, 1, 1));

  // Labels resolved at load: a constant jump, a call found and one not.
  EXPECT_EQ(record->mArgRecords[10][0].mLength, kResolvedJumpTag + static_cast<uint32_t>(inside));
  EXPECT_LT(record->mArgRecords[13][0].mLength, kResolvedJumpTag);
  auto recordNumber = [record](int instruction) {
    return static_cast<size_t>(record->mArgRecords[instruction] - record->mArgRecords[0]);
  };
  EXPECT_EQ(record->mCallLabels[recordNumber(4)], Label("sub"));
  EXPECT_EQ(record->mCallLabels[recordNumber(7)], -1);
  EXPECT_EQ(record->mCallLabels[recordNumber(4) + 1], -1);  // not a label argument
}

TEST_F(ScriptDataTest, ScriptFileLoadsOnceAndSetsUpItsVariables) {
  ASSERT_EQ(Load(MakeFixtureGame()), 0);
  ASSERT_EQ(LoadScriptFile(1), 1);
  const ScriptFileRecord* record = g_ScriptFileTable[1];
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(g_VariableTable[kFixtureScriptVar]->mInts[0], 7);
  EXPECT_EQ(g_VariableTable[kFixtureScriptVar]->mGroup, 4);
  // A second load neither reads the file nor resets the variables.
  g_VariableTable[kFixtureScriptVar]->mInts[0] = 99;
  mEnv.Remove(ScriptFileName(1));
  EXPECT_EQ(LoadScriptFile(1), 1);
  EXPECT_EQ(g_ScriptFileTable[1], record);
  EXPECT_EQ(g_VariableTable[kFixtureScriptVar]->mInts[0], 99);
  EXPECT_EQ(g_QuitFlag.load(), 0);
  // A number outside the script list is refused.
  EXPECT_EQ(LoadScriptFile(2), 0);
  EXPECT_EQ(g_LastErrorText, ExpectedReport(901030));
}

TEST_F(ScriptDataTest, ALaterDefinitionRebuildsTheVariable) {
  ScriptData data = MakeFixtureGame();
  VariableDefinition first = data.mDefinitions[2];
  first.mVariable = 1005;
  first.mDims = {1};
  VariableDefinition second = first;
  second.mScope = 3;
  second.mDims = {4};
  second.mStringExpression = Str("later").mBytes;
  data.mDefinitions.push_back(first);
  data.mDefinitions.push_back(second);
  ASSERT_EQ(Load(data), 0);
  const VariableRecord* record = g_VariableTable[1005];
  ASSERT_EQ(record->mCount, 4);
  EXPECT_STREQ(record->mStrings[3], "later");
}

TEST_F(ScriptDataTest, EnteringAScriptCopiesItsTables) {
  ASSERT_EQ(Load(MakeFixtureGame()), 0);
  ExecutionContext* context = MainContext();
  EXPECT_FALSE(EnterScriptFile(context, 1));  // not loaded yet
  ASSERT_EQ(LoadScriptFile(1), 1);
  ASSERT_TRUE(EnterScriptFile(context, 1));
  EXPECT_EQ(context->mScriptNumber, 1);
  EXPECT_EQ(context->mAuxWords, g_ScriptFileTable[1]->mAuxWords);
  EXPECT_EQ(context->mCallLabels, g_ScriptFileTable[1]->mCallLabels);
}

TEST_F(ScriptDataTest, ReportsAtScriptCarryTheFileAndLine) {
  ASSERT_EQ(Load(MakeFixtureGame()), 0);
  std::string name;
  int line = 0;
  EXPECT_FALSE(GetCurrentScriptLocation(&name, &line));  // no task is stepped
  g_CurrentContext = MainContext();
  g_CurrentInstruction = 14;
  ASSERT_TRUE(GetCurrentScriptLocation(&name, &line));
  EXPECT_EQ(name, "main.txt");
  EXPECT_EQ(line, 500);
  ReportErrorAtScriptFmt(900020, 0);
  EXPECT_EQ(g_ErrorScriptName, "main.txt");
  EXPECT_EQ(g_ErrorLine, 500);
  EXPECT_NE(g_LastErrorText.find("main.txt"), std::string::npos);
  g_CurrentInstruction = 15;  // past the end
  EXPECT_FALSE(GetCurrentScriptLocation(&name, &line));
}

std::vector<std::vector<std::string>> g_editorStarts;
bool RecordEditorStart(void*, const std::vector<std::string>& arguments) {
  g_editorStarts.push_back(arguments);
  return true;
}

TEST_F(ScriptDataTest, TheErrorDialogShowsTheLocationAndItsEditButtonOpensTheScript) {
  ASSERT_EQ(Load(MakeFixtureGame()), 0);
  g_CurrentContext = MainContext();
  g_CurrentInstruction = 14;
  g_DebugMode = 1;
  setenv("VISUAL", "vim", 1);
  g_editorStarts.clear();
  SetDetachedStartHook(RecordEditorStart, nullptr);
  mEnv.mDialogs.mErrorDialogPresses = {kErrorDialogEdit, kErrorDialogClose};

  ReportErrorAtScriptFmt(104060, 0, "x%d.png");
  SetDetachedStartHook(nullptr, nullptr);
  unsetenv("VISUAL");
  g_DebugMode = 0;
  g_CurrentContext = nullptr;

  const std::string expected =
      "[対象ファイル]\nmain.txt\n\n[場所]\n500 行目\n\n[内容]\n\n[x%d.png]ファイルが\n存在しません。";
  EXPECT_EQ(g_LastErrorText, expected);
  ASSERT_EQ(mEnv.mDialogs.mErrorDialogs.size(), 2u) << "the dialog stays open after Edit";
  EXPECT_EQ(mEnv.mDialogs.mErrorDialogs[0].mText, expected);
  EXPECT_EQ(mEnv.mDialogs.mErrorDialogs[0].mEditButton, EditButtonState::Enabled);
  ASSERT_EQ(g_editorStarts.size(), 1u);
  ASSERT_EQ(g_editorStarts[0].size(), 3u);
  EXPECT_EQ(g_editorStarts[0][0], "vim");
  EXPECT_EQ(g_editorStarts[0][1], "+500");
  EXPECT_TRUE(g_editorStarts[0][2].ends_with("/main.txt")) << g_editorStarts[0][2];
}

// One way to break the fixture, and the report that must follow.
struct BrokenCase {
  const char* mWhat;
  std::function<void(ScriptData&)> mBreak;
  int32_t mMessage;
  std::string mArgument;
};

TEST_F(ScriptDataTest, LoaderErrorTable) {
  const BrokenCase cases[] = {
      {"version 553", [](ScriptData& data) { data.mVariableVersion = 553; }, 105000, ""},
      {"version 555", [](ScriptData& data) { data.mVariableVersion = 555; }, 105000, ""},
      {"script number = count", [](ScriptData& data) { data.mScripts[1].mNumber = 2; }, 901030, ""},
      {"script number twice", [](ScriptData& data) { data.mScripts[1].mNumber = 0; }, 104010,
       "qvbin\\qvt_list.qbn"},
      {"definition past the variable count",
       [](ScriptData& data) { data.mDefinitions[3].mVariable = 2000; }, 900070, ""},
      {"no SYSTEM_START", [](ScriptData& data) { data.mLabels.erase(data.mLabels.begin()); }, 108180,
       "SYSTEM_START"},
      {"too many variables", [](ScriptData& data) { data.mVariableCount = 0x10000; }, 104010, "qvbin\\qvt.qbn"},
      {"label in a missing script", [](ScriptData& data) { data.mLabels[1].mScript = 2; }, 104010,
       "qvbin\\qvl.qbn"},
      {"label depth 64", [](ScriptData& data) { data.mLabels[1].mBlockDepth = 64; }, 104010, "qvbin\\qvl.qbn"},
      {"label loop depth 64", [](ScriptData& data) { data.mLabels[1].mLoopDepth = 64; }, 104010,
       "qvbin\\qvl.qbn"},
      {"label past the instructions", [](ScriptData& data) { data.mLabels[0].mPosition = 15; }, 104010,
       "qvbin\\qvt00000.qbn"},
      {"nine dimensions", [](ScriptData& data) { data.mDefinitions[1].mDims.assign(9, 1); }, 104010,
       "qvbin\\qvv.qbn"},
      {"more than 121 commands",
       [](ScriptData& data) { data.mCommands.push_back({"extra", {}}); }, 104010, "qvbin\\qvc.qbn"},
      {"check kind 29", [](ScriptData& data) { data.mCommands[104].mArgs[0].mCheckKind = 29; }, 104010,
       "qvbin\\qvc.qbn"},
      {"more than 256 messages",
       [](ScriptData& data) { data.mMessages.resize(257, {1, "x"}); }, 104010, "qvbin\\qve.qbn"},
      {"element count 0", [](ScriptData& data) { data.mDefinitions[1].mDims = {0}; }, 101110, ""},
      {"element count above the limit", [](ScriptData& data) { data.mDefinitions[1].mDims = {2000, 2001}; },
       101100, "4000000"},
  };
  for (const BrokenCase& entry : cases) {
    SCOPED_TRACE(entry.mWhat);
    ResetScriptEngineState();
    ScriptData data = MakeFixtureGame();
    entry.mBreak(data);
    EXPECT_NE(Load(data), 0);
    EXPECT_EQ(g_QuitFlag.load(), 1);
    // Messages of the message file exist only once it is loaded.
    if (GetMessageTextCount() == 0) InstallTaggedMessages(FixtureMessageIds());
    EXPECT_EQ(g_LastErrorText, ExpectedReport(entry.mMessage, entry.mArgument.empty()
                                                                   ? std::vector<std::string>{}
                                                                   : std::vector<std::string>{entry.mArgument}));
  }
}

TEST_F(ScriptDataTest, EveryFileIsRequired) {
  const char* files[] = {"qvbin\\qve.qbn",      "qvbin\\qvc.qbn", "qvbin\\qvt.qbn",      "qvbin\\qvt_list.qbn",
                         "qvbin\\qvv.qbn",      "qvbin\\qvl.qbn", "qvbin\\qvt00000.qbn"};
  for (const char* file : files) {
    SCOPED_TRACE(file);
    ResetScriptEngineState();
    mEnv.Write(BuildScriptDataFiles(MakeFixtureGame()));
    mEnv.Remove(file);
    ASSERT_EQ(CreateObjectTrees(), 0);
    EXPECT_NE(LoadScriptData(), 0);
    EXPECT_EQ(g_QuitFlag.load(), 1);
    EXPECT_EQ(g_LastErrorText, ExpectedReport(104060, {file}));
  }
}

// Truncating any compiled file anywhere is refused with a report, never read
// past its end.
TEST_F(ScriptDataTest, TruncatedFilesAreRefused) {
  std::vector<GameFile> files = BuildScriptDataFiles(MakeFixtureGame());
  for (const GameFile& file : files) {
    if (file.mName == "qvbin\\qvcfg.qbn") continue;
    for (size_t cut : {size_t{0}, size_t{5}, size_t{11}, file.mBytes.size() / 2, file.mBytes.size() - 1}) {
      SCOPED_TRACE(file.mName + " cut at " + std::to_string(cut));
      ResetScriptEngineState();
      mEnv.Write(files);
      GameFile shorter = file;
      shorter.mBytes.resize(cut);
      mEnv.Write(shorter);
      ASSERT_EQ(CreateObjectTrees(), 0);
      // The second script file is read when it is first needed.
      bool failed = LoadScriptData() != 0 || LoadScriptFile(1) == 0;
      EXPECT_TRUE(failed);
      EXPECT_EQ(g_QuitFlag.load(), 1);
    }
  }
}

TEST_F(ScriptDataTest, NegativeLabelBucketIsRefused) {
  ScriptData data = MakeFixtureGame();
  mEnv.Write(BuildScriptDataFiles(data));
  std::array<int32_t, 256> buckets{};
  buckets[7] = -3;
  mEnv.Write({"qvbin\\qvl.qbn", BuildLabelFile(data.mLabels, &buckets)});
  ASSERT_EQ(CreateObjectTrees(), 0);
  EXPECT_NE(LoadScriptData(), 0);
  EXPECT_EQ(g_LastErrorText, ExpectedReport(104010, {"qvbin\\qvl.qbn"}));
}

}  // namespace

namespace {

// Start-up builds the section key with the data keys, before any script file
// is read.
TEST(ScriptSectionKeyTest, DataKeysBuildTheSectionKey) {
  std::memset(g_ScriptSectionKey, 0, sizeof(g_ScriptSectionKey));
  InitDataKeys();
  uint8_t expected[4];
  MakeScriptSectionKey(kScriptIdentifier, expected);
  EXPECT_EQ(std::memcmp(g_ScriptSectionKey, expected, 4), 0);
  EXPECT_EQ(g_ScriptSectionKey[0], 0xBA);
}

}  // namespace
