#include "core/file_names.h"

#include <cstring>

namespace {

// Applies `change` to every single-byte character of the first `size` bytes
// of text, up to a terminator; double-byte characters are stepped over whole.
template <typename Change>
void ChangeSingleBytes(char* text, size_t size, Change change) {
  std::string_view view(text, size);
  for (size_t index = 0; index < size && text[index] != '\0';) {
    size_t length = SjisCharLength(view, index);
    if (length == 1) text[index] = change(text[index]);
    index += length;
  }
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
char SlashToBackslash(char c) { return c == '/' ? '\\' : c; }
char BackslashToSlash(char c) { return c == '\\' ? '/' : c; }

}  // namespace

void LowerCaseName(char* name) { ChangeSingleBytes(name, std::strlen(name), LowerAscii); }
void LowerCaseName(std::string& name) { LowerAsciiLetters(name); }
void ReplaceSlashesWithBackslashes(std::string& name) { ChangeSingleBytes(name.data(), name.size(), SlashToBackslash); }
void ReplaceSlashesWithBackslashes(char* name) { ChangeSingleBytes(name, std::strlen(name), SlashToBackslash); }
void ReplaceBackslashesWithSlashes(char* name) { ChangeSingleBytes(name, std::strlen(name), BackslashToSlash); }
