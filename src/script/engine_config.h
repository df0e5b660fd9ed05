#pragma once
// The compiled engine configuration (qvbin\qvcfg.qbn).
#include <cstdint>
#include <string>

extern uint8_t g_DebugMode;
extern std::string g_WindowTitle;
// 0 success; 1 a bad value (after its fatal report); -1 the file is missing.
int LoadEngineConfig();
