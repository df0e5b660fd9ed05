#pragma once
// Display modes, full screen and the back buffer: how large the composed frame
// is on screen, the sizing rules of the main window, and the switch to and
// from full screen.
#include <cstdint>

#include "core/display_state.h"

struct PlatformWindow;
struct PlatformSizeLimits;
struct WindowObject;

extern int32_t g_FullscreenBits;
extern uint8_t g_DeviceResetPending;
extern uint8_t g_RestorePending;
// Left, top, width, height of the monitor found last.
extern int32_t g_MonitorRect[4];
extern int32_t g_MainMonitorIndex;
extern int32_t g_FrameExtraWidth;
extern int32_t g_FrameExtraHeight;
extern uint8_t g_FrameExtraChanged;
// The configured scaling rule (0 unscaled, 1 fit, 2 cover, 3 stretch), kept
// apart from the fit in effect (g_ScalingMode): the fit of a configured "fit"
// is 1 or 2 depending on the target, and must not become the next rule.
extern uint8_t g_ScalingRule;

bool IsFullscreen();
// 1 when the mode changed, 0 when it already was so, -1 when the switch to
// full screen failed (the program stays in a window).
int SetFullscreenMode(int on);
// 0, or -1 when the display refused (windowed mode and sizes restored).
int EnterFullscreen(int window);
int LeaveFullscreen(int window);
// 0, or -1 when no display mode fits or the system refused the change.
int ChangeToFullscreenMode(PlatformWindow* window, int monitor);
int RestoreDisplaySettings(PlatformWindow* window);
// Sizes the present size and the back buffer for a target; always 0.
int ResizeBackBuffer(int32_t width, int32_t height, int32_t targetWidth, int32_t targetHeight);
// The full-screen size: with a mode change the smallest mode of the desktop's
// aspect and depth that holds the logical size, else (or when none does) the
// desktop size.
void ChooseFullscreenSize(int monitor, int32_t logicalWidth, int32_t logicalHeight, int32_t* width, int32_t* height);
// The adapter index of the window's monitor (0 when not found); sets
// g_MonitorRect, and the desktop size when the monitor was found.
int FindWindowMonitor(PlatformWindow* window);
void GetWindowFrameExtra(PlatformWindow* window, int32_t* width, int32_t* height);
void NotifyWindowPosChanged(PlatformWindow* window);
// Window messages; all but the size message concern window 0 only.
void OnGetMinMaxInfo(WindowObject* object, PlatformSizeLimits* limits);
// rect: outer left, top, right, bottom, corrected in place to keep the aspect.
void OnSizing(WindowObject* object, uint64_t edge, int32_t rect[4]);
void OnSize(WindowObject* object);
void OnWindowPosChanged(WindowObject* object);
void OnMove(WindowObject* object);
// Saves the sizes of the maximised state for the later restore.
void SaveMaximizeSizes();
// Other programs' window placements are the window manager's here: nothing is
// saved or restored.
void SaveOtherWindows();
void RestoreOtherWindows();
// Leaves full screen without asking the display (shutdown after a failure).
void ClearFullscreenState();
// Desktop composition belongs to the compositor here: nothing to switch off.
int DisableDesktopComposition();
// Back to the state of a new process.
void ResetDisplayState();
