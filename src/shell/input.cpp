#include "shell/input.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "core/input_state.h"
#include "core/display_state.h"
#include "core/process_state.h"
#include "core/window_table.h"
#include "platform/clock.h"
#include "platform/input_devices.h"
#include "platform/messages.h"
#include "script/task_step.h"
#include "shell/frame.h"
#include "shell/menus.h"
#include "shell/startup.h"

const uint8_t g_KeyCodeTable[kKeyCodeCount] = {
    8,   9,   13,  16,  17,  18,  19,  27,  32,  33,  34,  35,  36,  37,  38,  39,  40,  44,  45,  46,
    47,  48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  65,  66,  67,  68,  69,  70,  71,  72,  73,
    74,  75,  76,  77,  78,  79,  80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  96,  97,  98,
    99,  100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117, 118,
    119, 120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 130, 131, 132, 133, 134, 135, 144, 145, 160,
    161, 162, 163, 164, 165, 186, 187, 188, 189, 190, 191, 192, 219, 220, 221, 222, 226,
};

namespace {

constexpr int kSlotLeft = 1;
constexpr int kSlotRight = 2;
constexpr int kSlotMiddle = 4;
constexpr int kSlotWheelUp = 5;
constexpr int kSlotWheelDown = 6;
constexpr int kSlotMoved = 7;
constexpr int kFirstMouseSlot = 1;
constexpr int kLastMouseSlot = 7;
constexpr uint8_t kDown = 0x80;
// The caption press a drag request becomes, as the window procedure knows it.
constexpr uint32_t kMsgNonClientLeftButtonDown = 0x00A1;
constexpr uint64_t kHitCaption = 2;

// Readings of the joysticks, kept from poll to poll.
JoystickReading g_JoystickRecords[kMaxJoysticks];

// A caption drag in progress: the window follows the cursor while the left
// button stays down. The frame step asks for it (from the script thread in
// threaded stepping); the main thread starts and carries it out while it
// samples, so only that thread moves windows.
struct WindowDrag {
  PlatformWindow* mWindow = nullptr;
  int mCursorX = 0;
  int mCursorY = 0;
  int mOriginX = 0;
  int mOriginY = 0;
};
WindowDrag g_Drag;
std::atomic<PlatformWindow*> g_DragPendingWindow{nullptr};
std::atomic<int64_t> g_DragPendingPosition{0};

bool Held(int slot) { return g_InputCounter[slot] > 0; }

void SampleCursor(WindowObject* window, bool haveCursor, int cursorX, int cursorY) {
  int originX = 0;
  int originY = 0;
  if (window->mWindow == nullptr || !haveCursor || !GetClientOrigin(window->mWindow, &originX, &originY)) {
    window->mCursorX = 0;
    window->mCursorY = 0;
    window->mCursorOutside = 1;
    window->mCursorFarOutside = 1;
    return;
  }
  // 64-bit: a cursor far off a large picture must not overflow the scaling.
  int64_t x = static_cast<int64_t>(cursorX) - originX;
  int64_t y = static_cast<int64_t>(cursorY) - originY;
  const int64_t width = window->mWidth;
  const int64_t height = window->mHeight;
  if (window->mIndex == 0) {
    x -= g_PaintOffset.mX;
    y -= g_PaintOffset.mY;
    if (g_PresentWidth != 0) x = x * width / g_PresentWidth;
    if (g_PresentHeight != 0) y = y * height / g_PresentHeight;
  }
  window->mCursorX = static_cast<int32_t>(x);
  window->mCursorY = static_cast<int32_t>(y);
  bool outside = x < 0 || y < 0 || x >= width || y >= height;
  int64_t marginX = g_PaintOffset.mX;
  int64_t marginY = g_PaintOffset.mY;
  if (g_PresentWidth != 0) marginX = marginX * width / g_PresentWidth;
  if (g_PresentHeight != 0) marginY = marginY * height / g_PresentHeight;
  bool withinMargin = -marginX <= x && x < width + marginX && -marginY <= y && y < height + marginY;
  window->mCursorOutside = outside ? 1 : 0;
  window->mCursorFarOutside = (outside && !withinMargin) ? 1 : 0;
}

// The pending drag starts where the button went down: the window's client
// position packed as the button message carries it (x low, y high, 16 bits
// each, signed).
void StartPendingDrag() {
  PlatformWindow* window = g_DragPendingWindow.exchange(nullptr);
  if (window == nullptr) return;
  int64_t position = g_DragPendingPosition.load();
  WindowDrag drag;
  drag.mWindow = window;
  if (!GetClientOrigin(window, &drag.mOriginX, &drag.mOriginY)) return;
  drag.mCursorX = drag.mOriginX + static_cast<int16_t>(position & 0xFFFF);
  drag.mCursorY = drag.mOriginY + static_cast<int16_t>((position >> 16) & 0xFFFF);
  g_Drag = drag;
}

void FollowWindowDrag() {
  StartPendingDrag();
  if (g_Drag.mWindow == nullptr) return;
  int x = 0;
  int y = 0;
  if ((g_InputRaw[kSlotLeft] & kDown) == 0 || !GetCursorDesktopPosition(&x, &y)) {
    g_Drag = WindowDrag();
    return;
  }
  MoveWindowClientTo(g_Drag.mWindow, g_Drag.mOriginX + (x - g_Drag.mCursorX), g_Drag.mOriginY + (y - g_Drag.mCursorY));
}

void UpdateMouseSlots() {
  // Side buttons share the system's codes 5 and 6 with the wheel slots: only
  // the wheel may set those, so they start every frame released.
  g_InputRaw[kSlotWheelUp] = 0;
  g_InputRaw[kSlotWheelDown] = 0;
  if (g_ActiveWindowIndex >= 0 && g_ActiveWindowIndex < kWindowCount) {
    const WindowObject* active = g_WindowTable[g_ActiveWindowIndex];
    if (active != nullptr && active->mCursorFarOutside != 0) {
      // A press beyond the margin is not one; a release there is seen.
      for (int slot : {kSlotLeft, kSlotRight, kSlotMiddle, kSlotWheelUp, kSlotWheelDown, kSlotMoved}) {
        if (!Held(slot)) g_InputRaw[slot] = 0;
      }
    } else {
      if (g_WheelDelta > 0) g_InputRaw[kSlotWheelUp] = kDown;
      if (g_WheelDelta < 0) g_InputRaw[kSlotWheelDown] = kDown;
      g_InputRaw[kSlotMoved] = g_MouseMoved;
    }
  }
  for (int slot = kFirstMouseSlot; slot <= kLastMouseSlot; ++slot) AdvanceInputSlot(slot);
}

void UpdateKeySlots() {
  uint8_t any = 0;
  for (uint8_t key : g_KeyCodeTable) {
    AdvanceInputSlot(key);
    any |= g_InputRaw[key] & kDown;
  }
  AdvanceInputSlotAt(0, any);
}

void UpdateCursorAutoHide() {
  WindowObject* main = g_WindowTable[0];
  if (main == nullptr) return;
  if (g_CursorAutoHide != 0 && main->mCursorIdleArmed == 0 && Held(0)) {
    main->mCursorIdleArmed = 1;
    main->mCursorIdleStart = GetTimeMs();
  }
  if (main->mCursorIdleArmed != 0) {
    // Ticks wrap: the delay is over when the pace time is past the start by
    // more than it, as a signed 32-bit difference.
    int64_t elapsed = static_cast<int32_t>(g_PaceNow - main->mCursorIdleStart);
    if (elapsed > g_CursorIdleDelay && g_CursorShown == 1) {
      g_CursorRequest = 2;
      g_CursorShown = 0;
    }
  }
  if (g_CursorAutoHide == 0 || main->mCursorIdleArmed == 0) return;
  bool reshow = main->mCursorFarOutside != 0 || IsMenuStripShown() ||
                (Held(kSlotMoved) && main->mShowCursorOnMove != 0) ||
                ((Held(kSlotLeft) || Held(kSlotRight) || Held(kSlotMiddle)) && main->mShowCursorOnButtons != 0) ||
                ((Held(kSlotWheelUp) || Held(kSlotWheelDown)) && main->mShowCursorOnWheel != 0);
  if (reshow) RequestCursorShow();
}

void StartRequestedDrag() {
  int request = g_DragRequestWindow;
  if (request == 0) return;
  g_DragRequestWindow = 0;
  const WindowObject* window = request <= kWindowCount ? g_WindowTable[request - 1] : nullptr;
  if (window == nullptr || window->mWindow == nullptr) return;
  PostWindowMessage(window->mWindow, kMsgNonClientLeftButtonDown, kHitCaption, g_DragRequestPosition);
  g_DragPendingPosition.store(g_DragRequestPosition);
  g_DragPendingWindow.store(window->mWindow);
}

}  // namespace

