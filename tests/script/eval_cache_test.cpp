// Decoded script expressions: the same results, references, stack and
// reports as the evaluator on every run of an expression, values that follow
// the variables, and a reset that forgets what was decoded.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "core/errors.h"
#include "core/process_state.h"
#include "script/eval.h"
#include "script/eval_cache.h"
#include "script/script_reset.h"
#include "script/variables.h"
#include "support/script_runner.h"

namespace {

class EvalCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    mGame.Add(code);
    ASSERT_TRUE(mGame.Load());
  }
  ScriptRunner mGame;
};

// What an evaluation leaves behind.
struct Outcome {
  int64_t mValue;
  uint16_t mDepth;
  uint16_t mSlotString;
  uint32_t mRefNumber;
  int64_t mRefElement;
  uint8_t mRefSigil;
  uint8_t mRefWhole;
  std::string mReport;
  int mQuit;
};

Outcome Capture(int64_t value) {
  return {value,
          g_EvalDepth,
          g_EvalSlotString[0],
          g_LastVarRef.mNumber,
          g_LastVarRef.mElement,
          g_LastVarRef.mSigil,
          g_LastVarRef.mWholeVar,
          LastReportTag(),
          g_QuitFlag.load()};
}

void ClearOutcome() {
  g_LastErrorText.clear();
  g_QuitFlag.store(0);
  g_LastVarRef = LastVarRef{};
  g_EvalDepth = 0;
}

void ExpectSame(const Outcome& general, const Outcome& cached) {
  EXPECT_EQ(cached.mValue, general.mValue);
  EXPECT_EQ(cached.mDepth, general.mDepth);
  EXPECT_EQ(cached.mSlotString, general.mSlotString);
  EXPECT_EQ(cached.mRefNumber, general.mRefNumber);
  EXPECT_EQ(cached.mRefElement, general.mRefElement);
  EXPECT_EQ(cached.mRefSigil, general.mRefSigil);
  EXPECT_EQ(cached.mRefWhole, general.mRefWhole);
  EXPECT_EQ(cached.mReport, general.mReport);
  EXPECT_EQ(cached.mQuit, general.mQuit);
}

struct Case {
  const char* mWhat;
  Expr mExpr;
};

TEST_F(EvalCacheTest, EveryRunMatchesTheEvaluator) {
  const int64_t kMin = std::numeric_limits<int64_t>::min();
  const int64_t kMax = std::numeric_limits<int64_t>::max();
  const Case cases[] = {
      {"constants of each size", Bin(Bin(Num(-5), Num(300), '+'), Bin(Num(70000), Num(int64_t{1} << 40), '+'), '+')},
      {"x + i * 2", Bin(Var(kRunInt2), Bin(Var(kRunInt), Num(2), '*'), '+')},
      {"i >= 10", Bin(Var(kRunInt), Num(10), 'Z')},
      {"variable divisor 0", Bin(Num(7), Var(kRunInt2), '/')},
      {"min / -1", Bin(Num(kMin), Num(-1), '/')},
      {"min % -1", Bin(Num(kMin), Num(-1), '%')},
      {"-7 % 3", Bin(Num(-7), Num(3), '%')},
      {"max + variable wraps", Bin(Num(kMax), Var(kRunInt), '+')},
      {"min - 1 wraps", Bin(Num(kMin), Num(1), '-')},
      {"negate a variable", Neg(Var(kRunInt))},
      {"every comparison and logic operator",
       Bin(Bin(Bin(Bin(Var(kRunInt), Num(3), '>'), Bin(Var(kRunInt), Num(3), '<'), '|'),
               Bin(Bin(Num(2), Var(kRunInt), 'S'), Bin(Var(kRunInt), Var(kRunInt), '='), '&'), '!'),
           Bin(Bin(Num(12), Var(kRunInt), 'A'), Bin(Bin(Num(12), Num(3), 'O'), Num(10), '^'), '+'), '+')},
      {"left operand on the stack", Bin(Bin(Num(1), Num(2), '+'), Bin(Num(3), Num(4), '+'), '*')},
      {"comma keeps the first value", Bin(Var(kRunInt), Num(5), ',')},
      {"two values left", Bin(Num(1), Num(2), ',')},
      {"real variable truncates", Bin(Var(kRunReal), Num(1), '+')},
      {"string variable", Var(kRunText)},
      {"string variable as right operand", Bin(Num(1), Var(kRunText), '+')},
      {"array element", Bin(Elem(kRunIntArray, {Num(1), Num(2)}), Num(1), '+')},
      {"reference sigil", Var(kRunInt, '#')},
      {"grave sigil", Var(kRunInt, '`')},
      {"system variable", Bin(Var(10), Num(1), '+')},
      {"undefined variable", Bin(Var(kRunFree + 50), Num(1), '+')},
      {"whole variable", Whole(kRunInt)},
      {"string literal", Bin(Str("a"), Num(1), '+')},
      {"real constant", Bin(Real(2.5), Num(1), '+')},
      {"operator without operands", Token('+')},
      {"constant payload too short", Token('I', {1, 2})},
      {"variable payload too short", Token('H', {0, 0xE8})},
      {"truncated token", Expr{Bytes{'B', 5, 0}}},
      {"empty expression", Expr{}},
  };
  ASSERT_EQ(SetRealElement(kRunReal, 0, 7.9), 0);
  ASSERT_EQ(SetStringElement(kRunText, 0, "text"), 0);
  ASSERT_EQ(SetNumberElement(kRunIntArray, 6, 41), 0);
  const int64_t values[][2] = {{0, 0}, {3, 0}, {-1, 9}, {kMax, kMin}};
  for (const Case& entry : cases) {
    SCOPED_TRACE(entry.mWhat);
    // A stable address: the expression is decoded once and run again. The
    // previous case's bytes may have had the same address.
    DropEvalCache();
    const Bytes bytes = entry.mExpr.mBytes;
    const uint8_t* expression = bytes.empty() ? reinterpret_cast<const uint8_t*>("") : bytes.data();
    auto length = static_cast<uint32_t>(bytes.size());
    for (const auto& pair : values) {
      SCOPED_TRACE(pair[0]);
      for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(SetNumberElement(kRunInt, 0, pair[0]), 0);
        ASSERT_EQ(SetNumberElement(kRunInt2, 0, pair[1]), 0);
        ClearOutcome();
        Outcome general = Capture(EvalInt(expression, length));
        ClearOutcome();
        Outcome cached = Capture(EvalScriptInt(expression, length));
        ExpectSame(general, cached);
      }
    }
  }
  ClearOutcome();
}

