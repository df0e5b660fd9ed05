// Task stepping and the task commands: order keys, waits, disabled groups,
// the re-run pass, task start, end and query, and the context string.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "script/execution_context.h"
#include "script/script_data.h"
#include "script/system_variables.h"
#include "script/task_step.h"
#include "script/tasks.h"
#include "script/variables.h"
#include "support/fake_clock.h"
#include "support/script_runner.h"

namespace {

void Assign(ScriptAssembler& code, const Expr& target, const Expr& value, uint8_t op = 0) {
  code.Op("assign", {{"target", target, op}, {"value", value}});
}
void Increment(ScriptAssembler& code, uint32_t variable) { Assign(code, Var(variable), Num(1), 1); }
// Appends id to the run list: list[count] = id, count += 1.
void Record(ScriptAssembler& code, int64_t id) {
  Assign(code, Elem(kRunIntList, {Var(kRunInt2)}), Num(id));
  Increment(code, kRunInt2);
}
void StartTask(ScriptAssembler& code, const std::string& path, std::vector<Arg> args) {
  args.insert(args.begin(), {"path", Str(path)});
  code.Op("task", args);
}

ObjectTreeNode* Task(const char* path) { return FindObjectByPath(g_TaskRoot, path, kPathLeaf); }
ExecutionContext* ContextOf(const char* path) {
  ObjectTreeNode* node = Task(path);
  return node != nullptr ? static_cast<ExecutionContext*>(node->mPayload) : nullptr;
}

class TasksTest : public ::testing::Test {
 protected:
  // The main script after the start label, then `tasks` (labels of other
  // tasks) in the same file.
  template <typename Main, typename Tasks>
  void Load(Main main, Tasks tasks) {
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    main(code);
    code.Op("end");
    tasks(code);
    mGame.Add(code);
    ASSERT_TRUE(mGame.Load());
  }
  ScriptRunner mGame;
};

TEST_F(TasksTest, HigherOrderKeysRunFirst) {
  Load(
      [](ScriptAssembler& code) {
        StartTask(code, "low", {{"label", Str("low")}, {"order", Num(10)}, {"enable1", Num(0)}});
        StartTask(code, "high", {{"label", Str("high")}, {"order", Num(20)}, {"enable1", Num(0)}});
        code.Op("wait", {{"frames", Num(1)}});
        StartTask(code, "low", {{"enable1", Num(1)}});
        StartTask(code, "high", {{"enable1", Num(1)}});
        code.Op("wait", {{"frames", Num(100)}});
      },
      [](ScriptAssembler& code) {
        code.Label("low");
        Record(code, 1);
        code.Op("task_end");
        code.Label("high");
        Record(code, 2);
        code.Op("task_end");
      });
  mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt2), 0);
  EXPECT_EQ(Task("low")->mOrderKey, 10);
  mGame.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  ASSERT_EQ(IntVar(kRunInt2), 2);
  EXPECT_EQ(IntVar(kRunIntList, 0), 2);
  EXPECT_EQ(IntVar(kRunIntList, 1), 1);
  EXPECT_EQ(Task("low"), nullptr);  // both ended themselves
  EXPECT_EQ(Task("high"), nullptr);
}

TEST_F(TasksTest, FrameWaitsCountVisits) {
  Load(
      [](ScriptAssembler& code) {
        code.Op("wait", {{"frames", Num(0)}, {"ms", Num(0)}});  // no wait
        Increment(code, kRunInt);
        code.Op("wait", {{"frames", Num(3)}});
        Increment(code, kRunInt);
        code.Op("wait", {{"frames", Num(1)}});
        Increment(code, kRunInt);
        code.Op("wait", {{"frames", Num(100)}});
      },
      [](ScriptAssembler&) {});
  const int64_t expected[] = {1, 1, 1, 2, 3, 3};
  for (int64_t value : expected) {
    mGame.Frame();
    EXPECT_EQ(IntVar(kRunInt), value);
  }
  EXPECT_EQ(g_QuitFlag.load(), 0);
}

