#pragma once
// The evaluator's stack helpers, shared by its two source files.
#include <cstddef>
#include <cstdint>

#include "script/eval.h"

namespace eval_detail {

// Integer arithmetic in the odd modes and while a subscript is open.
inline bool IntArithmetic() { return (g_EvalMode & 1) != 0 || g_EvalSubscriptDepth != 0; }

// Reports 900030 (malformed expression) and returns -1.
int Malformed();
// Push a number in the arithmetic in use; -1 on a full stack.
inline int PushIntValue(int64_t value) {
  if (g_EvalDepth >= kEvalStackSlots) return Malformed();
  uint16_t slot = g_EvalDepth++;
  if (IntArithmetic()) {
    g_EvalIntStack[slot] = value;
  } else {
    g_EvalRealStack[slot] = static_cast<double>(value);
  }
  g_EvalSlotString[slot] = 0;
  return 0;
}
inline int PushRealValue(double value) {
  if (g_EvalDepth >= kEvalStackSlots) return Malformed();
  uint16_t slot = g_EvalDepth++;
  if (IntArithmetic()) {
    g_EvalIntStack[slot] = TruncateRealToInt(value);
  } else {
    g_EvalRealStack[slot] = value;
  }
  g_EvalSlotString[slot] = 0;
  return 0;
}
// Takes a new pool buffer for a string; null after a report.
char* NewPoolText(uint16_t* index);
// Puts pool text `index` of `length` bytes into the next slot.
int PushPoolText(uint16_t index, size_t length);
// Pushes a copy of a text, cut to kEvalStringLimit on a character boundary.
int PushText(const char* text, size_t length);
// The length of a pool text.
size_t PoolTextLength(uint16_t index);
void SetPoolTextLength(uint16_t index, size_t length);

// Texts: "M", "s" and "i".
int OpStringLiteral(const uint8_t* payload, uint32_t length);
int OpToString(const uint8_t* payload, uint32_t length);
int OpToNumber(const uint8_t* payload, uint32_t length);

// The variable opcodes.
int OpVariableValue(const uint8_t* payload, uint32_t length);
int OpArrayBegin(const uint8_t* payload, uint32_t length);
int OpSubscriptEnd(const uint8_t* payload, uint32_t length);
int OpVariableRef(const uint8_t* payload, uint32_t length);
int OpVariableForbidden(const uint8_t* payload, uint32_t length);

}  // namespace eval_detail
