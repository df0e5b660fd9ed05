#include "core/sjis.h"

#include <cstring>

size_t CopySjisBounded(char* destination, size_t capacity, std::string_view text) {
  if (capacity == 0) return 0;
  size_t terminator = text.find('\0');
  if (terminator != std::string_view::npos) text = text.substr(0, terminator);
  size_t length = SjisCutLength(text, capacity - 1);
  std::memmove(destination, text.data(), length);
  destination[length] = '\0';
  return length;
}
