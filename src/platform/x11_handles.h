#pragma once
// The X11 connection and window behind an SDL window, for the calls SDL has
// no counterpart of (restacking, foreign windows, dialog owners).
#include <SDL.h>
#include <X11/Xlib.h>

// False where the window is not on X11 (another video driver).
bool GetX11Handles(SDL_Window* window, ::Display** display, ::Window* x11);
