#pragma once
// Window menus and the full-screen menu strip.
#include <cstdint>

struct PlatformWindow;

// The menu set of a pending popup: 0 none, else the set number.
extern int32_t g_PendingPopup;
int CreateMenuStripWindow();
void DestroyMenuSets();
void DestroyMenuBarSet();
bool IsMenuStripShown();
void ShowMenuStrip(bool shown);
int32_t GetMenuStripHeight();
bool HasMenuBarTopMenu();
// Runs the popup of the pending set at its stored position; the chosen
// command id, 0 when nothing was chosen.
int32_t TrackPendingPopup(int32_t menuSet);
// Makes the menu tree at the normalised path the window's menu bar (an empty
// path removes it). 0, or -1 when the tree gives no menu.
int SetMenuBarFromTree(const char* path, PlatformWindow* window);
