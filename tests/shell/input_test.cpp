// Input sampling and the per-frame input update, on a fake set of devices:
// the slot transitions, the any-key slot, mouse presses beyond the window's
// margin, the wheel, the input switches, joysticks, the cursor auto-hide and
// caption drags.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "core/input_state.h"
#include "core/display_state.h"
#include "core/window_table.h"
#include "platform/input_devices.h"
#include "platform/messages.h"
#include "shell/engine_reset.h"
#include "shell/frame.h"
#include "shell/input.h"
#include "shell/startup.h"
#include "support/fake_clock.h"

namespace {

// Keys by their virtual-key codes (the capital letter's code).
constexpr int kKeyA = 'A';
constexpr int kKeyQ = 'Q';
constexpr int kKeyX = 'X';
constexpr int kKeyZ = 'Z';

struct FakeDevices {
  std::array<uint8_t, kKeyStateBytes> mKeys{};
  int mClears = 0;
  bool mHaveCursor = true;
  int mCursorX = 0;
  int mCursorY = 0;
  std::map<PlatformWindow*, std::pair<int, int>> mOrigins;
  std::map<PlatformWindow*, bool> mMinimised;
  std::vector<bool> mCursorShows;
  int mJoystickCount = 0;
  int mJoystickCloses = 0;
  std::array<std::optional<JoystickReading>, kMaxJoysticks> mJoysticks{};  // empty: no answer
  std::vector<std::pair<int, int>> mMoves;

  InputDeviceHooks mHooks{
      [](void* c, uint8_t keys[kKeyStateBytes]) { std::memcpy(keys, Self(c).mKeys.data(), kKeyStateBytes); },
      [](void* c) {
        Self(c).mClears += 1;
        Self(c).mKeys.fill(0);
      },
      [](void* c, int* x, int* y) {
        *x = Self(c).mCursorX;
        *y = Self(c).mCursorY;
        return Self(c).mHaveCursor;
      },
      [](void* c, PlatformWindow* window, int* x, int* y) {
        auto found = Self(c).mOrigins.find(window);
        if (found == Self(c).mOrigins.end()) return false;
        *x = found->second.first;
        *y = found->second.second;
        return true;
      },
      [](void* c, PlatformWindow* window) { return Self(c).mMinimised[window]; },
      [](void* c, bool shown) { Self(c).mCursorShows.push_back(shown); },
      [](void* c) { return Self(c).mJoystickCount; },
      [](void* c) { Self(c).mJoystickCloses += 1; },
      [](void* c, int index, JoystickReading* reading) {
        if (index < 0 || index >= kMaxJoysticks || !Self(c).mJoysticks[index]) return false;
        *reading = *Self(c).mJoysticks[index];
        return true;
      },
      [](void* c, PlatformWindow*, int x, int y) { Self(c).mMoves.emplace_back(x, y); },
      this,
  };

  static FakeDevices& Self(void* context) { return *static_cast<FakeDevices*>(context); }
};

class InputTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState();
    SetInputDeviceHooks(&devices.mHooks);
    for (int index = 0; index < kWindowCount; ++index) {
      windows[index].mIndex = index;
      windows[index].mWidth = 320;
      windows[index].mHeight = 240;
      g_WindowTable[index] = &windows[index];
    }
    // Window 0 has a system window at (100, 50) on the desktop, shown 1:1.
    windows[0].mWindow = Handle(0);
    windows[0].mActive = 1;
    devices.mOrigins[Handle(0)] = {100, 50};
    g_PresentWidth = 320;
    g_PresentHeight = 240;
    CursorAt(260, 170);
  }
  void TearDown() override {
    for (WindowObject*& entry : g_WindowTable) entry = nullptr;
    ClearWindowMessages();
    SetInputDeviceHooks(nullptr);
    ResetEngineState();
  }

  PlatformWindow* Handle(int index) { return reinterpret_cast<PlatformWindow*>(&handles[index]); }
  void CursorAt(int x, int y) {
    devices.mCursorX = x;
    devices.mCursorY = y;
  }
  void Frame() {
    SampleWindowInput();
    UpdateInput();
  }

  FakeDevices devices;
  std::array<WindowObject, kWindowCount> windows{};
  std::array<char, kWindowCount> handles{};
};

