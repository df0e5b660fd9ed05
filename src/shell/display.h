#pragma once
// Display modes, full screen and the back buffer.
#include <cstdint>

extern uint8_t g_FullscreenBits;
bool IsFullscreen();
// 0 when the window is back in a window.
int LeaveFullscreen(int window);
void ClearFullscreenState();
void DisableDesktopComposition();
