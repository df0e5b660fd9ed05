#pragma once
// The program's icon in the desktop's notification area. Where the desktop
// has none the icon is absent and every call is accepted without effect, as
// the system's own call is when the tray cannot be used.
#include <cstdint>
#include <string>
#include <vector>

struct PlatformWindow;

// One entry of the icon's menu: texts are Shift-JIS, "&" marks a mnemonic.
// Choosing an entry posts its id to the window as a command.
struct TrayMenuEntry {
  std::string mText;  // empty: a separator
  uint32_t mId = 0;
  bool mEnabled = true;
  bool mChecked = false;
  std::vector<TrayMenuEntry> mChildren;  // non-empty: a sub-menu
};

// The icon: 16 x 16 B, G, R, A pixels, or null for the program's own icon.
// The tip is Shift-JIS. Where the desktop shows a menu for the icon it shows
// `mMenu`; an empty menu gets one entry that asks the window for its own
// popup (a tray message, as a right click sends).
struct TrayIconRequest {
  PlatformWindow* mWindow = nullptr;
  const uint8_t* mPixels = nullptr;
  const char* mTip = "";
  bool mModify = false;  // the icon is shown already: change it
  std::vector<TrayMenuEntry> mMenu;
};
constexpr int kTrayIconSide = 16;

// True when the desktop took the icon.
bool ShowPlatformTrayIcon(const TrayIconRequest& request);
void RemovePlatformTrayIcon();
// Serves the desktop's calls for the icon (clicks, menu choices); the message
// loop calls it in every pass.
void PumpPlatformTray();

// Tests replace the desktop's tray; null restores it.
struct TrayHooks {
  bool (*mShow)(void* context, const TrayIconRequest& request) = nullptr;
  void (*mRemove)(void* context) = nullptr;
  void* mContext = nullptr;
};
void SetTrayHooks(const TrayHooks* hooks);
