#include "datasrc/file_names.h"

#include <cstring>

void LowerCaseName(char* name) {
  for (size_t index = 0; name[index] != '\0';) {
    auto byte = static_cast<uint8_t>(name[index]);
    if (IsSjisLeadByte(byte)) {
      if (name[index + 1] == '\0') break;
      index += 2;
      continue;
    }
    if (byte >= 'A' && byte <= 'Z') name[index] = static_cast<char>(byte + 32);
    ++index;
  }
}

void LowerCaseName(std::string& name) { LowerAsciiLetters(name); }

void ReplaceSlashesWithBackslashes(std::string& name) {
  for (size_t index = 0; index < name.size() && name[index] != '\0';) {
    size_t length = SjisCharLength(name, index);
    if (length == 1 && name[index] == '/') name[index] = '\\';
    index += length;
  }
}

namespace {

void ReplaceSingleByte(char* name, char from, char to) {
  for (size_t index = 0; name[index] != '\0';) {
    if (IsSjisLeadByte(static_cast<uint8_t>(name[index]))) {
      if (name[index + 1] == '\0') break;
      index += 2;
      continue;
    }
    if (name[index] == from) name[index] = to;
    ++index;
  }
}

}  // namespace

void ReplaceSlashesWithBackslashes(char* name) { ReplaceSingleByte(name, '/', '\\'); }

void ReplaceBackslashesWithSlashes(char* name) { ReplaceSingleByte(name, '\\', '/'); }