// Whether a wait gives up the turn: the counter is 1 after the first frame
// when it does, 2 when the task ran on; either way the task has run past the
// wait by the next frame.
TEST(TaskWaitTest, EveryNonZeroWaitEndsTheTurnWithoutStalling) {
  const int64_t kLowWordZero = int64_t{1} << 32;
  struct WaitCase {
    const char* mName;
    std::vector<Arg> mArgs;
    int64_t mAfterFirstFrame;
  };
  const WaitCase cases[] = {
      {"nothing to wait for", {{"frames", Num(0)}, {"ms", Num(0)}}, 2},
      {"ms -1", {{"ms", Num(-1)}}, 1},
      {"ms with a zero low word", {{"ms", Num(kLowWordZero)}}, 1},
      {"frames with a zero low word", {{"frames", Num(kLowWordZero)}}, 1},
      {"negative frames", {{"frames", Num(-5)}}, 1},
      {"frames negative in the low word", {{"frames", Num(0x80000000LL)}}, 1},
      {"negative frames before a long time wait", {{"frames", Num(-1)}, {"ms", Num(100000)}}, 1},
  };
  for (const WaitCase& entry : cases) {
    SCOPED_TRACE(entry.mName);
    FakeClock clock(0x1000);
    ScriptRunner game;
    ScriptAssembler code = game.Script(0);
    code.Label("SYSTEM_START");
    Increment(code, kRunInt);
    code.Op("wait", entry.mArgs);
    Increment(code, kRunInt);
    code.Op("wait", {{"frames", Num(100)}});
    code.Op("end");
    game.Add(code);
    ASSERT_TRUE(game.Load());
    game.Frame();
    EXPECT_EQ(IntVar(kRunInt), entry.mAfterFirstFrame);
    game.Frame();
    EXPECT_EQ(IntVar(kRunInt), 2);
    EXPECT_EQ(ContextOf("SYSTEM")->mWaitUntil, 0u);
    EXPECT_EQ(g_LastErrorText, "");
  }
}

TEST_F(TasksTest, TimeWaitsUseTheClockAcrossItsWrap) {
  FakeClock clock(0xFFFFFFF0u);
  Load(
      [](ScriptAssembler& code) {
        code.Op("wait", {{"ms", Num(0x20)}});  // until 0x10, past the wrap
        Increment(code, kRunInt);
        code.Op("wait", {{"ms", Num(0x10)}});  // until 0: stored as 1
        Increment(code, kRunInt);
        code.Op("wait", {{"frames", Num(100)}});
      },
      [](ScriptAssembler&) {});
  mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 0);
  clock.Set(0xFFFFFFF8u);
  mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 0);
  clock.Set(0xFu);
  mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 0);
  clock.Set(0x10u);
  mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 1);
  EXPECT_EQ(ContextOf("SYSTEM")->mWaitUntil, 0x20u);
  clock.Set(0x1Fu);
  mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 1);
  clock.Set(0x20u);
  mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 2);
}

TEST_F(TasksTest, ATimeWaitThatWouldEndAtZeroStillWaits) {
  FakeClock clock(0xFFFFFFF0u);
  Load([](ScriptAssembler& code) {
    code.Op("wait", {{"ms", Num(0x10)}});
    Increment(code, kRunInt);
    code.Op("wait", {{"frames", Num(100)}});
  }, [](ScriptAssembler&) {});
  mGame.Frame();
  EXPECT_EQ(ContextOf("SYSTEM")->mWaitUntil, 1u);
  mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 0);
  clock.Set(1);
  mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 1);
}

TEST_F(TasksTest, ADisabledGroupStopsTheTasksBelowIt) {
  Load(
      [](ScriptAssembler& code) {
        StartTask(code, "grp/t", {{"label", Str("count")}});
        code.Op("wait", {{"frames", Num(100)}});
      },
      [](ScriptAssembler& code) {
        code.Label("count");
        code.Loop(Num(-1));
        Increment(code, kRunInt);
        code.Op("wait", {{"frames", Num(1)}});
        code.EndLoop();
      });
  ObjectTreeNode* group = CreateTreeNode(g_TaskRoot, "grp", 50, 1);
  ASSERT_NE(group, nullptr);
  ASSERT_NE(CreateExecutionContext(group), nullptr);
  mGame.Frame();
  mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 2);
  static_cast<ExecutionContext*>(group->mPayload)->mEnable2 = 0;
  mGame.Frame();
  mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 2);
  static_cast<ExecutionContext*>(group->mPayload)->mEnable2 = 1;
  mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 3);
  EXPECT_EQ(g_LastErrorText, "");
}

