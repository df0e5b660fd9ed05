// The key state built from the system's scancodes, and joystick axes on the
// engine's scale.
#include <gtest/gtest.h>

#include <SDL_scancode.h>

#include <array>
#include <vector>

#include "platform/input_devices.h"
#include "platform/window.h"

namespace {

std::array<uint8_t, kKeyStateBytes> KeysFor(std::vector<int> scancodes, uint32_t buttons = 0) {
  std::array<uint8_t, kScancodeCount> down{};
  for (int scancode : scancodes) down[scancode] = 1;
  std::array<uint8_t, kKeyStateBytes> keys;
  keys.fill(0x55);  // every byte is written
  BuildKeyState(down.data(), kScancodeCount, buttons, keys.data());
  return keys;
}

std::vector<int> Held(const std::array<uint8_t, kKeyStateBytes>& keys) {
  std::vector<int> held;
  for (int key = 0; key < kKeyStateBytes; ++key) {
    if (keys[key] == 0x80) {
      held.push_back(key);
    } else {
      EXPECT_EQ(keys[key], 0) << key;
    }
  }
  return held;
}

struct KeyCase {
  const char* mWhat;
  std::vector<int> mScancodes;
  uint32_t mButtons;
  std::vector<int> mKeys;
};

TEST(KeyStateTest, ScancodesBecomeVirtualKeys) {
  const KeyCase cases[] = {
      {"nothing", {}, 0, {}},
      {"letters", {SDL_SCANCODE_A, SDL_SCANCODE_Z}, 0, {'A', 'Z'}},
      {"digits", {SDL_SCANCODE_0, SDL_SCANCODE_1, SDL_SCANCODE_9}, 0, {'0', '1', '9'}},
      {"both Enter keys", {SDL_SCANCODE_RETURN, SDL_SCANCODE_KP_ENTER}, 0, {13}},
      {"Escape and Space", {SDL_SCANCODE_ESCAPE, SDL_SCANCODE_SPACE}, 0, {27, 32}},
      {"arrows", {SDL_SCANCODE_LEFT, SDL_SCANCODE_UP, SDL_SCANCODE_RIGHT, SDL_SCANCODE_DOWN}, 0, {37, 38, 39, 40}},
      {"F1, F12, F24", {SDL_SCANCODE_F1, SDL_SCANCODE_F12, SDL_SCANCODE_F24}, 0, {112, 123, 135}},
      {"keypad", {SDL_SCANCODE_KP_0, SDL_SCANCODE_KP_9, SDL_SCANCODE_KP_DIVIDE}, 0, {96, 105, 111}},
      {"left Shift", {SDL_SCANCODE_LSHIFT}, 0, {16, 160}},
      {"right Shift", {SDL_SCANCODE_RSHIFT}, 0, {16, 161}},
      {"both Controls", {SDL_SCANCODE_LCTRL, SDL_SCANCODE_RCTRL}, 0, {17, 162, 163}},
      {"right Alt", {SDL_SCANCODE_RALT}, 0, {18, 165}},
      {"left Alt", {SDL_SCANCODE_LALT}, 0, {18, 164}},
      {"punctuation", {SDL_SCANCODE_SEMICOLON, SDL_SCANCODE_GRAVE, SDL_SCANCODE_APOSTROPHE}, 0, {186, 192, 222}},
      {"Japanese keys", {SDL_SCANCODE_INTERNATIONAL1, SDL_SCANCODE_INTERNATIONAL3}, 0, {220, 226}},
      {"mouse buttons", {}, kMouseLeft | kMouseRight | kMouseMiddle, {1, 2, 4}},
      {"side buttons", {}, kMouseSide1 | kMouseSide2, {5, 6}},
      {"unmapped scancode", {SDL_SCANCODE_POWER}, 0, {}},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    EXPECT_EQ(Held(KeysFor(c.mScancodes, c.mButtons)), c.mKeys);
  }
}

TEST(KeyStateTest, AShortStateArrayIsReadOnlyToItsEnd) {
  std::array<uint8_t, 10> down{};
  down[SDL_SCANCODE_A] = 1;
  std::array<uint8_t, kKeyStateBytes> keys{};
  BuildKeyState(down.data(), static_cast<int>(down.size()), 0, keys.data());
  EXPECT_EQ(keys[static_cast<int>('A')], 0x80);
  EXPECT_EQ(VirtualKeyOfScancode(-1), 0);
  EXPECT_EQ(VirtualKeyOfScancode(kScancodeCount), 0);
}

TEST(JoystickAxisTest, CentreAndEnds) {
  EXPECT_EQ(JoystickAxisValue(0), kJoystickAxisCentre);
  EXPECT_EQ(JoystickAxisValue(1), kJoystickAxisCentre + 1);
  EXPECT_EQ(JoystickAxisValue(-1), kJoystickAxisCentre - 1);
  EXPECT_EQ(JoystickAxisValue(32767), 0xFFFEu);
  EXPECT_EQ(JoystickAxisValue(-32767), 0u);
  EXPECT_EQ(JoystickAxisValue(-32768), 0u);
}

}  // namespace

namespace {

// The system's devices behind the seam, on the display-less video driver of
// the tests: windows are found where they were placed, nothing is held, and
// joysticks outside the counted range never answer.
TEST(SystemInputDevicesTest, AnswerForWindowsKeysAndJoysticks) {
  ASSERT_TRUE(InitPlatformVideo());
  PlatformWindowDesc desc;
  desc.mTitle = "input";
  desc.mX = 30;
  desc.mY = 40;
  desc.mWidth = 64;
  desc.mHeight = 48;
  PlatformWindow* window = CreatePlatformWindow(desc);
  ASSERT_NE(window, nullptr);
  int x = 0;
  int y = 0;
  EXPECT_TRUE(GetClientOrigin(window, &x, &y));
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 40);
  EXPECT_FALSE(GetClientOrigin(nullptr, &x, &y));
  EXPECT_FALSE(IsWindowMinimised(window));
  EXPECT_FALSE(IsWindowMinimised(nullptr));

  std::array<uint8_t, kKeyStateBytes> keys;
  keys.fill(0xFF);
  ReadKeyState(keys.data());
  for (int key = 8; key < kKeyStateBytes; ++key) EXPECT_EQ(keys[key], 0) << key;
  ClearKeyState();

  int count = OpenJoysticks();
  EXPECT_GE(count, 0);
  JoystickReading reading;
  EXPECT_FALSE(ReadJoystick(-1, &reading));
  EXPECT_FALSE(ReadJoystick(count, &reading));
  CloseJoysticks();
  EXPECT_FALSE(ReadJoystick(0, &reading));

  DestroyPlatformWindow(window);
  QuitPlatformVideo();
}

}  // namespace
