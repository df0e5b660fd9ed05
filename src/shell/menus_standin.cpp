// Stand-ins until window menus and the menu strip are built: there is no
// menu to show or choose from.
#include "core/stand_in.h"
#include "shell/menus.h"

int32_t g_PendingPopup = 0;
int CreateMenuStripWindow() {
  STAND_IN();
  return 0;
}
void DestroyMenuSets() { STAND_IN(); }
void DestroyMenuBarSet() { STAND_IN(); }
bool IsMenuStripShown() {
  STAND_IN();
  return false;
}
void ShowMenuStrip(bool) { STAND_IN(); }
int32_t GetMenuStripHeight() {
  STAND_IN();
  return 0;
}
bool HasMenuBarTopMenu() {
  STAND_IN();
  return false;
}
int32_t TrackPendingPopup(int32_t) {
  STAND_IN();
  return 0;
}
int SetMenuBarFromTree(const char*, PlatformWindow*) {
  STAND_IN();
  return 0;
}
