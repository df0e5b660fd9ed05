// Decoded integer expressions of the loaded script files. A script file's
// expression section does not change while it is loaded, so each expression
// that only pushes integer constants and plain user variables and combines
// them with the number operators is decoded once into a short list of steps,
// kept in a table by its address, and run from there without reading token
// headers or payloads again. Anything else (texts, subscripts, sigils,
// system variables, a malformed token) runs through the evaluator as before,
// and so does a decoded expression that meets a variable other than an
// integer or real one: the steps before it have no effect outside the
// evaluator's stack.
#include "script/eval_cache.h"

#include <cstring>

#include "script/eval.h"
#include "script/variables.h"

namespace {

enum : uint8_t {
  kStepConstant,
  kStepVariable,
  kStepNegate,
  kStepAdd,
  kStepSub,
  kStepMul,
  kStepDiv,
  kStepRem,
  kStepEqual,
  kStepNotEqual,
  kStepGreater,
  kStepLess,
  kStepGreaterEqual,
  kStepLessEqual,
  kStepAnd,
  kStepOr,
  kStepBitAnd,
  kStepBitOr,
  kStepBitXor,
};

constexpr int kMaxSteps = 24;
constexpr int kMaxDepth = 16;
constexpr int kEntries = 1024;

// Where a binary step takes its right operand: the stack, or the constant or
// variable pushed just before it, folded into the step.
enum : uint8_t { kFromStack = 0, kFromConstant = 1, kFromVariable = 2 };

struct Step {
  uint8_t mKind;
  uint8_t mOperand;
  uint32_t mNumber;   // variable number
  int64_t mConstant;  // constant value
};

enum : uint8_t { kEntryEmpty = 0, kEntryDecoded = 1, kEntryGeneral = 2 };

struct CacheEntry {
  const uint8_t* mExpression;
  uint32_t mLength;
  uint8_t mState;
  uint8_t mStepCount;
  Step mSteps[kMaxSteps];
};

CacheEntry g_entries[kEntries];

inline uint32_t EntryIndex(const uint8_t* expression) {
  auto bits = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(expression));
  return static_cast<uint32_t>((bits * 0x9E3779B97F4A7C15ull) >> 54) & (kEntries - 1);
}

uint8_t BinaryStep(uint8_t opcode) {
  switch (opcode) {
    case '+': return kStepAdd;
    case '-': return kStepSub;
    case '*': return kStepMul;
    case '/': return kStepDiv;
    case '%': return kStepRem;
    case '=': return kStepEqual;
    case '!': return kStepNotEqual;
    case '>': return kStepGreater;
    case '<': return kStepLess;
    case 'Z': return kStepGreaterEqual;
    case 'S': return kStepLessEqual;
    case '&': return kStepAnd;
    case '|': return kStepOr;
    case 'A': return kStepBitAnd;
    case 'O': return kStepBitOr;
    case '^': return kStepBitXor;
    default: return 0;
  }
}

// Decodes the expression into the entry's steps; false when it needs the
// evaluator (any token the steps do not cover, a token the evaluator would
// refuse, a stack that would run short or deep).
bool Decode(const uint8_t* expression, uint32_t length, CacheEntry* entry) {
  if (length == 0) return false;
  int count = 0;
  int depth = 0;
  uint32_t position = 0;
  while (position < length) {
    if (length - position < 3) return false;
    const uint8_t* token = expression + position;
    uint32_t payloadLength = token[1] | static_cast<uint32_t>(token[2]) << 8;
    if (payloadLength > length - position - 3) return false;
    const uint8_t* payload = token + 3;
    position += 3 + payloadLength;
    uint8_t opcode = token[0];
    if (opcode == ',') continue;
    if (count >= kMaxSteps) return false;
    Step& step = entry->mSteps[count];
    step = Step{};
    uint32_t size = opcode == 'B' ? 1 : opcode == 'W' ? 2 : opcode == 'I' ? 4 : opcode == 'L' ? 8 : 0;
    if (size != 0) {
      if (payloadLength < size || depth >= kMaxDepth) return false;
      uint64_t bits = 0;
      for (uint32_t index = 0; index < size; ++index) bits |= static_cast<uint64_t>(payload[index]) << (8 * index);
      step.mKind = kStepConstant;
      step.mConstant = size == 1   ? static_cast<int8_t>(bits)
                       : size == 2 ? static_cast<int16_t>(bits)
                       : size == 4 ? static_cast<int32_t>(bits)
                                   : static_cast<int64_t>(bits);
      depth += 1;
    } else if (opcode == 'H') {
      if (payloadLength < 3 || depth >= kMaxDepth) return false;
      uint32_t number = payload[1] | static_cast<uint32_t>(payload[2]) << 8;
      if (payload[0] == 0x60 || payload[0] == '#' || number < kFirstUserVariable) return false;
      step.mKind = kStepVariable;
      step.mNumber = number;
      depth += 1;
    } else if (opcode == 'R') {
      if (depth < 1) return false;
      step.mKind = kStepNegate;
    } else {
      uint8_t kind = BinaryStep(opcode);
      if (kind == 0 || depth < 2) return false;
      depth -= 1;
      Step& previous = entry->mSteps[count - 1];
      // depth >= 2 means a step came before; a push right before is folded.
      if (previous.mKind == kStepConstant || previous.mKind == kStepVariable) {
        previous.mOperand = previous.mKind == kStepConstant ? kFromConstant : kFromVariable;
        previous.mKind = kind;
        continue;
      }
      step.mKind = kind;
      step.mOperand = kFromStack;
    }
    count += 1;
  }
  if (depth < 1) return false;
  entry->mStepCount = static_cast<uint8_t>(count);
  return true;
}

