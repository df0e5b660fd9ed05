#include "platform/window.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/instance_lock.h"
#include "platform/messages.h"
#include "platform/text_codec.h"

struct PlatformWindow {
  SDL_Window* mSdl = nullptr;
  int mActivationListener = -1;
  void* mUserData = nullptr;
  bool mShown = false;
};

namespace {
// Windows are created and used on the main thread only.
std::vector<PlatformWindow*> g_windows;
std::atomic<DisplayLostRoutine> g_displayLostRoutine{nullptr};

// The X library calls its connection-error handler from inside whatever call
// found the server gone; by default the handler ends the process with exit().
// No call on a broken connection can go on usefully (a call that waits for an
// answer, such as hiding a window, would wait for ever), so the handler hands
// the end of the program to the routine the program registered. The library
// is SDL's own copy of libX11, already loaded by SDL's X11 backend: it is
// found without linking it.
using XIoErrorHandler = int (*)(struct _XDisplay*);
using SetIoErrorHandlerRoutine = XIoErrorHandler (*)(XIoErrorHandler);

SetIoErrorHandlerRoutine g_setIoErrorHandler = nullptr;
XIoErrorHandler g_previousIoErrorHandler = nullptr;

int OnDisplayConnectionBroken(struct _XDisplay*) {
  if (DisplayLostRoutine routine = g_displayLostRoutine.load()) routine();
  // Only without a routine: the library goes on to end the process.
  return 0;
}

void WatchDisplayConnection() {
  if (g_setIoErrorHandler != nullptr) return;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || SDL_strcmp(driver, "x11") != 0) return;
  void* library = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
  if (library == nullptr) return;
  auto setHandler = reinterpret_cast<SetIoErrorHandlerRoutine>(dlsym(library, "XSetIOErrorHandler"));
  // SDL keeps the library loaded while its video runs; this reference is not
  // needed.
  dlclose(library);
  if (setHandler == nullptr) return;
  g_previousIoErrorHandler = setHandler(OnDisplayConnectionBroken);
  g_setIoErrorHandler = setHandler;
}

void UnwatchDisplayConnection() {
  if (g_setIoErrorHandler == nullptr) return;
  g_setIoErrorHandler(g_previousIoErrorHandler);
  g_setIoErrorHandler = nullptr;
  g_previousIoErrorHandler = nullptr;
}

}  // namespace

bool InitPlatformVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // Closing the last window is the game's own decision (it may ask first):
  // the quit event then comes only from a termination signal.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  WatchDisplayConnection();
  return true;
}

void QuitPlatformVideo() {
  for (PlatformWindow* window : std::vector<PlatformWindow*>(g_windows)) DestroyPlatformWindow(window);
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  UnwatchDisplayConnection();
}

void SetDisplayLostRoutine(DisplayLostRoutine routine) { g_displayLostRoutine.store(routine); }

PlatformWindow* CreatePlatformWindow(const PlatformWindowDesc& desc) {
  if (!InitPlatformVideo()) return nullptr;
  std::string title = ConvertCp932ToUtf8(desc.mTitle);
  uint32_t flags = SDL_WINDOW_HIDDEN;
  if (desc.mResizable) flags |= SDL_WINDOW_RESIZABLE;
  int x = desc.mX == INT_MIN ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : desc.mX;
  int y = desc.mY == INT_MIN ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : desc.mY;
  SDL_Window* sdl = SDL_CreateWindow(title.c_str(), x, y, std::max(1, desc.mWidth), std::max(1, desc.mHeight), flags);
  if (sdl == nullptr) return nullptr;
  auto* window = new PlatformWindow;
  window->mSdl = sdl;
  window->mActivationListener = desc.mClassName.empty() ? -1 : OpenActivationListener(desc.mClassName);
  SDL_SetWindowData(sdl, "orvane", window);
  g_windows.push_back(window);
  if (desc.mVisible) ShowPlatformWindow(window, true);
  return window;
}

void DestroyPlatformWindow(PlatformWindow* window) {
  if (window == nullptr) return;
  std::erase(g_windows, window);
  DropWindowMessages(window);
  CloseActivationListener(window->mActivationListener);
  SDL_DestroyWindow(window->mSdl);
  delete window;
}

void ShowPlatformWindow(PlatformWindow* window, bool shown) {
  if (window == nullptr) return;
  if (shown) {
    SDL_ShowWindow(window->mSdl);
  } else {
    SDL_HideWindow(window->mSdl);
  }
  window->mShown = shown;
}

bool IsPlatformWindowShown(PlatformWindow* window) { return window != nullptr && window->mShown; }

void BringPlatformWindowForward(PlatformWindow* window) {
  if (window == nullptr) return;
  if ((SDL_GetWindowFlags(window->mSdl) & SDL_WINDOW_MINIMIZED) != 0) SDL_RestoreWindow(window->mSdl);
  SDL_RaiseWindow(window->mSdl);
}

void SetPlatformWindowTitle(PlatformWindow* window, const char* title) {
  if (window == nullptr) return;
  SDL_SetWindowTitle(window->mSdl, ConvertCp932ToUtf8(title != nullptr ? title : "").c_str());
}

void SetPlatformWindowUserData(PlatformWindow* window, void* data) {
  if (window != nullptr) window->mUserData = data;
}

void* GetPlatformWindowUserData(PlatformWindow* window) { return window != nullptr ? window->mUserData : nullptr; }

int CountPlatformWindows() { return static_cast<int>(g_windows.size()); }

PlatformWindow* GetFirstPlatformWindow() { return g_windows.empty() ? nullptr : g_windows.front(); }

SDL_Window* GetSdlWindow(PlatformWindow* window) { return window != nullptr ? window->mSdl : nullptr; }

PlatformWindow* FindPlatformWindowBySdlId(unsigned id) {
  SDL_Window* sdl = SDL_GetWindowFromID(id);
  if (sdl == nullptr) return nullptr;
  return static_cast<PlatformWindow*>(SDL_GetWindowData(sdl, "orvane"));
}

void ServeActivationRequests() {
  for (PlatformWindow* window : g_windows) {
    if (TakeActivationRequest(window->mActivationListener)) BringPlatformWindowForward(window);
  }
}

bool GetDesktopFacts(DesktopFacts* facts) {
  if (!InitPlatformVideo()) return false;
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
  facts->mWidth = mode.w;
  facts->mHeight = mode.h;
  facts->mBitsPerPixel = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
  if (facts->mBitsPerPixel == 24 && SDL_BYTESPERPIXEL(mode.format) == 4) facts->mBitsPerPixel = 32;
  facts->mRefreshRate = mode.refresh_rate;
  return true;
}

bool GetGlobalCursorPosition(int* x, int* y) {
  if (!InitPlatformVideo()) return false;
  SDL_GetGlobalMouseState(x, y);
  return true;
}

void SetSystemCursorVisible(bool visible) {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}
