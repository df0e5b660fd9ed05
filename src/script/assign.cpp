// The declaration commands, the assignment command and its table of
// compound operators.
#include <cstdlib>
#include <cstring>
#include <utility>

#include "core/errors.h"
#include "script/arguments.h"
#include "script/eval.h"
#include "script/eval_cache.h"
#include "script/script_data.h"
#include "script/system_variables.h"
#include "script/variables.h"

AssignOperatorEntry g_AssignOperatorTable[2 * kAssignOperators];

namespace {

char* g_declareBuffer = nullptr;
char* g_assignBuffer = nullptr;
char* g_appendBuffer = nullptr;

char* WorkBuffer(char*& buffer) {
  if (buffer == nullptr) {
    buffer = static_cast<char*>(std::malloc(kEvalStringBytes));
    if (buffer == nullptr) ReportError(kMsgOutOfMemory);
  }
  return buffer;
}

int WrongType() {
  ReportErrorAtScript(kMsgElementTypeMismatch);
  return -1;
}

// The instruction's first two argument records; null (reported) when it has
// fewer.
inline const ArgumentRecord* TwoRecords(const uint8_t** data) {
  int count = 0;
  const ArgumentRecord* records = CurrentArgumentRecords(&count);
  *data = CurrentExpressionData();
  if (records == nullptr || *data == nullptr || count < 2) {
    ReportErrorAtScript(kMsgMalformedScriptState);
    return nullptr;
  }
  return records;
}

inline const uint8_t* Expression(const uint8_t* data, const ArgumentRecord& record) { return data + record.mOffset; }

// Evaluates the declaration's variable expression with its dimension sizes.
uint32_t DeclaredVariable(const uint8_t* data, const ArgumentRecord& record, int* dimCount, int32_t* dims) {
  g_DeclareMode = 1;
  EvalInt(Expression(data, record), record.mLength);
  g_DeclareMode = 0;
  *dimCount = g_SubscriptCount;
  for (int dim = 0; dim < kMaxDimensions; ++dim) {
    dims[dim] = dim < *dimCount ? static_cast<int32_t>(static_cast<uint32_t>(g_SubscriptValues[dim])) : 0;
  }
  return g_LastVarRef.mNumber;
}

int Declare(int command, uint8_t type) {
  if (FetchCommandArguments(command) != 0) return -1;
  const uint8_t* data = nullptr;
  const ArgumentRecord* records = TwoRecords(&data);
  if (records == nullptr) return -1;
  int dimCount = 0;
  int32_t dims[kMaxDimensions];
  uint32_t n = DeclaredVariable(data, records[0], &dimCount, dims);
  const ArgumentRecord& value = records[1];
  int result = 0;
  if (type == kVarInt) {
    result = MakeIntArrayDims(n, dimCount, dims, EvalByIntEntry(value.mValueType, Expression(data, value), value.mLength));
  } else if (type == kVarReal) {
    result = MakeRealArrayDims(n, dimCount, dims, EvalByRealEntry(value.mValueType, Expression(data, value), value.mLength));
  } else {
    char* buffer = WorkBuffer(g_declareBuffer);
    if (buffer == nullptr) return -1;
    size_t length = EvalStringInt(buffer, Expression(data, value), value.mLength);
    result = MakeStringArrayDims(n, dimCount, dims, buffer, length);
  }
  return result != 0 ? -1 : 0;
}

// A whole user variable takes the value in every element.
int AssignWhole(uint32_t n, const uint8_t* data, const ArgumentRecord& value) {
  VariableRecord* record = FindVariableRecord(n);
  int32_t dims[kMaxDimensions];
  for (int dim = 0; dim < kMaxDimensions; ++dim) dims[dim] = record->mDims[dim];
  int result = 0;
  switch (record->mVarType) {
    case kVarInt:
      result = MakeIntArrayDims(n, record->mDimCount, dims,
                                EvalByIntEntry(value.mValueType, Expression(data, value), value.mLength));
      break;
    case kVarReal:
      result = MakeRealArrayDims(n, record->mDimCount, dims,
                                 EvalByRealEntry(value.mValueType, Expression(data, value), value.mLength));
      break;
    case kVarString: {
      char* buffer = WorkBuffer(g_assignBuffer);
      if (buffer == nullptr) return -1;
      size_t length = EvalByStringEntry(value.mValueType + 10u, buffer, Expression(data, value), value.mLength);
      result = MakeStringArrayDims(n, record->mDimCount, dims, buffer, length);
      break;
    }
    default:
      return WrongType();
  }
  return result != 0 ? -1 : 0;
}

int AssignStringElement(uint32_t n, int64_t i, uint8_t op, const uint8_t* data, const ArgumentRecord& value) {
  if (op == 0) {
    char* buffer = WorkBuffer(g_assignBuffer);
    if (buffer == nullptr) return -1;
    size_t length = EvalByStringEntry(value.mValueType + 10u, buffer, Expression(data, value), value.mLength);
    SetStringElementBytes(n, i, buffer, length);
    return 0;
  }
  if (op != 1) return WrongType();
  const char* current = GetStringElement(n, i);
  if (current == nullptr) return 0;
  size_t currentLength = std::strlen(current);
  if (currentLength + value.mLength >= kEvalStringBytes) return 0;
  char* joined = WorkBuffer(g_assignBuffer);
  char* appended = WorkBuffer(g_appendBuffer);
  if (joined == nullptr || appended == nullptr) return -1;
  size_t length = EvalByStringEntry(value.mValueType + 10u, appended, Expression(data, value), value.mLength);
  if (currentLength + length >= kEvalStringBytes) return 0;
  std::memcpy(joined, current, currentLength);
  std::memcpy(joined + currentLength, appended, length);
  SetStringElementBytes(n, i, joined, currentLength + length);
  return 0;
}

int AssignSystemVariable(uint32_t n, int64_t i, uint8_t op, const uint8_t* data, const ArgumentRecord& value) {
  const VariableRecord* record = FindVariableRecord(n);
  uint8_t type = record != nullptr ? record->mVarType : 0;
  switch (type) {
    case kVarInt:
      return WriteSystemInt(n, i, op, EvalByIntEntry(value.mValueType, Expression(data, value), value.mLength));
    case kVarReal:
      return WriteSystemReal(n, i, op, EvalByRealEntry(value.mValueType + 5u, Expression(data, value), value.mLength));
    case kVarString: {
      char* buffer = WorkBuffer(g_assignBuffer);
      if (buffer == nullptr) return -1;
      size_t length = EvalByStringEntry(value.mValueType + 10u, buffer, Expression(data, value), value.mLength);
      return WriteSystemString(n, i, buffer, length);
    }
    default:
      ReportErrorAtScript(kMsgSystemVariableReadOnly);
      return -1;
  }
}

template <uint8_t kOp>
void AssignInt(uint32_t n, int64_t i, int64_t value) {
  VariableRecord* record = FindVariableRecord(n);
  if (!ElementInRange(record, i) || record->mVarType != kVarInt || record->mInts == nullptr) return;
  int64_t& element = record->mInts[static_cast<uint32_t>(i)];
  element = ApplyIntAssign(kOp, element, value);
}

template <uint8_t kOp>
void AssignReal(uint32_t n, int64_t i, double value) {
  VariableRecord* record = FindVariableRecord(n);
  if (!ElementInRange(record, i) || record->mVarType != kVarReal || record->mReals == nullptr) return;
  double& element = record->mReals[static_cast<uint32_t>(i)];
  double result = 0;
  if (ApplyRealAssign(kOp, element, value, &result)) element = result;
}

template <uint8_t... kOps>
void FillEntries(std::integer_sequence<uint8_t, kOps...>) {
  ((g_AssignOperatorTable[kOps] = {AssignInt<kOps>, nullptr}), ...);
  ((g_AssignOperatorTable[kAssignOperators + kOps] = {nullptr, AssignReal<kOps>}), ...);
}

}  // namespace

