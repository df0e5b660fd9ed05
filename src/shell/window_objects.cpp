#include "shell/window_objects.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/alloc.h"
#include "core/display_state.h"
#include "core/errors.h"
#include "core/file_list.h"
#include "core/message_ids.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "layer/composition.h"
#include "layer/layer_record.h"
#include "movie/movie_window.h"
#include "oscmd/tray_icon.h"
#include "platform/dialogs.h"
#include "platform/input_devices.h"
#include "platform/text_codec.h"
#include "platform/window.h"
#include "render/present.h"
#include "script/engine_config.h"
#include "script/task_step.h"
#include "shell/appended_data.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "shell/input.h"
#include "shell/menu_presenter.h"
#include "shell/menus.h"

uint8_t g_InCloseQuestion;
uint8_t g_DragLayerOn;
ObjectTreeNode* g_DragLayerNode;
LayerRecord* g_DragLayerRecord;
uint8_t g_PauseOnWindowMove;
uint8_t g_BlockScreenSaver = 1;

namespace {

// The system command without its low four bits.
constexpr uint64_t kSysCommandMask = ~static_cast<uint64_t>(0xF);
constexpr int32_t kMaxCanvasSide = 8192;
// Tray icon notifications (lParam of kMsgTrayIcon).
constexpr int64_t kTrayLeftButtonDown = 0x0201;
constexpr int64_t kTrayLeftButtonDoubleClick = 0x0203;
constexpr int64_t kTrayRightButtonUp = 0x0205;

// A window the system minimised: its restore is not the restore of a
// maximised window.
uint8_t g_Minimised[kWindowCount];

bool AskCloseQuestion(WindowObject* object) {
  g_PausedByCloseQuestion = 1;
  RequestCursorShow();
  g_InCloseQuestion = 1;
  int answer = ShowPlatformMessageBox(object->mWindow, g_WindowTitle.c_str(), "終了します。よろしいですか？",
                                      kBoxYesNo | kBoxIconInformation);
  g_PausedByCloseQuestion = 0;
  g_InCloseQuestion = 0;
  return answer == kAnswerYes;
}

// What the close command does in a close state: true closes the window.
bool CloseByState(WindowObject* object, bool asked) {
  switch (object->mCloseState) {
    case 0:
      g_CloseRequest = 1;
      return false;
    case 1:
      if (!asked) {
        if (!AskCloseQuestion(object)) return false;
        // The state is read again: a script may have changed it meanwhile.
        return CloseByState(object, true);
      }
      // Still "ask" after a Yes: close as the answer said.
      g_QuitFlag.store(1);
      return true;
    case 3:
      return true;
    default:
      g_QuitFlag.store(1);
      return true;
  }
}

void FreeCanvas(WindowObject* object) {
  if (object->mCanvas == nullptr) return;
  FreeLayerRecord(object->mCanvas);
  object->mCanvas = nullptr;
}

// Frame extras are saved before the frame style changes, so the next size
// message keeps the client area in place.
void ChangeThickFrame(PlatformWindow* window, bool on) {
  GetWindowFrameExtra(window, &g_FrameExtraWidth, &g_FrameExtraHeight);
  g_FrameExtraChanged = 1;
  uint32_t style = GetWindowStyle(window);
  SetWindowStyle(window, on ? style | kWindowStyleThickFrame : style & ~kWindowStyleThickFrame);
}

// The position of a layer in its window: its own and its enclosing groups'
// positions, up to and without the tree root.
void AbsoluteLayerPosition(const ObjectTreeNode* node, const LayerRecord* record, int64_t* x, int64_t* y) {
  *x = record->mX;
  *y = record->mY;
  if (node == nullptr) return;
  for (const ObjectTreeNode* group = node->mParent; group != nullptr && group->mParent != nullptr;
       group = group->mParent) {
    const auto* groupRecord = static_cast<const LayerRecord*>(group->mPayload);
    if (groupRecord == nullptr) continue;
    *x += groupRecord->mX;
    *y += groupRecord->mY;
  }
}

// The system carried out the command already: a refused one is undone.
void ApplySysCommand(WindowObject* object, uint64_t command, bool accepted) {
  PlatformWindow* window = object->mWindow;
  int index = object->mIndex;
  switch (command) {
    case kSysCommandClose:
      // The system's own handling of a close command is the close message.
      if (accepted) SendWindowMessage(window, kMsgClose, 0, 0);
      break;
    case kSysCommandMinimize:
      if (!accepted) {
        if (IsPlatformWindowMinimized(window)) RestorePlatformWindow(window);
      } else {
        g_Minimised[index] = 1;
        object->mActive = 0;
      }
      break;
    case kSysCommandMaximize:
      if (!accepted) {
        if (IsPlatformWindowMaximized(window)) RestorePlatformWindow(window);
      } else {
        SendWindowMessage(window, kMsgWindowPosChanged, 0, 0);
      }
      break;
    case kSysCommandRestore:
      g_Minimised[index] = 0;
      if (accepted) SendWindowMessage(window, kMsgWindowPosChanged, 0, 0);
      break;
    default:
      break;
  }
}

}  // namespace

