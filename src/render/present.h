#pragma once
// Presentation of a composed frame in its game window: 1:1 for windows at
// their own size, scaled on the processor into the back buffer for the main
// window when its picture has another size, centred in the client area in
// full screen and when maximised.
#include <cstdint>

#include "core/window_table.h"
#include "layer/layer_record.h"
#include "platform/window.h"

// Where the main window's picture sits in its client area: the centring
// offset while full screen or maximised, else (0, 0). Written by every
// present of the main window that draws (sub-windows leave it alone);
// cursor mapping and movie placement read it.
struct PaintOffset {
  int32_t x = 0;
  int32_t y = 0;
};
extern PaintOffset g_PaintOffset;

// Read here, owned by the display modes. The present size and back buffer
// and the configured (centring) size are defined by the shell's start-up;
// they are declared again here because rendering may not include the shell.
extern int32_t g_PresentWidth;
extern int32_t g_PresentHeight;
extern uint8_t* g_BackBuffer;  // g_PresentWidth x g_PresentHeight pixels
extern int32_t g_ConfiguredWidth;
extern int32_t g_ConfiguredHeight;
// Display state bytes of the main window (1 full screen, 1 maximised).
extern uint8_t g_FullScreen;
extern uint8_t g_Maximized;

// Paints the changed rectangle of `frame` (the record of the window's shown
// layer set; the caller has set mChangedRect) into `window`. Main thread only.
void PresentWindowFrame(WindowObject* window, LayerRecord* frame);

// Every blit of a present goes through this routine; tests record them.
// nullptr restores BlitToPlatformWindow.
using PresentBlitRoutine = bool (*)(PlatformWindow* window, const PlatformBlit& blit);
void SetPresentBlitRoutine(PresentBlitRoutine routine);

// Back to the start state: offset (0, 0), the platform blit, empty tables.
void ResetPresentState();
