#pragma once
// Rewrites the narrow string and character literals of a C++ source so that
// a compiler without a CP932 execution character set (Clang) stores the same
// bytes as one compiled with -fexec-charset=CP932: every character outside
// ASCII inside an ordinary ("..." or '...') literal, written directly or as a
// universal character name (\uXXXX, \UXXXXXXXX), becomes the octal escapes of
// its CP932 bytes. Everything else is copied byte for byte: comments, wide,
// UTF-8 and UTF-16/32 literals, header names, numbers with digit separators.
// A narrow raw string holding such characters becomes ordinary literals, one
// per line, so no line moves.
#include <string>
#include <string_view>

// False (with a message) when a character has no CP932 form; the output then
// holds "?" for it, as the conversion with transliteration does.
bool ConvertLiteralsToCp932(std::string_view source, std::string* output, std::string* error);