int CreateWindowObjects() {
  for (int index = 0; index < kWindowCount; ++index) {
    g_WindowIds[index] = -1;
    if (g_WindowTable[index] == nullptr) g_WindowTable[index] = new WindowObject;
    ConstructWindowObject(g_WindowTable[index], index);
  }
  return 0;
}

void ReleaseWindowObjects() {
  for (int index = 0; index < kWindowCount; ++index) {
    WindowObject* object = g_WindowTable[index];
    if (object == nullptr) continue;
    if (object->mWindow != nullptr) DestroyPlatformWindow(object->mWindow);
    FreeCanvas(object);
    delete object;
    g_WindowTable[index] = nullptr;
    g_WindowIds[index] = -1;
  }
  std::memset(g_Minimised, 0, sizeof g_Minimised);
  g_DragLayerOn = 0;
  g_DragLayerNode = nullptr;
  g_DragLayerRecord = nullptr;
  g_DragRequestWindow = 0;
  g_DragRequestPosition = 0;
  g_PauseOnWindowMove = 0;
  g_BlockScreenSaver = 1;
}

void ConstructWindowObject(WindowObject* object, int index) {
  *object = WindowObject();
  object->mIndex = index;
  object->mOpacity = 0;
  g_WheelDelta = 0;
  g_MouseMoved = 0;
}

void SetUpWindowObject(WindowObject* object, const char* title) {
  object->mViewRect[0] = 0;
  object->mViewRect[1] = 0;
  object->mViewRect[2] = object->mWidth;
  object->mViewRect[3] = object->mHeight;
  CopySjisBounded(object->mTitle, sizeof object->mTitle, title != nullptr ? title : "");
  if (object->mIndex != 0) object->mDisplayState = 1;
  object->mOpacity = 256;
  object->mCloseState = 1;
  object->mMinimiseAllowed = 1;
  object->mMaximiseAllowed = object->mIndex == 0 ? 1 : 0;
  object->mShowCursorOnMove = 1;
  object->mShowCursorOnButtons = 1;
  object->mShowCursorOnWheel = 1;
}

int CreateGameWindow(WindowObject* object, int, const char* className, const char* title) {
  bool main = object->mIndex == 0;
  uint32_t style = kWindowStyleCaption | kWindowStyleSysMenu | kWindowStyleMinimizeBox | kWindowStyleMaximizeBox |
                   kWindowStyleClipChildren;
  if (main && g_ThickFrame != 0) style |= kWindowStyleThickFrame;
  if (main && g_WindowStyleSwitch == 0) style = kWindowStylePopup | kWindowStyleClipChildren;
  PlatformWindowDesc desc;
  desc.mClassName = className != nullptr ? className : "";
  desc.mTitle = title != nullptr ? title : "";
  desc.mWidth = object->mWidth;
  desc.mHeight = object->mHeight;
  // The extended styles: a screen saver stays above the other windows; with
  // any other switch value the main window is a tool window.
  if (g_WindowStyleSwitch == 1) {
    desc.mTopmost = g_ScreenSaverMode != 0;
  } else {
    desc.mToolWindow = main;
  }
  desc.mX = 0;
  desc.mY = 0;
  int area[4] = {};
  if ((main || g_WindowStyleSwitch == 0) && GetPlatformMonitorWorkArea(0, area)) {
    // Centred in the work area.
    desc.mX = area[0] + (area[2] - area[0]) / 2 - object->mWidth / 2;
    desc.mY = area[1] + (area[3] - area[1]) / 2 - object->mHeight / 2;
  }
  PlatformWindow* window = CreatePlatformWindow(desc);
  if (window == nullptr) return 0;
  object->mClassRegistered = 1;
  object->mWindow = window;
  SetPlatformWindowStyle(window, style);
  SetPlatformWindowUserData(window, object);
  if (main && g_WindowStyleSwitch == 0) {
    SetPlatformWindowTopmost(window, false);
  } else {
    SetWindowZOrder(window, ZOrderPlace::kTop);
  }
  if (AllocWindowCanvas(object->mIndex, object->mWidth, object->mHeight) != 0) return 0;
  if (main && (style & kWindowStyleThickFrame) != 0) SendWindowMessage(window, kMsgGetMinMaxInfo, 0, 0);
  return 1;
}

