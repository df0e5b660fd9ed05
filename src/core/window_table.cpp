#include "core/window_table.h"

WindowObject* g_WindowTable[kWindowCount];
int32_t g_WindowIds[kWindowCount] = {-1, -1, -1, -1};

PlatformWindow* GetMainPlatformWindow() {
  return g_WindowTable[0] != nullptr ? g_WindowTable[0]->mWindow : nullptr;
}

void ResetWindowTable() {
  for (int index = 0; index < kWindowCount; ++index) {
    g_WindowTable[index] = nullptr;
    g_WindowIds[index] = -1;
  }
}
