#include "shell/menu_presenter.h"

#include <algorithm>
#include <map>
#include <string>

#include "core/process_state.h"
#include "core/window_table.h"
#include "oscmd/menu_sets.h"
#include "platform/clock.h"
#include "platform/font_faces.h"
#include "platform/input_devices.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/window.h"
#include "shell/display.h"
#include "shell/menus.h"
#include "shell/window_objects.h"

namespace {

// Virtual-key codes the menus answer to.
enum : uint64_t {
  kKeyReturn = 0x0D, kKeyEscape = 0x1B, kKeyLeft = 0x25, kKeyUp = 0x26, kKeyRight = 0x27, kKeyDown = 0x28,
  kKeyAlt = 0x12, kKeyF10 = 0x79, kKeySpace = 0x20,
};
constexpr int kCellHeight = 14;
constexpr int kTitlePadding = 8;
constexpr int kItemLeft = 22;   // room for the tick
constexpr int kItemRight = 22;  // room for the sub-menu arrow
constexpr int kPanelMinWidth = 80;
constexpr int kFallbackAdvance = 7;

// --- Text -----------------------------------------------------------------

struct Glyph {
  std::vector<uint8_t> mInk;  // kCellHeight x kCellHeight, 1 = ink
  int mAdvance = kFallbackAdvance;
};

struct MenuFont {
  PlatformFontFace* mFace = nullptr;
  bool mTried = false;
  std::map<uint32_t, Glyph> mGlyphs;
};
MenuFont g_Font;

const Glyph& GlyphOf(uint32_t codepoint) {
  auto found = g_Font.mGlyphs.find(codepoint);
  if (found != g_Font.mGlyphs.end()) return found->second;
  if (!g_Font.mTried) {
    g_Font.mTried = true;
    std::string family = MatchJapaneseSansFamily();
    if (!family.empty()) g_Font.mFace = OpenFontFace(family, kCellHeight, false);
  }
  Glyph glyph;
  glyph.mInk.assign(kCellHeight * kCellHeight, 0);
  if (g_Font.mFace != nullptr && codepoint != ' ') {
    constexpr int kSide = 16;  // a whole number of bytes a row
    std::vector<uint8_t> bits(kSide * kSide / 8, 0xFF);
    DrawGlyphMono(g_Font.mFace, codepoint, bits.data(), kSide);
    int right = -1;
    for (int y = 0; y < kCellHeight; ++y) {
      for (int x = 0; x < kCellHeight; ++x) {
        bool ink = (bits[static_cast<size_t>(y) * (kSide / 8) + x / 8] & (0x80 >> (x % 8))) == 0;
        glyph.mInk[static_cast<size_t>(y) * kCellHeight + x] = ink ? 1 : 0;
        if (ink) right = std::max(right, x);
      }
    }
    glyph.mAdvance = right < 0 ? kCellHeight / 3 : std::min(kCellHeight, right + 2);
  } else if (codepoint == ' ') {
    glyph.mAdvance = kCellHeight / 3;
  }
  return g_Font.mGlyphs.emplace(codepoint, std::move(glyph)).first->second;
}

// The characters of a menu text with "&" marks taken out: the code points
// and the index of the mnemonic character (-1 none).
struct ShownText {
  std::vector<uint32_t> mChars;
  int mMnemonic = -1;
};

uint32_t NextCodepoint(const std::string& utf8, size_t* at) {
  auto byte = static_cast<uint8_t>(utf8[*at]);
  int extra = byte < 0x80 ? 0 : byte < 0xE0 ? 1 : byte < 0xF0 ? 2 : 3;
  uint32_t value = extra == 0 ? byte : byte & (0x3F >> extra);
  *at += 1;
  for (int i = 0; i < extra && *at < utf8.size(); ++i, ++*at) value = (value << 6) | (utf8[*at] & 0x3F);
  return value;
}

ShownText ShowText(const std::string& text) {
  ShownText shown;
  std::string utf8 = ConvertCp932ToUtf8(text);
  bool marked = false;
  for (size_t at = 0; at < utf8.size();) {
    uint32_t c = NextCodepoint(utf8, &at);
    if (c == '&' && !marked) {
      marked = true;
      continue;
    }
    if (marked && c != '&' && shown.mMnemonic < 0) shown.mMnemonic = static_cast<int>(shown.mChars.size());
    marked = false;
    shown.mChars.push_back(c);
  }
  return shown;
}

// The upper-case ASCII letter or digit a text is chosen by, 0 for none.
uint64_t MnemonicKey(const std::string& text) {
  ShownText shown = ShowText(text);
  if (shown.mMnemonic < 0) return 0;
  uint32_t c = shown.mChars[static_cast<size_t>(shown.mMnemonic)];
  if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ? c : 0;
}

int TextWidth(const std::string& text) {
  int width = 0;
  for (uint32_t c : ShowText(text).mChars) width += GlyphOf(c).mAdvance;
  return width;
}

// --- Pixels ---------------------------------------------------------------

struct Canvas {
  std::vector<uint8_t> mPixels;
  int mWidth = 0;
  int mHeight = 0;

