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
}
