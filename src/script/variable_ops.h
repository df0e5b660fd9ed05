#pragma once
// Whole-variable operations of the variable commands.
#include <cstdint>

// Resizes one-dimensional variable n to count elements, keeping the first
// ones; new elements are 0, 0.0 or the empty text. 0 or -1.
int ResizeArray1D(uint32_t n, int64_t count);
// Rebuilds the global variables from their definitions (key -1): groups 1-4
// only where bit (group - 1) of the mask of their type is set, every other
// group always. 0 or -1 after a report.
int ResetVariablesFromDefinitions(int key, int intMask, int realMask, int stringMask);
// a-z become A-Z in place; double-byte characters are stepped over.
void UpperCaseAscii(char* text);
