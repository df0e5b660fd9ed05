#include "platform/input_devices.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "platform/window.h"

namespace {

std::atomic<const InputDeviceHooks*> g_hooks{nullptr};

struct ScancodeKey {
  SDL_Scancode mScancode;
  uint8_t mKey;
};

// Keys by their place on the keyboard, named as on a US layout; the keys of
// Japanese keyboards at the codes their Windows layout gives them.
constexpr ScancodeKey kScancodeKeys[] = {
    {SDL_SCANCODE_BACKSPACE, 8},      {SDL_SCANCODE_TAB, 9},
    {SDL_SCANCODE_RETURN, 13},        {SDL_SCANCODE_KP_ENTER, 13},
    {SDL_SCANCODE_PAUSE, 19},         {SDL_SCANCODE_CAPSLOCK, 20},
    {SDL_SCANCODE_INTERNATIONAL4, 28}, {SDL_SCANCODE_INTERNATIONAL5, 29},
    {SDL_SCANCODE_ESCAPE, 27},        {SDL_SCANCODE_SPACE, 32},
    {SDL_SCANCODE_PAGEUP, 33},        {SDL_SCANCODE_PAGEDOWN, 34},
    {SDL_SCANCODE_END, 35},           {SDL_SCANCODE_HOME, 36},
    {SDL_SCANCODE_LEFT, 37},          {SDL_SCANCODE_UP, 38},
    {SDL_SCANCODE_RIGHT, 39},         {SDL_SCANCODE_DOWN, 40},
    {SDL_SCANCODE_SELECT, 41},        {SDL_SCANCODE_EXECUTE, 43},
    {SDL_SCANCODE_PRINTSCREEN, 44},   {SDL_SCANCODE_INSERT, 45},
    {SDL_SCANCODE_DELETE, 46},        {SDL_SCANCODE_HELP, 47},
    {SDL_SCANCODE_0, 48},             {SDL_SCANCODE_1, 49},
    {SDL_SCANCODE_2, 50},             {SDL_SCANCODE_3, 51},
    {SDL_SCANCODE_4, 52},             {SDL_SCANCODE_5, 53},
    {SDL_SCANCODE_6, 54},             {SDL_SCANCODE_7, 55},
    {SDL_SCANCODE_8, 56},             {SDL_SCANCODE_9, 57},
    {SDL_SCANCODE_LGUI, 91},          {SDL_SCANCODE_RGUI, 92},
    {SDL_SCANCODE_APPLICATION, 93},   {SDL_SCANCODE_KP_0, 96},
    {SDL_SCANCODE_KP_1, 97},          {SDL_SCANCODE_KP_2, 98},
    {SDL_SCANCODE_KP_3, 99},          {SDL_SCANCODE_KP_4, 100},
    {SDL_SCANCODE_KP_5, 101},         {SDL_SCANCODE_KP_6, 102},
    {SDL_SCANCODE_KP_7, 103},         {SDL_SCANCODE_KP_8, 104},
    {SDL_SCANCODE_KP_9, 105},         {SDL_SCANCODE_KP_MULTIPLY, 106},
    {SDL_SCANCODE_KP_PLUS, 107},      {SDL_SCANCODE_SEPARATOR, 108},
    {SDL_SCANCODE_KP_MINUS, 109},     {SDL_SCANCODE_KP_PERIOD, 110},
    {SDL_SCANCODE_KP_DIVIDE, 111},    {SDL_SCANCODE_NUMLOCKCLEAR, 144},
    {SDL_SCANCODE_SCROLLLOCK, 145},   {SDL_SCANCODE_LSHIFT, kVkLeftShift},
    {SDL_SCANCODE_RSHIFT, kVkRightShift}, {SDL_SCANCODE_LCTRL, kVkLeftControl},
    {SDL_SCANCODE_RCTRL, kVkRightControl}, {SDL_SCANCODE_LALT, kVkLeftAlt},
    {SDL_SCANCODE_RALT, kVkRightAlt}, {SDL_SCANCODE_SEMICOLON, 186},
    {SDL_SCANCODE_EQUALS, 187},       {SDL_SCANCODE_COMMA, 188},
    {SDL_SCANCODE_MINUS, 189},        {SDL_SCANCODE_PERIOD, 190},
    {SDL_SCANCODE_SLASH, 191},        {SDL_SCANCODE_GRAVE, 192},
    {SDL_SCANCODE_LEFTBRACKET, 219},  {SDL_SCANCODE_BACKSLASH, 220},
    {SDL_SCANCODE_NONUSHASH, 220},    {SDL_SCANCODE_INTERNATIONAL3, 220},
    {SDL_SCANCODE_RIGHTBRACKET, 221}, {SDL_SCANCODE_APOSTROPHE, 222},
    {SDL_SCANCODE_NONUSBACKSLASH, 226}, {SDL_SCANCODE_INTERNATIONAL1, 226},
};

struct ScancodeTable {
  uint8_t mKey[kScancodeCount] = {};
  constexpr ScancodeTable() {
    for (int letter = 0; letter < 26; ++letter) mKey[SDL_SCANCODE_A + letter] = static_cast<uint8_t>('A' + letter);
    for (int f = 0; f < 12; ++f) mKey[SDL_SCANCODE_F1 + f] = static_cast<uint8_t>(112 + f);
    for (int f = 0; f < 12; ++f) mKey[SDL_SCANCODE_F13 + f] = static_cast<uint8_t>(124 + f);
    for (const ScancodeKey& entry : kScancodeKeys) mKey[entry.mScancode] = entry.mKey;
  }
};
constexpr ScancodeTable kScancodeTable;

void SystemReadKeyState(void*, uint8_t keys[kKeyStateBytes]) {
  int count = 0;
  const Uint8* down = SDL_WasInit(SDL_INIT_VIDEO) != 0 ? SDL_GetKeyboardState(&count) : nullptr;
  uint32_t buttons = 0;
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
    Uint32 sdl = SDL_GetGlobalMouseState(nullptr, nullptr);
    if (sdl & SDL_BUTTON_LMASK) buttons |= kMouseLeft;
    if (sdl & SDL_BUTTON_MMASK) buttons |= kMouseMiddle;
    if (sdl & SDL_BUTTON_RMASK) buttons |= kMouseRight;
    if (sdl & SDL_BUTTON_X1MASK) buttons |= kMouseSide1;
    if (sdl & SDL_BUTTON_X2MASK) buttons |= kMouseSide2;
  }
  BuildKeyState(down, down != nullptr ? count : 0, buttons, keys);
}

