// Control flow: loops, blocks, calls with arguments and results, returns,
// jumps across script files and the stack limits.
#include <gtest/gtest.h>

#include <functional>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "script/execution_context.h"
#include "script/system_variables.h"
#include "script/variables.h"
#include "support/script_runner.h"

namespace {

void Assign(ScriptAssembler& code, const Expr& target, const Expr& value, uint8_t op = 0) {
  code.Op("assign", {{"target", target, op}, {"value", value}});
}
void Increment(ScriptAssembler& code, uint32_t variable) { Assign(code, Var(variable), Num(1), 1); }

// Runs a main script (after the start label) and optional further scripts.
template <typename Body>
void RunMain(ScriptRunner& game, Body body, const std::vector<ScriptAssembler>& others = {}) {
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  body(code);
  code.Op("end");
  game.Add(code);
  for (const ScriptAssembler& other : others) game.Add(other);
  ASSERT_TRUE(game.Load());
  game.RunUntilQuit();
}

ExecutionContext* MainContext() {
  return static_cast<ExecutionContext*>(FindObjectByPath(g_TaskRoot, "SYSTEM", kPathLeaf)->mPayload);
}

struct LoopCase {
  int64_t mLimit;
  int64_t mBreakAt;  // 0: no break
  int64_t mExpectedPasses;
};

TEST(LoopTest, LimitsBreakAndContinue) {
  const LoopCase cases[] = {{3, 0, 3}, {0, 0, 0}, {-1, 5, 5}, {-7, 0, 1}, {10, 4, 4}};
  for (const LoopCase& entry : cases) {
    SCOPED_TRACE(testing::Message() << "limit " << entry.mLimit << " break at " << entry.mBreakAt);
    ScriptRunner game;
    RunMain(game, [&](ScriptAssembler& code) {
      code.Loop(Num(entry.mLimit));
      Increment(code, kRunInt);
      code.If(Bin(Var(kRunInt), Num(entry.mBreakAt), '='));
      code.Break();
      code.EndIf();
      // continue skips the rest of the body
      code.Continue();
      Increment(code, kRunInt2);
      code.EndLoop();
    });
    EXPECT_EQ(g_LastErrorText, "");
    EXPECT_EQ(IntVar(kRunInt), entry.mExpectedPasses);
    EXPECT_EQ(IntVar(kRunInt2), 0);
    EXPECT_EQ(MainContext()->mLoopDepth, 0);
    EXPECT_EQ(MainContext()->mBlockDepth, 0);
  }
}

TEST(LoopTest, BreakTwoLeavesBothLoopsAndTheCounterReadsTheInnermost) {
  ScriptRunner game;
  RunMain(game, [](ScriptAssembler& code) {
    code.Loop(Num(3));
    code.Loop(Num(3));
    Assign(code, Elem(kRunIntList, {Num(0)}), Elem(kSysLoopCounter, {Num(0)}));
    code.Break(2);
    code.EndLoop();
    Increment(code, kRunInt2);  // never reached
    code.EndLoop();
    Increment(code, kRunInt);
  });
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunInt), 1);
  EXPECT_EQ(IntVar(kRunInt2), 0);
  EXPECT_EQ(IntVar(kRunIntList, 0), 1);
  EXPECT_EQ(MainContext()->mLoopDepth, 0);
}

struct BranchCase {
  int64_t mValue;
  int64_t mExpected;
};

TEST(BlockTest, IfElseIfElseChains) {
  const BranchCase cases[] = {{1, 10}, {2, 20}, {3, 30}, {9, 40}};
  for (const BranchCase& entry : cases) {
    SCOPED_TRACE(entry.mValue);
    ScriptRunner game;
    RunMain(game, [&](ScriptAssembler& code) {
      Assign(code, Var(kRunInt), Num(entry.mValue));
      code.If(Bin(Var(kRunInt), Num(1), '='));
      Assign(code, Var(kRunInt2), Num(10));
      code.ElseIf(Bin(Var(kRunInt), Num(2), '='));
      Assign(code, Var(kRunInt2), Num(20));
      code.ElseIf(Bin(Var(kRunInt), Num(3), '='));
      Assign(code, Var(kRunInt2), Num(30));
      code.Else();
      Assign(code, Var(kRunInt2), Num(40));
      code.EndIf();
    });
    EXPECT_EQ(g_LastErrorText, "");
    EXPECT_EQ(IntVar(kRunInt2), entry.mExpected);
    EXPECT_EQ(MainContext()->mBlockDepth, 0);
  }
}

