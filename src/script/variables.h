#pragma once
// Numbered script variables. Numbers below 1000 are system variables whose
// values are computed from engine state on every read.
#include <cstddef>
#include <cstdint>

constexpr int kMaxDimensions = 8;
constexpr int64_t kMaxElementCount = 4000000;
constexpr uint32_t kFirstUserVariable = 1000;

enum : uint8_t { kVarInt = 1, kVarReal = 2, kVarString = 3 };

struct VariableRecord {
  uint8_t mGroup;
  uint8_t mVarType;
  uint8_t mDimCount;
  int32_t mDims[kMaxDimensions];
  int64_t mCount;
  int64_t* mInts;
  double* mReals;
  char** mStrings;
  uint16_t* mCapacities;
  int64_t mStringCount;  // elements mStrings and mCapacities were allocated for
};

// Record by variable number, 0..g_VariableCount - 1.
extern VariableRecord** g_VariableTable;
extern uint32_t g_VariableCount;

// The record of a variable number; null when the number has none.
inline VariableRecord* FindVariableRecord(uint32_t n) {
  return g_VariableTable != nullptr && n < g_VariableCount ? g_VariableTable[n] : nullptr;
}

// Element access. The element index's low 32 bits are used; an index is in
// range when it is below the element count. Getters give 0, 0.0 or null out
// of range (or for a variable of another type); setters return -1 out of
// range without a message and report 101140 (fatal) for a variable of the
// wrong type.
int64_t GetIntElement(uint32_t n, int64_t i);
double GetRealElement(uint32_t n, int64_t i);
// For a system variable the value is computed into the variable's own
// element first. The text stays valid until the element is written again.
const char* GetStringElement(uint32_t n, int64_t i);
int SetNumberElement(uint32_t n, int64_t i, int64_t value);
int SetRealElement(uint32_t n, int64_t i, double value);
int SetStringElement(uint32_t n, int64_t i, const char* text);
int SetStringElementBytes(uint32_t n, int64_t i, const char* bytes, size_t length);
// No checks beyond the buffer: grows it to length + 1 when needed.
int WriteStringElement(uint32_t n, int64_t i, const char* bytes, size_t length);
// Writes the empty value of the variable's type: "", 0.0 or 0.
void WriteEmptyElement(uint32_t n, int64_t i);
// True when i is an element of the variable.
inline bool ElementInRange(const VariableRecord* record, int64_t i) {
  return record != nullptr && static_cast<uint32_t>(i) < static_cast<uint64_t>(record->mCount);
}

// The element count of the record's dimensions into mCount: 0, or -1 after
// reporting 101100 (above 4,000,000) or 101110 (a dimension of 0 or less).
int ComputeElementCount(uint32_t n);
// Build variable n's storage from its dimensions and set every element to
// the value. 0, or -1 after a fatal report; on failure the record keeps its
// storage and count.
int MakeIntArray(uint32_t n, int64_t value);
int MakeRealArray(uint32_t n, double value);
int MakeStringArray(uint32_t n, const char* text, size_t length);
// The same with new dimensions, which the record takes only on success.
int MakeIntArrayDims(uint32_t n, int dimCount, const int32_t* dims, int64_t value);
int MakeRealArrayDims(uint32_t n, int dimCount, const int32_t* dims, double value);
int MakeStringArrayDims(uint32_t n, int dimCount, const int32_t* dims, const char* text, size_t length);
// Frees the storage a record owns (not the record).
void FreeVariableStorage(VariableRecord* record);

// The assignment operators: 0 "=", 1 "+=", 2 "-=", 3 "*=", 4 "/=", 5 "%=",
// 6 "&=", 7 "|=", 8 "^=". Entries 0-8 for integer variables, 9-17 for real
// variables; each does nothing for an element out of range.
constexpr int kAssignOperators = 9;
using AssignIntRoutine = void (*)(uint32_t n, int64_t i, int64_t value);
using AssignRealRoutine = void (*)(uint32_t n, int64_t i, double value);
struct AssignOperatorEntry {
  AssignIntRoutine mInt;
  AssignRealRoutine mReal;
};
extern AssignOperatorEntry g_AssignOperatorTable[2 * kAssignOperators];
// The result of an integer assignment operator on an element value (wrapping;
// a zero divisor keeps the value).
inline int64_t ApplyIntAssign(uint8_t op, int64_t current, int64_t value) {
  auto a = static_cast<uint64_t>(current);
  auto b = static_cast<uint64_t>(value);
  switch (op) {
    case 0:
      return value;
    case 1:
      return static_cast<int64_t>(a + b);
    case 2:
      return static_cast<int64_t>(a - b);
    case 3:
      return static_cast<int64_t>(a * b);
    case 4:
      if (value == 0) return current;
      if (value == -1) return static_cast<int64_t>(0 - a);
      return current / value;
    case 5:
      if (value == 0) return current;
      if (value == -1) return 0;
      return current % value;
    case 6:
      return current & value;
    case 7:
      return current | value;
    case 8:
      return current ^ value;
    default:
      return current;
  }
}
// The same for a real element; false when the element stays unchanged.
bool ApplyRealAssign(uint8_t op, double current, double value, double* result);

// The commands.
int32_t CmdDeclareInt();
int32_t CmdDeclareReal();
int32_t CmdRedefineStringVar();
int32_t CmdAssign();

// Frees the work buffers of the declarations and the assignment command.
void ReleaseVariableCommands();
