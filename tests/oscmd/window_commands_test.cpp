// The window commands on windows 0-3 (created on the offscreen video driver)
// and the script edit control inside the main window.
#include <gtest/gtest.h>

#include <SDL.h>

#include <functional>
#include <string>
#include <vector>

#include "core/display_state.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/window_table.h"
#include "oscmd/edit_box.h"
#include "oscmd/oscmd_test_util.h"
#include "layer/layer_record.h"
#include "platform/edit_field.h"
#include "platform/window.h"
#include "platform/messages.h"
#include "script/engine_config.h"
#include "shell/display.h"
#include "shell/engine_reset.h"
#include "shell/window_objects.h"
#include "support/test_window.h"
#include "support/x11_session.h"

namespace {

// Loads a game whose script runs the body once, with the main window made
// as start-up makes it after the script data loaded.
WindowObject* LoadWithWindow(ScriptRunner& game, const std::function<void(ScriptAssembler&)>& body) {
  DeclareTestArrays(game);
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  body(code);
  code.Op("end");
  game.Add(code);
  if (!game.Load()) return nullptr;
  return AddTestMainWindow("orvane-window-command-test");
}

class WindowCommandTest : public testing::Test {
 protected:
  void TearDown() override { ResetEngineState(); }
  // Runs the body in a script on the test's game.
  void Run(const std::function<void(ScriptAssembler&)>& body) {
    main = LoadWithWindow(game, body);
    ASSERT_NE(main, nullptr);
    game.RunUntilQuit();
  }
  ScriptRunner game;
  WindowObject* main = nullptr;
};

TEST_F(WindowCommandTest, SubWindowWithATitleAndNoSizeOpensAt128) {
  Run([](ScriptAssembler& code) {
    code.Op("window", {{"window", Num(2)}, {"title", Str("Sub")}});
    code.Op("window_query", {{"window", Num(2)}, {"out", Elem(kNumbers, {Num(0)})}, {"exists", Num(1)}});
    code.Op("window_query", {{"window", Num(2)}, {"out", Elem(kNumbers, {Num(1)})}, {"width", Num(1)}});
    code.Op("window_query", {{"window", Num(2)}, {"out", Elem(kNumbers, {Num(2)})}, {"client_height", Num(1)}});
    code.Op("window_query", {{"window", Num(2)}, {"out", Elem(kTexts, {Num(0)})}, {"title", Num(1)}});
  });
  EXPECT_EQ(LastReportTag(), "");
  EXPECT_EQ(g_WindowIds[2], 1);
  ASSERT_NE(g_WindowTable[2]->mWindow, nullptr);
  EXPECT_TRUE(IsPlatformWindowShown(g_WindowTable[2]->mWindow));
  EXPECT_EQ(g_WindowTable[2]->mX, 0);
  EXPECT_EQ(IntVar(kNumbers, 0), 1);
  EXPECT_EQ(IntVar(kNumbers, 1), 128);
  EXPECT_EQ(IntVar(kNumbers, 2), 128);
  EXPECT_EQ(TextVar(kTexts, 0), "Sub");
}

TEST_F(WindowCommandTest, SubWindowWithoutATitleIsRefused) {
  Run([](ScriptAssembler& code) { code.Op("window", {{"window", Num(3)}, {"width", Num(200)}}); });
  EXPECT_TRUE(LastReportIs(kMsgSubWindowNeedsTitle)) << LastReportTag();
  EXPECT_EQ(g_WindowIds[3], -1);
  EXPECT_EQ(g_WindowTable[3]->mWindow, nullptr);
}

TEST_F(WindowCommandTest, AspectSizeOnAWindowNeverMadeDividesByNothing) {
  Run([](ScriptAssembler& code) {
    code.Op("window", {{"window", Num(1)}, {"aspect_width", Num(300)}, {"aspect_height", Num(300)}, {"title", Str("a")}});
  });
  EXPECT_EQ(LastReportTag(), "");
  EXPECT_EQ(g_WindowTable[1]->mWidth, 128);
  EXPECT_EQ(g_WindowTable[1]->mHeight, 128);
}

TEST_F(WindowCommandTest, SizesAreIgnoredInFullScreenAlsoForCreation) {
  main = LoadWithWindow(game, [](ScriptAssembler& code) {
    code.Op("window", {{"window", Num(1)}, {"title", Str("t")}, {"width", Num(300)}, {"height", Num(200)}});
  });
  ASSERT_NE(main, nullptr);
  g_FullScreen = 1;
  game.RunUntilQuit();
  g_FullScreen = 0;
  EXPECT_EQ(g_WindowTable[1]->mWidth, 128);
  EXPECT_EQ(g_WindowTable[1]->mHeight, 128);
}

TEST_F(WindowCommandTest, QueriesOfAWindowNeverOpenedAllGiveZero) {
  const char* const queries[] = {"exists", "opacity", "visible", "active", "left", "top", "width", "height",
                                 "client_width", "client_height", "monitor", "fullscreen", "maximised", "minimised"};
  Run([&](ScriptAssembler& code) {
    int64_t i = 0;
    for (const char* query : queries) {
      Assign(code, Elem(kNumbers, {Num(i)}), Num(-7));
      code.Op("window_query", {{"window", Num(3)}, {"out", Elem(kNumbers, {Num(i)})}, {query, Num(1)}});
      ++i;
    }
    Assign(code, Elem(kTexts, {Num(0)}), Str("x"));
    code.Op("window_query", {{"window", Num(3)}, {"out", Elem(kTexts, {Num(0)})}, {"exists", Num(1)}});
  });
  for (int64_t i = 0; i < static_cast<int64_t>(std::size(queries)); ++i) EXPECT_EQ(IntVar(kNumbers, i), 0) << queries[i];
  EXPECT_EQ(TextVar(kTexts, 0), "");
  EXPECT_EQ(LastReportTag(), "");
}

struct RoundTrip {
  const char* mSet;
  int64_t mValue;
  const char* mQuery;
  int64_t mExpected;
};

TEST_F(WindowCommandTest, AttributesRoundTripOnEachWindow) {
  const RoundTrip trips[] = {
      {"opacity", 128, "opacity", 128},
      {"visible", 1, "visible", 1},
      {"width", 200, "width", 200},
      {"height", 150, "height", 150},
      {"width", 240, "client_width", 240},
      {"height", 180, "client_height", 180},
  };
  Run([&](ScriptAssembler& code) {
    for (int64_t n = 1; n < 4; ++n) code.Op("window", {{"window", Num(n)}, {"title", Str("w" + std::to_string(n))}});
    int64_t slot = 0;
    for (int64_t n = 0; n < 4; ++n) {
      for (const RoundTrip& trip : trips) {
        code.Op("window", {{"window", Num(n)}, {trip.mSet, Num(trip.mValue)}});
        code.Op("window_query", {{"window", Num(n)}, {"out", Elem(kRunIntArray, {Num(slot / 4), Num(slot % 4)})}, {trip.mQuery, Num(1)}});
        code.Op("window_query", {{"window", Num(n)}, {"out", Elem(kTexts, {Num(n)})}, {"title", Num(1)}});
        ++slot;
        if (slot == 12) slot = 0;
      }
    }
  });
  EXPECT_EQ(LastReportTag(), "");
  for (int n = 0; n < 4; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(g_WindowTable[n]->mOpacity, 128);
    EXPECT_EQ(g_WindowTable[n]->mWidth, 240);
    EXPECT_EQ(g_WindowTable[n]->mHeight, 180);
    int width = 0;
    int height = 0;
    ASSERT_TRUE(GetPlatformWindowClientSize(g_WindowTable[n]->mWindow, &width, &height));
    EXPECT_EQ(width, 240);
    EXPECT_EQ(height, 180);
    if (n > 0) {
      EXPECT_EQ(TextVar(kTexts, n), "w" + std::to_string(n));
    }
  }
  // The last window's six queries.
  for (int i = 0; i < 6; ++i) EXPECT_EQ(IntVar(kRunIntArray, 6 + i), trips[i].mExpected) << trips[i].mQuery;
}

TEST_F(WindowCommandTest, TitlesAndStoredSwitches) {
  Run([](ScriptAssembler& code) {
    code.Op("window", {{"window", Num(0)}, {"title", Str("")}});
    code.Op("window", {{"window", Num(0)}, {"x", Num(33)}, {"y", Num(44)}, {"maximise_allowed", Num(0)},
                       {"minimise_allowed", Num(0)}, {"close_state", Num(2)}});
    code.Op("window_query", {{"window", Num(0)}, {"out", Var(kRunReal)}, {"exists", Num(1)}});
  });
  EXPECT_STREQ(main->mTitle, " ");
  EXPECT_EQ(main->mX, 33);
  EXPECT_EQ(main->mY, 44);
  EXPECT_EQ(main->mMaximiseAllowed, 0);
  EXPECT_EQ(main->mMinimiseAllowed, 0);
  EXPECT_EQ(main->mCloseState, 2);
  EXPECT_EQ(RealVar(kRunReal), 1.0);
}

TEST_F(WindowCommandTest, ATitleLongerThanItsFieldIsCutOnACharacterBoundary) {
  std::string title = "a";
  for (int i = 0; i < 200; ++i) title += "\x82\xA0";
  Run([&](ScriptAssembler& code) { code.Op("window", {{"window", Num(0)}, {"title", Str(title)}}); });
  EXPECT_EQ(std::string(main->mTitle), title.substr(0, 261));
}

struct RefusalCase {
  const char* mName;
  std::vector<Arg> mArgs;
  const char* mCommand;
  MessageId mId;
};

TEST_F(WindowCommandTest, RefusedValuesForTheMainWindow) {
  const RefusalCase cases[] = {
      {"z-order behind itself", {{"window", Num(0)}, {"zorder", Num(3)}}, "window", kMsgWindowValueRefused},
      {"close state 3", {{"window", Num(0)}, {"close_state", Num(3)}}, "window", kMsgWindowValueRefused},
      {"close state -1", {{"window", Num(0)}, {"close_state", Num(-1)}}, "window", kMsgWindowValueRefused},
      {"hiding the main window", {{"window", Num(0)}}, "window_hide", kMsgMainWindowHide},
      {"missing layer set", {{"window", Num(0)}, {"layers", Str("nothing/")}}, "window", kMsgShareSourceMissing},
      {"missing drag layer", {{"window", Num(0)}, {"drag", Str("nothing")}}, "window", kMsgShareSourceMissing},
  };
  for (const RefusalCase& entry : cases) {
    SCOPED_TRACE(entry.mName);
    ScriptRunner run;
    ASSERT_NE(LoadWithWindow(run, [&](ScriptAssembler& code) {
      code.Op(entry.mCommand, entry.mArgs);
      Assign(code, Var(kRunInt), Num(1));
    }), nullptr);
    run.RunUntilQuit();
    EXPECT_TRUE(LastReportIs(entry.mId)) << LastReportTag();
    EXPECT_EQ(IntVar(kRunInt), 0);
  }
}

TEST_F(WindowCommandTest, HideLeavesTheVisibleFieldAndNeedsAWindowNumber) {
  Run([](ScriptAssembler& code) {
    code.Op("window", {{"window", Num(1)}, {"title", Str("s")}});
    code.Op("window_hide");
    code.Op("window_hide", {{"window", Num(1)}});
  });
  EXPECT_EQ(LastReportTag(), "");
  EXPECT_FALSE(IsPlatformWindowShown(g_WindowTable[1]->mWindow));
  EXPECT_EQ(g_WindowTable[1]->mDisplayState, 1);
}

// The window commands on a real X server: what they change is read back
// from the server.
class X11WindowCommandTest : public WindowCommandTest {
 protected:
  void SetUp() override {
    std::string why;
    if (!x11.Start(&why)) GTEST_SKIP() << why;
  }
  void TearDown() override {
    WindowCommandTest::TearDown();
    x11.Stop();
  }
  uint64_t XWindow(int n) { return X11Session::XWindowOf(g_WindowTable[n]->mWindow); }
  // The stacking order of the given windows, from the bottom up.
  std::vector<int> Stacking(const std::vector<int>& windows) {
    std::vector<int> order;
    for (uint64_t x : x11.StackingOrder()) {
      for (int n : windows) {
        if (XWindow(n) == x) order.push_back(n);
      }
    }
    return order;
  }
  X11Session x11;
};

TEST_F(X11WindowCommandTest, ZOrderRestacksTheWindowsOnTheServer) {
  x11.WatchRootRequests();
  Run([](ScriptAssembler& code) {
    code.Op("window", {{"window", Num(1)}, {"title", Str("one")}});
    code.Op("window", {{"window", Num(2)}, {"title", Str("two")}});
    code.Op("window", {{"window", Num(3)}, {"title", Str("three")}});
    // Bottom; just behind the main window; topmost.
    code.Op("window", {{"window", Num(1)}, {"zorder", Num(2)}});
    code.Op("window", {{"window", Num(2)}, {"zorder", Num(3)}});
    code.Op("window", {{"window", Num(3)}, {"zorder", Num(1)}});
  });
  EXPECT_EQ(LastReportTag(), "");
  EXPECT_EQ(Stacking({0, 1, 2, 3}), (std::vector<int>{1, 2, 0, 3}));
  // Topmost is a state the window manager keeps: the shown window asks for
  // it (_NET_WM_STATE, 1 = add).
  bool above = false;
  for (const X11Session::RootRequest& request : x11.TakeRootRequests()) {
    if (request.mType == "_NET_WM_STATE" && request.mWindow == XWindow(3) && request.mData[0] == 1 &&
        x11.AtomName(request.mData[1]) == "_NET_WM_STATE_ABOVE") {
      above = true;
    }
  }
  EXPECT_TRUE(above);
}

TEST_F(X11WindowCommandTest, ZOrderTopRaisesAWindowFromTheBottom) {
  Run([](ScriptAssembler& code) {
    code.Op("window", {{"window", Num(1)}, {"title", Str("one")}});
    code.Op("window", {{"window", Num(2)}, {"title", Str("two")}});
    code.Op("window", {{"window", Num(1)}, {"zorder", Num(2)}});
    code.Op("window", {{"window", Num(2)}, {"zorder", Num(2)}});
    code.Op("window", {{"window", Num(1)}, {"zorder", Num(0)}});
  });
  EXPECT_EQ(Stacking({0, 1, 2}), (std::vector<int>{2, 0, 1}));
}

TEST_F(X11WindowCommandTest, BringToFrontRaisesAWindowFromTheBottom) {
  Run([](ScriptAssembler& code) {
    code.Op("window", {{"window", Num(1)}, {"title", Str("one")}, {"zorder", Num(2)}});
    code.Op("window", {{"window", Num(2)}, {"title", Str("two")}});
    code.Op("window", {{"window", Num(1)}, {"front", Num(1)}});
  });
  EXPECT_EQ(Stacking({0, 1, 2}), (std::vector<int>{0, 2, 1}));
}

TEST_F(X11WindowCommandTest, FlashAsksForAttentionForCountTimesTimeoutThenStops) {
  uint64_t start = SDL_GetTicks64();
  // The main window: it is not shown yet, so it does not have the focus (a
  // focused window is not flashed).
  Run([](ScriptAssembler& code) {
    code.Op("window", {{"window", Num(0)}, {"flash", Num(4)}, {"flash_timeout", Num(100)}});
  });
  uint64_t window = XWindow(0);
  EXPECT_TRUE(x11.IsUrgent(window));
  // The message pump ends the request once its time is over.
  uint64_t ended = x11.PumpUntilNotUrgent(window, 5000);
  ASSERT_NE(ended, 0u) << "still asking for attention";
  EXPECT_GE(ended - start, 400u);
}

TEST_F(X11WindowCommandTest, MinimisingAsksTheWindowManagerAndHidingUnmaps) {
  x11.WatchRootRequests();
  Run([](ScriptAssembler& code) {
    code.Op("window", {{"window", Num(1)}, {"title", Str("one")}});
    code.Op("window", {{"window", Num(2)}, {"title", Str("two")}});
    code.Op("window", {{"window", Num(1)}, {"minimised", Num(1)}});
    code.Op("window", {{"window", Num(2)}, {"minimised", Num(2)}});
  });
  // Iconifying is a request to the window manager (WM_CHANGE_STATE with
  // IconicState, 3); hiding unmaps the window.
  bool iconify = false;
  for (const X11Session::RootRequest& request : x11.TakeRootRequests()) {
    if (request.mType == "WM_CHANGE_STATE" && request.mWindow == XWindow(1) && request.mData[0] == 3) iconify = true;
  }
  EXPECT_TRUE(iconify);
  EXPECT_TRUE(x11.IsMapped(XWindow(1)));
  EXPECT_FALSE(x11.IsMapped(XWindow(2)));
}

TEST_F(X11WindowCommandTest, RestoringFromMinimisedClearsTheMaximisedStateAndResetsTheDevice) {
  g_Maximized = 1;
  g_RestorePending = 1;
  g_DeviceResetPending = 0;
  Run([](ScriptAssembler& code) {
    code.Op("window", {{"window", Num(1)}, {"title", Str("one")}, {"minimised", Num(0)}});
  });
  EXPECT_EQ(g_Maximized, 0);
  EXPECT_EQ(g_RestorePending, 0);
  EXPECT_EQ(g_DeviceResetPending, 1);
}

TEST_F(X11WindowCommandTest, ShapeCutsTheMainWindowToTheLayersNonBlackPixels) {
  main = LoadWithWindow(game, [](ScriptAssembler& code) {
    code.Op("layer", {{"path", Str("shape")}, {"num", Num(1)}, {"file", Str("")}, {"width", Num(4)}, {"height", Num(2)}});
    code.Op("wait", {{"frames", Num(1)}});
    code.Op("window", {{"window", Num(1)}, {"title", Str("one")}, {"shape", Str("shape.1")}});
  });
  ASSERT_NE(main, nullptr);
  game.Frame();
  LayerRecord* layer = FindScriptLayer("shape.1");
  ASSERT_NE(layer, nullptr);
  ASSERT_NE(layer->mPixels, nullptr);
  // Opaque black at the first two pixels of the top row; grey (of any
  // alpha) elsewhere.
  for (int i = 0; i < 8; ++i) {
    uint8_t* pixel = layer->mPixels + i * 4;
    bool black = i < 2;
    pixel[0] = pixel[1] = pixel[2] = black ? 0 : 0x40;
    pixel[3] = black ? 0xFF : 0x10;
  }
  game.RunUntilQuit();
  EXPECT_EQ(LastReportTag(), "");
  // The main window is shaped, whichever window the command names.
  EXPECT_EQ(x11.ShapeRectangles(XWindow(0)), (std::vector<std::vector<int>>{{2, 0, 2, 1}, {0, 1, 4, 1}}));
  EXPECT_EQ(x11.ShapeRectangles(XWindow(1)), (std::vector<std::vector<int>>{{0, 0, 128, 128}}));
}

// The script edit control: typed text arrives through the system's text
// input events and the editing keys.
class EditBoxTest : public WindowCommandTest {
 protected:
  void Type(const std::string& utf8) {
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    event.text.windowID = SDL_GetWindowID(GetSdlWindow(main->mWindow));
    SDL_strlcpy(event.text.text, utf8.c_str(), sizeof event.text.text);
    TranslatePlatformWindowEvent(event);
  }
  void Press(SDL_Keycode key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.windowID = SDL_GetWindowID(GetSdlWindow(main->mWindow));
    event.key.keysym.sym = key;
    TranslatePlatformWindowEvent(event);
  }
  void Os(ScriptAssembler& code, int64_t sub, const std::string& s1, std::vector<int64_t> numbers, const Expr& out) {
    Assign(code, Elem(kTexts2, {Num(0)}), Str(s1));
    std::vector<Arg> args{{"sub", Num(sub)}, {"out", out}, {"s1", Elem(kTexts2, {Num(0)})}};
    static const char* const kNames[] = {"n", "p", "q", "r"};
    for (size_t i = 0; i < numbers.size(); ++i) {
      Assign(code, Elem(kNumbers2, {Num(static_cast<int64_t>(i))}), Num(numbers[i]));
      args.push_back({kNames[i], Elem(kNumbers2, {Num(static_cast<int64_t>(i))})});
    }
    code.Op("os", args);
  }
};

TEST_F(EditBoxTest, TypedTextAndEditingKeysReachTheControl) {
  Run([&](ScriptAssembler& code) {
    Os(code, 10102, "ab", {10, 20, 120, 22}, Var(kRunInt));
    Os(code, 20005, "", {}, Var(kRunInt));
  });
  ASSERT_TRUE(HasEditBox());
  Type("c");
  Type("\xE6\x97\xA5\xE6\x9C\xAC");  // 日本 composed by an input method, in UTF-8
  Press(SDLK_BACKSPACE);
  Press(SDLK_HOME);
  Press(SDLK_DELETE);
  Type("X");
  EXPECT_EQ(GetEditBoxText(), "Xbc\x93\xFA");  // the text is Shift-JIS
  FocusEditBox(false);
  Type("z");
  EXPECT_EQ(GetEditBoxText(), "Xbc\x93\xFA");
}

TEST_F(EditBoxTest, ScriptSetsReadsAndClosesTheControl) {
  Run([&](ScriptAssembler& code) {
    Os(code, 10102, "first", {0, 0, 100, 20}, Var(kRunInt));
    Os(code, 10102, "second", {0, 30, 100, 20}, Var(kRunInt));
    Os(code, 10105, "", {}, Elem(kTexts, {Num(0)}));
    Os(code, 10104, std::string(300, 'k'), {}, Var(kRunInt));
    Os(code, 10105, "", {}, Elem(kTexts, {Num(1)}));
    Os(code, 10103, "", {}, Var(kRunInt));
    Assign(code, Elem(kTexts, {Num(2)}), Str("old"));
    Os(code, 10105, "", {}, Elem(kTexts, {Num(2)}));
    Os(code, 10103, "", {}, Var(kRunInt));
  });
  EXPECT_EQ(TextVar(kTexts, 0), "second");
  EXPECT_EQ(TextVar(kTexts, 1), std::string(kEditBoxTextBytes, 'k'));
  EXPECT_EQ(TextVar(kTexts, 2), "");
  EXPECT_FALSE(HasEditBox());
  EXPECT_EQ(CountPlatformEditFields(), 0u);  // the first control was not left behind
}

TEST_F(EditBoxTest, TheControlIsDrawnOverThePicture) {
  Run([&](ScriptAssembler& code) { Os(code, 10102, "", {10, 10, 50, 20}, Var(kRunInt)); });
  std::vector<unsigned char> black(320 * 240 * 4, 0);
  PlatformBlit blit;
  blit.mPixels = black.data();
  blit.mImageWidth = 320;
  blit.mImageHeight = 240;
  blit.mSrcWidth = blit.mDstWidth = 320;
  blit.mSrcHeight = blit.mDstHeight = 240;
  ASSERT_TRUE(BlitToPlatformWindow(main->mWindow, blit));
  unsigned char pixel[4] = {};
  ASSERT_TRUE(ReadPlatformWindowPixels(main->mWindow, 30, 20, 1, 1, pixel));
  EXPECT_EQ(pixel[0], 255);  // the white inside
  ASSERT_TRUE(ReadPlatformWindowPixels(main->mWindow, 10, 10, 1, 1, pixel));
  EXPECT_EQ(pixel[0], 128);  // the border
  ASSERT_TRUE(ReadPlatformWindowPixels(main->mWindow, 100, 100, 1, 1, pixel));
  EXPECT_EQ(pixel[0], 0);
}

}  // namespace

