#include "core/sjis.h"

#include <cstring>

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

size_t CopySjisBounded(char* destination, size_t capacity, std::string_view text) {
  if (capacity == 0) return 0;
  size_t terminator = text.find('\0');
  if (terminator != std::string_view::npos) text = text.substr(0, terminator);
  size_t length = SjisCutLength(text, capacity - 1);
  std::memmove(destination, text.data(), length);
  destination[length] = '\0';
  return length;
}
