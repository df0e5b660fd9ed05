// The window commands: create and change the main window and the three
// sub-windows, hide a sub-window, and read a window's attributes.
#include <algorithm>
#include <cstdio>
#include <string>

#include "core/errors.h"
#include "core/message_ids.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "core/sjis.h"
#include "core/window_table.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/engine_config.h"
#include "script/variables.h"
#include "shell/display.h"
#include "shell/menus.h"
#include "shell/window_objects.h"

namespace {

constexpr int kWindowControlSlot = 105;
constexpr int kWindowHideSlot = 106;
constexpr int kWindowQuerySlot = 107;
constexpr int kShowNormal = 5;
constexpr int32_t kDefaultSubWindowSide = 128;

int32_t ClampInt32(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)); }

void MakeWhollyDirty(ObjectTreeNode* group) {
  auto* record = LayerRecordOf(group);
  if (record == nullptr) return;
  record->mDirty = 1;
  record->mDirtyValid = 1;
  record->mDirtyWhole = 1;
  record->mDirtyRect[0] = 0;
  record->mDirtyRect[1] = 0;
  record->mDirtyRect[2] = static_cast<int64_t>(record->mWidth) - 1;
  record->mDirtyRect[3] = static_cast<int64_t>(record->mHeight) - 1;
}

// The layer (leaf) at the path of a string argument; null after the report
// of a missing layer, or after a path the normaliser refused (`refused`).
LayerRecord* LayerAt(int id, ObjectTreeNode** node, bool* refused) {
  char path[kObjectPathBytes];
  *refused = NormalizeObjectPath(path, ArgText(id), g_LayerPathBase, 0) < 0;
  if (*refused) return nullptr;
  *node = FindObjectByPath(g_LayerRoot, path, kPathLeaf);
  auto* record = LayerRecordOf(*node);
  if (record == nullptr) ReportErrorAtScriptFmt(kMsgShareSourceMissing, CommandName(kWindowControlSlot), path);
  return record;
}

// Resizes an existing window's client area, keeping its top-left corner.
void ResizeClient(WindowObject* object, int64_t width, int64_t height) {
  if (object->mWindow == nullptr) return;
  SetPlatformWindowClientSize(object->mWindow, ClampInt32(width), ClampInt32(height));
}

int ShowLayerSet(WindowObject* object) {
  char path[kObjectPathBytes];
  if (NormalizeObjectPath(path, ArgText(21), g_LayerPathBase, 0) < 0) return -1;
  if (object->mShownLayerSet != nullptr) {
    if (auto* previous = LayerRecordOf(object->mShownLayerSet)) previous->mDisplayRoot = 0;
  }
  ObjectTreeNode* group = FindObjectByPath(g_LayerRoot, path, kPathGroup);
  auto* record = LayerRecordOf(group);
  if (record == nullptr) {
    ReportErrorAtScriptFmt(kMsgShareSourceMissing, CommandName(kWindowControlSlot), path);
    return -1;
  }
  if (record->mWidth == 0 || record->mHeight == 0) {
    ShowMessageBox("", "サイズが 0x0 のレイヤセットを表示対象に指定することは出来ません。");
    object->mShownLayerSet = nullptr;
    g_QuitFlag = 1;
    return -1;
  }
  object->mShownLayerSet = group;
  record->mDisplayRoot = 1;
  InvalidateLayerToRoot(group);
  MakeWhollyDirty(group);
  return 0;
}

int SetMenuBar(WindowObject* object) {
  object->mMenuPath[0] = '\0';
  const char* text = ArgText(22);
  if (text[0] != '\0') {
    char path[kObjectPathBytes];
    if (NormalizeObjectPath(path, text, g_MenuPathBase, 0) < 0) return -1;
    CopySjisBounded(object->mMenuPath, sizeof object->mMenuPath, path);
  }
  return SetMenuBarFromTree(object->mMenuPath, object->mWindow) != 0 ? -1 : 0;
}

