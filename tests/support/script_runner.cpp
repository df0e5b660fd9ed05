#include "support/script_runner.h"

#include <iterator>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "layer/layer_record.h"
#include "script/eval.h"
#include "script/runtime_tables.h"
#include "script/script_data.h"
#include "script/system_variables.h"
#include "script/task_step.h"
#include "script/variables.h"
#include "support/command_table.h"

LayerRecord* FindScriptLayer(const char* path) {
  char normalised[kObjectPathBytes];
  if (NormalizeObjectPath(normalised, path, g_LayerPathBase, 0) < 0) return nullptr;
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, normalised, kPathLeaf);
  return node != nullptr ? static_cast<LayerRecord*>(node->mPayload) : nullptr;
}

const std::vector<MessageId>& RunnerMessageIds() {
  // Every named id: whatever script execution reports shows as its tag.
  static const std::vector<MessageId> ids(std::begin(kAllMessageIds), std::end(kAllMessageIds));
  return ids;
}

namespace {

VariableDefinition Define(uint16_t variable, uint8_t type, std::vector<uint32_t> dims = {}) {
  VariableDefinition definition;
  definition.mScope = 1;
  definition.mVariable = variable;
  definition.mType = type;
  definition.mDims = std::move(dims);
  if (type == 3) definition.mStringExpression = Str("").mBytes;
  return definition;
}

}  // namespace

ScriptRunner::ScriptRunner() {
  mData.mMessages = TaggedMessages(RunnerMessageIds());
  mData.mCommands = StandardCommandTable();
  mData.mVariableCount = 1999;
  // The system variables script execution reads: the indirect ones, the call
  // frame's arguments and results and the task locals (1-based elements).
  const std::vector<uint32_t> values{17};
  mData.mDefinitions = {
      Define(kSysLoopCounter, 1),       Define(kSysIndirectInt, 1),          Define(kSysIndirectReal, 2),
      Define(kSysIndirectString, 3),    Define(kSysCallInt, 1, values),      Define(kSysCallReal, 2, values),
      Define(kSysCallString, 3, values), Define(kSysCallPresent, 1, values), Define(kSysCallIntPresent, 1, values),
      Define(kSysCallRealPresent, 1, values), Define(kSysCallStringPresent, 1, values),
      Define(kSysResultInt, 1, values), Define(kSysResultReal, 2, values),  Define(kSysResultString, 3, values),
      Define(kSysResultPresent, 1, values), Define(kSysTaskInt, 1, values), Define(kSysTaskReal, 2, values),
      Define(kSysTaskString, 3, values), Define(kSysIndirectType, 1),
      Define(kRunInt, 1),               Define(kRunInt2, 1),                 Define(kRunIntArray, 1, {3, 4}),
      Define(kRunReal, 2),              Define(kRunRealArray, 2, {3}),       Define(kRunText, 3),
      Define(kRunTextArray, 3, {3}),    Define(kRunIntList, 1, {3}),
  };
}

ScriptAssembler ScriptRunner::Script(uint16_t number) const { return ScriptAssembler(StandardCommandTable(), number); }

void ScriptRunner::Add(const ScriptAssembler& code, const std::string& name) {
  AddScript(mData, code, name.empty() ? "script" + std::to_string(code.ScriptNumber()) + ".txt" : name);
}

bool ScriptRunner::Load() {
  mEnv.Write(BuildScriptDataFiles(mData));
  // The run-time table start-up fills before the script data loads.
  FillCommandSwitches();
  return CreateObjectTrees() == 0 && LoadScriptData() == 0;
}

bool ScriptRunner::Frame() {
  do {
    g_RerunRequest = 0;
    g_StepCounter += 1;
    StepTasks(g_TaskRoot);
    if (g_QuitFlag.load() != 0) return false;
  } while (g_RerunRequest != 0);
  return true;
}

int ScriptRunner::RunUntilQuit(int limit) {
  int frames = 0;
  while (frames < limit) {
    ++frames;
    if (!Frame()) break;
  }
  return frames;
}

std::string LastReportTag() {
  size_t start = g_LastErrorText.rfind('E');
  while (start != std::string::npos) {
    size_t bracket = g_LastErrorText.find('[', start);
    if (bracket != std::string::npos && bracket > start + 1 &&
        g_LastErrorText.find_first_not_of("0123456789", start + 1) == bracket) {
      return g_LastErrorText.substr(start);
    }
    if (start == 0) break;
    start = g_LastErrorText.rfind('E', start - 1);
  }
  return "";
}

bool LastReportIs(int32_t id) { return LastReportTag().rfind("E" + std::to_string(id) + "[", 0) == 0; }
bool LastReportIs(MessageId id) { return LastReportIs(id.mNumber); }

int64_t IntVar(uint32_t n, int64_t e) { return GetIntElement(n, e); }
double RealVar(uint32_t n, int64_t e) { return GetRealElement(n, e); }
std::string TextVar(uint32_t n, int64_t e) {
  const char* text = GetStringElement(n, e);
  return text != nullptr ? text : "<null>";
}

int64_t EvalIntExpr(const Expr& expr) { return EvalInt(expr.mBytes.data(), static_cast<uint32_t>(expr.mBytes.size())); }
double EvalRealExpr(const Expr& expr) { return EvalReal(expr.mBytes.data(), static_cast<uint32_t>(expr.mBytes.size())); }
std::string EvalTextExpr(const Expr& expr, bool realArithmetic) {
  char buffer[kEvalStringBytes];
  size_t length = realArithmetic ? EvalStringReal(buffer, expr.mBytes.data(), expr.mBytes.size())
                                 : EvalStringInt(buffer, expr.mBytes.data(), expr.mBytes.size());
  return std::string(buffer, length);
}
