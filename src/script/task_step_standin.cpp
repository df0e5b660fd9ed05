// Stand-ins until task stepping is built: the engine loads its script data
// and runs empty frames.
#include "core/stand_in.h"
#include "script/task_step.h"

uint8_t g_CommandSwitches[128];
uint8_t StepTasks(ObjectTreeNode*) {
  STAND_IN();
  return 0;
}
int32_t InstructionPreStep() {
  STAND_IN();
  return -1;
}
