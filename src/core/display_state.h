#pragma once
// The main window's display state that start-up, the display modes,
// presentation and input all read: the configured picture size, the size it
// is presented at with its back buffer, full screen and maximised, and where
// the picture sits in the client area.
#include <cstdint>

// The picture size the game configured (the centring size).
extern int32_t g_ConfiguredWidth;
extern int32_t g_ConfiguredHeight;
// The size the main window's picture is presented at, and the back buffer of
// that many pixels the scalers draw into.
extern int32_t g_PresentWidth;
extern int32_t g_PresentHeight;
extern uint8_t* g_BackBuffer;
// 1 while the main window is full screen; 1 while it is maximised.
extern uint8_t g_FullScreen;
extern uint8_t g_Maximized;

// Where the main window's picture starts inside its client area: the centring
// offset of a letterboxed frame, (0, 0) otherwise. Presentation writes it;
// cursor mapping and the placement of movie windows read it.
struct PaintOffset {
  int32_t mX = 0;
  int32_t mY = 0;
};
extern PaintOffset g_PaintOffset;
