// Operations on whole variables and texts: number and text conversion,
// substrings, case and width, one-dimensional array resize, insert and
// delete; and the questions about a variable.
#include "script/variable_ops.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/sjis.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/script_data.h"
#include "script/variables.h"

namespace {

// The full-width form in code page 932 of each single byte (0: none):
// printable ASCII and the half-width katakana. The quotation mark and the
// apostrophe take the codes the system's converter gives them (0xFA57,
// 0xFA56); the voiced and semi-voiced marks become the spacing marks.
constexpr uint16_t kWideForm[256] = {
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x8140, 0x8149, 0xFA57, 0x8194, 0x8190, 0x8193, 0x8195, 0xFA56, 0x8169, 0x816A,
    0x8196, 0x817B, 0x8143, 0x817C, 0x8144, 0x815E, 0x824F, 0x8250, 0x8251, 0x8252, 0x8253, 0x8254, 0x8255, 0x8256,
    0x8257, 0x8258, 0x8146, 0x8147, 0x8183, 0x8181, 0x8184, 0x8148, 0x8197, 0x8260, 0x8261, 0x8262, 0x8263, 0x8264,
    0x8265, 0x8266, 0x8267, 0x8268, 0x8269, 0x826A, 0x826B, 0x826C, 0x826D, 0x826E, 0x826F, 0x8270, 0x8271, 0x8272,
    0x8273, 0x8274, 0x8275, 0x8276, 0x8277, 0x8278, 0x8279, 0x816D, 0x815F, 0x816E, 0x814F, 0x8151, 0x814D, 0x8281,
    0x8282, 0x8283, 0x8284, 0x8285, 0x8286, 0x8287, 0x8288, 0x8289, 0x828A, 0x828B, 0x828C, 0x828D, 0x828E, 0x828F,
    0x8290, 0x8291, 0x8292, 0x8293, 0x8294, 0x8295, 0x8296, 0x8297, 0x8298, 0x8299, 0x829A, 0x816F, 0x8162, 0x8170,
    0x8160, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340,
    0x8342, 0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387, 0x8362, 0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349,
    0x834A, 0x834C, 0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E, 0x8360, 0x8363, 0x8365,
    0x8367, 0x8369, 0x836A, 0x836B, 0x836C, 0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D, 0x837E, 0x8380,
    0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389, 0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000,
};

// The other code page 932 codes of the full-width quotation mark and
// apostrophe narrow as well.
constexpr uint16_t kNecQuotationMark = 0xEEFC;
constexpr uint16_t kNecApostrophe = 0xEEFB;

constexpr size_t kWidthOutputBytes = 4095;

struct VarRef {
  uint32_t mNumber;
  int64_t mElement;
  VariableRecord* mRecord;  // null when absent or without a record
  bool mPresent;
};

VarRef RefOf(int id) {
  int slot = ArgSlot(id);
  if (slot == 0) return {0, 0, nullptr, false};
  auto number = static_cast<uint32_t>(g_ArgVarId[slot]);
  return {number, g_ArgVarElement[slot], FindVariableRecord(number), true};
}

bool IsString(const VarRef& ref) { return ref.mRecord != nullptr && ref.mRecord->mVarType == kVarString; }

int64_t IntArg(int id, int64_t fallback) {
  int slot = ArgSlot(id);
  return slot != 0 ? g_ArgInt[slot] : fallback;
}

const char* CommandLabel(int command) {
  const char* name = g_CommandNames[command];
  return name != nullptr ? name : "";
}

int Fail(MessageId id) {
  ReportErrorAtScript(id);
  return -1;
}

std::string ElementText(const VarRef& ref) {
  const char* text = GetStringElement(ref.mNumber, ref.mElement);
  return text != nullptr ? std::string(text) : std::string();
}

// Byte offsets of each character start, plus the end.
std::vector<size_t> CharStarts(const std::string& text) {
  std::vector<size_t> starts;
  size_t i = 0;
  while (i < text.size()) {
    starts.push_back(i);
    i += SjisCharLength(text, i);
  }
  starts.push_back(text.size());
  return starts;
}

int Convert(const VarRef& a, const VarRef& b) {
  if (a.mRecord == nullptr || b.mRecord == nullptr || a.mRecord->mVarType == b.mRecord->mVarType ||
      (a.mRecord->mVarType != kVarString && b.mRecord->mVarType != kVarString)) {
    return Fail(kMsgConversionTypeMismatch);
  }
  char buffer[512];
  if (a.mRecord->mVarType == kVarInt) {
    std::snprintf(buffer, sizeof(buffer), "%" PRId64, GetIntElement(a.mNumber, a.mElement));
    return SetStringElement(b.mNumber, b.mElement, buffer) < 0 ? -1 : 0;
  }
  if (a.mRecord->mVarType == kVarReal) {
    std::snprintf(buffer, sizeof(buffer), "%f", GetRealElement(a.mNumber, a.mElement));
    return SetStringElement(b.mNumber, b.mElement, buffer) < 0 ? -1 : 0;
  }
  std::string text = ElementText(a);
  if (text.size() >= 2 && text[0] == '0' && text[1] == 'x') {
    size_t digits = text.size() - 2;
    if (digits < 1 || digits > 16) return Fail(kMsgTextNotANumber);
    uint64_t value = 0;
    for (size_t i = 2; i < text.size(); ++i) {
      char c = text[i];
      int digit = c >= '0' && c <= '9'   ? c - '0'
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                         : -1;
      if (digit < 0) return Fail(kMsgTextNotANumber);
      value = value * 16 + static_cast<uint64_t>(digit);
    }
    return SetNumberElement(b.mNumber, b.mElement, static_cast<int64_t>(value)) < 0 ? -1 : 0;
  }
  bool real = false;
  for (char c : text) {
    if (c == '.') {
      real = true;
    } else if ((c < '0' || c > '9') && c != '-') {
      return Fail(kMsgTextNotANumber);
    }
  }
  if (real) return SetRealElement(b.mNumber, b.mElement, std::strtod(text.c_str(), nullptr)) < 0 ? -1 : 0;
  return SetNumberElement(b.mNumber, b.mElement, std::strtoll(text.c_str(), nullptr, 10)) < 0 ? -1 : 0;
}

// Substring (removal false) or removal of characters start .. start + length
// - 1.
int CutText(const VarRef& a, const VarRef& b, bool removal) {
  if (!IsString(a) || (b.mPresent && !IsString(b))) return Fail(kMsgNotAStringVariable);
  std::string text = ElementText(a);
  std::vector<size_t> starts = CharStarts(text);
  auto count = static_cast<int64_t>(starts.size() - 1);
  int64_t start = IntArg(4, 1) - 1;
  if (start < 0) start = 0;
  int64_t length = IntArg(5, 0);
  if (start > count) return Fail(removal ? kMsgRemovalStartPastEnd : kMsgSubstringStartPastEnd);
  if (length < 0) length = 0;
  if (length > count - start) return Fail(removal ? kMsgRemovalLengthPastEnd : kMsgSubstringLengthPastEnd);
  size_t from = starts[static_cast<size_t>(start)];
  size_t to = starts[static_cast<size_t>(start + length)];
  std::string result = removal ? text.substr(0, from) + text.substr(to) : text.substr(from, to - from);
  const VarRef& target = b.mPresent ? b : a;
  return SetStringElementBytes(target.mNumber, target.mElement, result.data(), result.size()) < 0 ? -1 : 0;
}

// Case: ASCII letters, and with multibyte also the full-width Latin letters.
std::string ChangeCase(const std::string& text, bool upper, bool multibyte) {
  std::string result = text;
  size_t i = 0;
  while (i < result.size()) {
    size_t step = SjisCharLength(result, i);
    auto c = static_cast<uint8_t>(result[i]);
    if (step == 1) {
      if (upper && c >= 'a' && c <= 'z') result[i] = static_cast<char>(c - 32);
      if (!upper && c >= 'A' && c <= 'Z') result[i] = static_cast<char>(c + 32);
    } else if (multibyte && c == 0x82) {
      auto trail = static_cast<uint8_t>(result[i + 1]);
      if (upper && trail >= 0x81 && trail <= 0x9A) result[i + 1] = static_cast<char>(trail - 0x21);
      if (!upper && trail >= 0x60 && trail <= 0x79) result[i + 1] = static_cast<char>(trail + 0x21);
    }
    i += step;
  }
  return result;
}

std::string ChangeWidth(const std::string& text, bool wide) {
  std::string result;
  size_t i = 0;
  while (i < text.size()) {
    size_t step = SjisCharLength(text, i);
    auto c = static_cast<uint8_t>(text[i]);
    std::string piece = text.substr(i, step);
    if (wide && step == 1 && kWideForm[c] != 0) {
      piece = {static_cast<char>(kWideForm[c] >> 8), static_cast<char>(kWideForm[c] & 0xFF)};
    } else if (!wide && step == 2) {
      uint16_t code = static_cast<uint16_t>(c << 8 | static_cast<uint8_t>(text[i + 1]));
      if (code == kNecQuotationMark) code = kWideForm[static_cast<uint8_t>('"')];
      if (code == kNecApostrophe) code = kWideForm[static_cast<uint8_t>('\'')];
      for (int k = 0; k < 256; ++k) {
        if (kWideForm[k] == code) {
          piece = std::string(1, static_cast<char>(k));
          break;
        }
      }
    }
    // The output stops before a character that no longer fits.
    if (result.size() + piece.size() > kWidthOutputBytes) break;
    result += piece;
    i += step;
  }
  return result;
}

int CaseOrWidth(int id, const VarRef& a, const VarRef& b) {
  if (!IsString(a) || !IsString(b)) return Fail(kMsgNotAStringVariable);
  std::string text = ElementText(a);
  std::string result;
  switch (id) {
    case 7:
      result = ChangeCase(text, true, false);
      break;
    case 8:
      result = ChangeCase(text, true, true);
      break;
    case 9:
      result = ChangeCase(text, false, false);
      break;
    case 10:
      result = ChangeCase(text, false, true);
      break;
    case 11:
      result = ChangeWidth(text, true);
      break;
    default:
      result = ChangeWidth(text, false);
      break;
  }
  return SetStringElementBytes(b.mNumber, b.mElement, result.data(), result.size()) < 0 ? -1 : 0;
}

void ClearElement(VariableRecord* record, uint32_t n, int64_t i) {
  if (record->mVarType == kVarInt) SetNumberElement(n, i, 0);
  if (record->mVarType == kVarReal) SetRealElement(n, i, 0.0);
  if (record->mVarType == kVarString) SetStringElementBytes(n, i, "", 0);
}

void CopyElement(VariableRecord* record, uint32_t n, int64_t from, int64_t to) {
  if (record->mVarType == kVarInt) SetNumberElement(n, to, GetIntElement(n, from));
  if (record->mVarType == kVarReal) SetRealElement(n, to, GetRealElement(n, from));
  if (record->mVarType == kVarString) {
    std::string text = GetStringElement(n, from) != nullptr ? GetStringElement(n, from) : "";
    SetStringElementBytes(n, to, text.data(), text.size());
  }
}

bool OneDimensional(const VarRef& a, const char* message) {
  if (a.mRecord != nullptr && a.mRecord->mDimCount == 1) return true;
  ShowMessageBox("", message);
  return false;
}

// Insert (delete false) or delete at position p of a one-dimensional array.
int ShiftArray(int id, const VarRef& a, bool remove) {
  if (!OneDimensional(a, remove ? "配列削除処理をしようとしましたが、この変数は"
                                  "１次元配列ではありません。"
                                : "配列挿入処理をしようとしましたが、この変数は"
                                  "１次元配列ではありません。")) {
    return -1;
  }
  int64_t size = a.mRecord->mDims[0];
  int64_t p = IntArg(id, 0);
  if (p < 0 || p >= size) {
    ReportErrorAtScriptFmt(kMsgArgumentOutOfRange, CommandLabel(kCommandVariableOps), remove ? "delete" : "insert", p,
                           static_cast<int64_t>(0), size - 1);
    return -1;
  }
  if (remove) {
    for (int64_t i = p; i + 1 < size; ++i) CopyElement(a.mRecord, a.mNumber, i + 1, i);
    ClearElement(a.mRecord, a.mNumber, size - 1);
  } else {
    for (int64_t i = size - 1; i > p; --i) CopyElement(a.mRecord, a.mNumber, i - 1, i);
    ClearElement(a.mRecord, a.mNumber, p);
  }
  return 0;
}

int Resize(const VarRef& a) {
  if (!OneDimensional(a,
                      "配列サイズを変更しようとしましたが、この変数は１次元"
                      "配列ではありません。"))
    return -1;
  int slot = ArgSlot(13);
  int64_t current = a.mRecord->mDims[0];
  int64_t size = ApplyValueOp(g_ArgOperator[slot], current, g_ArgInt[slot]);
  if (size <= 0) {
    ShowMessageBox("", "変更後の配列サイズが不正です。");
    return -1;
  }
  if (size == current) return 0;
  return ResizeArray1D(a.mNumber, size);
}

}  // namespace

