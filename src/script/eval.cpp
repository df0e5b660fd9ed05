// The expression evaluator: the run loop, the entry points, constants and
// the operators.
#include "script/eval.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "core/errors.h"
#include "core/sjis.h"
#include "script/eval_internal.h"
#include "script/runtime_tables.h"
#include "script/variables.h"

uint8_t g_EvalMode = kEvalModeInt;
uint16_t g_EvalDepth = 0;
int64_t g_EvalIntStack[kEvalStackSlots];
double g_EvalRealStack[kEvalStackSlots];
uint16_t g_EvalSlotString[kEvalStackSlots];
char* g_EvalStringPool[kEvalPoolEntries];
uint16_t g_EvalNextString = 1;
int16_t g_EvalSubscriptDepth = 0;
int64_t g_SubscriptValues[kMaxSubscripts];
int8_t g_SubscriptCount = 0;
LastVarRef g_LastVarRef;
uint8_t g_DeclareMode = 0;
uint8_t g_LabelEvalFailed = 0;
OperatorHandler g_OperatorTable[256];

namespace eval_detail {

namespace {
uint16_t g_poolLengths[kEvalPoolEntries];
}  // namespace

int Malformed() {
  ReportErrorAtScript(kMsgBadExpression);
  return -1;
}

char* NewPoolText(uint16_t* index) {
  if (g_EvalNextString >= kEvalPoolEntries) {
    Malformed();
    return nullptr;
  }
  char*& buffer = g_EvalStringPool[g_EvalNextString];
  if (buffer == nullptr) {
    buffer = static_cast<char*>(std::malloc(kEvalStringBytes));
    if (buffer == nullptr) {
      ReportError(kMsgOutOfMemory);
      return nullptr;
    }
  }
  buffer[0] = '\0';
  *index = g_EvalNextString++;
  return buffer;
}

size_t PoolTextLength(uint16_t index) { return g_poolLengths[index]; }
void SetPoolTextLength(uint16_t index, size_t length) { g_poolLengths[index] = static_cast<uint16_t>(length); }

int PushPoolText(uint16_t index, size_t length) {
  if (g_EvalDepth >= kEvalStackSlots) return Malformed();
  uint16_t slot = g_EvalDepth++;
  g_EvalIntStack[slot] = 0;
  g_EvalRealStack[slot] = 0.0;
  g_EvalSlotString[slot] = index;
  g_poolLengths[index] = static_cast<uint16_t>(length);
  return 0;
}

int PushText(const char* text, size_t length) {
  if (g_EvalDepth >= kEvalStackSlots) return Malformed();
  uint16_t index = 0;
  char* buffer = NewPoolText(&index);
  if (buffer == nullptr) return -1;
  length = SjisCutLength(std::string_view(text, length), kEvalStringLimit);
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  return PushPoolText(index, length);
}

}  // namespace eval_detail

using namespace eval_detail;

int64_t TruncateRealToInt(double value) {
  // Both bounds are exact doubles; NaN fails both comparisons.
  if (value >= -9223372036854775808.0 && value < 9223372036854775808.0) return static_cast<int64_t>(value);
  return INT64_MIN;
}

