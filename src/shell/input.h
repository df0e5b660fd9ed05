#pragma once
// Input sampling: keyboard, mouse, wheel, joysticks and the cursor.
#include <cstdint>

void UpdateInput();
void SampleWindowInput();
uint8_t InitJoysticks();
void FillKeyTransitionTable();
void RequestCursorShow();
// Window 0's cursor y as sampled this frame.
int32_t GetSampledCursorY(int window);
// The real cursor position in the main window's client coordinates.
int32_t GetCursorYInMainWindow();