void DestroyGameWindow(WindowObject* object) {
  if (object == nullptr || object->mWindow == nullptr) return;
  SendWindowMessage(object->mWindow, kMsgDestroy, 0, 0);
  DestroyPlatformWindow(object->mWindow);
  object->mWindow = nullptr;
}

int AllocWindowCanvas(int index, int32_t width, int32_t height) {
  if (index < 0 || index >= kWindowCount || g_WindowTable[index] == nullptr) return 1;
  WindowObject* object = g_WindowTable[index];
  FreeCanvas(object);
  // Both sides are bounded: a tall canvas overflows its block as a wide one.
  if (width < 1 || height < 1 || width > kMaxCanvasSide || height > kMaxCanvasSide) {
    ShowMessageBox("", "ＣＧサイズが大きすぎます。X=%d, Y=%d", width, height);
    ReportError(kMsgOutOfMemory);
    return 1;
  }
  auto* record = new LayerRecord();
  std::memset(record->mChangedRect, 0, sizeof record->mChangedRect);
  record->mWidth = record->mBufferWidth = width;
  record->mHeight = record->mBufferHeight = height;
  record->mVisible = 1;
  record->mOpacity = 256;
  record->mRuleThreshold = 256;
  record->mSaturation = 128;
  record->mTone = 0x808080;
  record->mHasAlpha = 0;
  size_t rowBytes = static_cast<size_t>(width) * 4;
  auto* pixels = static_cast<uint8_t*>(AllocZeroed(rowBytes + rowBytes * static_cast<size_t>(height) + 4));
  if (pixels == nullptr) {
    delete record;
    ReportError(kMsgNoMemoryForFile);
    ReportError(kMsgOutOfMemory);
    return 1;
  }
  record->mPixelAlloc = record->mPixels = pixels;
  object->mCanvas = record;
  return 0;
}

void RepaintWindowObject(WindowObject* object) {
  if (object == nullptr || object->mShownLayerSet == nullptr || object->mCanvas == nullptr) return;
  auto* root = LayerRecordOf(object->mShownLayerSet);
  if (root == nullptr) return;
  root->mChangedRect[0] = 0;
  root->mChangedRect[1] = 0;
  root->mChangedRect[2] = object->mWidth - 1;
  root->mChangedRect[3] = object->mHeight - 1;
  PresentWindowFrame(object, root);
  root->mDirty = 1;
}

bool IsUnscaledWindowMode(const WindowObject*) { return g_FullScreen == 0 && g_Maximized == 0; }

void MoveWindowTo(PlatformWindow* window, int x, int y) { SetPlatformWindowPosition(window, x, y); }

uint32_t GetWindowStyle(PlatformWindow* window) { return GetPlatformWindowStyle(window); }

void SetWindowStyle(PlatformWindow* window, uint32_t style) {
  SetPlatformWindowStyle(window, style);
  NotifyWindowPosChanged(window);
}

void SetWindowZOrder(PlatformWindow* window, ZOrderPlace place, PlatformWindow* insertAfter) {
  switch (place) {
    case ZOrderPlace::kTop: RestackPlatformWindow(window, PlatformStackPlace::kTop); break;
    case ZOrderPlace::kBottom: RestackPlatformWindow(window, PlatformStackPlace::kBottom); break;
    case ZOrderPlace::kBehind: RestackPlatformWindow(window, PlatformStackPlace::kBelow, insertAfter); break;
  }
}