struct SlotLife {
  uint8_t mLevel;
  uint8_t mState;
  int64_t mCounter;
  int64_t mPresses;
};

TEST_F(InputTest, AKeyGoesThroughTheFourTransitions) {
  const SlotLife frames[] = {
      {0, 0, -1, 0}, {0, 0, -2, 0}, {0x80, 2, 1, 1},  {0x80, 2, 2, 1}, {0x80, 2, 3, 1},
      {0, 0, -1, 1}, {0, 0, -2, 1}, {0x80, 2, 1, 2},  {0, 0, -1, 2},   {0x80, 2, 1, 3},
  };
  int frame = 0;
  for (const SlotLife& expected : frames) {
    devices.mKeys[kKeyA] = expected.mLevel;
    Frame();
    SCOPED_TRACE(frame++);
    EXPECT_EQ(g_InputState[kKeyA], expected.mState);
    EXPECT_EQ(g_InputCounter[kKeyA], expected.mCounter);
    EXPECT_EQ(g_InputPressCount[kKeyA], expected.mPresses);
    // The any-key slot follows the only key held.
    EXPECT_EQ(g_InputCounter[0], expected.mCounter);
    EXPECT_EQ(g_InputPressCount[0], expected.mPresses);
  }
}

TEST_F(InputTest, EveryTableKeyIsAdvancedAndNoOther) {
  std::array<bool, kKeyStateBytes> inTable{};
  for (uint8_t key : g_KeyCodeTable) inTable[key] = true;
  devices.mKeys.fill(0x80);
  Frame();
  int advanced = 0;
  for (int key = 8; key < kKeyStateBytes; ++key) {
    SCOPED_TRACE(key);
    EXPECT_EQ(g_InputCounter[key], inTable[key] ? 1 : 0);
    advanced += inTable[key] ? 1 : 0;
  }
  EXPECT_EQ(advanced, kKeyCodeCount);
  // The documented ranges: 8-9, 13, 16-19, 27, 32-40, 44-57, 65-90, 96-135,
  // 144-145, 160-165, 186-192, 219-222, 226.
  for (int key : {8, 9, 13, 16, 19, 27, 32, 40, 44, 57, 65, 90, 96, 135, 144, 145, 160, 165, 186, 192, 219, 222, 226}) {
    EXPECT_TRUE(inTable[key]) << key;
  }
  for (int key : {10, 12, 14, 15, 20, 26, 28, 41, 43, 58, 64, 91, 95, 136, 143, 146, 159, 166, 185, 193, 218, 223, 225, 227}) {
    EXPECT_FALSE(inTable[key]) << key;
  }
}

struct AnyKeyCase {
  const char* mWhat;
  int mKey;
  bool mAnyKey;
};

TEST_F(InputTest, TheAnyKeySlotSeesOnlyTableKeys) {
  const AnyKeyCase cases[] = {
      {"letter", 'A', true},         {"Escape", 27, true},       {"right Alt", 165, true},
      {"key 226", 226, true},        {"left button", 1, false},  {"middle button", 4, false},
      {"Caps Lock", 20, false},      {"left Windows key", 91, false}, {"code 255", 255, false},
  };
  for (const AnyKeyCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    devices.mKeys.fill(0);
    Frame();
    devices.mKeys[c.mKey] = 0x80;
    Frame();
    EXPECT_EQ(g_InputState[0], c.mAnyKey ? 2 : 0);
    EXPECT_EQ(g_InputCounter[0] == 1, c.mAnyKey);
  }
}

TEST_F(InputTest, TheAnyKeySlotDoesNotReadItsOwnRawByte) {
  SampleWindowInput();
  g_InputRaw[0] = 0x80;
  UpdateInput();
  EXPECT_EQ(g_InputState[0], 0);
  EXPECT_EQ(g_InputCounter[0], -1);
}

