#include "platform/window.h"

#include <SDL.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/edit_field.h"
#include "platform/input_devices.h"
#include "platform/instance_lock.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/x11_handles.h"

struct PlatformWindow {
  SDL_Window* mSdl = nullptr;
  int mActivationListener = -1;
  void* mUserData = nullptr;
  bool mShown = false;
  bool mPaintPending = false;
  uint32_t mStyle = 0;
  // Rows at the top of the window kept for the menu bar: the client area
  // the engine sees starts below them.
  int mTopInset = 0;
  // A request for attention runs until this tick (SDL_GetTicks64).
  bool mFlashing = false;
  uint64_t mFlashEnd = 0;
  bool mTextInputDetached = false;
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
  if (desc.mPopupMenu) flags |= SDL_WINDOW_POPUP_MENU | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR;
  // On X11: the utility window type and the skip-taskbar state.
  if (desc.mToolWindow) flags |= SDL_WINDOW_UTILITY | SDL_WINDOW_SKIP_TASKBAR;
  // On X11: the "above" state.
  if (desc.mTopmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
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
  *height = std::max(0, *height - window->mTopInset);
  return true;
}

void SetPlatformWindowClientSize(PlatformWindow* window, int width, int height) {
  if (window != nullptr) SDL_SetWindowSize(window->mSdl, std::max(1, width), std::max(1, height) + window->mTopInset);
}

void SetPlatformWindowTopInset(PlatformWindow* window, int inset) {
  if (window == nullptr || inset < 0 || inset == window->mTopInset) return;
  int width = 0;
  int height = 0;
  SDL_GetWindowSize(window->mSdl, &width, &height);
  int client = std::max(1, height - window->mTopInset);
  window->mTopInset = inset;
  SDL_SetWindowSize(window->mSdl, width, client + inset);
}

int GetPlatformWindowTopInset(PlatformWindow* window) { return window != nullptr ? window->mTopInset : 0; }

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

void MinimizePlatformWindow(PlatformWindow* window) {
  if (window != nullptr) SDL_MinimizeWindow(window->mSdl);
}

bool SetPlatformWindowOpacity(PlatformWindow* window, uint8_t alpha) {
  return window != nullptr && SDL_SetWindowOpacity(window->mSdl, static_cast<float>(alpha) / 255.0f) == 0;
}

void SetPlatformWindowTopmost(PlatformWindow* window, bool topmost) {
  if (window != nullptr) SDL_SetWindowAlwaysOnTop(window->mSdl, topmost ? SDL_TRUE : SDL_FALSE);
}

namespace {

// The X11 connection and window behind a window; false on another system.
bool GetX11Window(PlatformWindow* window, ::Display** display, ::Window* x11) {
  return window != nullptr && GetX11Handles(window->mSdl, display, x11);
}

// Waits until the server has carried out what the window's X11 connection
// sent: a change has landed when the call returns, rather than at some
// later event pump (other clients, a window manager, see it from then on).
void SyncX11Requests(PlatformWindow* window) {
  ::Display* display = nullptr;
  ::Window x11 = 0;
  if (GetX11Window(window, &display, &x11)) XSync(display, False);
}

}  // namespace

bool RestackPlatformWindow(PlatformWindow* window, PlatformStackPlace place, PlatformWindow* sibling) {
  ::Display* display = nullptr;
  ::Window x11 = 0;
  if (!GetX11Window(window, &display, &x11)) return false;
  switch (place) {
    case PlatformStackPlace::kTop:
      // Unlike SDL_RaiseWindow, this does not ask for the input focus.
      XRaiseWindow(display, x11);
      break;
    case PlatformStackPlace::kBottom:
      XLowerWindow(display, x11);
      break;
    case PlatformStackPlace::kBelow: {
      ::Display* siblingDisplay = nullptr;
      XWindowChanges changes{};
      if (sibling == window || !GetX11Window(sibling, &siblingDisplay, &changes.sibling)) return false;
      changes.stack_mode = Below;
      // A window manager that reparented the windows gets the request as a
      // synthetic configure request; without one the server restacks.
      if (XReconfigureWMWindow(display, x11, XDefaultScreen(display), CWSibling | CWStackMode, &changes) == 0) {
        return false;
      }
      break;
    }
  }
  XSync(display, False);
  return true;
}

bool FlashPlatformWindow(PlatformWindow* window, uint32_t durationMs) {
  if (window == nullptr) return false;
  if (durationMs == 0) {
    window->mFlashing = false;
    bool stopped = SDL_FlashWindow(window->mSdl, SDL_FLASH_CANCEL) == 0;
    SyncX11Requests(window);
    return stopped;
  }
  // SDL keeps asking until the window gets the focus (a focused window is
  // not flashed); the end of the time asked for is ours to keep.
  if (SDL_FlashWindow(window->mSdl, SDL_FLASH_UNTIL_FOCUSED) != 0) return false;
  SyncX11Requests(window);
  window->mFlashing = true;
  window->mFlashEnd = SDL_GetTicks64() + durationMs;
  return true;
}

void EndExpiredWindowFlashes() {
  uint64_t now = 0;
  for (PlatformWindow* window : g_windows) {
    if (!window->mFlashing) continue;
    if (now == 0) now = SDL_GetTicks64();
    if (now < window->mFlashEnd) continue;
    window->mFlashing = false;
    SDL_FlashWindow(window->mSdl, SDL_FLASH_CANCEL);
    SyncX11Requests(window);
  }
}

void DetachPlatformWindowTextInput(PlatformWindow* window) {
  if (window == nullptr) return;
  window->mTextInputDetached = true;
  // The engine starts text input only for a focused edit field of a window
  // that still takes text; SDL starts it with the video system.
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_StopTextInput();
}

bool IsPlatformWindowTextInputDetached(PlatformWindow* window) {
  return window != nullptr && window->mTextInputDetached;
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
  ::Display* display = nullptr;
  ::Window x11 = 0;
  if (count < 0 || !GetX11Window(window, &display, &x11)) return false;
  ShapeRectanglesRoutine combineRectangles = nullptr;
  ShapeMaskRoutine combineMask = nullptr;
  if (!BindShapeExtension(&combineRectangles, &combineMask)) return false;
  if (count == 0) {
    combineMask(display, x11, kShapeBounding, 0, 0, 0, kShapeSet);
    XSync(display, False);
    return true;
  }
  std::vector<XRectangleShape> shapes(static_cast<size_t>(count));
  for (int index = 0; index < count; ++index) {
    const PlatformRect& rect = rects[index];
    shapes[static_cast<size_t>(index)] = {static_cast<short>(rect.mLeft), static_cast<short>(rect.mTop),
                                          static_cast<unsigned short>(std::max(0, rect.mRight - rect.mLeft)),
                                          static_cast<unsigned short>(std::max(0, rect.mBottom - rect.mTop))};
  }
  combineRectangles(display, x11, kShapeBounding, 0, 0, shapes.data(), count, kShapeSet, kShapeUnsorted);
  XSync(display, False);
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
  // A focused edit field takes typed text and its editing keys first.
  if (DeliverEditFieldEvent(event)) return true;
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
      if (window != nullptr) {
        PostWindowMessage(window, kMsgMouseMove, 0, MakePointParam(event.motion.x, event.motion.y - window->mTopInset));
      }
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
      if (message != 0) {
        PostWindowMessage(window, message, 0, MakePointParam(event.button.x, event.button.y - window->mTopInset));
      }
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

// --- Frame presentation on the window surface ---
namespace {

// Surfaces whose 32-bit pixels are B, G, R and a fourth byte in memory take
// frame rows as they are.
bool IsBgrxSurface(const SDL_Surface* surface) {
  if (SDL_BYTEORDER != SDL_LIL_ENDIAN) return false;
  uint32_t format = surface->format->format;
  return format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888;
}

// The window's surface. Frames are composed on the processor, so the
// surface stays plain memory that the display's own framebuffer shows (on
// X11 a shared-memory image, whose changed rectangles alone are sent):
// SDL's default would put a GPU renderer behind it, which uploads the whole
// surface on every update.
SDL_Surface* GetPresentSurface(SDL_Window* window) {
  if (window == nullptr) return nullptr;
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  return SDL_GetWindowSurface(window);
}

uint32_t MapFramePixel(const SDL_Surface* surface, const unsigned char* bgra) {
  return SDL_MapRGB(surface->format, bgra[2], bgra[1], bgra[0]);
}

void StorePixel(SDL_Surface* surface, int x, int y, uint32_t value) {
  auto* row = static_cast<unsigned char*>(surface->pixels) + static_cast<size_t>(y) * surface->pitch;
  int bytes = surface->format->BytesPerPixel;
  unsigned char* at = row + static_cast<size_t>(x) * bytes;
  switch (bytes) {
    case 4: {
      uint32_t v = value;
      SDL_memcpy(at, &v, 4);
      break;
    }
    case 3:
      at[0] = static_cast<unsigned char>(value);
      at[1] = static_cast<unsigned char>(value >> 8);
      at[2] = static_cast<unsigned char>(value >> 16);
      break;
    case 2: {
      auto v = static_cast<uint16_t>(value);
      SDL_memcpy(at, &v, 2);
      break;
    }
    default:
      *at = static_cast<unsigned char>(value);
      break;
  }
}

uint32_t LoadPixel(const SDL_Surface* surface, int x, int y) {
  const auto* row = static_cast<const unsigned char*>(surface->pixels) + static_cast<size_t>(y) * surface->pitch;
  int bytes = surface->format->BytesPerPixel;
  const unsigned char* at = row + static_cast<size_t>(x) * bytes;
  uint32_t value = 0;
  switch (bytes) {
    case 4: SDL_memcpy(&value, at, 4); break;
    case 3: value = at[0] | (at[1] << 8) | (static_cast<uint32_t>(at[2]) << 16); break;
    case 2: {
      uint16_t v = 0;
      SDL_memcpy(&v, at, 2);
      value = v;
      break;
    }
    default: value = *at; break;
  }
  return value;
}

// The surface of a window, locked while a SurfaceAccess lives.
class SurfaceAccess {
 public:
  explicit SurfaceAccess(PlatformWindow* window) {
    if (window == nullptr) return;
    mSurface = GetPresentSurface(window->mSdl);
    if (mSurface == nullptr) return;
    if (SDL_MUSTLOCK(mSurface) && SDL_LockSurface(mSurface) != 0) {
      mSurface = nullptr;
      return;
    }
    mLocked = SDL_MUSTLOCK(mSurface);
  }
  ~SurfaceAccess() {
    if (mLocked) SDL_UnlockSurface(mSurface);
  }
  SurfaceAccess(const SurfaceAccess&) = delete;
  SurfaceAccess& operator=(const SurfaceAccess&) = delete;
  SDL_Surface* Get() const { return mSurface; }

 private:
  SDL_Surface* mSurface = nullptr;
  bool mLocked = false;
};

// Clips [*start, *start + *length) to [0, limit), moving *other (the
// matching edge of the other rectangle) along; false when nothing is left.
bool ClipSpan(int64_t* start, int64_t* length, int64_t* other, int64_t limit) {
  if (*start < 0) {
    *length += *start;
    *other -= *start;
    *start = 0;
  }
  if (*start + *length > limit) *length = limit - *start;
  return *length > 0;
}

}  // namespace

namespace {
bool BlitIntoSurface(PlatformWindow* window, const PlatformBlit& blit);
}  // namespace

bool BlitToPlatformWindow(PlatformWindow* window, const PlatformBlit& blit) {
  if (window == nullptr) return false;
  PlatformBlit below = blit;
  below.mDstY += window->mTopInset;
  return BlitIntoSurface(window, below);
}

bool DrawPlatformWindowBand(PlatformWindow* window, const unsigned char* pixels, int width, int height) {
  if (window == nullptr) return false;
  PlatformBlit blit;
  blit.mPixels = pixels;
  blit.mImageWidth = width;
  blit.mImageHeight = height;
  blit.mSrcWidth = width;
  blit.mSrcHeight = height;
  blit.mDstWidth = width;
  blit.mDstHeight = height;
  return BlitIntoSurface(window, blit);
}

namespace {
bool BlitIntoSurface(PlatformWindow* window, const PlatformBlit& blit) {
  if (blit.mPixels == nullptr || blit.mImageWidth <= 0 || blit.mImageHeight <= 0 || blit.mSrcWidth <= 0 ||
      blit.mSrcHeight <= 0 || blit.mDstWidth <= 0 || blit.mDstHeight <= 0) {
    return false;
  }
  SDL_Rect drawn{};
  {
    SurfaceAccess access(window);
    SDL_Surface* surface = access.Get();
    if (surface == nullptr) return false;
    size_t imagePitch = static_cast<size_t>(blit.mImageWidth) * 4;
    if (blit.mSrcWidth == blit.mDstWidth && blit.mSrcHeight == blit.mDstHeight) {
      // 1:1: both rectangles clipped together, to the image and the surface.
      int64_t sx = blit.mSrcX, sy = blit.mSrcY, dx = blit.mDstX, dy = blit.mDstY;
      int64_t w = blit.mSrcWidth, h = blit.mSrcHeight;
      if (!ClipSpan(&sx, &w, &dx, blit.mImageWidth) || !ClipSpan(&sy, &h, &dy, blit.mImageHeight) ||
          !ClipSpan(&dx, &w, &sx, surface->w) || !ClipSpan(&dy, &h, &sy, surface->h)) {
        return false;
      }
      for (int64_t row = 0; row < h; ++row) {
        const unsigned char* from = blit.mPixels + static_cast<size_t>(sy + row) * imagePitch + sx * 4;
        if (IsBgrxSurface(surface)) {
          auto* to = static_cast<unsigned char*>(surface->pixels) + static_cast<size_t>(dy + row) * surface->pitch;
          SDL_memcpy(to + dx * 4, from, static_cast<size_t>(w) * 4);
        } else {
          for (int64_t col = 0; col < w; ++col) {
            StorePixel(surface, static_cast<int>(dx + col), static_cast<int>(dy + row),
                       MapFramePixel(surface, from + col * 4));
          }
        }
      }
      drawn = {static_cast<int>(dx), static_cast<int>(dy), static_cast<int>(w), static_cast<int>(h)};
    } else {
      // Stretched: each destination pixel takes the source pixel its
      // position falls on; source pixels outside the image are not drawn.
      int64_t x0 = std::max<int64_t>(blit.mDstX, 0);
      int64_t y0 = std::max<int64_t>(blit.mDstY, 0);
      int64_t x1 = std::min<int64_t>(int64_t{blit.mDstX} + blit.mDstWidth, surface->w);
      int64_t y1 = std::min<int64_t>(int64_t{blit.mDstY} + blit.mDstHeight, surface->h);
      if (x0 >= x1 || y0 >= y1) return false;
      for (int64_t y = y0; y < y1; ++y) {
        int64_t sy = blit.mSrcY + (y - blit.mDstY) * blit.mSrcHeight / blit.mDstHeight;
        if (sy < 0 || sy >= blit.mImageHeight) continue;
        const unsigned char* from = blit.mPixels + static_cast<size_t>(sy) * imagePitch;
        for (int64_t x = x0; x < x1; ++x) {
          int64_t sx = blit.mSrcX + (x - blit.mDstX) * blit.mSrcWidth / blit.mDstWidth;
          if (sx < 0 || sx >= blit.mImageWidth) continue;
          StorePixel(surface, static_cast<int>(x), static_cast<int>(y), MapFramePixel(surface, from + sx * 4));
        }
      }
      drawn = {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)};
    }
    // Edit fields lie over the picture.
    if (DrawEditFields(window, surface)) drawn = {0, 0, surface->w, surface->h};
  }
  SDL_UpdateWindowSurfaceRects(window->mSdl, &drawn, 1);
  return true;
}
}  // namespace

bool FillPlatformWindow(PlatformWindow* window, unsigned colour) {
  if (window == nullptr) return false;
  SDL_Surface* surface = GetPresentSurface(window->mSdl);
  if (surface == nullptr) return false;
  uint32_t value = SDL_MapRGB(surface->format, static_cast<Uint8>(colour >> 16), static_cast<Uint8>(colour >> 8),
                              static_cast<Uint8>(colour));
  SDL_Rect below{0, window->mTopInset, surface->w, std::max(0, surface->h - window->mTopInset)};
  SDL_FillRect(surface, &below, value);
  SDL_UpdateWindowSurface(window->mSdl);
  return true;
}

bool ReadPlatformWindowPixels(PlatformWindow* window, int x, int y, int width, int height, unsigned char* out) {
  if (out == nullptr || width <= 0 || height <= 0) return false;
  SurfaceAccess access(window);
  SDL_Surface* surface = access.Get();
  if (surface == nullptr) return false;
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      unsigned char* to = out + (static_cast<size_t>(row) * width + col) * 4;
      int sx = x + col;
      int sy = y + row + window->mTopInset;
      if (sx < 0 || sy < 0 || sx >= surface->w || sy >= surface->h) {
        SDL_memset(to, 0, 4);
        continue;
      }
      Uint8 r = 0, g = 0, b = 0;
      SDL_GetRGB(LoadPixel(surface, sx, sy), surface->format, &r, &g, &b);
      to[0] = b;
      to[1] = g;
      to[2] = r;
      to[3] = 0;
    }
  }
  return true;
}
