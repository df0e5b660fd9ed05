// The expression evaluator: operators in both arithmetics, texts and their
// conversions, variables, subscripts and references, and malformed input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/errors.h"
#include "core/process_state.h"
#include "script/eval.h"
#include "script/system_variables.h"
#include "script/variables.h"
#include "support/script_runner.h"

namespace {

class EvalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    mGame.Add(code);
    ASSERT_TRUE(mGame.Load());
  }
  ScriptRunner mGame;
};

Expr Text(const std::string& text) { return Str(text); }

struct IntCase {
  const char* mWhat;
  Expr mExpr;
  int64_t mExpected;
};

TEST_F(EvalTest, IntegerOperatorsWrapAndDivideSafely) {
  const int64_t kMin = std::numeric_limits<int64_t>::min();
  const int64_t kMax = std::numeric_limits<int64_t>::max();
  const IntCase cases[] = {
      {"7 / 0", Bin(Num(7), Num(0), '/'), 0},
      {"7 % 0", Bin(Num(7), Num(0), '%'), 0},
      {"-7 % 3", Bin(Num(-7), Num(3), '%'), -1},
      {"7 % -3", Bin(Num(7), Num(-3), '%'), 1},
      {"-7 / 2 truncates", Bin(Num(-7), Num(2), '/'), -3},
      {"min / -1 wraps", Bin(Num(kMin), Num(-1), '/'), kMin},
      {"min % -1", Bin(Num(kMin), Num(-1), '%'), 0},
      {"max + 1 wraps", Bin(Num(kMax), Num(1), '+'), kMin},
      {"min - 1 wraps", Bin(Num(kMin), Num(1), '-'), kMax},
      {"max * 2 wraps", Bin(Num(kMax), Num(2), '*'), -2},
      {"negate min", Neg(Num(kMin)), kMin},
      {"3 > 2", Bin(Num(3), Num(2), '>'), 1},
      {"3 < 2", Bin(Num(3), Num(2), '<'), 0},
      {"2 Z 2", Bin(Num(2), Num(2), 'Z'), 1},
      {"3 S 2", Bin(Num(3), Num(2), 'S'), 0},
      {"2 = 2", Bin(Num(2), Num(2), '='), 1},
      {"2 ! 2", Bin(Num(2), Num(2), '!'), 0},
      {"5 & 0", Bin(Num(5), Num(0), '&'), 0},
      {"5 | 0", Bin(Num(5), Num(0), '|'), 1},
      {"12 A 10", Bin(Num(12), Num(10), 'A'), 8},
      {"12 O 3", Bin(Num(12), Num(3), 'O'), 15},
      {"12 ^ 10", Bin(Num(12), Num(10), '^'), 6},
      {"F 7.9 truncates", Real(7.9), 7},
      {"F -7.9 truncates", Real(-7.9), -7},
      {"F NaN", Real(std::nan("")), kMin},
      {"F 1e300", Real(1e300), kMin},
      {"comma does nothing: slot 0 keeps the first value", Bin(Num(4), Num(5), ','), 4},
      {"strings compare as 0 with >", Bin(Text("b"), Text("a"), '>'), 0},
  };
  for (const IntCase& entry : cases) {
    SCOPED_TRACE(entry.mWhat);
    EXPECT_EQ(EvalIntExpr(entry.mExpr), entry.mExpected);
    EXPECT_EQ(g_QuitFlag.load(), 0);
  }
}

struct RealCase {
  const char* mWhat;
  Expr mExpr;
  double mExpected;
};

TEST_F(EvalTest, RealOperatorsAndNaNComparisons) {
  const double nan = std::nan("");
  const RealCase cases[] = {
      {"7.5 / 0", Bin(Real(7.5), Num(0), '/'), 0.0},
      {"7.5 % 2 keeps left", Bin(Real(7.5), Num(2), '%'), 7.5},
      {"7.5 A 2 keeps left", Bin(Real(7.5), Num(2), 'A'), 7.5},
      {"1.5 * 3", Bin(Real(1.5), Num(3), '*'), 4.5},
      {"NaN = 1", Bin(Real(nan), Real(1), '='), 1.0},
      {"NaN < 1", Bin(Real(nan), Real(1), '<'), 1.0},
      {"NaN S 1", Bin(Real(nan), Real(1), 'S'), 1.0},
      {"NaN ! 1", Bin(Real(nan), Real(1), '!'), 0.0},
      {"NaN > 1", Bin(Real(nan), Real(1), '>'), 0.0},
      {"NaN Z 1", Bin(Real(nan), Real(1), 'Z'), 0.0},
      {"0.5 & 0.25", Bin(Real(0.5), Real(0.25), '&'), 1.0},
      {"L in real arithmetic", Num(int64_t{1} << 40), 1099511627776.0},
  };
  for (const RealCase& entry : cases) {
    SCOPED_TRACE(entry.mWhat);
    EXPECT_EQ(EvalRealExpr(entry.mExpr), entry.mExpected);
  }
  // The entries by value type: 2 and 4 truncate a real result.
  Expr half = Bin(Real(7.9), Num(1), '+');
  EXPECT_EQ(g_EvalIntEntry[2](half.mBytes.data(), static_cast<uint32_t>(half.mBytes.size())), 8);
  EXPECT_EQ(g_EvalIntEntry[1](half.mBytes.data(), static_cast<uint32_t>(half.mBytes.size())), 8);
  EXPECT_EQ(g_EvalEntry[1].mReal(half.mBytes.data(), static_cast<uint32_t>(half.mBytes.size())), 8.0);
}

