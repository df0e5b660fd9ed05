#pragma once
// A one-line text field that the engine draws inside a game window: its
// rectangle is drawn over the window's picture after each presentation, it
// takes typed text through the system's text input (so an input method can
// compose Japanese) and the usual editing keys while it has the focus. The
// text is Shift-JIS.
#include <cstddef>
#include <string>

struct PlatformWindow;
struct PlatformEditField;
union SDL_Event;
struct SDL_Surface;

// `limit` is the longest text in bytes. Null when the window is null.
PlatformEditField* CreatePlatformEditField(PlatformWindow* parent, int x, int y, int width, int height,
                                           const std::string& text, size_t limit);
void DestroyPlatformEditField(PlatformEditField* field);
// The text is cut to the limit on a character boundary; the caret goes to
// its end.
void SetPlatformEditFieldText(PlatformEditField* field, const std::string& text);
std::string GetPlatformEditFieldText(const PlatformEditField* field);
// Typed text and editing keys go to the focused field.
void FocusPlatformEditField(PlatformEditField* field, bool focused);
bool IsPlatformEditFieldFocused(const PlatformEditField* field);

// How many fields exist (tests).
size_t CountPlatformEditFields();

// For the window layer: gives a text-input or key event to the focused field
// of its window; true when the field used it.
bool DeliverEditFieldEvent(const SDL_Event& event);
// Draws the window's fields on its surface; true when one was drawn.
bool DrawEditFields(PlatformWindow* window, SDL_Surface* surface);
