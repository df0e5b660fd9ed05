#include "platform/tray.h"

namespace {

const TrayHooks* g_trayHooks = nullptr;

}  // namespace

void SetTrayHooks(const TrayHooks* hooks) { g_trayHooks = hooks; }

bool ShowPlatformTrayIcon(const TrayIconRequest& request) {
  if (g_trayHooks != nullptr && g_trayHooks->mShow != nullptr) return g_trayHooks->mShow(g_trayHooks->mContext, request);
  // No notification-area service is bound here: the icon is absent.
  return false;
}

void RemovePlatformTrayIcon() {
  if (g_trayHooks != nullptr && g_trayHooks->mRemove != nullptr) g_trayHooks->mRemove(g_trayHooks->mContext);
}