int ResizeArray1D(uint32_t n, int64_t count) {
  VariableRecord* record = FindVariableRecord(n);
  if (record == nullptr || count <= 0) return -1;
  if (count > kMaxElementCount) {
    ReportErrorAtScriptFmt(kMsgArrayTooLarge, kMaxElementCount);
    return -1;
  }
  int64_t keep = record->mCount < count ? record->mCount : count;
  auto dims = static_cast<int32_t>(count);
  if (record->mVarType == kVarInt) {
    std::vector<int64_t> old(record->mInts, record->mInts + keep);
    if (MakeIntArrayDims(n, 1, &dims, 0) != 0) return -1;
    for (int64_t i = 0; i < keep; ++i) record->mInts[i] = old[static_cast<size_t>(i)];
  } else if (record->mVarType == kVarReal) {
    std::vector<double> old(record->mReals, record->mReals + keep);
    if (MakeRealArrayDims(n, 1, &dims, 0.0) != 0) return -1;
    for (int64_t i = 0; i < keep; ++i) record->mReals[i] = old[static_cast<size_t>(i)];
  } else if (record->mVarType == kVarString) {
    std::vector<std::string> old;
    for (int64_t i = 0; i < keep; ++i) old.emplace_back(record->mStrings[i] != nullptr ? record->mStrings[i] : "");
    if (MakeStringArrayDims(n, 1, &dims, "", 0) != 0) return -1;
    for (int64_t i = 0; i < keep; ++i) {
      const std::string& text = old[static_cast<size_t>(i)];
      if (SetStringElementBytes(n, i, text.data(), text.size()) < 0) return -1;
    }
  } else {
    return -1;
  }
  return 0;
}

