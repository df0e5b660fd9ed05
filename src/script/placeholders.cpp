// Stand-ins for the parts of the script engine that are not built yet: task
// stepping, the command handlers, the expression evaluator and the variable
// store. The engine loads its script data, runs empty frames and ends
// cleanly.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "script/eval.h"
#include "script/execution_context.h"
#include "script/object_tree.h"
#include "script/runtime_tables.h"
#include "script/script_data.h"
#include "script/task_step.h"
#include "script/variables.h"
#include "shell/errors.h"

uint8_t g_CommandSwitches[128];
uint8_t StepTasks(ObjectTreeNode*) { return 0; }
int32_t InstructionPreStep() { return -1; }

void SeedRandom(uint32_t) {}
void InitEvaluatorOperands() {}
void FillAssignOperatorTable() {}
void FillCommandSwitches() {
  for (uint8_t& enabled : g_CommandSwitches) enabled = 1;
}

namespace {

uint8_t g_variablesAllowed = 1;

int32_t CmdUndefined() {
  ReportErrorAtScript(900050, 1);
  return -1;
}

}  // namespace

void FillOperatorTable(int mode) { g_variablesAllowed = mode != 0 ? 1 : 0; }

void InstallCommandHandlers() {
  for (CommandHandler& handler : g_CommandTable) handler = CmdUndefined;
}

// The evaluator stand-in knows string literals ("M") and their concatenation
// ("+"); a variable read while variables are forbidden sets
// g_LabelEvalFailed. Anything else ends the evaluation with no text.
uint8_t g_LabelEvalFailed = 0;

size_t EvalStringInt(char* buffer, const uint8_t* expression, size_t length) {
  std::vector<std::string> stack;
  size_t position = 0;
  buffer[0] = '\0';
  while (position + 3 <= length) {
    uint8_t opcode = expression[position];
    size_t payloadLength = expression[position + 1] | expression[position + 2] << 8;
    if (payloadLength > length - position - 3) return 0;
    const uint8_t* payload = expression + position + 3;
    position += 3 + payloadLength;
    if (opcode == 'M' && payloadLength >= 1) {
      std::string text;
      uint8_t delimiter = payload[0];
      for (size_t index = 1; index < payloadLength && payload[index] != delimiter; ++index) {
        uint8_t c = payload[index];
        if (c == '\\' && index + 1 < payloadLength && payload[index + 1] != delimiter) {
          uint8_t escaped = payload[++index];
          text.push_back(escaped == 'n' ? '\n' : escaped == 't' ? '\t' : static_cast<char>(escaped));
        } else {
          text.push_back(static_cast<char>(c));
        }
      }
      stack.push_back(text.substr(0, kEvalStringBytes - 1));
    } else if (opcode == '+' && stack.size() >= 2) {
      std::string right = stack.back();
      stack.pop_back();
      if (stack.back().size() + right.size() < kEvalStringBytes) stack.back() += right;
    } else if (opcode == 'H' || opcode == 'V' || opcode == 'v') {
      if (g_variablesAllowed == 0) g_LabelEvalFailed = 1;
      return 0;
    } else {
      return 0;
    }
  }
  if (stack.empty()) return 0;
  std::memcpy(buffer, stack.front().c_str(), stack.front().size() + 1);
  return stack.front().size();
}

// The variable store stand-in builds the element storage of a record.
namespace {

// The element count of the record's dimensions; -1 after a report.
int64_t ComputeElementCount(const VariableRecord* record) {
  int64_t count = 1;
  for (int dim = 0; dim < record->mDimCount && dim < kMaxDimensions; ++dim) {
    count *= record->mDims[dim];
    if (count > kMaxElementCount || count <= 0) break;
  }
  if (count > kMaxElementCount) {
    ReportErrorAtScriptFmt(101100, 1, static_cast<int64_t>(kMaxElementCount));
    return -1;
  }
  if (count <= 0) {
    ReportErrorAtScript(101110, 1);
    return -1;
  }
  return count;
}

// Frees the old storage (sized by the old count) and takes the new count.
VariableRecord* PrepareRecord(uint32_t n) {
  VariableRecord* record = n < g_VariableCount ? g_VariableTable[n] : nullptr;
  if (record == nullptr) return nullptr;
  int64_t count = ComputeElementCount(record);
  if (count < 0) return nullptr;
  FreeVariableStorage(record);
  record->mCount = count;
  return record;
}

}  // namespace


void FreeVariableStorage(VariableRecord* record) {
  if (record == nullptr) return;
  std::free(record->mInts);
  std::free(record->mReals);
  if (record->mStrings != nullptr) {
    for (int64_t index = 0; index < record->mCount; ++index) std::free(record->mStrings[index]);
  }
  std::free(record->mStrings);
  std::free(record->mCapacities);
  record->mInts = nullptr;
  record->mReals = nullptr;
  record->mStrings = nullptr;
  record->mCapacities = nullptr;
}

int MakeIntArray(uint32_t n, int64_t value) {
  VariableRecord* record = PrepareRecord(n);
  if (record == nullptr) return -1;
  record->mVarType = kVarInt;
  record->mInts = static_cast<int64_t*>(std::malloc(record->mCount * sizeof(int64_t)));
  if (record->mInts == nullptr) {
    ReportError(100010, 1);
    return -1;
  }
  for (int64_t index = 0; index < record->mCount; ++index) record->mInts[index] = value;
  return 0;
}

int MakeRealArray(uint32_t n, double value) {
  VariableRecord* record = PrepareRecord(n);
  if (record == nullptr) return -1;
  record->mVarType = kVarReal;
  record->mReals = static_cast<double*>(std::malloc(record->mCount * sizeof(double)));
  if (record->mReals == nullptr) {
    ReportError(100010, 1);
    return -1;
  }
  for (int64_t index = 0; index < record->mCount; ++index) record->mReals[index] = value;
  return 0;
}

int MakeStringArray(uint32_t n, const char* text, size_t length) {
  VariableRecord* record = PrepareRecord(n);
  if (record == nullptr) return -1;
  record->mVarType = kVarString;
  record->mStrings = static_cast<char**>(std::calloc(record->mCount, sizeof(char*)));
  record->mCapacities = static_cast<uint16_t*>(std::calloc(record->mCount, sizeof(uint16_t)));
  if (record->mStrings == nullptr || record->mCapacities == nullptr) {
    ReportError(100010, 1);
    return -1;
  }
  for (int64_t index = 0; index < record->mCount; ++index) {
    record->mStrings[index] = static_cast<char*>(std::malloc(length + 1));
    if (record->mStrings[index] == nullptr) {
      ReportError(100010, 1);
      return -1;
    }
    std::memcpy(record->mStrings[index], text, length);
    record->mStrings[index][length] = '\0';
    record->mCapacities[index] = static_cast<uint16_t>(length + 1);
  }
  return 0;
}

ExecutionContext* CreateExecutionContext(ObjectTreeNode* node) {
  if (node == nullptr) return nullptr;
  auto* context = static_cast<ExecutionContext*>(std::calloc(1, sizeof(ExecutionContext)));
  if (context == nullptr) {
    ReportError(100010, 1);
    return nullptr;
  }
  context->mEnable1 = 1;
  context->mEnable2 = 1;
  node->mPayload = context;
  return context;
}

void ReleaseExecutionContext(ExecutionContext* context) { std::free(context); }
