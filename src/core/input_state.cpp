#include "core/input_state.h"

#include <cstring>


uint8_t g_InputRaw[kInputSlots];
uint8_t g_InputState[kInputSlots];
int64_t g_InputCounter[kInputSlots];
int64_t g_InputPressCount[kInputSlots];

int64_t g_LastMenuCommand;
uint32_t g_LastKeyDown;
uint32_t g_LastMouseButton;
uint8_t g_MaximizeRequest;
uint8_t g_MinimizeRequest;
uint8_t g_CloseRequest;
uint8_t g_CaptionDoubleClick;
uint8_t g_MouseMoved;
int16_t g_WheelDelta;
uint8_t g_DragRequestWindow;
int64_t g_DragRequestPosition;

uint8_t g_KeyboardInputOn = 1;
uint8_t g_MouseInputOn = 1;
uint8_t g_JoystickInputOn = 0;
uint8_t g_CursorAutoHide = 1;
int32_t g_CursorIdleDelay = 2500;
uint8_t g_CursorShown = 1;
uint8_t g_CursorRequest = 0;
int32_t g_ActiveWindowIndex = -1;
int32_t g_JoystickCount = 0;
uint8_t g_JoystickConnected[kMaxJoysticks];

KeyTransition g_KeyTransitionTable[4] = {KeyStillUp, KeyPressed, KeyReleased, KeyStillDown};

void KeyStillUp(int slot) { g_InputCounter[slot] -= 1; }

void KeyPressed(int slot) {
  g_InputCounter[slot] = 1;
  g_InputState[slot] = 2;
  g_InputPressCount[slot] += 1;
}

void KeyReleased(int slot) {
  g_InputCounter[slot] = -1;
  g_InputState[slot] = 0;
}

void KeyStillDown(int slot) { g_InputCounter[slot] += 1; }

void AdvanceInputSlotAt(int slot, uint8_t level) {
  // The state is only ever 0 or 2; the mask keeps the index inside the table
  // whatever a slot was left holding.
  g_KeyTransitionTable[(g_InputState[slot] & 2) + (level >> 7)](slot);
}

void AdvanceInputSlot(int slot) { AdvanceInputSlotAt(slot, g_InputRaw[slot]); }

int JoystickSlot(int64_t joystick, int64_t k) {
  if (joystick < 0 || joystick >= kMaxJoysticks || k < 0 || k >= kJoystickSlots) return -1;
  return kJoystickFirstSlot + kJoystickSlots * static_cast<int>(joystick) + static_cast<int>(k);
}

void ResetInputState() {
  std::memset(g_InputRaw, 0, sizeof g_InputRaw);
  std::memset(g_InputState, 0, sizeof g_InputState);
  std::memset(g_InputCounter, 0, sizeof g_InputCounter);
  std::memset(g_InputPressCount, 0, sizeof g_InputPressCount);
  g_LastMenuCommand = 0;
  g_LastKeyDown = 0;
  g_LastMouseButton = 0;
  g_MaximizeRequest = 0;
  g_MinimizeRequest = 0;
  g_CloseRequest = 0;
  g_CaptionDoubleClick = 0;
  g_MouseMoved = 0;
  g_WheelDelta = 0;
  g_DragRequestWindow = 0;
  g_DragRequestPosition = 0;
  g_KeyboardInputOn = 1;
  g_MouseInputOn = 1;
  g_JoystickInputOn = 0;
  g_CursorAutoHide = 1;
  g_CursorIdleDelay = 2500;
  g_CursorShown = 1;
  g_CursorRequest = 0;
  g_ActiveWindowIndex = -1;
  g_JoystickCount = 0;
  std::memset(g_JoystickConnected, 0, sizeof g_JoystickConnected);
  g_KeyTransitionTable[0] = KeyStillUp;
  g_KeyTransitionTable[1] = KeyPressed;
  g_KeyTransitionTable[2] = KeyReleased;
  g_KeyTransitionTable[3] = KeyStillDown;
}
