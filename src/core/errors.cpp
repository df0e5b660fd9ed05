#include "core/errors.h"

#include <atomic>
#include <cstdlib>
#include <vector>

#include "core/process_state.h"
#include "core/sjis.h"
#include "core/window_table.h"
#include "platform/dialogs.h"
#include "platform/game_files.h"
#include "platform/process.h"

std::string g_ErrorScriptName;
int32_t g_ErrorLine = 1;
bool g_ErrorDialogShown = false;
std::string g_ErrorDialogCaption = "ORVANE Debug Info.";
std::string g_LastErrorText;

bool (*g_ScriptLocationSource)(std::string* scriptName, int* line) = nullptr;
bool (*g_EditorButtonAllowed)() = nullptr;
void (*g_BeforeErrorDialog)() = nullptr;

namespace {

struct MessageText {
  int32_t mNumber;
  std::string mText;
};
std::vector<MessageText> g_messageTexts;

struct BuiltInText {
  MessageId mId;
  const char* mText;
};

// The notice of the open-source components, shown by the "/info" switch.
constexpr const char* kOpenSourceNotice =
    "ORVANE は次のオープンソース部品を使用しています。\n\n"
    "zlib (zlib License), libpng (PNG Reference Library License), "
    "libjpeg-turbo (IJG License, BSD License), libvorbis / libogg / libtheora (BSD License), "
    "Snappy (BSD License), libwebp (BSD License), SDL2 (zlib License), "
    "FreeType (FreeType License), Fontconfig (MIT License), libsndfile (LGPL).\n\n"
    "各部品の著作権表示と使用許諾条件は、それぞれの配布物に従います。";

constexpr BuiltInText kBuiltInTexts[] = {
    {kMsgOpenSourceNotice, kOpenSourceNotice},
    {kMsgOutOfMemory, "メモリ不足です。"},
    {kMsgCannotReadFile, "[%s]ファイルを\n読み込めませんでした。"},
    {kMsgNoMemoryForFile, "メモリ不足のため[%s]ファイルを\n読み込めませんでした。"},
    {kMsgFileNotFound, "[%s]ファイルが\n存在しません。"},
    {kMsgDamagedPackEntry, "パックファイル中に破損ファイルが見つかりました。\n\nPacFile = %s\nFile = %s"},
    {kMsgTooManyPackFolders, "フォルダの数が多すぎます。"},
    {kMsgPackFoldersTooDeep, "フォルダの階層が深すぎます。"},
    {kMsgPackVersionMismatch, "パックファイル仕様が現在の仕様と一致しません。\n\n[%s]"},
    {kMsgTooManyPacks, "パックファイルを同時に扱えるのは %d 個までです。"},
    {kMsgTooManyPackEntries, "パックファイル内に含まれるファイルが、合計 %d 個を超えました。"},
    {kMsgDuplicatePackEntry, "パックファイル内のファイル\n[%s]が\n重複しています。"},
    {kMsgCannotDecompress, "メモリ不足により\n[%s]ファイルを展開出来ませんでした。"},
    {kMsgDecompressBufferTooSmall, "[内部エラー]\n\nバッファ不足により\n[%s]ファイルを展開出来ませんでした。"},
    {kMsgCannotOpenPack, "[内部エラー]\n\nパックファイル[%s]が\nオープンできませんでした。"},
};

// Every built-in text belongs to a message of the id table, with its flag.
constexpr bool BuiltInTextsAreInTheIdTable() {
  for (const BuiltInText& builtIn : kBuiltInTexts) {
    bool found = false;
    for (const MessageId& id : kAllMessageIds) found = found || id == builtIn.mId;
    if (!found) return false;
  }
  return true;
}
static_assert(BuiltInTextsAreInTheIdTable(), "a built-in text's id is missing from kAllMessageIds");

constexpr const char* kUnknownIdText =
    "[内部エラー]\n\nエラー文字列の指定ミスです。\nシステム開発者までお問い合わせください。";
constexpr const char* kLocationFormat = "[対象ファイル]\n%s\n\n[場所]\n%d 行目\n\n[内容]\n\n";

// Doubles every '%' so that a prefix survives the formatting of the message.
std::string EscapePercent(std::string_view text) {
  std::string out;
  for (size_t index = 0; index < text.size();) {
    size_t length = SjisCharLength(text, index);
    if (length == 1 && text[index] == '%') out.push_back('%');
    out.append(text.substr(index, length));
    index += length;
  }
  return out;
}

// Set by the first fatal report of a run; read for the exit status.
std::atomic<bool> g_fatalReportMade{false};

void ApplyFatal(MessageId id) {
  if (id.mFatal == 0) return;
  g_QuitFlag.store(1);
  // The open-source notice ends the run through the fatal path, but it is the
  // information the program gives ("/info", or a folder with no game to run),
  // not a failure.
  if (id.mNumber != kMsgOpenSourceNotice.mNumber) g_fatalReportMade.store(true);
}

void OpenScriptInEditor() {
  std::string path = std::string(g_ExeFolder) + g_ErrorScriptName;
  std::string nativePath = ResolveGamePath(path);
  const char* visual = std::getenv("VISUAL");
  const char* editor = std::getenv("EDITOR");
  std::string chosen = (visual != nullptr && visual[0] != '\0') ? visual : (editor != nullptr ? editor : "");
  std::vector<std::string> command = BuildEditorCommand(chosen, nativePath, g_ErrorLine);
  if (command.empty()) {
    OpenWithDesktopDefault(nativePath);
    return;
  }
  StartDetachedProcess(command, "");
}

}  // namespace

