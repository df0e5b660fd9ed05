// The menus as the user sees them: the band of the menu bar, the strip in
// full screen, drop-downs and popups, and navigation by keys and clicks.
#include "shell/menu_presenter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/display_state.h"
#include "core/input_state.h"
#include "core/object_tree.h"
#include "core/settings.h"
#include "core/window_table.h"
#include "oscmd/menu_record.h"
#include "oscmd/menu_sets.h"
#include "platform/font_faces.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "shell/engine_reset.h"
#include "shell/frame.h"
#include "shell/display.h"
#include "shell/menus.h"
#include "shell/window_objects.h"
#include "support/test_window.h"

namespace {

constexpr uint64_t kDown = 0x28;
constexpr uint64_t kUp = 0x26;
constexpr uint64_t kRight = 0x27;
constexpr uint64_t kLeft = 0x25;
constexpr uint64_t kEnter = 0x0D;
constexpr uint64_t kEscape = 0x1B;

uint32_t PixelAt(PlatformWindow* window, int x, int y) {
  unsigned char pixel[4] = {};
  EXPECT_TRUE(ReadPlatformWindowPixels(window, x, y, 1, 1, pixel));
  return static_cast<uint32_t>(pixel[0]) | (static_cast<uint32_t>(pixel[1]) << 8) |
         (static_cast<uint32_t>(pixel[2]) << 16);
}

class MenuPresenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mMain = CreateTestMainWindow("MenuPresenterTest");
    ASSERT_NE(mMain, nullptr);
    ASSERT_EQ(CreateObjectTrees(), 0);
    CreateMenuStripWindow();
    // File: Open (11), a separator, Save (12, disabled), Recent > Last (14), &Quit (15).
    // View: Grid (21, checked).
    Add("file", true, "&File", 0, 1);
    Add("file/open", false, "Open", 11, 1);
    Add("file/line", false, "", 0, 2);
    Add("file/save", false, "Save", 12, 3)->mEnabled = 0;
    Add("file/recent", true, "Recent", 0, 4);
    Add("file/recent/last", false, "Last", 14, 1);
    Add("file/quit", false, "&Quit", 15, 5);
    Add("view", true, "&View", 0, 2);
    Add("view/grid", false, "Grid", 21, 1)->mChecked = 1;
  }
  void TearDown() override {
    g_FullScreen = 0;
    ResetEngineState();
  }

  MenuItemRecord* Add(const std::string& path, bool group, const char* text, int64_t id, int64_t key) {
    ObjectTreeNode* node = CreateTreeNode(g_MenuRoot, ("M0/" + path).c_str(), key, group ? 1 : 0);
    EXPECT_NE(node, nullptr);
    MenuItemRecord* record = CreateMenuItemRecord(node, text);
    record->mCommandId = id;
    return record;
  }
  void AttachBar() { ASSERT_EQ(SetMenuBarFromTree("M0", mMain->mWindow), 0); }
  MenuHandle* FileMenu() { return g_AttachedMenuBar->mItems[0].mSubMenu; }
  bool Key(uint64_t key) { return MenuPresenterTakesMessage(mMain->mWindow, kMsgKeyDown, key, 0); }
  // Dispatches the messages that wait, as the message loop does.
  void PumpMessages() {
    WindowMessage message{};
    while (PeekWindowMessage() && GetWindowMessage(&message)) DispatchWindowMessage(message);
  }

  WindowObject* mMain = nullptr;
};