  Canvas(int width, int height) : mPixels(static_cast<size_t>(width) * height * 4), mWidth(width), mHeight(height) {}
  void Fill(int left, int top, int right, int bottom, uint32_t colour) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, mWidth);
    bottom = std::min(bottom, mHeight);
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) Put(x, y, colour);
    }
  }
  void Put(int x, int y, uint32_t colour) {
    if (x < 0 || y < 0 || x >= mWidth || y >= mHeight) return;
    uint8_t* at = &mPixels[(static_cast<size_t>(y) * mWidth + x) * 4];
    at[0] = static_cast<uint8_t>(colour);
    at[1] = static_cast<uint8_t>(colour >> 8);
    at[2] = static_cast<uint8_t>(colour >> 16);
    at[3] = 0xFF;
  }
  void Text(const std::string& text, int x, int y, uint32_t colour) {
    ShownText shown = ShowText(text);
    for (size_t i = 0; i < shown.mChars.size(); ++i) {
      const Glyph& glyph = GlyphOf(shown.mChars[i]);
      for (int gy = 0; gy < kCellHeight; ++gy) {
        for (int gx = 0; gx < kCellHeight; ++gx) {
          if (glyph.mInk[static_cast<size_t>(gy) * kCellHeight + gx] != 0) Put(x + gx, y + gy, colour);
        }
      }
      if (static_cast<int>(i) == shown.mMnemonic) Fill(x, y + kCellHeight, x + glyph.mAdvance - 1, y + kCellHeight + 1, colour);
      x += glyph.mAdvance;
    }
  }
};

bool Selectable(const MenuItem& item) { return !item.mSeparator; }

int ItemHeight(const MenuItem& item) { return item.mSeparator ? kMenuSeparatorHeight : kMenuItemHeight; }

int PanelWidth(const MenuHandle* menu) {
  int width = kPanelMinWidth;
  for (const MenuItem& item : menu->mItems) width = std::max(width, kItemLeft + TextWidth(item.mText) + kItemRight);
  return width;
}

int PanelHeight(const MenuHandle* menu) {
  int height = 2;
  for (const MenuItem& item : menu->mItems) height += ItemHeight(item);
  return std::max(height, kMenuItemHeight / 2);
}

// --- Sessions ---------------------------------------------------------------

struct Panel {
  MenuHandle* mMenu = nullptr;
  PlatformWindow* mWindow = nullptr;
  int mSelected = -1;
  int mWidth = 0;
  int mHeight = 0;
};

struct Session {
  bool mOpen = false;
  bool mFromBar = false;
  // The window menu: its choice is a system command of the main window.
  bool mWindowMenu = false;
  int mTitle = -1;
  std::vector<Panel> mPanels;
  uint32_t mChoice = 0;
};
Session g_Session;
bool g_StripShown = false;

// The band as last drawn: the main window paints it after every present, and
// its pixels only change with the bar, the lit title or the width.
struct BandPicture {
  std::vector<uint8_t> mPixels;
  const MenuHandle* mBar = nullptr;
  int mHighlighted = -1;
  int mWidth = 0;
};
BandPicture g_Band;

PlatformWindow* MainWindow() { return GetMainPlatformWindow(); }

// The main window's menu of system commands, built when it opens.
MenuHandle g_WindowMenu;