void UpperCaseAscii(char* text) {
  std::string value(text);
  std::string upper = ChangeCase(value, true, false);
  std::memcpy(text, upper.data(), upper.size());
}

int32_t CmdVariableOps() {
  if (FetchCommandArguments(kCommandVariableOps) != 0) return -1;
  VarRef a = RefOf(0);
  VarRef b = RefOf(1);
  if (ArgSlot(6) != 0) return Convert(a, b);
  if (ArgSlot(3) != 0) return CutText(a, b, false);
  if (ArgSlot(2) != 0) return CutText(a, b, true);
  for (int id : {11, 12, 7, 8, 9, 10}) {
    if (ArgSlot(id) != 0 && CaseOrWidth(id, a, b) != 0) return -1;
  }
  if (ArgSlot(13) != 0 && Resize(a) != 0) return -1;
  if (ArgSlot(14) != 0 && ShiftArray(14, a, false) != 0) return -1;
  if (ArgSlot(15) != 0 && ShiftArray(15, a, true) != 0) return -1;
  if (ArgSlot(16) != 0) {
    int masks[3] = {0, 0, 0};
    for (int kind = 0; kind < 3; ++kind) {
      for (int bit = 0; bit < 4; ++bit) {
        if (ArgSlot(17 + kind * 4 + bit) != 0) masks[kind] |= 1 << bit;
      }
    }
    if (ResetVariablesFromDefinitions(-1, masks[0], masks[1], masks[2]) != 0) return -1;
  }
  return 0;
}

