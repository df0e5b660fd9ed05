#include "script/script_reset.h"

#include <algorithm>
#include <iterator>

#include "core/object_tree.h"
#include "script/engine_config.h"
#include "script/eval.h"
#include "script/eval_cache.h"
#include "script/runtime_tables.h"
#include "script/script_data.h"
#include "script/task_step.h"

void ResetScriptState() {
  g_CurrentContext = nullptr;
  g_CurrentTaskNode = nullptr;
  g_CurrentInstruction = -1;
  ReleaseScriptExecution();
  ReleaseScriptData();
  DropEvalCache();
  ReleaseObjectTrees();
  ResetEngineConfig();
  FillOperatorTable(1);
  g_LabelEvalFailed = 0;
  std::fill(std::begin(g_CommandSwitches), std::end(g_CommandSwitches), uint8_t{0});
  std::fill(std::begin(g_ScriptSectionKey), std::end(g_ScriptSectionKey), uint8_t{0});
}
