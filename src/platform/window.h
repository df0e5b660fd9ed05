#pragma once
// Top-level windows on SDL2. Events of the system arrive as window messages
// (messages.h) that the shell's window procedure handles.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PlatformWindow;
struct SDL_Window;
union SDL_Event;

struct PlatformWindowDesc {
  std::string mClassName;  // Shift-JIS; a second copy finds the window by it
  std::string mTitle;      // Shift-JIS
  int mX = INT_MIN;        // INT_MIN: centred
  int mY = INT_MIN;
  int mWidth = 640;
  int mHeight = 480;
  bool mResizable = false;
  bool mVisible = false;
  // A borderless menu window above the others, without a task-bar entry.
  bool mPopupMenu = false;
  // A utility window that stays off the task bar.
  bool mToolWindow = false;
  // Kept above every other window.
  bool mTopmost = false;
};

// Starts the video system on the calling (main) thread; false when there is
// no display.
bool InitPlatformVideo();
void QuitPlatformVideo();
// Called when the connection to the display breaks (its server ended, a
// virtual display was killed): on the thread whose video call found it, from
// inside that call, which cannot go on. The routine ends the process; when
// there is none, or it returns, the process ends with exit(1).
using DisplayLostRoutine = void (*)();
void SetDisplayLostRoutine(DisplayLostRoutine routine);

// nullptr when the window cannot be created.
PlatformWindow* CreatePlatformWindow(const PlatformWindowDesc& desc);
void DestroyPlatformWindow(PlatformWindow* window);
void ShowPlatformWindow(PlatformWindow* window, bool shown);
bool IsPlatformWindowShown(PlatformWindow* window);
// Restores a minimised window and brings it to the front.
void BringPlatformWindowForward(PlatformWindow* window);
void SetPlatformWindowTitle(PlatformWindow* window, const char* title);
void SetPlatformWindowUserData(PlatformWindow* window, void* data);
void* GetPlatformWindowUserData(PlatformWindow* window);
int CountPlatformWindows();
// The window created first (the main window while it exists).
PlatformWindow* GetFirstPlatformWindow();

// For the platform layer itself.
SDL_Window* GetSdlWindow(PlatformWindow* window);
PlatformWindow* FindPlatformWindowBySdlId(unsigned id);
// Serves activation requests of other copies of the program.
void ServeActivationRequests();

// --- Window geometry, style and monitors ------------------------------------

// Style bits of a game window, with the values the window commands use.
enum : uint32_t {
  kWindowStyleThickFrame = 0x00040000,
  kWindowStyleSysMenu = 0x00080000,
  kWindowStyleCaption = 0x00C00000,
  kWindowStyleMinimizeBox = 0x00020000,
  kWindowStyleMaximizeBox = 0x00010000,
  kWindowStyleClipChildren = 0x02000000,
  kWindowStylePopup = 0x80000000u,
};
// A window with a caption has a frame; a thick frame can be dragged.
void SetPlatformWindowStyle(PlatformWindow* window, uint32_t style);
uint32_t GetPlatformWindowStyle(PlatformWindow* window);

// Outer position on the desktop; client size in pixels.
bool GetPlatformWindowPosition(PlatformWindow* window, int* x, int* y);
void SetPlatformWindowPosition(PlatformWindow* window, int x, int y);
bool GetPlatformWindowClientSize(PlatformWindow* window, int* width, int* height);
void SetPlatformWindowClientSize(PlatformWindow* window, int width, int height);
// Rows kept at the top of the window for a menu bar: the window grows by
// them, and client sizes, blits, fills, pixel reads and mouse positions all
// count from below them (the band's rows have negative y).
void SetPlatformWindowTopInset(PlatformWindow* window, int inset);
int GetPlatformWindowTopInset(PlatformWindow* window);
// Width and height the frame adds around the client area (0 without a frame,
// or before the window manager told).
void GetPlatformWindowFrameExtra(PlatformWindow* window, int* width, int* height);
// Smallest and largest client sizes the user may drag the window to.
void SetPlatformWindowSizeLimits(PlatformWindow* window, int minWidth, int minHeight, int maxWidth, int maxHeight);
// The track sizes of the size-limits message (outer sizes, frame included).
struct PlatformSizeLimits {
  int mMinWidth = 0;
  int mMinHeight = 0;
  int mMaxWidth = 0;
  int mMaxHeight = 0;
};
bool IsPlatformWindowMinimized(PlatformWindow* window);
bool IsPlatformWindowMaximized(PlatformWindow* window);
void RestorePlatformWindow(PlatformWindow* window);
void RaisePlatformWindow(PlatformWindow* window);
void MinimizePlatformWindow(PlatformWindow* window);
// Whole-window opacity, 255 opaque; false when the system cannot.
bool SetPlatformWindowOpacity(PlatformWindow* window, uint8_t alpha);
// Keeps the window above every other window (or no longer).
void SetPlatformWindowTopmost(PlatformWindow* window, bool topmost);
// Places the window in the stacking order of the desktop without activating
// it: at the top, at the bottom, or directly below `sibling`. False when the
// window system cannot restack windows.
enum class PlatformStackPlace { kTop, kBottom, kBelow };
bool RestackPlatformWindow(PlatformWindow* window, PlatformStackPlace place, PlatformWindow* sibling = nullptr);
// Asks for the user's attention (the task bar entry) for `durationMs`
// milliseconds, then stops asking; 0 stops at once. False when the window
// system has no way to ask.
bool FlashPlatformWindow(PlatformWindow* window, uint32_t durationMs);
// Stops the requests for attention whose time is over; the message pump
// calls it.
void EndExpiredWindowFlashes();
// No typed text (and so no input method) reaches the window any more.
void DetachPlatformWindowTextInput(PlatformWindow* window);
bool IsPlatformWindowTextInputDetached(PlatformWindow* window);
// Moves the cursor to a point of the desktop.
void SetGlobalCursorPosition(int x, int y);