namespace {

TEST_F(WindowCommandTest, ShownLayerSetMenuDragLayerAndStyleSwitches) {
  Run([](ScriptAssembler& code) {
    code.Op("layer", {{"path", Str("set/")}, {"width", Num(8)}, {"height", Num(6)}});
    code.Op("layer", {{"path", Str("handle")}, {"num", Num(1)}, {"file", Str("")}, {"width", Num(2)}, {"height", Num(2)}});
    code.Op("menu", {{"path", Str("bar/")}, {"text", Str("bar")}, {"order", Num(1)}, {"command", Num(0)}});
    code.Op("menu", {{"path", Str("bar/file/")}, {"text", Str("&File")}, {"order", Num(1)}, {"command", Num(0)}});
    code.Op("menu", {{"path", Str("bar/file/quit")}, {"text", Str("&Quit")}, {"order", Num(1)}, {"command", Num(9)}});
    code.Op("window", {{"window", Num(0)},
                       {"layers", Str("set/")},
                       {"menu", Str("bar/")},
                       {"drag", Str("handle.1")},
                       {"maximise_box", Num(0)},
                       {"thick_frame", Num(1)},
                       {"maximise", Num(1)}});
  });
  EXPECT_EQ(LastReportTag(), "");
  ASSERT_NE(main->mShownLayerSet, nullptr);
  const auto* set = static_cast<const LayerRecord*>(main->mShownLayerSet->mPayload);
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set->mDisplayRoot, 1);
  EXPECT_EQ(set->mDirtyWhole, 1);
  EXPECT_EQ(set->mDirtyRect[2], 7);
  EXPECT_EQ(set->mDirtyRect[3], 5);
  EXPECT_NE(std::string(main->mMenuPath).find("bar"), std::string::npos);
  EXPECT_EQ(g_DragLayerOn, 1);
  ASSERT_NE(g_DragLayerRecord, nullptr);
  EXPECT_EQ(g_DragLayerRecord->mWidth, 2);
  EXPECT_EQ(GetWindowStyle(main->mWindow) & kWindowStyleMaximizeBox, 0u);
  EXPECT_NE(GetWindowStyle(main->mWindow) & kWindowStyleThickFrame, 0u);
  EXPECT_EQ(g_ThickFrame, 1);
  // The maximise toggle is a posted system command.
  bool posted = false;
  WindowMessage message;
  while (PeekWindowMessage() && GetWindowMessage(&message)) {
    if (message.mMessage == kMsgSysCommand && message.mWParam == kSysCommandMaximize) posted = true;
  }
  EXPECT_TRUE(posted);
}

