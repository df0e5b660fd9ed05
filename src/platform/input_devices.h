#pragma once
// Keyboard, mouse, cursor and joysticks as the engine reads them: the key
// state by the virtual-key codes scripts use (mouse buttons at their codes
// 1, 2, 4, 5 and 6), the cursor on the desktop, and joystick readings on the
// 0..65535 scale whose centre is 32767. Tests put a device set of their own
// in place of the system's.
#include <cstdint>

struct PlatformWindow;

constexpr int kKeyStateBytes = 256;
constexpr int kScancodeCount = 512;

// Virtual-key codes the platform layer itself sets.
enum : uint8_t {
  kVkLeftButton = 1,
  kVkRightButton = 2,
  kVkMiddleButton = 4,
  kVkSideButton1 = 5,
  kVkSideButton2 = 6,
  kVkShift = 16,
  kVkControl = 17,
  kVkAlt = 18,
  kVkLeftShift = 160,
  kVkRightShift = 161,
  kVkLeftControl = 162,
  kVkRightControl = 163,
  kVkLeftAlt = 164,
  kVkRightAlt = 165,
};

// Mouse buttons as bits of a button mask.
enum : uint32_t {
  kMouseLeft = 1u << 0,
  kMouseMiddle = 1u << 1,
  kMouseRight = 1u << 2,
  kMouseSide1 = 1u << 3,
  kMouseSide2 = 1u << 4,
};

constexpr uint32_t kJoystickAxisCentre = 0x7FFF;
constexpr uint32_t kJoystickAxisMax = 0xFFFF;

struct JoystickReading {
  uint32_t mX = kJoystickAxisCentre;
  uint32_t mY = kJoystickAxisCentre;
  uint32_t mButtons = 0;  // bit b: button b + 1
};

struct InputDeviceHooks {
  // The 256-byte key state, bit 7 = down.
  void (*mReadKeyState)(void* context, uint8_t keys[kKeyStateBytes]);
  // Forgets every key and button held (the program lost the input focus).
  void (*mClearKeyState)(void* context);
  // The cursor on the desktop; false when there is none.
  bool (*mCursorPosition)(void* context, int* x, int* y);
  // The desktop position of the window's client area; false without one.
  bool (*mClientOrigin)(void* context, PlatformWindow* window, int* x, int* y);
  bool (*mIsMinimised)(void* context, PlatformWindow* window);
  void (*mShowCursor)(void* context, bool shown);
  // Connected joysticks, opened from index 0 on.
  int (*mOpenJoysticks)(void* context);
  void (*mCloseJoysticks)(void* context);
  // False when joystick `index` does not answer (unplugged, never opened).
  bool (*mReadJoystick)(void* context, int index, JoystickReading* reading);
  // Moves the window so its client area is at (x, y) on the desktop.
  void (*mMoveWindow)(void* context, PlatformWindow* window, int x, int y);
  void* mContext;
};

// While hooks are installed every routine below goes to them; nullptr
// restores the system's devices. The hooks must outlive their installation.
void SetInputDeviceHooks(const InputDeviceHooks* hooks);

void ReadKeyState(uint8_t keys[kKeyStateBytes]);
void ClearKeyState();
bool GetCursorDesktopPosition(int* x, int* y);
bool GetClientOrigin(PlatformWindow* window, int* x, int* y);
bool IsWindowMinimised(PlatformWindow* window);
void ShowMouseCursor(bool shown);
int OpenJoysticks();
void CloseJoysticks();
bool ReadJoystick(int index, JoystickReading* reading);
void MoveWindowClientTo(PlatformWindow* window, int x, int y);

// The virtual-key code of a scancode of the system's keyboard (USB usage
// numbering), 0 for keys scripts cannot see.
uint8_t VirtualKeyOfScancode(int scancode);
// Builds the key state from the scancodes held (`down`[scancode] non-zero,
// `count` entries) and the mouse buttons held: each key at its code, the
// generic Shift, Control and Alt codes set from either side.
void BuildKeyState(const uint8_t* down, int count, uint32_t mouseButtons, uint8_t keys[kKeyStateBytes]);
// A joystick axis of the system (-32768..32767, 0 centred) on the 0..65535
// scale, centre 32767.
uint32_t JoystickAxisValue(int16_t axis);
