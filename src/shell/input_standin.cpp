// Stand-ins until input sampling is built: no key, button or joystick is
// ever down.
#include "core/stand_in.h"
#include "shell/input.h"

void UpdateInput() { STAND_IN(); }
void SampleWindowInput() { STAND_IN(); }
uint8_t InitJoysticks() {
  STAND_IN();
  return 0;
}
void FillKeyTransitionTable() { STAND_IN(); }
void RequestCursorShow() { STAND_IN(); }
int32_t GetSampledCursorY(int) {
  STAND_IN();
  return 0;
}
int32_t GetCursorYInMainWindow() {
  STAND_IN();
  return 0;
}
