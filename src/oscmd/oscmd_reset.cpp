#include "oscmd/oscmd_reset.h"

#include "oscmd/tray_icon.h"

void ResetOsCommandState() { RemoveTrayIcon(); }
