// The variable store: element storage of the numbered variables.
#include "script/variables.h"

#include <cstdlib>
#include <cstring>

#include "core/errors.h"

namespace {

// The element count of the record's dimensions; -1 after a report.
int64_t ComputeElementCount(const VariableRecord* record) {
  int64_t count = 1;
  for (int dim = 0; dim < record->mDimCount && dim < kMaxDimensions; ++dim) {
    count *= record->mDims[dim];
    if (count > kMaxElementCount || count <= 0) break;
  }
  if (count > kMaxElementCount) {
    ReportErrorAtScriptFmt(101100, 1, static_cast<int64_t>(kMaxElementCount));
    return -1;
  }
  if (count <= 0) {
    ReportErrorAtScript(101110, 1);
    return -1;
  }
  return count;
}

// Frees the old storage (sized by the old count) and takes the new count.
VariableRecord* PrepareRecord(uint32_t n) {
  VariableRecord* record = n < g_VariableCount ? g_VariableTable[n] : nullptr;
  if (record == nullptr) return nullptr;
  int64_t count = ComputeElementCount(record);
  if (count < 0) return nullptr;
  FreeVariableStorage(record);
  record->mCount = count;
  return record;
}

}  // namespace

void FreeVariableStorage(VariableRecord* record) {
  if (record == nullptr) return;
  std::free(record->mInts);
  std::free(record->mReals);
  if (record->mStrings != nullptr) {
    for (int64_t index = 0; index < record->mCount; ++index) std::free(record->mStrings[index]);
  }
  std::free(record->mStrings);
  std::free(record->mCapacities);
  record->mInts = nullptr;
  record->mReals = nullptr;
  record->mStrings = nullptr;
  record->mCapacities = nullptr;
}

int MakeIntArray(uint32_t n, int64_t value) {
  VariableRecord* record = PrepareRecord(n);
  if (record == nullptr) return -1;
  record->mVarType = kVarInt;
  record->mInts = static_cast<int64_t*>(std::malloc(record->mCount * sizeof(int64_t)));
  if (record->mInts == nullptr) {
    ReportError(100010, 1);
    return -1;
  }
  for (int64_t index = 0; index < record->mCount; ++index) record->mInts[index] = value;
  return 0;
}

int MakeRealArray(uint32_t n, double value) {
  VariableRecord* record = PrepareRecord(n);
  if (record == nullptr) return -1;
  record->mVarType = kVarReal;
  record->mReals = static_cast<double*>(std::malloc(record->mCount * sizeof(double)));
  if (record->mReals == nullptr) {
    ReportError(100010, 1);
    return -1;
  }
  for (int64_t index = 0; index < record->mCount; ++index) record->mReals[index] = value;
  return 0;
}

int MakeStringArray(uint32_t n, const char* text, size_t length) {
  VariableRecord* record = PrepareRecord(n);
  if (record == nullptr) return -1;
  record->mVarType = kVarString;
  record->mStrings = static_cast<char**>(std::calloc(record->mCount, sizeof(char*)));
  record->mCapacities = static_cast<uint16_t*>(std::calloc(record->mCount, sizeof(uint16_t)));
  if (record->mStrings == nullptr || record->mCapacities == nullptr) {
    ReportError(100010, 1);
    return -1;
  }
  for (int64_t index = 0; index < record->mCount; ++index) {
    record->mStrings[index] = static_cast<char*>(std::malloc(length + 1));
    if (record->mStrings[index] == nullptr) {
      ReportError(100010, 1);
      return -1;
    }
    std::memcpy(record->mStrings[index], text, length);
    record->mStrings[index][length] = '\0';
    record->mCapacities[index] = static_cast<uint16_t>(length + 1);
  }
  return 0;
}