void SystemClearKeyState(void*) {
#if SDL_VERSION_ATLEAST(2, 24, 0)
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_ResetKeyboard();
#endif
}

bool SystemCursorPosition(void*, int* x, int* y) { return GetGlobalCursorPosition(x, y); }

bool SystemClientOrigin(void*, PlatformWindow* window, int* x, int* y) {
  SDL_Window* sdl = window != nullptr ? GetSdlWindow(window) : nullptr;
  if (sdl == nullptr) return false;
  // SDL places windows by their client area; the menu rows come first.
  SDL_GetWindowPosition(sdl, x, y);
  *y += GetPlatformWindowTopInset(window);
  return true;
}

bool SystemIsMinimised(void*, PlatformWindow* window) {
  SDL_Window* sdl = window != nullptr ? GetSdlWindow(window) : nullptr;
  return sdl != nullptr && (SDL_GetWindowFlags(sdl) & SDL_WINDOW_MINIMIZED) != 0;
}

void SystemShowCursor(void*, bool shown) { SetSystemCursorVisible(shown); }

// Opened joysticks by engine index; only the thread that runs the frame step
// polls them, start-up and release open and close them.
std::vector<SDL_Joystick*> g_joysticks;

void CloseOpenedJoysticks() {
  for (SDL_Joystick* joystick : g_joysticks) {
    if (joystick != nullptr) SDL_JoystickClose(joystick);
  }
  g_joysticks.clear();
}

