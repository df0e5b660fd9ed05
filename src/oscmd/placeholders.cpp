// Stand-ins until the OS commands are built: there is no tray icon.
#include "oscmd/tray_icon.h"

void RemoveTrayIcon() {}
