#pragma once
// Replaces the message boxes, the error dialog and the text dialogs while it lives: records
// every text and answers from a script of answers.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/dialogs.h"

struct RecordedBox {
  std::string mCaption;
  std::string mText;
  uint32_t mStyle = 0;
};

class DialogRecorder {
 public:
  DialogRecorder();
  ~DialogRecorder();
  DialogRecorder(const DialogRecorder&) = delete;
  DialogRecorder& operator=(const DialogRecorder&) = delete;

  std::vector<RecordedBox> mBoxes;
  std::vector<ErrorDialogRequest> mErrorDialogs;  // one entry per showing
  // Answers given in order; when empty, boxes answer OK/Yes (the first
  // button) and the error dialog is closed.
  std::deque<int> mBoxAnswers;
  std::deque<int> mErrorDialogPresses;
  // The text dialogs (input, edit, choosers) in order, and their answers:
  // when none is left the input dialog gives its default text and the others
  // are cancelled.
  struct TextAnswer {
    int mResult = kDialogOk;
    std::string mText;
  };
  std::vector<TextDialogRequest> mTextDialogs;
  std::deque<TextAnswer> mTextAnswers;

 private:
  DialogHooks mHooks;
};
