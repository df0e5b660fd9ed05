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
};

// Record by variable number, 0..g_VariableCount - 1.
extern VariableRecord** g_VariableTable;
extern uint32_t g_VariableCount;

// Build variable n's storage from its dimensions and set every element to
// the value. 0, or -1 after a fatal report.
int MakeIntArray(uint32_t n, int64_t value);
int MakeRealArray(uint32_t n, double value);
int MakeStringArray(uint32_t n, const char* text, size_t length);
// Frees the storage a record owns (not the record).
void FreeVariableStorage(VariableRecord* record);
