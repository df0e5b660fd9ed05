#include "support/dialog_recorder.h"

namespace {

int RecordBox(void* context, const char* caption, const char* text, uint32_t style) {
  auto* recorder = static_cast<DialogRecorder*>(context);
  recorder->mBoxes.push_back({caption != nullptr ? caption : "", text != nullptr ? text : "", style});
  if (!recorder->mBoxAnswers.empty()) {
    int answer = recorder->mBoxAnswers.front();
    recorder->mBoxAnswers.pop_front();
    return answer;
  }
  uint32_t buttons = style & kBoxButtonMask;
  return (buttons == kBoxYesNo || buttons == kBoxYesNoCancel) ? kAnswerYes : kAnswerOk;
}

int RecordErrorDialog(void* context, const ErrorDialogRequest& request) {
  auto* recorder = static_cast<DialogRecorder*>(context);
  recorder->mErrorDialogs.push_back(request);
  if (!recorder->mErrorDialogPresses.empty()) {
    int press = recorder->mErrorDialogPresses.front();
    recorder->mErrorDialogPresses.pop_front();
    return press;
  }
  return kErrorDialogClose;
}

}  // namespace

DialogRecorder::DialogRecorder() : mHooks{RecordBox, RecordErrorDialog, this} { SetDialogHooks(&mHooks); }

DialogRecorder::~DialogRecorder() { SetDialogHooks(nullptr); }
