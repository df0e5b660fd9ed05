#pragma once
// Shows the menu sets to the user: the menu bar as a band of rows at the top
// of the main window (the window grows by it), in full screen the strip over
// the top of the picture, and drop-downs and popups as menu windows of their
// own. Mouse and keyboard work as users know them: a click on a title or
// Alt/F10 opens a drop-down; arrows move, Enter chooses, Escape closes,
// letters choose by mnemonic ("&" in the text). Alt+Space opens the window
// menu.
#include <cstdint>
#include <vector>

struct MenuHandle;
struct PlatformWindow;

// The height of the band and of the strip.
constexpr int32_t kMenuBandHeight = 20;
// Item rows in a drop-down; a separator is shorter.
constexpr int32_t kMenuItemHeight = 20;
constexpr int32_t kMenuSeparatorHeight = 8;

// Colours (0xRRGGBB) of the drawing.
constexpr uint32_t kMenuBackColour = 0xF0F0F0;
constexpr uint32_t kMenuTextColour = 0x000000;
constexpr uint32_t kMenuGreyColour = 0x8C8C8C;
constexpr uint32_t kMenuHighlightColour = 0x3380E0;
constexpr uint32_t kMenuHighlightTextColour = 0xFFFFFF;
constexpr uint32_t kMenuFrameColour = 0x808080;

// --- Drawing (B, G, R, A pixels, top-down, pitch width * 4) ------------------

// The band of the menu bar `width` pixels wide; `highlighted` is the title
// drawn selected (-1 none).
std::vector<uint8_t> RenderMenuBand(const MenuHandle* bar, int highlighted, int width);
// A drop-down or popup with its own size.
std::vector<uint8_t> RenderMenuPanel(const MenuHandle* menu, int selected, int* width, int* height);
// The title under x of the band, -1 for none; a title's span [left, right).
int MenuBandTitleAt(const MenuHandle* bar, int x);
bool MenuBandTitleSpan(const MenuHandle* bar, int index, int* left, int* right);
// The item under y of a panel, -1 for none; an item's rows [top, bottom).
int MenuPanelItemAt(const MenuHandle* menu, int y);
bool MenuPanelItemSpan(const MenuHandle* menu, int index, int* top, int* bottom);

// --- The menu bar and the strip ---------------------------------------------

// After the menu bar was attached or detached: the window makes or drops the
// band's rows and the band is drawn.
void OnMenuBarChanged();
// Keeps the band's rows in step with the display state (none in full
// screen); called once per frame.
void SyncMenuBand();
// Draws the band again (after the window was painted).
void RedrawMenuBand();
// Draws the strip over the top of the full-screen picture, or stops.
void ShowMenuStripBand(bool shown);

// --- Menu sessions: an open drop-down or popup with its sub-menus -------------

// The window procedure hands the main window's and the menu windows'
// messages here first; true when the menus took the message. A chosen item
// of the menu bar is posted to the main window as a command.
bool MenuPresenterTakesMessage(PlatformWindow* window, uint32_t message, uint64_t wParam, int64_t lParam);
// Opens a popup at a desktop position; false when it cannot be shown.
bool OpenMenuPopup(MenuHandle* menu, int desktopX, int desktopY);
// Opens the drop-down of a title of the menu bar.
bool OpenMenuBarTitle(int index);
// Opens the main window's window menu (the size reset, minimise and close)
// at a desktop position; its choice reaches the window procedure as a system
// command. False when the main window has no system menu (a pop-up style
// window) or the menu cannot be shown. Alt+Space and a right click on the
// band beside the titles open it.
bool OpenWindowMenu(int desktopX, int desktopY, bool selectFirst);
bool IsMenuSessionOpen();
// The id chosen when the last session ended, 0 when it was cancelled.
uint32_t TakeMenuChoice();
// The open panels, the outermost first: its menu window and selected item.
int CountMenuPanels();
PlatformWindow* GetMenuPanelWindow(int level);
const MenuHandle* GetMenuPanelMenu(int level);
int GetMenuPanelSelection(int level);
// Shows a popup and waits for the user, passing other messages on to the
// window procedure; the chosen id, 0 when cancelled.
int32_t RunPopupMenu(MenuHandle* menu, int desktopX, int desktopY);
// Closes any session and forgets the band's font.
void CloseMenuPresenter();
