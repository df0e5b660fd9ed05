#pragma once
// The compiled engine configuration (qvbin\qvcfg.qbn). It also sets the
// switches of the resource lookup (datasrc/resource_lookup.h).
#include <cstdint>
#include <string>

constexpr int kImageExtOrderBytes = 8;
constexpr int kSoundExtOrderBytes = 4;
constexpr size_t kMaxWindowTitleBytes = 128;

extern uint8_t g_DebugMode;
extern std::string g_WindowTitle;
extern uint8_t g_ThickFrame;
extern uint8_t g_WindowStyleSwitch;
// Stored from the configuration and never used.
extern uint8_t g_ConfigReserved;
// The texture size derived from the screen size (0 until configured).
extern int32_t g_TextureWidth;
extern int32_t g_TextureHeight;

// 0 success; 1 a bad value (after its fatal report); -1 the file is missing or
// cannot be read.
int LoadEngineConfig();
// Back to the values before any configuration was loaded.
void ResetEngineConfig();
