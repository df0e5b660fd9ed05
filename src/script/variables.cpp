// The variable store: element storage of the numbered variables, element
// access and the building of arrays.
#include "script/variables.h"

#include <cstdlib>
#include <cstring>

#include "core/errors.h"
#include "script/eval.h"
#include "script/system_variables.h"

namespace {

int WrongType() {
  ReportErrorAtScript(kMsgElementTypeMismatch);
  return -1;
}

// The element count of dimensions: -1 after a report. Every dimension must
// be positive (a product of negative sizes is refused too).
int64_t CountElements(int dimCount, const int32_t* dims) {
  int64_t count = 1;
  for (int dim = 0; dim < dimCount && dim < kMaxDimensions; ++dim) {
    if (dims[dim] <= 0) {
      ReportErrorAtScript(kMsgArrayCountNotPositive);
      return -1;
    }
    count *= dims[dim];
    if (count > kMaxElementCount) {
      ReportErrorAtScriptFmt(kMsgArrayTooLarge, static_cast<int64_t>(kMaxElementCount));
      return -1;
    }
  }
  return count;
}

// New storage of one type for `count` elements, committed to the record
// with its dimensions only when every allocation succeeded.
struct NewStorage {
  int64_t* mInts = nullptr;
  double* mReals = nullptr;
  char** mStrings = nullptr;
  uint16_t* mCapacities = nullptr;
};

void FreeStrings(char** strings, int64_t count) {
  if (strings == nullptr) return;
  for (int64_t index = 0; index < count; ++index) std::free(strings[index]);
  std::free(strings);
}

VariableRecord* RecordForBuild(uint32_t n) {
  VariableRecord* record = FindVariableRecord(n);
  if (record == nullptr) ReportErrorAtScriptFmt(kMsgUndefinedVariable, n);
  return record;
}

void Commit(VariableRecord* record, uint8_t type, int dimCount, const int32_t* dims, int64_t count,
            const NewStorage& storage) {
  int32_t copy[kMaxDimensions] = {};
  for (int dim = 0; dim < dimCount && dim < kMaxDimensions; ++dim) copy[dim] = dims[dim];
  FreeVariableStorage(record);
  record->mVarType = type;
  record->mDimCount = static_cast<uint8_t>(dimCount);
  std::memcpy(record->mDims, copy, sizeof(copy));
  record->mCount = count;
  record->mInts = storage.mInts;
  record->mReals = storage.mReals;
  record->mStrings = storage.mStrings;
  record->mCapacities = storage.mCapacities;
  record->mStringCount = storage.mStrings != nullptr ? count : 0;
}

int NoMemory() {
  ReportError(kMsgOutOfMemory);
  return -1;
}

}  // namespace

int64_t GetIntElement(uint32_t n, int64_t i) {
  const VariableRecord* record = FindVariableRecord(n);
  if (!ElementInRange(record, i)) return 0;
  if (n < kFirstUserVariable) return ReadSystemInt(n, i);
  if (record->mVarType != kVarInt || record->mInts == nullptr) return 0;
  return record->mInts[static_cast<uint32_t>(i)];
}

double GetRealElement(uint32_t n, int64_t i) {
  const VariableRecord* record = FindVariableRecord(n);
  if (!ElementInRange(record, i)) return 0.0;
  if (n < kFirstUserVariable) return ReadSystemReal(n, i);
  if (record->mVarType != kVarReal || record->mReals == nullptr) return 0.0;
  return record->mReals[static_cast<uint32_t>(i)];
}

const char* GetStringElement(uint32_t n, int64_t i) {
  const VariableRecord* record = FindVariableRecord(n);
  if (!ElementInRange(record, i) || record->mVarType != kVarString || record->mStrings == nullptr) return nullptr;
  if (n < kFirstUserVariable) {
    char buffer[kEvalStringBytes];
    buffer[0] = '\0';
    ReadSystemString(n, buffer, i);
    buffer[kEvalStringBytes - 1] = '\0';
    if (SetStringElement(n, i, buffer) != 0) return nullptr;
  }
  return record->mStrings[static_cast<uint32_t>(i)];
}

int SetNumberElement(uint32_t n, int64_t i, int64_t value) {
  VariableRecord* record = FindVariableRecord(n);
  if (!ElementInRange(record, i)) return -1;
  auto index = static_cast<uint32_t>(i);
  if (record->mVarType == kVarInt && record->mInts != nullptr) {
    record->mInts[index] = value;
  } else if (record->mVarType == kVarReal && record->mReals != nullptr) {
    record->mReals[index] = static_cast<double>(value);
  } else {
    WrongType();
  }
  return 0;
}

int SetRealElement(uint32_t n, int64_t i, double value) {
  VariableRecord* record = FindVariableRecord(n);
  if (!ElementInRange(record, i)) return -1;
  auto index = static_cast<uint32_t>(i);
  if (record->mVarType == kVarInt && record->mInts != nullptr) {
    record->mInts[index] = TruncateRealToInt(value);
  } else if (record->mVarType == kVarReal && record->mReals != nullptr) {
    record->mReals[index] = value;
  } else {
    WrongType();
  }
  return 0;
}

void WriteEmptyElement(uint32_t n, int64_t i) {
  const VariableRecord* variable = FindVariableRecord(n);
  if (variable != nullptr && variable->mVarType == kVarString) {
    SetStringElement(n, i, "");
  } else if (variable != nullptr && variable->mVarType == kVarReal) {
    SetRealElement(n, i, 0.0);
  } else {
    SetNumberElement(n, i, 0);
  }
}

