// The commands that tune the shell at run time: frame rate, input switches,
// the mouse cursor, the screen-saver block, background running, the logical
// screen size and the stopwatch run switches.
#include <cstdint>
#include <mutex>

#include "core/display_state.h"
#include "core/errors.h"
#include "core/input_state.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "core/stopwatches.h"
#include "core/window_table.h"
#include "layer/layer_record.h"
#include "platform/clock.h"
#include "platform/cursors.h"
#include "platform/input_devices.h"
#include "platform/window.h"
#include "render/direct3d.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/task_step.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "shell/startup.h"
#include "shell/switch_commands.h"
#include "shell/window_objects.h"

namespace {

constexpr int kFrameRateSlot = 28;
constexpr int kInputEnableSlot = 49;
constexpr int kMouseSlot = 69;
constexpr int kScreenAndTimersSlot = 93;
constexpr int kValidateOnly101Slot = 101;

// The cursor made from a layer; replaced by the next one.
PlatformCursor* g_LayerCursor = nullptr;
int32_t g_CursorHotX = 0;
int32_t g_CursorHotY = 0;


// The cursor's place in the main window's client area; false without one.
bool CursorInClient(PlatformWindow* window, int* x, int* y, int* originX, int* originY) {
  int desktopX = 0;
  int desktopY = 0;
  if (!GetClientOrigin(window, originX, originY) || !GetCursorDesktopPosition(&desktopX, &desktopY)) return false;
  *x = desktopX - *originX;
  *y = desktopY - *originY;
  return true;
}

void MoveCursorInClient(WindowObject* main, int64_t x, int64_t y, bool setX) {
  int currentX = 0;
  int currentY = 0;
  int originX = 0;
  int originY = 0;
  if (!CursorInClient(main->mWindow, &currentX, &currentY, &originX, &originY)) return;
  int targetX = setX ? static_cast<int>(x) + g_PaintOffset.mX : currentX;
  int targetY = setX ? currentY : static_cast<int>(y) + g_PaintOffset.mY;
  SetGlobalCursorPosition(originX + targetX, originY + targetY);
}

void SetCursorMode(WindowObject* main, int64_t value) {
  switch (static_cast<uint8_t>(value)) {
    case 0:
      if (g_CursorShown != 0) {
        g_CursorRequest = 2;
        g_CursorShown = 0;
      }
      main->mCursorIdleArmed = 0;
      g_CursorAutoHide = 0;
      break;
    case 1:
      if (main->mCursorIdleArmed == 0 && g_CursorShown == 0) {
        g_CursorRequest = 1;
        g_CursorShown = 1;
      }
      g_CursorAutoHide = 1;
      break;
    case 2:
      g_CursorRequest = 1;
      g_CursorShown = 1;
      main->mCursorIdleArmed = 0;
      g_CursorAutoHide = 0;
      break;
    default:
      break;
  }
}

SystemCursor CursorShapeOf(int64_t value) {
  return (value >= 1 && value <= 13) ? static_cast<SystemCursor>(value) : SystemCursor::kArrow;
}

void SetStopwatchRunning(int k, int64_t value) {
  // The pause code shifts the bases under the lock; so do these switches.
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  auto v = static_cast<uint8_t>(value);
  if (g_StopwatchPausable[k] == 1 && v == 0) {
    g_StopwatchPausable[k] = 0;
    g_StopwatchPauseStart[k] = GetTimeMs();
  } else if (g_StopwatchPausable[k] == 0 && v == 1) {
    g_StopwatchPausable[k] = 1;
    g_StopwatchBase[k] += GetTimeMs() - static_cast<uint32_t>(g_StopwatchPauseStart[k]);
    g_StopwatchPauseStart[k] = 0;
  }
}

void SetLogicalScreenSize(int32_t width, int32_t height) {
  g_ClientWidth = width;
  g_ClientHeight = height;
  WindowObject* main = g_WindowTable[0];
  if (main != nullptr) {
    main->mWidth = width;
    main->mHeight = height;
  }
  if (g_FullScreen == 0 && g_Maximized == 0) {
    g_ConfiguredWidth = width;
    g_ConfiguredHeight = height;
    g_PresentWidth = width;
    g_PresentHeight = height;
  } else {
    ResizeBackBuffer(width, height, g_ConfiguredWidth, g_ConfiguredHeight);
    if (main != nullptr) BlankWindow(main);
  }
  // The device's back buffer and read-back have the logical size: make it
  // again at the new one now.
  if (g_GpuDrawing != 0) ResetDirect3DDevice();
}

}  // namespace

void SetFrameRate(int32_t fps) {
  // The pacing divides by the rate: a rate below 1 paces as 1.
  g_FrameRate = fps < 1 ? 1 : fps;
  g_ShownStepRate = g_StepsThisSecond;
  g_ShownDrawRate = g_DrawnThisSecond;
  g_StepsThisSecond = 0;
  g_DrawnThisSecond = 0;
  g_SecondStart = GetTimeMs();
}

void BlankWindow(WindowObject* window) {
  if (window == nullptr || window->mWindow == nullptr) return;
  static const unsigned char kBlack[4] = {0, 0, 0, 0};
  PlatformBlit blit;
  blit.mPixels = kBlack;
  blit.mImageWidth = 1;
  blit.mImageHeight = 1;
  blit.mSrcWidth = 1;
  blit.mSrcHeight = 1;
  blit.mDstWidth = g_ConfiguredWidth;
  blit.mDstHeight = g_ConfiguredHeight;
  BlitToPlatformWindow(window->mWindow, blit);
}

