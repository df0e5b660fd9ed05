// Command arguments: decoding, checks and relative operations.
#include "script/arguments.h"

#include <cstdlib>
#include <cstring>

#include "core/errors.h"
#include "core/window_table.h"
#include "script/eval.h"
#include "script/eval_cache.h"
#include "script/execution_context.h"
#include "script/script_data.h"
#include "script/task_step.h"

uint8_t g_ArgSlotOfId[kArgumentIds];
int32_t g_ArgId[kArgumentSlots];
int32_t g_ArgExprType[kArgumentSlots];
int32_t g_ArgOperator[kArgumentSlots];
int32_t g_ArgExprLength[kArgumentSlots];
int32_t g_ArgExprOffset[kArgumentSlots];
int64_t g_ArgInt[kArgumentSlots];
char* g_ArgString[kArgumentSlots];
const uint8_t* g_ArgRawPointer[kArgumentSlots];
int32_t g_ArgVarId[kArgumentSlots];
int64_t g_ArgVarElement[kArgumentSlots];
uint8_t g_ArgWholeVar[kArgumentSlots];
uint8_t g_ArgCount;

namespace {

constexpr int kCheckKinds = 29;
// Bounds of check kinds 3-23 (the low word is compared).
constexpr int64_t kCheckMinimum[kCheckKinds] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 1, 0,
                                                0, 1, 128, 0, 1, 0, 1, 16, 128, 0, 0, 0, 0, 0};
constexpr int64_t kCheckMaximum[kCheckKinds] = {0,    0,    0,    1,    2,    3,    3,    4,    8,    8,
                                                15,   18,   256,  256,  512,  1024, 1024, 1024, 2048, 2048,
                                                8192, 8192, 8192, 8192, 0,    0,    0,    0,    0};

int Fetch(int command, bool callLabels) {
  std::memset(g_ArgSlotOfId, 0, sizeof(g_ArgSlotOfId));
  int count = 0;
  const ArgumentRecord* records = CurrentArgumentRecords(&count);
  const uint8_t* data = CurrentExpressionData();
  g_ArgCount = static_cast<uint8_t>(count);
  bool declared = command >= 0 && command < kCommandSlots && g_ArgValueKinds[command] != nullptr;
  uint64_t expressionSize = CurrentExpressionSize();
  for (int slot = 1; slot <= count; ++slot) {
    const ArgumentRecord& record = records[slot - 1];
    g_ArgId[slot] = record.mId;
    g_ArgExprType[slot] = record.mValueType;
    g_ArgOperator[slot] = record.mOperator;
    g_ArgExprLength[slot] = static_cast<int32_t>(record.mLength);
    g_ArgExprOffset[slot] = static_cast<int32_t>(record.mOffset);
    g_ArgSlotOfId[record.mId] = static_cast<uint8_t>(slot);
    // An id beyond the declaration (refused when the file loads) is neither
    // evaluated nor checked.
    if (!declared || record.mId >= g_ArgDeclCounts[command]) continue;
    const uint8_t* expression = data + record.mOffset;
    uint8_t kind = g_ArgValueKinds[command][record.mId];
    // A record holding a branch target instead of an expression is never
    // evaluated, whatever its declaration says.
    if (static_cast<uint64_t>(record.mOffset) + record.mLength > expressionSize ||
        (command == kCommandLoopBegin && slot == 2)) {
      kind = kArgRaw;
    }
    if (kind == kArgNumber) {
      g_ArgInt[slot] = EvalScriptByIntEntry(record.mValueType, expression, record.mLength);
    } else if (kind == kArgString) {
      if (g_ArgString[slot] == nullptr) {
        g_ArgString[slot] = static_cast<char*>(std::malloc(kEvalStringBytes));
        if (g_ArgString[slot] == nullptr) {
          ReportError(kMsgOutOfMemory);
          return -1;
        }
      }
      if (callLabels) {
        EvalStringInt(g_ArgString[slot], expression, record.mLength);
      } else {
        EvalByStringEntry(record.mValueType + 10u, g_ArgString[slot], expression, record.mLength);
      }
    } else {
      if (kind == kArgRaw) g_ArgRawPointer[slot] = expression;
      continue;
    }
    g_ArgVarId[slot] = static_cast<int32_t>(g_LastVarRef.mNumber);
    g_ArgVarElement[slot] = g_LastVarRef.mElement;
    g_ArgWholeVar[slot] = g_LastVarRef.mWholeVar;
    // Checks apply to number arguments only.
    if (kind == kArgNumber &&
        !CheckArgumentValue(command, record.mId, g_ArgCheckKinds[command][record.mId], g_ArgInt[slot])) {
      return -1;
    }
  }
  return 0;
}

}  // namespace

const char* CommandName(int command) {
  const char* name = command >= 0 && command < kCommandSlots ? g_CommandNames[command] : nullptr;
  return name != nullptr ? name : "";
}