TEST_F(EvalTest, TextsLiteralsAndConcatenation) {
  EXPECT_EQ(EvalTextExpr(Token('M', {'"', 'a', '\\', 't', 'b', '"'})), "a\tb");
  EXPECT_EQ(EvalTextExpr(Token('M', {'"', 'a', '\\', 'q', 'b', '"'})), "aqb");
  EXPECT_EQ(EvalTextExpr(Token('M', {'"', 'a', '\\', '\\', 'n', '"'})), "a\\n");
  EXPECT_EQ(EvalTextExpr(Token('M', {'"', 'a', '\\', 'n', '"'})), "a\n");
  // A backslash before the delimiter does not escape it.
  EXPECT_EQ(EvalTextExpr(Token('M', {'"', 'a', '\\', '"', 'b', '"'})), "a\\");
  // A double-byte character whose second byte is the delimiter stays whole.
  EXPECT_EQ(EvalTextExpr(Token('M', {'|', 0x83, '|', 'x', '|'})), std::string("\x83|x"));
  EXPECT_EQ(EvalTextExpr(Bin(Text("ab"), Text("cd"), '+')), "abcd");
  EXPECT_EQ(EvalIntExpr(Bin(Text("ab"), Text("ab"), '=')), 1);
  EXPECT_EQ(EvalIntExpr(Bin(Text("ab"), Text("abc"), '!')), 1);
  // 4000 + 100 bytes reach the limit: the left text stays.
  std::string long4000(4000, 'x');
  EXPECT_EQ(EvalTextExpr(Bin(Text(long4000), Text(std::string(100, 'y')), '+')), long4000);
  EXPECT_EQ(EvalTextExpr(Bin(Text(long4000), Text(std::string(95, 'y')), '+')).size(), 4095u);
  // A literal longer than 4095 bytes is cut on a character boundary.
  std::string wide;
  for (int index = 0; index < 2100; ++index) wide += "\x82\xa0";
  std::string cut = EvalTextExpr(Text(wide));
  EXPECT_EQ(cut.size(), 4094u);
  EXPECT_EQ(EvalTextExpr(Num(5)), "");
  EXPECT_EQ(g_QuitFlag.load(), 0);
}

TEST_F(EvalTest, TextAndNumberMixedIsRefused) {
  EvalIntExpr(Bin(Text("a"), Num(1), '+'));
  EXPECT_TRUE(LastReportIs(kMsgStringWhereNumberWanted));
}

TEST_F(EvalTest, ConversionsToAndFromText) {
  EXPECT_EQ(EvalIntExpr(ToNum(Text("0x10"))), 16);
  EXPECT_EQ(EvalIntExpr(ToNum(Text("0xffffFFFFffffFFFF"))), -1);
  EXPECT_EQ(EvalIntExpr(ToNum(Text("0x1fz"))), 31);
  EXPECT_EQ(EvalIntExpr(ToNum(Text(""))), 0);
  EXPECT_EQ(EvalIntExpr(ToNum(Text("-42"))), -42);
  EXPECT_EQ(EvalIntExpr(ToNum(Text("3.9"))), 3);
  EXPECT_EQ(EvalRealExpr(ToNum(Text("3.9"))), 3.9);
  EXPECT_EQ(EvalTextExpr(ToStr(Num(-12))), "-12");
  EXPECT_EQ(EvalTextExpr(ToStr(Real(2.5)), true), "2.500000");
  EXPECT_EQ(g_QuitFlag.load(), 0);
  for (const char* bad : {"0x", "12a", "\x82\xa0"}) {
    SCOPED_TRACE(bad);
    ResetErrorReporting();
    g_QuitFlag.store(0);
    EvalIntExpr(ToNum(Text(bad)));
    EXPECT_TRUE(LastReportIs(kMsgTextNotANumber));
  }
}

