// The script engine's one-time tables that start-up fills.
#include "script/runtime_tables.h"

#include <cstring>

#include "script/arguments.h"
#include "script/eval.h"
#include "script/task_step.h"
#include "script/tasks.h"
#include "script/variables.h"

void InitEvaluatorOperands() {
  g_EvalIntEntry[0] = nullptr;
  g_EvalIntEntry[1] = EvalInt;
  g_EvalIntEntry[2] = EvalRealAsInt;
  g_EvalIntEntry[3] = EvalInt;
  g_EvalIntEntry[4] = EvalRealAsInt;
  for (EvalEntry& entry : g_EvalEntry) entry = {nullptr, nullptr};
  g_EvalEntry[1].mReal = EvalIntAsReal;
  g_EvalEntry[2].mReal = EvalReal;
  g_EvalEntry[3].mReal = EvalIntAsReal;
  g_EvalEntry[4].mReal = EvalReal;
  for (int entry = 6; entry <= 9; ++entry) g_EvalEntry[entry].mReal = EvalReal;
  for (int entry = 11; entry <= 13; ++entry) g_EvalEntry[entry].mString = EvalStringInt;
  g_EvalEntry[14].mString = EvalStringReal;
}

void FillCommandSwitches() { std::memset(g_CommandSwitches, 1, sizeof(g_CommandSwitches)); }

void ReleaseScriptExecution() {
  ReleaseEndedTasks();
  ReleaseEvaluator();
  InitEvaluatorOperands();
  FillAssignOperatorTable();
  ReleaseArgumentSlots();
  ReleaseVariableCommands();
  ResetTaskStepping();
}
