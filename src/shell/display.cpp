#include "shell/display.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/errors.h"
#include "core/message_ids.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "core/window_table.h"
#include "movie/movies.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "render/emote_drawing.h"
#include "script/engine_config.h"
#include "shell/startup.h"

int32_t g_FullscreenBits = 32;
uint8_t g_DeviceResetPending;
uint8_t g_RestorePending;
int32_t g_MonitorRect[4];
int32_t g_MainMonitorIndex;
int32_t g_FrameExtraWidth;
int32_t g_FrameExtraHeight;
uint8_t g_FrameExtraChanged;
uint8_t g_ScalingRule = 1;

namespace {

constexpr uint32_t kFullscreenDropStyles =
    kWindowStyleCaption | kWindowStyleSysMenu | kWindowStyleThickFrame | kWindowStyleMinimizeBox;
constexpr int kMaxDisplayModes = 10000;

// Configured and present sizes saved before full screen and before maximising.
struct SavedSizes {
  int32_t mConfiguredWidth = 0;
  int32_t mConfiguredHeight = 0;
  int32_t mPresentWidth = 0;
  int32_t mPresentHeight = 0;
};
SavedSizes g_fullscreenSaved;
SavedSizes g_maximizeSaved;

// The fit ResizeBackBuffer last wrote into g_ScalingMode; any other value
// there was set from outside (the settings) and is the new rule.
int g_lastFitWritten = -1;

SavedSizes TakeSizes() {
  return {g_ConfiguredWidth, g_ConfiguredHeight, g_PresentWidth, g_PresentHeight};
}

void PutSizes(const SavedSizes& sizes) {
  g_ConfiguredWidth = sizes.mConfiguredWidth;
  g_ConfiguredHeight = sizes.mConfiguredHeight;
  g_PresentWidth = sizes.mPresentWidth;
  g_PresentHeight = sizes.mPresentHeight;
}

uint8_t CurrentScalingRule() {
  if (g_lastFitWritten < 0 || g_ScalingMode != g_lastFitWritten) g_ScalingRule = g_ScalingMode;
  return g_ScalingRule;
}

WindowObject* MainObject() { return g_WindowTable[0]; }
PlatformWindow* MainWindow() { return MainObject() != nullptr ? MainObject()->mWindow : nullptr; }

// The logical width over height of window 0 (1.0 for a height below 1).
double LogicalAspect() {
  const WindowObject* object = MainObject();
  if (object == nullptr || object->mHeight < 1) return 1.0;
  return static_cast<double>(object->mWidth) / object->mHeight;
}

void MoveCursorToMonitorCentre() {
  SetGlobalCursorPosition(g_MonitorRect[0] + g_MonitorRect[2] / 2, g_MonitorRect[1] + g_MonitorRect[3] / 2);
}

bool IsPlainWindow() { return g_FullScreen == 0 && g_Maximized == 0; }

}  // namespace

bool IsFullscreen() { return g_FullScreen != 0; }

int ResizeBackBuffer(int32_t width, int32_t height, int32_t targetWidth, int32_t targetHeight) {
  uint8_t rule = CurrentScalingRule();
  bool fit = rule == 1 || (g_Maximized != 0 && g_FullScreen == 0);
  int64_t w = width;
  int64_t h = height;
  int64_t tw = targetWidth;
  int64_t th = targetHeight;
  int64_t presentWidth = w;
  int64_t presentHeight = h;
  uint8_t mode = rule;
  if (fit || rule == 2) {
    int64_t divisorW = w == 0 ? 1 : w;
    bool targetTaller = static_cast<double>(th) > static_cast<double>(h) * static_cast<double>(tw) / divisorW;
    // "Fit" fills the target's width when the target is taller than the
    // picture; "cover" then fills its height.
    bool fullWidth = fit ? targetTaller : !targetTaller;
    if (fullWidth) {
      mode = 1;
      presentWidth = tw;
      presentHeight = h * tw / divisorW;
    } else {
      mode = 2;
      presentWidth = h == 0 ? th : w * th / h;
      presentHeight = th;
    }
  } else if (rule == 3) {
    presentWidth = tw;
    presentHeight = th;
  } else {
    mode = 0;
  }
  g_ScalingMode = mode;
  g_lastFitWritten = mode;
  // A picture larger than the desktop becomes half the desktop; a desktop of
  // unknown size halves nothing.
  if (rule != 2 && g_DesktopWidth > 0 && g_DesktopHeight > 0 &&
      (presentWidth > g_DesktopWidth || presentHeight > g_DesktopHeight)) {
    presentWidth = g_DesktopWidth / 2;
    presentHeight = g_DesktopHeight / 2;
  }
  presentWidth = std::clamp<int64_t>(presentWidth, INT32_MIN, INT32_MAX);
  presentHeight = std::clamp<int64_t>(presentHeight, INT32_MIN, INT32_MAX);
  bool changed = presentWidth != g_PresentWidth || presentHeight != g_PresentHeight;
  g_PresentWidth = static_cast<int32_t>(presentWidth);
  g_PresentHeight = static_cast<int32_t>(presentHeight);
  if (changed || g_BackBuffer == nullptr) AllocBackBuffer(g_PresentWidth, g_PresentHeight);
  return 0;
}

