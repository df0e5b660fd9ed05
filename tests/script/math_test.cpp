// The math command: the flags' order, each function, random ranges from a
// fixed seed, CRC-32, the integer calculator and the absolute value by value
// type.
#include "script/math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "core/errors.h"
#include "script/runtime_tables.h"
#include "script/variables.h"
#include "support/command_table.h"
#include "support/script_runner.h"

namespace {

// Runs one math instruction at the start of the main script.
void RunMath(ScriptRunner& game, const std::vector<Arg>& args) {
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("math", args);
  code.Op("end");
  game.Add(code);
  ASSERT_TRUE(game.Load());
  game.RunUntilQuit();
}

TEST(RandomTest, MatchesTheStandardGenerator) {
  SeedRandom(5489u);
  std::mt19937 reference;
  for (int i = 0; i < 9999; ++i) ASSERT_EQ(NextRandom(), reference()) << "output " << i;
  EXPECT_EQ(NextRandom(), 4123659995u);
  SeedRandom(12345u);
  std::mt19937 seeded(12345u);
  for (int i = 0; i < 2000; ++i) ASSERT_EQ(NextRandom(), seeded());
}

TEST(RandomTest, RangeSwapsBoundsAndSpansTheFullRange) {
  struct Case {
    int64_t mLo, mHi;
    uint32_t mR;
    int64_t mExpected;
  };
  const Case cases[] = {
      {1, 5, 0, 1},
      {1, 5, 4, 5},
      {1, 5, 5, 1},
      {5, 1, 7, 3},
      {3, 3, 0xFFFFFFFFu, 3},
      {-2, 2, 9, 2},
      {INT64_MIN, INT64_MAX, 0xFFFFFFFFu, INT64_MIN + 0xFFFFFFFFll},
      {INT64_MIN, INT64_MAX, 0, INT64_MIN},
      {-1, INT64_MAX, 10, 9},  // span 2^63 + 1 does not overflow
  };
  for (const Case& entry : cases) {
    SCOPED_TRACE(testing::Message() << entry.mLo << ".." << entry.mHi << " r " << entry.mR);
    EXPECT_EQ(RandomInRange(entry.mLo, entry.mHi, entry.mR), entry.mExpected);
  }
}

TEST(IntegerCalculatorTest, Table) {
  struct Case {
    const char* mText;
    int64_t mExpected;
  };
  const Case cases[] = {
      {"1+2*3", 7},
      {"(1+2)*3", 9},
      {"-5+2", -3},
      {"10/0/2", 5},
      {"", 0},
      {"  7 \t- 2 ", 5},
      {"-7/2", -3},
      {"-7%3", -1},
      {"7%0", 7},
      {"(1+2", 3},
      {"1+", 1},
      {"2*", 2},
      {"3*(1+", 3},
      {"+4", 4},
      {"-", 0},
      {"12abc", 12},
      {"x+1", 0},
      {"1+2\n+5", 3},
      {"2*-3", -3},
      {"5--3", 2},                             // a sign inside is a factor of 0
      {"9223372036854775807+1", INT64_MIN},    // wraps
      {"99999999999999999999999", INT64_MAX},  // the parse saturates
      {"-9223372036854775807-1", INT64_MIN},
      {"(0-9223372036854775807-1)/(0-1)", INT64_MIN},  // wrapping negate
      {"(0-9223372036854775807-1)%(0-1)", 0},
      {"(0-7)%(0-1)", 0},
      {"4611686018427387904*4", 0},
  };
  for (const Case& entry : cases) {
    SCOPED_TRACE(entry.mText);
    EXPECT_EQ(EvaluateIntegerText(entry.mText), entry.mExpected);
  }
}

TEST(IntegerCalculatorTest, ReadsOnlyTheFirst1023Bytes) {
  std::string text(1022, ' ');
  text += "12";
  EXPECT_EQ(EvaluateIntegerText(text.c_str()), 1);
}

struct FunctionCase {
  const char* mFlag;
  double mX;
  double mY;
  double mExpected;
};

TEST(MathCommandTest, RealFunctions) {
  const FunctionCase cases[] = {
      {"sin", 0.5, 0, std::sin(0.5)},   {"asin", 0.5, 0, std::asin(0.5)},   {"sinh", 0.5, 0, std::sinh(0.5)},
      {"cos", 0.5, 0, std::cos(0.5)},   {"acos", 0.5, 0, std::acos(0.5)},   {"cosh", 0.5, 0, std::cosh(0.5)},
      {"tan", 0.5, 0, std::tan(0.5)},   {"atan", 0.5, 0, std::atan(0.5)},   {"atan2", 1, 2, std::atan2(1.0, 2.0)},
      {"tanh", 0.5, 0, std::tanh(0.5)}, {"sqrt", 2, 0, std::sqrt(2.0)},     {"exp", 1.5, 0, std::exp(1.5)},
      {"log", 2, 0, std::log(2.0)},     {"log10", 50, 0, std::log10(50.0)}, {"pow", 2, 0.5, std::pow(2.0, 0.5)},
  };
  for (const FunctionCase& entry : cases) {
    SCOPED_TRACE(entry.mFlag);
    ScriptRunner game;
    RunMath(game, {{"out", Var(kRunReal)}, {"x", Real(entry.mX)}, {"y", Real(entry.mY)}, {entry.mFlag, Num(1)}});
    EXPECT_EQ(g_LastErrorText, "");
    EXPECT_DOUBLE_EQ(RealVar(kRunReal), entry.mExpected);
  }
}

TEST(MathCommandTest, SinAndCosUseRealArithmeticForIntegerExpressions) {
  // 1/2 is 0 in integer arithmetic: sin then gives 0, in real arithmetic
  // sin(0.5).
  ScriptRunner game;
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("math", {{"out", Var(kRunReal)}, {"x", Bin(Num(1), Num(2), '/')}, {"sin", Num(1)}});
  code.Op("math", {{"out", Elem(kRunRealArray, {Num(0)})}, {"x", Bin(Num(1), Num(2), '/')}, {"tan", Num(1)}});
  code.Op("end");
  game.Add(code);
  ASSERT_TRUE(game.Load());
  game.RunUntilQuit();
  EXPECT_DOUBLE_EQ(RealVar(kRunReal), std::sin(0.5));
  EXPECT_DOUBLE_EQ(RealVar(kRunRealArray, 0), 0.0);
}

TEST(MathCommandTest, FlagOrderPicksTheFirstPresent) {
  struct Case {
    std::vector<std::string> mFlags;
    double mExpected;
  };
  const double x = 0.25;
  const Case cases[] = {
      {{"asin", "tan"}, std::tan(x)},          {{"asin", "cos"}, std::cos(x)},   {{"tan", "sin"}, std::sin(x)},
      {{"sinh", "acos"}, std::acos(x)},        {{"tanh", "cosh"}, std::cosh(x)}, {{"atan", "tanh"}, std::tanh(x)},
      {{"sqrt", "atan2"}, std::atan2(x, 0.0)}, {{"pow", "exp"}, std::exp(x)},
  };
  for (const Case& entry : cases) {
    SCOPED_TRACE(entry.mFlags[0] + "+" + entry.mFlags[1]);
    ScriptRunner game;
    std::vector<Arg> args = {{"out", Var(kRunReal)}, {"x", Real(x)}, {"y", Real(0)}};
    for (const std::string& flag : entry.mFlags) args.push_back({flag, Num(1)});
    RunMath(game, args);
    EXPECT_DOUBLE_EQ(RealVar(kRunReal), entry.mExpected);
  }
}

TEST(MathCommandTest, NoFlagLeavesTheResultAndIntegerResultsTruncate) {
  ScriptRunner game;
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("assign", {{"target", Var(kRunInt)}, {"value", Num(42)}});
  code.Op("math", {{"out", Var(kRunInt)}, {"x", Real(2)}});
  code.Op("math", {{"out", Var(kRunInt2)}, {"x", Real(10)}, {"sqrt", Num(1)}});
  code.Op("end");
  game.Add(code);
  ASSERT_TRUE(game.Load());
  game.RunUntilQuit();
  EXPECT_EQ(IntVar(kRunInt), 42);
  EXPECT_EQ(IntVar(kRunInt2), 3);
}

TEST(MathCommandTest, RandomCrcAndCalculatorThroughTheCommand) {
  ScriptRunner game;
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Loop(Num(50));
  code.Op("math", {{"out", Elem(kRunIntList, {Num(0)})}, {"x", Num(5)}, {"y", Num(1)}, {"random", Num(1)}});
  code.If(Bin(Bin(Elem(kRunIntList, {Num(0)}), Num(1), '<'), Bin(Elem(kRunIntList, {Num(0)}), Num(5), '>'), '|'));
  code.Op("assign", {{"target", Var(kRunInt2)}, {"value", Num(1)}});
  code.EndIf();
  code.EndLoop();
  code.Op("math", {{"out", Elem(kRunIntList, {Num(1)})}, {"x", Num(3)}, {"y", Num(3)}, {"random", Num(1)}});
  code.Op("math", {{"out", Var(kRunInt)}, {"text", Str("abc")}, {"crc32", Num(1)}});
  code.Op("math", {{"out", Elem(kRunIntList, {Num(2)})}, {"text", Str("(1+2)*3")}, {"calc", Num(1)}});
  code.Op("end");
  game.Add(code);
  ASSERT_TRUE(game.Load());
  SeedRandom(77u);
  game.RunUntilQuit();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunInt2), 0);
  EXPECT_EQ(IntVar(kRunIntList, 1), 3);
  EXPECT_EQ(IntVar(kRunInt), 0x352441C2);
  EXPECT_EQ(IntVar(kRunIntList, 2), 9);
}

