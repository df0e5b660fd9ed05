// The game windows as the X server keeps them: their kind and states at
// creation, requests for attention, and the cursor that the mouse command
// makes and moves. Each test runs on a private Xvfb and reads back what the
// server stores.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/window_table.h"
#include "layer/layer_record.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "script/engine_config.h"
#include "shell/appended_data.h"
#include "shell/engine_reset.h"
#include "shell/window_objects.h"
#include "support/script_runner.h"
#include "support/test_window.h"
#include "support/x11_session.h"

namespace {

bool Has(const std::vector<std::string>& atoms, const char* name) {
  return std::find(atoms.begin(), atoms.end(), name) != atoms.end();
}

class X11WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!x11.Start(&why)) GTEST_SKIP() << why;
  }
  void TearDown() override { x11.Stop(); }
  // Pumps the messages for `ms` milliseconds, as the message loop does.
  static void PumpFor(uint32_t ms) {
    uint64_t end = SDL_GetTicks64() + ms;
    while (SDL_GetTicks64() < end) {
      PeekWindowMessage();
      SDL_Delay(5);
    }
  }

  X11Session x11;
};

struct KindCase {
  const char* mName;
  uint8_t mStyleSwitch;
  uint8_t mScreenSaver;
  bool mTool;   // utility window, off the task bar
  bool mAbove;  // kept above the others
};

class WindowKindTest : public X11WindowTest, public testing::WithParamInterface<KindCase> {};

TEST_P(WindowKindTest, TheStyleSwitchAndTheScreenSaverChooseTheMainWindowsKind) {
  const KindCase& c = GetParam();
  g_WindowStyleSwitch = c.mStyleSwitch;
  g_ScreenSaverMode = c.mScreenSaver;
  WindowObject* main = AddTestMainWindow("orvane-kind-test");
  ASSERT_NE(main, nullptr);
  uint64_t window = X11Session::XWindowOf(main->mWindow);
  ASSERT_NE(window, 0u);
  std::vector<std::string> types = x11.AtomList(window, "_NET_WM_WINDOW_TYPE");
  std::vector<std::string> states = x11.AtomList(window, "_NET_WM_STATE");
  EXPECT_EQ(Has(types, "_NET_WM_WINDOW_TYPE_UTILITY"), c.mTool);
  EXPECT_EQ(Has(states, "_NET_WM_STATE_SKIP_TASKBAR"), c.mTool);
  EXPECT_EQ(Has(states, "_NET_WM_STATE_ABOVE"), c.mAbove);
  // Created last and placed at the top, the window lies above the others.
  std::vector<uint64_t> order = x11.StackingOrder();
  ASSERT_FALSE(order.empty());
  EXPECT_EQ(order.back(), window);
}

INSTANTIATE_TEST_SUITE_P(Cases, WindowKindTest,
                         testing::Values(KindCase{"PopupStyleIsAToolWindow", 0, 0, true, false},
                                         KindCase{"PopupStyleScreenSaverIsAToolWindow", 0, 1, true, false},
                                         KindCase{"FramedWindowIsPlain", 1, 0, false, false},
                                         KindCase{"FramedScreenSaverStaysAbove", 1, 1, false, true},
                                         KindCase{"OtherSwitchScreenSaverIsAToolWindow", 2, 1, true, false}),
                         [](const testing::TestParamInfo<KindCase>& info) { return std::string(info.param.mName); });

