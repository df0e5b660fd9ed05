// Command arguments: check kinds at their bounds, omitted arguments, the
// first failing check, the id map between instructions, and the relative
// operations.
#include <gtest/gtest.h>

#include <limits>

#include "core/errors.h"
#include "core/process_state.h"
#include "core/window_table.h"
#include "script/arguments.h"
#include "script/script_data.h"
#include "script/task_step.h"
#include "support/command_table.h"
#include "support/script_runner.h"

namespace {

void ClearReports() {
  ResetErrorReporting();
  g_QuitFlag.store(0);
}

class ArgumentsTest : public ::testing::Test {
 protected:
  // Loads a game whose main script is `body` after the start label.
  template <typename Body>
  void LoadGame(Body body) {
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    body(code);
    mGame.Add(code);
    ASSERT_TRUE(mGame.Load());
  }
  void SetCheck(const char* command, const char* argument, uint8_t kind) {
    int slot = FindCommandSlot(command);
    mGame.mData.mCommands[slot].mArgs[FindArgumentId(slot, argument)].mCheckKind = kind;
  }
  ScriptRunner mGame;
};

struct CheckCase {
  uint8_t mKind;
  int64_t mValue;
  int32_t mMessage;  // 0: accepted
};

TEST_F(ArgumentsTest, CheckKindsAtTheirBounds) {
  LoadGame([](ScriptAssembler&) {});
  const int64_t kLowWordZero = int64_t{1} << 32;
  const CheckCase cases[] = {
      {0, std::numeric_limits<int64_t>::min(), 0},
      {1, 0, 0}, {1, -1, 101010}, {2, 1, 0}, {2, 0, 101010},
      {3, 0, 0}, {3, 1, 0}, {3, 2, 101000}, {3, -1, 101000}, {3, kLowWordZero, 0},
      {4, 2, 0}, {4, 3, 101000}, {5, 3, 0}, {5, 4, 101000}, {6, 0, 101000}, {6, 1, 0}, {6, 3, 0}, {6, 4, 101000},
      {7, 4, 0}, {7, 5, 101000}, {8, 8, 0}, {8, 9, 101000}, {9, 0, 101000}, {9, 8, 0},
      {10, 15, 0}, {10, 16, 101000}, {11, 18, 0}, {11, 19, 101000}, {12, 256, 0}, {12, 257, 101000},
      {13, 0, 101000}, {13, 256, 0}, {14, 512, 0}, {14, 513, 101000}, {15, 1024, 0}, {15, 1025, 101000},
      {16, 0, 101000}, {16, 1024, 0}, {17, 127, 101000}, {17, 128, 0}, {17, 1024, 0}, {17, 1025, 101000},
      {18, 2048, 0}, {18, 2049, 101000}, {19, 0, 101000}, {19, 2048, 0}, {20, 8192, 0}, {20, 8193, 101000},
      {21, 0, 101000}, {21, 8192, 0}, {22, 15, 101000}, {22, 16, 0}, {22, 8192, 0}, {23, 127, 101000},
      {23, 128, 0}, {23, 8193, 101000},
      {24, -1, 0}, {24, 0xFFFFFF, 0}, {24, 0x1000000, 101020}, {24, -2, 101020},
      {25, 0, 0}, {25, 0xFFFFFF, 0}, {25, -1, 101030}, {25, 0x1000000, 101030},
      {26, 0, 0}, {26, 799, 0}, {26, 800, 101000}, {26, -1, 101000},
      {27, 599, 0}, {27, 600, 101000},
      {28, 0, 0}, {28, 3, 0}, {28, -5, 101220}, {28, 4, 101210}, {28, kLowWordZero, 101210},
  };
  WindowObject window;
  window.mWidth = 800;
  window.mHeight = 600;
  WindowObject* saved = g_WindowTable[0];
  g_WindowTable[0] = &window;
  for (const CheckCase& entry : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << int(entry.mKind) << " value " << entry.mValue);
    ClearReports();
    bool accepted = CheckArgumentValue(kCommandWait, 0, entry.mKind, entry.mValue);
    EXPECT_EQ(accepted, entry.mMessage == 0);
    if (entry.mMessage != 0) {
      EXPECT_TRUE(LastReportIs(entry.mMessage)) << g_LastErrorText;
      EXPECT_EQ(g_QuitFlag.load(), 1);
    }
  }
  g_WindowTable[0] = saved;
  // The messages name the command, the argument, the value and the bounds.
  ClearReports();
  InstallTaggedMessages({kMsgArgumentOutOfRange});
  CheckArgumentValue(kCommandWait, 0, 3, 2);
  EXPECT_EQ(LastReportTag(), "E101000[wait][frames][2]");
}