TEST(MathCommandTest, RandomFollowsTheGeneratorWithAFixedSeed) {
  ScriptRunner again;
  ScriptAssembler code = again.Script(0);
  code.Label("SYSTEM_START");
  code.Op("math", {{"out", Var(kRunInt)}, {"x", Num(1000)}, {"y", Num(10)}, {"random", Num(1)}});
  code.Op("end");
  again.Add(code);
  ASSERT_TRUE(again.Load());
  SeedRandom(99u);
  again.RunUntilQuit();
  std::mt19937 reference(99u);
  EXPECT_EQ(IntVar(kRunInt), 10 + static_cast<int64_t>(reference() % 991));
}

// The absolute value with the x record's value type written as given.
void RunAbs(ScriptRunner& game, uint32_t out, const Expr& x, uint8_t valueType) {
  int slot = FindCommandSlot("math");
  RawInstruction instruction;
  instruction.mCommand = static_cast<uint8_t>(slot);
  RawArgument outArg;
  outArg.mId = static_cast<uint8_t>(FindArgumentId(slot, "out"));
  outArg.mExpression = Var(out).mBytes;
  RawArgument xArg;
  xArg.mId = static_cast<uint8_t>(FindArgumentId(slot, "x"));
  xArg.mValueType = valueType;
  xArg.mExpression = x.mBytes;
  RawArgument flag;
  flag.mId = static_cast<uint8_t>(FindArgumentId(slot, "abs"));
  flag.mExpression = Num(1).mBytes;
  instruction.mArgs = {outArg, xArg, flag};
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Raw(instruction);
  code.Op("end");
  game.Add(code);
  ASSERT_TRUE(game.Load());
  game.RunUntilQuit();
}

