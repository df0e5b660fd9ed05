#include "platform/x11_handles.h"

#include <SDL_syswm.h>

bool GetX11Handles(SDL_Window* window, ::Display** display, ::Window* x11) {
  if (window == nullptr) return false;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return false;
  *display = info.info.x11.display;
  *x11 = info.info.x11.window;
  return true;
}
