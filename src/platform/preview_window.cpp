#include "platform/preview_window.h"

#include <SDL.h>

#include <atomic>
#include <cstring>

#include "platform/x11_handles.h"

namespace {

// The host window belongs to another program and may go at any moment: an
// X error while the preview runs means it went (Xlib's default handler
// would end the process with a failure instead).
std::atomic<bool> g_hostGone{false};

int OnPreviewXError(Display*, XErrorEvent*) {
  g_hostGone.store(true);
  return 0;
}

Display* X11DisplayOf(SDL_Window* window) {
  Display* display = nullptr;
  Window x11 = 0;
  return GetX11Handles(window, &display, &x11) ? display : nullptr;
}

}  // namespace

bool RunPreviewInForeignWindow(uint64_t windowId, const uint8_t* pixels, int width, int height) {
  if (windowId == 0) return false;
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  const char* driver = SDL_GetCurrentVideoDriver();
  // Only an X11 window can be named by a number here.
  if (driver == nullptr || std::strcmp(driver, "x11") != 0) return false;
  SDL_Window* window = SDL_CreateWindowFrom(reinterpret_cast<const void*>(static_cast<uintptr_t>(windowId)));
  if (window == nullptr) return false;
  Display* display = X11DisplayOf(window);
  g_hostGone.store(false);
  XErrorHandler previousHandler = display != nullptr ? XSetErrorHandler(OnPreviewXError) : nullptr;
  SDL_Surface* picture = nullptr;
  if (pixels != nullptr && width > 0 && height > 0) {
    picture = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(pixels), width, height, 32, width * 4,
                                                 SDL_PIXELFORMAT_BGRA32);
  }
  bool running = true;
  while (running && !g_hostGone.load()) {
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (surface == nullptr) break;
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    if (picture != nullptr) {
      SDL_Rect at{0, 0, width, height};
      SDL_BlitSurface(picture, nullptr, surface, &at);
    }
    SDL_UpdateWindowSurface(window);
    // A window that went shows in the errors of this round.
    if (display != nullptr) XSync(display, False);
    if (g_hostGone.load()) break;
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, 500) != 0) {
      if (event.type == SDL_QUIT) running = false;
      if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE) running = false;
    }
  }
  if (picture != nullptr) SDL_FreeSurface(picture);
  SDL_DestroyWindow(window);
  if (display != nullptr) {
    XSync(display, False);
    XSetErrorHandler(previousHandler);
  }
  return true;
}
