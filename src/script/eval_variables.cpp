// The evaluator's variable opcodes: values, references, array subscripts and
// the indirect-access variables.
#include <cstring>

#include "core/errors.h"
#include "script/eval_internal.h"
#include "script/system_variables.h"
#include "script/variables.h"

namespace eval_detail {

namespace {

struct SubscriptFrame {
  uint16_t mSlot;
  uint32_t mVariable;
  uint8_t mSigil;
};
SubscriptFrame g_subscriptFrames[kSubscriptFrames];

uint8_t SigilKind(uint8_t byte) {
  if (byte == 0x60) return kSigilGrave;
  if (byte == '#') return kSigilHash;
  return kSigilNone;
}

// Sigil byte and u16 variable number.
bool ReadVariableToken(const uint8_t* payload, uint32_t length, uint8_t* sigil, uint32_t* number) {
  if (length < 3) return false;
  *sigil = SigilKind(payload[0]);
  *number = payload[1] | static_cast<uint32_t>(payload[2]) << 8;
  return true;
}

void SetReference(uint32_t number, int64_t element, uint8_t sigil) {
  g_LastVarRef.mNumber = number;
  g_LastVarRef.mElement = element;
  g_LastVarRef.mSigil = sigil;
}

// False after reporting 108010 for a user variable without a record.
bool CheckExists(uint32_t number) {
  if (number < kFirstUserVariable || FindVariableRecord(number) != nullptr) return true;
  ReportErrorAtScriptFmt(kMsgUndefinedVariable, number);
  return false;
}

bool IsIndirectVariable(uint32_t number) {
  return number == kSysIndirectInt || number == kSysIndirectReal || number == kSysIndirectString ||
         number == kSysIndirectType;
}

int SubscriptOutOfRange() {
  ReportErrorAtScript(kMsgSubscriptOutOfRange);
  return -1;
}

// Row-major index of the subscripts over the record's dimensions, each
// subscript's low word below its dimension; -1 after a report.
int RowMajorIndex(const VariableRecord* record, const int64_t* subscripts, int count, int64_t* index) {
  int dimCount = record != nullptr ? record->mDimCount : 0;
  if (count < dimCount) return SubscriptOutOfRange();
  uint64_t result = 0;
  for (int dim = 0; dim < dimCount; ++dim) {
    auto value = static_cast<uint32_t>(subscripts[dim]);
    if (value >= static_cast<uint32_t>(record->mDims[dim])) return SubscriptOutOfRange();
    result = result * static_cast<uint32_t>(record->mDims[dim]) + value;
  }
  *index = static_cast<int64_t>(result);
  return 0;
}

// The element of an indirect-access variable: a reference whose high word
// names a variable and whose low word is its element.
int IndirectElement(const int64_t* subscripts, int count, int64_t* element) {
  if (count == 0) {
    *element = 0;
    return 0;
  }
  int64_t reference = subscripts[0];
  if (count == 1) {
    *element = reference;
    return 0;
  }
  auto target = static_cast<uint32_t>(static_cast<uint64_t>(reference) >> 32);
  const VariableRecord* record = FindVariableRecord(target);
  uint64_t index = 0;
  if (count == 2) {
    int64_t x = subscripts[1];
    if (record != nullptr && record->mDimCount == 1 && static_cast<int32_t>(reference) < record->mDims[0]) {
      if (static_cast<uint32_t>(x) >= static_cast<uint32_t>(record->mDims[0])) return SubscriptOutOfRange();
    }
    index = static_cast<uint64_t>(x);
  } else {
    if (record == nullptr || record->mDimCount != count - 1) {
      ReportErrorAtScript(kMsgIndirectSubscriptCount);
      return -1;
    }
    int64_t flat = 0;
    if (RowMajorIndex(record, subscripts + 1, count - 1, &flat) != 0) return -1;
    index = static_cast<uint64_t>(flat);
  }
  *element = static_cast<int64_t>((static_cast<uint64_t>(target) << 32) + index);
  return 0;
}

// Pushes element e of variable n in the arithmetic in use; with a sigil, the
// variable's reference instead.
int PushVariableValue(uint32_t number, int64_t element, uint8_t sigil) {
  const VariableRecord* record = FindVariableRecord(number);
  uint8_t type = record != nullptr ? record->mVarType : 0;
  if (number >= kFirstUserVariable) {
    if (sigil != kSigilNone) {
      return PushIntValue(static_cast<int64_t>((static_cast<uint64_t>(number) << 32) + static_cast<uint64_t>(element)));
    }
    switch (type) {
      case kVarInt:
        return PushIntValue(GetIntElement(number, element));
      case kVarReal:
        return PushRealValue(GetRealElement(number, element));
      case kVarString: {
        const char* text = GetStringElement(number, element);
        if (text == nullptr) return PushText("", 0);
        return PushText(text, strnlen(text, kEvalStringBytes));
      }
      default:
        return PushIntValue(0);
    }
  }
  if (sigil != kSigilNone) return PushIntValue(0);
  switch (type) {
    case kVarInt:
      return PushIntValue(ReadSystemInt(number, element));
    case kVarReal:
      return PushRealValue(ReadSystemReal(number, element));
    case kVarString: {
      if (g_EvalDepth >= kEvalStackSlots) return Malformed();
      uint16_t index = 0;
      char* buffer = NewPoolText(&index);
      if (buffer == nullptr) return -1;
      ReadSystemString(number, buffer, element);
      buffer[kEvalStringLimit] = '\0';
      size_t length = std::strlen(buffer);
      return PushPoolText(index, length);
    }
    default:
      return PushIntValue(0);
  }
}

}  // namespace

int OpVariableValue(const uint8_t* payload, uint32_t length) {
  uint8_t sigil = 0;
  uint32_t number = 0;
  if (!ReadVariableToken(payload, length, &sigil, &number)) return Malformed();
  SetReference(number, 0, sigil);
  if (g_DeclareMode != 0 && g_EvalSubscriptDepth == 0) return 0;
  if (!CheckExists(number)) return -1;
  return PushVariableValue(number, 0, sigil);
}

int OpArrayBegin(const uint8_t* payload, uint32_t length) {
  uint8_t sigil = 0;
  uint32_t number = 0;
  if (!ReadVariableToken(payload, length, &sigil, &number)) return Malformed();
  if (!(g_DeclareMode != 0 && g_EvalSubscriptDepth == 0) && !CheckExists(number)) return -1;
  if (g_EvalSubscriptDepth >= kSubscriptFrames || g_EvalDepth > kMaxSubscriptBaseSlot) return Malformed();
  SetReference(number, 0, sigil);
  g_subscriptFrames[g_EvalSubscriptDepth] = {g_EvalDepth, number, sigil};
  if (g_EvalDepth >= kEvalStackSlots) return Malformed();
  uint16_t slot = g_EvalDepth++;
  g_EvalIntStack[slot] = 0;
  g_EvalRealStack[slot] = 0.0;
  g_EvalSlotString[slot] = 0;
  g_EvalSubscriptDepth += 1;
  return 0;
}

int OpSubscriptEnd(const uint8_t*, uint32_t) {
  if (g_EvalSubscriptDepth <= 0) return Malformed();
  const SubscriptFrame frame = g_subscriptFrames[g_EvalSubscriptDepth - 1];
  if (g_EvalDepth <= frame.mSlot) return Malformed();
  int count = g_EvalDepth - frame.mSlot - 1;
  if (count > kMaxSubscripts) return Malformed();
  g_EvalSubscriptDepth -= 1;
  for (int index = 0; index < count; ++index) {
    uint16_t slot = static_cast<uint16_t>(frame.mSlot + 1 + index);
    if (g_EvalSlotString[slot] != 0) {
      ReportErrorAtScript(kMsgStringWhereNumberWanted);
      return -1;
    }
    g_SubscriptValues[index] = g_EvalIntStack[slot];
  }
  g_SubscriptCount = static_cast<int8_t>(count);
  SetReference(frame.mVariable, 0, frame.mSigil);
  if (g_DeclareMode != 0 && g_EvalSubscriptDepth == 0) return 0;

  int64_t element = 0;
  if (IsIndirectVariable(frame.mVariable)) {
    if (IndirectElement(g_SubscriptValues, count, &element) != 0) return -1;
  } else if (RowMajorIndex(FindVariableRecord(frame.mVariable), g_SubscriptValues, count, &element) != 0) {
    return -1;
  }
  g_LastVarRef.mElement = element;
  g_EvalDepth = frame.mSlot;
  return PushVariableValue(frame.mVariable, element, frame.mSigil);
}

int OpVariableRef(const uint8_t* payload, uint32_t length) {
  uint8_t sigil = 0;
  uint32_t number = 0;
  if (!ReadVariableToken(payload, length, &sigil, &number)) return Malformed();
  if (!CheckExists(number)) return -1;
  SetReference(number, 0, sigil);
  g_LastVarRef.mWholeVar = 1;
  return PushIntValue(0);
}

int OpVariableForbidden(const uint8_t*, uint32_t) {
  g_LabelEvalFailed = 1;
  return -1;
}

}  // namespace eval_detail
