// The table of decoded integer expressions of the loaded script files, kept
// by expression address (see eval_steps.h for what is decoded). A script
// file's expression section does not change while it is loaded.
#include "script/eval_cache.h"

#include <cstring>

#include "script/eval.h"
#include "script/eval_steps.h"
#include "script/instruction_stream.h"
#include "script/variables.h"

namespace eval_steps {

namespace {

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

inline bool IsPush(const Step& step) { return step.mKind == kStepConstant || step.mKind == kStepVariable; }
inline bool IsFoldedBinary(const Step& step) {
  return !IsPush(step) && step.mKind != kStepNegate && step.mOperand != kFromStack;
}

// The shape of decoded steps that the common forms cover (the step loop
// otherwise).
uint8_t StepsForm(const DecodedSteps& decoded) {
  const Step* steps = decoded.mSteps;
  if (decoded.mStepCount == 1 && IsPush(steps[0])) return kFormPush;
  if (decoded.mStepCount == 2 && IsPush(steps[0]) && IsFoldedBinary(steps[1])) {
    bool variableConstant = steps[0].mKind == kStepVariable && steps[1].mOperand == kFromConstant;
    return variableConstant ? kFormVariableConstant : kFormBinary;
  }
  if (decoded.mStepCount == 4 && IsPush(steps[0]) && IsPush(steps[1]) && IsFoldedBinary(steps[2]) &&
      !IsPush(steps[3]) && steps[3].mKind != kStepNegate && steps[3].mOperand == kFromStack) {
    bool variablesConstant = steps[0].mKind == kStepVariable && steps[1].mKind == kStepVariable &&
                             steps[2].mOperand == kFromConstant;
    return variablesConstant ? kFormNestedVariablesConstant : kFormNestedBinary;
  }
  return kFormSteps;
}

// The compact form of the two counting-loop shapes.
CompactForm CompactOf(const DecodedSteps& decoded) {
  CompactForm form{};
  const Step* steps = decoded.mSteps;
  form.mForm = decoded.mForm;
  if (decoded.mForm == kFormVariableConstant) {
    form.mOp1 = steps[1].mKind;
    form.mNumberA = static_cast<uint16_t>(steps[0].mNumber);
    form.mRecordA = steps[0].mRecord;
    form.mConstant = steps[1].mConstant;
  } else if (decoded.mForm == kFormNestedVariablesConstant) {
    form.mOp1 = steps[2].mKind;
    form.mOp2 = steps[3].mKind;
    form.mNumberA = static_cast<uint16_t>(steps[0].mNumber);
    form.mNumberB = static_cast<uint16_t>(steps[1].mNumber);
    form.mRecordA = steps[0].mRecord;
    form.mRecordB = steps[1].mRecord;
    form.mConstant = steps[2].mConstant;
  }
  return form;
}

}  // namespace

bool DecodeSteps(const uint8_t* expression, uint32_t length, DecodedSteps* decoded) {
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
    Step& step = decoded->mSteps[count];
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
      step.mRecord = FindVariableRecord(number);
      depth += 1;
    } else if (opcode == 'R') {
      if (depth < 1) return false;
      step.mKind = kStepNegate;
    } else {
      uint8_t kind = BinaryStep(opcode);
      if (kind == 0 || depth < 2) return false;
      depth -= 1;
      Step& previous = decoded->mSteps[count - 1];
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
  decoded->mStepCount = static_cast<uint8_t>(count);
  decoded->mForm = StepsForm(*decoded);
  decoded->mCompact = CompactOf(*decoded);
  return true;
}

}  // namespace eval_steps

namespace {

constexpr int kEntries = 1024;

enum : uint8_t { kEntryEmpty = 0, kEntryDecoded = 1, kEntryGeneral = 2 };

struct CacheEntry {
  const uint8_t* mExpression;
  uint32_t mLength;
  uint8_t mState;
  eval_steps::DecodedSteps mDecoded;
};

CacheEntry g_entries[kEntries];

inline uint32_t EntryIndex(const uint8_t* expression) {
  auto bits = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(expression));
  return static_cast<uint32_t>((bits * 0x9E3779B97F4A7C15ull) >> 54) & (kEntries - 1);
}

}  // namespace

int64_t EvalScriptInt(const uint8_t* expression, uint32_t length) {
  if (expression == nullptr || !eval_steps::StepsUsable()) return EvalInt(expression, length);
  CacheEntry& entry = g_entries[EntryIndex(expression)];
  if (entry.mExpression != expression || entry.mLength != length || entry.mState == kEntryEmpty) {
    entry.mExpression = expression;
    entry.mLength = length;
    entry.mState = eval_steps::DecodeSteps(expression, length, &entry.mDecoded) ? kEntryDecoded : kEntryGeneral;
  }
  if (entry.mState == kEntryDecoded && eval_steps::RunSteps(entry.mDecoded)) return g_EvalIntStack[0];
  return EvalInt(expression, length);
}

void DropEvalCache() {
  std::memset(static_cast<void*>(g_entries), 0, sizeof(g_entries));
  // The instruction streams hold decoded expressions of the same files.
  DropInstructionStreams();
}
