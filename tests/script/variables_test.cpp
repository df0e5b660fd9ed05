// The variable store: declarations, the assignment command with every
// operator for each type, and the element setters.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/errors.h"
#include "core/process_state.h"
#include "script/script_data.h"
#include "script/system_variables.h"
#include "script/variables.h"
#include "support/script_runner.h"

namespace {

class VariablesTest : public ::testing::Test {
 protected:
  template <typename Body>
  void Run(Body body) {
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

Arg Target(const Expr& target, uint8_t op) { return {"target", target, op}; }

void Assign(ScriptAssembler& code, const Expr& target, const Expr& value, uint8_t op = 0) {
  code.Op("assign", {Target(target, op), {"value", value}});
}

TEST_F(VariablesTest, DeclarationsBuildArraysWithTheirInitialValue) {
  Run([](ScriptAssembler& code) {
    code.Op("int", {{"var", Elem(kRunFree, {Num(10), Num(20)})}, {"value", Num(7)}});
    code.Op("real", {{"var", Var(kRunInt)}, {"value", Real(1.5)}});
    code.Op("str", {{"var", Elem(kRunInt2, {Num(2)})}, {"value", Str("ab")}});
  });
  EXPECT_EQ(g_LastErrorText, "");
  const VariableRecord* record = FindVariableRecord(kRunFree);
  EXPECT_EQ(record->mVarType, kVarInt);
  EXPECT_EQ(record->mDimCount, 2);
  EXPECT_EQ(record->mDims[0], 10);
  EXPECT_EQ(record->mDims[1], 20);
  EXPECT_EQ(record->mCount, 200);
  EXPECT_EQ(IntVar(kRunFree, 0), 7);
  EXPECT_EQ(IntVar(kRunFree, 199), 7);
  const VariableRecord* scalar = FindVariableRecord(kRunInt);
  EXPECT_EQ(scalar->mVarType, kVarReal);
  EXPECT_EQ(scalar->mDimCount, 0);
  EXPECT_EQ(scalar->mCount, 1);
  EXPECT_EQ(RealVar(kRunInt), 1.5);
  EXPECT_EQ(FindVariableRecord(kRunInt2)->mCount, 2);
  EXPECT_EQ(TextVar(kRunInt2, 1), "ab");
}

struct BadDeclaration {
  const char* mWhat;
  std::vector<Expr> mDims;
  int32_t mMessage;
};

TEST(VariableDeclarationTest, RefusedSizesLeaveTheVariableAsItWas) {
  const BadDeclaration cases[] = {
      {"4,002,000 elements", {Num(2000), Num(2001)}, 101100},
      {"a 0 dimension", {Num(0)}, 101110},
      {"two negative dimensions", {Num(-2), Num(-3)}, 101110},
  };
  for (const BadDeclaration& entry : cases) {
    SCOPED_TRACE(entry.mWhat);
    ScriptRunner game;
    ScriptAssembler code = game.Script(0);
    code.Label("SYSTEM_START");
    Expr var = Token('V', ByteWriter().U8(' ').U16(kRunIntList).mBytes);
    for (const Expr& dim : entry.mDims) var = Bin(var, dim, ',');
    var = Bin(var, Token(')'), ',');
    code.Op("int", {{"var", var}, {"value", Num(1)}});
    code.Op("end");
    game.Add(code);
    ASSERT_TRUE(game.Load());
    ASSERT_EQ(SetNumberElement(kRunIntList, 2, 9), 0);
    game.RunUntilQuit();
    EXPECT_TRUE(LastReportIs(entry.mMessage)) << g_LastErrorText;
    const VariableRecord* record = FindVariableRecord(kRunIntList);
    EXPECT_EQ(record->mCount, 3);
    EXPECT_EQ(record->mDimCount, 1);
    EXPECT_EQ(record->mDims[0], 3);
    EXPECT_EQ(IntVar(kRunIntList, 2), 9);
  }
}

struct IntAssignCase {
  uint8_t mOp;
  int64_t mStart;
  int64_t mValue;
  int64_t mExpected;
};

TEST(AssignOperatorTest, IntegerOperators) {
  const int64_t kMin = std::numeric_limits<int64_t>::min();
  const IntAssignCase cases[] = {
      {0, 5, 3, 3},   {1, 5, 3, 8},    {2, 5, 3, 2},    {3, 5, 3, 15},  {4, 7, 2, 3},
      {4, 7, 0, 7},   {4, kMin, -1, kMin}, {5, -7, 3, -1}, {5, 7, 0, 7}, {5, kMin, -1, 0},
      {6, 12, 10, 8}, {7, 12, 3, 15},  {8, 12, 10, 6},  {1, std::numeric_limits<int64_t>::max(), 1, kMin},
  };
  for (const IntAssignCase& entry : cases) {
    SCOPED_TRACE(testing::Message() << "op " << int(entry.mOp) << " " << entry.mStart << ", " << entry.mValue);
    EXPECT_EQ(ApplyIntAssign(entry.mOp, entry.mStart, entry.mValue), entry.mExpected);
  }
}

struct RealAssignCase {
  uint8_t mOp;
  double mStart;
  double mValue;
  double mExpected;
};

TEST(AssignOperatorTest, RealOperators) {
  const double nan = std::nan("");
  const RealAssignCase cases[] = {
      {0, 5.5, 2.0, 2.0},  {1, 5.5, 2.0, 7.5}, {2, 5.5, 2.0, 3.5}, {3, 5.5, 2.0, 11.0}, {4, 5.0, 2.0, 2.5},
      {4, 5.0, 0.0, 5.0},  {4, 5.0, nan, 5.0}, {5, 7.9, 2.9, 1.0}, {5, 7.9, 0.0, 7.9}, {5, 7.9, nan, 7.9},
      {5, 7.9, 0.5, 7.9},  {5, 7.9, -0.5, 7.9}, {6, 12.7, 10.2, 8.0}, {7, 12.7, 3.1, 15.0}, {8, 12.0, 10.0, 6.0},
  };
  for (const RealAssignCase& entry : cases) {
    SCOPED_TRACE(testing::Message() << "op " << int(entry.mOp) << " " << entry.mStart << ", " << entry.mValue);
    double result = entry.mStart;
    if (!ApplyRealAssign(entry.mOp, entry.mStart, entry.mValue, &result)) result = entry.mStart;
    EXPECT_EQ(result, entry.mExpected);
  }
}

TEST_F(VariablesTest, AssignmentCommandForEachType) {
  Run([](ScriptAssembler& code) {
    Assign(code, Var(kRunInt), Num(10));
    Assign(code, Var(kRunInt), Num(4), 2);          // 6
    Assign(code, Var(kRunInt), Num(0), 4);          // unchanged by /= 0
    Assign(code, Elem(kRunIntArray, {Num(2), Num(3)}), Num(5));
    Assign(code, Elem(kRunIntArray, {Num(2), Num(3)}), Num(3), 3);  // 15
    Assign(code, Var(kRunReal), Real(7.9));
    Assign(code, Var(kRunReal), Real(2.9), 5);      // 1.0
    Assign(code, Elem(kRunRealArray, {Num(1)}), Num(3));  // integer value into a real
    Assign(code, Elem(kRunRealArray, {Num(2)}), Real(0.0));
    Assign(code, Elem(kRunRealArray, {Num(2)}), Real(0.0), 4);  // unchanged by /= 0.0
    Assign(code, Var(kRunText), Str("ab"));
    Assign(code, Var(kRunText), Str("cd"), 1);
    Assign(code, Elem(kRunTextArray, {Num(1)}), ToStr(Bin(Num(6), Num(7), '*')));
    Assign(code, Whole(kRunIntList), Num(4));
  });
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunInt), 6);
  EXPECT_EQ(IntVar(kRunIntArray, 11), 15);
  EXPECT_EQ(RealVar(kRunReal), 1.0);
  EXPECT_EQ(RealVar(kRunRealArray, 1), 3.0);
  EXPECT_EQ(RealVar(kRunRealArray, 2), 0.0);
  EXPECT_EQ(TextVar(kRunText), "abcd");
  EXPECT_EQ(TextVar(kRunTextArray, 1), "42");
  for (int64_t index = 0; index < 3; ++index) EXPECT_EQ(IntVar(kRunIntList, index), 4);
  EXPECT_EQ(FindVariableRecord(kRunIntList)->mDimCount, 1);
  EXPECT_EQ(FindVariableRecord(kRunIntList)->mCount, 3);
}

TEST_F(VariablesTest, StringAppendStopsAtTheBufferSize) {
  std::string long4000(4000, 'x');
  Run([&](ScriptAssembler& code) {
    Assign(code, Var(kRunText), Str(long4000));
    Assign(code, Var(kRunText), Str(std::string(97, 'y')), 1);  // 100 compiled bytes
    Assign(code, Elem(kRunTextArray, {Num(0)}), Str(std::string(4000, 'z')));
    // A short expression that reads a long text: the joined length decides.
    Assign(code, Elem(kRunTextArray, {Num(0)}), Var(kRunText), 1);
    Assign(code, Elem(kRunTextArray, {Num(1)}), Str("a"));
    Assign(code, Elem(kRunTextArray, {Num(1)}), Str("b"), 1);
  });
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(TextVar(kRunText), long4000);
  EXPECT_EQ(TextVar(kRunTextArray, 0), std::string(4000, 'z'));
  EXPECT_EQ(TextVar(kRunTextArray, 1), "ab");
}

struct BadAssignment {
  const char* mWhat;
  Expr mTarget;
  uint8_t mOp;
  int32_t mMessage;
};

TEST(AssignmentRefusalTest, WrongOperatorsAndTypes) {
  const BadAssignment cases[] = {
      {"-= on a string", Var(kRunText), 2, 101140},
      {"operator 9 on an integer", Var(kRunInt), 9, 101140},
      {"operator 200 on a real", Var(kRunReal), 200, 101140},
      {"a system variable that is not writable", Elem(kSysTaskInt, {Num(1)}), 0, 101150},
  };
  for (const BadAssignment& entry : cases) {
    SCOPED_TRACE(entry.mWhat);
    ScriptRunner game;
    ScriptAssembler code = game.Script(0);
    code.Label("SYSTEM_START");
    RawInstruction raw;
    raw.mCommand = 53;
    raw.mArgs.resize(2);
    raw.mArgs[0].mExpression = entry.mTarget.mBytes;
    raw.mArgs[0].mOperator = entry.mOp;
    raw.mArgs[1].mId = 1;
    raw.mArgs[1].mExpression = Num(1).mBytes;
    code.Raw(raw);
    code.Op("end");
    game.Add(code);
    // The loader refuses assignment operators above 8 in the target record;
    // what it passes must still be handled, so bypass it for the test.
    if (entry.mOp > 8) {
      game.mData.mScriptFiles[0][0].mArgs[0].mOperator = 0;
    }
    ASSERT_TRUE(game.Load());
    if (entry.mOp > 8) g_ScriptFileTable[0]->mArgRecords[0][0].mOperator = entry.mOp;
    game.RunUntilQuit();
    EXPECT_TRUE(LastReportIs(entry.mMessage)) << g_LastErrorText;
  }
}

TEST_F(VariablesTest, SettersConvertAndCheck) {
  Run([](ScriptAssembler&) {});
  EXPECT_EQ(SetNumberElement(kRunReal, 0, 3), 0);
  EXPECT_EQ(RealVar(kRunReal), 3.0);
  EXPECT_EQ(SetRealElement(kRunInt, 0, -2.7), 0);
  EXPECT_EQ(IntVar(kRunInt), -2);
  EXPECT_EQ(SetNumberElement(kRunIntList, 3, 1), -1);
  EXPECT_EQ(SetNumberElement(kRunIntList, -1, 1), -1);
  EXPECT_EQ(IntVar(kRunIntList, 3), 0);
  EXPECT_EQ(GetStringElement(kRunTextArray, 3), nullptr);
  EXPECT_EQ(GetStringElement(kRunInt, 0), nullptr);
  // A long text grows the element; a shorter one reuses it.
  std::string big(70000, 'q');
  EXPECT_EQ(SetStringElement(kRunText, 0, big.c_str()), 0);
  EXPECT_EQ(TextVar(kRunText), big);
  EXPECT_EQ(SetStringElement(kRunText, 0, "short"), 0);
  EXPECT_EQ(TextVar(kRunText), "short");
  EXPECT_EQ(SetStringElementBytes(kRunText, 0, "abc", 2), 0);
  EXPECT_EQ(TextVar(kRunText), "ab");
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(SetStringElement(kRunInt, 0, "x"), -1);
  EXPECT_TRUE(LastReportIs(kMsgElementTypeMismatch));
}

}  // namespace