namespace {

int OperatorInvalid(const uint8_t*, uint32_t) { return Malformed(); }
int NoOperationOp(const uint8_t*, uint32_t) { return 0; }

// A constant of `size` bytes, little-endian.
bool ReadPayload(const uint8_t* payload, uint32_t length, uint32_t size, uint64_t* bits) {
  if (length < size) return false;
  uint64_t value = 0;
  for (uint32_t index = 0; index < size; ++index) value |= static_cast<uint64_t>(payload[index]) << (8 * index);
  *bits = value;
  return true;
}

int OpInt8(const uint8_t* payload, uint32_t length) {
  uint64_t bits = 0;
  if (!ReadPayload(payload, length, 1, &bits)) return Malformed();
  return PushIntValue(static_cast<int8_t>(bits));
}
int OpInt16(const uint8_t* payload, uint32_t length) {
  uint64_t bits = 0;
  if (!ReadPayload(payload, length, 2, &bits)) return Malformed();
  return PushIntValue(static_cast<int16_t>(bits));
}
int OpInt32(const uint8_t* payload, uint32_t length) {
  uint64_t bits = 0;
  if (!ReadPayload(payload, length, 4, &bits)) return Malformed();
  return PushIntValue(static_cast<int32_t>(bits));
}
int OpInt64(const uint8_t* payload, uint32_t length) {
  uint64_t bits = 0;
  if (!ReadPayload(payload, length, 8, &bits)) return Malformed();
  return PushIntValue(static_cast<int64_t>(bits));
}
int OpReal(const uint8_t* payload, uint32_t length) {
  uint64_t bits = 0;
  if (!ReadPayload(payload, length, 8, &bits)) return Malformed();
  double value = 0;
  std::memcpy(&value, &bits, sizeof(value));
  return PushRealValue(value);
}

int OpNegate(const uint8_t*, uint32_t) {
  if (g_EvalDepth < 1) return Malformed();
  uint16_t top = g_EvalDepth - 1;
  if (IntArithmetic()) {
    g_EvalIntStack[top] = static_cast<int64_t>(0 - static_cast<uint64_t>(g_EvalIntStack[top]));
  } else {
    g_EvalRealStack[top] = -g_EvalRealStack[top];
  }
  g_EvalSlotString[top] = 0;
  return 0;
}

// Two operands: left at l, right at r; the result replaces left.
inline bool TakeOperands(uint16_t* l, uint16_t* r) {
  if (g_EvalDepth < 2) return false;
  *r = g_EvalDepth - 1;
  *l = g_EvalDepth - 2;
  return true;
}

inline int IntResult(uint16_t l, int64_t value) {
  g_EvalIntStack[l] = value;
  g_EvalSlotString[l] = 0;
  g_EvalDepth = l + 1;
  return 0;
}
inline int RealResult(uint16_t l, double value) {
  g_EvalRealStack[l] = value;
  g_EvalSlotString[l] = 0;
  g_EvalDepth = l + 1;
  return 0;
}
inline int DropRight(uint16_t l) {
  g_EvalDepth = l + 1;
  return 0;
}

int MixedOperands() {
  ReportErrorAtScript(kMsgStringWhereNumberWanted);
  return -1;
}

inline uint64_t U(int64_t v) { return static_cast<uint64_t>(v); }

int OpAdd(const uint8_t*, uint32_t) {
  uint16_t l = 0;
  uint16_t r = 0;
  if (!TakeOperands(&l, &r)) return Malformed();
  uint16_t left = g_EvalSlotString[l];
  uint16_t right = g_EvalSlotString[r];
  if (left != 0 && right != 0) {
    size_t leftLength = PoolTextLength(left);
    size_t rightLength = PoolTextLength(right);
    if (leftLength + rightLength < kEvalStringBytes) {
      std::memcpy(g_EvalStringPool[left] + leftLength, g_EvalStringPool[right], rightLength + 1);
      SetPoolTextLength(left, leftLength + rightLength);
    }
    return DropRight(l);
  }
  if (left != 0 || right != 0) return MixedOperands();
  if (IntArithmetic()) return IntResult(l, static_cast<int64_t>(U(g_EvalIntStack[l]) + U(g_EvalIntStack[r])));
  return RealResult(l, g_EvalRealStack[l] + g_EvalRealStack[r]);
}

// "=" and "!".
int Equality(bool wantEqual) {
  uint16_t l = 0;
  uint16_t r = 0;
  if (!TakeOperands(&l, &r)) return Malformed();
  uint16_t left = g_EvalSlotString[l];
  uint16_t right = g_EvalSlotString[r];
  if (left != 0 && right != 0) {
    size_t length = PoolTextLength(left);
    bool equal = length == PoolTextLength(right) && std::memcmp(g_EvalStringPool[left], g_EvalStringPool[right], length) == 0;
    return IntResult(l, equal == wantEqual ? 1 : 0);
  }
  if (left != 0 || right != 0) return MixedOperands();
  if (IntArithmetic()) return IntResult(l, (g_EvalIntStack[l] == g_EvalIntStack[r]) == wantEqual ? 1 : 0);
  double a = g_EvalRealStack[l];
  double b = g_EvalRealStack[r];
  bool unordered = a != a || b != b;
  bool result = wantEqual ? (unordered || a == b) : (!unordered && a != b);
  return RealResult(l, result ? 1.0 : 0.0);
}
int OpEqual(const uint8_t*, uint32_t) { return Equality(true); }
int OpNotEqual(const uint8_t*, uint32_t) { return Equality(false); }

enum class NumberOp { Sub, Mul, Div, Rem, Greater, Less, GreaterEqual, LessEqual, And, Or, BitAnd, BitOr, BitXor };

int64_t IntOperation(NumberOp op, int64_t a, int64_t b) {
  switch (op) {
    case NumberOp::Sub:
      return static_cast<int64_t>(U(a) - U(b));
    case NumberOp::Mul:
      return static_cast<int64_t>(U(a) * U(b));
    case NumberOp::Div:
      if (b == 0) return 0;
      if (b == -1) return static_cast<int64_t>(0 - U(a));
      return a / b;
    case NumberOp::Rem:
      if (b == 0 || b == -1) return 0;
      return a % b;
    case NumberOp::Greater:
      return a > b ? 1 : 0;
    case NumberOp::Less:
      return a < b ? 1 : 0;
    case NumberOp::GreaterEqual:
      return a >= b ? 1 : 0;
    case NumberOp::LessEqual:
      return a <= b ? 1 : 0;
    case NumberOp::And:
      return a != 0 && b != 0 ? 1 : 0;
    case NumberOp::Or:
      return a != 0 || b != 0 ? 1 : 0;
    case NumberOp::BitAnd:
      return a & b;
    case NumberOp::BitOr:
      return a | b;
    case NumberOp::BitXor:
      return a ^ b;
  }
  return a;
}

// Real arithmetic; false for the operators that leave left unchanged.
bool RealOperation(NumberOp op, double a, double b, double* result) {
  bool unordered = a != a || b != b;
  switch (op) {
    case NumberOp::Sub:
      *result = a - b;
      return true;
    case NumberOp::Mul:
      *result = a * b;
      return true;
    case NumberOp::Div:
      *result = b == 0.0 ? 0.0 : a / b;
      return true;
    case NumberOp::Greater:
      *result = a > b ? 1.0 : 0.0;
      return true;
    case NumberOp::Less:
      *result = unordered || a < b ? 1.0 : 0.0;
      return true;
    case NumberOp::GreaterEqual:
      *result = a >= b ? 1.0 : 0.0;
      return true;
    case NumberOp::LessEqual:
      *result = unordered || a <= b ? 1.0 : 0.0;
      return true;
    case NumberOp::And:
      *result = a != 0.0 && b != 0.0 ? 1.0 : 0.0;
      return true;
    case NumberOp::Or:
      *result = a != 0.0 || b != 0.0 ? 1.0 : 0.0;
      return true;
    case NumberOp::Rem:
    case NumberOp::BitAnd:
    case NumberOp::BitOr:
    case NumberOp::BitXor:
      return false;
  }
  return false;
}

// Number operators do not look at string indexes: a text counts as the
// integer value 0 its slot holds.
template <NumberOp kOp>
int NumberOperator(const uint8_t*, uint32_t) {
  uint16_t l = 0;
  uint16_t r = 0;
  if (!TakeOperands(&l, &r)) return Malformed();
  if (IntArithmetic()) return IntResult(l, IntOperation(kOp, g_EvalIntStack[l], g_EvalIntStack[r]));
  double result = 0;
  if (!RealOperation(kOp, g_EvalRealStack[l], g_EvalRealStack[r], &result)) return DropRight(l);
  return RealResult(l, result);
}

}  // namespace