int FindWindowMonitor(PlatformWindow* window) {
  int monitor = 0;
  int rect[4] = {};
  if (!FindPlatformWindowMonitor(window, &monitor, rect) || rect[2] <= 0 || rect[3] <= 0) {
    // The desktop size stays what it was: a size of 0 would divide by zero
    // in the aspect test and halve the picture to nothing.
    std::memset(g_MonitorRect, 0, sizeof g_MonitorRect);
    return 0;
  }
  std::memcpy(g_MonitorRect, rect, sizeof g_MonitorRect);
  g_DesktopWidth = rect[2];
  g_DesktopHeight = rect[3];
  return monitor;
}

void ChooseFullscreenSize(int monitor, int32_t logicalWidth, int32_t logicalHeight, int32_t* width,
                          int32_t* height) {
  *width = g_DesktopWidth;
  *height = g_DesktopHeight;
  if (g_ChangeDisplayMode == 0 || g_DesktopHeight <= 0) return;
  int64_t aspect = static_cast<int64_t>(g_DesktopWidth) * 1000 / g_DesktopHeight;
  bool found = false;
  PlatformDisplayMode mode;
  for (int index = 0; index < kMaxDisplayModes && GetPlatformDisplayMode(monitor, index, &mode); ++index) {
    if (mode.mHeight <= 0 || static_cast<int64_t>(mode.mWidth) * 1000 / mode.mHeight != aspect) continue;
    if (mode.mWidth < logicalWidth || mode.mHeight < logicalHeight || mode.mBitsPerPixel != g_FullscreenBits) continue;
    if (found && !(mode.mWidth < *width && mode.mHeight < *height)) continue;
    *width = mode.mWidth;
    *height = mode.mHeight;
    found = true;
  }
}

int ChangeToFullscreenMode(PlatformWindow* window, int monitor) {
  if (g_GpuDrawing != 0) g_DeviceResetPending = 1;
  bool entered = false;
  if (g_ChangeDisplayMode != 0) {
    PlatformDisplayMode mode;
    bool found = false;
    for (int index = 0; index < kMaxDisplayModes && GetPlatformDisplayMode(monitor, index, &mode); ++index) {
      if (mode.mWidth == g_ConfiguredWidth && mode.mHeight == g_ConfiguredHeight &&
          mode.mBitsPerPixel == g_FullscreenBits) {
        found = true;
        break;
      }
    }
    if (!found) {
      ShowMessageBox("", "PC環境が %d x %d 解像度でのフルスクリーンに対応していません。", g_ConfiguredWidth,
                     g_ConfiguredHeight);
    } else if (!(entered = EnterPlatformFullscreen(window, &mode))) {
      ReportError(kMsgDisplayChangeRefused);
    }
  } else if (!(entered = EnterPlatformFullscreen(window, nullptr))) {
    // Without a mode change the window covers the desktop in its own mode.
    ReportError(kMsgDisplayChangeRefused);
  }
  if (entered) return 0;
  g_DeviceResetPending = 0;
  g_FullScreen = 0;
  RestoreDisplaySettings(window);
  return -1;
}

