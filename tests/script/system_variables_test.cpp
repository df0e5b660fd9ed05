// System variables: time fields and stopwatches on a fixed clock, fixed
// answers, the one-byte text, path bases with their cut, indirect access
// through checked references, input slots, window events, the file list and
// the read-only numbers.
#include "script/system_variables.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/file_list.h"
#include "core/input_state.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "core/stopwatches.h"
#include "core/window_table.h"
#include "platform/clock.h"
#include "script/script_data.h"
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
    Define(mGame, 1, 1, {6});
    Define(mGame, 9, 1);
    Define(mGame, 14, 3, {100});
    Define(mGame, 15, 1);
    Define(mGame, 109, 1);
    Define(mGame, 111, 1);
    for (uint16_t n = 117; n <= 121; ++n) Define(mGame, n, 1);
    for (uint16_t n = 132; n <= 142; ++n) Define(mGame, n, 1);
    Define(mGame, 144, 1, {2000});
    Define(mGame, 145, 1);
    Define(mGame, 146, 1);
    for (uint16_t n = 147; n <= 547; ++n) Define(mGame, n, 1, {1024});
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
  // Loads the script of `body`, calls `beforeRun` and runs it.
  void Run(const std::function<void(ScriptAssembler&)>& body, const std::function<void()>& beforeRun = {}) {
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    body(code);
    code.Op("end");
    mGame.Add(code);
    ASSERT_TRUE(mGame.Load());
    if (beforeRun) beforeRun();
    mGame.RunUntilQuit();
  }
  void TearDown() override {
    SetFixedLocalTime(nullptr);
    SetClockHooks(nullptr);
  }
  ScriptRunner mGame;
};

// A clock that tests move by hand.
struct ManualClock {
  uint32_t mNow = 0;
  ClockHooks mHooks{[](void* self) { return static_cast<ManualClock*>(self)->mNow; },
                    [](void* self, uint32_t ms) { static_cast<ManualClock*>(self)->mNow += ms; }, this};
};

void Assign(ScriptAssembler& code, const Expr& target, int64_t value, uint8_t op = 0) {
  code.Op("assign", {{"target", target, op}, {"value", Num(value)}});
}

TEST_F(SystemVariablesTest, FixedAnswersTimeAndOneByteTexts) {
  Run([](ScriptAssembler&) {});
  const LocalTime now{2026, 12, 10, 4, 23, 59, 58, 987};
  SetFixedLocalTime(&now);
  g_StartTime = LocalTime{2025, 1, 2, 3, 4, 5, 6, 7};
  const int64_t nowFields[] = {2026, 12, 10, 4, 23, 59, 58, 987};
  const int64_t startFields[] = {2025, 1, 2, 3, 4, 5, 6, 7};
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(EvalIntExpr(Elem(0, {Num(k)})), nowFields[k]) << "field " << k;
    EXPECT_EQ(EvalIntExpr(Elem(0, {Num(k + 8)})), startFields[k]) << "start field " << k;
  }
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

TEST_F(SystemVariablesTest, StopwatchesRunAndStandStillWhenStopped) {
  Run([](ScriptAssembler&) {});
  ManualClock clock;
  clock.mNow = 5000;
  SetClockHooks(&clock.mHooks);
  for (uint32_t& base : g_StopwatchBase) base = 1000;
  g_StopwatchPausable[2] = 0;
  g_StopwatchPauseStart[2] = 3000;
  EXPECT_EQ(EvalIntExpr(Elem(1, {Num(0)})), 5000);
  EXPECT_EQ(EvalIntExpr(Elem(1, {Num(1)})), 4000);
  EXPECT_EQ(EvalIntExpr(Var(111)), 4000);
  EXPECT_EQ(EvalIntExpr(Elem(1, {Num(3)})), 2000);
  clock.mNow = 9000;
  EXPECT_EQ(EvalIntExpr(Elem(1, {Num(4)})), 8000);
  EXPECT_EQ(EvalIntExpr(Elem(1, {Num(3)})), 2000) << "a stopped stopwatch stays still";
  EXPECT_EQ(EvalIntExpr(Elem(1, {Num(5)})), 0);
  // The difference is taken in 32 bits across the clock's wrap.
  g_StopwatchBase[0] = 0xFFFFFF00u;
  clock.mNow = 0x100;
  EXPECT_EQ(EvalIntExpr(Var(111)), 0x200);
}