int SystemOpenJoysticks(void*) {
  CloseOpenedJoysticks();
  if (SDL_WasInit(SDL_INIT_JOYSTICK) == 0 && SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return 0;
  // Only devices connected now are counted; one that fails to open counts
  // and never answers.
  int count = std::max(SDL_NumJoysticks(), 0);
  for (int index = 0; index < count; ++index) g_joysticks.push_back(SDL_JoystickOpen(index));
  return count;
}

void SystemCloseJoysticks(void*) {
  CloseOpenedJoysticks();
  if (SDL_WasInit(SDL_INIT_JOYSTICK) != 0) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

bool SystemReadJoystick(void*, int index, JoystickReading* reading) {
  if (index < 0 || static_cast<size_t>(index) >= g_joysticks.size()) return false;
  SDL_Joystick* joystick = g_joysticks[static_cast<size_t>(index)];
  if (joystick == nullptr || SDL_JoystickGetAttached(joystick) != SDL_TRUE) return false;
  JoystickReading value;
  int axes = SDL_JoystickNumAxes(joystick);
  if (axes > 0) value.mX = JoystickAxisValue(SDL_JoystickGetAxis(joystick, 0));
  if (axes > 1) value.mY = JoystickAxisValue(SDL_JoystickGetAxis(joystick, 1));
  int buttons = std::min(SDL_JoystickNumButtons(joystick), 32);
  for (int button = 0; button < buttons; ++button) {
    if (SDL_JoystickGetButton(joystick, button) != 0) value.mButtons |= 1u << button;
  }
  *reading = value;
  return true;
}

void SystemMoveWindow(void*, PlatformWindow* window, int x, int y) {
  SDL_Window* sdl = window != nullptr ? GetSdlWindow(window) : nullptr;
  if (sdl != nullptr) SDL_SetWindowPosition(sdl, x, y - GetPlatformWindowTopInset(window));
}

constexpr InputDeviceHooks kSystemDevices = {
    SystemReadKeyState, SystemClearKeyState, SystemCursorPosition, SystemClientOrigin,
    SystemIsMinimised,  SystemShowCursor,    SystemOpenJoysticks,  SystemCloseJoysticks,
    SystemReadJoystick, SystemMoveWindow,    nullptr,
};

const InputDeviceHooks& Devices() {
  const InputDeviceHooks* hooks = g_hooks.load();
  return hooks != nullptr ? *hooks : kSystemDevices;
}

}  // namespace

void SetInputDeviceHooks(const InputDeviceHooks* hooks) { g_hooks.store(hooks); }

void ReadKeyState(uint8_t keys[kKeyStateBytes]) {
  const InputDeviceHooks& devices = Devices();
  devices.mReadKeyState(devices.mContext, keys);
}

void ClearKeyState() {
  const InputDeviceHooks& devices = Devices();
  devices.mClearKeyState(devices.mContext);
}

bool GetCursorDesktopPosition(int* x, int* y) {
  const InputDeviceHooks& devices = Devices();
  return devices.mCursorPosition(devices.mContext, x, y);
}

bool GetClientOrigin(PlatformWindow* window, int* x, int* y) {
  const InputDeviceHooks& devices = Devices();
  return devices.mClientOrigin(devices.mContext, window, x, y);
}

bool IsWindowMinimised(PlatformWindow* window) {
  const InputDeviceHooks& devices = Devices();
  return devices.mIsMinimised(devices.mContext, window);
}

void ShowMouseCursor(bool shown) {
  const InputDeviceHooks& devices = Devices();
  devices.mShowCursor(devices.mContext, shown);
}

int OpenJoysticks() {
  const InputDeviceHooks& devices = Devices();
  return devices.mOpenJoysticks(devices.mContext);
}

void CloseJoysticks() {
  const InputDeviceHooks& devices = Devices();
  devices.mCloseJoysticks(devices.mContext);
}

bool ReadJoystick(int index, JoystickReading* reading) {
  const InputDeviceHooks& devices = Devices();
  return devices.mReadJoystick(devices.mContext, index, reading);
}

void MoveWindowClientTo(PlatformWindow* window, int x, int y) {
  const InputDeviceHooks& devices = Devices();
  devices.mMoveWindow(devices.mContext, window, x, y);
}

uint8_t VirtualKeyOfScancode(int scancode) {
  if (scancode < 0 || scancode >= kScancodeCount) return 0;
  return kScancodeTable.mKey[scancode];
}

void BuildKeyState(const uint8_t* down, int count, uint32_t mouseButtons, uint8_t keys[kKeyStateBytes]) {
  std::memset(keys, 0, kKeyStateBytes);
  int limit = std::min(count, kScancodeCount);
  for (int scancode = 0; scancode < limit; ++scancode) {
    if (down[scancode] == 0) continue;
    uint8_t key = kScancodeTable.mKey[scancode];
    if (key != 0) keys[key] = 0x80;
  }
  auto either = [keys](uint8_t generic, uint8_t left, uint8_t right) {
    if ((keys[left] | keys[right]) & 0x80) keys[generic] = 0x80;
  };
  either(kVkShift, kVkLeftShift, kVkRightShift);
  either(kVkControl, kVkLeftControl, kVkRightControl);
  either(kVkAlt, kVkLeftAlt, kVkRightAlt);
  if (mouseButtons & kMouseLeft) keys[kVkLeftButton] = 0x80;
  if (mouseButtons & kMouseRight) keys[kVkRightButton] = 0x80;
  if (mouseButtons & kMouseMiddle) keys[kVkMiddleButton] = 0x80;
  if (mouseButtons & kMouseSide1) keys[kVkSideButton1] = 0x80;
  if (mouseButtons & kMouseSide2) keys[kVkSideButton2] = 0x80;
}

uint32_t JoystickAxisValue(int16_t axis) {
  // SDL's centre 0 lands on the centre 32767; its lowest value, one step
  // further out than its highest, is held to 0.
  int32_t value = static_cast<int32_t>(axis) + static_cast<int32_t>(kJoystickAxisCentre);
  return static_cast<uint32_t>(std::clamp<int32_t>(value, 0, static_cast<int32_t>(kJoystickAxisMax)));
}