int RestoreDisplaySettings(PlatformWindow* window) {
  LeavePlatformFullscreen(window);
  if (g_QuitFlag.load() == 0) {
    uint32_t style = (GetPlatformWindowStyle(window) | kFullscreenDropStyles) & ~kWindowStylePopup;
    if (g_ThickFrame == 0) style &= ~kWindowStyleThickFrame;
    SetPlatformWindowStyle(window, style);
  }
  RestoreOtherWindows();
  if (g_Maximized == 1) {
    int area[4] = {};
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    GetPlatformWindowClientSize(window, &width, &height);
    if (GetPlatformMonitorWorkArea(g_MainMonitorIndex, area)) {
      x = area[0] + (area[2] - area[0]) / 2 - width / 2;
      y = area[1] + (area[3] - area[1]) / 2 - height / 2;
    }
    SetPlatformWindowPosition(window, x, y);
    PostWindowMessage(window, kMsgSysCommand, kSysCommandRestore, 0);
  }
  // The menu bar comes back with the window's menus.
  return 0;
}

int EnterFullscreen(int) {
  WindowObject* object = MainObject();
  if (object == nullptr) return -1;
  PlatformWindow* window = object->mWindow;
  int monitor = FindWindowMonitor(window);
  SaveOtherWindows();
  g_fullscreenSaved = TakeSizes();
  ChooseFullscreenSize(monitor, object->mWidth, object->mHeight, &g_ConfiguredWidth, &g_ConfiguredHeight);
  ResizeBackBuffer(object->mWidth, object->mHeight, g_ConfiguredWidth, g_ConfiguredHeight);
  SetPlatformWindowStyle(window, (GetPlatformWindowStyle(window) | kWindowStylePopup) & ~kFullscreenDropStyles);
  if (ChangeToFullscreenMode(window, monitor) != 0) {
    // Still a window: the sizes and the back buffer of the window come back.
    PutSizes(g_fullscreenSaved);
    g_fullscreenSaved = SavedSizes();
    AllocBackBuffer(g_PresentWidth, g_PresentHeight);
    return -1;
  }
  // Full screen places the window on its monitor itself.
  NotifyWindowPosChanged(window);
  MoveCursorToMonitorCentre();
  return 0;
}

int LeaveFullscreen(int) {
  PlatformWindow* window = MainWindow();
  PutSizes(g_fullscreenSaved);
  g_fullscreenSaved = SavedSizes();
  RestoreDisplaySettings(window);
  if (g_GpuDrawing != 0) g_DeviceResetPending = 1;
  AllocBackBuffer(g_PresentWidth, g_PresentHeight);
  FindWindowMonitor(window);
  MoveCursorToMonitorCentre();
  return 0;
}

int SetFullscreenMode(int on) {
  uint8_t wanted = on != 0 ? 1 : 0;
  if (wanted == g_FullScreen) return 0;
  if (wanted != 0) {
    if (EnterFullscreen(0) != 0) return -1;
  } else {
    LeaveFullscreen(0);
    g_Maximized = 0;
  }
  g_FullScreen = wanted;
  return 1;
}

void GetWindowFrameExtra(PlatformWindow* window, int32_t* width, int32_t* height) {
  int extraWidth = 0;
  int extraHeight = 0;
  GetPlatformWindowFrameExtra(window, &extraWidth, &extraHeight);
  *width = extraWidth;
  *height = extraHeight;
}

void NotifyWindowPosChanged(PlatformWindow* window) { PostWindowMessage(window, kMsgWindowPosChanged, 0, 0); }

