// Script files: unscrambling, the checks made when a file loads, and labels.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "core/checksums.h"
#include "core/errors.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "script/script_data.h"
#include "support/command_table.h"
#include "support/fixture_game.h"
#include "support/script_assembler.h"
#include "support/script_test_env.h"

namespace {

int32_t Label(const std::string& name) { return FindLabel(name.data(), name.size()); }

uint8_t Slot(const char* name) { return static_cast<uint8_t>(FindCommandSlot(name)); }

RawArgument Expression(uint8_t id, const Expr& value) {
  RawArgument argument;
  argument.mId = id;
  argument.mExpression = value.mBytes;
  return argument;
}

RawArgument Target(uint8_t id, uint32_t target) {
  RawArgument argument;
  argument.mId = id;
  argument.mBranchTarget = target;
  return argument;
}

class ScriptFileTest : public ::testing::Test {
 protected:
  void SetUp() override { mData = MakeFixtureGame(); }

  // Loads the fixture with script 1 replaced by this file image.
  int LoadSubScript(const Bytes& image) {
    mEnv.Write(BuildScriptDataFiles(mData));
    mEnv.Write({ScriptFileName(1), image});
    EXPECT_EQ(CreateObjectTrees(), 0);
    EXPECT_EQ(LoadScriptData(), 0);
    return LoadScriptFile(1);
  }
  int LoadSubScript(const std::vector<RawInstruction>& code) {
    return LoadSubScript(BuildScriptFile(BuildScriptSections(code), DefaultSectionKey()));
  }