TEST_F(MenuPresenterTest, TheBandIsDrawnAboveTheClientAreaWhichKeepsItsSize) {
  AttachBar();
  PlatformWindow* window = mMain->mWindow;
  EXPECT_EQ(GetPlatformWindowTopInset(window), kMenuBandHeight);
  int width = 0;
  int height = 0;
  ASSERT_TRUE(GetPlatformWindowClientSize(window, &width, &height));
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 240);
  // The band's rows have negative y: background, and the line along its foot.
  EXPECT_EQ(PixelAt(window, width - 2, -kMenuBandHeight + 2), kMenuBackColour);
  EXPECT_EQ(PixelAt(window, width - 2, -1), kMenuFrameColour);
  // The titles' text in black, where a font is installed.
  int left = 0;
  int right = 0;
  ASSERT_TRUE(MenuBandTitleSpan(g_AttachedMenuBar, 0, &left, &right));
  EXPECT_GT(right, left);
  if (!MatchJapaneseSansFamily().empty()) {
    std::vector<unsigned char> band(static_cast<size_t>(right - left) * kMenuBandHeight * 4);
    ASSERT_TRUE(ReadPlatformWindowPixels(window, left, -kMenuBandHeight, right - left, kMenuBandHeight, band.data()));
    int ink = 0;
    for (size_t i = 0; i < band.size(); i += 4) ink += (band[i] | band[i + 1] | band[i + 2]) == 0 ? 1 : 0;
    EXPECT_GT(ink, 10) << "the title's text is drawn";
  }
  EXPECT_EQ(MenuBandTitleAt(g_AttachedMenuBar, left + 1), 0);
  EXPECT_EQ(MenuBandTitleAt(g_AttachedMenuBar, right + 1), 1);

  // An open title is drawn highlighted.
  ASSERT_TRUE(OpenMenuBarTitle(0));
  EXPECT_EQ(PixelAt(window, left + 1, -kMenuBandHeight + 4), kMenuHighlightColour);
  MenuPresenterTakesMessage(window, kMsgKeyDown, kEscape, 0);
  EXPECT_FALSE(IsMenuSessionOpen());
  EXPECT_EQ(PixelAt(window, left + 1, -kMenuBandHeight + 4), kMenuBackColour);

  // Removing the menu bar gives the rows back.
  ASSERT_EQ(SetMenuBarFromTree("", window), 0);
  EXPECT_EQ(GetPlatformWindowTopInset(window), 0);
}

TEST_F(MenuPresenterTest, APanelIsDrawnWithItsFrameSelectionSeparatorAndGreyItems) {
  AttachBar();
  MenuHandle* file = FileMenu();
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels = RenderMenuPanel(file, 0, &width, &height);
  ASSERT_EQ(pixels.size(), static_cast<size_t>(width) * height * 4);
  auto at = [&](int x, int y) {
    const uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
  };
  EXPECT_EQ(at(0, 0), kMenuFrameColour);
  EXPECT_EQ(at(width - 1, height - 1), kMenuFrameColour);
  int top = 0;
  int bottom = 0;
  ASSERT_TRUE(MenuPanelItemSpan(file, 0, &top, &bottom));
  EXPECT_EQ(bottom - top, kMenuItemHeight);
  EXPECT_EQ(at(3, top + 1), kMenuHighlightColour) << "the selected item";
  ASSERT_TRUE(MenuPanelItemSpan(file, 1, &top, &bottom));
  EXPECT_EQ(bottom - top, kMenuSeparatorHeight);
  EXPECT_EQ(at(width / 2, (top + bottom) / 2), kMenuGreyColour) << "the separator line";
  EXPECT_EQ(at(3, top + 1), kMenuBackColour);
  EXPECT_EQ(MenuPanelItemAt(file, top + 1), 1);

  // The same panel in a menu window of its own.
  ASSERT_TRUE(OpenMenuPopup(file, 40, 50));
  PlatformWindow* panel = GetMenuPanelWindow(0);
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(PixelAt(panel, 0, 0), kMenuFrameColour);
  EXPECT_EQ(PixelAt(panel, 3, 3), kMenuBackColour) << "nothing selected yet";
  Key(kDown);
  EXPECT_EQ(GetMenuPanelSelection(0), 0);
  EXPECT_EQ(PixelAt(panel, 3, 3), kMenuHighlightColour);
  Key(kEscape);
  EXPECT_FALSE(IsMenuSessionOpen());
  EXPECT_EQ(TakeMenuChoice(), 0u);
}

