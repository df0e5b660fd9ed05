// Stand-ins for the script engine until it is built: no trees, no tasks, no
// script data. The engine starts, runs empty frames and ends cleanly.
#include <cstdlib>

#include "script/engine_config.h"
#include "script/object_tree.h"
#include "script/runtime_tables.h"
#include "script/script_data.h"
#include "script/task_step.h"

ObjectTreeNode* g_TaskRoot = nullptr;
ObjectTreeNode* g_LayerRoot = nullptr;
int CreateObjectTrees() { return 0; }
void ReleaseObjectTrees() {}

uint8_t g_CommandSwitches[128];
uint8_t StepTasks(ObjectTreeNode*) { return 0; }
bool GetCurrentScriptLocation(std::string*, int*) { return false; }

uint8_t g_DebugMode = 0;
std::string g_WindowTitle = " ";
int LoadEngineConfig() { return 0; }
int LoadScriptData() { return 0; }

void SeedRandom(uint32_t) {}
void InitEvaluatorOperands() {}
void FillOperatorTable(int) {}
void FillAssignOperatorTable() {}
void FillCommandSwitches() {
  for (uint8_t& enabled : g_CommandSwitches) enabled = 1;
}