  ScriptTestEnvironment mEnv;
  ScriptData mData;
};

TEST(ScrambleSectionTest, IsItsOwnInverseAndRestartsTheKeyPerCall) {
  const uint8_t key[4] = {0x12, 0x34, 0x56, 0x78};
  uint8_t data[7] = {1, 2, 3, 4, 5, 6, 7};
  ScrambleSection(data, sizeof(data), key);
  const uint8_t scrambled[7] = {1 ^ 0x12, 2 ^ 0x34, 3 ^ 0x56, 4 ^ 0x78, 5 ^ 0x12, 6 ^ 0x34, 7 ^ 0x56};
  EXPECT_EQ(std::memcmp(data, scrambled, sizeof(data)), 0);
  ScrambleSection(data, sizeof(data), key);
  const uint8_t original[7] = {1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(std::memcmp(data, original, sizeof(data)), 0);
}

TEST_F(ScriptFileTest, OddSectionsUnscrambleWithTheKeyRestartingPerSection) {
  // Expressions of 7 and 10 bytes: the line section starts off the 4-byte
  // grid and its key starts over.
  std::vector<RawInstruction> code(3);
  code[0].mCommand = Slot("wait");
  code[0].mArgs = {Expression(0, Str("ab"))};
  code[0].mLine = 0x11223344;
  code[1].mCommand = Slot("wait");
  code[1].mArgs = {Expression(1, Str("abcde"))};
  code[1].mLine = -7;
  code[2].mCommand = Slot("end");
  code[2].mLine = 3;
  ScriptFileSections sections = BuildScriptSections(code);
  ASSERT_EQ(sections.mExpressions.size(), 17u);
  const std::array<uint8_t, 4> key{0xA5, 0x5A, 0xC3, 0x3C};
  ASSERT_EQ(LoadSubScript(BuildScriptFile(sections, key)), 0);  // the engine's key differs

  ResetScriptEngineState();
  mData.mKey = key;
  g_ScriptSectionKey[0] = 0xA5;
  g_ScriptSectionKey[1] = 0x5A;
  g_ScriptSectionKey[2] = 0xC3;
  g_ScriptSectionKey[3] = 0x3C;
  ASSERT_EQ(LoadSubScript(BuildScriptFile(sections, key)), 1);
  const ScriptFileRecord* record = g_ScriptFileTable[1];
  EXPECT_EQ(record->mLines[0], 0x11223344);
  EXPECT_EQ(record->mLines[1], -7);
  EXPECT_EQ(record->mLines[2], 3);
  EXPECT_EQ(record->mArgRecords[1][0].mId, 1);
  EXPECT_EQ(record->mArgRecords[1][0].mOffset, 7u);
  EXPECT_EQ(record->mArgRecords[1][0].mLength, 10u);
  EXPECT_EQ(std::memcmp(record->mExpressionData + 7, Str("abcde").mBytes.data(), 10), 0);
}

TEST_F(ScriptFileTest, WrongKeyIsRefused) {
  std::vector<RawInstruction> code(1);
  code[0].mCommand = 0;  // the nop unscrambles to 0xFF with this key
  std::array<uint8_t, 4> key = DefaultSectionKey();
  key[0] ^= 0xFF;
  EXPECT_EQ(LoadSubScript(BuildScriptFile(BuildScriptSections(code), key)), 0);
  EXPECT_EQ(g_LastErrorText, ExpectedReport(104010, {ScriptFileName(1)}));
}

// One bad script file and whether it must be refused.
struct BadScript {
  const char* mWhat;
  std::function<Bytes()> mBuild;
};

Bytes Plain(const std::vector<RawInstruction>& code) {
  return BuildScriptFile(BuildScriptSections(code), DefaultSectionKey());
}

RawInstruction Instruction(uint8_t command, std::vector<RawArgument> args = {}, uint16_t aux = 0) {
  RawInstruction instruction;
  instruction.mCommand = command;
  instruction.mArgs = std::move(args);
  instruction.mAux = aux;
  return instruction;
}

// One instruction with header fields that lie.
Bytes WithHeader(const RawInstruction& instruction, const ScriptHeaderOverrides& overrides) {
  return BuildScriptFile(BuildScriptSections({instruction}), DefaultSectionKey(), overrides);
}

// A wait with one byte of its argument record changed.
Bytes WithArgumentByte(size_t index, uint8_t value) {
  ScriptFileSections sections = BuildScriptSections({Instruction(Slot("wait"), {Expression(0, Num(1))})});
  sections.mArguments.at(index) = value;
  return BuildScriptFile(sections, DefaultSectionKey());
}

TEST_F(ScriptFileTest, MalformedScriptFilesAreRefused) {
  const BadScript cases[] = {
      {"command 121", [] { return Plain({Instruction(121)}); }},
      {"command 255", [] { return Plain({Instruction(255)}); }},
      {"loop end past the instructions",
       [] { return Plain({Instruction(Slot("loop"), {Expression(0, Num(1)), Target(1, 2)}), Instruction(Slot("endloop"))}); }},
      {"if end past the instructions",
       [] {
         return Plain({Instruction(Slot("if"), {Expression(0, Num(1)), Target(1, 0), Target(2, 5)}),
                       Instruction(Slot("endif"))});
       }},
      {"else branch past the instructions",
       [] { return Plain({Instruction(Slot("else"), {Expression(0, Num(1)), Target(1, 9)})}); }},
      {"if with two records", [] { return Plain({Instruction(Slot("if"), {Expression(0, Num(1)), Target(1, 0)})}); }},
      {"else with one record", [] { return Plain({Instruction(Slot("else"), {Expression(0, Num(1))})}); }},
      {"call with 17 integers",
       [] { return Plain({Instruction(Slot("call"), {Expression(0, Str("sub"))}, EncodeCallAux(17, 0, 0))}); }},
      {"return with 17 reals", [] { return Plain({Instruction(Slot("return"), {}, EncodeCallAux(0, 17, 0))}); }},
      {"call with 17 strings",
       [] { return Plain({Instruction(Slot("call"), {Expression(0, Str("sub"))}, EncodeCallAux(0, 0, 17))}); }},
      {"argument id not declared", [] { return Plain({Instruction(Slot("wait"), {Expression(2, Num(1))})}); }},
      {"value type 0",
       [] {
         RawArgument argument = Expression(0, Num(1));
         argument.mValueType = 0;
         return Plain({Instruction(Slot("wait"), {argument})});
       }},
      {"value type 5",
       [] {
         RawArgument argument = Expression(0, Num(1));
         argument.mValueType = 5;
         return Plain({Instruction(Slot("wait"), {argument})});
       }},
      {"assignment operator 9",
       [] {
         RawArgument target = Expression(0, Var(1000));
         target.mOperator = 9;
         return Plain({Instruction(Slot("assign"), {target, Expression(1, Num(1))})});
       }},
      // Offset 1: the 4-byte expression ends one byte past its section.
      {"expression past its section", [] { return WithArgumentByte(8, 1); }},
      {"expression length with the label tag", [] { return WithArgumentByte(7, 0x10); }},
      {"argument records past their section",
       [] { return WithHeader(Instruction(Slot("wait"), {Expression(0, Num(1))}), {.mArgumentBytes = 11}); }},
      {"sections past the end of the file",
       [] { return WithHeader(Instruction(Slot("end")), {.mLineBytes = 0xFFFFFFF0u}); }},
      {"more instructions than the section holds",
       [] { return WithHeader(Instruction(Slot("end")), {.mCount = 2}); }},
      {"a huge instruction count", [] { return WithHeader(Instruction(Slot("end")), {.mCount = 0x40000001u}); }},
      {"instruction section not four bytes an instruction",
       [] {
         ScriptFileSections sections = BuildScriptSections({Instruction(Slot("end"))});
         sections.mInstructions.push_back(0);
         return BuildScriptFile(sections, DefaultSectionKey());
       }},
      {"no header", [] { return Bytes(31, 0); }},
  };
  for (const BadScript& entry : cases) {
    SCOPED_TRACE(entry.mWhat);
    ResetScriptEngineState();
    EXPECT_EQ(LoadSubScript(entry.mBuild()), 0);
    EXPECT_EQ(g_QuitFlag.load(), 1);
    EXPECT_EQ(g_LastErrorText, ExpectedReport(104010, {ScriptFileName(1)}));
    // Nothing is kept of a refused file: a later load tries again.
    EXPECT_EQ(g_ScriptFileTable[1], nullptr);
  }
}

TEST_F(ScriptFileTest, CommandsMustBeDeclared) {
  mData.mCommands.resize(104);  // "wait" (104) is no longer declared
  mEnv.Write(BuildScriptDataFiles(mData));
  ASSERT_EQ(CreateObjectTrees(), 0);
  EXPECT_NE(LoadScriptData(), 0);
  EXPECT_EQ(g_LastErrorText, ExpectedReport(104010, {ScriptFileName(0)}));
}

TEST_F(ScriptFileTest, AnEmptyScriptLoads) {
  EXPECT_EQ(LoadSubScript(std::vector<RawInstruction>{}), 0);  // the label "sub" points past it
  ResetScriptEngineState();
  mData.mLabels.pop_back();
  EXPECT_EQ(LoadSubScript(std::vector<RawInstruction>{}), 1);
  EXPECT_EQ(g_ScriptFileTable[1]->mInstructionCount, 0);
}

// Labels: buckets by the hash's top byte, scanned past their end, names
// compared after equal hashes.
class LabelTest : public ::testing::Test {
 protected:
  // A name whose hash has the given top byte.
  static std::string NameWithTopByte(uint32_t top, const std::string& prefix) {
    for (int index = 0;; ++index) {
      std::string name = prefix + std::to_string(index);
      if (MurmurHash2(name.data(), name.size()) >> 24 == top) return name;
    }
  }

  void LoadLabels(const std::vector<LabelEntry>& labels, const std::array<int32_t, 256>* buckets = nullptr) {
    ScriptData data = MakeFixtureGame();
    mEnv.Write(BuildScriptDataFiles(data));
    mEnv.Write({"qvbin\\qvl.qbn", BuildLabelFile(labels, buckets)});
    ASSERT_EQ(LoadScriptList(), 0);
    ASSERT_EQ(::LoadLabels(), 0);
  }

  ScriptTestEnvironment mEnv;
};

TEST_F(LabelTest, BucketZeroStartsAtZeroWhateverIsStored) {
  std::string low = NameWithTopByte(0, "low");
  std::array<int32_t, 256> buckets{};
  buckets.fill(1);
  buckets[0] = 5;
  LoadLabels({{low, 0, 0, 0, 0, {}}, {NameWithTopByte(0x90, "high"), 0, 0, 0, 0, {}}}, &buckets);
  EXPECT_EQ(g_LabelBuckets[0], 0);
  EXPECT_EQ(Label(low), 0);
}

TEST_F(LabelTest, EmptyBucketsScanOnAndMissesEndAtMinusOne) {
  std::string a = NameWithTopByte(0x40, "a");
  std::string b = NameWithTopByte(0x80, "b");
  LoadLabels({{b, 3, 1, 0, 0, {}}, {a, 2, 0, 0, 0, {}}});
  EXPECT_EQ(Label(a), 0);  // sorted by top byte
  EXPECT_EQ(Label(b), 1);
  EXPECT_EQ(g_Labels[1].mPosition, 3);
  EXPECT_EQ(g_Labels[1].mScriptNumber, 1);
  // Empty buckets below, between and above the labels.
  EXPECT_EQ(Label(NameWithTopByte(0x10, "c")), -1);
  EXPECT_EQ(Label(NameWithTopByte(0x60, "d")), -1);
  EXPECT_EQ(Label(NameWithTopByte(0xF0, "e")), -1);
  EXPECT_EQ(Label("A"), -1);
}

TEST_F(LabelTest, ScanContinuesPastTheBucket) {
  std::string a = NameWithTopByte(0x40, "a");
  std::string b = NameWithTopByte(0x80, "b");
  // b's bucket claims to start at 0: the scan still reaches it.
  std::array<int32_t, 256> buckets{};
  LoadLabels({{a, 0, 0, 0, 0, {}}, {b, 0, 0, 0, 0, {}}}, &buckets);
  EXPECT_EQ(Label(b), 1);
  // A bucket start past the labels finds nothing.
  ResetScriptEngineState();
  buckets.fill(2);
  buckets[0x80] = 7;
  LoadLabels({{a, 0, 0, 0, 0, {}}, {b, 0, 0, 0, 0, {}}}, &buckets);
  EXPECT_EQ(Label(b), -1);
}

TEST_F(LabelTest, EqualHashesAreToldApartByName) {
  uint32_t hash = MurmurHash2("beta", 4);
  LoadLabels({{"alpha", 1, 0, 0, 0, hash}, {"beta", 2, 0, 0, 0, {}}, {"Beta", 3, 0, 0, 0, hash}});
  EXPECT_EQ(Label("beta"), 1);
  // Names compare with case; "alpha" is filed under another name's hash.
  EXPECT_EQ(Label("Beta"), -1);
  EXPECT_EQ(Label("alpha"), -1);
  EXPECT_EQ(Label("bet"), -1);
}

TEST_F(ScriptFileTest, CallLabelsAboveSixteenBitsResolve) {
  // Over 65,536 labels; the call names the last one in label order.
  for (int index = 0; index <= 65536; ++index) mData.mLabels.push_back({"L" + std::to_string(index), 0, 0, 0, 0, {}});
  std::vector<LabelEntry> sorted = SortLabels(mData.mLabels);
  std::string target = sorted.back().mName;
  auto last = static_cast<int32_t>(sorted.size() - 1);
  ScriptAssembler sub(StandardCommandTable(), 1);
  sub.Label("sub");
  sub.Call(Str(target));
  sub.Call(Str(sorted[0].mName));
  sub.Jump(Str(target));
  mData.mScriptFiles[1] = sub.Finish();
  mEnv.Write(BuildScriptDataFiles(mData));
  ASSERT_EQ(CreateObjectTrees(), 0);
  ASSERT_EQ(LoadScriptData(), 0);
  ASSERT_EQ(LoadScriptFile(1), 1);
  const ScriptFileRecord* record = g_ScriptFileTable[1];
  ASSERT_EQ(Label(target), last);
  ASSERT_GT(last, 65535);
  EXPECT_EQ(record->mCallLabels[0], last);
  EXPECT_EQ(record->mCallLabels[1], 0);
  EXPECT_EQ(record->mArgRecords[2][0].mLength, kResolvedJumpTag + static_cast<uint32_t>(last));
}

}  // namespace