TEST_F(MenuPresenterTest, ArrowsSkipSeparatorsAndEnterOpensSubMenusAndChooses) {
  AttachBar();
  int windows = CountPlatformWindows();
  ASSERT_TRUE(OpenMenuPopup(FileMenu(), 0, 0));
  EXPECT_EQ(CountPlatformWindows(), windows + 1);
  Key(kDown);
  Key(kDown);
  EXPECT_EQ(GetMenuPanelSelection(0), 2) << "the separator is stepped over";
  Key(kEnter);
  EXPECT_TRUE(IsMenuSessionOpen()) << "a disabled item is not chosen";
  Key(kDown);
  Key(kRight);
  ASSERT_EQ(CountMenuPanels(), 2);
  EXPECT_EQ(GetMenuPanelSelection(1), 0);
  Key(kLeft);
  EXPECT_EQ(CountMenuPanels(), 1);
  Key(kEnter);
  ASSERT_EQ(CountMenuPanels(), 2);
  Key(kEnter);
  EXPECT_FALSE(IsMenuSessionOpen());
  EXPECT_EQ(TakeMenuChoice(), 14u);
  EXPECT_EQ(CountPlatformWindows(), windows) << "the menu windows are gone";

  // Up from the top wraps to the last item; a mnemonic chooses at once.
  ASSERT_TRUE(OpenMenuPopup(FileMenu(), 0, 0));
  Key(kUp);
  EXPECT_EQ(GetMenuPanelSelection(0), 4);
  Key('Q');
  EXPECT_FALSE(IsMenuSessionOpen());
  EXPECT_EQ(TakeMenuChoice(), 15u);
}

TEST_F(MenuPresenterTest, ClicksChooseAnItemAndAClickElsewhereCancels) {
  AttachBar();
  MenuHandle* file = FileMenu();
  ASSERT_TRUE(OpenMenuPopup(file, 0, 0));
  PlatformWindow* panel = GetMenuPanelWindow(0);
  int top = 0;
  int bottom = 0;
  ASSERT_TRUE(MenuPanelItemSpan(file, 4, &top, &bottom));
  MenuPresenterTakesMessage(panel, kMsgMouseMove, 0, MakePointParam(10, top + 2));
  EXPECT_EQ(GetMenuPanelSelection(0), 4);
  MenuPresenterTakesMessage(panel, kMsgLeftButtonDown, 0, MakePointParam(10, top + 2));
  MenuPresenterTakesMessage(panel, kMsgLeftButtonUp, 0, MakePointParam(10, top + 2));
  EXPECT_FALSE(IsMenuSessionOpen());
  EXPECT_EQ(TakeMenuChoice(), 15u);

  ASSERT_TRUE(OpenMenuPopup(file, 0, 0));
  EXPECT_TRUE(MenuPresenterTakesMessage(mMain->mWindow, kMsgLeftButtonDown, 0, MakePointParam(200, 200)))
      << "the click that closes the menu does not reach the game";
  EXPECT_FALSE(IsMenuSessionOpen());
  EXPECT_EQ(TakeMenuChoice(), 0u);
}

TEST_F(MenuPresenterTest, TheMenuBarRoutesTheChosenIdToTheScriptsCommand) {
  AttachBar();
  g_LastMenuCommand = 0;
  int left = 0;
  int right = 0;
  ASSERT_TRUE(MenuBandTitleSpan(g_AttachedMenuBar, 1, &left, &right));
  // A click on the second title, in the band above the client area.
  PostWindowMessage(mMain->mWindow, kMsgLeftButtonDown, 0, MakePointParam(left + 2, -5));
  PumpMessages();
  ASSERT_TRUE(IsMenuSessionOpen());
  EXPECT_EQ(CountMenuPanels(), 1);
  PostWindowMessage(mMain->mWindow, kMsgKeyDown, kEnter, 0);
  PumpMessages();
  EXPECT_FALSE(IsMenuSessionOpen());
  EXPECT_EQ(g_LastMenuCommand, 21);

  // F10 opens the first title; Right moves to the next; Escape closes.
  g_LastMenuCommand = 0;
  PostWindowMessage(mMain->mWindow, kMsgSysKeyDown, 0x79, 0);
  PumpMessages();
  ASSERT_TRUE(IsMenuSessionOpen());
  EXPECT_EQ(GetMenuPanelSelection(0), 0);
  PostWindowMessage(mMain->mWindow, kMsgKeyDown, kRight, 0);
  PostWindowMessage(mMain->mWindow, kMsgKeyDown, kEscape, 0);
  PumpMessages();
  EXPECT_FALSE(IsMenuSessionOpen());
  EXPECT_EQ(g_LastMenuCommand, 0);
  // Alt with a title's letter opens that title.
  PostWindowMessage(mMain->mWindow, kMsgSysKeyDown, 'V', 0);
  PostWindowMessage(mMain->mWindow, kMsgKeyDown, kEnter, 0);
  PumpMessages();
  EXPECT_EQ(g_LastMenuCommand, 21);
}

