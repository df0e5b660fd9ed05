// The dispatcher: the end command, the command switches, value type 0
// records, the debug corner check and the inactive pause.
#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "core/window_table.h"
#include "platform/dialogs.h"
#include "script/engine_config.h"
#include "script/script_data.h"
#include "script/task_step.h"
#include "script/variables.h"
#include "support/fake_clock.h"
#include "support/script_runner.h"

namespace {

void Increment(ScriptAssembler& code, uint32_t variable) {
  code.Op("assign", {{"target", Var(variable), 1}, {"value", Num(1)}});
}

template <typename Body>
void LoadMain(ScriptRunner& game, Body body) {
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  body(code);
  game.Add(code);
  ASSERT_TRUE(game.Load());
}

struct EndCase {
  const char* mWhat;
  std::vector<Arg> mArgs;
  uint8_t mBefore;
  uint8_t mRelaunch;
};

TEST(EndProgramTest, QuitsAndRelaunchesOnlyForANonZeroLowByte) {
  const EndCase cases[] = {
      {"no argument leaves the flag", {}, 0, 0},
      {"low byte 0", {{"restart", Num(0x100)}}, 7, 0},
      {"low byte 1", {{"restart", Num(0x201)}}, 0, 1},
  };
  for (const EndCase& entry : cases) {
    SCOPED_TRACE(entry.mWhat);
    ScriptRunner game;
    LoadMain(game, [&](ScriptAssembler& code) {
      code.Op("end", entry.mArgs);
      Increment(code, kRunInt);
    });
    g_RelaunchOnExit.store(entry.mBefore);
    EXPECT_EQ(game.RunUntilQuit(), 1);
    EXPECT_EQ(g_RelaunchOnExit.load(), entry.mRelaunch);
    EXPECT_EQ(IntVar(kRunInt), 0);
    EXPECT_EQ(g_LastErrorText, "");
    g_RelaunchOnExit.store(0);
  }
}

TEST(CommandSwitchTest, EachGivenIdSetsItsSwitch) {
  ScriptRunner game;
  LoadMain(game, [](ScriptAssembler& code) {
    code.Op("switches", {{"cmd1", Num(0x300)}, {"cmd121", Num(2)}});
    code.Op("validate15");
    code.Op("nop51");
    code.Op("end");
  });
  game.RunUntilQuit();
  EXPECT_EQ(g_CommandSwitches[1], 0);
  EXPECT_EQ(g_CommandSwitches[121], 2);
  EXPECT_EQ(g_CommandSwitches[2], 1);
  EXPECT_EQ(g_LastErrorText, "");
}

TEST(ValueTypeZeroTest, ARecordOfTypeZeroLoadsAndAnEmptyEntryIsReported) {
  ScriptRunner game;
  LoadMain(game, [](ScriptAssembler& code) {
    code.Op("wait", {{"frames", Num(1), 0, 0}});
    code.Op("end");
  });
  // The assembler picks a type for 0: write the record's type afterwards.
  ASSERT_NE(g_ScriptFileTable[0], nullptr);
  g_ScriptFileTable[0]->mArgRecords[0][0].mValueType = 0;
  game.RunUntilQuit();
  EXPECT_TRUE(LastReportIs(kMsgBadExpression)) << g_LastErrorText;
}

TEST(ValueTypeZeroTest, TheLoaderAcceptsTypeZero) {
  ScriptRunner game;
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("end");
  RawInstruction math;
  math.mCommand = 60;
  RawArgument x;
  x.mId = 1;
  x.mValueType = 0;
  x.mExpression = Num(-7).mBytes;
  math.mArgs = {x};
  code.Raw(math);
  game.Add(code);
  ASSERT_TRUE(game.Load());
  EXPECT_EQ(g_ScriptFileTable[0]->mArgRecords[1][0].mValueType, 0);
}

class DebugCornerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_DesktopWidth = 800;
    g_DesktopHeight = 600;
    LoadMain(mGame, [](ScriptAssembler& code) {
      code.Loop(Num(2100));  // about 4,200 instructions: four samples
      code.Op("nop");
      code.EndLoop();
      Increment(code, kRunInt);
      code.Op("wait", {{"frames", Num(100)}});
    });
    g_DebugMode = 1;
    s_samples = 0;
  }
  void TearDown() override {
    g_DebugMode = 0;
    g_CursorPositionSource = GetGlobalCursorPositionForTests();
  }
  static bool (*GetGlobalCursorPositionForTests())(int*, int*) { return s_saved; }
  static bool FourCorners(int* x, int* y) {
    static const int kCorners[4][2] = {{0, 0}, {8, 591}, {791, 8}, {799, 599}};
    *x = kCorners[s_samples % 4][0];
    *y = kCorners[s_samples % 4][1];
    ++s_samples;
    return true;
  }
  static bool OneCorner(int* x, int* y) {
    *x = 0;
    *y = 0;
    ++s_samples;
    return true;
  }
  static inline int s_samples = 0;
  static inline bool (*s_saved)(int*, int*) = g_CursorPositionSource;
  ScriptRunner mGame;
};

