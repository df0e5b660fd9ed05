#pragma once
// The program's icon in the desktop's notification area. Where the desktop
// has none the icon is absent and every call is accepted without effect, as
// the system's own call is when the tray cannot be used.
#include <cstdint>

struct PlatformWindow;

// The icon: 16 x 16 B, G, R, A pixels, or null for the program's own icon.
// The tip is Shift-JIS. Clicks reach the window as tray messages.
struct TrayIconRequest {
  PlatformWindow* mWindow = nullptr;
  const uint8_t* mPixels = nullptr;
  const char* mTip = "";
  bool mModify = false;  // the icon is shown already: change it
};
constexpr int kTrayIconSide = 16;

// True when the desktop took the icon.
bool ShowPlatformTrayIcon(const TrayIconRequest& request);
void RemovePlatformTrayIcon();

// Tests replace the desktop's tray; null restores it.
struct TrayHooks {
  bool (*mShow)(void* context, const TrayIconRequest& request) = nullptr;
  void (*mRemove)(void* context) = nullptr;
  void* mContext = nullptr;
};
void SetTrayHooks(const TrayHooks* hooks);
