#include "oscmd/edit_box.h"

#include <algorithm>
#include <climits>

#include "core/sjis.h"
#include "platform/edit_field.h"

namespace {

PlatformEditField* g_scriptEditBox = nullptr;

int ClampToInt(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX)); }

}  // namespace

int CreateEditBox(const char* text, int64_t x, int64_t y, int64_t width, int64_t height, PlatformWindow* parent) {
  // A second creation replaces the control: the old one is not left behind.
  CloseEditBox();
  g_scriptEditBox = CreatePlatformEditField(parent, ClampToInt(x), ClampToInt(y), ClampToInt(width), ClampToInt(height),
                                            text != nullptr ? text : "", kEditBoxTextBytes);
  return g_scriptEditBox != nullptr ? 0 : -1;
}

void CloseEditBox() {
  DestroyPlatformEditField(g_scriptEditBox);
  g_scriptEditBox = nullptr;
}

bool HasEditBox() { return g_scriptEditBox != nullptr; }

void SetEditBoxText(const char* text) { SetPlatformEditFieldText(g_scriptEditBox, text != nullptr ? text : ""); }

std::string GetEditBoxText() {
  std::string text = GetPlatformEditFieldText(g_scriptEditBox);
  text.resize(SjisCutLength(text, kEditBoxReadBytes));
  return text;
}

void FocusEditBox(bool focused) { FocusPlatformEditField(g_scriptEditBox, focused); }

void ResetEditBox() { CloseEditBox(); }
