// Stand-in until the system variables are built: the call-frame arguments
// and results, the task locals, the innermost loop counter and the
// indirect-access variables are real; every other number reads 0 (or the
// empty text) and notes itself once in the debug log, and a write to one of
// the later writable numbers does nothing.
#include <cstring>

#include "core/errors.h"
#include "core/sjis.h"
#include "core/stand_in.h"
#include "script/eval.h"
#include "script/execution_context.h"
#include "script/system_variables.h"
#include "script/task_step.h"
#include "script/variables.h"

namespace {

// The current level's frame: call entry (call depth + 1) of the running task.
CallFrame* LevelFrame() {
  ExecutionContext* context = g_CurrentContext;
  if (context == nullptr || context->mCallDepth < 0) return nullptr;
  return context->mCallFrames[context->mCallDepth + 1];
}

// A 1-based value index below or at the count; 0 when invalid.
int ValueIndex(int64_t e, uint8_t count) {
  auto k = static_cast<uint32_t>(e);
  return k >= 1 && k <= count && k <= static_cast<uint32_t>(kCallValues) ? static_cast<int>(k) : 0;
}

int64_t Presence(uint8_t count, const uint8_t* present, int64_t e) {
  auto k = static_cast<uint32_t>(e);
  if (k == 0) return count > 0 ? 1 : 0;
  int index = ValueIndex(e, count);
  return index != 0 ? present[index - 1] : 0;
}

// The variable and element of a reference; null below 1000 or without a
// record.
VariableRecord* Referenced(int64_t e, uint32_t* number, int64_t* element) {
  *number = static_cast<uint32_t>(static_cast<uint64_t>(e) >> 32);
  *element = static_cast<uint32_t>(e);
  if (*number < kFirstUserVariable) return nullptr;
  return FindVariableRecord(*number);
}

void SetLastReference(uint32_t number, int64_t element) {
  g_LastVarRef.mNumber = number;
  g_LastVarRef.mElement = element;
}

int WrongIndirectType() {
  ReportErrorAtScript(kMsgIndirectTypeMismatch);
  return -1;
}

int NotWritable() {
  ReportErrorAtScript(kMsgSystemVariableReadOnly);
  return -1;
}

bool IsLaterWritableInt(uint32_t n) {
  return n == 15 || (n >= 117 && n <= 120) || n == 132 || (n >= 144 && n <= 280) || (n >= 281 && n <= 414);
}

int TaskLocal(int64_t e) {
  auto k = static_cast<uint32_t>(e);
  return k >= 1 && k <= static_cast<uint32_t>(kTaskLocals) ? static_cast<int>(k) : 0;
}

}  // namespace

int64_t ReadSystemInt(uint32_t n, int64_t e) {
  const CallFrame* frame = LevelFrame();
  ExecutionContext* context = g_CurrentContext;
  switch (n) {
    case kSysLoopCounter: {
      if (context == nullptr || context->mLoopDepth <= 0) return 0;
      const LoopFrame* loop = context->mLoopFrames[context->mLoopDepth];
      return loop != nullptr ? loop->mCounter : 0;
    }
    case kSysIndirectInt: {
      uint32_t number = 0;
      int64_t element = 0;
      const VariableRecord* record = Referenced(e, &number, &element);
      if (record == nullptr) return 0;
      SetLastReference(number, element);
      if (record->mVarType == kVarInt) return GetIntElement(number, element);
      if (record->mVarType == kVarReal) return TruncateRealToInt(GetRealElement(number, element));
      return 0;
    }
    case kSysCallInt: {
      int k = frame != nullptr ? ValueIndex(e, frame->mIntArgCount) : 0;
      return k != 0 ? frame->mIntArgs[k - 1] : 0;
    }
    case kSysCallPresent:
      if (frame == nullptr) return 0;
      return Presence(frame->mIntArgCount, frame->mIntArgPresent, e) | Presence(frame->mRealArgCount, frame->mRealArgPresent, e) |
             Presence(frame->mStringArgCount, frame->mStringArgPresent, e);
    case kSysCallIntPresent:
      return frame != nullptr ? Presence(frame->mIntArgCount, frame->mIntArgPresent, e) : 0;
    case kSysCallRealPresent:
      return frame != nullptr ? Presence(frame->mRealArgCount, frame->mRealArgPresent, e) : 0;
    case kSysCallStringPresent:
      return frame != nullptr ? Presence(frame->mStringArgCount, frame->mStringArgPresent, e) : 0;
    case kSysResultInt: {
      int k = frame != nullptr ? ValueIndex(e, frame->mIntResultCount) : 0;
      return k != 0 ? frame->mIntResults[k - 1] : 0;
    }
    case kSysResultPresent:
      if (frame == nullptr) return 0;
      return Presence(frame->mIntResultCount, frame->mIntResultPresent, e) |
             Presence(frame->mRealResultCount, frame->mRealResultPresent, e) |
             Presence(frame->mStringResultCount, frame->mStringResultPresent, e);
    case kSysResultIntPresent:
      return frame != nullptr ? Presence(frame->mIntResultCount, frame->mIntResultPresent, e) : 0;
    case kSysResultRealPresent:
      return frame != nullptr ? Presence(frame->mRealResultCount, frame->mRealResultPresent, e) : 0;
    case kSysResultStringPresent:
      return frame != nullptr ? Presence(frame->mStringResultCount, frame->mStringResultPresent, e) : 0;
    case kSysTaskInt:
      return context != nullptr && TaskLocal(e) != 0 ? context->mIntLocals[TaskLocal(e)] : 0;
    case kSysIndirectType: {
      uint32_t number = 0;
      int64_t element = 0;
      const VariableRecord* record = Referenced(e, &number, &element);
      if (record == nullptr || record->mVarType < kVarInt || record->mVarType > kVarString) return 0;
      return record->mVarType;
    }
    default:
      STAND_IN();
      return 0;
  }
}

