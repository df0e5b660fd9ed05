#include "oscmd/menu_sets.h"

#include <cstring>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "oscmd/menu_record.h"
#include "script/arguments.h"

MenuHandle* g_MenuSets[kMenuSetCount][kMenuSetSlots];
int32_t g_MenuSlotCounter;
int32_t g_PendingPopup;
int32_t g_PendingPopupX;
int32_t g_PendingPopupY;
MenuHandle* g_AttachedMenuBar;
PlatformWindow* g_MenuBarWindow;

namespace {

// The window command names a menu bar that does not exist.
constexpr int kWindowControlSlot = 105;
MenuBarChangedRoutine g_MenuBarChanged;

bool ValidSet(int set) { return set >= 0 && set < kMenuSetCount; }

MenuItem ItemFromRecord(const MenuItemRecord* record) {
  MenuItem item;
  item.mId = static_cast<uint32_t>(record->mCommandId);
  item.mEnabled = record->mEnabled != 0;
  item.mChecked = record->mChecked == 1;
  if (record->mText == nullptr || record->mText[0] == '\0') {
    // A separator line is never chosen.
    item.mSeparator = true;
    item.mEnabled = false;
  } else {
    item.mText.assign(record->mText, strnlen(record->mText, kMenuItemTextLimit));
  }
  return item;
}

}  // namespace

void SetMenuBarChangedRoutine(MenuBarChangedRoutine routine) { g_MenuBarChanged = routine; }

MenuHandle* CreateMenuHandle() { return new MenuHandle(); }

void DestroyMenuHandle(MenuHandle* menu) { delete menu; }

void DestroyMenuSet(int set) {
  if (!ValidSet(set)) return;
  // A window must never keep a menu that is gone.
  if (set == kMenuBarSet && g_AttachedMenuBar != nullptr) AttachMenuBar(g_MenuBarWindow, nullptr);
  for (MenuHandle*& slot : g_MenuSets[set]) {
    DestroyMenuHandle(slot);
    slot = nullptr;
  }
}

void DestroyAllMenuSets() {
  for (int set = 0; set < kMenuSetCount; ++set) DestroyMenuSet(set);
}

int BuildMenuFromTree(int set, ObjectTreeNode* node) {
  if (!ValidSet(set) || node == nullptr) return -1;
  int32_t slot = g_MenuSlotCounter;
  g_MenuSlotCounter += 1;
  if (slot >= kMenuSetSlots - 1 || slot < 0) return -1;
  MenuHandle* menu = g_MenuSets[set][slot];
  if (menu == nullptr) return -1;
  for (ObjectTreeNode* child = node->mFirstChild; child != nullptr; child = child->mNextSibling) {
    const auto* record = static_cast<const MenuItemRecord*>(child->mPayload);
    if (record == nullptr || record->mVisible == 0) continue;
    MenuItem item = ItemFromRecord(record);
    bool subMenu = !item.mSeparator && child->mIsGroup != 0 && child->mFirstChild != nullptr;
    if (subMenu) {
      // The sub-menu takes the next slot; a full set refuses it below.
      if (g_MenuSlotCounter >= kMenuSetSlots) return -1;
      item.mSubMenu = CreateMenuHandle();
      g_MenuSets[set][g_MenuSlotCounter] = item.mSubMenu;
    }
    menu->mItems.push_back(item);
    if (subMenu && BuildMenuFromTree(set, child) != 0) return -1;
  }
  return 0;
}

int BuildPopupSet(int set, ObjectTreeNode* node) {
  if (!ValidSet(set)) return -1;
  DestroyMenuSet(set);
  g_MenuSlotCounter = 0;
  MenuHandle* top = CreateMenuHandle();
  MenuHandle* popup = CreateMenuHandle();
  g_MenuSets[set][0] = top;
  g_MenuSets[set][1] = popup;
  MenuItem item;
  item.mId = kPopupTopItemId;
  item.mText = "MENUSET";
  item.mSubMenu = popup;
  top->mItems.push_back(item);
  g_MenuSlotCounter = 1;
  if (BuildMenuFromTree(set, node) != 0) {
    DestroyMenuSet(set);
    return -1;
  }
  return 0;
}

MenuHandle* GetPopupMenu(int set) {
  if (!ValidSet(set)) return nullptr;
  MenuHandle* top = g_MenuSets[set][0];
  if (top == nullptr || top->mItems.empty()) return nullptr;
  return top->mItems[0].mSubMenu;
}

void AttachMenuBar(PlatformWindow* window, MenuHandle* menu) {
  g_MenuBarWindow = window;
  g_AttachedMenuBar = menu;
  if (g_MenuBarChanged != nullptr) g_MenuBarChanged();
}

int SetMenuBarFromTree(const char* path, PlatformWindow* window) {
  if (path == nullptr || path[0] == '\0') {
    DestroyMenuSet(kMenuBarSet);
    g_MenuSlotCounter = 0;
    AttachMenuBar(window, nullptr);
    return 0;
  }
  ObjectTreeNode* node = FindObjectByPath(g_MenuRoot, path, kPathAny);
  if (node == nullptr) {
    ReportErrorAtScriptFmt(kMsgShareSourceMissing, CommandName(kWindowControlSlot), path);
    return -1;
  }
  // Detached before its menus go, so that the window never shows a freed one.
  DestroyMenuSet(kMenuBarSet);
  g_MenuSlotCounter = 0;
  g_MenuSets[kMenuBarSet][0] = CreateMenuHandle();
  if (BuildMenuFromTree(kMenuBarSet, node) != 0) {
    DestroyMenuSet(kMenuBarSet);
    AttachMenuBar(window, nullptr);
    return -1;
  }
  AttachMenuBar(window, g_MenuSets[kMenuBarSet][0]);
  return 0;
}

void ResetMenuSets() {
  DestroyAllMenuSets();
  g_AttachedMenuBar = nullptr;
  g_MenuBarWindow = nullptr;
  g_MenuSlotCounter = 0;
  g_PendingPopup = 0;
  g_PendingPopupX = 0;
  g_PendingPopupY = 0;
}
