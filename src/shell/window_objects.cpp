#include "shell/window_objects.h"

#include <cstring>

#include "core/process_state.h"
#include "core/sjis.h"
#include "oscmd/tray_icon.h"
#include "platform/dialogs.h"
#include "platform/window.h"
#include "script/engine_config.h"
#include "shell/frame.h"
#include "shell/input.h"
#include "shell/menus.h"

uint8_t g_InCloseQuestion;

namespace {

// The system command without its low four bits.
constexpr uint64_t kSysCommandMask = ~static_cast<uint64_t>(0xF);

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
    delete object;
    g_WindowTable[index] = nullptr;
    g_WindowIds[index] = -1;
  }
}

void ConstructWindowObject(WindowObject* object, int index) {
  *object = WindowObject();
  object->mIndex = index;
  object->mOpacity = 0;
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
  PlatformWindowDesc desc;
  desc.mClassName = className != nullptr ? className : "";
  desc.mTitle = title != nullptr ? title : "";
  desc.mWidth = object->mWidth;
  desc.mHeight = object->mHeight;
  PlatformWindow* window = CreatePlatformWindow(desc);
  if (window == nullptr) return 0;
  object->mClassRegistered = 1;
  object->mWindow = window;
  SetPlatformWindowUserData(window, object);
  return 1;
}

void DestroyGameWindow(WindowObject* object) {
  if (object == nullptr || object->mWindow == nullptr) return;
  SendWindowMessage(object->mWindow, kMsgDestroy, 0, 0);
  DestroyPlatformWindow(object->mWindow);
  object->mWindow = nullptr;
}

bool OnSysCommand(WindowObject* object, uint64_t command) {
  if ((command & kSysCommandMask) == kSysCommandClose) return CloseByState(object, false);
  return true;
}

int64_t MainWndProc(PlatformWindow* window, uint32_t message, uint64_t wParam, int64_t lParam) {
  (void)lParam;
  auto* object = static_cast<WindowObject*>(GetPlatformWindowUserData(window));
  if (object == nullptr) return 0;
  g_InWindowProc.fetch_add(1);
  int64_t result = 0;
  switch (message) {
    case kMsgSysCommand:
      // The system's own handling of a close command is the close message.
      if (OnSysCommand(object, wParam) && (wParam & kSysCommandMask) == kSysCommandClose) {
        SendWindowMessage(window, kMsgClose, 0, 0);
      }
      break;
    case kMsgClose:
      g_WindowIds[object->mIndex] = -1;
      DestroyGameWindow(object);
      break;
    case kMsgDestroy:
      if (object->mIndex == 0) RemoveTrayIcon();
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
