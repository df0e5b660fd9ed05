// Stand-in until the tray icon is built: there is no icon to remove.
#include "core/stand_in.h"
#include "oscmd/tray_icon.h"

void RemoveTrayIcon() { STAND_IN(); }
