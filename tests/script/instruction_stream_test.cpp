// Instruction streams: an instruction run through its file's stream has the
// same effects as its handler, on its first run and on every later one,
// whatever changed in between (variable types, stack depths, the handler
// bound to it), and a reloaded or replaced script file is never run from
// what was decoded for the old one.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "script/engine_config.h"
#include "script/eval.h"
#include "script/execution_context.h"
#include "script/instruction_stream.h"
#include "script/script_data.h"
#include "script/system_variables.h"
#include "script/task_step.h"
#include "script/variables.h"
#include "support/script_runner.h"

namespace {

constexpr uint32_t kUndefined = 2500;

ObjectTreeNode* MainNode() { return FindObjectByPath(g_TaskRoot, "SYSTEM", kPathLeaf); }
ExecutionContext* MainContext() { return static_cast<ExecutionContext*>(MainNode()->mPayload); }

void Assign(ScriptAssembler& code, const Expr& target, const Expr& value, uint8_t op = 0, uint8_t valueType = 0) {
  code.Op("assign", {{"target", target, op}, {"value", value, 0, valueType}});
}

// The state an instruction starts from.
struct State {
  const char* mWhat;
  int64_t mInt;
  int64_t mInt2;
  uint8_t mFreeType;  // the type kRunFree is declared with
  int8_t mBlockDepth;
  int8_t mLoopDepth;
  int64_t mLoopCounter;
  int64_t mLoopLimit;
};

// What an instruction leaves behind.
struct Outcome {
  int32_t mResult;
  int64_t mInt;
  int64_t mInt2;
  double mReal;
  std::string mText;
  int64_t mList[3];
  uint8_t mFreeType;
  int64_t mFreeInt;
  double mFreeReal;
  std::string mFreeText;
  uint32_t mRefNumber;
  int64_t mRefElement;
  uint8_t mRefWhole;
  uint8_t mRefSigil;
  uint16_t mEvalDepth;
  int64_t mSlot0;
  int32_t mPc;
  int8_t mBlockDepth;
  int8_t mLoopDepth;
  BlockFrame mBlock;  // the innermost open block after the run
  LoopFrame mLoop;    // the innermost open loop after the run
  std::string mReport;
  int mQuit;
};

void Apply(const State& state, int32_t k) {
  ExecutionContext* context = MainContext();
  ASSERT_EQ(SetNumberElement(kRunInt, 0, state.mInt), 0);
  ASSERT_EQ(SetNumberElement(kRunInt2, 0, state.mInt2), 0);
  ASSERT_EQ(SetRealElement(kRunReal, 0, 7.9), 0);
  ASSERT_EQ(SetStringElement(kRunText, 0, "ab"), 0);
  for (int element = 0; element < 3; ++element) ASSERT_EQ(SetNumberElement(kRunIntList, element, element + 1), 0);
  const int32_t dims[kMaxDimensions] = {};
  int made = 0;
  if (state.mFreeType == kVarInt) made = MakeIntArrayDims(kRunFree, 0, dims, 11);
  if (state.mFreeType == kVarReal) made = MakeRealArrayDims(kRunFree, 0, dims, 2.5);
  if (state.mFreeType == kVarString) made = MakeStringArrayDims(kRunFree, 0, dims, "xy", 2);
  ASSERT_EQ(made, 0);
  for (int entry = 1; entry <= kStackEntries; ++entry) {
    ASSERT_NE(EnsureBlockFrame(context, entry), nullptr);
    ASSERT_NE(EnsureLoopFrame(context, entry), nullptr);
    *context->mBlockFrames[entry] = BlockFrame{1, 100 + entry, 200 + entry};
    *context->mLoopFrames[entry] = LoopFrame{1, 300 + entry, 400 + entry, 1, 1};
  }
  context->mBlockDepth = state.mBlockDepth;
  context->mLoopDepth = state.mLoopDepth;
  if (state.mLoopDepth > 0) {
    LoopFrame* loop = context->mLoopFrames[state.mLoopDepth];
    loop->mCounter = state.mLoopCounter;
    loop->mLimit = state.mLoopLimit;
  }
  // As the dispatcher sets them before it runs instruction k.
  context->mPc = k + 1;
  g_CurrentContext = context;
  g_CurrentTaskNode = MainNode();
  g_CurrentInstruction = k;
  g_LastErrorText.clear();
  g_QuitFlag.store(0);
  g_LastVarRef = LastVarRef{};
  g_EvalDepth = 0;
  g_EvalIntStack[0] = -99;
}

Outcome Capture(int32_t result) {
  const ExecutionContext* context = MainContext();
  const VariableRecord* free = FindVariableRecord(kRunFree);
  Outcome outcome{};
  outcome.mResult = result;
  outcome.mInt = IntVar(kRunInt);
  outcome.mInt2 = IntVar(kRunInt2);
  outcome.mReal = RealVar(kRunReal);
  outcome.mText = TextVar(kRunText);
  for (int element = 0; element < 3; ++element) outcome.mList[element] = IntVar(kRunIntList, element);
  outcome.mFreeType = free->mVarType;
  if (free->mVarType == kVarInt) outcome.mFreeInt = IntVar(kRunFree);
  if (free->mVarType == kVarReal) outcome.mFreeReal = RealVar(kRunFree);
  if (free->mVarType == kVarString) outcome.mFreeText = TextVar(kRunFree);
  outcome.mRefNumber = g_LastVarRef.mNumber;
  outcome.mRefElement = g_LastVarRef.mElement;
  outcome.mRefWhole = g_LastVarRef.mWholeVar;
  outcome.mRefSigil = g_LastVarRef.mSigil;
  outcome.mEvalDepth = g_EvalDepth;
  outcome.mSlot0 = g_EvalIntStack[0];
  outcome.mPc = context->mPc;
  outcome.mBlockDepth = context->mBlockDepth;
  outcome.mLoopDepth = context->mLoopDepth;
  if (context->mBlockDepth >= 1 && context->mBlockDepth <= kStackEntries) {
    outcome.mBlock = *context->mBlockFrames[context->mBlockDepth];
  }
  if (context->mLoopDepth >= 1 && context->mLoopDepth <= kStackEntries) {
    outcome.mLoop = *context->mLoopFrames[context->mLoopDepth];
  }
  outcome.mReport = LastReportTag();
  outcome.mQuit = g_QuitFlag.load();
  return outcome;
}

void ExpectSame(const Outcome& handler, const Outcome& stream) {
  EXPECT_EQ(stream.mResult, handler.mResult);
  EXPECT_EQ(stream.mInt, handler.mInt);
  EXPECT_EQ(stream.mInt2, handler.mInt2);
  EXPECT_EQ(std::memcmp(&stream.mReal, &handler.mReal, sizeof(double)), 0) << stream.mReal << " " << handler.mReal;
  EXPECT_EQ(stream.mText, handler.mText);
  for (int element = 0; element < 3; ++element) EXPECT_EQ(stream.mList[element], handler.mList[element]);
  EXPECT_EQ(stream.mFreeType, handler.mFreeType);
  EXPECT_EQ(stream.mFreeInt, handler.mFreeInt);
  EXPECT_EQ(std::memcmp(&stream.mFreeReal, &handler.mFreeReal, sizeof(double)), 0);
  EXPECT_EQ(stream.mFreeText, handler.mFreeText);
  EXPECT_EQ(stream.mRefNumber, handler.mRefNumber);
  EXPECT_EQ(stream.mRefElement, handler.mRefElement);
  EXPECT_EQ(stream.mRefWhole, handler.mRefWhole);
  EXPECT_EQ(stream.mRefSigil, handler.mRefSigil);
  EXPECT_EQ(stream.mEvalDepth, handler.mEvalDepth);
  EXPECT_EQ(stream.mSlot0, handler.mSlot0);
  EXPECT_EQ(stream.mPc, handler.mPc);
  EXPECT_EQ(stream.mBlockDepth, handler.mBlockDepth);
  EXPECT_EQ(stream.mLoopDepth, handler.mLoopDepth);
  EXPECT_EQ(stream.mBlock.mBegin, handler.mBlock.mBegin);
  EXPECT_EQ(stream.mBlock.mEnd, handler.mBlock.mEnd);
  EXPECT_EQ(stream.mBlock.mSavedLoopDepth, handler.mBlock.mSavedLoopDepth);
  EXPECT_EQ(stream.mLoop.mCounter, handler.mLoop.mCounter);
  EXPECT_EQ(stream.mLoop.mLimit, handler.mLoop.mLimit);
  EXPECT_EQ(stream.mLoop.mBodyStart, handler.mLoop.mBodyStart);
  EXPECT_EQ(stream.mReport, handler.mReport);
  EXPECT_EQ(stream.mQuit, handler.mQuit);
}

struct InstructionCase {
  std::string mWhat;
  int32_t mPosition;
  bool mDecoded;  // runs without its handler from the first state
};

// One instruction as the dispatcher runs it: from the stream when its decoded
// form applies, else by its handler; the result and whether it was decoded.
int32_t DispatchOne(ExecutionContext* context, int32_t k, bool* decoded) {
  context->mPc = k;
  *decoded = RunDecodedInstructions(context, 1);
  int32_t result = 0;
  if (!*decoded) {
    context->mPc = k + 1;
    g_CurrentInstruction = k;
    FlushStreamState();
    result = context->mHandlers[1][k]();
  }
  FlushStreamState();
  return result;
}

// Every instruction of a table, from every state of a table, run by its
// handler and as the dispatcher runs it (first run and a later one) with the
// same outcome. The states run one after another on the same stream, so an
// entry decoded in one state is reused in the next: kRunFree changes its type
// between them.
TEST(InstructionStreamTest, EveryInstructionHasItsHandlersEffects) {
  const int64_t kMin = std::numeric_limits<int64_t>::min();
  ScriptRunner game;
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  std::vector<InstructionCase> instructions;
  auto add = [&](const std::string& what, bool decoded) {
    instructions.push_back({what, code.Position(), decoded});
  };
  const char* opNames[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^="};
  for (uint8_t op = 0; op < kAssignOperators; ++op) {
    add(std::string("int ") + opNames[op] + " variable", true);
    Assign(code, Var(kRunInt), Var(kRunInt2), op);
  }
  add("x = x + y * 2", true);
  Assign(code, Var(kRunInt), Bin(Var(kRunInt), Bin(Var(kRunInt2), Num(2), '*'), '+'));
  add("constant value leaves the target as the last reference", true);
  Assign(code, Var(kRunInt), Num(5), 1);
  add("value in real arithmetic", false);
  Assign(code, Var(kRunInt), Bin(Real(2.5), Var(kRunInt2), '*'), 1);
  add("value type 3", true);
  Assign(code, Var(kRunInt), Bin(Var(kRunInt2), Num(1), '-'), 0, 3);
  add("value reads a real variable", true);
  Assign(code, Var(kRunInt), Var(kRunReal), 1);
  add("value reads a string variable", false);
  Assign(code, Var(kRunInt), Var(kRunText), 0);
  add("value reads a system variable", false);
  Assign(code, Var(kRunInt), Bin(Var(kSysLoopCounter), Num(1), '+'), 0);
  add("value with a subscript", false);
  Assign(code, Var(kRunInt), Elem(kRunIntList, {Num(2)}), 1);
  add("target with a reference sigil", true);
  Assign(code, Var(kRunInt, '#'), Num(3), 1);
  add("target with a grave sigil", true);
  Assign(code, Var(kRunInt, '`'), Var(kRunInt2), 0);
  add("real target", false);
  Assign(code, Var(kRunReal), Var(kRunInt2), 1);
  add("string target appends", false);
  Assign(code, Var(kRunText), Str("cd"), 1);
  add("string target with -=", false);
  Assign(code, Var(kRunText), Str("cd"), 2);
  add("undefined target", false);
  Assign(code, Var(kUndefined), Num(1), 0);
  add("system variable target", false);
  Assign(code, Var(kSysLoopCounter), Num(1), 0);
  add("whole variable target", false);
  Assign(code, Whole(kRunIntList), Var(kRunInt2), 0);
  add("element chosen by a variable", false);
  Assign(code, Elem(kRunIntList, {Var(kRunInt2)}), Num(9), 0);
  add("target whose type the states change, +=", true);
  Assign(code, Var(kRunFree), Var(kRunInt2), 1);
  add("target whose type the states change, =", true);
  Assign(code, Var(kRunFree), Bin(Var(kRunInt2), Num(4), '+'), 0);
  add("block begin on an integer condition", true);
  code.If(Bin(Var(kRunInt), Num(0), '>'));
  add("block end", true);
  code.EndIf();
  add("block begin on a real variable", true);
  code.If(Var(kRunReal));
  code.EndIf();
  add("block begin with an else-if branch", true);
  code.If(Bin(Var(kRunInt2), Num(0), '='));
  code.ElseIf(Num(1));
  code.EndIf();
  add("block begin on a string comparison", false);
  code.If(Bin(Var(kRunText), Str("ab"), '='));
  code.EndIf();
  code.Loop(Num(-1));
  add("loop end", true);
  code.EndLoop();
  code.Op("end");
  game.Add(code);
  ASSERT_TRUE(game.Load());

  const State states[] = {
      {"small values", 7, -3, kVarInt, 1, 1, 1, -1},
      {"zero divisor", 5, 0, kVarInt, 1, 1, 2, 3},
      {"min and -1", kMin, -1, kVarReal, 2, 1, 3, 3},
      {"type string, deep block", 12, 2, kVarString, 62, 2, 4, -7},
      {"block at its limit", -4, 1, kVarInt, 63, 0, 0, 0},
      {"no block and loop open", 1, 1, kVarReal, 0, 0, 0, 0},
  };
  ExecutionContext* context = MainContext();
  for (const InstructionCase& instruction : instructions) {
    SCOPED_TRACE(instruction.mWhat);
    const int32_t k = instruction.mPosition;
    for (const State& state : states) {
      SCOPED_TRACE(state.mWhat);
      CommandHandler handler = context->mHandlers[1][k];
      Apply(state, k);
      Outcome expected = Capture(handler());
      for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        Apply(state, k);
        bool decoded = false;
        int32_t result = DispatchOne(context, k, &decoded);
        ExpectSame(expected, Capture(result));
        // A decoded form that never applied would pass the comparison too.
        if (&state == &states[0]) {
          EXPECT_EQ(decoded, instruction.mDecoded);
        }
      }
    }
  }
  g_LastErrorText.clear();
  g_QuitFlag.store(0);
}

int64_t g_replacedRuns = 0;
int32_t CountingHandler() {
  g_replacedRuns += 1;
  return 0;
}

// A handler bound to an instruction after it was decoded runs in its place.
TEST(InstructionStreamTest, ANewlyBoundHandlerRuns) {
  ScriptRunner game;
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  const int32_t assign = code.Position();
  Assign(code, Var(kRunInt), Num(1), 1);
  code.Op("wait", {{"frames", Num(1)}});
  code.Jump(Str("SYSTEM_START"));
  game.Add(code);
  ASSERT_TRUE(game.Load());
  ASSERT_TRUE(game.Frame());
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(IntVar(kRunInt), 2);
  g_replacedRuns = 0;
  g_ScriptFileTable[0]->mHandlers[1][assign] = CountingHandler;
  ASSERT_TRUE(game.Frame());
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(IntVar(kRunInt), 2);
  EXPECT_EQ(g_replacedRuns, 2);
}

// Two script files whose instructions sit at the same positions, one run
// after the other in the same process: the second runs its own code even
// when its tables take the first one's addresses.
TEST(InstructionStreamTest, ReloadedScriptDataRunsItsOwnInstructions) {
  struct Version {
    uint8_t mOp;
    char mCompare;
    int64_t mExpected;
  };
  // Both count while the condition holds; they differ only in the operator
  // bytes and one comparison.
  const Version versions[] = {{1, '<', 10}, {2, '>', -10}, {1, '<', 10}};
  for (const Version& version : versions) {
    SCOPED_TRACE(version.mExpected);
    ScriptRunner game;
    ScriptAssembler code = game.Script(0);
    code.Label("SYSTEM_START");
    code.Loop(Num(-1));
    code.If(Bin(Var(kRunInt), Num(version.mExpected), version.mCompare));
    Assign(code, Var(kRunInt), Num(1), version.mOp);
    code.Else();
    code.Break();
    code.EndIf();
    code.EndLoop();
    code.Op("end");
    game.Add(code);
    ASSERT_TRUE(game.Load());
    game.RunUntilQuit();
    EXPECT_EQ(g_LastErrorText, "");
    EXPECT_EQ(IntVar(kRunInt), version.mExpected);
  }
}

// Freed script files take their streams with them, whatever addresses the
// next script data gets.
TEST(InstructionStreamTest, ReleasedScriptDataLeavesNoStream) {
  ScriptRunner game;
  ScriptAssembler main = game.Script(0);
  main.Label("SYSTEM_START");
  Assign(main, Var(kRunInt), Num(1), 1);
  main.Jump(Str("OTHER"));
  ScriptAssembler other = game.Script(1);
  other.Label("OTHER");
  Assign(other, Var(kRunInt), Num(1), 1);
  other.Op("end");
  game.Add(main);
  game.Add(other);
  ASSERT_TRUE(game.Load());
  game.RunUntilQuit();
  EXPECT_EQ(IntVar(kRunInt), 2);
  EXPECT_EQ(InstructionStreamCount(), 2);
  ReleaseScriptData();
  EXPECT_EQ(InstructionStreamCount(), 0);
}

// A variable redeclared with another type by the script itself while the
// same assignment runs in a loop: each pass follows the type of the moment.
TEST(InstructionStreamTest, AssignmentFollowsARedeclaration) {
  ScriptRunner game;
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("int", {{"var", Var(kRunFree)}, {"value", Num(10)}});
  code.Loop(Num(4));
  Assign(code, Var(kRunFree), Num(3), 1);
  code.If(Bin(Elem(kSysLoopCounter, {Num(0)}), Num(2), '='));
  code.Op("real", {{"var", Var(kRunFree)}, {"value", Real(0.5)}});
  code.EndIf();
  code.EndLoop();
  code.Op("end");
  game.Add(code);
  ASSERT_TRUE(game.Load());
  game.RunUntilQuit();
  EXPECT_EQ(g_LastErrorText, "");
  const VariableRecord* record = FindVariableRecord(kRunFree);
  ASSERT_EQ(record->mVarType, kVarReal);
  // 10 + 3 + 3, then 0.5 + 3 + 3.
  EXPECT_DOUBLE_EQ(RealVar(kRunFree), 6.5);
}

// Debug mode counts every instruction, so none may run unseen in a batch;
// without it the same script computes the same result.
TEST(InstructionStreamTest, DebugModeCountsEveryInstruction) {
  for (uint8_t debug : {uint8_t{0}, uint8_t{1}}) {
    SCOPED_TRACE(static_cast<int>(debug));
    ScriptRunner game;
    ScriptAssembler code = game.Script(0);
    code.Label("SYSTEM_START");
    code.Loop(Num(10));  // one instruction
    Assign(code, Var(kRunInt), Num(2), 1);
    code.If(Bin(Var(kRunInt), Num(0), '<'));
    code.EndIf();
    code.EndLoop();
    code.Op("end");  // one instruction
    game.Add(code);
    ASSERT_TRUE(game.Load());
    g_DebugMode = debug;
    g_DebugStepCount = 0;
    game.RunUntilQuit();
    EXPECT_EQ(g_LastErrorText, "");
    EXPECT_EQ(IntVar(kRunInt), 20);
    // The condition is false: the block end follows the begin, so a pass is
    // assign, begin, end and loop end.
    EXPECT_EQ(g_DebugStepCount, debug != 0 ? 1 + 10 * 4 + 1 : 0);
    g_DebugMode = 0;
  }
}

// Calls between two files switch streams back and forth; the loop in each
// file keeps its own decoded instructions.
TEST(InstructionStreamTest, CallsAcrossFilesUseEachFilesInstructions) {
  ScriptRunner game;
  ScriptAssembler main = game.Script(0);
  main.Label("SYSTEM_START");
  main.Loop(Num(5));
  Assign(main, Var(kRunInt), Num(1), 1);
  main.Call(Str("OTHER"));
  main.EndLoop();
  main.Op("end");
  ScriptAssembler other = game.Script(1);
  other.Label("OTHER");
  other.Loop(Num(3));
  Assign(other, Var(kRunInt2), Var(kRunInt), 1);
  other.EndLoop();
  other.Return();
  game.Add(main);
  game.Add(other);
  ASSERT_TRUE(game.Load());
  game.RunUntilQuit();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunInt), 5);
  EXPECT_EQ(IntVar(kRunInt2), 3 * (1 + 2 + 3 + 4 + 5));
}

}  // namespace