TEST_F(SystemVariablesTest, EngineStateAndWindowEvents) {
  WindowObject window0;
  WindowObject window2;
  window0.mCursorX = 12;
  window0.mCursorY = 34;
  window2.mCursorX = -5;
  window2.mCursorY = 600;
  Run([](ScriptAssembler& code) {
    Assign(code, Var(117), 0x102);  // the low byte is kept
    Assign(code, Var(118), 3);
    Assign(code, Var(119), 1);
    Assign(code, Var(120), 4);
    Assign(code, Var(132), int64_t{30001} << 20);
    Assign(code, Var(145), 0x1B);
    Assign(code, Var(146), 4, 1);  // the operator is ignored
  });
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(g_MaximizeRequest, 2);
  EXPECT_EQ(g_MinimizeRequest, 3);
  EXPECT_EQ(g_CloseRequest, 1);
  EXPECT_EQ(g_CaptionDoubleClick, 4);
  EXPECT_EQ(g_LastMenuCommand, int64_t{30001} << 20);
  EXPECT_EQ(g_LastKeyDown, 0x1Bu);
  EXPECT_EQ(g_LastMouseButton, 4u);
  EXPECT_EQ(EvalIntExpr(Var(117)), 2);
  EXPECT_EQ(EvalIntExpr(Var(132)), int64_t{30001} << 20);

  g_WindowTable[0] = &window0;
  g_WindowTable[2] = &window2;
  EXPECT_EQ(EvalIntExpr(Var(133)), 12);
  EXPECT_EQ(EvalIntExpr(Var(138)), 34);
  EXPECT_EQ(EvalIntExpr(Var(134)), 12);
  EXPECT_EQ(EvalIntExpr(Var(136)), -5);
  EXPECT_EQ(EvalIntExpr(Var(141)), 600);
  EXPECT_EQ(EvalIntExpr(Var(137)), 0) << "no window 3";
  g_WindowTable[0] = nullptr;
  g_WindowTable[2] = nullptr;

  g_FrameCounter = 77;
  g_FolderReadOnly = 1;
  g_ScriptReadableSwitch = 5;
  EXPECT_EQ(EvalIntExpr(Var(109)), 77);
  EXPECT_EQ(EvalIntExpr(Var(9)), 1);
  EXPECT_EQ(EvalIntExpr(Var(121)), 1);
}

// Script keys 3-6 map to input slots 65-68; joystick 1's slots start at
// 384 + 36.
TEST_F(SystemVariablesTest, InputSlotsReadAndStoreByTheirStateRule) {
  struct Case {
    const char* mLabel;
    uint16_t mVariable;
    int64_t mElement;
    int mSlot;
    uint8_t mState;
    int64_t mValue;
    int64_t mStoredCounter;
  };
  const std::vector<Case> cases = {
      {"key up, positive value", 147 + 3, 0, 65, 0, 3, 0},
      {"key up, negative value", 147 + 4, 0, 66, 0, -3, -3},
      {"key down, positive value", 147 + 5, 0, 67, 2, 3, 3},
      {"key down, negative value", 147 + 6, 0, 68, 2, -3, 0},
      {"slot by element", 144, 200, 200, 2, 9, 9},
      {"joystick 1 axis 2", 278, 1, 384 + 36 + 2, 0, -4, -4},
      {"joystick 1 button 2", 280, 32 + 2, 384 + 36 + 4 + 2, 2, 6, 6},
  };
  for (int key = 3; key <= 6; ++key) mGame.mData.mKeyTable[key] = static_cast<uint8_t>(62 + key);
  Run(
      [&](ScriptAssembler& code) {
        for (const Case& c : cases) Assign(code, Elem(c.mVariable, {Num(c.mElement)}), c.mValue);
      },
      [&] {
        for (const Case& c : cases) {
          g_InputState[c.mSlot] = c.mState;
          g_InputCounter[c.mSlot] = 100;
        }
      });
  EXPECT_EQ(g_LastErrorText, "");
  for (const Case& c : cases) {
    EXPECT_EQ(g_InputCounter[c.mSlot], c.mStoredCounter) << c.mLabel;
    EXPECT_EQ(EvalIntExpr(Elem(c.mVariable, {Num(c.mElement)})), c.mStoredCounter) << c.mLabel;
  }
}