const char* ArgumentName(int command, int id) {
  if (command < 0 || command >= kCommandSlots || id >= g_ArgDeclCounts[command] || g_ArgNames[command] == nullptr) {
    return "";
  }
  const char* name = g_ArgNames[command][id];
  return name != nullptr ? name : "";
}

uint64_t CurrentExpressionSize() {
  const ExecutionContext* context = g_CurrentContext;
  if (context == nullptr || g_ScriptFileTable == nullptr || context->mScriptNumber >= g_ScriptCount) return 0;
  const ScriptFileRecord* record = g_ScriptFileTable[context->mScriptNumber];
  return record != nullptr && record->mExpressionData == context->mExpressionData ? record->mExpressionSize : 0;
}


int FetchCommandArguments(int command) { return Fetch(command, false); }
int FetchCallArguments(int command) { return Fetch(command, true); }

bool CheckArgumentValue(int command, int id, uint8_t checkKind, int64_t value) {
  auto low = static_cast<uint32_t>(value);
  const char* commandName = CommandName(command);
  const char* argumentName = ArgumentName(command, id);
  switch (checkKind) {
    case 0:
      return true;
    case 1:
    case 2:
      if (value >= (checkKind == 1 ? 0 : 1)) return true;
      ReportErrorAtScriptFmt(kMsgArgumentNegative, commandName, argumentName, value, static_cast<int64_t>(checkKind - 1));
      return false;
    case 24:
      if (low + 1u <= 0x1000000u) return true;
      ReportErrorAtScriptFmt(kMsgArgumentNotColourOrMinusOne, commandName, argumentName, value);
      return false;
    case 25:
      if (low <= 0xFFFFFFu) return true;
      ReportErrorAtScriptFmt(kMsgArgumentNotColour, commandName, argumentName, value);
      return false;
    case 26:
    case 27: {
      const WindowObject* window = g_WindowTable[0];
      int32_t size = window == nullptr ? 0 : (checkKind == 26 ? window->mWidth : window->mHeight);
      if (size > 0 && low < static_cast<uint32_t>(size)) return true;
      ReportErrorAtScriptFmt(kMsgArgumentOutOfRange, commandName, argumentName, value, static_cast<int64_t>(0),
                             static_cast<int64_t>(size) - 1);
      return false;
    }
    case 28:
      if (static_cast<int32_t>(static_cast<uint64_t>(value) >> 32) < 0) {
        ReportErrorAtScriptFmt(kMsgArgumentBelowZero, commandName, argumentName, value);
        return false;
      }
      if (value > 3) {
        ReportErrorAtScriptFmt(kMsgArgumentAboveLimit, commandName, argumentName, value, static_cast<int64_t>(3));
        return false;
      }
      return true;
    default:
      break;
  }
  if (checkKind >= kCheckKinds) return true;
  int64_t minimum = kCheckMinimum[checkKind];
  int64_t maximum = kCheckMaximum[checkKind];
  if (low - static_cast<uint32_t>(minimum) <= static_cast<uint32_t>(maximum - minimum)) return true;
  ReportErrorAtScriptFmt(kMsgArgumentOutOfRange, commandName, argumentName, value, minimum, maximum);
  return false;
}

namespace {
inline int64_t Wrap(uint64_t value) { return static_cast<int64_t>(value); }
int64_t Quotient(int64_t value, int64_t operand) {
  if (operand == -1) return Wrap(0 - static_cast<uint64_t>(value));
  return value / operand;
}
}  // namespace

int64_t ApplyValueOp(int op, int64_t value, int64_t operand) {
  auto a = static_cast<uint64_t>(value);
  auto b = static_cast<uint64_t>(operand);
  switch (op) {
    case 0:
      return operand;
    case 1:
      return Wrap(a + b);
    case 2:
      return Wrap(a - b);
    case 3:
      return Wrap(a * b);
    case 4:
      return operand == 0 ? value : Quotient(value, operand);
    default:
      return value;
  }
}

int64_t ApplyValueOpClamped(int op, int64_t value, int64_t operand, int64_t minimum, int64_t maximum) {
  if (op == 0) return operand;
  if (op == 4 && operand == 0) return value;
  if (op < 1 || op > 4) return value;
  int64_t result = ApplyValueOp(op, value, operand);
  if (op != 2 && result > maximum) result = maximum;
  if (op != 1 && result < minimum) result = minimum;
  return result;
}

int64_t ApplyValueOpMin(int op, int64_t value, int64_t operand, int64_t minimum) {
  if (op == 0) return operand;
  if (op == 4 && operand == 0) return value;
  if (op < 1 || op > 4) return value;
  int64_t result = ApplyValueOp(op, value, operand);
  if (op != 1 && result < minimum) result = minimum;
  return result;
}

void ReleaseArgumentSlots() {
  for (char*& buffer : g_ArgString) {
    std::free(buffer);
    buffer = nullptr;
  }
  std::memset(g_ArgSlotOfId, 0, sizeof(g_ArgSlotOfId));
  g_ArgCount = 0;
}
