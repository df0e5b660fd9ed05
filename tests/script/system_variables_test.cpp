// System variables: time fields, fixed answers, the one-byte text, path
// bases with their cut, indirect access through checked references, and the
// read-only numbers.
#include "script/system_variables.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>

#include "core/errors.h"
#include "core/object_tree.h"
#include "script/variables.h"
#include "support/script_runner.h"

namespace {

void Define(ScriptRunner& game, uint16_t number, uint8_t type, std::vector<uint32_t> dims = {}) {
  VariableDefinition definition;
  definition.mVariable = number;
  definition.mType = type;
  definition.mDims = std::move(dims);
  if (type == 3) definition.mStringExpression = Str("").mBytes;
  game.mData.mDefinitions.push_back(definition);
}

class SystemVariablesTest : public testing::Test {
 protected:
  void SetUp() override {
    Define(mGame, 0, 1, {16});
    Define(mGame, 5, 1);
    Define(mGame, 6, 1);
    Define(mGame, 7, 1);
    Define(mGame, 10, 2);
    Define(mGame, 12, 3, {9});
    Define(mGame, 49, 1);
    Define(mGame, 108, 1);
    Define(mGame, 110, 1);
    Define(mGame, 127, 3, {256});
    Define(mGame, 128, 3);
    Define(mGame, 131, 3);
  }
  void Run(const std::function<void(ScriptAssembler&)>& body) {
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    body(code);
    code.Op("end");
    mGame.Add(code);
    ASSERT_TRUE(mGame.Load());
    mGame.RunUntilQuit();
  }
  ScriptRunner mGame;
};

TEST_F(SystemVariablesTest, FixedAnswersTimeAndOneByteTexts) {
  Run([](ScriptAssembler&) {});
  time_t now = std::time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  EXPECT_EQ(EvalIntExpr(Elem(0, {Num(0)})), local.tm_year + 1900);
  EXPECT_EQ(EvalIntExpr(Elem(0, {Num(1)})), local.tm_mon + 1);
  EXPECT_GE(EvalIntExpr(Elem(0, {Num(7)})), 0);
  EXPECT_LT(EvalIntExpr(Elem(0, {Num(7)})), 1000);
  int64_t total = EvalIntExpr(Var(5));
  EXPECT_GT(total, 0);
  EXPECT_LE(EvalIntExpr(Var(7)), total);
  EXPECT_LE(EvalIntExpr(Var(6)), 100);
  EXPECT_EQ(EvalIntExpr(Var(49)), 999);
  EXPECT_EQ(EvalIntExpr(Var(108)), 554);
  EXPECT_DOUBLE_EQ(EvalRealExpr(Var(10)), 3.141592653589793);
  EXPECT_EQ(EvalTextExpr(Elem(127, {Num(0x41)})), "A");
  EXPECT_EQ(EvalTextExpr(Elem(127, {Num(0xB1)})), "\xB1");
  // Command-line arguments beyond the count read empty.
  EXPECT_EQ(EvalTextExpr(Elem(12, {Num(8)})), "");
}

TEST_F(SystemVariablesTest, PathBasesRoundTripAndCutAtACharacterBoundary) {
  std::string longBase = std::string(254, 'a') + "\x82\xA0" + "tail";
  Run([&](ScriptAssembler& code) {
    code.Op("assign", {{"target", Var(128)}, {"value", Str("layers\\ui")}});
    code.Op("assign", {{"target", Var(131)}, {"value", Str(longBase)}});
  });
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(EvalTextExpr(Var(128)), "layers\\ui");
  EXPECT_EQ(std::string(g_LayerPathBase), "layers\\ui");
  // 255 bytes would split the double-byte character: the cut keeps 254.
  EXPECT_EQ(EvalTextExpr(Var(131)), std::string(254, 'a'));
}

TEST_F(SystemVariablesTest, StepCounterIsReadOnly) {
  Run([](ScriptAssembler& code) { code.Op("assign", {{"target", Var(110)}, {"value", Num(3)}}); });
  EXPECT_TRUE(LastReportIs(kMsgSystemVariableReadOnly)) << LastReportTag();
}

TEST_F(SystemVariablesTest, IndirectAccessAddsAndChecksReferences) {
  const int64_t list = int64_t{kRunIntList} << 32;
  Run([&](ScriptAssembler& code) {
    code.Op("assign", {{"target", Elem(kRunIntList, {Num(2)})}, {"value", Num(40)}});
    code.Op("assign", {{"target", Elem(kSysIndirectInt, {Num(list + 2)}), 1}, {"value", Num(2)}});
    code.Op("assign", {{"target", Var(kRunInt)}, {"value", Elem(kSysIndirectInt, {Num(list + 2)})}});
  });
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunIntList, 2), 42);
  EXPECT_EQ(IntVar(kRunInt), 42);
  // An element past the variable's end reads as nothing.
  EXPECT_EQ(EvalIntExpr(Elem(kSysIndirectInt, {Num(list + 3)})), 0);
  EXPECT_DOUBLE_EQ(EvalRealExpr(Elem(kSysIndirectReal, {Num((int64_t{kRunRealArray} << 32) + 7)})), 0.0);
  EXPECT_EQ(EvalTextExpr(Elem(kSysIndirectString, {Num((int64_t{kRunTextArray} << 32) + 5)})), "");
  EXPECT_EQ(EvalIntExpr(Elem(kSysIndirectType, {Num(list + 99)})), kVarInt);
}

TEST_F(SystemVariablesTest, IndirectWritesOutsideTheVariableAreRefused) {
  const int64_t list = int64_t{kRunIntList} << 32;
  Run([&](ScriptAssembler& code) {
    code.Op("assign", {{"target", Elem(kSysIndirectInt, {Num(list + 3)})}, {"value", Num(2)}});
  });
  EXPECT_TRUE(LastReportIs(kMsgIndirectTypeMismatch)) << LastReportTag();
}

}  // namespace