int FlashGameWindow(PlatformWindow* window, uint32_t timeout, uint32_t count) {
  uint64_t duration = static_cast<uint64_t>(count) * (timeout != 0 ? timeout : kCursorBlinkMs);
  return FlashPlatformWindow(window, static_cast<uint32_t>(std::min<uint64_t>(duration, UINT32_MAX))) ? 0 : -1;
}

bool BuildRegionFromBitmap(const uint8_t* pixels, int32_t width, int32_t height, std::vector<PlatformRect>* rects) {
  rects->clear();
  if (pixels == nullptr || width < 1 || height < 1) return true;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  auto opaqueBlack = [](const uint8_t* pixel) {
    return pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0 && pixel[3] == 0xFF;
  };
  // Row y of the region is row y of the image (rows are stored top-down).
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = pixels + rowBytes * static_cast<size_t>(y);
    int32_t x = 0;
    while (x < width) {
      while (x < width && opaqueBlack(row + static_cast<size_t>(x) * 4)) ++x;
      if (x >= width) break;
      int32_t start = x;
      while (x < width && !opaqueBlack(row + static_cast<size_t>(x) * 4)) ++x;
      if (rects->size() + 1 >= kMaxRegionRects) {
        rects->clear();
        return false;
      }
      rects->push_back({start, y, x, y + 1});
    }
  }
  return true;
}

int SetWindowRegionFromLayer(PlatformWindow* window, const LayerRecord* record) {
  if (record == nullptr || record->mPixels == nullptr || record->mWidth < 1 || record->mHeight < 1) return -1;
  const size_t count = static_cast<size_t>(record->mWidth) * static_cast<size_t>(record->mHeight);
  // The colour of every pixel with its alpha made opaque.
  std::vector<uint8_t> opaque(record->mPixels, record->mPixels + count * 4);
  for (size_t pixel = 0; pixel < count; ++pixel) opaque[pixel * 4 + 3] = 0xFF;
  std::vector<PlatformRect> rects;
  if (!BuildRegionFromBitmap(opaque.data(), record->mWidth, record->mHeight, &rects)) return -1;
  // Where windows cannot be shaped the shape is worked out and not applied.
  SetPlatformWindowShape(window, rects.data(), static_cast<int>(rects.size()));
  return 0;
}

void AcceptDroppedFiles(PlatformDrop* drop) {
  size_t count = std::min(CountDroppedFiles(drop), kMaxFileListEntries);
  std::vector<std::string> entries;
  entries.reserve(count);
  for (size_t index = 0; index < count; ++index) {
    std::string path;
    // A name the engine's text cannot hold, or one longer than an entry, is
    // left out rather than cut or garbled.
    if (!TryConvertUtf8ToCp932(GetDroppedFile(drop, index), path)) continue;
    if (IsDroppedFileFolder(drop, index)) path += '\\';
    if (path.size() >= kFileListEntryBytes) continue;
    entries.push_back(std::move(path));
  }
  ReplaceFileList(std::move(entries));
  FinishPlatformDrop(drop);
}

bool OnTrayIconMessage(WindowObject* object, int index, PlatformWindow* window, uint64_t wParam, int64_t lParam) {
  if (index != 0 || wParam != kTrayIconId) return false;
  if (lParam == kTrayLeftButtonDown) {
    RaisePlatformWindow(window);
    RepaintWindowObject(object);
  } else if (lParam == kTrayLeftButtonDoubleClick || lParam == kTrayRightButtonUp) {
    RaisePlatformWindow(GetMainPlatformWindow());
    FlagWindowLayerFullyDirty(0);
    g_PendingPopup = 2;
    int x = 0;
    int y = 0;
    GetCursorDesktopPosition(&x, &y);
    g_PendingPopupX = x - g_PaintOffset.mX;
    g_PendingPopupY = y - g_PaintOffset.mY;
  }
  return true;
}