TEST(BlockTest, RepeatReevaluatesTheConditionAndBreakLeaves) {
  ScriptRunner game;
  RunMain(game, [](ScriptAssembler& code) {
    code.If(Bin(Var(kRunInt), Num(5), '<'));
    Increment(code, kRunInt);
    code.If(Num(1));
    code.RepeatBlock(2);  // the outer block runs again
    code.EndIf();
    code.EndIf();
    code.If(Num(1));
    code.If(Num(1));
    code.BreakBlock(2);
    Increment(code, kRunInt2);
    code.EndIf();
    Increment(code, kRunInt2);
    code.EndIf();
  });
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunInt), 5);
  EXPECT_EQ(IntVar(kRunInt2), 0);
  EXPECT_EQ(MainContext()->mBlockDepth, 0);
}

TEST(BlockTest, StructureWithoutItsOpenerIsRefused) {
  struct Case {
    const char* mWhat;
    std::function<void(ScriptAssembler&)> mBody;
    int32_t mMessage;
  };
  const Case cases[] = {
      {"break 2 inside one block", [](ScriptAssembler& code) { code.If(Num(1)); code.BreakBlock(2); code.EndIf(); },
       101300},
      {"continue outside a loop", [](ScriptAssembler& code) { code.Continue(); }, 101300},
      {"loop end without a loop", [](ScriptAssembler& code) { code.Op("endloop"); }, 108120},
      {"block end without a block", [](ScriptAssembler& code) { code.Op("endif"); }, 101300},
      {"return in the main task", [](ScriptAssembler& code) { code.Return(); }, 101300},
  };
  for (const Case& entry : cases) {
    SCOPED_TRACE(entry.mWhat);
    ScriptRunner game;
    RunMain(game, entry.mBody);
    EXPECT_TRUE(LastReportIs(entry.mMessage)) << g_LastErrorText;
  }
}

TEST(BlockTest, SixtyThreeOpenBlocksAndLoopsWorkAndTheSixtyFourthIsRefused) {
  for (int depth : {63, 64}) {
    for (bool loops : {false, true}) {
      SCOPED_TRACE(testing::Message() << depth << (loops ? " loops" : " blocks"));
      ScriptRunner game;
      RunMain(game, [&](ScriptAssembler& code) {
        for (int level = 0; level < depth; ++level) loops ? code.Loop(Num(1)) : code.If(Num(1));
        Increment(code, kRunInt);
        for (int level = 0; level < depth; ++level) loops ? code.EndLoop() : code.EndIf();
      });
      if (depth == 63) {
        EXPECT_EQ(g_LastErrorText, "");
        EXPECT_EQ(IntVar(kRunInt), 1);
      } else {
        EXPECT_TRUE(LastReportIs(kMsgStackTooDeep)) << g_LastErrorText;
        EXPECT_EQ(IntVar(kRunInt), 0);
      }
    }
  }
}

TEST(CallTest, ArgumentsWithOmissionsAndResults) {
  ScriptRunner game;
  ScriptAssembler sub = game.Script(1);
  sub.Label("sub");
  for (int k = 1; k <= 3; ++k) {
    Assign(sub, Elem(kRunIntArray, {Num(0), Num(k)}), Elem(kSysCallInt, {Num(k)}));
    Assign(sub, Elem(kRunIntArray, {Num(1), Num(k)}), Elem(kSysCallIntPresent, {Num(k)}));
  }
  Assign(sub, Var(kRunReal), Elem(kSysCallReal, {Num(1)}));
  Assign(sub, Var(kRunText), Elem(kSysCallString, {Num(1)}));
  sub.Return({{Num(11), {}}, {Real(2.5)}, {Str("back")}});
  RunMain(game, [](ScriptAssembler& code) {
    code.Call(Str("sub"), {{Num(5), {}, Num(7)}, {Real(0.25)}, {Str("text")}});
    Assign(code, Var(kRunInt), Elem(kSysResultInt, {Num(1)}));
    Assign(code, Var(kRunInt2), Elem(kSysResultIntPresent, {Num(2)}));
    Assign(code, Elem(kRunRealArray, {Num(0)}), Elem(kSysResultReal, {Num(1)}));
    Assign(code, Elem(kRunTextArray, {Num(0)}), Elem(kSysResultString, {Num(1)}));
  }, {sub});
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunIntArray, 1), 5);
  EXPECT_EQ(IntVar(kRunIntArray, 2), 0);
  EXPECT_EQ(IntVar(kRunIntArray, 3), 7);
  EXPECT_EQ(IntVar(kRunIntArray, 5), 1);
  EXPECT_EQ(IntVar(kRunIntArray, 6), 0);
  EXPECT_EQ(IntVar(kRunIntArray, 7), 1);
  EXPECT_EQ(RealVar(kRunReal), 0.25);
  EXPECT_EQ(TextVar(kRunText), "text");
  EXPECT_EQ(IntVar(kRunInt), 11);
  EXPECT_EQ(IntVar(kRunInt2), 0);
  EXPECT_EQ(RealVar(kRunRealArray, 0), 2.5);
  EXPECT_EQ(TextVar(kRunTextArray, 0), "back");
  EXPECT_EQ(MainContext()->mCallDepth, 0);
  EXPECT_EQ(MainContext()->mScriptNumber, 0);
}

