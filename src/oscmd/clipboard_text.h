#pragma once
// The text a clipboard paste stores.
#include <string>

// The first 1024 bytes of the clipboard text (up to a terminator) without
// control characters; a lead byte whose trail byte lies outside them is
// dropped rather than paired with what follows.
std::string FilterPastedText(const std::string& text);
