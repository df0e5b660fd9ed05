// The main window's display state bytes until the display modes, which own
// and set them, define them beside the rest of their state.
#include "render/present.h"

uint8_t g_FullScreen = 0;
uint8_t g_Maximized = 0;