void BuildWindowMenu() {
  uint32_t style = GetPlatformWindowStyle(MainWindow());
  g_WindowMenu.mItems.clear();
  MenuItem item;
  item.mId = static_cast<uint32_t>(kSizeResetCommand);
  item.mText = "ウィンドウサイズ初期化";
  g_WindowMenu.mItems.push_back(item);
  MenuItem separator;
  separator.mSeparator = true;
  separator.mEnabled = false;
  g_WindowMenu.mItems.push_back(separator);
  item.mId = kSysCommandMinimize;
  item.mText = "最小化(&N)";
  item.mEnabled = (style & kWindowStyleMinimizeBox) != 0;
  g_WindowMenu.mItems.push_back(item);
  item.mId = kSysCommandClose;
  item.mText = "閉じる(&C)";
  item.mEnabled = true;
  g_WindowMenu.mItems.push_back(item);
}

// A choice of the window menu goes the way the system's own window menu
// sends it: as a system command of the main window.
void CarryOutWindowMenuCommand(uint32_t command) {
  PlatformWindow* main = MainWindow();
  if (main == nullptr) return;
  if (command == kSysCommandMinimize) {
    // The window system minimises; its event comes back as the command.
    MinimizePlatformWindow(main);
    return;
  }
  PostWindowMessage(main, kMsgSysCommand, command, 0);
}

// Only a window with a system menu (a caption's menu) has a window menu.
bool HasWindowMenu() {
  PlatformWindow* main = MainWindow();
  return main != nullptr && (GetPlatformWindowStyle(main) & kWindowStyleSysMenu) != 0;
}

int BandWidth() {
  int width = 0;
  int height = 0;
  GetPlatformWindowClientSize(MainWindow(), &width, &height);
  return width;
}

void DrawPanel(Panel& panel) {
  if (panel.mWindow == nullptr) return;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels = RenderMenuPanel(panel.mMenu, panel.mSelected, &width, &height);
  PlatformBlit blit;
  blit.mPixels = pixels.data();
  blit.mImageWidth = width;
  blit.mImageHeight = height;
  blit.mSrcWidth = blit.mDstWidth = width;
  blit.mSrcHeight = blit.mDstHeight = height;
  BlitToPlatformWindow(panel.mWindow, blit);
}

void DrawBand() {
  PlatformWindow* window = MainWindow();
  if (g_AttachedMenuBar == nullptr || window == nullptr) return;
  bool rows = GetPlatformWindowTopInset(window) > 0;
  if (!rows && !g_StripShown) return;
  int width = BandWidth();
  if (width <= 0) return;
  int highlighted = g_Session.mOpen && g_Session.mFromBar ? g_Session.mTitle : -1;
  if (g_Band.mPixels.empty() || g_Band.mBar != g_AttachedMenuBar || g_Band.mHighlighted != highlighted ||
      g_Band.mWidth != width) {
    g_Band.mPixels = RenderMenuBand(g_AttachedMenuBar, highlighted, width);
    g_Band.mBar = g_AttachedMenuBar;
    g_Band.mHighlighted = highlighted;
    g_Band.mWidth = width;
  }
  DrawPlatformWindowBand(window, g_Band.mPixels.data(), width, kMenuBandHeight);
}

bool OpenPanel(MenuHandle* menu, int desktopX, int desktopY) {
  Panel panel;
  panel.mMenu = menu;
  panel.mWidth = PanelWidth(menu);
  panel.mHeight = PanelHeight(menu);
  PlatformWindowDesc desc;
  desc.mTitle = "menu";
  desc.mX = desktopX;
  desc.mY = desktopY;
  desc.mWidth = panel.mWidth;
  desc.mHeight = panel.mHeight;
  desc.mPopupMenu = true;
  desc.mVisible = true;
  panel.mWindow = CreatePlatformWindow(desc);
  if (panel.mWindow == nullptr) return false;
  g_Session.mPanels.push_back(panel);
  DrawPanel(g_Session.mPanels.back());
  return true;
}

void ClosePanelsFrom(size_t level) {
  while (g_Session.mPanels.size() > level) {
    DestroyPlatformWindow(g_Session.mPanels.back().mWindow);
    g_Session.mPanels.pop_back();
  }
}