TEST_F(InputTest, WithoutAnActiveWindowEverySlotIsReleasedAndTheKeyStateCleared) {
  devices.mKeys[kKeyZ] = 0x80;
  devices.mKeys[1] = 0x80;
  g_InputRaw[JoystickSlot(0, 0)] = 0x80;
  Frame();
  ASSERT_EQ(g_InputState[kKeyZ], 2);
  ASSERT_EQ(g_InputState[1], 2);
  windows[0].mActive = 0;
  SampleWindowInput();
  EXPECT_EQ(g_ActiveWindowIndex, -1);
  EXPECT_EQ(devices.mClears, 1);
  for (int slot = 0; slot < kInputSlots; ++slot) ASSERT_EQ(g_InputRaw[slot], 0) << slot;
  UpdateInput();
  EXPECT_EQ(g_InputCounter[kKeyZ], -1);
  EXPECT_EQ(g_InputCounter[1], -1);
  EXPECT_EQ(g_InputCounter[0], -1);
}

TEST_F(InputTest, TheFirstActiveWindowIsTheActiveOne) {
  windows[0].mActive = 0;
  windows[2].mActive = 1;
  windows[3].mActive = 1;
  SampleWindowInput();
  EXPECT_EQ(g_ActiveWindowIndex, 2);
}

TEST_F(InputTest, CursorPositionsInEachWindow) {
  windows[1].mWindow = Handle(1);
  devices.mOrigins[Handle(1)] = {500, 400};
  // The main window shows its 320x240 picture at 640x480 behind a paint
  // offset of (8, 4); the sub-window is unscaled.
  g_PresentWidth = 640;
  g_PresentHeight = 480;
  g_PaintOffset = {8, 4};
  CursorAt(100 + 8 + 200, 50 + 4 + 100);
  SampleWindowInput();
  EXPECT_EQ(windows[0].mCursorX, 100);
  EXPECT_EQ(windows[0].mCursorY, 50);
  EXPECT_EQ(windows[0].mCursorOutside, 0);
  EXPECT_EQ(windows[1].mCursorX, 308 - 500);
  EXPECT_EQ(windows[1].mCursorY, 154 - 400);
  EXPECT_EQ(windows[1].mCursorOutside, 1);
  // A slot without a system window: (0, 0), outside and far outside.
  EXPECT_EQ(windows[2].mCursorX, 0);
  EXPECT_EQ(windows[2].mCursorY, 0);
  EXPECT_EQ(windows[2].mCursorOutside, 1);
  EXPECT_EQ(windows[2].mCursorFarOutside, 1);
}

struct MarginCase {
  const char* mWhat;
  int mClientX;
  int mClientY;
  int32_t mX;
  uint8_t mOutside;
  uint8_t mFarOutside;
};

TEST_F(InputTest, TheLetterboxMarginSeparatesOutsideFromFarOutside) {
  // A 320x240 picture shown at 240x180 with a paint offset of (40, 30): the
  // margin is 53 x 40 logical pixels.
  g_PresentWidth = 240;
  g_PresentHeight = 180;
  g_PaintOffset = {40, 30};
  const MarginCase cases[] = {
      {"inside", 40, 30, 0, 0, 0},
      {"left bar", 20, 100, -26, 1, 0},
      {"client edge", 0, 100, -53, 1, 0},
      {"left of the client area", -1, 100, -54, 1, 1},
      {"right bar", 300, 100, 346, 1, 0},
      {"above the client area", 100, -1, 80, 1, 1},
  };
  for (const MarginCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    CursorAt(100 + c.mClientX, 50 + c.mClientY);
    SampleWindowInput();
    EXPECT_EQ(windows[0].mCursorX, c.mX);
    EXPECT_EQ(windows[0].mCursorOutside, c.mOutside);
    EXPECT_EQ(windows[0].mCursorFarOutside, c.mFarOutside);
  }
}

