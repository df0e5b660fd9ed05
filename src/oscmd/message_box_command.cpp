// The message box command: a box with buttons and an icon, or the one-line
// input dialog.
#include <cstdint>
#include <string>

#include "core/sjis.h"
#include "core/window_table.h"
#include "oscmd/shell_links.h"
#include "platform/dialogs.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/variables.h"

namespace {

constexpr int kMessageBoxSlot = 10;
// The dialog's answer buffer, terminator included.
constexpr int64_t kDialogTextBytes = 4096;


void WriteAnswer(int64_t value) {
  if (int slot = ArgSlot(11); slot != 0) SetNumberElement(static_cast<uint32_t>(g_ArgVarId[slot]), g_ArgVarElement[slot], value);
}

uint32_t BoxStyle() {
  uint32_t buttons = HasArg(15) ? kBoxYesNoCancel : HasArg(14) ? kBoxYesNo : HasArg(13) ? kBoxOkCancel : kBoxOk;
  uint32_t icon = 0;
  switch (ArgInt(19)) {
    case 1: icon = kBoxIconInformation; break;
    case 2: icon = kBoxIconQuestion; break;
    case 3: icon = kBoxIconWarning; break;
    case 4: icon = kBoxIconError; break;
    default: break;
  }
  int64_t defaultButton = ArgInt(18);
  uint32_t button = 0;
  if (defaultButton == 2) button = kBoxDefaultSecond;
  if (defaultButton == 3) button = kBoxDefaultThird;
  return buttons | icon | button;
}

// The script's answer numbers: OK and Yes 1, Cancel 2 beside OK, No 2 and
// Cancel 3 beside Yes and No.
int64_t ScriptAnswer(uint32_t buttons, int answer) {
  bool yesNo = buttons == kBoxYesNo || buttons == kBoxYesNoCancel;
  switch (answer) {
    case kAnswerOk: return 1;
    case kAnswerYes: return 1;
    case kAnswerNo: return 2;
    case kAnswerCancel: return yesNo ? 3 : 2;
    default: return 0;
  }
}

}  // namespace

int32_t CmdMessageBox() {
  if (FetchCommandArguments(kMessageBoxSlot) != 0) return -1;
  if (HasArg(20)) return 0;
  if (g_OsShellLinks.mShowCursor != nullptr) g_OsShellLinks.mShowCursor();
  if (HasArg(16)) {
    TextDialogRequest request;
    request.mKind = TextDialogKind::kInput;
    request.mCaption = ArgText(0);
    request.mPrompt = ArgText(1);
    request.mText = ArgText(9);
    int64_t maxLength = ArgInt(17);
    request.mMaxLength = maxLength > 0 && maxLength < kDialogTextBytes ? static_cast<int32_t>(maxLength) : 0;
    std::string answer;
    if (RunTextDialog(GetMainPlatformWindow(), request, &answer) == kDialogFailed) return -1;
    answer.resize(SjisCutLength(answer, kDialogTextBytes - 1));
    WriteAnswer(1);
    if (int slot = ArgSlot(10); slot != 0) {
      SetStringElementBytes(static_cast<uint32_t>(g_ArgVarId[slot]), g_ArgVarElement[slot], answer.data(), answer.size());
    }
    return 0;
  }
  uint32_t style = BoxStyle();
  if (g_OsShellLinks.mSetModalBoxOpen != nullptr) g_OsShellLinks.mSetModalBoxOpen(1);
  int answer = ShowPlatformMessageBox(GetMainPlatformWindow(), ArgText(0), ArgText(1), style);
  if (g_OsShellLinks.mSetModalBoxOpen != nullptr) g_OsShellLinks.mSetModalBoxOpen(0);
  WriteAnswer(ScriptAnswer(style & kBoxButtonMask, answer));
  return 0;
}