bool OnSysCommand(WindowObject* object, uint64_t command) {
  if (command == kSizeResetCommand) {
    if (g_GpuDrawing != 0) g_DeviceResetPending = 1;
    g_LastMenuCommand = static_cast<int64_t>(kSizeResetCommand);
    return false;
  }
  bool main = object->mIndex == 0;
  switch (command & kSysCommandMask) {
    case kSysCommandMinimize:
      g_MinimizeRequest = static_cast<uint8_t>(object->mIndex + 1);
      return object->mMinimiseAllowed != 0;
    case kSysCommandScreenSave:
      if (g_ScreenSaverMode != 0) return true;
      return g_BlockScreenSaver == 0;
    case kSysCommandClose:
      return CloseByState(object, false);
    case kSysCommandMaximize:
      g_MaximizeRequest = static_cast<uint8_t>(object->mIndex + 1);
      if (object->mMaximiseAllowed == 0) return false;
      if (!main || g_FullScreen != 0) return true;
      if (g_ThickFrame == 0) ChangeThickFrame(object->mWindow, true);
      g_Maximized = 1;
      SaveMaximizeSizes();
      if (g_GpuDrawing != 0) g_DeviceResetPending = 1;
      return true;
    case kSysCommandRestore:
      if (main && g_Minimised[0] == 0 && g_FullScreen == 0) {
        if (g_ThickFrame == 0) ChangeThickFrame(object->mWindow, false);
        // Only a maximised window has sizes to restore.
        if (g_Maximized != 0) g_RestorePending = 1;
      }
      return true;
    default:
      return true;
  }
}

void OnLeftButtonDown(WindowObject* object, uint64_t, int64_t lParam) {
  g_LastMouseButton = 1;
  g_InputRaw[1] = 0x80;
  const LayerRecord* layer = g_DragLayerRecord;
  if (g_DragLayerOn == 0 || layer == nullptr || layer->mPixels == nullptr) return;
  // The cursor is tested against the layer where it lies in the window, and
  // the pixel read is the one under the cursor.
  int64_t left = 0;
  int64_t top = 0;
  AbsoluteLayerPosition(g_DragLayerNode, layer, &left, &top);
  int64_t x = static_cast<int64_t>(object->mCursorX) - left;
  int64_t y = static_cast<int64_t>(object->mCursorY) - top;
  if (x < 0 || y < 0 || x >= layer->mWidth || y >= layer->mHeight) return;
  const uint8_t* pixel = layer->mPixels + (static_cast<size_t>(y) * static_cast<size_t>(layer->mWidth) +
                                           static_cast<size_t>(x)) * 4;
  uint32_t colour = pixel[0] + pixel[1] * 256u + pixel[2] * 65536u;
  if (colour == 0) return;
  g_DragRequestWindow = static_cast<uint8_t>(object->mIndex + 1);
  g_DragRequestPosition = lParam;
}

void InvalidateRequestedWindows() {
  for (int index = 0; index < kWindowCount; ++index) {
    uint8_t request = g_WindowPresentRequest[index];
    if (request == kPresentNone) continue;
    g_WindowPresentRequest[index] = kPresentNone;
    WindowObject* object = g_WindowTable[index];
    if (object == nullptr || object->mWindow == nullptr) continue;
    // A hidden window is painted black at once; a changed one is presented
    // when its paint message arrives.
    if (request == kPresentBlack) {
      FillPlatformWindow(object->mWindow, 0);
    } else {
      InvalidatePlatformWindow(object->mWindow);
    }
  }
}

