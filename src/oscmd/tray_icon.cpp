#include "oscmd/tray_icon.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/sjis.h"
#include "core/window_table.h"
#include "layer/layer_record.h"
#include "oscmd/menu_sets.h"
#include "platform/tray.h"
#include "script/arguments.h"
#include "script/command_handlers.h"

char g_TrayTip[kTrayTipBytes];
uint8_t g_TrayIconShown;

namespace {

constexpr int kTrayIconSlot = 100;
// The icon made from a layer; empty: the program's own icon.
std::vector<uint8_t> g_TrayLayerIcon;


void MakeLayerIcon(const LayerRecord* layer) {
  g_TrayLayerIcon.clear();
  if (layer == nullptr) return;
  if (layer->mWidth != kTrayIconSide || layer->mHeight != kTrayIconSide || layer->mPixels == nullptr) {
    ShowMessageBox(nullptr, "ICON ERR.\r\nレイヤサイズが %dx%d ではありません。", kTrayIconSide, kTrayIconSide);
    return;
  }
  g_TrayLayerIcon.assign(layer->mPixels, layer->mPixels + kTrayIconSide * kTrayIconSide * 4);
}

std::vector<TrayMenuEntry> EntriesOf(const MenuHandle* menu) {
  std::vector<TrayMenuEntry> entries;
  if (menu == nullptr) return entries;
  for (const MenuItem& item : menu->mItems) {
    TrayMenuEntry entry;
    entry.mText = item.mSeparator ? std::string() : item.mText;
    entry.mId = item.mId;
    entry.mEnabled = item.mEnabled;
    entry.mChecked = item.mChecked;
    // A sub-menu that is not a slot of the set cannot loop: each slot is made once.
    entry.mChildren = EntriesOf(item.mSubMenu);
    entries.push_back(std::move(entry));
  }
  return entries;
}

void SendTrayIcon() {
  TrayIconRequest request;
  request.mWindow = GetMainPlatformWindow();
  request.mPixels = g_TrayLayerIcon.empty() ? nullptr : g_TrayLayerIcon.data();
  request.mTip = g_TrayTip;
  request.mModify = g_TrayIconShown != 0;
  request.mMenu = EntriesOf(GetPopupMenu(kTrayPopupSet));
  // A desktop without a tray takes no icon; the command goes on as if it had.
  ShowPlatformTrayIcon(request);
}

void ShowTrayIcon(const LayerRecord* layer) {
  MakeLayerIcon(layer);
  SendTrayIcon();
  g_TrayIconShown = 1;
}

}  // namespace

void RemoveTrayIcon() {
  if (g_TrayIconShown == 0) return;
  g_TrayIconShown = 0;
  RemovePlatformTrayIcon();
  g_TrayLayerIcon.clear();
}

void ResetTrayIcon() {
  RemoveTrayIcon();
  g_TrayLayerIcon.clear();
  std::memset(g_TrayTip, 0, sizeof g_TrayTip);
}

int32_t CmdTrayIcon() {
  if (FetchCommandArguments(kTrayIconSlot) != 0) return -1;
  const LayerRecord* layer = nullptr;
  if (ArgSlot(2) != 0) {
    char path[kObjectPathBytes];
    if (NormalizeObjectPath(path, ArgText(2), g_LayerPathBase, 0) < 0) return -1;
    ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, path, kPathAny);
    if (node == nullptr) return 0;
    layer = static_cast<const LayerRecord*>(node->mPayload);
  }
  if (ArgSlot(1) != 0) CopySjisBounded(g_TrayTip, kTrayTipBytes, ArgText(1));
  if (ArgSlot(0) != 0) {
    if (g_ArgInt[ArgSlot(0)] == 1) {
      ShowTrayIcon(layer);
    } else {
      RemoveTrayIcon();
    }
  }
  if (ArgSlot(3) != 0) {
    char path[kObjectPathBytes];
    if (NormalizeObjectPath(path, ArgText(3), g_MenuPathBase, 0) < 0) return -1;
    ObjectTreeNode* node = FindObjectByPath(g_MenuRoot, path, kPathAny);
    if (node != nullptr) {
      BuildPopupSet(kTrayPopupSet, node);
      // A shown icon offers the new menu.
      if (g_TrayIconShown != 0) SendTrayIcon();
    }
  }
  return 0;
}
