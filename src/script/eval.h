#pragma once
// The expression evaluator's entries used outside argument fetching.
#include <cstddef>
#include <cstdint>

constexpr size_t kEvalStringBytes = 4096;

// Set when an expression read a variable while variables are forbidden
// (label resolution at script load, FillOperatorTable(0)).
extern uint8_t g_LabelEvalFailed;

// Runs an expression as a string with integer arithmetic and copies the
// result into buffer (kEvalStringBytes). Returns the text's length; 0 and
// nothing copied when the result is a number.
size_t EvalStringInt(char* buffer, const uint8_t* expression, size_t length);