void OnGetMinMaxInfo(WindowObject* object, PlatformSizeLimits* limits) {
  if (object == nullptr || object->mIndex != 0 || !IsPlainWindow() || g_PresentWidth <= 0 || g_PresentHeight <= 0) {
    return;
  }
  double aspect = LogicalAspect();
  double largestWidth = g_DesktopWidth;
  double largestHeight = g_DesktopWidth / aspect;
  if (largestHeight > g_DesktopHeight) {
    largestWidth = g_DesktopHeight * aspect;
    largestHeight = g_DesktopHeight;
  }
  int64_t m = std::min(static_cast<int64_t>(largestWidth), static_cast<int64_t>(largestHeight));
  int64_t q = std::min(object->mWidth, object->mHeight) / 4;
  int32_t extraWidth = 0;
  int32_t extraHeight = 0;
  GetWindowFrameExtra(object->mWindow, &extraWidth, &extraHeight);
  if (extraWidth < 0 || extraHeight < 0) return;
  limits->mMinWidth = static_cast<int>(q * aspect) + extraWidth;
  limits->mMinHeight = static_cast<int>(q) + extraHeight;
  limits->mMaxWidth = static_cast<int>(m * aspect) + extraWidth;
  limits->mMaxHeight = static_cast<int>(m) + extraHeight;
  AllocBackBuffer(limits->mMaxWidth, limits->mMaxHeight);
}

void OnSizing(WindowObject* object, uint64_t edge, int32_t rect[4]) {
  if (object == nullptr || object->mIndex != 0) return;
  int32_t extraWidth = 0;
  int32_t extraHeight = 0;
  GetWindowFrameExtra(object->mWindow, &extraWidth, &extraHeight);
  double aspect = LogicalAspect();
  int64_t w = static_cast<int64_t>(rect[2]) - rect[0] - extraWidth;
  int64_t h = static_cast<int64_t>(rect[3]) - rect[1] - extraHeight;
  auto dW = static_cast<int32_t>(static_cast<int64_t>(h * aspect + 0.5) - w);
  auto dH = static_cast<int32_t>(static_cast<int64_t>(w / aspect + 0.5) - h);
  switch (edge) {
    case kEdgeLeft:
    case kEdgeRight:
      rect[3] += dH;
      break;
    case kEdgeTop:
    case kEdgeBottom:
      rect[2] += dW;
      break;
    case kEdgeTopLeft:
      if (dW > 0) {
        rect[0] -= dW;
      } else {
        rect[1] -= dH;
      }
      break;
    case kEdgeTopRight:
      if (dW > 0) {
        rect[2] += dW;
      } else {
        rect[1] -= dH;
      }
      break;
    case kEdgeBottomLeft:
      if (dW > 0) {
        rect[0] -= dW;
      } else {
        rect[3] += dH;
      }
      break;
    case kEdgeBottomRight:
      if (dW > 0) {
        rect[2] += dW;
      } else {
        rect[3] += dH;
      }
      break;
    default:
      break;
  }
}

// The Flash and movie windows follow the picture: their rectangles scaled by
// the given size over the logical size.
static void RepositionChildWindows(const WindowObject* object, int32_t width, int32_t height) {
  double scaleX = object->mWidth != 0 ? static_cast<double>(width) / object->mWidth : 1.0;
  double scaleY = object->mHeight != 0 ? static_cast<double>(height) / object->mHeight : 1.0;
  RepositionFlashWindow(scaleX, scaleY);
  RepositionMovieWindows(scaleX, scaleY);
}