TEST_F(WindowCommandTest, AnotherShownSetStopsTheFirstBeingADisplayRoot) {
  Run([](ScriptAssembler& code) {
    code.Op("layer", {{"path", Str("one/")}, {"width", Num(4)}, {"height", Num(4)}});
    code.Op("layer", {{"path", Str("two/")}, {"width", Num(4)}, {"height", Num(4)}});
    code.Op("window", {{"window", Num(0)}, {"layers", Str("one/")}});
    code.Op("window", {{"window", Num(0)}, {"layers", Str("two/")}});
  });
  char path[kObjectPathBytes];
  ASSERT_GE(NormalizeObjectPath(path, "one/", g_LayerPathBase, 0), 0);
  const auto* one = static_cast<const LayerRecord*>(FindObjectByPath(g_LayerRoot, path, kPathGroup)->mPayload);
  EXPECT_EQ(one->mDisplayRoot, 0);
  EXPECT_EQ(static_cast<const LayerRecord*>(main->mShownLayerSet->mPayload)->mDisplayRoot, 1);
}

TEST_F(WindowCommandTest, TheOsCommandHidesAndShowsTheMainWindow) {
  Run([](ScriptAssembler& code) {
    code.Op("os", {{"sub", Num(100)}});
    code.Op("assign", {{"target", Var(kRunInt)}, {"value", Num(1)}});
  });
  EXPECT_FALSE(IsPlatformWindowShown(main->mWindow));
  ScriptRunner again;
  WindowObject* shown = LoadWithWindow(again, [](ScriptAssembler& code) { code.Op("os", {{"sub", Num(110)}}); });
  ASSERT_NE(shown, nullptr);
  again.RunUntilQuit();
  EXPECT_TRUE(IsPlatformWindowShown(shown->mWindow));
}

