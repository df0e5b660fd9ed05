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
  uint32_t mNumber;  // variable number
  // The variable's record when the steps were decoded (records live as long
  // as the variable table, which drops every decoded expression when it is
  // freed); null when the number had none.
  const VariableRecord* mRecord;
  int64_t mConstant;  // constant value
};

// Common whole-expression shapes, run without the step loop.
enum : uint8_t {
  kFormSteps,         // the step loop
  kFormPush,          // one constant or variable
  kFormBinary,        // a push, then an operator with a folded right operand
  kFormNestedBinary,  // a op2 (b op1 c): two pushes, a folded op1, op2 on the stack
  // The same two with variables and constants where counting loops have them.
  kFormVariableConstant,          // a op c: a a variable, c a constant
  kFormNestedVariablesConstant,   // a op2 (b op1 c): a and b variables, c a constant
};

// The operands of the two counting-loop forms, kept apart from the steps so
// that a holder can copy them next to its other data.
struct CompactForm {
  uint8_t mForm;  // kFormVariableConstant, kFormNestedVariablesConstant or another
  uint8_t mOp1;   // a op1 c, or b op1 c
  uint8_t mOp2;   // a op2 (b op1 c)
  uint16_t mNumberA;  // variable numbers are 16-bit in the expressions
  uint16_t mNumberB;
  const VariableRecord* mRecordA;
  const VariableRecord* mRecordB;
  int64_t mConstant;  // c
};

