// Connects the error reports of core/ to the script engine and the shell:
// the location of the task being stepped, the editor button of debug mode
// and the cursor shown before the error dialog.
#include "core/errors.h"
#include "script/engine_config.h"
#include "script/task_step.h"
#include "shell/input.h"

namespace {

bool EditorButtonAllowed() { return g_DebugMode == 1; }

const bool kReportHooksSet = [] {
  g_ScriptLocationSource = GetCurrentScriptLocation;
  g_EditorButtonAllowed = EditorButtonAllowed;
  g_BeforeErrorDialog = RequestCursorShow;
  return true;
}();

}  // namespace
