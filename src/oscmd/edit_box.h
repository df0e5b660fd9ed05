#pragma once
// The one edit control scripts place inside the main window.
#include <cstdint>
#include <string>

struct PlatformWindow;

// The control's text holds at most this many bytes.
constexpr size_t kEditBoxTextBytes = 256;
// A read of its text gives at most this many bytes.
constexpr size_t kEditBoxReadBytes = 259;

// A new control with the text at (x, y), width by height, in the parent; a
// control made before is closed first. 0, or -1 without a parent.
int CreateEditBox(const char* text, int64_t x, int64_t y, int64_t width, int64_t height, PlatformWindow* parent);
// Closes the control; nothing without one.
void CloseEditBox();
bool HasEditBox();
void SetEditBoxText(const char* text);
std::string GetEditBoxText();
void FocusEditBox(bool focused);
// Closes the control (the reset of the OS commands).
void ResetEditBox();