bool g_EvalStandardTable = false;

void FillOperatorTable(int allowVariables) {
  g_EvalStandardTable = allowVariables != 0;
  for (OperatorHandler& handler : g_OperatorTable) handler = OperatorInvalid;
  auto set = [](unsigned char token, OperatorHandler handler) { g_OperatorTable[token] = handler; };
  set('M', OpStringLiteral);
  set('H', allowVariables != 0 ? OpVariableValue : OpVariableForbidden);
  set('V', allowVariables != 0 ? OpArrayBegin : OpVariableForbidden);
  set('v', allowVariables != 0 ? OpVariableRef : OpVariableForbidden);
  set(')', OpSubscriptEnd);
  set('B', OpInt8);
  set('W', OpInt16);
  set('I', OpInt32);
  set('L', OpInt64);
  set('F', OpReal);
  set('R', OpNegate);
  set('s', OpToString);
  set('i', OpToNumber);
  set('+', OpAdd);
  set('-', NumberOperator<NumberOp::Sub>);
  set('*', NumberOperator<NumberOp::Mul>);
  set('/', NumberOperator<NumberOp::Div>);
  set('%', NumberOperator<NumberOp::Rem>);
  set('=', OpEqual);
  set('!', OpNotEqual);
  set('>', NumberOperator<NumberOp::Greater>);
  set('<', NumberOperator<NumberOp::Less>);
  set('Z', NumberOperator<NumberOp::GreaterEqual>);
  set('S', NumberOperator<NumberOp::LessEqual>);
  set('&', NumberOperator<NumberOp::And>);
  set('|', NumberOperator<NumberOp::Or>);
  set('A', NumberOperator<NumberOp::BitAnd>);
  set('O', NumberOperator<NumberOp::BitOr>);
  set('^', NumberOperator<NumberOp::BitXor>);
  set(',', NoOperationOp);
}