TEST_F(EvalTest, VariablesSubscriptsAndReferences) {
  ASSERT_EQ(SetNumberElement(kRunInt, 0, 9), 0);
  for (int64_t index = 0; index < 12; ++index) ASSERT_EQ(SetNumberElement(kRunIntArray, index, index * 10), 0);
  ASSERT_EQ(SetRealElement(kRunReal, 0, 2.75), 0);
  EXPECT_EQ(EvalIntExpr(Bin(Var(kRunInt), Num(1), '+')), 10);
  EXPECT_EQ(EvalIntExpr(Var(kRunReal)), 2);
  EXPECT_EQ(EvalRealExpr(Var(kRunReal)), 2.75);
  // Element (1, 2) of a 3 x 4 array is element 6; the last reference names it.
  EXPECT_EQ(EvalIntExpr(Elem(kRunIntArray, {Num(1), Num(2)})), 60);
  EXPECT_EQ(g_LastVarRef.mNumber, kRunIntArray);
  EXPECT_EQ(g_LastVarRef.mElement, 6);
  EXPECT_EQ(g_LastVarRef.mWholeVar, 0);
  // Subscripts use integer arithmetic inside a real expression.
  EXPECT_EQ(EvalRealExpr(Elem(kRunIntArray, {Bin(Real(2.9), Num(0), '+'), Num(3)})), 110.0);
  // Sigils push references.
  EXPECT_EQ(EvalIntExpr(Elem(kRunIntList, {Num(2)}, '#')), (int64_t{kRunIntList} << 32) + 2);
  EXPECT_EQ(g_LastVarRef.mSigil, kSigilHash);
  EXPECT_EQ(EvalIntExpr(Var(kRunInt, '`')), int64_t{kRunInt} << 32);
  EXPECT_EQ(g_LastVarRef.mSigil, kSigilGrave);
  EvalIntExpr(Whole(kRunIntList));
  EXPECT_EQ(g_LastVarRef.mWholeVar, 1);
  EXPECT_EQ(g_LastVarRef.mNumber, kRunIntList);
  // The flag is per run; the reference stays until another sets it.
  EvalIntExpr(Num(1));
  EXPECT_EQ(g_LastVarRef.mWholeVar, 0);
  EXPECT_EQ(g_LastVarRef.mNumber, kRunIntList);
  EXPECT_EQ(g_QuitFlag.load(), 0);
}

struct BadExpression {
  const char* mWhat;
  Expr mExpr;
  int32_t mMessage;
};

TEST_F(EvalTest, BadReferencesAndMalformedExpressionsFailWithTheirMessage) {
  Expr nine;
  for (int index = 0; index < 9; ++index) nine = Bin(nine, Num(0), ',');
  Expr tooMany = Token('V', ByteWriter().U8(' ').U16(kRunIntList).mBytes);
  for (int index = 0; index < 9; ++index) tooMany = Bin(tooMany, Num(0), ',');
  Expr deep;
  for (int index = 0; index < 1025; ++index) deep = Bin(deep, Num(1), ',');
  Expr nestedOpens;
  for (int index = 0; index < 130; ++index) nestedOpens = Bin(nestedOpens, Token('V', ByteWriter().U8(' ').U16(kRunIntList).mBytes), ',');
  const BadExpression cases[] = {
      {"element 3 of 3", Elem(kRunIntList, {Num(3)}), 107010},
      {"element -1", Elem(kRunIntList, {Num(-1)}), 107010},
      {"fewer subscripts than dimensions", Elem(kRunIntArray, {Num(1)}), 107010},
      {"a text as subscript", Elem(kRunIntList, {Str("1")}), 160010},
      {"undefined variable", Var(2500), 108010},
      {"undefined array", Elem(2500, {Num(0)}), 108010},
      {"unknown opcode", Token('?'), 900030},
      {"short payload", Token('I', {1, 2}), 900030},
      {"operator on an empty stack", Token('+'), 900030},
      {"close without open", Token(')'), 900030},
      {"nine subscripts", Bin(tooMany, Token(')'), ','), 900030},
      {"stack overflow", deep, 900030},
      {"130 subscripts opened inside one another", nestedOpens, 900030},
      {"three subscripts for a list", Elem(kSysIndirectInt, {Num(int64_t{kRunIntList} << 32), Num(0), Num(0)}), 107020},
  };
  for (const BadExpression& entry : cases) {
    SCOPED_TRACE(entry.mWhat);
    ResetErrorReporting();
    g_QuitFlag.store(0);
    EvalIntExpr(entry.mExpr);
    EXPECT_TRUE(LastReportIs(entry.mMessage)) << g_LastErrorText;
    EXPECT_EQ(g_QuitFlag.load(), 1);
  }
  // A token whose length runs past the expression's end.
  ResetErrorReporting();
  g_QuitFlag.store(0);
  const uint8_t truncated[] = {'M', 10, 0, '"', 'a'};
  EXPECT_EQ(RunExpression(truncated, sizeof(truncated)), -1);
  EXPECT_TRUE(LastReportIs(kMsgBadExpression));
  // A literal without its closing delimiter ends with its token.
  ResetErrorReporting();
  g_QuitFlag.store(0);
  EXPECT_EQ(EvalTextExpr(Token('M', {'"', 'a', 'b'})), "ab");
  EXPECT_EQ(g_QuitFlag.load(), 0);
}