TEST_F(X11WindowTest, WithoutATimeoutOneFlashTakesTheCursorBlinkRate) {
  WindowObject* main = AddTestMainWindow("orvane-flash-test");
  ASSERT_NE(main, nullptr);
  uint64_t window = X11Session::XWindowOf(main->mWindow);
  uint64_t start = SDL_GetTicks64();
  ASSERT_EQ(FlashGameWindow(main->mWindow, 0, 1), 0);
  EXPECT_TRUE(x11.IsUrgent(window));
  uint64_t ended = x11.PumpUntilNotUrgent(window, 5000);
  ASSERT_NE(ended, 0u) << "still asking for attention";
  EXPECT_GE(ended - start, kCursorBlinkMs);

  // A count of 0 stops a request at once.
  ASSERT_EQ(FlashGameWindow(main->mWindow, 1000, 5), 0);
  EXPECT_TRUE(x11.IsUrgent(window));
  ASSERT_EQ(FlashGameWindow(main->mWindow, 1000, 0), 0);
  EXPECT_FALSE(x11.IsUrgent(window));
}

TEST(OffscreenWindowTest, FlashingIsRefusedWhereTheWindowSystemCannotAskForAttention) {
  WindowObject* main = CreateTestMainWindow("orvane-offscreen-flash-test");
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(FlashGameWindow(main->mWindow, 100, 3), -1);
  ResetEngineState();
}

// The mouse command on the main window: a cursor made from a layer, and the
// cursor moved in the window's logical pixels.
TEST_F(X11WindowTest, TheMouseCommandMakesACursorFromALayerAndMovesThePointer) {
  ScriptRunner game;
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("layer", {{"path", Str("cursor")}, {"num", Num(1)}, {"file", Str("")}, {"width", Num(4)}, {"height", Num(3)}});
  code.Op("wait", {{"frames", Num(1)}});
  code.Op("mouse", {{"hot_x", Num(1)}, {"hot_y", Num(2)}, {"layer", Str("cursor.1")}, {"x", Num(37)}, {"y", Num(21)}});
  code.Op("wait", {{"frames", Num(1)}});
  code.Op("mouse", {{"y", Num(45)}});
  code.Op("end");
  game.Add(code);
  ASSERT_TRUE(game.Load());
  WindowObject* main = AddTestMainWindow("orvane-cursor-test");
  ASSERT_NE(main, nullptr);
  ShowPlatformWindow(main->mWindow, true);
  uint64_t window = X11Session::XWindowOf(main->mWindow);
  game.Frame();

  LayerRecord* layer = FindScriptLayer("cursor.1");
  ASSERT_NE(layer, nullptr);
  ASSERT_NE(layer->mPixels, nullptr);
  // Opaque red, with one opaque blue pixel at the top-left and one
  // transparent pixel at the bottom-right.
  for (int i = 0; i < 12; ++i) {
    uint8_t* pixel = layer->mPixels + i * 4;
    pixel[0] = i == 0 ? 0xFF : 0;
    pixel[1] = 0;
    pixel[2] = i == 0 ? 0 : 0xFF;
    pixel[3] = i == 11 ? 0 : 0xFF;
  }
  game.Frame();
  PumpFor(50);
  int x = 0;
  int y = 0;
  ASSERT_TRUE(x11.PointerIn(window, &x, &y));
  EXPECT_EQ(x, 37);
  EXPECT_EQ(y, 21);
  X11Session::CursorImage cursor;
  ASSERT_TRUE(x11.CurrentCursor(&cursor));
  EXPECT_EQ(cursor.mWidth, 4);
  EXPECT_EQ(cursor.mHeight, 3);
  EXPECT_EQ(cursor.mHotX, 1);
  EXPECT_EQ(cursor.mHotY, 2);
  ASSERT_EQ(cursor.mPixels.size(), 12u);
  EXPECT_EQ(cursor.mPixels[0], 0xFF0000FFu);
  EXPECT_EQ(cursor.mPixels[5], 0xFFFF0000u);
  EXPECT_EQ(cursor.mPixels[11] >> 24, 0u);

  // Only y moves; x stays where it was.
  game.Frame();
  PumpFor(50);
  ASSERT_TRUE(x11.PointerIn(window, &x, &y));
  EXPECT_EQ(x, 37);
  EXPECT_EQ(y, 45);
}

}  // namespace