namespace {
// The table is usable before start-up fills it (tests run without start-up).
const bool g_operatorTableFilled = (FillOperatorTable(1), true);
}  // namespace

namespace {

// "H" for a user variable's element 0 of an integer or real variable, the
// common case, without the general value push.
inline int FastVariableValue(const uint8_t* payload, uint32_t length) {
  if (length >= 3 && g_DeclareMode == 0 && g_EvalDepth < kEvalStackSlots) {
    uint32_t number = payload[1] | static_cast<uint32_t>(payload[2]) << 8;
    uint8_t sigil = payload[0];
    const VariableRecord* record = number >= kFirstUserVariable ? FindVariableRecord(number) : nullptr;
    if (record != nullptr && sigil != 0x60 && sigil != '#' && record->mCount > 0) {
      if (record->mVarType == kVarInt && record->mInts != nullptr) {
        g_LastVarRef.mNumber = number;
        g_LastVarRef.mElement = 0;
        g_LastVarRef.mSigil = kSigilNone;
        return PushIntValue(record->mInts[0]);
      }
      if (record->mVarType == kVarReal && record->mReals != nullptr) {
        g_LastVarRef.mNumber = number;
        g_LastVarRef.mElement = 0;
        g_LastVarRef.mSigil = kSigilNone;
        return PushRealValue(record->mReals[0]);
      }
    }
  }
  return OpVariableValue(payload, length);
}

// The common opcodes called directly (inlined); the rest through the table.
inline int Dispatch(uint8_t opcode, const uint8_t* payload, uint32_t length) {
  switch (opcode) {
    case 'H': return FastVariableValue(payload, length);
    case 'B': return OpInt8(payload, length);
    case 'W': return OpInt16(payload, length);
    case 'I': return OpInt32(payload, length);
    case 'L': return OpInt64(payload, length);
    case 'F': return OpReal(payload, length);
    case 'M': return OpStringLiteral(payload, length);
    case '+': return OpAdd(payload, length);
    case '-': return NumberOperator<NumberOp::Sub>(payload, length);
    case '*': return NumberOperator<NumberOp::Mul>(payload, length);
    case '/': return NumberOperator<NumberOp::Div>(payload, length);
    case '%': return NumberOperator<NumberOp::Rem>(payload, length);
    case '=': return OpEqual(payload, length);
    case '!': return OpNotEqual(payload, length);
    case '>': return NumberOperator<NumberOp::Greater>(payload, length);
    case '<': return NumberOperator<NumberOp::Less>(payload, length);
    case 'Z': return NumberOperator<NumberOp::GreaterEqual>(payload, length);
    case 'S': return NumberOperator<NumberOp::LessEqual>(payload, length);
    case '&': return NumberOperator<NumberOp::And>(payload, length);
    case '|': return NumberOperator<NumberOp::Or>(payload, length);
    default: return g_OperatorTable[opcode](payload, length);
  }
}

}  // namespace

int RunExpression(const uint8_t* expression, uint32_t length) {
  g_EvalDepth = 0;
  g_EvalNextString = 1;
  g_EvalSubscriptDepth = 0;
  g_SubscriptCount = 0;
  g_LastVarRef.mSigil = kSigilNone;
  g_LastVarRef.mWholeVar = 0;
  if (expression == nullptr) return length == 0 ? 0 : -1;
  uint32_t position = 0;
  while (position < length) {
    if (length - position < 3) return (Malformed(), -1);
    const uint8_t* token = expression + position;
    uint32_t payloadLength = token[1] | static_cast<uint32_t>(token[2]) << 8;
    if (payloadLength > length - position - 3) return (Malformed(), -1);
    int failed = g_EvalStandardTable ? Dispatch(token[0], token + 3, payloadLength)
                                 : g_OperatorTable[token[0]](token + 3, payloadLength);
    if (failed != 0) return -1;
    position += 3 + payloadLength;
  }
  return 0;
}