void EndSession(uint32_t choice) {
  bool fromBar = g_Session.mFromBar;
  bool windowMenu = g_Session.mWindowMenu;
  ClosePanelsFrom(0);
  g_Session.mOpen = false;
  g_Session.mWindowMenu = false;
  g_Session.mTitle = -1;
  g_Session.mChoice = choice;
  if (windowMenu && choice != 0) CarryOutWindowMenuCommand(choice);
  if (fromBar) {
    DrawBand();
    if (choice != 0) PostWindowMessage(MainWindow(), kMsgCommand, choice, 0);
  }
}

// Where a title's drop-down opens on the desktop.
bool TitleDropPoint(int index, int* x, int* y) {
  int left = 0;
  int right = 0;
  int originX = 0;
  int originY = 0;
  if (!MenuBandTitleSpan(g_AttachedMenuBar, index, &left, &right)) return false;
  if (!GetClientOrigin(MainWindow(), &originX, &originY)) return false;
  // The client origin is below the band's rows; the strip lies over the picture.
  int bandTop = GetPlatformWindowTopInset(MainWindow()) > 0 ? originY - kMenuBandHeight : originY;
  *x = originX + left;
  *y = bandTop + kMenuBandHeight;
  return true;
}

int FirstSelectable(const MenuHandle* menu, int from, int step) {
  int count = static_cast<int>(menu->mItems.size());
  for (int i = 0; i < count; ++i) {
    int index = ((from + step * i) % count + count) % count;
    if (Selectable(menu->mItems[static_cast<size_t>(index)])) return index;
  }
  return -1;
}

void Select(Panel& panel, int index) {
  if (panel.mSelected == index) return;
  panel.mSelected = index;
  DrawPanel(panel);
}

// Opens the sub-menu of the selected item of the deepest panel.
bool OpenSelectedSubMenu() {
  Panel& panel = g_Session.mPanels.back();
  if (panel.mSelected < 0) return false;
  const MenuItem& item = panel.mMenu->mItems[static_cast<size_t>(panel.mSelected)];
  if (item.mSubMenu == nullptr || !item.mEnabled) return false;
  int top = 0;
  int bottom = 0;
  int x = 0;
  int y = 0;
  MenuPanelItemSpan(panel.mMenu, panel.mSelected, &top, &bottom);
  GetClientOrigin(panel.mWindow, &x, &y);
  MenuHandle* sub = item.mSubMenu;
  if (!OpenPanel(sub, x + panel.mWidth - 2, y + top)) return false;
  Panel& opened = g_Session.mPanels.back();
  Select(opened, FirstSelectable(sub, 0, 1));
  return true;
}

// Enter or a click on an item: its sub-menu opens, or the item is chosen.
void Activate(size_t level, int index) {
  ClosePanelsFrom(level + 1);
  Panel& panel = g_Session.mPanels[level];
  if (index < 0) return;
  Select(panel, index);
  const MenuItem& item = panel.mMenu->mItems[static_cast<size_t>(index)];
  if (!item.mEnabled || item.mSeparator) return;
  if (item.mSubMenu != nullptr) {
    OpenSelectedSubMenu();
    return;
  }
  EndSession(item.mId);
}

void SwitchTitle(int step) {
  int count = static_cast<int>(g_AttachedMenuBar->mItems.size());
  if (count == 0) return;
  int next = ((g_Session.mTitle + step) % count + count) % count;
  OpenMenuBarTitle(next);
}

