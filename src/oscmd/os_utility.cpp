// The OS utility command: numbered sub-commands for files, folders, the
// registry, disk space, dialogs, the script edit control, the debug log,
// window visibility, web pages, clock pauses and engine switches.
#include "oscmd/os_utility.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "core/debug_log.h"
#include "core/errors.h"
#include "core/file_list.h"
#include "core/file_names.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "core/sjis.h"
#include "core/window_table.h"
#include "datasrc/resource_lookup.h"
#include "oscmd/edit_box.h"
#include "oscmd/line_tokenizer.h"
#include "oscmd/registry_store.h"
#include "oscmd/shell_links.h"
#include "platform/dialogs.h"
#include "platform/game_files.h"
#include "platform/process.h"
#include "platform/system_queries.h"
#include "platform/text_codec.h"
#include "platform/window.h"
#include "render/gpu_frame.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/variables.h"

namespace {

constexpr int kOsUtilitySlot = 116;
constexpr int kOutId = 1;
// Results that name a file or folder hold at most this many bytes.
constexpr size_t kPathResultBytes = 520;
// The edit dialog's answer holds at most this many bytes.
constexpr size_t kEditDialogBytes = 4095;
constexpr int32_t kEditDialogLimit = 256;

std::string g_editDialogText;
int64_t g_debugLogTotal = 0;

// The referenced element's text, cut to kOsTextBytes on a character boundary.
std::string ReferencedText(int id) {
  int slot = ArgSlot(id);
  if (slot == 0) return {};
  const char* text = GetStringElement(static_cast<uint32_t>(g_ArgVarId[slot]), g_ArgVarElement[slot]);
  std::string copy(text != nullptr ? text : "");
  copy.resize(SjisCutLength(copy, kOsTextBytes));
  return copy;
}

int64_t ReferencedInt(int id) {
  int slot = ArgSlot(id);
  return slot != 0 ? GetIntElement(static_cast<uint32_t>(g_ArgVarId[slot]), g_ArgVarElement[slot]) : 0;
}

std::string PathForm(std::string text) {
  ReplaceSlashesWithBackslashes(text);
  return text;
}

void WriteOutNumber(int64_t value) {
  if (int slot = ArgSlot(kOutId); slot != 0) {
    SetNumberElement(static_cast<uint32_t>(g_ArgVarId[slot]), g_ArgVarElement[slot], value);
  }
}

void WriteOutText(std::string text, size_t limit) {
  text.resize(SjisCutLength(text, limit));
  if (int slot = ArgSlot(kOutId); slot != 0) {
    SetStringElementBytes(static_cast<uint32_t>(g_ArgVarId[slot]), g_ArgVarElement[slot], text.data(), text.size());
  }
}

void CallLink(void (*link)()) {
  if (link != nullptr) link();
}
void CallLink(void (*link)(uint8_t), uint8_t value) {
  if (link != nullptr) link(value);
}

// Creates or overwrites the file with the text and CR LF.
void WriteTextFile(const std::string& path, const std::string& text) {
  FILE* file = OpenGameFile(path, "wb");
  if (file == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fwrite("\r\n", 1, 2, file);
  std::fclose(file);
}

int SaveFileDialog(const std::string& initialName, const char* filterName, const char* pattern) {
  TextDialogRequest request;
  request.mKind = TextDialogKind::kSaveFile;
  request.mCaption = "保存する場所を指定してください。";
  request.mText = initialName;
  request.mFilterName = filterName;
  request.mFilterPattern = pattern;
  std::string path;
  int answer = RunTextDialog(GetMainPlatformWindow(), request, &path);
  if (answer == kDialogOk) WriteOutText(path, kPathResultBytes);
  return 0;
}

int BrowseForFolder(const std::string& initialFolder, const std::string& title) {
  TextDialogRequest request;
  request.mKind = TextDialogKind::kFolder;
  request.mCaption = title;
  request.mText = initialFolder.empty() ? std::string() : ResolveGamePath(initialFolder);
  std::string folder;
  if (RunTextDialog(GetMainPlatformWindow(), request, &folder) != kDialogOk) folder.clear();
  WriteOutText(folder, kPathResultBytes);
  return 0;
}

int EditDialog(const std::string& initialText) {
  TextDialogRequest request;
  request.mKind = TextDialogKind::kEdit;
  request.mCaption = "編集";
  request.mText = initialText;
  request.mMaxLength = kEditDialogLimit;
  std::string text;
  int answer = RunTextDialog(GetMainPlatformWindow(), request, &text);
  if (answer == kDialogFailed) return -1;
  if (answer == kDialogOk) {
    text.resize(SjisCutLength(text, kEditDialogBytes));
    g_editDialogText = text;
  }
  WriteOutNumber(answer == kDialogOk ? 1 : 0);
  return 0;
}

bool IsUserAdmin() {
  if (g_OsCode >= 20 && g_OsCode <= 39) return true;
  return IsProcessAdministrator();
}

}  // namespace

void ListFolder(const char* folder, const char* extension, bool withFolders) {
  std::string dotExtension = std::string(".") + (extension != nullptr ? extension : "");
  bool anyFile = extension == nullptr || extension[0] == '\0';
  std::vector<std::string> names;
  for (const GameFolderEntry& entry : ListGameFolder(folder != nullptr ? folder : "")) {
    if (entry.mName == "." || entry.mName == "..") continue;
    std::string name = entry.mName;
    if (entry.mIsFolder) {
      if (!withFolders) continue;
      name += "/";
    } else if (!anyFile && !EndsWithNoCase(name.c_str(), dotExtension.c_str())) {
      continue;
    }
    name.resize(SjisCutLength(name, kFileListEntryBytes - 1));
    names.push_back(std::move(name));
    if (names.size() == kFolderListLimit) {
      ShowMessageBox("", "リストが %d 個に達しました. 取得を中断します。", static_cast<int64_t>(kFolderListLimit));
      break;
    }
  }
  ReplaceFileList(std::move(names));
}

int ExtractDataFile(const char* name, const char* target) {
  std::string lookup(name != nullptr ? name : "");
  LowerCaseName(lookup);
  ReplaceSlashesWithBackslashes(lookup);
  ResourceLocation location;
  if (LoadResourceWhole(&location, lookup.c_str()) != 0 || location.mData == nullptr) {
    ReleaseResourceData(&location);
    return -1;
  }
  int result = -1;
  if (FILE* file = OpenGameFile(target != nullptr ? target : "", "wb")) {
    result = std::fwrite(location.mData, 1, location.mSize, file) == location.mSize ? 0 : -1;
    std::fclose(file);
  }
  ReleaseResourceData(&location);
  return result;
}

std::string DiskRootOf(const char* path) {
  std::string root = PathForm(path != nullptr ? path : "");
  root.resize(SjisCutLength(root, 3));
  return root;
}

void AppendScriptDebugLog(const char* text) {
  int64_t written = WriteDebugLog("debuglog.txt", true, kDebugLogBudget - g_debugLogTotal, "%s", text);
  g_debugLogTotal += written;
}

void DeleteScriptDebugLog() {
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  RemoveGameFile(std::string(g_ExeFolder) + "debuglog.txt");
}

int64_t ScriptDebugLogTotal() { return g_debugLogTotal; }

void ResetOsUtilityState() {
  ResetEditBox();
  g_editDialogText.clear();
  g_debugLogTotal = 0;
}

int32_t CmdOsUtility() {
  if (FetchCommandArguments(kOsUtilitySlot) != 0) return -1;
  int64_t sub = ArgSlot(0) != 0 ? g_ArgInt[ArgSlot(0)] : 0;
  std::string s1 = ReferencedText(22);
  std::string s2 = ReferencedText(23);
  int64_t n = ReferencedInt(2);
  int64_t p = ReferencedInt(3);
  int64_t q = ReferencedInt(4);
  int64_t r = ReferencedInt(5);
  PlatformWindow* main = GetMainPlatformWindow();
  switch (sub) {
    case 1: WriteOutNumber(502); break;
    case 2: ShowMessageBox("", "= %s", s1.c_str()); break;
    case 10: ShowMessageBox(nullptr, "COM:10 Deleted."); break;
    case 12: ExtractDataFile(s1.c_str(), PathForm(s2).c_str()); break;
    case 15: WriteTextFile(PathForm(s1), s2); break;
    case 21: ListFolder(PathForm(s1).c_str(), s2.c_str(), n != 0); break;
    case 22: WriteOutNumber(TokenizeLine(s1.c_str(), n, p, q)); break;
    case 23: WriteOutNumber(StoreStringLengths(n, p)); break;
    case 25: return SaveFileDialog(s1, "BMP File(*.bmp)", "*.bmp");
    case 26: return SaveFileDialog(s1, "PNG File(*.png)", "*.png");
    case 27: CallLink(g_OsShellLinks.mSetDrawDuringMovie, 1); break;
    case 28: CallLink(g_OsShellLinks.mSetDrawDuringMovie, 0); break;
    case 30: ShowMessageBox(nullptr, "COM:30 Deleted."); break;
    case 31: ShowMessageBox(nullptr, "COM:31 Deleted."); break;
    case 32: SetGameCurrentFolder(PathForm(s1)); break;
    case 33: {
      std::string key = PathForm(s1);
      if (DeleteRegistryValue(RegistryRoot::kCurrentUser, key.c_str(), s2.c_str()) == 0) {
        DeleteRegistryKey(RegistryRoot::kCurrentUser, key.c_str());
      }
      break;
    }
    case 34: {
      // A drive root names no place here: the game's own disk answers.
      std::string root = DiskRootOf(s1.c_str());
      bool driveRoot = root.size() == 3 && root[1] == ':' && root[2] == '\\';
      WriteOutNumber(static_cast<int64_t>(GetDiskFreeBytes(driveRoot ? std::string(".") : ResolveGamePath(root))));
      break;
    }
    case 36: DeleteRegistryValue(RegistryRoot::kLocalMachine, PathForm(s1).c_str(), s2.c_str()); break;
    case 37: DeleteRegistryKey(RegistryRoot::kLocalMachine, PathForm(s1).c_str()); break;
    case 38: WriteOutNumber(IsUserAdmin() ? 1 : 0); break;
    case 51: DeleteScriptDebugLog(); break;
    case 52: AppendScriptDebugLog(s1.c_str()); break;
    case 80: g_GpuCompose = 1; break;
    case 81: g_GpuCompose = 0; break;
    case 100: ShowPlatformWindow(main, false); break;
    case 110: ShowPlatformWindow(main, true); break;
    case 120: OpenWithDesktopDefault(ConvertCp932ToUtf8(s1)); break;
    case 10102: CreateEditBox(s1.c_str(), n, p, q, r, main); break;
    case 10103: CloseEditBox(); break;
    case 10104: SetEditBoxText(s1.c_str()); break;
    case 10105: WriteOutText(GetEditBoxText(), kEditBoxReadBytes); break;
    case 10201: return EditDialog(s1);
    case 10205: WriteOutText(g_editDialogText, kEditDialogBytes); break;
    case 20005: FocusEditBox(true); break;
    case 20006: FocusEditBox(false); break;
    case 20011: CallLink(g_OsShellLinks.mSetPauseOnWindowMove, 1); break;
    case 20012: CallLink(g_OsShellLinks.mSetPauseOnWindowMove, 0); break;
    case 20013: CallLink(g_OsShellLinks.mBeginScriptPause); break;
    case 20014: CallLink(g_OsShellLinks.mEndScriptPause); break;
    case 20021: WriteOutNumber(0); break;
    case 21000: return BrowseForFolder(PathForm(s1), s2);
    // No Windows folder exists here: the query answers "".
    case 21031: WriteOutText("", kPathResultBytes); break;
    default: break;
  }
  return 0;
}