// Ids 7 to 10: the client size, or the creation of a missing window.
int ApplySize(int n, WindowObject* object) {
  bool free = g_FullScreen == 0 && g_Maximized == 0;
  bool exists = g_WindowIds[n] != -1 && object->mWindow != nullptr;
  bool takeWidth = HasArg(7) && free;
  bool takeHeight = HasArg(8) && free;
  DesktopFacts desktop;
  bool haveDesktop = GetDesktopFacts(&desktop);
  // A window that was never made has no size to keep the ratio of.
  if (HasArg(9) && free && exists && object->mWidth > 0) {
    int64_t width = haveDesktop ? std::min<int64_t>(ArgInt(9), desktop.mWidth) : ArgInt(9);
    ResizeClient(object, width, static_cast<int64_t>(object->mHeight) * width / object->mWidth);
  }
  if (HasArg(10) && free && exists && object->mHeight > 0) {
    int64_t height = haveDesktop ? std::min<int64_t>(ArgInt(10), desktop.mHeight) : ArgInt(10);
    ResizeClient(object, static_cast<int64_t>(object->mWidth) * height / object->mHeight, height);
  }
  if (exists) {
    if (!takeWidth && !takeHeight) return 0;
    bool changed = false;
    if (takeWidth) {
      changed |= object->mWidth != ClampInt32(ArgInt(7));
      object->mWidth = ClampInt32(ArgInt(7));
    }
    if (takeHeight) {
      changed |= object->mHeight != ClampInt32(ArgInt(8));
      object->mHeight = ClampInt32(ArgInt(8));
    }
    if (changed) {
      ResizeClient(object, object->mWidth, object->mHeight);
      object->mViewRect[0] = 0;
      object->mViewRect[1] = 0;
      object->mViewRect[2] = object->mWidth;
      object->mViewRect[3] = object->mHeight;
    }
    return 0;
  }
  object->mX = 0;
  object->mY = 0;
  object->mWidth = takeWidth ? ClampInt32(ArgInt(7)) : kDefaultSubWindowSide;
  object->mHeight = takeHeight ? ClampInt32(ArgInt(8)) : kDefaultSubWindowSide;
  if (!HasArg(1)) {
    ReportErrorAtScriptFmt(kMsgSubWindowNeedsTitle, CommandName(kWindowControlSlot));
    return -1;
  }
  char className[kPathBytes + 16];
  std::snprintf(className, sizeof className, "%s_sub_%d", g_InstanceName, n);
  std::string title = object->mTitle;
  if (CreateGameWindow(object, kShowNormal, className, title.c_str()) == 0) return -1;
  if (n > 0) ShowPlatformWindow(object->mWindow, true);
  SetUpWindowObject(object, title.c_str());
  g_WindowIds[n] = 1;
  return 0;
}

int ApplyZOrder(int n, WindowObject* object) {
  int64_t value = ArgInt(6);
  if (value == 3 && n == 0) {
    ReportErrorAtScriptFmt(kMsgWindowValueRefused, CommandName(kWindowControlSlot), ArgumentName(kWindowControlSlot, 6),
                           value);
    return -1;
  }
  PlatformWindow* window = object->mWindow;
  if (window == nullptr) return 0;
  if (value != 1) SetPlatformWindowTopmost(window, false);
  switch (value) {
    case 0: SetWindowZOrder(window, ZOrderPlace::kTop); break;
    case 1: SetPlatformWindowTopmost(window, true); break;
    case 2: SetWindowZOrder(window, ZOrderPlace::kBottom); break;
    case 3: SetWindowZOrder(window, ZOrderPlace::kBehind, GetMainPlatformWindow()); break;
    default: break;
  }
  return 0;
}

