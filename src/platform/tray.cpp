#include "platform/tray.h"

#include <dlfcn.h>
#include <gio/gio.h>
#include <png.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/folders.h"
#include "platform/gtk_lock.h"
#include "platform/messages.h"
#include "platform/text_codec.h"

namespace {

const TrayHooks* g_trayHooks = nullptr;

// The tray messages the window procedure knows (the system's values).
constexpr uint32_t kTrayMessage = kMsgUser + 10;
constexpr uint64_t kTrayIconId = 123;
constexpr int64_t kTrayRightButtonUp = 0x0205;

// The desktop's notification area: a StatusNotifier item made through
// libayatana-appindicator3 with a GTK menu, both loaded when first needed.
// Only the few calls used are bound, by name.
struct Indicator {
  bool mTried = false;
  bool mReady = false;
  void* mGtk = nullptr;
  void* mAppIndicator = nullptr;
  int (*gtk_init_check)(int*, char***) = nullptr;
  void* (*gtk_menu_new)() = nullptr;
  void* (*gtk_menu_item_new_with_mnemonic)(const char*) = nullptr;
  void* (*gtk_check_menu_item_new_with_mnemonic)(const char*) = nullptr;
  void (*gtk_check_menu_item_set_active)(void*, int) = nullptr;
  void* (*gtk_separator_menu_item_new)() = nullptr;
  void (*gtk_menu_item_set_submenu)(void*, void*) = nullptr;
  void (*gtk_menu_shell_append)(void*, void*) = nullptr;
  void (*gtk_widget_set_sensitive)(void*, int) = nullptr;
  void (*gtk_widget_show_all)(void*) = nullptr;
  void (*gtk_widget_destroy)(void*) = nullptr;
  void* (*app_indicator_new)(const char*, const char*, int) = nullptr;
  void (*app_indicator_set_status)(void*, int) = nullptr;
  void (*app_indicator_set_menu)(void*, void*) = nullptr;
  void (*app_indicator_set_icon_full)(void*, const char*, const char*) = nullptr;
  void (*app_indicator_set_title)(void*, const char*) = nullptr;
  void* mItem = nullptr;
  void* mMenu = nullptr;
  PlatformWindow* mWindow = nullptr;
  std::string mIconFile;
};
Indicator g_indicator;

template <typename Routine>
bool Bind(void* library, const char* name, Routine* routine) {
  *routine = reinterpret_cast<Routine>(dlsym(library, name));
  return *routine != nullptr;
}

// True when a notification-area host listens on the session bus.
bool HasStatusNotifierHost() {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (bus == nullptr) return false;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
      g_variant_new("(s)", "org.kde.StatusNotifierWatcher"), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 1000,
      nullptr, nullptr);
  bool owned = false;
  if (reply != nullptr) {
    gboolean value = FALSE;
    g_variant_get(reply, "(b)", &value);
    owned = value != FALSE;
    g_variant_unref(reply);
  }
  g_object_unref(bus);
  return owned;
}