void HandleKey(uint64_t key) {
  Panel& panel = g_Session.mPanels.back();
  size_t level = g_Session.mPanels.size() - 1;
  switch (key) {
    case kKeyDown: Select(panel, FirstSelectable(panel.mMenu, panel.mSelected + 1, 1)); break;
    case kKeyUp:
      Select(panel, FirstSelectable(panel.mMenu, panel.mSelected < 0 ? -1 : panel.mSelected - 1, -1));
      break;
    case kKeyRight:
      if (!OpenSelectedSubMenu() && g_Session.mFromBar) SwitchTitle(1);
      break;
    case kKeyLeft:
      if (level > 0) {
        ClosePanelsFrom(level);
      } else if (g_Session.mFromBar) {
        SwitchTitle(-1);
      }
      break;
    case kKeyReturn: Activate(level, panel.mSelected); break;
    case kKeyEscape:
      if (level > 0) {
        ClosePanelsFrom(level);
      } else {
        EndSession(0);
      }
      break;
    case kKeyAlt:
    case kKeyF10: EndSession(0); break;
    default: {
      for (size_t i = 0; i < panel.mMenu->mItems.size(); ++i) {
        const MenuItem& item = panel.mMenu->mItems[i];
        if (item.mEnabled && !item.mSeparator && MnemonicKey(item.mText) == key) {
          Activate(level, static_cast<int>(i));
          break;
        }
      }
      break;
    }
  }
}

// The panel level of a menu window, -1 for another window.
int LevelOf(PlatformWindow* window) {
  for (size_t i = 0; i < g_Session.mPanels.size(); ++i) {
    if (g_Session.mPanels[i].mWindow == window) return static_cast<int>(i);
  }
  return -1;
}

int PointY(int64_t lParam) { return static_cast<int16_t>(static_cast<uint16_t>((lParam >> 16) & 0xFFFF)); }
int PointX(int64_t lParam) { return static_cast<int16_t>(static_cast<uint16_t>(lParam & 0xFFFF)); }

// A point of the main window on the band: its rows above the client area or
// the strip over the picture.
bool OnBand(PlatformWindow* window, int y) {
  if (window != MainWindow() || g_AttachedMenuBar == nullptr) return false;
  if (GetPlatformWindowTopInset(window) > 0) return y < 0 && y >= -kMenuBandHeight;
  return g_StripShown && y >= 0 && y < kMenuBandHeight;
}
int BandX(int64_t lParam) { return PointX(lParam); }

// Alt+Space: the window menu at the main window's top-left corner, the
// first item selected.
bool OpenWindowMenuAtCorner() {
  PlatformWindow* main = MainWindow();
  int x = 0;
  int y = 0;
  if (main == nullptr || !GetClientOrigin(main, &x, &y)) return false;
  return OpenWindowMenu(x, y - GetPlatformWindowTopInset(main), true);
}

bool TakeSessionMessage(PlatformWindow* window, uint32_t message, uint64_t wParam, int64_t lParam) {
  int level = LevelOf(window);
  switch (message) {
    case kMsgSysKeyDown:
      // Alt alone opened the menu bar; Space with it still asks for the
      // window menu.
      if (wParam == kKeySpace && !g_Session.mWindowMenu && HasWindowMenu()) {
        EndSession(0);
        OpenWindowMenuAtCorner();
        return true;
      }
      HandleKey(wParam);
      return true;
    case kMsgKeyDown:
      HandleKey(wParam);
      return true;
    case kMsgMouseMove:
      if (level >= 0) {
        Panel& panel = g_Session.mPanels[static_cast<size_t>(level)];
        int index = MenuPanelItemAt(panel.mMenu, PointY(lParam));
        if (index >= 0 && Selectable(panel.mMenu->mItems[static_cast<size_t>(index)])) Select(panel, index);
      } else if (g_Session.mFromBar && OnBand(window, PointY(lParam))) {
        int title = MenuBandTitleAt(g_AttachedMenuBar, BandX(lParam));
        if (title >= 0 && title != g_Session.mTitle) OpenMenuBarTitle(title);
      }
      return true;
    case kMsgLeftButtonUp:
      if (level >= 0) {
        Panel& panel = g_Session.mPanels[static_cast<size_t>(level)];
        Activate(static_cast<size_t>(level), MenuPanelItemAt(panel.mMenu, PointY(lParam)));
      }
      return true;
    case kMsgLeftButtonDown:
    case kMsgRightButtonDown:
    case kMsgMiddleButtonDown:
      if (level >= 0) return true;
      if (g_Session.mFromBar && OnBand(window, PointY(lParam))) {
        int title = MenuBandTitleAt(g_AttachedMenuBar, BandX(lParam));
        if (title < 0 || title == g_Session.mTitle) {
          EndSession(0);
        } else {
          OpenMenuBarTitle(title);
        }
        return true;
      }
      // A click elsewhere closes the menus and is not passed on.
      EndSession(0);
      return true;
    case kMsgPaint:
      if (level >= 0) {
        DrawPanel(g_Session.mPanels[static_cast<size_t>(level)]);
        return true;
      }
      return false;
    case kMsgClose:
    case kMsgDestroy:
      EndSession(0);
      return level >= 0;
    default:
      return level >= 0;
  }
}

}  // namespace

