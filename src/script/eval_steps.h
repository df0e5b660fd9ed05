#pragma once
// Decoded integer expressions: an expression that only pushes integer
// constants and plain user variables and combines them with the number
// operators is decoded once into a short list of steps and run from there
// without reading token headers or payloads again. Anything else (texts,
// subscripts, sigils, system variables, a malformed token) is left to the
// evaluator, and so is a decoded expression that meets a variable other than
// an integer or real one: the steps before it have no effect outside the
// local stack, so the evaluator can run the expression from its start.
//
// Shared by the decoded-expression table and the instruction streams.
#include <cstdint>

#include "script/eval.h"
#include "script/variables.h"

namespace eval_steps {

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

// Where a binary step takes its right operand: the stack, or the constant or
// variable pushed just before it, folded into the step.
enum : uint8_t { kFromStack = 0, kFromConstant = 1, kFromVariable = 2 };

struct Step {
  uint8_t mKind;
  uint8_t mOperand;
  uint32_t mNumber;   // variable number
  int64_t mConstant;  // constant value
};

struct DecodedSteps {
  uint8_t mStepCount;
  Step mSteps[kMaxSteps];
};

// Decodes the expression; false when it needs the evaluator (any token the
// steps do not cover, a token the evaluator would refuse, a stack that would
// run short or deep).
bool DecodeSteps(const uint8_t* expression, uint32_t length, DecodedSteps* decoded);

// True when a decoded expression may stand in for EvalInt now: the standard
// operator table, no declaration in progress.
inline bool StepsUsable() { return g_DeclareMode == 0 && g_EvalStandardTable; }

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

// The result of decoded steps: the values left on the stack and the last
// variable read.
struct StepResult {
  int64_t mStack[kMaxDepth];
  int mDepth;
  uint32_t mLastNumber;
  bool mReferenced;
};

// Runs decoded steps in integer arithmetic into `result` without touching the
// evaluator's state; false when a variable needs the evaluator.
[[gnu::always_inline]] inline bool ComputeSteps(const DecodedSteps& decoded, StepResult* result) {
  int64_t* stack = result->mStack;
  stack[0] = 0;
  int depth = 0;
  uint32_t lastNumber = 0;
  bool referenced = false;
  for (int index = 0; index < decoded.mStepCount; ++index) {
    const Step& step = decoded.mSteps[index];
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
    int64_t value = 0;
    switch (step.mKind) {
      case kStepAdd: value = static_cast<int64_t>(U(a) + U(b)); break;
      case kStepSub: value = static_cast<int64_t>(U(a) - U(b)); break;
      case kStepMul: value = static_cast<int64_t>(U(a) * U(b)); break;
      case kStepDiv: value = b == 0 ? 0 : b == -1 ? static_cast<int64_t>(0 - U(a)) : a / b; break;
      case kStepRem: value = b == 0 || b == -1 ? 0 : a % b; break;
      case kStepEqual: value = a == b ? 1 : 0; break;
      case kStepNotEqual: value = a != b ? 1 : 0; break;
      case kStepGreater: value = a > b ? 1 : 0; break;
      case kStepLess: value = a < b ? 1 : 0; break;
      case kStepGreaterEqual: value = a >= b ? 1 : 0; break;
      case kStepLessEqual: value = a <= b ? 1 : 0; break;
      case kStepAnd: value = a != 0 && b != 0 ? 1 : 0; break;
      case kStepOr: value = a != 0 || b != 0 ? 1 : 0; break;
      case kStepBitAnd: value = a & b; break;
      case kStepBitOr: value = a | b; break;
      case kStepBitXor: value = a ^ b; break;
      default: break;
    }
    *top = value;
  }
  result->mDepth = depth;
  result->mLastNumber = lastNumber;
  result->mReferenced = referenced;
  return true;
}

// The evaluator's state as EvalInt leaves it after the same run: slot 0 and
// the slots above hold the values.
inline void PublishSteps(const StepResult& result) {
  g_EvalMode = kEvalModeInt;
  g_EvalNextString = 1;
  g_EvalSubscriptDepth = 0;
  g_SubscriptCount = 0;
  g_LastVarRef.mSigil = kSigilNone;
  g_LastVarRef.mWholeVar = 0;
  if (result.mReferenced) {
    g_LastVarRef.mNumber = result.mLastNumber;
    g_LastVarRef.mElement = 0;
  }
  g_EvalDepth = static_cast<uint16_t>(result.mDepth);
  g_EvalIntStack[0] = result.mStack[0];
  g_EvalSlotString[0] = 0;
  for (int slot = 1; slot < result.mDepth; ++slot) {
    g_EvalIntStack[slot] = result.mStack[slot];
    g_EvalSlotString[slot] = 0;
  }
}

// Runs decoded steps and publishes their state; false, with nothing changed,
// when a variable needs the evaluator.
inline bool RunSteps(const DecodedSteps& decoded) {
  StepResult result;
  if (!ComputeSteps(decoded, &result)) return false;
  PublishSteps(result);
  return true;
}

}  // namespace eval_steps
