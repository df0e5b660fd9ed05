#pragma once
// Top-level windows on SDL2. Events of the system arrive as window messages
// (messages.h) that the shell's window procedure handles.
#include <climits>
#include <string>

struct PlatformWindow;
struct SDL_Window;

struct PlatformWindowDesc {
  std::string mClassName;  // Shift-JIS; a second copy finds the window by it
  std::string mTitle;      // Shift-JIS
  int mX = INT_MIN;        // INT_MIN: centred
  int mY = INT_MIN;
  int mWidth = 640;
  int mHeight = 480;
  bool mResizable = false;
  bool mVisible = false;
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
// Fills the whole client area with one B, G, R value (0x00RRGGBB).
bool FillPlatformWindow(PlatformWindow* window, unsigned colour);
// Copies a rectangle of the client area out as B, G, R, X pixels (pitch
// width * 4); pixels outside the client area read as 0. False without a
// surface.
bool ReadPlatformWindowPixels(PlatformWindow* window, int x, int y, int width, int height, unsigned char* out);