bool ApplyRealAssign(uint8_t op, double current, double value, double* result) {
  bool unusable = value == 0.0 || value != value;
  switch (op) {
    case 0:
      *result = value;
      return true;
    case 1:
      *result = current + value;
      return true;
    case 2:
      *result = current - value;
      return true;
    case 3:
      *result = current * value;
      return true;
    case 4:
      if (unusable) return false;
      *result = current / value;
      return true;
    case 5: {
      if (unusable) return false;
      // A divisor in (-1, 1) truncates to 0: the element stays as for 0.0.
      int64_t divisor = TruncateRealToInt(value);
      if (divisor == 0) return false;
      *result = static_cast<double>(ApplyIntAssign(5, TruncateRealToInt(current), divisor));
      return true;
    }
    case 6:
    case 7:
    case 8:
      *result = static_cast<double>(ApplyIntAssign(op, TruncateRealToInt(current), TruncateRealToInt(value)));
      return true;
    default:
      return false;
  }
}

void FillAssignOperatorTable() { FillEntries(std::make_integer_sequence<uint8_t, kAssignOperators>()); }

namespace {
const bool g_assignTableFilled = (FillAssignOperatorTable(), true);
}  // namespace

int32_t CmdDeclareInt() { return Declare(kCommandIntDeclare, kVarInt); }
int32_t CmdDeclareReal() { return Declare(kCommandRealDeclare, kVarReal); }
int32_t CmdRedefineStringVar() { return Declare(kCommandStringDeclare, kVarString); }

