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

bool BlitToPlatformWindow(PlatformWindow* window, const PlatformBlit& blit) {
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
  }
  SDL_UpdateWindowSurfaceRects(window->mSdl, &drawn, 1);
  return true;
}

bool FillPlatformWindow(PlatformWindow* window, unsigned colour) {
  if (window == nullptr) return false;
  SDL_Surface* surface = GetPresentSurface(window->mSdl);
  if (surface == nullptr) return false;
  uint32_t value = SDL_MapRGB(surface->format, static_cast<Uint8>(colour >> 16), static_cast<Uint8>(colour >> 8),
                              static_cast<Uint8>(colour));
  SDL_FillRect(surface, nullptr, value);
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
      int sy = y + row;
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