TEST_F(EvalCacheTest, DecodedVariableFollowsItsTypeAfterARedeclaration) {
  DropEvalCache();
  const Bytes bytes = Bin(Var(kRunFree), Num(1), '+').mBytes;
  auto length = static_cast<uint32_t>(bytes.size());
  const int32_t dims[kMaxDimensions] = {1};
  ASSERT_EQ(MakeIntArrayDims(kRunFree, 1, dims, 41), 0);
  EXPECT_EQ(EvalScriptInt(bytes.data(), length), 42);
  ASSERT_EQ(MakeRealArrayDims(kRunFree, 1, dims, -2.5), 0);
  EXPECT_EQ(EvalScriptInt(bytes.data(), length), -1);
  ASSERT_EQ(MakeStringArrayDims(kRunFree, 1, dims, "x", 1), 0);
  ClearOutcome();
  Outcome general = Capture(EvalInt(bytes.data(), length));
  ClearOutcome();
  ExpectSame(general, Capture(EvalScriptInt(bytes.data(), length)));
  ClearOutcome();
}

TEST_F(EvalCacheTest, ResetForgetsDecodedExpressions) {
  DropEvalCache();
  Bytes bytes = Bin(Num(2), Num(3), '+').mBytes;
  const Bytes product = Bin(Num(2), Num(3), '*').mBytes;
  ASSERT_EQ(bytes.size(), product.size());
  auto length = static_cast<uint32_t>(bytes.size());
  EXPECT_EQ(EvalScriptInt(bytes.data(), length), 5);
  EXPECT_EQ(EvalScriptInt(bytes.data(), length), 5);
  // New script data may take the same address once the old is freed.
  ResetScriptState();
  std::memcpy(bytes.data(), product.data(), product.size());
  EXPECT_EQ(EvalScriptInt(bytes.data(), length), 6);
}

// A loop in a compiled script runs its decoded expressions many times.
TEST(EvalCacheScriptTest, CountingLoopComputesTheSum) {
  ScriptRunner game;
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Loop(Num(-1));
  code.If(Bin(Var(kRunInt), Num(1000), 'Z'));
  code.Break();
  code.EndIf();
  code.Op("assign", {{"target", Var(kRunInt2)}, {"value", Bin(Var(kRunInt2), Bin(Var(kRunInt), Num(2), '*'), '+')}});
  code.Op("assign", {{"target", Var(kRunInt)}, {"value", Bin(Var(kRunInt), Num(1), '+')}});
  code.EndLoop();
  code.Op("end");
  game.Add(code);
  ASSERT_TRUE(game.Load());
  game.RunUntilQuit();
  EXPECT_EQ(IntVar(kRunInt), 1000);
  EXPECT_EQ(IntVar(kRunInt2), 999 * 1000);
}

}  // namespace