inline uint64_t U(int64_t v) { return static_cast<uint64_t>(v); }

// The value of a plain user variable in integer arithmetic; false when the
// evaluator has to read it.
inline bool ReadVariable(uint32_t number, int64_t* value) {
  const VariableRecord* record = FindVariableRecord(number);
  if (record == nullptr || record->mCount <= 0) return false;
  if (record->mVarType == kVarInt && record->mInts != nullptr) {
    *value = record->mInts[0];
    return true;
  }
  if (record->mVarType == kVarReal && record->mReals != nullptr) {
    *value = TruncateRealToInt(record->mReals[0]);
    return true;
  }
  return false;
}

// Runs decoded steps in integer arithmetic; false when a variable needs the
// evaluator.
bool RunSteps(const CacheEntry& entry) {
  int64_t stack[kMaxDepth];
  stack[0] = 0;
  int depth = 0;
  uint32_t lastNumber = 0;
  bool referenced = false;
  for (int index = 0; index < entry.mStepCount; ++index) {
    const Step& step = entry.mSteps[index];
    int64_t* top = stack + depth - 1;
    switch (step.mKind) {
      case kStepConstant:
        stack[depth++] = step.mConstant;
        continue;
      case kStepVariable:
        if (!ReadVariable(step.mNumber, &stack[depth])) return false;
        depth += 1;
        lastNumber = step.mNumber;
        referenced = true;
        continue;
      case kStepNegate:
        *top = static_cast<int64_t>(0 - U(*top));
        continue;
      default:
        break;
    }
    int64_t b = 0;
    if (step.mOperand == kFromConstant) {
      b = step.mConstant;
    } else if (step.mOperand == kFromVariable) {
      if (!ReadVariable(step.mNumber, &b)) return false;
      lastNumber = step.mNumber;
      referenced = true;
    } else {
      b = *top;
      top -= 1;
      depth -= 1;
    }
    int64_t a = *top;
    int64_t result = 0;
    switch (step.mKind) {
      case kStepAdd: result = static_cast<int64_t>(U(a) + U(b)); break;
      case kStepSub: result = static_cast<int64_t>(U(a) - U(b)); break;
      case kStepMul: result = static_cast<int64_t>(U(a) * U(b)); break;
      case kStepDiv: result = b == 0 ? 0 : b == -1 ? static_cast<int64_t>(0 - U(a)) : a / b; break;
      case kStepRem: result = b == 0 || b == -1 ? 0 : a % b; break;
      case kStepEqual: result = a == b ? 1 : 0; break;
      case kStepNotEqual: result = a != b ? 1 : 0; break;
      case kStepGreater: result = a > b ? 1 : 0; break;
      case kStepLess: result = a < b ? 1 : 0; break;
      case kStepGreaterEqual: result = a >= b ? 1 : 0; break;
      case kStepLessEqual: result = a <= b ? 1 : 0; break;
      case kStepAnd: result = a != 0 && b != 0 ? 1 : 0; break;
      case kStepOr: result = a != 0 || b != 0 ? 1 : 0; break;
      case kStepBitAnd: result = a & b; break;
      case kStepBitOr: result = a | b; break;
      case kStepBitXor: result = a ^ b; break;
      default: break;
    }
    *top = result;
  }
  // The state the evaluator leaves after the same run.
  g_EvalMode = kEvalModeInt;
  g_EvalNextString = 1;
  g_EvalSubscriptDepth = 0;
  g_SubscriptCount = 0;
  g_LastVarRef.mSigil = kSigilNone;
  g_LastVarRef.mWholeVar = 0;
  if (referenced) {
    g_LastVarRef.mNumber = lastNumber;
    g_LastVarRef.mElement = 0;
  }
  g_EvalDepth = static_cast<uint16_t>(depth);
  g_EvalIntStack[0] = stack[0];
  g_EvalSlotString[0] = 0;
  for (int slot = 1; slot < depth; ++slot) {
    g_EvalIntStack[slot] = stack[slot];
    g_EvalSlotString[slot] = 0;
  }
  return true;
}

}  // namespace

int64_t EvalScriptInt(const uint8_t* expression, uint32_t length) {
  if (expression == nullptr || g_DeclareMode != 0 || !g_EvalStandardTable) return EvalInt(expression, length);
  CacheEntry& entry = g_entries[EntryIndex(expression)];
  if (entry.mExpression != expression || entry.mLength != length || entry.mState == kEntryEmpty) {
    entry.mExpression = expression;
    entry.mLength = length;
    entry.mState = Decode(expression, length, &entry) ? kEntryDecoded : kEntryGeneral;
  }
  if (entry.mState == kEntryDecoded && RunSteps(entry)) return g_EvalIntStack[0];
  return EvalInt(expression, length);
}

void DropEvalCache() { std::memset(static_cast<void*>(g_entries), 0, sizeof(g_entries)); }
