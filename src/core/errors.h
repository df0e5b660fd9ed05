#pragma once
// Numbered error reports, message texts and direct message boxes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/format_text.h"
#include "core/message_ids.h"

// Every report text and box text holds at most this many bytes.
constexpr size_t kMessageTextLimit = 1023;
constexpr int kMaxMessageTexts = 256;

// Message texts of the compiled message file, in file order. Adding past the
// limit returns false.
void ClearMessageTexts();
bool AddMessageText(int32_t number, std::string_view text);
int GetMessageTextCount();

// The text of a message number: a built-in text first, then the message
// file, then the internal-error text.
std::string GetMessageText(int32_t number);
inline std::string GetMessageText(MessageId id) { return GetMessageText(id.mNumber); }

// Builds the report text (no location), applies the fatal flag, and returns it.
std::string BuildErrorText(MessageId id);
// The same with the script file and line in front while a task is stepped.
std::string BuildErrorTextAtScript(MessageId id);

// Shows the first report of a run in the error dialog; later ones only build
// their text and apply their fatal flag.
void ShowErrorDialog(const std::string& text);

// Reports a numbered message with its fatal flag (see core/message_ids.h).
void ReportErrorArgs(MessageId id, bool atScript, std::initializer_list<FormatArgument> arguments);

inline void ReportError(MessageId id) { ReportErrorArgs(id, false, {}); }
inline void ReportErrorAtScript(MessageId id) { ReportErrorArgs(id, true, {}); }
template <typename... Args>
void ReportErrorFmt(MessageId id, const Args&... arguments) {
  ReportErrorArgs(id, false, {FormatArgument(arguments)...});
}
template <typename... Args>
void ReportErrorAtScriptFmt(MessageId id, const Args&... arguments) {
  ReportErrorArgs(id, true, {FormatArgument(arguments)...});
}

// The same reports by number and fatal flag, for ids that come from game
// data or callers outside the engine; the engine's own code names its ids.
inline std::string BuildErrorText(int32_t id, int fatal) { return BuildErrorText(MessageId{id, fatal}); }
inline std::string BuildErrorTextAtScript(int32_t id, int fatal) { return BuildErrorTextAtScript(MessageId{id, fatal}); }
inline void ReportError(int32_t id, int fatal) { ReportErrorArgs(MessageId{id, fatal}, false, {}); }
inline void ReportErrorAtScript(int32_t id, int fatal) { ReportErrorArgs(MessageId{id, fatal}, true, {}); }
template <typename... Args>
void ReportErrorFmt(int32_t id, int fatal, const Args&... arguments) {
  ReportErrorArgs(MessageId{id, fatal}, false, {FormatArgument(arguments)...});
}
template <typename... Args>
void ReportErrorAtScriptFmt(int32_t id, int fatal, const Args&... arguments) {
  ReportErrorArgs(MessageId{id, fatal}, true, {FormatArgument(arguments)...});
}

// A system-modal box without owner; the text is formatted with the arguments
// given and cut at kMessageTextLimit bytes. A null caption shows the default.
int ShowMessageBoxArgs(const char* caption, uint32_t style, std::string_view format,
                       std::initializer_list<FormatArgument> arguments);
template <typename... Args>
void ShowMessageBox(const char* caption, std::string_view format, const Args&... arguments) {
  ShowMessageBoxArgs(caption, 0, format, {FormatArgument(arguments)...});
}

// The file part of a path: the text after the last '\' or '/'. False (and an
// empty result) when there is no separator or it is the last character.
bool GetFileNamePart(std::string* destination, std::string_view path);

// The command that opens a script at a line in the user's editor: $VISUAL,
// then $EDITOR (split at blanks), each with the line argument its program
// understands; empty when neither is set (the desktop default is used).
std::vector<std::string> BuildEditorCommand(std::string_view editor, const std::string& path, int line);

// State of the reports of this run.
extern std::string g_ErrorScriptName;  // script file of the last report with a location; empty when none
extern int32_t g_ErrorLine;
extern bool g_ErrorDialogShown;
extern std::string g_ErrorDialogCaption;
extern std::string g_LastErrorText;  // the last report's final text

// What a report takes from the layers above; the shell sets them when the
// program is linked (null: no script location, no editor button, nothing
// done before the dialog).
extern bool (*g_ScriptLocationSource)(std::string* scriptName, int* line);
extern bool (*g_EditorButtonAllowed)();
extern void (*g_BeforeErrorDialog)();

// True once a fatal report was made in this run (the open-source notice
// aside): the program then ends with a failure status.
bool FatalReportMade();

// Back to the state at process start (tests run the engine more than once).
void ResetErrorReporting();
