#include "platform/edit_field.h"

#include <SDL.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/font_faces.h"
#include "platform/sjis_chars.h"
#include "platform/text_codec.h"
#include "platform/window.h"

struct PlatformEditField {
  PlatformWindow* mParent = nullptr;
  SDL_Rect mRect{};
  std::string mText;  // Shift-JIS
  size_t mLimit = 0;
  size_t mCaret = 0;  // byte offset on a character boundary
  bool mFocused = false;
};

namespace {

constexpr int kCellHeight = 14;

std::recursive_mutex g_fieldLock;
std::vector<PlatformEditField*> g_fields;

size_t PreviousCharacter(const std::string& text, size_t caret) {
  size_t at = 0;
  size_t previous = 0;
  while (at < caret) {
    previous = at;
    at += SjisCharLength(text, at);
  }
  return previous;
}

PlatformEditField* FocusedFieldOf(unsigned windowId) {
  PlatformWindow* window = FindPlatformWindowBySdlId(windowId);
  for (PlatformEditField* field : g_fields) {
    if (field->mFocused && (window == nullptr || field->mParent == window)) return field;
  }
  return nullptr;
}

void InsertText(PlatformEditField* field, const std::string& cp932) {
  size_t room = field->mLimit > field->mText.size() ? field->mLimit - field->mText.size() : 0;
  std::string piece = cp932.substr(0, SjisCutLength(cp932, room));
  field->mText.insert(field->mCaret, piece);
  field->mCaret += piece.size();
}

bool EditKey(PlatformEditField* field, SDL_Keycode key) {
  std::string& text = field->mText;
  switch (key) {
    case SDLK_BACKSPACE:
      if (field->mCaret > 0) {
        size_t previous = PreviousCharacter(text, field->mCaret);
        text.erase(previous, field->mCaret - previous);
        field->mCaret = previous;
      }
      return true;
    case SDLK_DELETE:
      if (field->mCaret < text.size()) text.erase(field->mCaret, SjisCharLength(text, field->mCaret));
      return true;
    case SDLK_LEFT:
      field->mCaret = PreviousCharacter(text, field->mCaret);
      return true;
    case SDLK_RIGHT:
      if (field->mCaret < text.size()) field->mCaret += SjisCharLength(text, field->mCaret);
      return true;
    case SDLK_HOME:
      field->mCaret = 0;
      return true;
    case SDLK_END:
      field->mCaret = text.size();
      return true;
    default:
      return false;
  }
}

void UpdateTextInput() {
  bool any = std::any_of(g_fields.begin(), g_fields.end(), [](const PlatformEditField* f) {
    return f->mFocused && !IsPlatformWindowTextInputDetached(f->mParent);
  });
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  if (any) {
    SDL_StartTextInput();
  } else {
    SDL_StopTextInput();
  }
}

void FillRect(SDL_Surface* surface, SDL_Rect rect, uint8_t grey) {
  SDL_FillRect(surface, &rect, SDL_MapRGB(surface->format, grey, grey, grey));
}

// The text in a 14-pixel face, black on white, clipped to the field.
void DrawText(PlatformEditField* field, SDL_Surface* surface) {
  static PlatformFontFace* face = nullptr;
  static bool tried = false;
  if (!tried) {
    tried = true;
    std::string family = MatchJapaneseSansFamily();
    if (!family.empty()) face = OpenFontFace(family, kCellHeight, false);
  }
  if (face == nullptr) return;
  constexpr int kSide = 16;
  uint8_t bits[kSide * kSide / 8];
  uint32_t ink = SDL_MapRGB(surface->format, 0, 0, 0);
  int penX = field->mRect.x + 3;
  int top = field->mRect.y + std::max(0, (field->mRect.h - kCellHeight) / 2);
  int right = field->mRect.x + field->mRect.w - 2;
  for (size_t at = 0; at < field->mText.size();) {
    size_t length = SjisCharLength(field->mText, at);
    int advance = length == 2 ? kCellHeight : kCellHeight / 2;
    if (at == field->mCaret && field->mFocused) FillRect(surface, {penX, top, 1, kCellHeight}, 0);
    if (penX + advance > right) return;
    std::fill(std::begin(bits), std::end(bits), 0xFF);
    DrawGlyphMono(face, FirstCodepoint(ConvertCp932ToUtf8(field->mText.substr(at, length))), bits, kSide);
    for (int y = 0; y < kSide && top + y < field->mRect.y + field->mRect.h; ++y) {
      for (int x = 0; x < advance && x < kSide; ++x) {
        if ((bits[y * (kSide / 8) + x / 8] & (0x80 >> (x % 8))) != 0) continue;
        SDL_Rect dot{penX + x, top + y, 1, 1};
        SDL_FillRect(surface, &dot, ink);
      }
    }
    penX += advance;
    at += length;
  }
  if (field->mCaret >= field->mText.size() && field->mFocused && penX < right) {
    FillRect(surface, {penX, top, 1, kCellHeight}, 0);
  }
}

}  // namespace

