// Stand-ins for the shell pieces that are not built yet: input sampling,
// display modes, menus and the appended data block. Each keeps the engine
// running as if the feature were idle.
#include "shell/appended_data.h"
#include "shell/display.h"
#include "shell/input.h"
#include "shell/menus.h"

void UpdateInput() {}
void SampleWindowInput() {}
uint8_t InitJoysticks() { return 0; }
void FillKeyTransitionTable() {}
void RequestCursorShow() {}
int32_t GetSampledCursorY(int) { return 0; }
int32_t GetCursorYInMainWindow() { return 0; }

uint8_t g_FullscreenBits = 32;
bool IsFullscreen() { return false; }
int LeaveFullscreen(int) { return 0; }
void ClearFullscreenState() {}
void DisableDesktopComposition() {}

int32_t g_PendingPopup = 0;
int CreateMenuStripWindow() { return 0; }
void DestroyMenuSets() {}
void DestroyMenuBarSet() {}
bool IsMenuStripShown() { return false; }
void ShowMenuStrip(bool) {}
int32_t GetMenuStripHeight() { return 0; }
bool HasMenuBarTopMenu() { return false; }
int32_t TrackPendingPopup(int32_t) { return 0; }

uint8_t g_DataAppended = 0;
uint8_t g_ScreenSaverMode = 0;
int CheckAppendedData() { return 0; }
int HandleScreenSaverArguments() { return 0; }
