#pragma once
// The tray icon of the main window: its tip, its icon (a 16 x 16 layer or
// the program's own) and the tray popup menu (menu set 2).
#include <cstddef>
#include <cstdint>

// The tip field holds this many bytes, terminator included.
constexpr size_t kTrayTipBytes = 64;

extern char g_TrayTip[kTrayTipBytes];
// 1 while the icon is shown.
extern uint8_t g_TrayIconShown;

// Hides the icon and destroys its layer icon; nothing when it is not shown.
void RemoveTrayIcon();
// Back to the start state: icon removed, tip empty.
void ResetTrayIcon();