TEST_F(TasksTest, TheRerunPassSkipsHigherKeys) {
  Load(
      [](ScriptAssembler& code) {
        StartTask(code, "r", {{"label", Str("count")}, {"order", Num(50)}, {"rerun", Num(1)}});
        code.Op("wait", {{"frames", Num(100)}});
      },
      [](ScriptAssembler& code) {
        code.Label("count");
        code.Loop(Num(-1));
        Increment(code, kRunInt);
        code.Op("wait", {{"frames", Num(1)}});
        code.EndLoop();
      });
  mGame.Frame();
  EXPECT_EQ(Task("r")->mOrderKey, 1);  // no key is computed with a rerun
  EXPECT_EQ(IntVar(kRunInt), 2);       // visited in both passes
  EXPECT_EQ(ContextOf("SYSTEM")->mStepStamp, 1);
  EXPECT_EQ(ContextOf("r")->mStepStamp, 2);
  EXPECT_EQ(g_RerunOrderKey, 0);
}

TEST_F(TasksTest, AnUndefinedCommandEndsTheRun) {
  Load([](ScriptAssembler& code) {
    RawInstruction raw;
    raw.mCommand = 16;
    code.Raw(raw);
    Increment(code, kRunInt);
  }, [](ScriptAssembler&) {});
  EXPECT_EQ(mGame.RunUntilQuit(), 1);
  EXPECT_TRUE(LastReportIs(kMsgUndefinedCommand)) << g_LastErrorText;
  EXPECT_EQ(IntVar(kRunInt), 0);
}

TEST_F(TasksTest, StartRestartAndOrderKeys) {
  Load(
      [](ScriptAssembler& code) {
        StartTask(code, "t", {{"label", Str("first")}, {"order", Num(30)}, {"i1", Num(4)}, {"r1", Num(3)}});
        code.Op("wait", {{"frames", Num(1)}});
        StartTask(code, "t", {{"label", Str("second")}});
        code.Op("wait", {{"frames", Num(1)}});
        StartTask(code, "t", {{"order", {Num(40)}, 2}});  // 30 - 40: at least 1
        StartTask(code, "u", {{"label", Str("second")}, {"order", {Num(2)}, 3}});  // 1 * 2
        code.Op("wait", {{"frames", Num(100)}});
      },
      [](ScriptAssembler& code) {
        code.Label("first");
        Assign(code, Var(kRunInt), Elem(kSysTaskInt, {Num(1)}));
        Assign(code, Var(kRunReal), Elem(kSysTaskReal, {Num(1)}));
        code.Loop(Num(-1));
        code.Op("wait", {{"frames", Num(1)}});
        code.EndLoop();
        code.Label("second");
        Assign(code, Var(kRunInt2), Bin(Elem(kSysTaskInt, {Num(1)}), Num(10), '+'));
        code.Op("wait", {{"frames", Num(100)}});
      });
  mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 4);
  EXPECT_EQ(RealVar(kRunReal), 3.0);
  EXPECT_EQ(Task("t")->mOrderKey, 30);
  mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt2), 10);  // the locals were reset
  EXPECT_EQ(Task("t")->mOrderKey, 30);  // a restart keeps the place
  mGame.Frame();
  EXPECT_EQ(Task("t")->mOrderKey, 1);
  EXPECT_EQ(Task("u")->mOrderKey, 2);
  EXPECT_EQ(g_LastErrorText, "");
}

TEST_F(TasksTest, EndingTasks) {
  Load(
      [](ScriptAssembler& code) {
        StartTask(code, "w", {{"label", Str("wait")}});
        StartTask(code, "grp/w", {{"label", Str("ender")}});
        StartTask(code, "child", {{"label", Str("returner")}});
        code.Op("wait", {{"frames", Num(100)}});
      },
      [](ScriptAssembler& code) {
        code.Label("wait");
        code.Op("wait", {{"frames", Num(100)}});
        code.Label("ender");
        code.Op("task_end", {{"path", Str("w")}});  // another task of the same name
        Increment(code, kRunInt);
        code.Op("task_end", {{"path", Str("grp/w")}});  // itself, by name
        Increment(code, kRunInt);
        code.Label("returner");
        code.Return();  // at call depth 0: the task ends
        Increment(code, kRunInt2);
      });
  ObjectTreeNode* group = CreateTreeNode(g_TaskRoot, "grp", 50, 1);
  ASSERT_NE(CreateExecutionContext(group), nullptr);
  mGame.Frame();
  mGame.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunInt), 1);
  EXPECT_EQ(IntVar(kRunInt2), 0);
  EXPECT_EQ(Task("w"), nullptr);
  EXPECT_EQ(Task("grp/w"), nullptr);
  EXPECT_EQ(Task("child"), nullptr);
  EXPECT_NE(Task("SYSTEM"), nullptr);
}