TEST_F(EvalTest, IndirectVariablesReadThroughReferences) {
  ASSERT_EQ(SetNumberElement(kRunIntList, 2, 77), 0);
  ASSERT_EQ(SetNumberElement(kRunIntArray, 7, 5), 0);
  int64_t list = int64_t{kRunIntList} << 32;
  EXPECT_EQ(EvalIntExpr(Elem(kSysIndirectInt, {Num(list + 2)})), 77);
  EXPECT_EQ(g_LastVarRef.mNumber, kRunIntList);
  EXPECT_EQ(g_LastVarRef.mElement, 2);
  EXPECT_EQ(EvalIntExpr(Elem(kSysIndirectInt, {Num(list), Num(2)})), 77);
  EXPECT_EQ(EvalIntExpr(Elem(kSysIndirectInt, {Num(int64_t{kRunIntArray} << 32), Num(1), Num(3)})), 5);
  EXPECT_EQ(EvalIntExpr(Elem(kSysIndirectType, {Num(list)})), kVarInt);
  // A reference to a number without a record reads as no variable.
  EXPECT_EQ(EvalIntExpr(Elem(kSysIndirectInt, {Num((int64_t{0xFFFF0} << 32) + 1)})), 0);
  EXPECT_EQ(EvalIntExpr(Elem(kSysIndirectType, {Num(int64_t{0xFFFF0} << 32)})), 0);
  EXPECT_EQ(g_QuitFlag.load(), 0);
  EvalIntExpr(Elem(kSysIndirectInt, {Num(list), Num(3)}));
  EXPECT_TRUE(LastReportIs(kMsgSubscriptOutOfRange));
}

TEST_F(EvalTest, DeclarationModeCollectsDimensions) {
  g_DeclareMode = 1;
  EvalIntExpr(Elem(kRunFree, {Num(10), Num(20)}));
  g_DeclareMode = 0;
  EXPECT_EQ(g_LastVarRef.mNumber, kRunFree);
  ASSERT_EQ(g_SubscriptCount, 2);
  EXPECT_EQ(g_SubscriptValues[0], 10);
  EXPECT_EQ(g_SubscriptValues[1], 20);
  g_DeclareMode = 1;
  EvalIntExpr(Var(kRunFree));
  g_DeclareMode = 0;
  EXPECT_EQ(g_SubscriptCount, 0);
  EXPECT_EQ(g_QuitFlag.load(), 0);
}

TEST_F(EvalTest, LabelResolutionForbidsVariables) {
  FillOperatorTable(0);
  g_LabelEvalFailed = 0;
  Expr name = Bin(Str("a"), ToStr(Var(kRunInt)), '+');
  EXPECT_EQ(RunExpression(name.mBytes.data(), static_cast<uint32_t>(name.mBytes.size())), -1);
  EXPECT_EQ(g_LabelEvalFailed, 1);
  FillOperatorTable(1);
  EXPECT_EQ(g_QuitFlag.load(), 0);
}

TEST_F(EvalTest, EmptyEvaluatorEntriesReportInsteadOfCalling) {
  Expr one = Num(1);
  ASSERT_EQ(one.mBytes.size(), 4u);
  EXPECT_EQ(EvalByIntEntry(0, one.mBytes.data(), 4), 0);
  EXPECT_TRUE(LastReportIs(kMsgBadExpression));
  ResetErrorReporting();
  g_QuitFlag.store(0);
  EXPECT_EQ(EvalByRealEntry(5, one.mBytes.data(), 4), 0.0);
  EXPECT_TRUE(LastReportIs(kMsgBadExpression));
  ResetErrorReporting();
  g_QuitFlag.store(0);
  char buffer[kEvalStringBytes];
  EXPECT_EQ(EvalByStringEntry(10, buffer, one.mBytes.data(), 4), 0u);
  EXPECT_TRUE(LastReportIs(kMsgBadExpression));
  EXPECT_EQ(EvalByIntEntry(1, one.mBytes.data(), 4), 1);
}

}  // namespace
