#pragma once
// What scripts see of the keyboard, the mouse and the joysticks: the input
// slots advanced once per frame, and the window events the window procedure
// records for scripts to read and clear.
#include <cstdint>

// Input slots: 0 any key, 1 left, 2 right, 4 middle button, 3 cancel, 5 and 6
// wheel up and down, 7 mouse moved, 8-255 keys by virtual-key code, and from
// kJoystickFirstSlot 36 slots per joystick (4 axes, then 32 buttons).
constexpr int kInputSlots = 1024;
constexpr int kJoystickFirstSlot = 384;
constexpr int kJoystickSlots = 36;
constexpr int kJoystickAxes = 4;
constexpr int kJoystickButtons = 32;
constexpr int kMaxJoysticks = 16;

// The sampled level, bit 7 = down.
extern uint8_t g_InputRaw[kInputSlots];
// 0 up, 2 down.
extern uint8_t g_InputState[kInputSlots];
// Positive: frames held (1 in the frame of the press); negative: frames since
// the release (-1 in the frame of the release).
extern int64_t g_InputCounter[kInputSlots];
// Presses since the start; scripts may reset it.
extern int64_t g_InputPressCount[kInputSlots];

// The slot of joystick j's axis or button k (k 0-35), or -1 when j or k is
// outside the joysticks' range.
int JoystickSlot(int64_t joystick, int64_t k);

// Window events for scripts.
extern int64_t g_LastMenuCommand;    // the last menu command id
extern uint32_t g_LastKeyDown;       // the last key pressed (virtual-key code)
extern uint32_t g_LastMouseButton;   // 1 left, 2 right, 4 middle
extern uint8_t g_MaximizeRequest;    // window index + 1
extern uint8_t g_MinimizeRequest;    // window index + 1
extern uint8_t g_CloseRequest;       // 1: the close box with close state 0
extern uint8_t g_CaptionDoubleClick;  // window index + 1

// Handed by the window procedure to the next input update: 0x80 after the
// mouse moved, and the wheel movement of the last wheel message.
extern uint8_t g_MouseMoved;
extern int16_t g_WheelDelta;
// A caption drag asked for by a click on the drag layer: window index + 1
// (0 none) and the packed client position of the click; the next input
// update starts it.
extern uint8_t g_DragRequestWindow;
extern int64_t g_DragRequestPosition;

// Input switches (the input-enable command): keyboard and mouse on at start,
// joysticks off.
extern uint8_t g_KeyboardInputOn;
extern uint8_t g_MouseInputOn;
extern uint8_t g_JoystickInputOn;

// The cursor: hidden after g_CursorIdleDelay milliseconds of keyboard use
// while g_CursorAutoHide is set. g_CursorRequest is the change the next
// input update makes: 0 none, 1 show, 2 hide.
extern uint8_t g_CursorAutoHide;
extern int32_t g_CursorIdleDelay;
extern uint8_t g_CursorShown;
extern uint8_t g_CursorRequest;

// The first active window of the last sample, -1 when none is active.
extern int32_t g_ActiveWindowIndex;

// Joysticks counted at start-up (connected devices, at most kMaxJoysticks),
// and which of them answered the last poll.
extern int32_t g_JoystickCount;
extern uint8_t g_JoystickConnected[kMaxJoysticks];

// The slot transitions, indexed by state + (raw >> 7): still up, pressed,
// released, still down.
using KeyTransition = void (*)(int slot);
extern KeyTransition g_KeyTransitionTable[4];
void KeyStillUp(int slot);
void KeyPressed(int slot);
void KeyReleased(int slot);
void KeyStillDown(int slot);
// Advances a slot by its raw byte, or by the given level (bit 7).
void AdvanceInputSlot(int slot);
void AdvanceInputSlotAt(int slot, uint8_t level);

void ResetInputState();