TEST(CallTest, SixtyThreeLevelsWorkAndTheSixtyFourthIsRefused) {
  for (int levels : {63, 64}) {
    SCOPED_TRACE(levels);
    ScriptRunner game;
    ScriptAssembler sub = game.Script(1);
    sub.Label("deeper");
    Increment(sub, kRunInt);
    sub.If(Bin(Var(kRunInt), Num(levels), '<'));
    sub.Call(Str("deeper"));
    sub.EndIf();
    Increment(sub, kRunInt2);
    sub.Return();
    RunMain(game, [](ScriptAssembler& code) { code.Call(Str("deeper")); }, {sub});
    if (levels == 63) {
      EXPECT_EQ(g_LastErrorText, "");
      EXPECT_EQ(IntVar(kRunInt2), 63);
      EXPECT_EQ(MainContext()->mCallDepth, 0);
    } else {
      EXPECT_TRUE(LastReportIs(kMsgStackTooDeep)) << g_LastErrorText;
      EXPECT_EQ(IntVar(kRunInt2), 0);
    }
  }
}

TEST(CallTest, CallsByComputedNamesAndMissingLabels) {
  ScriptRunner game;
  ScriptAssembler sub = game.Script(1);
  sub.Label("sub7");
  Increment(sub, kRunInt);
  sub.Return();
  RunMain(game, [](ScriptAssembler& code) {
    Assign(code, Var(kRunInt2), Num(7));
    code.Call(Bin(Str("sub"), ToStr(Var(kRunInt2)), '+'));
    code.Call(Str("missing"));
  }, {sub});
  EXPECT_EQ(IntVar(kRunInt), 1);
  EXPECT_TRUE(LastReportIs(kMsgLabelNotFound)) << g_LastErrorText;
}

TEST(JumpTest, AJumpIntoAnotherScriptFileContinuesThere) {
  ScriptRunner game;
  ScriptAssembler other = game.Script(1);
  other.Op("nop");
  other.Label("there");
  Increment(other, kRunInt);
  other.Op("end");
  RunMain(game, [](ScriptAssembler& code) {
    code.Loop(Num(-1));
    code.Jump(Str("there"));
    code.EndLoop();
  }, {other});
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunInt), 1);
  EXPECT_EQ(MainContext()->mScriptNumber, 1);
  EXPECT_EQ(MainContext()->mLoopDepth, 0);  // the label's depth
}

TEST(JumpTest, LabelExistsStoresOneOrZero) {
  ScriptRunner game;
  RunMain(game, [](ScriptAssembler& code) {
    code.Op("label_exists", {{"name", Str("SYSTEM_START")}, {"out", Var(kRunInt)}, {"check", Num(1)}});
    code.Op("label_exists", {{"name", Str("nowhere")}, {"out", Var(kRunReal)}, {"check", Num(1)}});
    Assign(code, Var(kRunReal), Real(5.0));
    code.Op("label_exists", {{"name", Str("SYSTEM_START")}, {"out", Var(kRunReal)}, {"check", Num(1)}});
    code.Op("label_exists", {{"name", Str("SYSTEM_START")}, {"out", Var(kRunInt2)}});
  });
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunInt), 1);
  EXPECT_EQ(RealVar(kRunReal), 1.0);
  EXPECT_EQ(IntVar(kRunInt2), 0);
}

TEST(ProgramCounterTest, RunningOffTheEndIsFatal) {
  ScriptRunner game;
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("nop");
  game.Add(code);
  // Finish() appends an end command: take it away.
  game.mData.mScriptFiles[0].pop_back();
  ASSERT_TRUE(game.Load());
  game.RunUntilQuit();
  EXPECT_TRUE(LastReportIs(kMsgMalformedScriptState)) << g_LastErrorText;
}

}  // namespace
