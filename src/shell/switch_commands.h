#pragma once
// What the shell's run-time switch commands share with the rest of the shell.
#include <cstdint>

struct WindowObject;
struct LayerRecord;
struct PlatformCursor;

// Sets the frame rate (below 1 paces as 1) and starts a new counting second.
void SetFrameRate(int32_t fps);
// Paints the configured area of the window's client area black.
void BlankWindow(WindowObject* window);
// A cursor from the layer's pixels when the layer is width x height; else a
// message box and no cursor. 0 or -1.
int CreateCursorFromLayer(const LayerRecord* layer, int32_t width, int32_t height, int32_t hotX, int32_t hotY,
                          PlatformCursor** cursor);
// The layer cursor destroyed, the hot spot cleared, the arrow back.
void ResetSwitchCommandState();