// A window shape: rectangles (left, top, right, bottom; right and bottom
// exclusive) of the client area that stay; an empty list removes the shape.
// False when the system cannot shape windows (the shape is then not applied).
struct PlatformRect {
  int mLeft = 0;
  int mTop = 0;
  int mRight = 0;
  int mBottom = 0;
};
bool SetPlatformWindowShape(PlatformWindow* window, const PlatformRect* rects, int count);

struct PlatformDisplayMode {
  int mWidth = 0;
  int mHeight = 0;
  int mBitsPerPixel = 0;
  int mRefreshRate = 0;
};
// The monitor that holds the window's centre (the nearest one): its index and
// rectangle (left, top, width, height). False when it cannot be found.
bool FindPlatformWindowMonitor(PlatformWindow* window, int* monitor, int rect[4]);
// The monitor's area without panels (left, top, right, bottom).
bool GetPlatformMonitorWorkArea(int monitor, int rect[4]);
// Display mode `index` of the monitor (from 0); false past the last.
bool GetPlatformDisplayMode(int monitor, int index, PlatformDisplayMode* mode);
// Full screen on the window's monitor: in `mode` (a display mode change) or,
// for null, on the desktop's own mode. False when the system refused.
bool EnterPlatformFullscreen(PlatformWindow* window, const PlatformDisplayMode* mode);
// Back to a window and to the stored display mode.
void LeavePlatformFullscreen(PlatformWindow* window);

// Tests replace the monitor and display-mode services; null members keep the
// system's own. nullptr restores them all. The hooks must outlive their
// installation.
struct PlatformDisplayHooks {
  bool (*mFindMonitor)(PlatformWindow* window, int* monitor, int rect[4]) = nullptr;
  bool (*mGetMode)(int monitor, int index, PlatformDisplayMode* mode) = nullptr;
  bool (*mEnterFullscreen)(PlatformWindow* window, const PlatformDisplayMode* mode) = nullptr;
};
void SetPlatformDisplayHooks(const PlatformDisplayHooks* hooks);

// --- Dropped files ----------------------------------------------------------

// The files of one drop, as the system named them (UTF-8), in order. The
// window procedure receives it with the drop message and finishes it.
struct PlatformDrop;
PlatformDrop* CreatePlatformDrop(const std::vector<std::string>& paths);
size_t CountDroppedFiles(const PlatformDrop* drop);
const std::string& GetDroppedFile(const PlatformDrop* drop, size_t index);
bool IsDroppedFileFolder(const PlatformDrop* drop, size_t index);
void FinishPlatformDrop(PlatformDrop* drop);

// --- Events ------------------------------------------------------------------

// Turns one system event of a game window into window messages (posted to the
// queue); false for an event that is not a window's.
bool TranslatePlatformWindowEvent(const SDL_Event& event);
// Windows whose picture must be painted again get a paint message; the queue
// asks when it has nothing else.
void InvalidatePlatformWindow(PlatformWindow* window);
void PostPendingPaintMessages();

// The desktop of the first display; false (and nothing written) when there
// is no display.
struct DesktopFacts {
  int mWidth = 0;
  int mHeight = 0;
  int mBitsPerPixel = 0;
  int mRefreshRate = 0;  // 0 when unknown
};
bool GetDesktopFacts(DesktopFacts* facts);

// The cursor position on the desktop; false when there is no display.
bool GetGlobalCursorPosition(int* x, int* y);

// Shows or hides the mouse cursor over the program's windows.
void SetSystemCursorVisible(bool visible);

// --- Frame presentation on the window surface ---
// The client area is the window's surface of 32-bit pixels, B, G, R, X in
// memory. A blit draws the source rectangle of a top-down image of B, G, R, A
// pixels (the fourth byte is not shown) into the destination rectangle of the
// client area, repeating or dropping pixels where the sizes differ (no
// filtering); both rectangles are clipped and only the rectangle drawn is
// brought to the screen.
struct PlatformBlit {
  const unsigned char* mPixels = nullptr;
  int mImageWidth = 0;  // also the pitch, in pixels
  int mImageHeight = 0;
  int mSrcX = 0;
  int mSrcY = 0;
  int mSrcWidth = 0;
  int mSrcHeight = 0;
  int mDstX = 0;
  int mDstY = 0;
  int mDstWidth = 0;
  int mDstHeight = 0;
};
// False when the window has no surface or nothing of the blit is visible.
bool BlitToPlatformWindow(PlatformWindow* window, const PlatformBlit& blit);
// Draws width x height pixels at the very top of the window, over the menu
// rows (or, without them, over the picture).
bool DrawPlatformWindowBand(PlatformWindow* window, const unsigned char* pixels, int width, int height);
// Fills the whole client area with one B, G, R value (0x00RRGGBB).
bool FillPlatformWindow(PlatformWindow* window, unsigned colour);
// Copies a rectangle of the client area out as B, G, R, X pixels (pitch
// width * 4); pixels outside the client area read as 0. False without a
// surface.
bool ReadPlatformWindowPixels(PlatformWindow* window, int x, int y, int width, int height, unsigned char* out);
