#include "shell/menus.h"

#include "shell/menu_presenter.h"

namespace {

// The strip is as high as the band of the menu bar.
int32_t g_MenuStripHeight = 0;
bool g_MenuStripShown = false;

}  // namespace

int CreateMenuStripWindow() {
  g_MenuStripHeight = kMenuBandHeight;
  g_MenuStripShown = false;
  SetMenuBarChangedRoutine(OnMenuBarChanged);
  return 0;
}

void DestroyMenuSets() {
  CloseMenuPresenter();
  DestroyAllMenuSets();
  g_MenuStripShown = false;
}

void DestroyMenuBarSet() { DestroyMenuSet(kMenuBarSet); }

bool IsMenuStripShown() { return g_MenuStripShown; }

void ShowMenuStrip(bool shown) {
  if (shown == g_MenuStripShown) return;
  g_MenuStripShown = shown;
  ShowMenuStripBand(shown);
}

int32_t GetMenuStripHeight() { return g_MenuStripHeight; }

bool HasMenuBarTopMenu() { return g_MenuSets[kMenuBarSet][0] != nullptr; }

int32_t TrackPendingPopup(int32_t menuSet) {
  MenuHandle* popup = GetPopupMenu(menuSet);
  if (popup == nullptr) return 0;
  return RunPopupMenu(popup, g_PendingPopupX, g_PendingPopupY);
}
