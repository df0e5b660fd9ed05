#pragma once
// Shift-JIS (code page 932) texts cut and copied on character boundaries;
// the character steps and case folding come from the platform.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/sjis_chars.h"

// The largest length <= `limit` that does not cut a double-byte character.
size_t SjisCutLength(std::string_view text, size_t limit);

// Copies `text` into `destination` of `capacity` bytes (terminator included),
// cut on a character boundary. Returns the number of bytes copied.
size_t CopySjisBounded(char* destination, size_t capacity, std::string_view text);