std::vector<uint8_t> RenderMenuBand(const MenuHandle* bar, int highlighted, int width) {
  Canvas canvas(std::max(width, 1), kMenuBandHeight);
  canvas.Fill(0, 0, canvas.mWidth, kMenuBandHeight, kMenuBackColour);
  canvas.Fill(0, kMenuBandHeight - 1, canvas.mWidth, kMenuBandHeight, kMenuFrameColour);
  if (bar == nullptr) return canvas.mPixels;
  for (size_t i = 0; i < bar->mItems.size(); ++i) {
    const MenuItem& item = bar->mItems[i];
    int left = 0;
    int right = 0;
    MenuBandTitleSpan(bar, static_cast<int>(i), &left, &right);
    bool lit = static_cast<int>(i) == highlighted && !item.mSeparator;
    if (lit) canvas.Fill(left, 1, right, kMenuBandHeight - 2, kMenuHighlightColour);
    uint32_t colour = lit ? kMenuHighlightTextColour : (item.mEnabled ? kMenuTextColour : kMenuGreyColour);
    if (item.mSeparator) {
      canvas.Fill(left + (right - left) / 2, 3, left + (right - left) / 2 + 1, kMenuBandHeight - 4, kMenuGreyColour);
    } else {
      canvas.Text(item.mText, left + kTitlePadding, (kMenuBandHeight - kCellHeight) / 2 - 1, colour);
    }
  }
  return canvas.mPixels;
}

std::vector<uint8_t> RenderMenuPanel(const MenuHandle* menu, int selected, int* width, int* height) {
  *width = PanelWidth(menu);
  *height = PanelHeight(menu);
  Canvas canvas(*width, *height);
  canvas.Fill(0, 0, *width, *height, kMenuFrameColour);
  canvas.Fill(1, 1, *width - 1, *height - 1, kMenuBackColour);
  for (size_t i = 0; i < menu->mItems.size(); ++i) {
    const MenuItem& item = menu->mItems[i];
    int top = 0;
    int bottom = 0;
    MenuPanelItemSpan(menu, static_cast<int>(i), &top, &bottom);
    if (item.mSeparator) {
      int middle = (top + bottom) / 2;
      canvas.Fill(4, middle, *width - 4, middle + 1, kMenuGreyColour);
      continue;
    }
    bool lit = static_cast<int>(i) == selected;
    if (lit) canvas.Fill(2, top, *width - 2, bottom, kMenuHighlightColour);
    uint32_t colour = !item.mEnabled ? kMenuGreyColour : (lit ? kMenuHighlightTextColour : kMenuTextColour);
    int textTop = top + (kMenuItemHeight - kCellHeight) / 2 - 1;
    canvas.Text(item.mText, kItemLeft, textTop, colour);
    if (item.mChecked) {
      // A tick: two strokes.
      for (int d = 0; d < 3; ++d) canvas.Fill(6 + d, textTop + 7 + d, 7 + d, textTop + 9 + d, colour);
      for (int d = 0; d < 6; ++d) canvas.Fill(9 + d, textTop + 9 - d, 10 + d, textTop + 11 - d, colour);
    }
    if (item.mSubMenu != nullptr) {
      for (int d = 0; d < 4; ++d) canvas.Fill(*width - 14 + d, textTop + 3 + d, *width - 13 + d, textTop + 11 - d, colour);
    }
  }
  return canvas.mPixels;
}

int MenuBandTitleAt(const MenuHandle* bar, int x) {
  if (bar == nullptr) return -1;
  for (size_t i = 0; i < bar->mItems.size(); ++i) {
    int left = 0;
    int right = 0;
    MenuBandTitleSpan(bar, static_cast<int>(i), &left, &right);
    if (x >= left && x < right) return static_cast<int>(i);
  }
  return -1;
}