TEST_F(InputTest, APressFarOutsideIsNoPressButAReleaseThereIsSeen) {
  CursorAt(2000, 2000);
  devices.mKeys[1] = 0x80;
  Frame();
  EXPECT_EQ(g_InputState[1], 0);
  EXPECT_EQ(g_InputPressCount[1], 0);

  // Pressed inside, dragged far away: still held, and the release is seen
  // out there.
  devices.mKeys[1] = 0;
  Frame();
  CursorAt(200, 100);
  devices.mKeys[1] = 0x80;
  Frame();
  ASSERT_EQ(g_InputCounter[1], 1);
  CursorAt(2000, 2000);
  Frame();
  EXPECT_EQ(g_InputCounter[1], 2);
  devices.mKeys[1] = 0;
  Frame();
  EXPECT_EQ(g_InputCounter[1], -1);
  EXPECT_EQ(g_InputPressCount[1], 1);
}

TEST_F(InputTest, WheelMovementAndMovesAreIgnoredFarOutside) {
  CursorAt(2000, 2000);
  SampleWindowInput();
  g_WheelDelta = 120;
  g_MouseMoved = 0x80;
  UpdateInput();
  EXPECT_EQ(g_InputState[5], 0);
  EXPECT_EQ(g_InputState[7], 0);
  EXPECT_EQ(g_WheelDelta, 0);
  EXPECT_EQ(g_MouseMoved, 0);
}

TEST_F(InputTest, ButtonMessagesBetweenSamplesArePresses) {
  SampleWindowInput();
  // The window procedure saw the right button go down after the sample.
  g_InputRaw[2] = 0x80;
  UpdateInput();
  EXPECT_EQ(g_InputCounter[2], 1);
  EXPECT_EQ(g_InputPressCount[2], 1);
}

TEST_F(InputTest, OneWheelNotchIsOneFrameDown) {
  for (int16_t delta : {int16_t{120}, int16_t{-120}}) {
    int slot = delta > 0 ? 5 : 6;
    int other = delta > 0 ? 6 : 5;
    SCOPED_TRACE(slot);
    SampleWindowInput();
    g_WheelDelta = delta;
    UpdateInput();
    EXPECT_EQ(g_InputCounter[slot], 1);
    EXPECT_EQ(g_InputState[other], 0);
    EXPECT_EQ(g_WheelDelta, 0);
    // The next frame, with or without a sample in between, the notch is over.
    UpdateInput();
    EXPECT_EQ(g_InputCounter[slot], -1);
    Frame();
    EXPECT_EQ(g_InputCounter[slot], -2);
  }
}

TEST_F(InputTest, SideButtonsNeverReadAsTheWheel) {
  devices.mKeys[kVkSideButton1] = 0x80;
  devices.mKeys[kVkSideButton2] = 0x80;
  Frame();
  Frame();
  EXPECT_EQ(g_InputState[5], 0);
  EXPECT_EQ(g_InputState[6], 0);
  EXPECT_EQ(g_InputPressCount[5], 0);
  EXPECT_EQ(g_InputPressCount[6], 0);
  // The wheel still works while they are held.
  SampleWindowInput();
  g_WheelDelta = -120;
  UpdateInput();
  EXPECT_EQ(g_InputCounter[6], 1);
  EXPECT_EQ(g_InputState[5], 0);
}

TEST_F(InputTest, MouseMovesSetSlotSeven) {
  SampleWindowInput();
  g_MouseMoved = 0x80;
  UpdateInput();
  EXPECT_EQ(g_InputCounter[7], 1);
  Frame();
  EXPECT_EQ(g_InputCounter[7], -1);
}

TEST_F(InputTest, TheMouseSwitchFreezesTheMouseSlots) {
  devices.mKeys[1] = 0x80;
  Frame();
  Frame();
  ASSERT_EQ(g_InputCounter[1], 2);
  g_MouseInputOn = 0;
  devices.mKeys[1] = 0;
  SampleWindowInput();
  g_WheelDelta = 120;
  g_MouseMoved = 0x80;
  UpdateInput();
  EXPECT_EQ(g_InputState[1], 2);
  EXPECT_EQ(g_InputCounter[1], 2);
  for (int slot = 2; slot <= 7; ++slot) EXPECT_EQ(g_InputCounter[slot], -2) << slot;
  // The window procedure's bytes are used up all the same.
  EXPECT_EQ(g_WheelDelta, 0);
  EXPECT_EQ(g_MouseMoved, 0);
  // Keys go on.
  devices.mKeys[kKeyQ] = 0x80;
  Frame();
  EXPECT_EQ(g_InputCounter[kKeyQ], 1);
  g_MouseInputOn = 1;
  Frame();
  EXPECT_EQ(g_InputCounter[1], -1);
}