struct DecodedSteps {
  uint8_t mStepCount;
  uint8_t mForm;
  CompactForm mCompact;
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
[[gnu::always_inline]] inline bool ReadVariable(const VariableRecord* record, int64_t* value) {
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

// A binary step's operator on its operands, in integer arithmetic as the
// evaluator does it (wrapping, a zero divisor gives 0).
[[gnu::always_inline]] inline int64_t ApplyBinary(uint8_t kind, int64_t a, int64_t b) {
  switch (kind) {
    case kStepAdd: return static_cast<int64_t>(U(a) + U(b));
    case kStepSub: return static_cast<int64_t>(U(a) - U(b));
    case kStepMul: return static_cast<int64_t>(U(a) * U(b));
    case kStepDiv: return b == 0 ? 0 : b == -1 ? static_cast<int64_t>(0 - U(a)) : a / b;
    case kStepRem: return b == 0 || b == -1 ? 0 : a % b;
    case kStepEqual: return a == b ? 1 : 0;
    case kStepNotEqual: return a != b ? 1 : 0;
    case kStepGreater: return a > b ? 1 : 0;
    case kStepLess: return a < b ? 1 : 0;
    case kStepGreaterEqual: return a >= b ? 1 : 0;
    case kStepLessEqual: return a <= b ? 1 : 0;
    case kStepAnd: return a != 0 && b != 0 ? 1 : 0;
    case kStepOr: return a != 0 || b != 0 ? 1 : 0;
    case kStepBitAnd: return a & b;
    case kStepBitOr: return a | b;
    case kStepBitXor: return a ^ b;
    default: return 0;
  }
}

// The value a push step pushes, or the folded right operand of a binary
// step; false when the evaluator has to read the variable.
[[gnu::always_inline]] inline bool PushValue(const Step& step, bool variable, int64_t* value) {
  if (!variable) {
    *value = step.mConstant;
    return true;
  }
  return ReadVariable(step.mRecord, value);
}

// The result of decoded steps: the values left on the stack and the last
// variable read.
struct StepResult {
  int64_t mStack[kMaxDepth];
  int mDepth;
  uint32_t mLastNumber;
  bool mReferenced;
};

// The one value a run of steps leaves and the last variable it read.
struct StepValue {
  int64_t mValue;
  uint32_t mLastNumber;
  bool mReferenced;
};

// Runs a compact form of the two counting-loop shapes (both read a
// variable); false for another form or when a variable needs the evaluator.
[[gnu::always_inline]] inline bool ComputeCompact(const CompactForm& form, StepValue* value) {
  int64_t a = 0;
  if (form.mForm == kFormVariableConstant) {
    if (!ReadVariable(form.mRecordA, &a)) return false;
    value->mValue = ApplyBinary(form.mOp1, a, form.mConstant);
    value->mLastNumber = form.mNumberA;
  } else if (form.mForm == kFormNestedVariablesConstant) {
    int64_t b = 0;
    if (!ReadVariable(form.mRecordA, &a) || !ReadVariable(form.mRecordB, &b)) return false;
    value->mValue = ApplyBinary(form.mOp2, a, ApplyBinary(form.mOp1, b, form.mConstant));
    value->mLastNumber = form.mNumberB;
  } else {
    return false;
  }
  value->mReferenced = true;
  return true;
}

// Runs decoded steps in integer arithmetic into `result` without touching the
// evaluator's state; false when a variable needs the evaluator.
[[gnu::always_inline]] inline bool ComputeSteps(const DecodedSteps& decoded, StepResult* result) {
  const Step* steps = decoded.mSteps;
  switch (decoded.mForm) {
    case kFormPush: {
      bool variable = steps[0].mKind == kStepVariable;
      if (!PushValue(steps[0], variable, &result->mStack[0])) return false;
      result->mDepth = 1;
      result->mLastNumber = steps[0].mNumber;
      result->mReferenced = variable;
      return true;
    }
    case kFormBinary: {
      // steps[0] pushes a; steps[1] applies its operator with b folded in.
      bool leftVariable = steps[0].mKind == kStepVariable;
      bool rightVariable = steps[1].mOperand == kFromVariable;
      int64_t a = 0;
      int64_t b = 0;
      if (!PushValue(steps[0], leftVariable, &a) || !PushValue(steps[1], rightVariable, &b)) return false;
      result->mStack[0] = ApplyBinary(steps[1].mKind, a, b);
      result->mDepth = 1;
      result->mReferenced = leftVariable || rightVariable;
      result->mLastNumber = rightVariable ? steps[1].mNumber : steps[0].mNumber;
      return true;
    }
    case kFormVariableConstant:
    case kFormNestedVariablesConstant: {
      StepValue value{};
      if (!ComputeCompact(decoded.mCompact, &value)) return false;
      result->mStack[0] = value.mValue;
      result->mDepth = 1;
      result->mLastNumber = value.mLastNumber;
      result->mReferenced = value.mReferenced;
      return true;
    }
    case kFormNestedBinary: {
      // steps[0] pushes a, steps[1] pushes b, steps[2] applies op1 to b with
      // c folded in, steps[3] applies op2 to a and that.
      bool aVariable = steps[0].mKind == kStepVariable;
      bool bVariable = steps[1].mKind == kStepVariable;
      bool cVariable = steps[2].mOperand == kFromVariable;
      int64_t a = 0;
      int64_t b = 0;
      int64_t c = 0;
      if (!PushValue(steps[0], aVariable, &a) || !PushValue(steps[1], bVariable, &b) ||
          !PushValue(steps[2], cVariable, &c)) {
        return false;
      }
      result->mStack[0] = ApplyBinary(steps[3].mKind, a, ApplyBinary(steps[2].mKind, b, c));
      result->mDepth = 1;
      result->mReferenced = aVariable || bVariable || cVariable;
      result->mLastNumber = cVariable ? steps[2].mNumber : bVariable ? steps[1].mNumber : steps[0].mNumber;
      return true;
    }
    default:
      break;
  }
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
        if (!ReadVariable(step.mRecord, &stack[depth])) return false;
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
      if (!ReadVariable(step.mRecord, &b)) return false;
      lastNumber = step.mNumber;
      referenced = true;
    } else {
      b = *top;
      top -= 1;
      depth -= 1;
    }
    *top = ApplyBinary(step.mKind, *top, b);
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
