#include "oscmd/oscmd_reset.h"

#include "oscmd/menu_sets.h"
#include "oscmd/os_utility.h"
#include "oscmd/tray_icon.h"
#include "platform/clipboard.h"

void ResetOsCommandState() {
  ResetTrayIcon();
  ResetMenuSets();
  ResetOsUtilityState();
  ResetPlatformClipboard();
}
