#include "oscmd/oscmd_reset.h"

#include "oscmd/menu_sets.h"
#include "oscmd/tray_icon.h"

void ResetOsCommandState() {
  ResetTrayIcon();
  ResetMenuSets();
}
