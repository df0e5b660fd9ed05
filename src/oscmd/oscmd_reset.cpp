#include "oscmd/oscmd_reset.h"

#include "oscmd/os_utility.h"
#include "oscmd/tray_icon.h"
#include "platform/clipboard.h"

void ResetOsCommandState() {
  RemoveTrayIcon();
  ResetOsUtilityState();
  ResetPlatformClipboard();
}