double ReadSystemReal(uint32_t n, int64_t e) {
  const CallFrame* frame = LevelFrame();
  switch (n) {
    case kSysIndirectReal: {
      uint32_t number = 0;
      int64_t element = 0;
      const VariableRecord* record = Referenced(e, &number, &element);
      if (record == nullptr) return 0.0;
      SetLastReference(number, element);
      if (record->mVarType == kVarInt) return static_cast<double>(GetIntElement(number, element));
      if (record->mVarType == kVarReal) return GetRealElement(number, element);
      return 0.0;
    }
    case kSysCallReal: {
      int k = frame != nullptr ? ValueIndex(e, frame->mRealArgCount) : 0;
      return k != 0 ? frame->mRealArgs[k - 1] : 0.0;
    }
    case kSysResultReal: {
      int k = frame != nullptr ? ValueIndex(e, frame->mRealResultCount) : 0;
      return k != 0 ? frame->mRealResults[k - 1] : 0.0;
    }
    case kSysTaskReal:
      return g_CurrentContext != nullptr && TaskLocal(e) != 0 ? g_CurrentContext->mRealLocals[TaskLocal(e)] : 0.0;
    default:
      STAND_IN();
      return 0.0;
  }
}

void ReadSystemString(uint32_t n, char* buffer, int64_t e) {
  buffer[0] = '\0';
  const CallFrame* frame = LevelFrame();
  const char* text = nullptr;
  switch (n) {
    case kSysIndirectString: {
      uint32_t number = 0;
      int64_t element = 0;
      const VariableRecord* record = Referenced(e, &number, &element);
      if (record == nullptr || record->mVarType != kVarString) return;
      SetLastReference(number, element);
      text = GetStringElement(number, element);
      break;
    }
    case kSysCallString: {
      int k = frame != nullptr ? ValueIndex(e, frame->mStringArgCount) : 0;
      text = k != 0 ? frame->mStringArgs[k - 1] : nullptr;
      break;
    }
    case kSysResultString: {
      int k = frame != nullptr ? ValueIndex(e, frame->mStringResultCount) : 0;
      text = k != 0 ? frame->mStringResults[k - 1] : nullptr;
      break;
    }
    case kSysTaskString:
      text = g_CurrentContext != nullptr && TaskLocal(e) != 0 ? g_CurrentContext->mStringLocals[TaskLocal(e)] : nullptr;
      break;
    default:
      STAND_IN();
      return;
  }
  if (text != nullptr) CopySjisBounded(buffer, kEvalStringBytes, text);
}

int WriteSystemInt(uint32_t n, int64_t e, uint8_t op, int64_t value) {
  if (n == kSysIndirectInt) {
    uint32_t number = 0;
    int64_t element = 0;
    const VariableRecord* record = Referenced(e, &number, &element);
    if (record == nullptr || record->mVarType != kVarInt) return WrongIndirectType();
    if (op >= kAssignOperators) {
      ReportErrorAtScript(kMsgElementTypeMismatch);
      return -1;
    }
    g_AssignOperatorTable[op].mInt(number, element, value);
    return 0;
  }
  if (n == kSysCallInt) {
    CallFrame* frame = LevelFrame();
    int k = frame != nullptr ? ValueIndex(e, frame->mIntArgCount) : 0;
    if (k != 0) frame->mIntArgs[k - 1] = ApplyIntAssign(op, frame->mIntArgs[k - 1], value);
    return 0;
  }
  if (IsLaterWritableInt(n)) {
    STAND_IN();
    return 0;
  }
  return NotWritable();
}

int WriteSystemReal(uint32_t n, int64_t e, uint8_t op, double value) {
  if (n == kSysIndirectReal) {
    uint32_t number = 0;
    int64_t element = 0;
    const VariableRecord* record = Referenced(e, &number, &element);
    if (record == nullptr || record->mVarType != kVarReal) return WrongIndirectType();
    SetRealElement(number, element, value);
    return 0;
  }
  if (n == kSysCallReal) {
    CallFrame* frame = LevelFrame();
    int k = frame != nullptr ? ValueIndex(e, frame->mRealArgCount) : 0;
    double result = 0;
    if (k != 0 && op <= 4 && ApplyRealAssign(op, frame->mRealArgs[k - 1], value, &result)) frame->mRealArgs[k - 1] = result;
  }
  return 0;
}

int WriteSystemString(uint32_t n, int64_t e, const char* text, size_t length) {
  if (n == kSysIndirectString) {
    uint32_t number = 0;
    int64_t element = 0;
    const VariableRecord* record = Referenced(e, &number, &element);
    if (record == nullptr || record->mVarType != kVarString) return WrongIndirectType();
    SetStringElementBytes(number, element, text, length);
    return 0;
  }
  if (n == 122 || n == 123 || n == 128 || n == 131) {
    STAND_IN();
    return 0;
  }
  return NotWritable();
}