bool LoadIndicator() {
  Indicator& in = g_indicator;
  if (in.mTried) return in.mReady;
  in.mTried = true;
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if ((display == nullptr || display[0] == '\0') && (wayland == nullptr || wayland[0] == '\0')) return false;
  // Without a session bus of the user's desktop there is no tray (and no bus
  // is started for one).
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (bus == nullptr || bus[0] == '\0' || !HasStatusNotifierHost()) return false;
  in.mGtk = dlopen("libgtk-3.so.0", RTLD_NOW | RTLD_GLOBAL);
  in.mAppIndicator = dlopen("libayatana-appindicator3.so.1", RTLD_NOW | RTLD_GLOBAL);
  if (in.mGtk == nullptr || in.mAppIndicator == nullptr) return false;
  bool bound = Bind(in.mGtk, "gtk_init_check", &in.gtk_init_check) && Bind(in.mGtk, "gtk_menu_new", &in.gtk_menu_new) &&
               Bind(in.mGtk, "gtk_menu_item_new_with_mnemonic", &in.gtk_menu_item_new_with_mnemonic) &&
               Bind(in.mGtk, "gtk_check_menu_item_new_with_mnemonic", &in.gtk_check_menu_item_new_with_mnemonic) &&
               Bind(in.mGtk, "gtk_check_menu_item_set_active", &in.gtk_check_menu_item_set_active) &&
               Bind(in.mGtk, "gtk_separator_menu_item_new", &in.gtk_separator_menu_item_new) &&
               Bind(in.mGtk, "gtk_menu_item_set_submenu", &in.gtk_menu_item_set_submenu) &&
               Bind(in.mGtk, "gtk_menu_shell_append", &in.gtk_menu_shell_append) &&
               Bind(in.mGtk, "gtk_widget_set_sensitive", &in.gtk_widget_set_sensitive) &&
               Bind(in.mGtk, "gtk_widget_show_all", &in.gtk_widget_show_all) &&
               Bind(in.mGtk, "gtk_widget_destroy", &in.gtk_widget_destroy) &&
               Bind(in.mAppIndicator, "app_indicator_new", &in.app_indicator_new) &&
               Bind(in.mAppIndicator, "app_indicator_set_status", &in.app_indicator_set_status) &&
               Bind(in.mAppIndicator, "app_indicator_set_menu", &in.app_indicator_set_menu) &&
               Bind(in.mAppIndicator, "app_indicator_set_icon_full", &in.app_indicator_set_icon_full) &&
               Bind(in.mAppIndicator, "app_indicator_set_title", &in.app_indicator_set_title);
  if (!bound || in.gtk_init_check(nullptr, nullptr) == 0) return false;
  in.mReady = true;
  return true;
}

void OnEntryChosen(void*, void* data) {
  auto id = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(data));
  PlatformWindow* window = g_indicator.mWindow;
  if (window == nullptr) return;
  if (id == 0) {
    PostWindowMessage(window, kTrayMessage, kTrayIconId, kTrayRightButtonUp);
  } else {
    PostWindowMessage(window, kMsgCommand, id, 0);
  }
}

// "&" marks a mnemonic in both spellings; a plain "_" is doubled.
std::string MnemonicLabel(const std::string& text) {
  std::string utf8 = ConvertCp932ToUtf8(text);
  std::string label;
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '_') {
      label += "__";
    } else if (utf8[i] == '&' && i + 1 < utf8.size() && utf8[i + 1] == '&') {
      label += '&';
      ++i;
    } else if (utf8[i] == '&') {
      label += '_';
    } else {
      label += utf8[i];
    }
  }
  return label;
}

void* BuildMenu(const std::vector<TrayMenuEntry>& entries) {
  Indicator& in = g_indicator;
  void* menu = in.gtk_menu_new();
  for (const TrayMenuEntry& entry : entries) {
    void* item = nullptr;
    if (entry.mText.empty()) {
      item = in.gtk_separator_menu_item_new();
    } else if (entry.mChecked) {
      item = in.gtk_check_menu_item_new_with_mnemonic(MnemonicLabel(entry.mText).c_str());
      in.gtk_check_menu_item_set_active(item, 1);
    } else {
      item = in.gtk_menu_item_new_with_mnemonic(MnemonicLabel(entry.mText).c_str());
    }
    if (!entry.mText.empty()) {
      if (!entry.mChildren.empty()) {
        in.gtk_menu_item_set_submenu(item, BuildMenu(entry.mChildren));
      } else {
        g_signal_connect_data(item, "activate", G_CALLBACK(OnEntryChosen),
                              reinterpret_cast<void*>(static_cast<uintptr_t>(entry.mId)), nullptr,
                              static_cast<GConnectFlags>(0));
      }
      in.gtk_widget_set_sensitive(item, entry.mEnabled ? 1 : 0);
    }
    in.gtk_menu_shell_append(menu, item);
  }
  return menu;
}