TEST(MathCommandTest, AbsoluteValueByValueType) {
  {
    ScriptRunner game;
    RunAbs(game, kRunInt, Num(-7), 0);
    EXPECT_EQ(g_LastErrorText, "");
    EXPECT_EQ(IntVar(kRunInt), 7);
  }
  {
    ScriptRunner game;
    RunAbs(game, kRunInt, Bin(Num(INT64_MIN + 1), Num(1), '-'), 0);
    EXPECT_EQ(IntVar(kRunInt), INT64_MIN);
  }
  {
    ScriptRunner game;
    RunAbs(game, kRunReal, Num(-7), 1);
    EXPECT_EQ(g_LastErrorText, "");
    EXPECT_DOUBLE_EQ(RealVar(kRunReal), 7.0);
  }
  for (uint8_t type : {2, 3, 4}) {
    SCOPED_TRACE(static_cast<int>(type));
    ScriptRunner game;
    RunAbs(game, kRunReal, Num(-7), type);
    EXPECT_DOUBLE_EQ(RealVar(kRunReal), 0.0);
  }
}

TEST(MathCommandTest, MissingResultVariableIsReported) {
  ScriptRunner game;
  RunMath(game, {{"x", Real(2)}, {"sqrt", Num(1)}});
  EXPECT_TRUE(LastReportIs(kMsgNotAStringVariable)) << LastReportTag();
}

}  // namespace