int32_t CmdAssign() {
  const uint8_t* data = nullptr;
  const ArgumentRecord* records = TwoRecords(&data);
  if (records == nullptr) return -1;
  const ArgumentRecord& target = records[0];
  const ArgumentRecord& value = records[1];
  const uint8_t* targetExpression = Expression(data, target);
  if (target.mLength == 6 && targetExpression[0] == 'H' && targetExpression[1] == 3 && targetExpression[2] == 0 &&
      target.mValueType >= 1 && target.mValueType <= 4) {
    // A plain variable: only the reference its evaluation leaves is used.
    uint32_t number = targetExpression[4] | static_cast<uint32_t>(targetExpression[5]) << 8;
    uint8_t sigil = targetExpression[3];
    g_LastVarRef.mNumber = number;
    g_LastVarRef.mElement = 0;
    g_LastVarRef.mWholeVar = 0;
    g_LastVarRef.mSigil = sigil == 0x60 ? kSigilGrave : sigil == '#' ? kSigilHash : kSigilNone;
    if (number >= kFirstUserVariable && FindVariableRecord(number) == nullptr) {
      ReportErrorAtScriptFmt(kMsgUndefinedVariable, number);
      return -1;
    }
  } else {
    EvalScriptByIntEntry(target.mValueType, targetExpression, target.mLength);
  }
  uint32_t n = g_LastVarRef.mNumber;
  int64_t i = g_LastVarRef.mElement;
  uint8_t whole = g_LastVarRef.mWholeVar;
  uint8_t op = target.mOperator;
  if (n < kFirstUserVariable) {
    if (whole != 0) return 0;
    return AssignSystemVariable(n, i, op, data, value) != 0 ? -1 : 0;
  }
  VariableRecord* record = FindVariableRecord(n);
  if (record == nullptr) {
    ReportErrorAtScriptFmt(kMsgUndefinedVariable, n);
    return -1;
  }
  if (whole != 0) return AssignWhole(n, data, value);
  switch (record->mVarType) {
    case kVarInt:
      if (op >= kAssignOperators) return WrongType();
      g_AssignOperatorTable[op].mInt(n, i, EvalScriptByIntEntry(value.mValueType, Expression(data, value), value.mLength));
      return 0;
    case kVarReal:
      if (op >= kAssignOperators) return WrongType();
      g_AssignOperatorTable[kAssignOperators + op].mReal(
          n, i, EvalByRealEntry(value.mValueType + 5u, Expression(data, value), value.mLength));
      return 0;
    case kVarString:
      return AssignStringElement(n, i, op, data, value);
    default:
      return WrongType();
  }
}

void ReleaseVariableCommands() {
  std::free(g_declareBuffer);
  std::free(g_assignBuffer);
  std::free(g_appendBuffer);
  g_declareBuffer = nullptr;
  g_assignBuffer = nullptr;
  g_appendBuffer = nullptr;
}