int SetStringElement(uint32_t n, int64_t i, const char* text) {
  return SetStringElementBytes(n, i, text, text != nullptr ? std::strlen(text) : 0);
}

int SetStringElementBytes(uint32_t n, int64_t i, const char* bytes, size_t length) {
  VariableRecord* record = FindVariableRecord(n);
  if (!ElementInRange(record, i)) return -1;
  if (record->mVarType != kVarString || record->mStrings == nullptr) return WrongType();
  return WriteStringElement(n, i, bytes, length);
}

int WriteStringElement(uint32_t n, int64_t i, const char* bytes, size_t length) {
  VariableRecord* record = FindVariableRecord(n);
  if (!ElementInRange(record, i) || record->mStrings == nullptr) return -1;
  auto index = static_cast<uint32_t>(i);
  char*& element = record->mStrings[index];
  // The stored capacity is the low 16 bits of the size: never more than the
  // buffer holds.
  if (element == nullptr || record->mCapacities[index] < length + 1) {
    char* grown = static_cast<char*>(std::realloc(element, length + 1));
    if (grown == nullptr) return NoMemory();
    element = grown;
    record->mCapacities[index] = static_cast<uint16_t>(length + 1);
  }
  if (length > 0) std::memmove(element, bytes, length);
  element[length] = '\0';
  return 0;
}

int ComputeElementCount(uint32_t n) {
  VariableRecord* record = RecordForBuild(n);
  if (record == nullptr) return -1;
  int64_t count = CountElements(record->mDimCount, record->mDims);
  if (count < 0) return -1;
  record->mCount = count;
  return 0;
}

void FreeVariableStorage(VariableRecord* record) {
  if (record == nullptr) return;
  std::free(record->mInts);
  std::free(record->mReals);
  FreeStrings(record->mStrings, record->mStringCount);
  std::free(record->mCapacities);
  record->mInts = nullptr;
  record->mReals = nullptr;
  record->mStrings = nullptr;
  record->mCapacities = nullptr;
  record->mStringCount = 0;
}

int MakeIntArrayDims(uint32_t n, int dimCount, const int32_t* dims, int64_t value) {
  VariableRecord* record = RecordForBuild(n);
  if (record == nullptr) return -1;
  int64_t count = CountElements(dimCount, dims);
  if (count < 0) return -1;
  NewStorage storage;
  storage.mInts = static_cast<int64_t*>(std::malloc(static_cast<size_t>(count) * sizeof(int64_t)));
  if (storage.mInts == nullptr) return NoMemory();
  for (int64_t index = 0; index < count; ++index) storage.mInts[index] = value;
  Commit(record, kVarInt, dimCount, dims, count, storage);
  return 0;
}

int MakeRealArrayDims(uint32_t n, int dimCount, const int32_t* dims, double value) {
  VariableRecord* record = RecordForBuild(n);
  if (record == nullptr) return -1;
  int64_t count = CountElements(dimCount, dims);
  if (count < 0) return -1;
  NewStorage storage;
  storage.mReals = static_cast<double*>(std::malloc(static_cast<size_t>(count) * sizeof(double)));
  if (storage.mReals == nullptr) return NoMemory();
  for (int64_t index = 0; index < count; ++index) storage.mReals[index] = value;
  Commit(record, kVarReal, dimCount, dims, count, storage);
  return 0;
}

int MakeStringArrayDims(uint32_t n, int dimCount, const int32_t* dims, const char* text, size_t length) {
  VariableRecord* record = RecordForBuild(n);
  if (record == nullptr) return -1;
  int64_t count = CountElements(dimCount, dims);
  if (count < 0) return -1;
  NewStorage storage;
  storage.mStrings = static_cast<char**>(std::calloc(static_cast<size_t>(count), sizeof(char*)));
  storage.mCapacities = static_cast<uint16_t*>(std::calloc(static_cast<size_t>(count), sizeof(uint16_t)));
  bool failed = storage.mStrings == nullptr || storage.mCapacities == nullptr;
  for (int64_t index = 0; !failed && index < count; ++index) {
    storage.mStrings[index] = static_cast<char*>(std::malloc(length + 1));
    failed = storage.mStrings[index] == nullptr;
    if (failed) break;
    if (length > 0) std::memcpy(storage.mStrings[index], text, length);
    storage.mStrings[index][length] = '\0';
    storage.mCapacities[index] = static_cast<uint16_t>(length + 1);
  }
  if (failed) {
    FreeStrings(storage.mStrings, storage.mStrings != nullptr ? count : 0);
    std::free(storage.mCapacities);
    return NoMemory();
  }
  Commit(record, kVarString, dimCount, dims, count, storage);
  return 0;
}

int MakeIntArray(uint32_t n, int64_t value) {
  VariableRecord* record = RecordForBuild(n);
  if (record == nullptr) return -1;
  int32_t dims[kMaxDimensions];
  std::memcpy(dims, record->mDims, sizeof(dims));
  return MakeIntArrayDims(n, record->mDimCount, dims, value);
}

int MakeRealArray(uint32_t n, double value) {
  VariableRecord* record = RecordForBuild(n);
  if (record == nullptr) return -1;
  int32_t dims[kMaxDimensions];
  std::memcpy(dims, record->mDims, sizeof(dims));
  return MakeRealArrayDims(n, record->mDimCount, dims, value);
}

int MakeStringArray(uint32_t n, const char* text, size_t length) {
  VariableRecord* record = RecordForBuild(n);
  if (record == nullptr) return -1;
  int32_t dims[kMaxDimensions];
  std::memcpy(dims, record->mDims, sizeof(dims));
  return MakeStringArrayDims(n, record->mDimCount, dims, text, length);
}