TEST(TaskEndRefusalTest, TheMainTaskAndMissingTasks) {
  struct Case {
    const char* mWhat;
    std::vector<Arg> mArgs;
    int32_t mMessage;
  };
  const Case cases[] = {
      {"SYSTEM by name", {{"path", Str("SYSTEM")}}, 101420},
      {"the main task itself", {}, 101420},
      {"a missing task", {{"path", Str("nobody")}}, 101400},
      {"a group", {{"path", Str("grp/")}}, 101293},
  };
  for (const Case& entry : cases) {
    SCOPED_TRACE(entry.mWhat);
    ScriptRunner game;
    ScriptAssembler code = game.Script(0);
    code.Label("SYSTEM_START");
    code.Op("task_end", entry.mArgs);
    game.Add(code);
    ASSERT_TRUE(game.Load());
    game.RunUntilQuit();
    EXPECT_TRUE(LastReportIs(entry.mMessage)) << g_LastErrorText;
  }
}

TEST_F(TasksTest, QueriesOfTasks) {
  Load(
      [](ScriptAssembler& code) {
        StartTask(code, "q", {{"label", Str("inner")}, {"order", Num(7)}});
        code.Line(40);
        code.Op("wait", {{"frames", Num(1)}});
        code.Line(0);
        code.Op("task_query", {{"path", Str("q")}, {"out", Elem(kRunIntList, {Num(0)})}, {"exists", Num(1)}});
        code.Op("task_query", {{"path", Str("q")}, {"out", Elem(kRunIntList, {Num(1)})}, {"order", Num(1)}});
        code.Op("task_query", {{"path", Str("q")}, {"out", Elem(kRunIntList, {Num(2)})}, {"block_depth", Num(1)}});
        code.Op("task_query", {{"path", Str("q")}, {"out", Var(kRunInt)}, {"line", Num(1)}});
        code.Op("task_query", {{"path", Str("gone")}, {"out", Var(kRunInt2)}, {"exists", Num(1)}});
        code.Op("task_query", {{"path", Str("gone")}, {"out", Var(kRunText)}, {"script_name", Num(1)}});
        code.Op("task_query", {{"path", Str("q")}, {"out", Elem(kRunTextArray, {Num(0)})}, {"script_name", Num(1)}});
        code.Op("task_query", {{"path", Str("q")}, {"out", Elem(kRunTextArray, {Num(1)})}, {"context", Num(1)}});
        code.Op("task_query", {{"out", Var(kRunReal)}, {"line", Num(1)}});
        // A task that never ran stands at instruction 0: its line is that
        // instruction's.
        StartTask(code, "never", {{"label", Str("SYSTEM_START")}, {"enable1", Num(0)}});
        code.Op("task_query", {{"path", Str("never")}, {"out", Elem(kRunRealArray, {Num(0)})}, {"line", Num(1)}});
        code.Op("wait", {{"frames", Num(100)}});
      },
      [](ScriptAssembler& code) {
        code.Label("inner");
        code.If(Num(1));
        code.Line(77);
        code.Op("wait", {{"frames", Num(100)}});
        code.Line(0);
        code.EndIf();
      });
  ASSERT_TRUE(SetStringElement(kRunText, 0, "stale") == 0);
  ASSERT_TRUE(SetNumberElement(kRunInt2, 0, 5) == 0);
  mGame.Frame();
  mGame.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunIntList, 0), 1);
  EXPECT_EQ(IntVar(kRunIntList, 1), 7);
  EXPECT_EQ(IntVar(kRunIntList, 2), 1);
  EXPECT_EQ(IntVar(kRunInt), 77);  // the instruction before its next one
  EXPECT_EQ(IntVar(kRunInt2), 0);
  EXPECT_EQ(TextVar(kRunText), "");
  EXPECT_EQ(TextVar(kRunTextArray, 0), "script0.txt");
  // One open block, no calls, no loops.
  EXPECT_EQ(TextVar(kRunTextArray, 1).size(), 8u + 2 + 18 + 2 + 2 + 24 + std::strlen("script0.txt"));
  EXPECT_GT(RealVar(kRunReal), 0.0);  // the running instruction's line
  EXPECT_EQ(RealVar(kRunRealArray, 0), 1.0);
}