bool MenuBandTitleSpan(const MenuHandle* bar, int index, int* left, int* right) {
  if (bar == nullptr || index < 0 || index >= static_cast<int>(bar->mItems.size())) return false;
  int x = 0;
  for (int i = 0;; ++i) {
    const MenuItem& item = bar->mItems[static_cast<size_t>(i)];
    int width = item.mSeparator ? kTitlePadding : TextWidth(item.mText) + 2 * kTitlePadding;
    if (i == index) {
      *left = x;
      *right = x + width;
      return true;
    }
    x += width;
  }
}

int MenuPanelItemAt(const MenuHandle* menu, int y) {
  if (menu == nullptr) return -1;
  for (size_t i = 0; i < menu->mItems.size(); ++i) {
    int top = 0;
    int bottom = 0;
    MenuPanelItemSpan(menu, static_cast<int>(i), &top, &bottom);
    if (y >= top && y < bottom) return static_cast<int>(i);
  }
  return -1;
}

bool MenuPanelItemSpan(const MenuHandle* menu, int index, int* top, int* bottom) {
  if (menu == nullptr || index < 0 || index >= static_cast<int>(menu->mItems.size())) return false;
  int y = 1;
  for (int i = 0; i < index; ++i) y += ItemHeight(menu->mItems[static_cast<size_t>(i)]);
  *top = y;
  *bottom = y + ItemHeight(menu->mItems[static_cast<size_t>(index)]);
  return true;
}

void OnMenuBarChanged() {
  // A new bar may reuse the old one's address: its band is drawn afresh.
  g_Band = BandPicture();
  if (g_Session.mOpen && g_Session.mFromBar) EndSession(0);
  SyncMenuBand();
  DrawBand();
}

void SyncMenuBand() {
  PlatformWindow* window = MainWindow();
  if (window == nullptr) return;
  int wanted = g_AttachedMenuBar != nullptr && !IsFullscreen() ? kMenuBandHeight : 0;
  if (GetPlatformWindowTopInset(window) == wanted) return;
  SetPlatformWindowTopInset(window, wanted);
  DrawBand();
}

void RedrawMenuBand() { DrawBand(); }

void ShowMenuStripBand(bool shown) {
  g_StripShown = shown;
  if (!shown && g_Session.mOpen && g_Session.mFromBar) EndSession(0);
  if (shown) DrawBand();
}

bool MenuPresenterTakesMessage(PlatformWindow* window, uint32_t message, uint64_t wParam, int64_t lParam) {
  if (g_Session.mOpen) return TakeSessionMessage(window, message, wParam, lParam);
  if (window != MainWindow()) return false;
  if (message == kMsgSysKeyDown && wParam == kKeySpace && HasWindowMenu()) return OpenWindowMenuAtCorner();
  if (g_AttachedMenuBar == nullptr) return false;
  if (message == kMsgRightButtonDown && OnBand(window, PointY(lParam)) &&
      MenuBandTitleAt(g_AttachedMenuBar, BandX(lParam)) < 0) {
    // A right click on the band beside the titles: the window menu at the
    // cursor.
    int x = 0;
    int y = 0;
    if (!HasWindowMenu() || !GetClientOrigin(window, &x, &y)) return true;
    OpenWindowMenu(x + PointX(lParam), y + PointY(lParam), false);
    return true;
  }
  if (message == kMsgLeftButtonDown && OnBand(window, PointY(lParam))) {
    int title = MenuBandTitleAt(g_AttachedMenuBar, BandX(lParam));
    if (title >= 0) OpenMenuBarTitle(title);
    return true;
  }
  if ((message == kMsgLeftButtonUp || message == kMsgMouseMove) && OnBand(window, PointY(lParam))) return true;
  if (message == kMsgSysKeyDown) {
    // F10 or Alt opens the first title; Alt with a letter the title it marks.
    if (wParam == kKeyF10 || wParam == kKeyAlt) return OpenMenuBarTitle(FirstSelectable(g_AttachedMenuBar, 0, 1));
    for (size_t i = 0; i < g_AttachedMenuBar->mItems.size(); ++i) {
      if (MnemonicKey(g_AttachedMenuBar->mItems[i].mText) == wParam) return OpenMenuBarTitle(static_cast<int>(i));
    }
  }
  return false;
}

