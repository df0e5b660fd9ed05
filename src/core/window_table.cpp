#include "core/window_table.h"

WindowObject* g_WindowTable[kWindowCount];
int32_t g_WindowIds[kWindowCount] = {-1, -1, -1, -1};

PlatformWindow* GetMainPlatformWindow() {
  return g_WindowTable[0] != nullptr ? g_WindowTable[0]->mWindow : nullptr;
}
