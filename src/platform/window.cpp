#include "platform/window.h"

#include <SDL.h>
#include <SDL_syswm.h>
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
std::atomic<bool> g_displayLost{false};

#if defined(SDL_VIDEO_DRIVER_X11)
// The X library ends the whole process with exit() when the connection to
// the server breaks (the server ended, a virtual display was killed), from
// inside whatever call noticed it. The program must close in order instead,
// so the loss is only recorded here and the X library is told to return to
// its caller; every later request on that connection then fails at once.
// The library is SDL's own copy of libX11 (already loaded by SDL's X11
// backend), found without linking it.
using XIoErrorHandler = int (*)(Display*);
using XIoErrorExitHandler = void (*)(Display*, void*);
using SetIoErrorHandlerRoutine = XIoErrorHandler (*)(XIoErrorHandler);
using SetIoErrorExitHandlerRoutine = void (*)(Display*, XIoErrorExitHandler, void*);

SetIoErrorHandlerRoutine g_setIoErrorHandler = nullptr;
SetIoErrorExitHandlerRoutine g_setIoErrorExitHandler = nullptr;
XIoErrorHandler g_previousIoErrorHandler = nullptr;
bool g_ioErrorHandlerSet = false;

int OnDisplayConnectionBroken(Display*) {
  g_displayLost.store(true);
  return 0;
}

void ReturnAfterConnectionBroken(Display*, void*) {
  // Returning keeps the process alive: the shell sees IsDisplayLost() and
  // closes the program.
}

void WatchX11Connection() {
  if (g_ioErrorHandlerSet) return;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || SDL_strcmp(driver, "x11") != 0) return;
  void* library = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
  if (library == nullptr) return;
  g_setIoErrorHandler = reinterpret_cast<SetIoErrorHandlerRoutine>(dlsym(library, "XSetIOErrorHandler"));
  // Only X libraries from 1.7 on can return after a broken connection.
  g_setIoErrorExitHandler = reinterpret_cast<SetIoErrorExitHandlerRoutine>(dlsym(library, "XSetIOErrorExitHandler"));
  // The library stays loaded as long as SDL uses it; this reference is not
  // kept.
  dlclose(library);
  if (g_setIoErrorHandler == nullptr || g_setIoErrorExitHandler == nullptr) return;
  g_previousIoErrorHandler = g_setIoErrorHandler(OnDisplayConnectionBroken);
  g_ioErrorHandlerSet = true;
}

void UnwatchX11Connection() {
  if (!g_ioErrorHandlerSet) return;
  g_setIoErrorHandler(g_previousIoErrorHandler);
  g_previousIoErrorHandler = nullptr;
  g_ioErrorHandlerSet = false;
}

// The exit step is set per connection: on the one of each window.
void KeepRunningOnBrokenConnection(SDL_Window* sdl) {
  if (!g_ioErrorHandlerSet) return;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(sdl, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return;
  if (info.info.x11.display != nullptr) {
    g_setIoErrorExitHandler(info.info.x11.display, ReturnAfterConnectionBroken, nullptr);
  }
}
#else
void WatchX11Connection() {}
void UnwatchX11Connection() {}
void KeepRunningOnBrokenConnection(SDL_Window*) {}
#endif

}  // namespace

bool InitPlatformVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // Closing the last window is the game's own decision (it may ask first):
  // the quit event then comes only from a termination signal.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  g_displayLost.store(false);
  WatchX11Connection();
  return true;
}

void QuitPlatformVideo() {
  for (PlatformWindow* window : std::vector<PlatformWindow*>(g_windows)) DestroyPlatformWindow(window);
  // A broken connection is left as it is: closing SDL's connections waits for
  // the server that is gone, and SDL's second connection has no way back
  // from the X library's exit. The process is ending.
  if (g_displayLost.load()) return;
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  UnwatchX11Connection();
}

bool IsDisplayLost() { return g_displayLost.load(); }

PlatformWindow* CreatePlatformWindow(const PlatformWindowDesc& desc) {
  if (!InitPlatformVideo() || g_displayLost.load()) return nullptr;
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
  KeepRunningOnBrokenConnection(sdl);
  g_windows.push_back(window);
  if (desc.mVisible) ShowPlatformWindow(window, true);
  return window;
}

void DestroyPlatformWindow(PlatformWindow* window) {
  if (window == nullptr) return;
  std::erase(g_windows, window);
  DropWindowMessages(window);
  CloseActivationListener(window->mActivationListener);
  // Without its display SDL would wait for ever for the window to unmap;
  // the window went with the server.
  if (!g_displayLost.load()) SDL_DestroyWindow(window->mSdl);
  delete window;
}

void ShowPlatformWindow(PlatformWindow* window, bool shown) {
  if (window == nullptr) return;
  window->mShown = shown;
  // Showing and hiding wait for the server's answer.
  if (g_displayLost.load()) return;
  if (shown) {
    SDL_ShowWindow(window->mSdl);
  } else {
    SDL_HideWindow(window->mSdl);
  }
}

bool IsPlatformWindowShown(PlatformWindow* window) { return window != nullptr && window->mShown; }

void BringPlatformWindowForward(PlatformWindow* window) {
  if (window == nullptr || g_displayLost.load()) return;
  if ((SDL_GetWindowFlags(window->mSdl) & SDL_WINDOW_MINIMIZED) != 0) SDL_RestoreWindow(window->mSdl);
  SDL_RaiseWindow(window->mSdl);
}

void SetPlatformWindowTitle(PlatformWindow* window, const char* title) {
  if (window == nullptr || g_displayLost.load()) return;
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

void SetSystemCursorVisible(bool visible) {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0 || g_displayLost.load()) return;
  SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}