bool OpenMenuPopup(MenuHandle* menu, int desktopX, int desktopY) {
  if (menu == nullptr) return false;
  if (g_Session.mOpen) EndSession(0);
  g_Session = Session();
  g_Session.mOpen = true;
  if (!OpenPanel(menu, desktopX, desktopY)) {
    g_Session.mOpen = false;
    return false;
  }
  return true;
}

bool OpenWindowMenu(int desktopX, int desktopY, bool selectFirst) {
  if (!HasWindowMenu()) return false;
  BuildWindowMenu();
  if (!OpenMenuPopup(&g_WindowMenu, desktopX, desktopY)) return false;
  g_Session.mWindowMenu = true;
  if (selectFirst) Select(g_Session.mPanels.back(), FirstSelectable(&g_WindowMenu, 0, 1));
  return true;
}

bool OpenMenuBarTitle(int index) {
  if (g_AttachedMenuBar == nullptr || index < 0 || index >= static_cast<int>(g_AttachedMenuBar->mItems.size())) {
    return false;
  }
  ClosePanelsFrom(0);
  g_Session.mOpen = true;
  g_Session.mFromBar = true;
  g_Session.mTitle = index;
  g_Session.mChoice = 0;
  const MenuItem& title = g_AttachedMenuBar->mItems[static_cast<size_t>(index)];
  int x = 0;
  int y = 0;
  bool opened = false;
  if (title.mSubMenu != nullptr && title.mEnabled && TitleDropPoint(index, &x, &y)) {
    opened = OpenPanel(title.mSubMenu, x, y);
    if (opened) Select(g_Session.mPanels.back(), FirstSelectable(title.mSubMenu, 0, 1));
  }
  if (!opened) {
    // A title without a drop-down is an item of its own: it is chosen.
    bool chosen = title.mSubMenu == nullptr && title.mEnabled && !title.mSeparator;
    EndSession(chosen ? title.mId : 0);
    return chosen;
  }
  DrawBand();
  return true;
}

bool IsMenuSessionOpen() { return g_Session.mOpen; }

uint32_t TakeMenuChoice() {
  uint32_t choice = g_Session.mChoice;
  g_Session.mChoice = 0;
  return choice;
}

int CountMenuPanels() { return static_cast<int>(g_Session.mPanels.size()); }

PlatformWindow* GetMenuPanelWindow(int level) {
  return level >= 0 && level < CountMenuPanels() ? g_Session.mPanels[static_cast<size_t>(level)].mWindow : nullptr;
}

const MenuHandle* GetMenuPanelMenu(int level) {
  return level >= 0 && level < CountMenuPanels() ? g_Session.mPanels[static_cast<size_t>(level)].mMenu : nullptr;
}

int GetMenuPanelSelection(int level) {
  return level >= 0 && level < CountMenuPanels() ? g_Session.mPanels[static_cast<size_t>(level)].mSelected : -1;
}

int32_t RunPopupMenu(MenuHandle* menu, int desktopX, int desktopY) {
  if (!OpenMenuPopup(menu, desktopX, desktopY)) return 0;
  while (g_Session.mOpen) {
    if (g_QuitFlag.load() != 0) {
      EndSession(0);
      break;
    }
    if (!PeekWindowMessage()) {
      SleepMs(10);
      continue;
    }
    WindowMessage message{};
    if (!GetWindowMessage(&message)) {
      // The quit message belongs to the message loop: it is handed back.
      EndSession(0);
      PostQuitMessage(static_cast<int>(message.mWParam));
      break;
    }
    if (!TakeSessionMessage(message.mWindow, message.mMessage, message.mWParam, message.mLParam)) {
      DispatchWindowMessage(message);
    }
  }
  return static_cast<int32_t>(TakeMenuChoice());
}

void CloseMenuPresenter() {
  ClosePanelsFrom(0);
  g_Session = Session();
  g_StripShown = false;
  g_Band = BandPicture();
  if (g_Font.mFace != nullptr) CloseFontFace(g_Font.mFace);
  g_Font = MenuFont();
}