TEST_F(InputTest, TheKeyboardSwitchFreezesTheKeys) {
  devices.mKeys[kKeyQ] = 0x80;
  Frame();
  g_KeyboardInputOn = 0;
  devices.mKeys[kKeyQ] = 0;
  devices.mKeys[1] = 0x80;
  Frame();
  EXPECT_EQ(g_InputCounter[kKeyQ], 1);
  EXPECT_EQ(g_InputCounter[0], 1);
  EXPECT_EQ(g_InputCounter[1], 1);
}

TEST_F(InputTest, AMinimisedWindowBecomesInactive) {
  windows[1].mWindow = Handle(1);
  windows[1].mActive = 1;
  devices.mOrigins[Handle(1)] = {0, 0};
  devices.mMinimised[Handle(1)] = true;
  Frame();
  EXPECT_EQ(windows[0].mActive, 1);
  EXPECT_EQ(windows[1].mActive, 0);
}

class JoystickTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    devices.mJoystickCount = 2;
    ASSERT_EQ(InitJoysticks(), 1);
    g_JoysticksPresent = 1;
    g_JoystickInputOn = 1;
  }
  static JoystickReading Reading(uint32_t x, uint32_t y, uint32_t buttons) {
    JoystickReading reading;
    reading.mX = x;
    reading.mY = y;
    reading.mButtons = buttons;
    return reading;
  }
  static bool Down(int joystick, int k) { return g_InputState[JoystickSlot(joystick, k)] == 2; }
};

struct StickCase {
  const char* mWhat;
  uint32_t mX;
  uint32_t mY;
  bool mUp, mDown, mLeft, mRight;
};

TEST_F(JoystickTest, AxesReadAsFourDirectionsWithoutADeadZone) {
  const StickCase cases[] = {
      {"centred", 0x7FFF, 0x7FFF, false, false, false, false},
      {"one step right", 0x8000, 0x7FFF, false, false, false, true},
      {"one step up", 0x7FFF, 0x7FFE, true, false, false, false},
      {"down left", 0, 0xFFFF, false, true, true, false},
      {"up right", 0xFFFF, 0, true, false, false, true},
  };
  for (const StickCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    devices.mJoysticks[1] = Reading(c.mX, c.mY, 0);
    UpdateInput();
    EXPECT_EQ(Down(1, 0), c.mUp);
    EXPECT_EQ(Down(1, 1), c.mDown);
    EXPECT_EQ(Down(1, 2), c.mLeft);
    EXPECT_EQ(Down(1, 3), c.mRight);
    EXPECT_EQ(g_JoystickConnected[1], 1);
  }
}

TEST_F(JoystickTest, ButtonsOneToThirtyTwo) {
  devices.mJoysticks[0] = Reading(0x7FFF, 0x7FFF, (1u << 0) | (1u << 6) | (1u << 31));
  UpdateInput();
  for (int button = 0; button < kJoystickButtons; ++button) {
    bool expected = button == 0 || button == 6 || button == 31;
    EXPECT_EQ(Down(0, kJoystickAxes + button), expected) << button;
  }
  EXPECT_EQ(g_InputCounter[JoystickSlot(0, 4)], 1);
  EXPECT_EQ(g_InputPressCount[JoystickSlot(0, 35)], 1);
  UpdateInput();
  EXPECT_EQ(g_InputCounter[JoystickSlot(0, 4)], 2);
}