void FillKeyTransitionTable() {
  g_KeyTransitionTable[0] = KeyStillUp;
  g_KeyTransitionTable[1] = KeyPressed;
  g_KeyTransitionTable[2] = KeyReleased;
  g_KeyTransitionTable[3] = KeyStillDown;
}

// The sample runs on the main thread in every idle pass, the update on the
// thread that steps the frames; with threaded stepping both run at once, so
// each holds the lock while it reads and writes the raw bytes and the cursor
// fields.
void SampleWindowInput() {
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  g_ActiveWindowIndex = -1;
  for (int index = 0; index < kWindowCount; ++index) {
    const WindowObject* window = g_WindowTable[index];
    if (window != nullptr && window->mActive != 0) {
      g_ActiveWindowIndex = index;
      break;
    }
  }
  if (g_ActiveWindowIndex < 0) {
    std::memset(g_InputRaw, 0, sizeof g_InputRaw);
    ClearKeyState();
    g_DragPendingWindow.store(nullptr);
    g_Drag = WindowDrag();
    return;
  }
  ReadKeyState(g_InputRaw);
  int cursorX = 0;
  int cursorY = 0;
  bool haveCursor = GetCursorDesktopPosition(&cursorX, &cursorY);
  for (WindowObject* window : g_WindowTable) {
    if (window != nullptr) SampleCursor(window, haveCursor, cursorX, cursorY);
  }
  FollowWindowDrag();
}

