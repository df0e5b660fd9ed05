// Stand-ins until the random numbers, the evaluator's operand tables, the
// assignment operators and the command switches are built.
#include "core/stand_in.h"
#include "script/runtime_tables.h"
#include "script/task_step.h"

void SeedRandom(uint32_t) { STAND_IN(); }
void InitEvaluatorOperands() { STAND_IN(); }
void FillAssignOperatorTable() { STAND_IN(); }
void FillCommandSwitches() {
  STAND_IN();
  for (uint8_t& enabled : g_CommandSwitches) enabled = 1;
}
