#pragma once
// The player's settings files (qvcfg.dat, qvsfs.dat) and the command line.
#include <cstdint>
#include <string>

#include "core/process_state.h"

// qvcfg.dat
extern uint8_t g_UseDirectShow;
extern uint8_t g_AllowSse;
extern uint8_t g_AllowSse2;
extern uint8_t g_MaxWorkers;
extern uint8_t g_ChangeDisplayMode;
extern uint8_t g_ScalingMode;
extern uint8_t g_DrawMode;
extern uint8_t g_CpuScaleBilinear;
extern uint8_t g_GpuDrawing;
extern uint8_t g_CaptionDoubleClickToScript;
extern uint8_t g_ScriptReadableSwitch;  // word 10: read by scripts only
extern uint8_t g_NoHardwareVertexProcessing;
extern uint8_t g_Use16BitTextures;
extern uint32_t g_TextureFormat;  // 21 (32-bit A8R8G8B8) or 26 (16-bit A4R4G4B4)
extern uint8_t g_TextureBitDepth;
extern uint8_t g_DitherTextures;
extern uint8_t g_DisableComposition;
extern int32_t g_TileLimitWidth;
extern int32_t g_TileLimitHeight;
extern uint8_t g_SamplerMagFilter;
extern uint8_t g_SamplerMinFilter;
extern uint8_t g_SamplerMipFilter;
extern uint8_t g_TileUploadSwitch;
extern uint8_t g_GpuPresent;

constexpr uint32_t kTextureFormat32 = 21;
constexpr uint32_t kTextureFormat16 = 26;

// qvsfs.dat
extern uint8_t g_SaveLocation;
extern char g_SaveFolder[kPathBytes];

// The command line: the program name and at most 8 arguments; the unused
// entries are empty texts.
constexpr int kMaxCommandLineArgs = 8;
extern int32_t g_CommandLineCount;
extern std::string g_CommandLineArgs[kMaxCommandLineArgs + 1];

void CopyCommandLineArguments(int argc, char** argv);
int LoadEngineSettings();
int BuildSaveFolder();
// The defaults of a run without the files.
void ResetEngineSettings();
