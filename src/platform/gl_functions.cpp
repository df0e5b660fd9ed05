#include "platform/gl_functions.h"

#include <SDL.h>

bool LoadGlFunctions(GlFunctions* gl) {
  bool complete = true;
#define ORVANE_GL_LOAD(type, name)                                           \
  gl->name = reinterpret_cast<type>(SDL_GL_GetProcAddress("gl" #name));      \
  if (gl->name == nullptr) complete = false;
  ORVANE_GL_FUNCTIONS(ORVANE_GL_LOAD)
#undef ORVANE_GL_LOAD
  return complete;
}
