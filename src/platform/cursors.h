#pragma once
// Mouse cursor shapes over the program's windows: the system's own shapes and
// cursors made from 32-bit pixels.
#include <cstdint>

// The shapes scripts name by number; any other number is the arrow.
enum class SystemCursor : int {
  kArrow = 0, kIBeam, kWait, kCross, kUpArrow, kSizeNwse, kSizeNesw, kSizeWe, kSizeNs, kSizeAll, kNo, kHand,
  kAppStarting, kHelp,
};

struct PlatformCursor;

// Makes the shape the cursor of the program's windows. Without a display the
// choice is only remembered.
void SetSystemCursorShape(SystemCursor shape);
// A cursor of width x height B, G, R, A pixels (top-down, pitch width * 4)
// with its hot spot; null when the system cannot make one.
PlatformCursor* CreatePixelCursor(const uint8_t* pixels, int width, int height, int hotX, int hotY);
// Makes it the cursor of the program's windows; null goes back to the arrow.
void SetPixelCursor(PlatformCursor* cursor);
void DestroyPixelCursor(PlatformCursor* cursor);
// What the windows show now: the system shape (kArrow while a pixel cursor
// is set) and the pixel cursor, null when none.
SystemCursor GetCurrentCursorShape();
PlatformCursor* GetCurrentPixelCursor();
// Back to the arrow; the cursors made are the caller's to destroy.
void ResetCursorShapes();