TEST_F(JoystickTest, AFailedPollReleasesEverySlotOfThatJoystick) {
  devices.mJoysticks[0] = Reading(0, 0, 0xFFFFFFFFu);
  UpdateInput();
  ASSERT_TRUE(Down(0, 0));
  ASSERT_TRUE(Down(0, 2));
  ASSERT_TRUE(Down(0, 35));
  devices.mJoysticks[0].reset();
  UpdateInput();
  EXPECT_EQ(g_JoystickConnected[0], 0);
  // Up, left and every button were held: each is released now.
  for (int k = 0; k < kJoystickSlots; ++k) {
    EXPECT_EQ(g_InputState[JoystickSlot(0, k)], 0) << k;
    EXPECT_EQ(g_InputCounter[JoystickSlot(0, k)], (k == 1 || k == 3) ? -2 : -1) << k;
  }
}

TEST_F(JoystickTest, AJoystickThatNeverAnswersHoldsNothing) {
  // Joystick 1 was counted but never answers.
  devices.mJoysticks[0] = Reading(0x7FFF, 0x7FFF, 0);
  UpdateInput();
  UpdateInput();
  EXPECT_EQ(g_JoystickConnected[0], 1);
  EXPECT_EQ(g_JoystickConnected[1], 0);
  for (int k = 0; k < kJoystickSlots; ++k) {
    EXPECT_EQ(g_InputState[JoystickSlot(1, k)], 0) << k;
    EXPECT_EQ(g_InputCounter[JoystickSlot(1, k)], -2) << k;
  }
  // Slots past the counted joysticks are not advanced.
  EXPECT_EQ(g_InputCounter[JoystickSlot(2, 0)], 0);
}

TEST_F(JoystickTest, TheJoystickSwitchStopsPolling) {
  g_JoystickInputOn = 0;
  devices.mJoysticks[0] = Reading(0, 0x7FFF, 0);
  UpdateInput();
  EXPECT_FALSE(Down(0, 2));
  EXPECT_EQ(g_InputCounter[JoystickSlot(0, 2)], 0);
  g_JoystickInputOn = 1;
  g_JoysticksPresent = 0;
  UpdateInput();
  EXPECT_FALSE(Down(0, 2));
}

TEST(InitJoysticksTest, CountsConnectedDevicesUpToSixteen) {
  ResetEngineState();
  FakeDevices devices;
  SetInputDeviceHooks(&devices.mHooks);
  const std::pair<int, int> cases[] = {{0, 0}, {1, 1}, {16, 16}, {20, 16}};
  for (auto [connected, counted] : cases) {
    devices.mJoystickCount = connected;
    EXPECT_EQ(InitJoysticks(), connected > 0 ? 1 : 0) << connected;
    EXPECT_EQ(g_JoystickCount, counted) << connected;
  }
  ReleaseInputDevices();
  EXPECT_EQ(devices.mJoystickCloses, 1);
  SetInputDeviceHooks(nullptr);
  ResetEngineState();
}

class CursorHideTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    clock.Set(1000);
    g_PaceNow = 1000;
  }
  // A frame at the clock's time; the pace time lags the clock, as it does
  // when the frame step reads it.
  void FrameAt(uint32_t now) {
    clock.Set(now);
    Frame();
    g_PaceNow = now;
  }
  void PressAKey() {
    devices.mKeys[kKeyX] = 0x80;
    FrameAt(clock.Now());
    devices.mKeys[kKeyX] = 0;
  }
  FakeClock clock;
};

TEST_F(CursorHideTest, AKeyPressHidesTheCursorAfterTheDelay) {
  PressAKey();
  EXPECT_EQ(windows[0].mCursorIdleArmed, 1);
  EXPECT_EQ(windows[0].mCursorIdleStart, 1000u);
  FrameAt(3000);
  FrameAt(3500);
  EXPECT_TRUE(devices.mCursorShows.empty());
  EXPECT_EQ(g_CursorShown, 1);
  FrameAt(3501);  // the pace time is now 3500: not yet past 1000 + 2500
  EXPECT_TRUE(devices.mCursorShows.empty());
  FrameAt(3502);
  ASSERT_EQ(devices.mCursorShows, std::vector<bool>{false});
  EXPECT_EQ(g_CursorShown, 0);
  EXPECT_EQ(g_CursorRequest, 0);
  FrameAt(5000);
  EXPECT_EQ(devices.mCursorShows.size(), 1u);
}

