#pragma once
// Input sampling: keyboard, mouse, wheel, joysticks and the cursor.
#include <cstdint>

// The keyboard keys that are advanced, by virtual-key code, in the order they
// are advanced; the any-key slot follows them.
constexpr int kKeyCodeCount = 117;
extern const uint8_t g_KeyCodeTable[kKeyCodeCount];

// Once per frame, before the tasks step: merges what the window procedure
// recorded, advances every slot, polls the joysticks, hides or shows the
// cursor and starts a requested caption drag.
void UpdateInput();
// In every idle pass of the message loop: the active window, the key state
// and each window's cursor position.
void SampleWindowInput();
void PollJoysticks();
// 1 when joysticks are connected.
uint8_t InitJoysticks();
void FillKeyTransitionTable();
// Shows a hidden cursor with the next input update.
void RequestCursorShow();
void ApplyCursorRequest();
// Window 0's cursor y as sampled this frame.
int32_t GetSampledCursorY(int window);
// The real cursor position in the main window's client coordinates.
int32_t GetCursorYInMainWindow();
// Closes the joysticks and forgets their readings and any caption drag.
void ReleaseInputDevices();
