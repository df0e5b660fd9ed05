#pragma once
// Conversion between the engine's Shift-JIS (code page 932) texts and the
// UTF-8 of the system: file names, titles, dialogs, clipboard and fonts.
#include <string>
#include <string_view>

// A character that does not convert becomes one '?', and so does a byte that
// starts no character.
std::string ConvertCp932ToUtf8(std::string_view text);
std::string ConvertUtf8ToCp932(std::string_view text);

// True when the text is valid UTF-8 that code page 932 can hold; the converted
// text is stored in `out`.
bool TryConvertUtf8ToCp932(std::string_view text, std::string& out);
