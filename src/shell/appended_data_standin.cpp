// Stand-ins until the appended data block is built: one installed program
// serves every game, so no data is appended and there is no screen-saver
// mode.
#include "core/stand_in.h"
#include "shell/appended_data.h"

uint8_t g_ScreenSaverMode = 0;
int CheckAppendedData() {
  STAND_IN();
  return 0;
}
int HandleScreenSaverArguments() {
  STAND_IN();
  return 0;
}
