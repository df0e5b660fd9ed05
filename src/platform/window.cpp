#include "platform/window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/input_devices.h"
#include "platform/instance_lock.h"
#include "platform/messages.h"
#include "platform/text_codec.h"

struct PlatformWindow {
  SDL_Window* mSdl = nullptr;
  int mActivationListener = -1;
  void* mUserData = nullptr;
  bool mShown = false;
  bool mPaintPending = false;
  uint32_t mStyle = 0;
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

// --- Window geometry, style and monitors ------------------------------------

void SetPlatformWindowStyle(PlatformWindow* window, uint32_t style) {
  if (window == nullptr) return;
  window->mStyle = style;
  bool framed = (style & kWindowStylePopup) == 0 && (style & kWindowStyleCaption) == kWindowStyleCaption;
  SDL_SetWindowBordered(window->mSdl, framed ? SDL_TRUE : SDL_FALSE);
  bool thick = framed && (style & kWindowStyleThickFrame) != 0;
  SDL_SetWindowResizable(window->mSdl, thick ? SDL_TRUE : SDL_FALSE);
}

uint32_t GetPlatformWindowStyle(PlatformWindow* window) { return window != nullptr ? window->mStyle : 0; }

bool GetPlatformWindowPosition(PlatformWindow* window, int* x, int* y) {
  if (window == nullptr) return false;
  SDL_GetWindowPosition(window->mSdl, x, y);
  return true;
}

void SetPlatformWindowPosition(PlatformWindow* window, int x, int y) {
  if (window != nullptr) SDL_SetWindowPosition(window->mSdl, x, y);
}

bool GetPlatformWindowClientSize(PlatformWindow* window, int* width, int* height) {
  if (window == nullptr) return false;
  SDL_GetWindowSize(window->mSdl, width, height);
  return true;
}

void SetPlatformWindowClientSize(PlatformWindow* window, int width, int height) {
  if (window != nullptr) SDL_SetWindowSize(window->mSdl, std::max(1, width), std::max(1, height));
}

void GetPlatformWindowFrameExtra(PlatformWindow* window, int* width, int* height) {
  int top = 0;
  int left = 0;
  int bottom = 0;
  int right = 0;
  if (window == nullptr || SDL_GetWindowBordersSize(window->mSdl, &top, &left, &bottom, &right) != 0) {
    top = left = bottom = right = 0;
  }
  *width = left + right;
  *height = top + bottom;
}

void SetPlatformWindowSizeLimits(PlatformWindow* window, int minWidth, int minHeight, int maxWidth, int maxHeight) {
  if (window == nullptr) return;
  SDL_SetWindowMinimumSize(window->mSdl, std::max(1, minWidth), std::max(1, minHeight));
  SDL_SetWindowMaximumSize(window->mSdl, std::max(1, maxWidth), std::max(1, maxHeight));
}

bool IsPlatformWindowMinimized(PlatformWindow* window) {
  return window != nullptr && (SDL_GetWindowFlags(window->mSdl) & SDL_WINDOW_MINIMIZED) != 0;
}

bool IsPlatformWindowMaximized(PlatformWindow* window) {
  return window != nullptr && (SDL_GetWindowFlags(window->mSdl) & SDL_WINDOW_MAXIMIZED) != 0;
}

void RestorePlatformWindow(PlatformWindow* window) {
  if (window != nullptr) SDL_RestoreWindow(window->mSdl);
}

void RaisePlatformWindow(PlatformWindow* window) {
  if (window != nullptr) SDL_RaiseWindow(window->mSdl);
}

bool FlashPlatformWindow(PlatformWindow* window, unsigned count) {
  if (window == nullptr) return false;
  // The system decides how long the entry blinks: a count asks until the
  // window is brought forward, none a single short blink.
  return SDL_FlashWindow(window->mSdl, count != 0 ? SDL_FLASH_UNTIL_FOCUSED : SDL_FLASH_BRIEFLY) == 0;
}

void SetGlobalCursorPosition(int x, int y) {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_WarpMouseGlobal(x, y);
}

namespace {

// The X shape extension of the display's own libXext, bound on first use.
struct XRectangleShape {
  short x;
  short y;
  unsigned short width;
  unsigned short height;
};
using ShapeRectanglesRoutine = void (*)(::Display*, ::Window, int, int, int, XRectangleShape*, int, int, int);
using ShapeMaskRoutine = void (*)(::Display*, ::Window, int, int, int, unsigned long, int);
constexpr int kShapeBounding = 0;
constexpr int kShapeSet = 0;
constexpr int kShapeUnsorted = 0;

bool BindShapeExtension(ShapeRectanglesRoutine* rectangles, ShapeMaskRoutine* mask) {
  static void* library = dlopen("libXext.so.6", RTLD_LAZY);
  if (library == nullptr) return false;
  *rectangles = reinterpret_cast<ShapeRectanglesRoutine>(dlsym(library, "XShapeCombineRectangles"));
  *mask = reinterpret_cast<ShapeMaskRoutine>(dlsym(library, "XShapeCombineMask"));
  return *rectangles != nullptr && *mask != nullptr;
}

}  // namespace

bool SetPlatformWindowShape(PlatformWindow* window, const PlatformRect* rects, int count) {
  if (window == nullptr || count < 0) return false;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window->mSdl, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return false;
  ShapeRectanglesRoutine combineRectangles = nullptr;
  ShapeMaskRoutine combineMask = nullptr;
  if (!BindShapeExtension(&combineRectangles, &combineMask)) return false;
  if (count == 0) {
    combineMask(info.info.x11.display, info.info.x11.window, kShapeBounding, 0, 0, 0, kShapeSet);
    return true;
  }
  std::vector<XRectangleShape> shapes(static_cast<size_t>(count));
  for (int index = 0; index < count; ++index) {
    const PlatformRect& rect = rects[index];
    shapes[static_cast<size_t>(index)] = {static_cast<short>(rect.mLeft), static_cast<short>(rect.mTop),
                                          static_cast<unsigned short>(std::max(0, rect.mRight - rect.mLeft)),
                                          static_cast<unsigned short>(std::max(0, rect.mBottom - rect.mTop))};
  }
  combineRectangles(info.info.x11.display, info.info.x11.window, kShapeBounding, 0, 0, shapes.data(), count, kShapeSet,
                    kShapeUnsorted);
  return true;
}

namespace {
const PlatformDisplayHooks* g_displayHooks = nullptr;
}

void SetPlatformDisplayHooks(const PlatformDisplayHooks* hooks) { g_displayHooks = hooks; }

bool FindPlatformWindowMonitor(PlatformWindow* window, int* monitor, int rect[4]) {
  if (g_displayHooks != nullptr && g_displayHooks->mFindMonitor != nullptr) {
    return g_displayHooks->mFindMonitor(window, monitor, rect);
  }
  if (window == nullptr || !InitPlatformVideo()) return false;
  int index = SDL_GetWindowDisplayIndex(window->mSdl);
  if (index < 0) return false;
  SDL_Rect bounds;
  if (SDL_GetDisplayBounds(index, &bounds) != 0) return false;
  *monitor = index;
  rect[0] = bounds.x;
  rect[1] = bounds.y;
  rect[2] = bounds.w;
  rect[3] = bounds.h;
  return true;
}

bool GetPlatformMonitorWorkArea(int monitor, int rect[4]) {
  if (!InitPlatformVideo()) return false;
  SDL_Rect bounds;
  if (SDL_GetDisplayUsableBounds(monitor, &bounds) != 0) return false;
  rect[0] = bounds.x;
  rect[1] = bounds.y;
  rect[2] = bounds.x + bounds.w;
  rect[3] = bounds.y + bounds.h;
  return true;
}

bool GetPlatformDisplayMode(int monitor, int index, PlatformDisplayMode* mode) {
  if (g_displayHooks != nullptr && g_displayHooks->mGetMode != nullptr) {
    return g_displayHooks->mGetMode(monitor, index, mode);
  }
  if (!InitPlatformVideo() || index < 0 || index >= SDL_GetNumDisplayModes(monitor)) return false;
  SDL_DisplayMode sdl{};
  if (SDL_GetDisplayMode(monitor, index, &sdl) != 0) return false;
  mode->mWidth = sdl.w;
  mode->mHeight = sdl.h;
  mode->mBitsPerPixel = static_cast<int>(SDL_BITSPERPIXEL(sdl.format));
  if (mode->mBitsPerPixel == 24 && SDL_BYTESPERPIXEL(sdl.format) == 4) mode->mBitsPerPixel = 32;
  mode->mRefreshRate = sdl.refresh_rate;
  return true;
}

bool EnterPlatformFullscreen(PlatformWindow* window, const PlatformDisplayMode* mode) {
  if (g_displayHooks != nullptr && g_displayHooks->mEnterFullscreen != nullptr) {
    return g_displayHooks->mEnterFullscreen(window, mode);
  }
  if (window == nullptr) return false;
  if (mode == nullptr) return SDL_SetWindowFullscreen(window->mSdl, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
  SDL_DisplayMode wanted{};
  wanted.w = mode->mWidth;
  wanted.h = mode->mHeight;
  wanted.refresh_rate = mode->mRefreshRate;
  if (SDL_SetWindowDisplayMode(window->mSdl, &wanted) != 0) return false;
  return SDL_SetWindowFullscreen(window->mSdl, SDL_WINDOW_FULLSCREEN) == 0;
}

void LeavePlatformFullscreen(PlatformWindow* window) {
  // Leaving full screen also gives the monitor its stored mode back.
  if (window != nullptr) SDL_SetWindowFullscreen(window->mSdl, 0);
}

// --- Dropped files ----------------------------------------------------------

struct PlatformDrop {
  std::vector<std::string> mPaths;
};

PlatformDrop* CreatePlatformDrop(const std::vector<std::string>& paths) { return new PlatformDrop{paths}; }

size_t CountDroppedFiles(const PlatformDrop* drop) { return drop != nullptr ? drop->mPaths.size() : 0; }

const std::string& GetDroppedFile(const PlatformDrop* drop, size_t index) { return drop->mPaths.at(index); }

bool IsDroppedFileFolder(const PlatformDrop* drop, size_t index) {
  struct stat info{};
  return stat(GetDroppedFile(drop, index).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void FinishPlatformDrop(PlatformDrop* drop) { delete drop; }

// --- Events ------------------------------------------------------------------

namespace {

// A key message names Shift, Control and Alt without their side.
int GenericVirtualKey(int key) {
  switch (key) {
    case 0xA0:
    case 0xA1:
      return 0x10;
    case 0xA2:
    case 0xA3:
      return 0x11;
    case 0xA4:
    case 0xA5:
      return 0x12;
    default:
      return key;
  }
}

// The drop that is being gathered, and its window.
PlatformDrop* g_openDrop = nullptr;
unsigned g_openDropWindow = 0;

void PostDrop() {
  if (g_openDrop == nullptr) return;
  PlatformWindow* window = FindPlatformWindowBySdlId(g_openDropWindow);
  if (window != nullptr) {
    PostWindowMessage(window, kMsgDropFiles, reinterpret_cast<uint64_t>(g_openDrop), 0);
  } else {
    FinishPlatformDrop(g_openDrop);
  }
  g_openDrop = nullptr;
}

void TranslateDropEvent(const SDL_DropEvent& event) {
  if (event.type == SDL_DROPBEGIN) {
    PostDrop();
    g_openDrop = new PlatformDrop;
    g_openDropWindow = event.windowID;
  } else if (event.type == SDL_DROPFILE) {
    if (g_openDrop == nullptr) {
      g_openDrop = new PlatformDrop;
      g_openDropWindow = event.windowID;
    }
    if (event.file != nullptr) g_openDrop->mPaths.emplace_back(event.file);
  } else if (event.type == SDL_DROPCOMPLETE) {
    PostDrop();
  }
  if (event.file != nullptr) SDL_free(event.file);
}

void TranslateWindowStateEvent(PlatformWindow* window, const SDL_WindowEvent& event) {
  switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
      // The close box arrives as the system close command, as Alt+F4 does.
      PostWindowMessage(window, kMsgSysCommand, kSysCommandClose, 0);
      break;
    case SDL_WINDOWEVENT_MOVED:
      PostWindowMessage(window, kMsgMove, 0, MakePointParam(event.data1, event.data2));
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      PostWindowMessage(window, kMsgSize, 0, MakePointParam(event.data1, event.data2));
      PostWindowMessage(window, kMsgWindowPosChanged, 0, 0);
      break;
    case SDL_WINDOWEVENT_EXPOSED:
      InvalidatePlatformWindow(window);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      PostWindowMessage(window, kMsgActivate, 1, 0);
      PostWindowMessage(window, kMsgActivateApp, 1, 0);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      PostWindowMessage(window, kMsgActivate, 0, 0);
      break;
    // The system changed the state already; the command tells the window
    // procedure, which undoes a change it refuses.
    case SDL_WINDOWEVENT_MINIMIZED:
      PostWindowMessage(window, kMsgSysCommand, kSysCommandMinimize, 0);
      break;
    case SDL_WINDOWEVENT_MAXIMIZED:
      PostWindowMessage(window, kMsgSysCommand, kSysCommandMaximize, 0);
      break;
    case SDL_WINDOWEVENT_RESTORED:
      PostWindowMessage(window, kMsgSysCommand, kSysCommandRestore, 0);
      break;
    default:
      break;
  }
}

}  // namespace

bool TranslatePlatformWindowEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_WINDOWEVENT: {
      PlatformWindow* window = FindPlatformWindowBySdlId(event.window.windowID);
      if (window != nullptr) TranslateWindowStateEvent(window, event.window);
      return true;
    }
    case SDL_KEYDOWN: {
      PlatformWindow* window = FindPlatformWindowBySdlId(event.key.windowID);
      int key = GenericVirtualKey(VirtualKeyOfScancode(event.key.keysym.scancode));
      if (window == nullptr || key == 0) return true;
      // As on the system the program was made for, F10 and keys pressed
      // with Alt are system keys.
      bool system = key == 0x79 || (event.key.keysym.mod & KMOD_ALT) != 0;
      PostWindowMessage(window, system ? kMsgSysKeyDown : kMsgKeyDown, static_cast<uint64_t>(key), 0);
      return true;
    }
    case SDL_MOUSEMOTION: {
      PlatformWindow* window = FindPlatformWindowBySdlId(event.motion.windowID);
      if (window != nullptr) PostWindowMessage(window, kMsgMouseMove, 0, MakePointParam(event.motion.x, event.motion.y));
      return true;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      PlatformWindow* window = FindPlatformWindowBySdlId(event.button.windowID);
      if (window == nullptr) return true;
      bool down = event.type == SDL_MOUSEBUTTONDOWN;
      uint32_t message = 0;
      if (event.button.button == SDL_BUTTON_LEFT) message = down ? kMsgLeftButtonDown : kMsgLeftButtonUp;
      if (down && event.button.button == SDL_BUTTON_RIGHT) message = kMsgRightButtonDown;
      if (down && event.button.button == SDL_BUTTON_MIDDLE) message = kMsgMiddleButtonDown;
      if (message != 0) PostWindowMessage(window, message, 0, MakePointParam(event.button.x, event.button.y));
      return true;
    }
    case SDL_MOUSEWHEEL: {
      PlatformWindow* window = FindPlatformWindowBySdlId(event.wheel.windowID);
      if (window == nullptr) return true;
      int steps = event.wheel.y;
      if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) steps = -steps;
      // One notch is 120, in the high word as the system sends it.
      int delta = std::clamp(steps * 120, -32768, 32767);
      PostWindowMessage(window, kMsgMouseWheel, static_cast<uint64_t>(static_cast<uint16_t>(delta)) << 16, 0);
      return true;
    }
    case SDL_DROPBEGIN:
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
    case SDL_DROPCOMPLETE:
      if (event.type == SDL_DROPTEXT) {
        SDL_free(event.drop.file);
      } else {
        TranslateDropEvent(event.drop);
      }
      return true;
    default:
      return false;
  }
}

void InvalidatePlatformWindow(PlatformWindow* window) {
  if (window != nullptr) window->mPaintPending = true;
}

void PostPendingPaintMessages() {
  for (PlatformWindow* window : g_windows) {
    if (!window->mPaintPending) continue;
    window->mPaintPending = false;
    PostWindowMessage(window, kMsgPaint, 0, 0);
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