namespace {

int64_t CharacterCount(const std::string& text) { return static_cast<int64_t>(CharStarts(text).size() - 1); }

// First element from `from` up to the first dimension's size equal to the
// value; -1 when none (or the start is outside the array).
int64_t Search(const VarRef& a) {
  VariableRecord* record = a.mRecord;
  int64_t size = record->mDimCount > 0 ? record->mDims[0] : record->mCount;
  if (size > record->mCount) size = record->mCount;
  int64_t from = IntArg(20, 0);
  if (from < 0) from = 0;
  for (int64_t i = from; i < size; ++i) {
    if (record->mVarType == kVarInt && record->mInts[i] == IntArg(17, 0)) return i;
    if (record->mVarType == kVarReal && record->mReals[i] == static_cast<double>(IntArg(18, 0))) return i;
    if (record->mVarType == kVarString) {
      int slot = ArgSlot(19);
      const char* wanted = slot != 0 && g_ArgString[slot] != nullptr ? g_ArgString[slot] : "";
      const char* text = record->mStrings[i] != nullptr ? record->mStrings[i] : "";
      if (std::strcmp(text, wanted) == 0) return i;
    }
  }
  return -1;
}

// The smallest text among elements from .. to (clamped); -1 when the range
// is empty or the variable holds no texts.
int64_t Smallest(const VarRef& a) {
  VariableRecord* record = a.mRecord;
  if (record->mVarType != kVarString || record->mCount <= 0) return -1;
  int64_t from = IntArg(20, 0);
  int64_t to = IntArg(21, record->mCount - 1);
  if (from < 0) from = 0;
  if (to > record->mCount - 1) to = record->mCount - 1;
  int64_t best = -1;
  for (int64_t i = from; i <= to; ++i) {
    const char* text = record->mStrings[i] != nullptr ? record->mStrings[i] : "";
    const char* bestText = best >= 0 && record->mStrings[best] != nullptr ? record->mStrings[best] : "";
    if (best < 0 || std::strcmp(text, bestText) < 0) best = i;
  }
  return best;
}

}  // namespace

