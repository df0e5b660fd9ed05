// The evaluator's texts: string literals and the conversions between texts
// and numbers.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/errors.h"
#include "core/sjis.h"
#include "script/eval_internal.h"

namespace eval_detail {

namespace {

int BadNumberText() {
  ReportErrorAtScript(kMsgTextNotANumber);
  return -1;
}

int HexDigit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

// "M": delimiter, text, delimiter. Escapes: \\ \n \t, a backslash before any
// other character gives that character; a double-byte character is copied
// whole. The text ends at the delimiter or the payload's end.
int OpStringLiteral(const uint8_t* payload, uint32_t length) {
  if (length < 1) return Malformed();
  if (g_EvalDepth >= kEvalStackSlots) return Malformed();
  uint16_t index = 0;
  char* out = NewPoolText(&index);
  if (out == nullptr) return -1;
  uint8_t delimiter = payload[0];
  size_t written = 0;
  uint32_t position = 1;
  while (position < length && payload[position] != delimiter) {
    uint8_t byte = payload[position];
    char pair[2];
    size_t pairLength = 1;
    if (IsSjisLeadByte(byte) && position + 1 < length) {
      pair[0] = static_cast<char>(byte);
      pair[1] = static_cast<char>(payload[position + 1]);
      pairLength = 2;
      position += 2;
    } else if (byte == '\\' && position + 1 < length && payload[position + 1] != delimiter) {
      uint8_t escaped = payload[position + 1];
      pair[0] = static_cast<char>(escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped);
      position += 2;
    } else {
      pair[0] = static_cast<char>(byte);
      position += 1;
    }
    if (written + pairLength > kEvalStringLimit) break;
    std::memcpy(out + written, pair, pairLength);
    written += pairLength;
  }
  out[written] = '\0';
  return PushPoolText(index, written);
}

// "s": the top number as text.
int OpToString(const uint8_t*, uint32_t) {
  if (g_EvalDepth < 1) return Malformed();
  uint16_t top = g_EvalDepth - 1;
  if (g_EvalSlotString[top] != 0) return 0;
  uint16_t index = 0;
  char* out = NewPoolText(&index);
  if (out == nullptr) return -1;
  int written = IntArithmetic()
                    ? std::snprintf(out, kEvalStringBytes, "%lld", static_cast<long long>(g_EvalIntStack[top]))
                    : std::snprintf(out, kEvalStringBytes, "%f", g_EvalRealStack[top]);
  size_t length = written < 0 ? 0 : static_cast<size_t>(written);
  if (length > kEvalStringLimit) length = kEvalStringLimit;
  g_EvalDepth = top;
  return PushPoolText(index, length);
}

// "i": the top text as a number.
int OpToNumber(const uint8_t*, uint32_t) {
  if (g_EvalDepth < 1) return Malformed();
  uint16_t top = g_EvalDepth - 1;
  uint16_t index = g_EvalSlotString[top];
  if (index == 0) return 0;
  const char* text = g_EvalStringPool[index];
  size_t length = PoolTextLength(index);
  bool isInt = true;
  int64_t intValue = 0;
  double realValue = 0;
  if (length >= 2 && text[0] == '0' && text[1] == 'x') {
    uint64_t bits = 0;
    size_t digits = 0;
    while (digits < 16 && 2 + digits < length && HexDigit(static_cast<uint8_t>(text[2 + digits])) >= 0) {
      bits = bits << 4 | static_cast<uint64_t>(HexDigit(static_cast<uint8_t>(text[2 + digits])));
      ++digits;
    }
    if (digits == 0) return BadNumberText();
    intValue = static_cast<int64_t>(bits);
  } else if (length > 0) {
    for (size_t at = 0; at < length; ++at) {
      char c = text[at];
      if (c == '.') {
        isInt = false;
      } else if ((c < '0' || c > '9') && c != '-') {
        return BadNumberText();
      }
    }
    if (isInt) {
      intValue = std::strtoll(text, nullptr, 10);
    } else {
      realValue = std::strtod(text, nullptr);
    }
  }
  g_EvalDepth = top;
  return isInt ? PushIntValue(intValue) : PushRealValue(realValue);
}

}  // namespace eval_detail