// Writes 16 x 16 B, G, R, A pixels as an RGBA PNG; false on a write error.
bool WriteIconPng(FILE* file, png_structp png, png_infop info, const uint8_t* pixels) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, kTrayIconSide, kTrayIconSide, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_byte row[kTrayIconSide * 4];
  for (int y = 0; y < kTrayIconSide; ++y) {
    for (int x = 0; x < kTrayIconSide; ++x) {
      const uint8_t* from = pixels + (y * kTrayIconSide + x) * 4;
      row[x * 4] = from[2];
      row[x * 4 + 1] = from[1];
      row[x * 4 + 2] = from[0];
      row[x * 4 + 3] = from[3];
    }
    png_write_row(png, row);
  }
  png_write_end(png, info);
  return true;
}

// The icon as a PNG file the desktop can load; empty when it cannot be made.
std::string WriteIconFile(const uint8_t* pixels) {
  std::string path = GetRuntimeFolder() + "/orvane-tray-" + std::to_string(getpid()) + ".png";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return {};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  bool written = info != nullptr && WriteIconPng(file, png, info, pixels);
  png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
  std::fclose(file);
  return written ? path : std::string();
}

bool ShowIndicator(const TrayIconRequest& request) {
  std::lock_guard<std::recursive_mutex> gtk(GtkLock());
  if (!LoadIndicator()) return false;
  Indicator& in = g_indicator;
  in.mWindow = request.mWindow;
  if (in.mItem == nullptr) {
    // Category: application status.
    in.mItem = in.app_indicator_new("orvane", "applications-games", 0);
    if (in.mItem == nullptr) return false;
  }
  if (request.mPixels != nullptr) {
    in.mIconFile = WriteIconFile(request.mPixels);
    in.app_indicator_set_icon_full(in.mItem, in.mIconFile.empty() ? "applications-games" : in.mIconFile.c_str(), "");
  } else {
    in.app_indicator_set_icon_full(in.mItem, "applications-games", "");
  }
  std::string tip = ConvertCp932ToUtf8(request.mTip != nullptr ? request.mTip : "");
  in.app_indicator_set_title(in.mItem, tip.c_str());
  std::vector<TrayMenuEntry> entries = request.mMenu;
  if (entries.empty()) {
    TrayMenuEntry open;
    open.mText = request.mTip != nullptr && request.mTip[0] != '\0' ? request.mTip : "Menu";
    entries.push_back(open);
  }
  void* menu = BuildMenu(entries);
  in.gtk_widget_show_all(menu);
  in.app_indicator_set_menu(in.mItem, menu);
  if (in.mMenu != nullptr) in.gtk_widget_destroy(in.mMenu);
  in.mMenu = menu;
  // Status: active.
  in.app_indicator_set_status(in.mItem, 1);
  PumpPlatformTray();
  return true;
}

void RemoveIndicator() {
  std::lock_guard<std::recursive_mutex> gtk(GtkLock());
  Indicator& in = g_indicator;
  if (!in.mReady || in.mItem == nullptr) return;
  // Status: passive (hidden); the item itself stays for the next show.
  in.app_indicator_set_status(in.mItem, 0);
  if (!in.mIconFile.empty()) std::remove(in.mIconFile.c_str());
  in.mIconFile.clear();
  in.mWindow = nullptr;
  PumpPlatformTray();
}

}  // namespace

void SetTrayHooks(const TrayHooks* hooks) { g_trayHooks = hooks; }

bool ShowPlatformTrayIcon(const TrayIconRequest& request) {
  if (g_trayHooks != nullptr && g_trayHooks->mShow != nullptr) return g_trayHooks->mShow(g_trayHooks->mContext, request);
  return ShowIndicator(request);
}

void RemovePlatformTrayIcon() {
  if (g_trayHooks != nullptr && g_trayHooks->mRemove != nullptr) {
    g_trayHooks->mRemove(g_trayHooks->mContext);
    return;
  }
  RemoveIndicator();
}

void PumpPlatformTray() {
  if (!g_indicator.mReady) return;
  std::unique_lock<std::recursive_mutex> gtk(GtkLock(), std::try_to_lock);
  if (!gtk.owns_lock()) return;
  while (g_main_context_iteration(nullptr, FALSE) != FALSE) {
  }
}