int32_t CmdVariableInfo() {
  if (FetchCommandArguments(kCommandVariableInfo) != 0) return -1;
  VarRef a = RefOf(0);
  VarRef b = RefOf(1);
  if (a.mRecord == nullptr) return 0;
  if (!b.mPresent) {
    // Without a result variable the answer would land in system variable 0.
    return Fail(kMsgNotAStringVariable);
  }
  auto store = [&](int64_t value) { return SetNumberElement(b.mNumber, b.mElement, value) < 0 ? -1 : 0; };
  for (int id = 2; id <= 13; ++id) {
    if (ArgSlot(id) == 0) continue;
    int64_t value = 0;
    if (id == 2) {
      value = a.mRecord->mVarType;
    } else if (id == 3) {
      std::string text = IsString(a) ? ElementText(a) : std::string();
      if (text.empty()) {
        ReportErrorAtScriptFmt(kMsgEmptyTextCharClass, CommandLabel(kCommandVariableInfo), static_cast<int64_t>(3));
        return -1;
      }
      value = SjisCharLength(text, 0) == 2 ? 2 : 1;
    } else if (id == 4) {
      value = a.mRecord->mDimCount;
    } else if (id <= 12) {
      value = a.mRecord->mDims[id - 5];
    } else {
      if (!IsString(a)) return Fail(kMsgNotAStringVariable);
      value = CharacterCount(ElementText(a));
    }
    if (store(value) != 0) return -1;
    break;
  }
  if (ArgSlot(14) != 0 && store(Search(a)) != 0) return -1;
  if (ArgSlot(15) != 0 && store(Smallest(a)) != 0) return -1;
  if (ArgSlot(16) != 0) {
    std::string text = IsString(a) ? ElementText(a) : std::string();
    int64_t code = 0;
    if (!text.empty()) {
      auto lead = static_cast<uint8_t>(text[0]);
      code = SjisCharLength(text, 0) == 2 ? lead * 256 + static_cast<uint8_t>(text[1]) : lead;
    }
    if (store(code) != 0) return -1;
  }
  return 0;
}
