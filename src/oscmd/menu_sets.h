#pragma once
// Menus built from the script's menu trees: three menu sets (the main
// window's menu bar, the script popup and the tray popup), each a table of
// menu handles. Slot 0 of a set is its top menu, slots 1-127 its sub-menus in
// the order they were made (depth first). The menus are a model of our own:
// the shell draws them and lets the user choose from them.
#include <cstdint>
#include <string>
#include <vector>

struct ObjectTreeNode;
struct PlatformWindow;

constexpr int kMenuSetCount = 3;
constexpr int kMenuSetSlots = 128;
enum : int { kMenuBarSet = 0, kScriptPopupSet = 1, kTrayPopupSet = 2 };
// The one item of a popup's top menu; its sub-menu is what the user sees.
constexpr uint32_t kPopupTopItemId = 1;
// Item texts hold at most this many bytes (Shift-JIS).
constexpr size_t kMenuItemTextLimit = 260;

struct MenuHandle;

struct MenuItem {
  uint32_t mId = 0;
  std::string mText;   // Shift-JIS; "&" marks the mnemonic, "&&" is a plain "&"
  bool mSeparator = false;
  bool mEnabled = true;
  bool mChecked = false;
  MenuHandle* mSubMenu = nullptr;  // not owned: sub-menus are slots of their set
};

struct MenuHandle {
  std::vector<MenuItem> mItems;
};

extern MenuHandle* g_MenuSets[kMenuSetCount][kMenuSetSlots];
// The slot the next menu of the set being built takes.
extern int32_t g_MenuSlotCounter;
// The popup the frame step shows at its end: 0 none, 1 the script popup, 2
// the tray popup; with its position in the main window's client area.
extern int32_t g_PendingPopup;
extern int32_t g_PendingPopupX;
extern int32_t g_PendingPopupY;

// The menu bar attached to the main window (null: none) and the window. The
// shell draws it as a band at the top of the window or, in full screen, as
// the menu strip.
extern MenuHandle* g_AttachedMenuBar;
extern PlatformWindow* g_MenuBarWindow;
// Told after every attach or detach (the shell makes room for the band).
using MenuBarChangedRoutine = void (*)();
void SetMenuBarChangedRoutine(MenuBarChangedRoutine routine);

MenuHandle* CreateMenuHandle();
// Frees one menu; its sub-menus are left to their own slots.
void DestroyMenuHandle(MenuHandle* menu);
// Frees every menu of the set, each once, and clears its slots. A set that
// is the attached menu bar is detached first.
void DestroyMenuSet(int set);
void DestroyAllMenuSets();
// Adds the visible children of the node to the menu in slot
// g_MenuSlotCounter of the set (which must exist), making a sub-menu for
// each group with children. 0, or -1 when the set would need more than
// kMenuSetSlots menus (what was built stays in the set).
int BuildMenuFromTree(int set, ObjectTreeNode* node);
// Rebuilds a popup set from a menu node: a top menu with one item
// (kPopupTopItemId, "MENUSET") whose sub-menu holds the node's children.
// 0, or -1 when the tree needs too many menus (the set is then destroyed).
int BuildPopupSet(int set, ObjectTreeNode* node);
// The menu a popup set shows: the sub-menu of its top item; null when the
// set is empty.
MenuHandle* GetPopupMenu(int set);

// Builds set 0 from the menu-tree node at the normalised path and attaches
// it to the window; an empty path removes the menu bar. 0; -1 after a fatal
// report (101250) for a missing path, or when the tree needs too many menus
// (the window then has no menu bar).
int SetMenuBarFromTree(const char* path, PlatformWindow* window);
void AttachMenuBar(PlatformWindow* window, MenuHandle* menu);

// Back to the start state: no sets, no menu bar, no pending popup.
void ResetMenuSets();