void ClearMessageTexts() { g_messageTexts.clear(); }

bool AddMessageText(int32_t number, std::string_view text) {
  if (static_cast<int>(g_messageTexts.size()) >= kMaxMessageTexts) return false;
  g_messageTexts.push_back({number, std::string(text.substr(0, SjisCutLength(text, kMessageTextLimit)))});
  return true;
}

int GetMessageTextCount() { return static_cast<int>(g_messageTexts.size()); }

std::string GetMessageText(int32_t number) {
  for (const BuiltInText& builtIn : kBuiltInTexts) {
    if (builtIn.mId.mNumber == number) return builtIn.mText;
  }
  for (const MessageText& entry : g_messageTexts) {
    if (entry.mNumber == number) return entry.mText;
  }
  return kUnknownIdText;
}

std::string BuildErrorText(MessageId id) {
  g_ErrorScriptName.clear();
  g_ErrorLine = 1;
  std::string text = GetMessageText(id);
  ApplyFatal(id);
  return text;
}

std::string BuildErrorTextAtScript(MessageId id) {
  std::string text = BuildErrorText(id);
  std::string scriptName;
  int line = 1;
  if (g_ScriptLocationSource == nullptr || !g_ScriptLocationSource(&scriptName, &line)) return text;
  std::string prefix = FormatBounded(kMessageTextLimit, kLocationFormat, scriptName, line);
  g_ErrorScriptName = scriptName;
  g_ErrorLine = line;
  return EscapePercent(prefix) + text;
}

void ShowErrorDialog(const std::string& text) {
  if (g_ErrorDialogShown) return;
  g_ErrorDialogShown = true;
  if (g_BeforeErrorDialog != nullptr) g_BeforeErrorDialog();
  ErrorDialogRequest request;
  request.mCaption = g_ErrorDialogCaption;
  request.mText = text;
  if (g_EditorButtonAllowed == nullptr || !g_EditorButtonAllowed()) {
    request.mEditButton = EditButtonState::Absent;
  } else {
    request.mEditButton = g_ErrorScriptName.empty() ? EditButtonState::Disabled : EditButtonState::Enabled;
  }
  RunErrorDialog(GetMainPlatformWindow(), request, OpenScriptInEditor);
}

void ReportErrorArgs(MessageId id, bool atScript, std::initializer_list<FormatArgument> arguments) {
  std::string text = atScript ? BuildErrorTextAtScript(id) : BuildErrorText(id);
  g_LastErrorText = FormatTextArgs(text, arguments, kMessageTextLimit);
  ShowErrorDialog(g_LastErrorText);
}

int ShowMessageBoxArgs(const char* caption, uint32_t style, std::string_view format,
                       std::initializer_list<FormatArgument> arguments) {
  std::string text = FormatTextArgs(format, arguments, kMessageTextLimit);
  return ShowPlatformMessageBox(nullptr, caption, text.c_str(), style | kBoxSystemModal);
}

bool GetFileNamePart(std::string* destination, std::string_view path) {
  size_t separator = std::string_view::npos;
  for (size_t index = 0; index < path.size() && path[index] != '\0';) {
    size_t length = SjisCharLength(path, index);
    if (length == 1 && (path[index] == '\\' || path[index] == '/')) separator = index;
    index += length;
  }
  destination->clear();
  size_t end = path.find('\0');
  if (end == std::string_view::npos) end = path.size();
  if (separator == std::string_view::npos || separator + 1 >= end) return false;
  destination->assign(path.substr(separator + 1, end - separator - 1));
  return true;
}

std::vector<std::string> BuildEditorCommand(std::string_view editor, const std::string& path, int line) {
  std::vector<std::string> command;
  std::string word;
  for (char c : editor) {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) command.push_back(word);
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) command.push_back(word);
  if (command.empty()) return command;

  std::string program;
  GetFileNamePart(&program, command[0]);
  if (program.empty()) program = command[0];
  std::string lineText = std::to_string(line);
  // Editors that take "+line" before the file.
  static constexpr const char* kPlusLine[] = {"vi",  "vim",   "nvim",   "gvim",  "view", "nano", "emacs",
                                              "emacsclient", "micro", "kak", "joe", "jed", "mcedit",
                                              "gedit", "ne", "mg", "pico"};
  bool plusLine = false;
  for (const char* name : kPlusLine) plusLine = plusLine || program == name;
  if (program == "hx" || program == "helix" || program == "subl" || program == "sublime_text") {
    command.push_back(path + ":" + lineText);
  } else if (plusLine) {
    command.push_back("+" + lineText);
    command.push_back(path);
  } else if (program == "code" || program == "codium") {
    command.push_back("--goto");
    command.push_back(path + ":" + lineText);
  } else if (program == "kate" || program == "kwrite") {
    command.push_back("--line");
    command.push_back(lineText);
    command.push_back(path);
  } else {
    command.push_back(path);
  }
  return command;
}

bool FatalReportMade() { return g_fatalReportMade.load(); }

void ResetErrorReporting() {
  g_fatalReportMade.store(false);
  g_ErrorScriptName.clear();
  g_ErrorLine = 1;
  g_ErrorDialogShown = false;
  g_ErrorDialogCaption = "ORVANE Debug Info.";
  g_LastErrorText.clear();
}
