#include "platform/clipboard.h"

#include <SDL.h>

#include <mutex>

#include "platform/text_codec.h"

namespace {

std::mutex g_clipboardLock;
std::string g_processClipboard;  // UTF-8
bool g_processClipboardSet = false;

}  // namespace

bool SetPlatformClipboardText(const std::string& text) {
  std::string utf8 = ConvertCp932ToUtf8(text);
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return SDL_SetClipboardText(utf8.c_str()) == 0;
  std::lock_guard<std::mutex> lock(g_clipboardLock);
  g_processClipboard = std::move(utf8);
  g_processClipboardSet = true;
  return true;
}

bool GetPlatformClipboardText(std::string* text) {
  std::string utf8;
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
    if (SDL_HasClipboardText() != SDL_TRUE) return false;
    char* system = SDL_GetClipboardText();
    if (system == nullptr) return false;
    utf8 = system;
    SDL_free(system);
  } else {
    std::lock_guard<std::mutex> lock(g_clipboardLock);
    if (!g_processClipboardSet) return false;
    utf8 = g_processClipboard;
  }
  *text = ConvertUtf8ToCp932(utf8);
  return true;
}

void ResetPlatformClipboard() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_SetClipboardText("");
  std::lock_guard<std::mutex> lock(g_clipboardLock);
  g_processClipboard.clear();
  g_processClipboardSet = false;
}