TEST_F(MenuPresenterTest, APendingPopupWaitsForTheUsersChoice) {
  AttachBar();
  ObjectTreeNode* file = nullptr;
  for (ObjectTreeNode* node = g_MenuRoot->mFirstChild->mFirstChild; node != nullptr; node = node->mNextSibling) {
    if (std::string(node->mName) == "file") file = node;
  }
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(BuildPopupSet(kScriptPopupSet, file), 0);
  PostWindowMessage(mMain->mWindow, kMsgKeyDown, kDown, 0);
  PostWindowMessage(mMain->mWindow, kMsgKeyDown, kEnter, 0);
  EXPECT_EQ(TrackPendingPopup(kScriptPopupSet), 11);
  PostWindowMessage(mMain->mWindow, kMsgKeyDown, kEscape, 0);
  EXPECT_EQ(TrackPendingPopup(kScriptPopupSet), 0);
  EXPECT_EQ(TrackPendingPopup(kTrayPopupSet), 0) << "an empty set shows nothing";
}

TEST_F(MenuPresenterTest, InFullScreenTheStripShowsOnlyWhileTheCursorIsInTheTopBand) {
  AttachBar();
  g_FullScreen = 1;
  PlatformWindow* window = mMain->mWindow;
  mMain->mCursorY = 100;
  UpdateMenuStrip();
  EXPECT_EQ(GetPlatformWindowTopInset(window), 0) << "no rows of its own in full screen";
  EXPECT_FALSE(IsMenuStripShown());
  FillPlatformWindow(window, 0x000000);
  mMain->mCursorY = 3;
  UpdateMenuStrip();
  EXPECT_TRUE(IsMenuStripShown());
  EXPECT_EQ(PixelAt(window, 318, 2), kMenuBackColour) << "the strip lies over the picture";
  // A click on the strip opens a title.
  EXPECT_TRUE(MenuPresenterTakesMessage(window, kMsgLeftButtonDown, 0, MakePointParam(2, 5)));
  EXPECT_TRUE(IsMenuSessionOpen());
  MenuPresenterTakesMessage(window, kMsgKeyDown, kEscape, 0);
  mMain->mCursorY = 100;
  UpdateMenuStrip();
  EXPECT_FALSE(IsMenuStripShown());
  // Back in a window the band returns.
  g_FullScreen = 0;
  UpdateMenuStrip();
  EXPECT_EQ(GetPlatformWindowTopInset(window), kMenuBandHeight);
}

}  // namespace

// The window menu: the size reset above a separator, then minimise and close.
class WindowMenuTest : public MenuPresenterTest {
 protected:
  void SetUp() override {
    MenuPresenterTest::SetUp();
    // A framed main window has a system menu; the pop-up style has none.
    SetWindowStyle(mMain->mWindow, kWindowStyleCaption | kWindowStyleSysMenu | kWindowStyleMinimizeBox);
  }
  void SysKey(uint64_t key) {
    PostWindowMessage(mMain->mWindow, kMsgSysKeyDown, key, 0);
    PumpMessages();
  }
  // The items of the open window menu: id, or 0 for a separator.
  std::vector<uint32_t> OpenItems() {
    std::vector<uint32_t> ids;
    const MenuHandle* menu = GetMenuPanelMenu(0);
    if (menu == nullptr) return ids;
    for (const MenuItem& item : menu->mItems) ids.push_back(item.mSeparator ? 0 : item.mId);
    return ids;
  }
  const std::vector<uint32_t> kWindowMenuIds{30001, 0, kSysCommandMinimize, kSysCommandClose};
};

