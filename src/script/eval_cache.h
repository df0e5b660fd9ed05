#pragma once
// Integer evaluation of the loaded script files' expressions through a table
// of decoded forms kept by expression address. Only for expressions inside a
// loaded script file's expression section: an address is taken to hold the
// same bytes until DropEvalCache runs (when script files are freed).
#include <cstdint>

#include "script/eval.h"

// EvalInt with the same results, stack slot 0, last reference and reports.
int64_t EvalScriptInt(const uint8_t* expression, uint32_t length);
// EvalByIntEntry for a script file's expression.
inline int64_t EvalScriptByIntEntry(uint32_t type, const uint8_t* expression, uint32_t length) {
  if (type < kEvalIntEntries && g_EvalIntEntry[type] == EvalInt) return EvalScriptInt(expression, length);
  return EvalByIntEntry(type, expression, length);
}
// Forgets every decoded expression.
void DropEvalCache();
