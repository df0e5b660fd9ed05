#pragma once
// Message boxes and the error dialog. Texts are Shift-JIS. Tests replace the
// dialogs with hooks that record the texts and give the answers.
#include <cstdint>
#include <functional>
#include <string>

struct PlatformWindow;

// Box styles and answers, with the values scripts pass for them.
enum : uint32_t {
  kBoxOk = 0x0,
  kBoxOkCancel = 0x1,
  kBoxYesNoCancel = 0x3,
  kBoxYesNo = 0x4,
  kBoxButtonMask = 0xF,
  kBoxIconError = 0x10,
  kBoxIconQuestion = 0x20,
  kBoxIconWarning = 0x30,
  kBoxIconInformation = 0x40,
  kBoxIconMask = 0xF0,
  kBoxDefaultSecond = 0x100,
  kBoxDefaultThird = 0x200,
  kBoxSystemModal = 0x1000,
};
enum : int { kAnswerOk = 1, kAnswerCancel = 2, kAnswerYes = 6, kAnswerNo = 7 };

// Shows a box and returns the answer. Without a way to show it (no display, or
// ORVANE_UNATTENDED set) the text goes to standard error and the default
// button answers.
int ShowPlatformMessageBox(PlatformWindow* owner, const char* caption, const char* text, uint32_t style);

// The error dialog: a text, an optional edit button and a close button.
enum class EditButtonState { Absent, Disabled, Enabled };
enum : int { kErrorDialogEdit = 1033, kErrorDialogClose = 1034 };
struct ErrorDialogRequest {
  std::string mCaption;  // Shift-JIS
  std::string mText;     // Shift-JIS, "\n" line breaks
  EditButtonState mEditButton = EditButtonState::Absent;
};
// Shows the dialog until it is closed; every press of the edit button calls
// `onEdit` and the dialog stays.
void RunErrorDialog(PlatformWindow* owner, const ErrorDialogRequest& request, const std::function<void()>& onEdit);

// Dialogs that ask for text or a place: the one-line input dialog, the
// multi-line edit dialog, the save-file chooser and the folder chooser. They
// are modal over the owner; texts are Shift-JIS.
enum class TextDialogKind { kInput, kEdit, kSaveFile, kFolder };
struct TextDialogRequest {
  TextDialogKind mKind = TextDialogKind::kInput;
  std::string mCaption;       // the title
  std::string mPrompt;        // input: the text above the entry
  std::string mText;          // input: default text; edit: initial text; save: file name; folder: native path
  int32_t mMaxLength = 0;     // input and edit: longest answer in bytes (0: no limit)
  std::string mFilterName;    // save: "PNG File(*.png)"
  std::string mFilterPattern; // save: "*.png"
};
enum : int { kDialogFailed = -1, kDialogCancel = 0, kDialogOk = 1 };
// kDialogOk with the answer in `result` (a native path for the choosers),
// kDialogCancel, or kDialogFailed when the dialog cannot be made. Without a
// display (or with ORVANE_UNATTENDED set) nobody can answer: the input dialog
// gives its default text, the others are cancelled.
int RunTextDialog(PlatformWindow* owner, const TextDialogRequest& request, std::string* result);

struct DialogHooks {
  int (*mMessageBox)(void* context, const char* caption, const char* text, uint32_t style);
  // Returns the button pressed: kErrorDialogEdit or kErrorDialogClose. Called
  // again after each press of the edit button.
  int (*mErrorDialog)(void* context, const ErrorDialogRequest& request);
  void* mContext;
  // Answers RunTextDialog as it does; null shows the real dialogs.
  int (*mTextDialog)(void* context, const TextDialogRequest& request, std::string* result) = nullptr;
};
// nullptr restores the real dialogs. The hooks must outlive their installation.
void SetDialogHooks(const DialogHooks* hooks);