TEST_F(DebugCornerTest, AllFourCornersAskOnceAndNoGoesOn) {
  g_CursorPositionSource = FourCorners;
  mGame.mEnv.mDialogs.mBoxAnswers.push_back(kAnswerNo);
  mGame.Frame();
  EXPECT_GE(s_samples, 4);
  ASSERT_EQ(mGame.mEnv.mDialogs.mBoxes.size(), 1u);
  EXPECT_EQ(mGame.mEnv.mDialogs.mBoxes[0].mCaption, "[デバッグ機能]");
  EXPECT_EQ(g_QuitFlag.load(), 0);
  EXPECT_EQ(IntVar(kRunInt), 1);
  EXPECT_EQ(g_DebugCornerBits, 0);
}

TEST_F(DebugCornerTest, YesQuits) {
  g_CursorPositionSource = FourCorners;
  mGame.mEnv.mDialogs.mBoxAnswers.push_back(kAnswerYes);
  mGame.Frame();
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_EQ(IntVar(kRunInt), 0);
}

TEST_F(DebugCornerTest, OneCornerNeverAsks) {
  g_CursorPositionSource = OneCorner;
  mGame.Frame();
  EXPECT_GE(s_samples, 4);
  EXPECT_TRUE(mGame.mEnv.mDialogs.mBoxes.empty());
  EXPECT_EQ(g_DebugCornerBits, 1);
}

uint32_t g_pausedReported = 0;
void NotePause(uint32_t pausedMs) { g_pausedReported = pausedMs; }

TEST(InactivePauseTest, AnInactiveWindowPausesOnlyWhenNotRunningInBackground) {
  FakeClock clock(1000);
  ScriptRunner game;
  LoadMain(game, [](ScriptAssembler& code) {
    Increment(code, kRunInt);
    code.Op("wait", {{"frames", Num(100)}});
  });
  WindowObject window;
  window.mActive = 0;
  WindowObject* saved = g_WindowTable[0];
  g_WindowTable[0] = &window;
  g_InactivePauseEnded = NotePause;

  UpdateInactivePause();
  EXPECT_EQ(g_InactivePause, 0);  // running in the background
  g_RunInBackground = 0;
  UpdateInactivePause();
  EXPECT_EQ(g_InactivePause, 1);
  EXPECT_EQ(g_InactivePauseStart, 1000u);

  // While paused, a program that is ending runs no instruction.
  g_Running.store(0);
  game.Frame();
  g_Running.store(1);
  EXPECT_EQ(IntVar(kRunInt), 0);

  clock.Advance(250);
  window.mActive = 1;
  UpdateInactivePause();
  EXPECT_EQ(g_InactivePause, 0);
  EXPECT_EQ(g_pausedReported, 250u);

  g_InactivePauseEnded = nullptr;
  g_WindowTable[0] = saved;
}

}  // namespace
