#pragma once
// Shift-JIS (code page 932) characters as the system's own text calls see
// them: a lead byte (0x81-0x9F, 0xE0-0xFC) and the byte after it form one
// character; ASCII letters fold without regard to case, double-byte
// characters never do. No loop steps past a terminator.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline bool IsSjisLeadByte(uint8_t byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Length in bytes of the character at `index`: 2 for a lead byte with a
// following byte inside the text, else 1.
inline size_t SjisCharLength(std::string_view text, size_t index) {
  if (IsSjisLeadByte(static_cast<uint8_t>(text[index])) && index + 1 < text.size() && text[index + 1] != '\0') {
    return 2;
  }
  return 1;
}

// The largest length <= `limit` that does not cut a double-byte character.
size_t SjisCutLength(std::string_view text, size_t limit);

// ASCII A-Z become a-z, up to a terminator; trail bytes are never changed.
void LowerAsciiLetters(std::string& text);

// ASCII letters folded; double-byte characters compared whole.
bool EqualsSjisNoCase(std::string_view a, std::string_view b);
// Negative, zero or positive like strcmp, with ASCII letters folded.
int CompareSjisNoCase(std::string_view a, std::string_view b);
