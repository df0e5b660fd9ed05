#include "script/task_step.h"

#include "script/execution_context.h"
#include "script/script_data.h"

ExecutionContext* g_CurrentContext = nullptr;
ObjectTreeNode* g_CurrentTaskNode = nullptr;
int32_t g_CurrentInstruction = -1;

bool GetCurrentScriptLocation(std::string* scriptName, int* line) {
  const ExecutionContext* context = g_CurrentContext;
  if (context == nullptr || g_ScriptNames == nullptr || g_ScriptFileTable == nullptr) return false;
  uint16_t script = context->mScriptNumber;
  if (script >= g_ScriptCount || g_ScriptNames[script] == nullptr) return false;
  const ScriptFileRecord* record = g_ScriptFileTable[script];
  if (record == nullptr || g_CurrentInstruction < 0 || g_CurrentInstruction >= record->mInstructionCount) {
    return false;
  }
  *scriptName = g_ScriptNames[script];
  *line = record->mLines[g_CurrentInstruction];
  return true;
}