void ApplyMinimised(WindowObject* object) {
  PlatformWindow* window = object->mWindow;
  switch (ArgInt(14)) {
    case 0:
      RestorePlatformWindow(window);
      g_RestorePending = 0;
      g_Maximized = 0;
      g_DeviceResetPending = 1;
      RepaintWindowObject(object);
      break;
    case 1: MinimizePlatformWindow(window); break;
    case 2:
      MinimizePlatformWindow(window);
      ShowPlatformWindow(window, false);
      break;
    default: break;
  }
}

void ChangeStyleBit(PlatformWindow* window, uint32_t bit, bool on) {
  if (window == nullptr) return;
  uint32_t style = GetWindowStyle(window);
  SetWindowStyle(window, on ? style | bit : style & ~bit);
}

bool ValidWindowNumber(int64_t n) { return n >= 0 && n < kWindowCount && g_WindowTable[n] != nullptr; }

}  // namespace

int32_t CmdWindowControl() {
  if (FetchCommandArguments(kWindowControlSlot) != 0) return -1;
  int64_t number = ArgInt(0);
  if (!ValidWindowNumber(number)) return 0;
  int n = static_cast<int>(number);
  WindowObject* object = g_WindowTable[n];
  if (ApplySize(n, object) != 0) return -1;
  PlatformWindow* window = object->mWindow;
  if (HasArg(1)) {
    const char* title = ArgText(1);
    CopySjisBounded(object->mTitle, sizeof object->mTitle, title[0] != '\0' ? title : " ");
    if (window != nullptr) SetPlatformWindowTitle(window, object->mTitle);
  }
  if (HasArg(2)) {
    object->mOpacity = ClampInt32(ArgInt(2));
    SetPlatformWindowOpacity(window, static_cast<uint8_t>(std::min<int64_t>(ArgInt(2), 255)));
  }
  if (HasArg(3)) {
    auto visible = static_cast<uint8_t>(ArgInt(3));
    bool changed = visible != object->mDisplayState;
    object->mDisplayState = visible;
    if (changed && window != nullptr) ShowPlatformWindow(window, ArgInt(3) > 0);
  }
  if (HasArg(4) || HasArg(5)) {
    if (HasArg(4)) object->mX = ClampInt32(ArgInt(4));
    if (HasArg(5)) object->mY = ClampInt32(ArgInt(5));
    if (window != nullptr) MoveWindowTo(window, object->mX, object->mY);
  }
  if (HasArg(6) && ApplyZOrder(n, object) != 0) return -1;
  if (HasArg(16)) object->mMaximiseAllowed = static_cast<uint8_t>(ArgInt(16));
  if (HasArg(17)) object->mMinimiseAllowed = static_cast<uint8_t>(ArgInt(17));
  if (HasArg(18)) {
    int64_t state = ArgInt(18);
    if (n == 0 && (state < 0 || state > 2)) {
      ReportErrorAtScriptFmt(kMsgWindowValueRefused, CommandName(kWindowControlSlot),
                             ArgumentName(kWindowControlSlot, 18), state);
      return -1;
    }
    object->mCloseState = static_cast<uint8_t>(state);
  }
  if (HasArg(19)) {
    FlashGameWindow(window, static_cast<uint32_t>(ArgInt(20)), static_cast<uint32_t>(ArgInt(19)));
  }
  if (HasArg(21) && ShowLayerSet(object) != 0) return -1;
  if (HasArg(22) && SetMenuBar(object) != 0) return -1;
  if (HasArg(23)) {
    ObjectTreeNode* node = nullptr;
    bool refused = false;
    LayerRecord* record = LayerAt(23, &node, &refused);
    if (record == nullptr) return -1;
    if (SetWindowRegionFromLayer(GetMainPlatformWindow(), record) != 0) return 1;
  }
  if (HasArg(24)) {
    ObjectTreeNode* node = nullptr;
    bool refused = false;
    LayerRecord* record = LayerAt(24, &node, &refused);
    if (record == nullptr) return -1;
    g_DragLayerRecord = record;
    g_DragLayerNode = node;
    g_DragLayerOn = 1;
  }
  if (HasArg(12) && g_FullScreen == 0) ChangeStyleBit(window, kWindowStyleMaximizeBox, ArgInt(12) == 1);
  if (HasArg(11) && ArgInt(11) == 1 && window != nullptr) RaisePlatformWindow(window);
  if (HasArg(13) && n == 0) {
    if (SetFullscreenMode(static_cast<int>(ArgInt(13))) == 1) MakeWhollyDirty(object->mShownLayerSet);
  }
  if (HasArg(14) && window != nullptr) ApplyMinimised(object);
  if (HasArg(15) && window != nullptr) {
    PostWindowMessage(window, kMsgSysCommand, g_Maximized != 0 ? kSysCommandRestore : kSysCommandMaximize, 0);
  }
  if (HasArg(25) && ArgInt(25) != g_ThickFrame) {
    g_ThickFrame = static_cast<uint8_t>(ArgInt(25));
    if (g_FullScreen == 0 && window != nullptr) {
      GetWindowFrameExtra(window, &g_FrameExtraWidth, &g_FrameExtraHeight);
      g_FrameExtraChanged = 1;
      ChangeStyleBit(window, kWindowStyleThickFrame, ArgInt(25) != 0);
    }
  }
  return 0;
}