struct ReshowCase {
  const char* mWhat;
  void (*mTrigger)(WindowObject& main, FakeDevices& devices);
  void (*mTurnOff)(WindowObject& main);
};

TEST_F(CursorHideTest, EachTriggerShowsTheCursorUnlessTurnedOff) {
  const ReshowCase cases[] = {
      {"move", [](WindowObject&, FakeDevices&) { g_MouseMoved = 0x80; },
       [](WindowObject& main) { main.mShowCursorOnMove = 0; }},
      {"button", [](WindowObject&, FakeDevices& devices) { devices.mKeys[2] = 0x80; },
       [](WindowObject& main) { main.mShowCursorOnButtons = 0; }},
      {"wheel", [](WindowObject&, FakeDevices&) { g_WheelDelta = -120; },
       [](WindowObject& main) { main.mShowCursorOnWheel = 0; }},
  };
  for (const ReshowCase& c : cases) {
    for (bool turnedOff : {false, true}) {
      SCOPED_TRACE(std::string(c.mWhat) + (turnedOff ? " turned off" : ""));
      windows[0] = WindowObject();
      windows[0].mWindow = Handle(0);
      windows[0].mActive = 1;
      windows[0].mWidth = 320;
      windows[0].mHeight = 240;
      g_CursorShown = 1;
      devices.mCursorShows.clear();
      devices.mKeys.fill(0);
      if (turnedOff) c.mTurnOff(windows[0]);
      PressAKey();
      FrameAt(clock.Now() + 3000);
      FrameAt(clock.Now() + 1);
      ASSERT_EQ(devices.mCursorShows, std::vector<bool>{false});
      c.mTrigger(windows[0], devices);
      SampleWindowInput();
      c.mTrigger(windows[0], devices);
      UpdateInput();
      devices.mKeys.fill(0);
      if (turnedOff) {
        EXPECT_EQ(devices.mCursorShows.size(), 1u);
        EXPECT_EQ(g_CursorShown, 0);
      } else {
        EXPECT_EQ(devices.mCursorShows, (std::vector<bool>{false, true}));
        EXPECT_EQ(g_CursorShown, 1);
        EXPECT_EQ(windows[0].mCursorIdleArmed, 0);
      }
      Frame();
    }
  }
}

TEST_F(CursorHideTest, LeavingFarOutsideShowsTheCursor) {
  PressAKey();
  FrameAt(5000);
  FrameAt(5001);
  ASSERT_EQ(g_CursorShown, 0);
  CursorAt(5000, 5000);
  FrameAt(5002);
  EXPECT_EQ(devices.mCursorShows, (std::vector<bool>{false, true}));
}

TEST_F(CursorHideTest, NothingHidesWithAutoHideOff) {
  g_CursorAutoHide = 0;
  PressAKey();
  EXPECT_EQ(windows[0].mCursorIdleArmed, 0);
  FrameAt(10000);
  FrameAt(10001);
  EXPECT_TRUE(devices.mCursorShows.empty());
  EXPECT_EQ(g_CursorShown, 1);
}

TEST_F(CursorHideTest, TheDelayIsMeasuredAcrossTheClockWrap) {
  clock.Set(0xFFFFFF00u);
  g_PaceNow = 0xFFFFFF00u;
  PressAKey();
  FrameAt(0xFFFFFFF0u);
  FrameAt(100);
  EXPECT_TRUE(devices.mCursorShows.empty());
  FrameAt(2500);
  FrameAt(2501);
  EXPECT_EQ(devices.mCursorShows, std::vector<bool>{false});
}

