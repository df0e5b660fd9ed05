#pragma once
// The start-up sequence from an empty process to the first frame.
#include <cstdint>
#include <ctime>

#include "core/display_state.h"

extern int32_t g_ClientWidth;
extern int32_t g_ClientHeight;
extern uint8_t g_JoysticksPresent;
extern char g_IdentifierString[16];

// 0 run the loop; -1 end without the loop; 1 the script data failed to load.
int StartEngine(int argc, char** argv);
void InitRuntimeTables();
// Always 0; sets g_FolderReadOnly when the game folder refuses a test file.
int TestGameFolderWritable();
void BeginTimerPeriod();
void EndTimerPeriod();
// The touch library (gestures) does not exist here: nothing is bound.
void LoadTouchLibrary();
void ReleaseTouchLibrary();
// Sizes of start-up step 20: the present size is half the desktop when the
// client size exceeds it in either dimension.
void ComputePresentSize(int32_t clientWidth, int32_t clientHeight, int32_t desktopWidth, int32_t desktopHeight,
                        int32_t* presentWidth, int32_t* presentHeight);
// Allocates the back buffer; false after a fatal report.
bool AllocBackBuffer(int32_t width, int32_t height);
void ReleaseBackBuffer();

// Tests record the order of the start-up and shutdown steps through this hook.
using ShellStepHook = void (*)(const char* step);
void SetShellStepHook(ShellStepHook hook);
void TraceShellStep(const char* step);
// Back to the state of a new process (the shell's own start-up state).
void ResetStartupState();