int32_t CmdWindowHide() {
  if (FetchCommandArguments(kWindowHideSlot) != 0) return -1;
  if (!HasArg(0)) return 0;
  int64_t n = ArgInt(0);
  if (n == 0) {
    ReportErrorAtScriptFmt(kMsgMainWindowHide, CommandName(kWindowHideSlot), ArgumentName(kWindowHideSlot, 0), n);
    return -1;
  }
  if (ValidWindowNumber(n) && g_WindowTable[n]->mWindow != nullptr) ShowPlatformWindow(g_WindowTable[n]->mWindow, false);
  return 0;
}

int32_t CmdWindowQuery() {
  if (FetchCommandArguments(kWindowQuerySlot) != 0) return -1;
  int out = ArgSlot(1);
  if (out == 0) return 0;
  auto variable = static_cast<uint32_t>(g_ArgVarId[out]);
  int64_t element = g_ArgVarElement[out];
  const VariableRecord* record = FindVariableRecord(variable);
  bool stringOut = record != nullptr && record->mVarType == kVarString;
  int64_t n = ArgInt(0);
  WindowObject* object = ValidWindowNumber(n) ? g_WindowTable[n] : nullptr;
  if (object == nullptr || g_WindowIds[n] == -1 || object->mWindow == nullptr) {
    if (stringOut) {
      SetStringElement(variable, element, "");
    } else {
      SetNumberElement(variable, element, 0);
    }
    return 0;
  }
  PlatformWindow* window = object->mWindow;
  static constexpr int kOrder[] = {2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 15, 16, 14, 17};
  for (int id : kOrder) {
    if (!HasArg(id)) continue;
    int64_t value = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    switch (id) {
      case 2: value = 1; break;
      case 3: value = object->mOpacity; break;
      case 4: value = object->mDisplayState; break;
      case 5: value = object->mActive; break;
      case 6:
        if (stringOut) SetStringElement(variable, element, object->mTitle);
        return 0;
      case 7:
        GetPlatformWindowPosition(window, &x, &y);
        object->mX = x;
        value = x;
        break;
      case 8:
        GetPlatformWindowPosition(window, &x, &y);
        object->mY = y;
        value = y;
        break;
      case 10: value = object->mWidth; break;
      case 11: value = object->mHeight; break;
      case 12:
      case 13:
        GetPlatformWindowClientSize(window, &width, &height);
        value = id == 12 ? width : height;
        break;
      case 15: value = g_FullScreen; break;
      case 16: value = g_Maximized; break;
      case 14: value = g_MainMonitorIndex; break;
      case 17: value = IsPlatformWindowMinimized(window) ? 1 : 0; break;
      default: break;
    }
    SetNumberElement(variable, element, value);
    return 0;
  }
  return 0;
}
