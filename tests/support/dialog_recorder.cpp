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

int RecordTextDialog(void* context, const TextDialogRequest& request, std::string* result) {
  auto* recorder = static_cast<DialogRecorder*>(context);
  recorder->mTextDialogs.push_back(request);
  if (!recorder->mTextAnswers.empty()) {
    DialogRecorder::TextAnswer answer = recorder->mTextAnswers.front();
    recorder->mTextAnswers.pop_front();
    if (answer.mResult == kDialogOk) *result = answer.mText;
    return answer.mResult;
  }
  if (request.mKind != TextDialogKind::kInput) return kDialogCancel;
  *result = request.mText;
  return kDialogOk;
}

}  // namespace

DialogRecorder::DialogRecorder() : mHooks{RecordBox, RecordErrorDialog, this, RecordTextDialog} { SetDialogHooks(&mHooks); }

DialogRecorder::~DialogRecorder() { SetDialogHooks(nullptr); }