static void FitWindowToItsSize(WindowObject* object) {
  PlatformWindow* window = object->mWindow;
  int32_t extraWidth = 0;
  int32_t extraHeight = 0;
  GetWindowFrameExtra(window, &extraWidth, &extraHeight);
  if (object->mIndex == 0 && IsPlainWindow() && g_FrameExtraChanged == 0) {
    // The user dragged the frame: the client area keeps the picture's aspect.
    int width = 0;
    int height = 0;
    if (!GetPlatformWindowClientSize(window, &width, &height)) return;
    if (g_DesktopWidth > 0) width = std::min(width, g_DesktopWidth);
    if (g_DesktopHeight > 0) height = std::min(height, g_DesktopHeight);
    double aspect = LogicalAspect();
    double available = height == 0 ? 1.0 : static_cast<double>(width) / height;
    if (aspect < available) {
      width = static_cast<int>(aspect * height + 0.5);
    } else {
      height = static_cast<int>(width / aspect + 0.5);
    }
    if (width <= 0 || height <= 0) return;
    int currentWidth = 0;
    int currentHeight = 0;
    GetPlatformWindowClientSize(window, &currentWidth, &currentHeight);
    if (currentWidth != width || currentHeight != height) SetPlatformWindowClientSize(window, width, height);
    g_ConfiguredWidth = g_PresentWidth = width;
    g_ConfiguredHeight = g_PresentHeight = height;
    AllocBackBuffer(g_PresentWidth, g_PresentHeight);
    RepositionChildWindows(object, g_PresentWidth, g_PresentHeight);
    return;
  }
  if (g_FrameExtraChanged != 0) {
    // The frame changed: the client area stays where it was on the desktop.
    g_FrameExtraChanged = 0;
    int x = 0;
    int y = 0;
    if (GetPlatformWindowPosition(window, &x, &y)) {
      SetPlatformWindowPosition(window, x + (g_FrameExtraWidth - extraWidth) / 2,
                                y + (g_FrameExtraHeight - extraHeight) / 2);
    }
  }
  if (g_FullScreen != 0 && object->mIndex == 0) return;  // full screen sizes the window itself
  int width = object->mIndex == 0 ? g_ConfiguredWidth : object->mWidth;
  int height = object->mIndex == 0 ? g_ConfiguredHeight : object->mHeight;
  int currentWidth = 0;
  int currentHeight = 0;
  GetPlatformWindowClientSize(window, &currentWidth, &currentHeight);
  if (width > 0 && height > 0 && (currentWidth != width || currentHeight != height)) {
    SetPlatformWindowClientSize(window, width, height);
  }
  if (object->mIndex == 0) RepositionChildWindows(object, g_ConfiguredWidth, g_ConfiguredHeight);
}

void OnSize(WindowObject* object) {
  if (object == nullptr) return;
  FitWindowToItsSize(object);
  // E-mote models are drawn with the camera of the new size from the next
  // GPU frame on.
  ResetEmoteCamera();
}

void SaveMaximizeSizes() { g_maximizeSaved = TakeSizes(); }

void OnWindowPosChanged(WindowObject* object) {
  if (object == nullptr || object->mIndex != 0 || g_FullScreen != 0) return;
  if (g_RestorePending != 0) {
    g_RestorePending = 0;
    g_Maximized = 0;
    PutSizes(g_maximizeSaved);
    g_maximizeSaved = SavedSizes();
    AllocBackBuffer(g_PresentWidth, g_PresentHeight);
    SetPlatformWindowClientSize(object->mWindow, g_ConfiguredWidth, g_ConfiguredHeight);
  }
  if (g_Maximized != 0) {
    int width = 0;
    int height = 0;
    if (!GetPlatformWindowClientSize(object->mWindow, &width, &height)) return;
    if (width != g_ConfiguredWidth || height != g_ConfiguredHeight) {
      g_ConfiguredWidth = width;
      g_ConfiguredHeight = height;
      ResizeBackBuffer(object->mWidth, object->mHeight, width, height);
    }
  }
}

void OnMove(WindowObject* object) {
  if (object == nullptr || object->mIndex != 0) return;
  int monitor = FindWindowMonitor(object->mWindow);
  if (monitor != g_MainMonitorIndex) {
    g_MainMonitorIndex = monitor;
    if (IsPlainWindow() && g_GpuDrawing != 0) g_DeviceResetPending = 1;
  }
}

void SaveOtherWindows() {}
void RestoreOtherWindows() {}

void ClearFullscreenState() {
  g_FullScreen = 0;
  g_fullscreenSaved = SavedSizes();
}

int DisableDesktopComposition() { return 0; }

void ResetDisplayState() {
  g_FullscreenBits = 32;
  g_FullScreen = 0;
  g_Maximized = 0;
  g_DeviceResetPending = 0;
  g_RestorePending = 0;
  std::memset(g_MonitorRect, 0, sizeof g_MonitorRect);
  g_MainMonitorIndex = 0;
  g_FrameExtraWidth = g_FrameExtraHeight = 0;
  g_FrameExtraChanged = 0;
  g_ScalingRule = 1;
  g_lastFitWritten = -1;
  g_fullscreenSaved = SavedSizes();
  g_maximizeSaved = SavedSizes();
  SetPlatformDisplayHooks(nullptr);
}
