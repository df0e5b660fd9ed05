#pragma once
// The data block appended to the program file, and the screen-saver mode.
#include <cstdint>

#include "datasrc/pack_file.h"  // g_DataAppended: the packs read it

extern uint8_t g_ScreenSaverMode;
// Negative: the program must end.
int CheckAppendedData();
// Non-zero: the screen-saver request was served and the program ends.
int HandleScreenSaverArguments();