TEST_F(WindowMenuTest, AltSpaceOpensItAndTheSizeResetTakesTheSystemCommandsPath) {
  g_GpuDrawing = 1;
  g_DeviceResetPending = 0;
  g_LastMenuCommand = 0;
  SysKey(0x20);
  ASSERT_TRUE(IsMenuSessionOpen());
  EXPECT_EQ(OpenItems(), kWindowMenuIds);
  EXPECT_EQ(GetMenuPanelMenu(0)->mItems[0].mText, "ウィンドウサイズ初期化");
  EXPECT_EQ(GetMenuPanelSelection(0), 0);
  PostWindowMessage(mMain->mWindow, kMsgKeyDown, kEnter, 0);
  PumpMessages();
  EXPECT_FALSE(IsMenuSessionOpen());
  EXPECT_EQ(g_LastMenuCommand, 30001);
  EXPECT_EQ(g_DeviceResetPending, 1) << "GPU drawing resets its device";
  g_GpuDrawing = 0;
}

TEST_F(WindowMenuTest, CloseGoesThroughTheCloseStates) {
  mMain->mCloseState = 0;
  g_CloseRequest = 0;
  SysKey(0x20);
  PostWindowMessage(mMain->mWindow, kMsgKeyDown, 'C', 0);
  PumpMessages();
  EXPECT_FALSE(IsMenuSessionOpen());
  EXPECT_EQ(g_CloseRequest, 1) << "close state 0 tells the script";
  EXPECT_NE(GetMainPlatformWindow(), nullptr);
}

TEST_F(WindowMenuTest, AltAndF10AloneNeverOpenIt) {
  for (uint64_t key : {uint64_t{0x12}, uint64_t{0x79}}) {
    SysKey(key);
    EXPECT_FALSE(IsMenuSessionOpen()) << key;
  }
  // With a menu bar they open the bar's first drop-down, not the window menu.
  AttachBar();
  SysKey(0x12);
  ASSERT_TRUE(IsMenuSessionOpen());
  EXPECT_EQ(GetMenuPanelMenu(0), FileMenu());
  // Space with Alt still held asks for the window menu.
  SysKey(0x20);
  ASSERT_TRUE(IsMenuSessionOpen());
  EXPECT_EQ(OpenItems(), kWindowMenuIds);
  PostWindowMessage(mMain->mWindow, kMsgKeyDown, kEscape, 0);
  PumpMessages();
  EXPECT_FALSE(IsMenuSessionOpen());
}

TEST_F(WindowMenuTest, ARightClickBesideTheTitlesOpensItAndOnATitleDoesNot) {
  AttachBar();
  int left = 0;
  int right = 0;
  ASSERT_TRUE(MenuBandTitleSpan(g_AttachedMenuBar, 0, &left, &right));
  PostWindowMessage(mMain->mWindow, kMsgRightButtonDown, 0, MakePointParam(left + 2, -5));
  PumpMessages();
  EXPECT_FALSE(IsMenuSessionOpen());
  PostWindowMessage(mMain->mWindow, kMsgRightButtonDown, 0, MakePointParam(300, -5));
  PumpMessages();
  ASSERT_TRUE(IsMenuSessionOpen());
  EXPECT_EQ(OpenItems(), kWindowMenuIds);
  EXPECT_EQ(GetMenuPanelSelection(0), -1) << "opened by the mouse, nothing is selected";
  // A right click in the picture is the script's.
  PostWindowMessage(mMain->mWindow, kMsgKeyDown, kEscape, 0);
  PostWindowMessage(mMain->mWindow, kMsgRightButtonDown, 0, MakePointParam(300, 50));
  PumpMessages();
  EXPECT_FALSE(IsMenuSessionOpen());
  EXPECT_EQ(g_LastMouseButton, 2u);
}

TEST_F(MenuPresenterTest, APopUpStyleMainWindowHasNoWindowMenu) {
  SetWindowStyle(mMain->mWindow, kWindowStylePopup | kWindowStyleClipChildren);
  AttachBar();
  PostWindowMessage(mMain->mWindow, kMsgSysKeyDown, 0x20, 0);
  PostWindowMessage(mMain->mWindow, kMsgRightButtonDown, 0, MakePointParam(300, -5));
  PumpMessages();
  EXPECT_FALSE(IsMenuSessionOpen());
}