int64_t EvalInt(const uint8_t* expression, uint32_t length) {
  g_EvalMode = kEvalModeInt;
  RunExpression(expression, length);
  return g_EvalIntStack[0];
}

int64_t EvalRealAsInt(const uint8_t* expression, uint32_t length) {
  g_EvalMode = kEvalModeReal;
  RunExpression(expression, length);
  return TruncateRealToInt(g_EvalRealStack[0]);
}

double EvalIntAsReal(const uint8_t* expression, uint32_t length) {
  g_EvalMode = kEvalModeInt;
  RunExpression(expression, length);
  return static_cast<double>(g_EvalIntStack[0]);
}

double EvalReal(const uint8_t* expression, uint32_t length) {
  g_EvalMode = kEvalModeReal;
  RunExpression(expression, length);
  return g_EvalRealStack[0];
}

namespace {
size_t EvalString(uint8_t mode, char* buffer, const uint8_t* expression, size_t length) {
  g_EvalMode = mode;
  buffer[0] = '\0';
  if (length > UINT32_MAX) return 0;
  RunExpression(expression, static_cast<uint32_t>(length));
  uint16_t index = g_EvalSlotString[0];
  if (g_EvalDepth == 0 || index == 0 || index >= kEvalPoolEntries || g_EvalStringPool[index] == nullptr) return 0;
  size_t textLength = PoolTextLength(index);
  std::memcpy(buffer, g_EvalStringPool[index], textLength);
  buffer[textLength] = '\0';
  return textLength;
}
}  // namespace

size_t EvalStringInt(char* buffer, const uint8_t* expression, size_t length) {
  return EvalString(kEvalModeStringInt, buffer, expression, length);
}

size_t EvalStringReal(char* buffer, const uint8_t* expression, size_t length) {
  return EvalString(kEvalModeStringReal, buffer, expression, length);
}

EvalIntFn g_EvalIntEntry[kEvalIntEntries] = {nullptr, EvalInt, EvalRealAsInt, EvalInt, EvalRealAsInt};
EvalEntry g_EvalEntry[kEvalEntries] = {
    {nullptr, nullptr},        {EvalIntAsReal, nullptr}, {EvalReal, nullptr},       {EvalIntAsReal, nullptr},
    {EvalReal, nullptr},       {nullptr, nullptr},       {EvalReal, nullptr},       {EvalReal, nullptr},
    {EvalReal, nullptr},       {EvalReal, nullptr},      {nullptr, nullptr},        {nullptr, EvalStringInt},
    {nullptr, EvalStringInt},  {nullptr, EvalStringInt}, {nullptr, EvalStringReal},
};

int64_t ReportEmptyIntEntry(uint32_t type) {
  ReportErrorAtScriptFmt(kMsgBadExpression, static_cast<int32_t>(type));
  return 0;
}

double EvalByRealEntry(uint32_t entry, const uint8_t* expression, uint32_t length) {
  EvalRealFn routine = entry < kEvalEntries ? g_EvalEntry[entry].mReal : nullptr;
  if (routine == nullptr) {
    ReportErrorAtScriptFmt(kMsgBadExpression, static_cast<int32_t>(entry));
    return 0.0;
  }
  return routine(expression, length);
}

size_t EvalByStringEntry(uint32_t entry, char* buffer, const uint8_t* expression, uint32_t length) {
  EvalStringFn routine = entry < kEvalEntries ? g_EvalEntry[entry].mString : nullptr;
  buffer[0] = '\0';
  if (routine == nullptr) {
    ReportErrorAtScriptFmt(kMsgBadExpression, static_cast<int32_t>(entry));
    return 0;
  }
  return routine(buffer, expression, length);
}

void ReleaseEvaluator() {
  for (char*& buffer : g_EvalStringPool) {
    std::free(buffer);
    buffer = nullptr;
  }
  g_EvalDepth = 0;
  g_EvalNextString = 1;
  g_EvalSubscriptDepth = 0;
  g_SubscriptCount = 0;
  g_LastVarRef = LastVarRef{};
  g_DeclareMode = 0;
  g_LabelEvalFailed = 0;
  std::memset(g_EvalSlotString, 0, sizeof(g_EvalSlotString));
  FillOperatorTable(1);
}