TEST_F(CursorHideTest, RequestCursorShowActsOnlyOnAHiddenCursor) {
  RequestCursorShow();
  EXPECT_EQ(g_CursorRequest, 0);
  g_CursorShown = 0;
  windows[0].mCursorIdleArmed = 1;
  RequestCursorShow();
  EXPECT_EQ(g_CursorRequest, 1);
  EXPECT_EQ(g_CursorShown, 1);
  EXPECT_EQ(windows[0].mCursorIdleArmed, 0);
  ApplyCursorRequest();
  EXPECT_EQ(devices.mCursorShows, std::vector<bool>{true});
  ApplyCursorRequest();
  EXPECT_EQ(devices.mCursorShows.size(), 1u);
}

TEST_F(InputTest, ADragRequestDragsTheWindowWhileTheButtonIsHeld) {
  // The click at client (50, 20) of the window at (100, 50).
  CursorAt(150, 70);
  devices.mKeys[1] = 0x80;
  SampleWindowInput();
  g_DragRequestWindow = 1;
  g_DragRequestPosition = (20 << 16) | 50;
  UpdateInput();
  EXPECT_EQ(g_DragRequestWindow, 0);
  ASSERT_TRUE(PeekWindowMessage());
  WindowMessage message;
  ASSERT_TRUE(GetWindowMessage(&message));
  EXPECT_EQ(message.mWindow, Handle(0));
  EXPECT_EQ(message.mMessage, 0x00A1u);
  EXPECT_EQ(message.mWParam, 2u);
  EXPECT_EQ(message.mLParam, (20 << 16) | 50);

  CursorAt(170, 60);
  SampleWindowInput();
  CursorAt(180, 90);
  SampleWindowInput();
  devices.mKeys[1] = 0;
  CursorAt(400, 400);
  SampleWindowInput();
  EXPECT_EQ(devices.mMoves, (std::vector<std::pair<int, int>>{{120, 40}, {130, 70}}));
}

TEST_F(InputTest, ADragRequestForAWindowWithoutHandleIsDropped) {
  g_DragRequestWindow = 3;
  Frame();
  EXPECT_EQ(g_DragRequestWindow, 0);
  EXPECT_FALSE(PeekWindowMessage());
  Frame();
  EXPECT_TRUE(devices.mMoves.empty());
}

}  // namespace

namespace {

TEST(InputResetTest, TheEngineResetRestoresTheInputStartState) {
  ResetEngineState();
  g_KeyboardInputOn = 0;
  g_MouseInputOn = 0;
  g_JoystickInputOn = 1;
  g_CursorAutoHide = 0;
  g_CursorIdleDelay = 10;
  g_CursorShown = 0;
  g_CursorRequest = 2;
  g_ActiveWindowIndex = 3;
  g_JoystickCount = 5;
  g_JoystickConnected[4] = 1;
  g_DragRequestWindow = 2;
  g_DragRequestPosition = 77;
  g_PaintOffset = {5, 6};
  g_KeyTransitionTable[1] = KeyStillUp;
  g_InputRaw[900] = 0x80;
  ResetEngineState();
  EXPECT_EQ(g_KeyboardInputOn, 1);
  EXPECT_EQ(g_MouseInputOn, 1);
  EXPECT_EQ(g_JoystickInputOn, 0);
  EXPECT_EQ(g_CursorAutoHide, 1);
  EXPECT_EQ(g_CursorIdleDelay, 2500);
  EXPECT_EQ(g_CursorShown, 1);
  EXPECT_EQ(g_CursorRequest, 0);
  EXPECT_EQ(g_ActiveWindowIndex, -1);
  EXPECT_EQ(g_JoystickCount, 0);
  EXPECT_EQ(g_JoystickConnected[4], 0);
  EXPECT_EQ(g_DragRequestWindow, 0);
  EXPECT_EQ(g_DragRequestPosition, 0);
  EXPECT_EQ(g_PaintOffset.mX, 0);
  EXPECT_EQ(g_PaintOffset.mY, 0);
  EXPECT_EQ(g_InputRaw[900], 0);
  // The transitions work again without being filled.
  g_InputRaw[900] = 0x80;
  AdvanceInputSlot(900);
  EXPECT_EQ(g_InputCounter[900], 1);
  EXPECT_EQ(g_InputPressCount[900], 1);
  ResetEngineState();
}

}  // namespace
