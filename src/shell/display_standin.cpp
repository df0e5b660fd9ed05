// Stand-ins until display modes are built: the game always runs in a window.
#include "core/stand_in.h"
#include "shell/display.h"

uint8_t g_FullscreenBits = 32;
bool IsFullscreen() {
  STAND_IN();
  return false;
}
int LeaveFullscreen(int) {
  STAND_IN();
  return 0;
}
void ClearFullscreenState() { STAND_IN(); }
void DisableDesktopComposition() { STAND_IN(); }