int64_t MainWndProc(PlatformWindow* window, uint32_t message, uint64_t wParam, int64_t lParam) {
  // Open menus take the messages of their windows and of the main window.
  if (MenuPresenterTakesMessage(window, message, wParam, lParam)) return 0;
  auto* object = static_cast<WindowObject*>(GetPlatformWindowUserData(window));
  if (object == nullptr) return 0;
  g_InWindowProc.fetch_add(1);
  int64_t result = 0;
  bool main = object->mIndex == 0;
  switch (message) {
    case kMsgEraseBackground:
      break;
    case kMsgPaint:
      RepaintWindowObject(object);
      // A movie over the window stays on top of the picture.
      if (main) DrawMovieWindowFrame();
      if (main) RedrawMenuBand();
      break;
    case kMsgMove:
      OnMove(object);
      if (main) SendWindowMessage(window, kMsgGetMinMaxInfo, 0, 0);
      break;
    case kMsgSizing:
      if (main && lParam != 0) OnSizing(object, wParam, reinterpret_cast<int32_t*>(lParam));
      break;
    case kMsgGetMinMaxInfo: {
      PlatformSizeLimits limits;
      bool given = lParam != 0;
      PlatformSizeLimits* target = given ? reinterpret_cast<PlatformSizeLimits*>(lParam) : &limits;
      OnGetMinMaxInfo(object, target);
      if (target->mMaxWidth > 0 && target->mMaxHeight > 0) {
        int extraWidth = 0;
        int extraHeight = 0;
        GetPlatformWindowFrameExtra(window, &extraWidth, &extraHeight);
        SetPlatformWindowSizeLimits(window, target->mMinWidth - extraWidth, target->mMinHeight - extraHeight,
                                    target->mMaxWidth - extraWidth, target->mMaxHeight - extraHeight);
      }
      break;
    }
    case kMsgSize:
      OnSize(object);
      break;
    case kMsgWindowPosChanged:
      OnWindowPosChanged(object);
      break;
    case kMsgCommand:
      g_LastMenuCommand = static_cast<int64_t>(wParam & 0xFFFF);
      break;
    case kMsgSysCommand: {
      uint64_t command = wParam == kSizeResetCommand ? wParam : wParam & kSysCommandMask;
      ApplySysCommand(object, command, OnSysCommand(object, wParam));
      break;
    }
    case kMsgActivate:
      object->mActive = (wParam & 0xFFFF) != 0 && g_Minimised[object->mIndex] == 0 ? 1 : 0;
      RepaintWindowObject(object);
      break;
    case kMsgActivateApp:
      RepaintWindowObject(object);
      break;
    case kMsgDropFiles:
      AcceptDroppedFiles(reinterpret_cast<PlatformDrop*>(wParam));
      break;
    case kMsgTrayIcon:
      OnTrayIconMessage(object, object->mIndex, window, wParam, lParam);
      break;
    case kMsgKeyDown:
      g_LastKeyDown = static_cast<uint32_t>(wParam);
      break;
    case kMsgSysKeyDown:
      // F10 and Alt open the menu bar and Alt+Space the window menu (the
      // menu presenter, above); Alt+F4 arrives as the close command.
      break;
    case kMsgMouseMove:
      g_MouseMoved = 0x80;
      break;
    case kMsgLeftButtonDown:
      OnLeftButtonDown(object, wParam, lParam);
      break;
    case kMsgRightButtonDown:
      g_LastMouseButton = 2;
      g_InputRaw[2] = 0x80;
      break;
    case kMsgMiddleButtonDown:
      g_LastMouseButton = 4;
      g_InputRaw[4] = 0x80;
      break;
    case kMsgMouseWheel:
      g_WheelDelta = static_cast<int16_t>(static_cast<uint16_t>((wParam >> 16) & 0xFFFF));
      break;
    case kMsgNcLeftButtonDown:
      if (g_PauseOnWindowMove != 0 && wParam == kHitCaption) BeginInactivePause();
      break;
    case kMsgNcLeftButtonUp:
    case kMsgLeftButtonUp:
    case kMsgExitSizeMove:
      if (g_PauseOnWindowMove != 0 && g_InactivePause != 0) EndInactivePause();
      break;
    case kMsgNcLeftButtonDoubleClick:
      if (g_CaptionDoubleClickToScript != 0 && !(main && g_Maximized != 0)) {
        g_CaptionDoubleClick = static_cast<uint8_t>(object->mIndex + 1);
      }
      break;
    case kMsgDirectShowEvent:
      if (main) OnDirectShowEventMessage(wParam, lParam);
      break;
    case kMsgMciNotify:
    case kMsgUser + 200:
      if (main) OnMciNotifyMessage(wParam, lParam);
      break;
    case kMsgMovieFrame:
      if (main) DrawMovieWindowFrame();
      break;
    case kMsgClose:
      g_WindowIds[object->mIndex] = -1;
      DestroyGameWindow(object);
      break;
    case kMsgDestroy:
      if (main) {
        RemoveTrayIcon();
        SetPlatformWindowShape(window, nullptr, 0);
      }
      if (object->mCloseState != 3) {
        DestroyMenuBarSet();
        PostQuitMessage(0);
      }
      break;
    default:
      break;
  }
  g_InWindowProc.fetch_sub(1);
  return result;
}