TEST_F(TasksTest, ContextStringsRoundTrip) {
  Load(
      [](ScriptAssembler& code) {
        StartTask(code, "src", {{"label", Str("deep")}});
        code.Op("wait", {{"frames", Num(1)}});
        code.Op("task_query", {{"path", Str("src")}, {"out", Var(kRunText)}, {"context", Num(1)}});
        StartTask(code, "copy", {{"label", Str("idle")}, {"context", Var(kRunText)}, {"enable1", Num(0)}});
        code.Op("wait", {{"frames", Num(100)}});
      },
      [](ScriptAssembler& code) {
        code.Label("idle");
        code.Op("wait", {{"frames", Num(100)}});
        code.Label("deep");
        code.Loop(Num(5));
        code.If(Num(1));
        code.Call(Str("sub"));
        code.EndIf();
        code.EndLoop();
        code.Label("sub");
        code.Op("wait", {{"frames", Num(100)}});
      });
  mGame.Frame();
  mGame.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  const ExecutionContext* source = ContextOf("src");
  const ExecutionContext* copy = ContextOf("copy");
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->mPc, source->mPc);
  EXPECT_EQ(copy->mBlockDepth, 1);
  EXPECT_EQ(copy->mLoopDepth, 1);
  EXPECT_EQ(copy->mCallDepth, 1);
  EXPECT_EQ(copy->mBlockFrames[1]->mEnd, source->mBlockFrames[1]->mEnd);
  EXPECT_EQ(copy->mLoopFrames[1]->mBodyStart, source->mLoopFrames[1]->mBodyStart);
  EXPECT_EQ(copy->mLoopFrames[1]->mLimit, 5);
  EXPECT_EQ(copy->mCallFrames[1]->mReturnPosition, source->mCallFrames[1]->mReturnPosition);
  char encoded[kContextStringBytes];
  char again[kContextStringBytes];
  int32_t length = EncodeContextString(encoded, source);
  ASSERT_EQ(EncodeContextString(again, copy), length);
  EXPECT_EQ(std::memcmp(encoded, again, static_cast<size_t>(length)), 0);
}

struct BadContext {
  const char* mWhat;
  std::function<void(std::string&)> mDamage;
  int32_t mMessage;
};

TEST_F(TasksTest, DecodingRefusesDamagedTexts) {
  Load([](ScriptAssembler& code) {
    code.If(Num(1));
    code.Op("wait", {{"frames", Num(100)}});
    code.EndIf();
  }, [](ScriptAssembler&) {});
  mGame.Frame();
  ExecutionContext* context = ContextOf("SYSTEM");
  char buffer[kContextStringBytes];
  std::string good(buffer, static_cast<size_t>(EncodeContextString(buffer, context)));
  const BadContext cases[] = {
      {"magic", [](std::string& text) { text[0] = 9; }, 900000},
      {"a letter out of range", [](std::string& text) { text[9] = 'z'; }, 900000},
      {"block depth 64", [](std::string& text) { text[8] = 'e'; text[9] = 'a'; }, 900000},
      {"cut short", [](std::string& text) { text.resize(30); }, 900000},
      {"name longer than the text", [](std::string& text) { text.pop_back(); }, 900000},
      {"unknown script", [](std::string& text) { text.back() = 'Q'; }, 102130},
  };
  for (const BadContext& entry : cases) {
    SCOPED_TRACE(entry.mWhat);
    ResetErrorReporting();
    g_QuitFlag.store(0);
    std::string text = good;
    entry.mDamage(text);
    ExecutionContext before = *context;
    EXPECT_EQ(DecodeContextString(text.data(), text.size(), context), 0);
    EXPECT_TRUE(LastReportIs(entry.mMessage)) << g_LastErrorText;
    EXPECT_EQ(context->mPc, before.mPc);
    EXPECT_EQ(context->mBlockDepth, before.mBlockDepth);
  }
  // A name that differs only in case is found.
  std::string upper = good;
  upper.replace(upper.size() - std::strlen("script0.txt"), 7, "SCRIPT0");
  ResetErrorReporting();
  g_QuitFlag.store(0);
  EXPECT_EQ(DecodeContextString(upper.data(), upper.size(), context), static_cast<int32_t>(upper.size()));
  EXPECT_EQ(DecodeContextString(upper.c_str(), context), static_cast<int32_t>(upper.size()));
  EXPECT_EQ(DecodeContextString(nullptr, 0, context), -1);
  EXPECT_EQ(DecodeContextString(upper.c_str(), nullptr), -1);
}

}  // namespace
