#pragma once
// The screen-saver preview: a picture shown inside a window another program
// owns (an X11 window id handed on the command line), until that program
// ends the preview.
#include <cstdint>

// Paints the B, G, R, A picture at the window's top-left corner and keeps it
// painted until the process is asked to end or the window goes. False at
// once when the window cannot be used (no X11 display, no such window).
bool RunPreviewInForeignWindow(uint64_t windowId, const uint8_t* pixels, int width, int height);