int CreateCursorFromLayer(const LayerRecord* layer, int32_t width, int32_t height, int32_t hotX, int32_t hotY,
                          PlatformCursor** cursor) {
  *cursor = nullptr;
  if (layer == nullptr || layer->mWidth != width || layer->mHeight != height || layer->mPixels == nullptr) {
    ShowMessageBox(nullptr, "CURSOR ERR.\r\nレイヤサイズが %dx%d ではありません。", width, height);
    return -1;
  }
  *cursor = CreatePixelCursor(layer->mPixels, width, height, hotX, hotY);
  if (*cursor == nullptr) {
    ShowMessageBox(nullptr, "CURSOR CreateIconIndirect エラー");
    return -1;
  }
  return 0;
}

int32_t CmdFrameRate() {
  if (FetchCommandArguments(kFrameRateSlot) != 0) return -1;
  if (HasArg(0)) SetFrameRate(static_cast<int32_t>(ArgInt(0)));
  if (HasArg(1)) g_FrameSkip = static_cast<int32_t>(ArgInt(1));
  return 0;
}

int32_t CmdInputEnable() {
  if (FetchCommandArguments(kInputEnableSlot) != 0) return -1;
  if (HasArg(0)) g_KeyboardInputOn = static_cast<uint8_t>(ArgInt(0));
  if (HasArg(1)) g_JoystickInputOn = static_cast<uint8_t>(ArgInt(1));
  if (HasArg(2)) {
    auto on = static_cast<uint8_t>(ArgInt(2));
    if (g_MouseInputOn == 1 && on == 0) {
      g_CursorRequest = 2;
      g_CursorShown = 0;
    } else if (g_MouseInputOn == 0 && on == 1) {
      g_CursorRequest = 1;
      g_CursorShown = 1;
    }
    g_MouseInputOn = on;
  }
  return 0;
}

int32_t CmdMouse() {
  if (FetchCommandArguments(kMouseSlot) != 0) return -1;
  WindowObject* main = g_WindowTable[0];
  if (main == nullptr) return 0;
  if (HasArg(0)) SetCursorMode(main, ArgInt(0));
  if (HasArg(1)) g_CursorIdleDelay = static_cast<int32_t>(ArgInt(1));
  if (HasArg(2)) main->mShowCursorOnMove = static_cast<uint8_t>(ArgInt(2));
  if (HasArg(3)) main->mShowCursorOnButtons = static_cast<uint8_t>(ArgInt(3));
  if (HasArg(4)) main->mShowCursorOnWheel = static_cast<uint8_t>(ArgInt(4));
  if (HasArg(5)) {
    main->mCursorX = static_cast<int32_t>(ArgInt(5));
    MoveCursorInClient(main, main->mCursorX, 0, true);
  }
  if (HasArg(6)) {
    main->mCursorY = static_cast<int32_t>(ArgInt(6));
    MoveCursorInClient(main, 0, main->mCursorY, false);
  }
  if (HasArg(7)) SetSystemCursorShape(CursorShapeOf(ArgInt(7)));
  if (HasArg(8)) g_CursorHotX = static_cast<int16_t>(ArgInt(8));
  if (HasArg(9)) g_CursorHotY = static_cast<int16_t>(ArgInt(9));
  if (HasArg(10)) {
    const char* text = g_ArgString[ArgSlot(10)];
    char path[kObjectPathBytes];
    if (NormalizeObjectPath(path, text != nullptr ? text : "", g_LayerPathBase, 0) < 0) return -1;
    ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, path, kPathAny);
    if (node == nullptr || node->mPayload == nullptr) return 0;
    const auto* layer = static_cast<const LayerRecord*>(node->mPayload);
    DestroyPixelCursor(g_LayerCursor);
    g_LayerCursor = nullptr;
    PlatformCursor* cursor = nullptr;
    if (CreateCursorFromLayer(layer, layer->mWidth, layer->mHeight, g_CursorHotX, g_CursorHotY, &cursor) == 0) {
      g_LayerCursor = cursor;
      SetPixelCursor(cursor);
    }
  }
  return 0;
}

int32_t CmdScreenAndTimers() {
  if (FetchCommandArguments(kScreenAndTimersSlot) != 0) return -1;
  if (HasArg(0)) g_BlockScreenSaver = static_cast<uint8_t>(ArgInt(0));
  if (HasArg(1)) {
    const WindowObject* main = g_WindowTable[0];
    if (main != nullptr && main->mActive != 0) g_RunInBackground = static_cast<uint8_t>(ArgInt(1));
  }
  if (HasArg(2) && HasArg(3) && ArgInt(2) > 0 && ArgInt(3) > 0) {
    SetLogicalScreenSize(static_cast<int32_t>(ArgInt(2)), static_cast<int32_t>(ArgInt(3)));
  }
  for (int k = 0; k < kStopwatchCount; ++k) {
    if (HasArg(4 + k)) SetStopwatchRunning(k, ArgInt(4 + k));
  }
  return 0;
}

int32_t CmdValidateOnly101() { return FetchCommandArguments(kValidateOnly101Slot) != 0 ? -1 : 0; }

void ResetSwitchCommandState() {
  DestroyPixelCursor(g_LayerCursor);
  g_LayerCursor = nullptr;
  g_CursorHotX = 0;
  g_CursorHotY = 0;
  ResetCursorShapes();
}
