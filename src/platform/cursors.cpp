#include "platform/cursors.h"

#include <SDL.h>

struct PlatformCursor {
  SDL_Cursor* mSdl = nullptr;
};

namespace {

SystemCursor g_shape = SystemCursor::kArrow;
PlatformCursor* g_pixelCursor = nullptr;
// The system shapes made so far; SDL keeps a set cursor alive until it is
// freed, so each is made once and kept.
SDL_Cursor* g_systemCursors[static_cast<int>(SystemCursor::kHelp) + 1];

SDL_SystemCursor SdlShape(SystemCursor shape) {
  switch (shape) {
    case SystemCursor::kIBeam: return SDL_SYSTEM_CURSOR_IBEAM;
    case SystemCursor::kWait: return SDL_SYSTEM_CURSOR_WAIT;
    case SystemCursor::kCross: return SDL_SYSTEM_CURSOR_CROSSHAIR;
    // SDL has no upward arrow, no help and no starting shape of its own.
    case SystemCursor::kUpArrow: return SDL_SYSTEM_CURSOR_ARROW;
    case SystemCursor::kSizeNwse: return SDL_SYSTEM_CURSOR_SIZENWSE;
    case SystemCursor::kSizeNesw: return SDL_SYSTEM_CURSOR_SIZENESW;
    case SystemCursor::kSizeWe: return SDL_SYSTEM_CURSOR_SIZEWE;
    case SystemCursor::kSizeNs: return SDL_SYSTEM_CURSOR_SIZENS;
    case SystemCursor::kSizeAll: return SDL_SYSTEM_CURSOR_SIZEALL;
    case SystemCursor::kNo: return SDL_SYSTEM_CURSOR_NO;
    case SystemCursor::kHand: return SDL_SYSTEM_CURSOR_HAND;
    case SystemCursor::kAppStarting: return SDL_SYSTEM_CURSOR_WAITARROW;
    case SystemCursor::kHelp: return SDL_SYSTEM_CURSOR_ARROW;
    default: return SDL_SYSTEM_CURSOR_ARROW;
  }
}

bool HaveVideo() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

void ShowSystemShape(SystemCursor shape) {
  if (!HaveVideo()) return;
  int index = static_cast<int>(shape);
  if (g_systemCursors[index] == nullptr) g_systemCursors[index] = SDL_CreateSystemCursor(SdlShape(shape));
  if (g_systemCursors[index] != nullptr) SDL_SetCursor(g_systemCursors[index]);
}

}  // namespace

void SetSystemCursorShape(SystemCursor shape) {
  int index = static_cast<int>(shape);
  if (index < 0 || index > static_cast<int>(SystemCursor::kHelp)) shape = SystemCursor::kArrow;
  g_shape = shape;
  g_pixelCursor = nullptr;
  ShowSystemShape(shape);
}

PlatformCursor* CreatePixelCursor(const uint8_t* pixels, int width, int height, int hotX, int hotY) {
  if (pixels == nullptr || width < 1 || height < 1 || !HaveVideo()) return nullptr;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_BGRA32);
  if (surface == nullptr) return nullptr;
  for (int row = 0; row < height; ++row) {
    SDL_memcpy(static_cast<uint8_t*>(surface->pixels) + static_cast<size_t>(row) * static_cast<size_t>(surface->pitch),
               pixels + static_cast<size_t>(row) * static_cast<size_t>(width) * 4, static_cast<size_t>(width) * 4);
  }
  hotX = hotX < 0 ? 0 : (hotX >= width ? width - 1 : hotX);
  hotY = hotY < 0 ? 0 : (hotY >= height ? height - 1 : hotY);
  SDL_Cursor* sdl = SDL_CreateColorCursor(surface, hotX, hotY);
  SDL_FreeSurface(surface);
  if (sdl == nullptr) return nullptr;
  return new PlatformCursor{sdl};
}

void SetPixelCursor(PlatformCursor* cursor) {
  if (cursor == nullptr) {
    SetSystemCursorShape(SystemCursor::kArrow);
    return;
  }
  g_shape = SystemCursor::kArrow;
  g_pixelCursor = cursor;
  if (HaveVideo()) SDL_SetCursor(cursor->mSdl);
}

void DestroyPixelCursor(PlatformCursor* cursor) {
  if (cursor == nullptr) return;
  if (g_pixelCursor == cursor) SetSystemCursorShape(SystemCursor::kArrow);
  if (cursor->mSdl != nullptr && HaveVideo()) SDL_FreeCursor(cursor->mSdl);
  delete cursor;
}

SystemCursor GetCurrentCursorShape() { return g_shape; }
PlatformCursor* GetCurrentPixelCursor() { return g_pixelCursor; }

void ResetCursorShapes() {
  g_shape = SystemCursor::kArrow;
  g_pixelCursor = nullptr;
  // The system shapes go with the video system: they are made anew after it
  // starts again.
  for (SDL_Cursor*& cursor : g_systemCursors) {
    if (cursor != nullptr && HaveVideo()) SDL_FreeCursor(cursor);
    cursor = nullptr;
  }
}
