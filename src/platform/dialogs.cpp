#include "platform/dialogs.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/gtk_dialogs.h"
#include "platform/text_codec.h"
#include "platform/window.h"

namespace {

std::atomic<const DialogHooks*> g_dialogHooks{nullptr};

bool IsUnattended() {
  const char* unattended = std::getenv("ORVANE_UNATTENDED");
  return unattended != nullptr && unattended[0] != '\0' && unattended[0] != '0';
}

void WriteToStandardError(const char* caption, const char* text) {
  std::string line = ConvertCp932ToUtf8(caption != nullptr ? caption : "") + ": " + ConvertCp932ToUtf8(text) + "\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

// Removes the "&" accelerator marks of a button label.
std::string ButtonLabel(const char* label) {
  std::string utf8 = ConvertCp932ToUtf8(label);
  std::string out;
  for (char c : utf8) {
    if (c != '&') out.push_back(c);
  }
  return out;
}

struct BoxButton {
  int mAnswer;
  std::string mLabel;
};

// Shows an SDL box; returns the answer id, or -1 when no box can be shown.
int ShowSdlBox(PlatformWindow* owner, const char* caption, const char* text, uint32_t flags,
               const std::vector<BoxButton>& buttons, int defaultAnswer, int escapeAnswer) {
  if (IsUnattended()) return -1;
  std::string title = ConvertCp932ToUtf8(caption != nullptr ? caption : "");
  std::string message = ConvertCp932ToUtf8(text);
  std::vector<SDL_MessageBoxButtonData> data;
  for (const BoxButton& button : buttons) {
    SDL_MessageBoxButtonData entry{};
    entry.buttonid = button.mAnswer;
    entry.text = button.mLabel.c_str();
    if (button.mAnswer == defaultAnswer) entry.flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (button.mAnswer == escapeAnswer) entry.flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    data.push_back(entry);
  }
  SDL_MessageBoxData box{};
  box.flags = flags;
  box.window = GetSdlWindow(owner);
  box.title = title.c_str();
  box.message = message.c_str();
  box.numbuttons = static_cast<int>(data.size());
  box.buttons = data.data();
  int pressed = -1;
  if (SDL_ShowMessageBox(&box, &pressed) != 0) return -1;
  return pressed < 0 ? escapeAnswer : pressed;
}

}  // namespace

int ShowPlatformMessageBox(PlatformWindow* owner, const char* caption, const char* text, uint32_t style) {
  if (const DialogHooks* hooks = g_dialogHooks.load(std::memory_order_acquire)) {
    if (hooks->mMessageBox != nullptr) return hooks->mMessageBox(hooks->mContext, caption, text, style);
  }
  std::vector<BoxButton> buttons;
  switch (style & kBoxButtonMask) {
    case kBoxOkCancel: buttons = {{kAnswerOk, "OK"}, {kAnswerCancel, "Cancel"}}; break;
    case kBoxYesNoCancel: buttons = {{kAnswerYes, "Yes"}, {kAnswerNo, "No"}, {kAnswerCancel, "Cancel"}}; break;
    case kBoxYesNo: buttons = {{kAnswerYes, "Yes"}, {kAnswerNo, "No"}}; break;
    default: buttons = {{kAnswerOk, "OK"}}; break;
  }
  size_t defaultIndex = (style & kBoxDefaultThird) != 0 ? 2 : (style & kBoxDefaultSecond) != 0 ? 1 : 0;
  int defaultAnswer = buttons[defaultIndex < buttons.size() ? defaultIndex : 0].mAnswer;
  int escapeAnswer = buttons.back().mAnswer;
  if (buttons.size() == 2 && buttons[1].mAnswer == kAnswerNo) escapeAnswer = kAnswerNo;
  uint32_t flags = SDL_MESSAGEBOX_INFORMATION;
  uint32_t icon = style & kBoxIconMask;
  if (icon == kBoxIconError) flags = SDL_MESSAGEBOX_ERROR;
  if (icon == kBoxIconWarning) flags = SDL_MESSAGEBOX_WARNING;
  int answer = ShowSdlBox(owner, caption, text, flags, buttons, defaultAnswer, escapeAnswer);
  if (answer < 0) {
    WriteToStandardError(caption, text);
    answer = defaultAnswer;
  }
  return answer;
}

void RunErrorDialog(PlatformWindow* owner, const ErrorDialogRequest& request, const std::function<void()>& onEdit) {
  for (;;) {
    int pressed = -1;
    if (const DialogHooks* hooks = g_dialogHooks.load(std::memory_order_acquire); hooks != nullptr &&
                                                                                  hooks->mErrorDialog != nullptr) {
      pressed = hooks->mErrorDialog(hooks->mContext, request);
    } else {
      std::vector<BoxButton> buttons;
      if (request.mEditButton == EditButtonState::Enabled) buttons.push_back({kErrorDialogEdit, ButtonLabel("編集(&E)")});
      buttons.push_back({kErrorDialogClose, ButtonLabel("終了(&X)")});
      int defaultAnswer = request.mEditButton == EditButtonState::Enabled ? kErrorDialogEdit : kErrorDialogClose;
      pressed = ShowSdlBox(owner, request.mCaption.c_str(), request.mText.c_str(), SDL_MESSAGEBOX_ERROR, buttons,
                           defaultAnswer, kErrorDialogClose);
      if (pressed < 0) {
        WriteToStandardError(request.mCaption.c_str(), request.mText.c_str());
        pressed = kErrorDialogClose;
      }
    }
    if (pressed == kErrorDialogEdit && request.mEditButton == EditButtonState::Enabled) {
      onEdit();
      continue;
    }
    return;
  }
}

int RunTextDialog(PlatformWindow* owner, const TextDialogRequest& request, std::string* result) {
  if (const DialogHooks* hooks = g_dialogHooks.load(std::memory_order_acquire); hooks != nullptr &&
                                                                                hooks->mTextDialog != nullptr) {
    return hooks->mTextDialog(hooks->mContext, request, result);
  }
  int answer = IsUnattended() ? kDialogFailed : RunGtkTextDialog(owner, request, result);
  if (answer != kDialogFailed) return answer;
  // Nobody can answer: the input dialog (which only OK closes) takes its
  // default text, every other dialog is cancelled.
  WriteToStandardError(request.mCaption.c_str(), request.mPrompt.empty() ? request.mText.c_str() : request.mPrompt.c_str());
  if (request.mKind != TextDialogKind::kInput) return kDialogCancel;
  *result = request.mText;
  return kDialogOk;
}

void SetDialogHooks(const DialogHooks* hooks) { g_dialogHooks.store(hooks, std::memory_order_release); }