TEST_F(SystemVariablesTest, PressCountsSlotNumbersAndSlotsOutsideTheTable) {
  mGame.mData.mKeyTable[5] = 90;
  Run([](ScriptAssembler& code) {
    Assign(code, Elem(281 + 5, {Num(0)}), 12);
    Assign(code, Elem(411, {Num(2)}), 7);          // joystick 2, axis 1
    Assign(code, Elem(414, {Num(15 * 32 + 31)}), 8);  // the last joystick's last button
    // Past the last joystick or the slot table: nothing is stored anywhere.
    Assign(code, Elem(280, {Num(16 * 32)}), 5);
    Assign(code, Elem(276, {Num(16)}), -5);
    Assign(code, Elem(144, {Num(1500)}), -5);
    Assign(code, Elem(144, {Num(0)}), -5);
  });
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(g_InputPressCount[90], 12);
  EXPECT_EQ(g_InputPressCount[384 + 72 + 1], 7);
  EXPECT_EQ(g_InputPressCount[384 + 36 * 15 + 4 + 31], 8);
  EXPECT_EQ(EvalIntExpr(Elem(281 + 5, {Num(0)})), 12);
  EXPECT_EQ(EvalIntExpr(Elem(415 + 5, {Num(0)})), 90);
  EXPECT_EQ(EvalIntExpr(Elem(543 + 3, {Num(2)})), 384 + 72 + 3);
  EXPECT_EQ(EvalIntExpr(Elem(547, {Num(32 + 5)})), 384 + 36 + 4 + 5);
  EXPECT_EQ(EvalIntExpr(Elem(547, {Num(16 * 32)})), 0);
  EXPECT_EQ(EvalIntExpr(Elem(144, {Num(1500)})), 0);
  for (int slot = 0; slot < kInputSlots; ++slot) {
    EXPECT_EQ(g_InputCounter[slot], 0) << "slot " << slot;
  }
}

TEST_F(SystemVariablesTest, FileListEntriesWithinTheCountAndTheList) {
  Run([](ScriptAssembler&) {});
  ReplaceFileList({"c:\\a.txt", "d:\\folder\\"});
  EXPECT_EQ(EvalIntExpr(Var(15)), 2);
  EXPECT_EQ(EvalTextExpr(Elem(14, {Num(1)})), "d:\\folder\\");
  EXPECT_EQ(g_LastErrorText, "");
  // A count raised by a script does not reach past the list.
  g_FileListCount = 5;
  EXPECT_EQ(EvalTextExpr(Elem(14, {Num(3)})), "");
  EXPECT_TRUE(LastReportIs(kMsgSubscriptOutOfRange)) << LastReportTag();
}

TEST_F(SystemVariablesTest, EmptyFileListIsReported) {
  Run([](ScriptAssembler& code) {
    code.Op("assign", {{"target", Var(kRunText)}, {"value", Elem(14, {Num(0)})}});
  });
  EXPECT_TRUE(LastReportIs(kMsgSubscriptOutOfRange)) << LastReportTag();
}

}  // namespace