PlatformEditField* CreatePlatformEditField(PlatformWindow* parent, int x, int y, int width, int height,
                                           const std::string& text, size_t limit) {
  if (parent == nullptr) return nullptr;
  auto* field = new PlatformEditField;
  field->mParent = parent;
  field->mRect = {x, y, std::max(width, 0), std::max(height, 0)};
  field->mLimit = limit;
  std::lock_guard<std::recursive_mutex> guard(g_fieldLock);
  g_fields.push_back(field);
  SetPlatformEditFieldText(field, text);
  return field;
}

void DestroyPlatformEditField(PlatformEditField* field) {
  if (field == nullptr) return;
  std::lock_guard<std::recursive_mutex> guard(g_fieldLock);
  g_fields.erase(std::remove(g_fields.begin(), g_fields.end(), field), g_fields.end());
  delete field;
  UpdateTextInput();
}

void SetPlatformEditFieldText(PlatformEditField* field, const std::string& text) {
  if (field == nullptr) return;
  std::lock_guard<std::recursive_mutex> guard(g_fieldLock);
  std::string bounded = text.substr(0, text.find('\0'));
  field->mText = bounded.substr(0, SjisCutLength(bounded, field->mLimit));
  field->mCaret = field->mText.size();
}

std::string GetPlatformEditFieldText(const PlatformEditField* field) {
  if (field == nullptr) return {};
  std::lock_guard<std::recursive_mutex> guard(g_fieldLock);
  return field->mText;
}

void FocusPlatformEditField(PlatformEditField* field, bool focused) {
  if (field == nullptr) return;
  std::lock_guard<std::recursive_mutex> guard(g_fieldLock);
  for (PlatformEditField* other : g_fields) {
    if (focused && other != field && other->mParent == field->mParent) other->mFocused = false;
  }
  field->mFocused = focused;
  if (focused && SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_SetTextInputRect(&field->mRect);
  UpdateTextInput();
}

bool IsPlatformEditFieldFocused(const PlatformEditField* field) {
  std::lock_guard<std::recursive_mutex> guard(g_fieldLock);
  return field != nullptr && field->mFocused;
}

size_t CountPlatformEditFields() {
  std::lock_guard<std::recursive_mutex> guard(g_fieldLock);
  return g_fields.size();
}

bool DeliverEditFieldEvent(const SDL_Event& event) {
  std::lock_guard<std::recursive_mutex> guard(g_fieldLock);
  if (g_fields.empty()) return false;
  if (event.type == SDL_TEXTINPUT) {
    PlatformEditField* field = FocusedFieldOf(event.text.windowID);
    if (field == nullptr) return false;
    // Text typed before the window was detached is dropped as well.
    if (IsPlatformWindowTextInputDetached(field->mParent)) return true;
    InsertText(field, ConvertUtf8ToCp932(event.text.text));
    if (PlatformWindow* window = field->mParent) InvalidatePlatformWindow(window);
    return true;
  }
  if (event.type == SDL_KEYDOWN) {
    PlatformEditField* field = FocusedFieldOf(event.key.windowID);
    if (field == nullptr || !EditKey(field, event.key.keysym.sym)) return false;
    InvalidatePlatformWindow(field->mParent);
    return true;
  }
  return false;
}

bool DrawEditFields(PlatformWindow* window, SDL_Surface* surface) {
  std::lock_guard<std::recursive_mutex> guard(g_fieldLock);
  bool drawn = false;
  for (PlatformEditField* field : g_fields) {
    if (field->mParent != window || field->mRect.w <= 0 || field->mRect.h <= 0) continue;
    FillRect(surface, field->mRect, 128);
    SDL_Rect inner{field->mRect.x + 1, field->mRect.y + 1, field->mRect.w - 2, field->mRect.h - 2};
    if (inner.w > 0 && inner.h > 0) FillRect(surface, inner, 255);
    DrawText(field, surface);
    drawn = true;
  }
  return drawn;
}