TEST_F(WindowCommandTest, ValidateOnlyCommandGoesOn) {
  Run([](ScriptAssembler& code) {
    code.Op("validate99");
    Assign(code, Var(kRunInt), Num(5));
  });
  EXPECT_EQ(IntVar(kRunInt), 5);
}

}  // namespace

namespace {

TEST_F(WindowCommandTest, AZeroSizedLayerSetIsRefusedAndStopsTheProgram) {
  main = LoadWithWindow(game, [](ScriptAssembler& code) {
    code.Op("layer", {{"path", Str("flat/")}, {"width", Num(4)}, {"height", Num(4)}});
    code.Op("wait", {{"frames", Num(1)}});
    code.Op("window", {{"window", Num(0)}, {"layers", Str("flat/")}});
    Assign(code, Var(kRunInt), Num(1));
  });
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(game.Frame());
  char path[kObjectPathBytes];
  ASSERT_GE(NormalizeObjectPath(path, "flat/", g_LayerPathBase, 0), 0);
  ObjectTreeNode* group = FindObjectByPath(g_LayerRoot, path, kPathGroup);
  ASSERT_NE(group, nullptr);
  static_cast<LayerRecord*>(group->mPayload)->mWidth = 0;
  game.RunUntilQuit(5);
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_EQ(IntVar(kRunInt), 0);
  EXPECT_EQ(main->mShownLayerSet, nullptr);
  ASSERT_FALSE(game.mEnv.mDialogs.mBoxes.empty());
  EXPECT_EQ(game.mEnv.mDialogs.mBoxes.back().mText, "サイズが 0x0 のレイヤセットを表示対象に指定することは出来ません。");
}

}  // namespace

namespace {

TEST_F(WindowCommandTest, AspectSizesKeepTheRatioOfTheLogicalSize) {
  Run([](ScriptAssembler& code) { code.Op("window", {{"window", Num(0)}, {"aspect_width", Num(160)}}); });
  int width = 0;
  int height = 0;
  ASSERT_TRUE(GetPlatformWindowClientSize(main->mWindow, &width, &height));
  EXPECT_EQ(width, 160);
  EXPECT_EQ(height, 120);
  EXPECT_EQ(main->mWidth, 320);  // the logical size stays
  ScriptRunner tall;
  WindowObject* window = LoadWithWindow(tall, [](ScriptAssembler& code) {
    code.Op("window", {{"window", Num(0)}, {"aspect_height", Num(480)}});
  });
  ASSERT_NE(window, nullptr);
  tall.RunUntilQuit();
  ASSERT_TRUE(GetPlatformWindowClientSize(window->mWindow, &width, &height));
  EXPECT_EQ(height, 480);
  EXPECT_EQ(width, 640);
}

}  // namespace
