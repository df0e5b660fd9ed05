#pragma once
// The system clipboard's text, as Shift-JIS. Without a video system (tests,
// no display) a clipboard of the process stands in.
#include <string>

// False when the system refused the text.
bool SetPlatformClipboardText(const std::string& text);
// False when the clipboard holds no text.
bool GetPlatformClipboardText(std::string* text);
// Empties the clipboard (tests).
void ResetPlatformClipboard();