void UpdateInput() {
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  if (g_MouseInputOn != 0) UpdateMouseSlots();
  g_MouseMoved = 0;
  g_WheelDelta = 0;
  if (g_KeyboardInputOn != 0) UpdateKeySlots();
  if (g_JoystickInputOn != 0) PollJoysticks();
  UpdateCursorAutoHide();
  ApplyCursorRequest();
  for (WindowObject* window : g_WindowTable) {
    if (window != nullptr && window->mWindow != nullptr && IsWindowMinimised(window->mWindow)) window->mActive = 0;
  }
  UpdateInactivePause();
  StartRequestedDrag();
}

void PollJoysticks() {
  if (g_JoysticksPresent == 0) return;
  std::memset(g_JoystickConnected, 0, sizeof g_JoystickConnected);
  int count = g_JoystickCount < kMaxJoysticks ? g_JoystickCount : kMaxJoysticks;
  for (int joystick = 0; joystick < count; ++joystick) {
    uint8_t* raw = &g_InputRaw[JoystickSlot(joystick, 0)];
    if (ReadJoystick(joystick, &g_JoystickRecords[joystick])) {
      g_JoystickConnected[joystick] = 1;
      const JoystickReading& reading = g_JoystickRecords[joystick];
      raw[0] = reading.mY < kJoystickAxisCentre ? kDown : 0;
      raw[1] = reading.mY > kJoystickAxisCentre ? kDown : 0;
      raw[2] = reading.mX < kJoystickAxisCentre ? kDown : 0;
      raw[3] = reading.mX > kJoystickAxisCentre ? kDown : 0;
      for (int button = 0; button < kJoystickButtons; ++button) {
        raw[kJoystickAxes + button] = (reading.mButtons & (1u << button)) != 0 ? kDown : 0;
      }
    } else {
      // A joystick that does not answer holds nothing: its old reading, or
      // the empty record of one never read, would keep directions held.
      std::memset(raw, 0, kJoystickSlots);
    }
    for (int k = 0; k < kJoystickSlots; ++k) AdvanceInputSlot(JoystickSlot(joystick, k));
  }
}

uint8_t InitJoysticks() {
  int count = OpenJoysticks();
  for (JoystickReading& record : g_JoystickRecords) record = JoystickReading();
  if (count <= 0) {
    g_JoystickCount = count;
    return 0;
  }
  g_JoystickCount = count < kMaxJoysticks ? count : kMaxJoysticks;
  return 1;
}

void RequestCursorShow() {
  // Also called by the error dialog and the close question, from whichever
  // thread they run on.
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  if (g_CursorShown != 0) return;
  if (WindowObject* main = g_WindowTable[0]) main->mCursorIdleArmed = 0;
  g_CursorRequest = 1;
  g_CursorShown = 1;
}

void ApplyCursorRequest() {
  if (g_CursorRequest == 1) ShowMouseCursor(true);
  if (g_CursorRequest == 2) ShowMouseCursor(false);
  g_CursorRequest = 0;
}

int32_t GetSampledCursorY(int window) {
  if (window < 0 || window >= kWindowCount || g_WindowTable[window] == nullptr) return 0;
  return g_WindowTable[window]->mCursorY;
}

int32_t GetCursorYInMainWindow() {
  const WindowObject* main = g_WindowTable[0];
  int x = 0;
  int y = 0;
  int originX = 0;
  int originY = 0;
  if (main == nullptr || main->mWindow == nullptr || !GetCursorDesktopPosition(&x, &y) ||
      !GetClientOrigin(main->mWindow, &originX, &originY)) {
    return 0;
  }
  return y - originY;
}

void ReleaseInputDevices() {
  CloseJoysticks();
  for (JoystickReading& record : g_JoystickRecords) record = JoystickReading();
  g_DragPendingWindow.store(nullptr);
  g_DragPendingPosition.store(0);
  g_Drag = WindowDrag();
}
