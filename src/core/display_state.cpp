#include "core/display_state.h"

int32_t g_ConfiguredWidth;
int32_t g_ConfiguredHeight;
int32_t g_PresentWidth;
int32_t g_PresentHeight;
uint8_t* g_BackBuffer;
uint8_t g_FullScreen;
uint8_t g_Maximized;
PaintOffset g_PaintOffset;
