#pragma once
// Pack files and the pack index.
#include <cstdint>

// 1 when the engine configuration was found in a pack or appended data.
extern uint8_t g_ReleaseLayout;
int InitDataKeys();
// 0 success; non-zero ends start-up.
int BuildPackIndex();
void ReleasePackIndex();
