#include "platform/sjis_chars.h"

namespace {
uint8_t FoldAscii(uint8_t byte) { return (byte >= 'A' && byte <= 'Z') ? static_cast<uint8_t>(byte + 32) : byte; }
}  // namespace

size_t SjisCutLength(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t index = 0;
  while (index < text.size()) {
    size_t length = SjisCharLength(text, index);
    if (index + length > limit) break;
    index += length;
  }
  return index;
}

void LowerAsciiLetters(std::string& text) {
  for (size_t index = 0; index < text.size() && text[index] != '\0';) {
    size_t length = SjisCharLength(text, index);
    if (length == 1) text[index] = static_cast<char>(FoldAscii(static_cast<uint8_t>(text[index])));
    index += length;
  }
}

int CompareSjisNoCase(std::string_view a, std::string_view b) {
  size_t index = 0;
  // Trail bytes are never folded: fold only bytes that start a character.
  while (index < a.size() && index < b.size()) {
    uint8_t left = static_cast<uint8_t>(a[index]);
    uint8_t right = static_cast<uint8_t>(b[index]);
    size_t length = SjisCharLength(a, index);
    if (length == 2) {
      if (left != right) return left < right ? -1 : 1;
      if (index + 1 >= b.size()) return 1;
      uint8_t leftTrail = static_cast<uint8_t>(a[index + 1]);
      uint8_t rightTrail = static_cast<uint8_t>(b[index + 1]);
      if (leftTrail != rightTrail) return leftTrail < rightTrail ? -1 : 1;
    } else {
      left = FoldAscii(left);
      right = FoldAscii(right);
      if (left != right) return left < right ? -1 : 1;
    }
    index += length;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualsSjisNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareSjisNoCase(a, b) == 0;
}