TEST_F(ArgumentsTest, OmittedArgumentsAreAbsentAndUnchecked) {
  SetCheck("wait", "frames", 2);
  LoadGame([](ScriptAssembler& code) {
    code.Op("wait", {{"ms", Num(0)}});
    code.Op("end");
  });
  mGame.Frame();
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(ArgSlot(0), 0);  // the end command had no arguments
}

TEST_F(ArgumentsTest, TheFirstFailingCheckStopsTheDecode) {
  SetCheck("wait", "ms", 1);
  SetCheck("wait", "frames", 3);
  LoadGame([](ScriptAssembler& code) {
    code.Op("wait", {{"ms", Num(-1)}, {"frames", Num(5)}});
    code.Op("end");
  });
  mGame.Frame();
  EXPECT_TRUE(LastReportIs(kMsgArgumentNegative)) << g_LastErrorText;
  EXPECT_EQ(g_ArgCount, 2);
  EXPECT_EQ(g_ArgInt[1], -1);
  EXPECT_NE(g_ArgInt[2], 5);  // never decoded
}

TEST_F(ArgumentsTest, ChecksApplyToNumberArgumentsOnly) {
  SetCheck("label_exists", "name", 2);
  LoadGame([](ScriptAssembler& code) {
    code.Op("wait", {{"frames", Num(-7)}});  // leaves a failing value in slot 1
    code.Op("label_exists", {{"name", Str("SYSTEM_START")}, {"out", Var(kRunInt)}, {"check", Num(1)}});
    code.Op("end");
  });
  mGame.RunUntilQuit();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunInt), 1);
}

TEST_F(ArgumentsTest, TheIdMapIsClearedForEveryId) {
  LoadGame([](ScriptAssembler& code) {
    code.Op("switches", {{"cmd121", Num(5)}});
    code.Op("wait", {{"frames", Num(1)}});
    code.Op("switches", {{"cmd2", Num(7)}});
    code.Op("wait", {{"frames", Num(1)}});
  });
  mGame.Frame();
  EXPECT_EQ(g_CommandSwitches[121], 5);
  g_CommandSwitches[121] = 1;
  mGame.Frame();
  EXPECT_EQ(g_CommandSwitches[2], 7);
  EXPECT_EQ(g_CommandSwitches[121], 1);
  EXPECT_EQ(g_QuitFlag.load(), 0);
}

TEST(ValueOpsTest, RelativeOperations) {
  const int64_t kMin = std::numeric_limits<int64_t>::min();
  EXPECT_EQ(ApplyValueOp(0, 5, 9), 9);
  EXPECT_EQ(ApplyValueOp(1, 5, 9), 14);
  EXPECT_EQ(ApplyValueOp(2, 5, 9), -4);
  EXPECT_EQ(ApplyValueOp(3, 5, 9), 45);
  EXPECT_EQ(ApplyValueOp(4, 45, 9), 5);
  EXPECT_EQ(ApplyValueOp(4, 45, 0), 45);
  EXPECT_EQ(ApplyValueOp(4, kMin, -1), kMin);
  EXPECT_EQ(ApplyValueOp(7, 5, 9), 5);
  EXPECT_EQ(ApplyValueOpClamped(1, 250, 10, 0, 256), 256);
  EXPECT_EQ(ApplyValueOpClamped(2, 5, 10, 0, 256), 0);
  EXPECT_EQ(ApplyValueOpClamped(0, 5, 300, 0, 256), 300);
  EXPECT_EQ(ApplyValueOpClamped(1, 5, -10, 0, 256), -5);  // no lower bound on add
  EXPECT_EQ(ApplyValueOpClamped(2, 300, -10, 0, 256), 310);  // no upper bound on subtract
  EXPECT_EQ(ApplyValueOpClamped(3, 100, 3, 0, 256), 256);
  EXPECT_EQ(ApplyValueOpClamped(4, 100, -3, 0, 256), 0);
  EXPECT_EQ(ApplyValueOpClamped(4, 1000, 0, 0, 256), 1000);
  EXPECT_EQ(ApplyValueOpMin(1, 5, -10, 0), -5);
  EXPECT_EQ(ApplyValueOpMin(2, 5, 10, 0), 0);
  EXPECT_EQ(ApplyValueOpMin(3, 5, -10, 1), 1);
  EXPECT_EQ(ApplyValueOpMin(3, 5, 10, 1), 50);
  EXPECT_EQ(ApplyValueOpMin(4, -50, 0, 1), -50);
}

}  // namespace
