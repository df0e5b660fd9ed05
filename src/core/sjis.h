#pragma once
// Shift-JIS (code page 932) texts cut and copied on character boundaries;
// the character steps and case folding come from the platform.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/sjis_chars.h"

// Copies `text` into `destination` of `capacity` bytes (terminator included),
// cut on a character boundary. Returns the number of bytes copied.
size_t CopySjisBounded(char* destination, size_t capacity, std::string_view text);
