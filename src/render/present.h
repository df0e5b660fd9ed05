#pragma once
// Presentation of a composed frame in its game window: 1:1 for windows at
// their own size, scaled on the processor into the back buffer for the main
// window when its picture has another size, centred in the client area in
// full screen and when maximised.
#include <cstdint>

#include "core/display_state.h"
#include "core/window_table.h"
#include "layer/layer_record.h"
#include "platform/window.h"

// g_PaintOffset (core/display_state.h) is written by every present of the
// main window that draws; sub-windows leave it alone.

// Paints the changed rectangle of `frame` (the record of the window's shown
// layer set; the caller has set mChangedRect) into `window`. Main thread only.
void PresentWindowFrame(WindowObject* window, LayerRecord* frame);

// Every blit of a present goes through this routine; tests record them.
// nullptr restores BlitToPlatformWindow.
using PresentBlitRoutine = bool (*)(PlatformWindow* window, const PlatformBlit& blit);
void SetPresentBlitRoutine(PresentBlitRoutine routine);

// Back to the start state: offset (0, 0), the platform blit, empty tables.
void ResetPresentState();
