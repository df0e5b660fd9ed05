// The file utility command (images saved from layers, preloads, folders,
// copies, deletions and opening files with their program) and the file
// information command.
#include "oscmd/file_utility.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "core/errors.h"
#include "core/file_names.h"
#include "core/message_ids.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/sjis.h"
#include "datasrc/preload_cache.h"
#include "datasrc/resource_lookup.h"
#include "image/image_writers.h"
#include "layer/layer_record.h"
#include "platform/game_files.h"
#include "platform/game_folders.h"
#include "platform/process.h"
#include "platform/text_codec.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/variables.h"

namespace {

constexpr int kFileUtilitySlot = 20;
constexpr int kFileInfoSlot = 21;

enum class ImageFormat { kBmp, kPng, kJpeg, kWebp };

std::string StringArg(int id) {
  int slot = ArgSlot(id);
  return slot != 0 && g_ArgString[slot] != nullptr ? g_ArgString[slot] : "";
}

// A name argument lower-cased with '\' separators, cut to `limit` bytes.
std::string NameArg(int id, size_t limit) {
  std::string name = StringArg(id);
  name.resize(SjisCutLength(name, limit));
  LowerCaseName(name);
  ReplaceSlashesWithBackslashes(name);
  return name;
}

bool EndsWithSeparator(const std::string& path) {
  size_t at = 0;
  size_t last = std::string::npos;
  while (at < path.size()) {
    last = at;
    at += SjisCharLength(path, at);
  }
  return last != std::string::npos && path.size() - last == 1 && path[last] == '\\';
}

ImageFormat ChosenFormat() {
  ImageFormat format = ImageFormat::kPng;
  if (HasArg(12)) format = ArgInt(12) == 1 ? ImageFormat::kBmp : ImageFormat::kPng;
  if (HasArg(13) && ArgInt(13) == 1) format = ImageFormat::kPng;
  if (HasArg(14) && ArgInt(14) == 1) format = ImageFormat::kJpeg;
  if (HasArg(15) && ArgInt(15) == 1) format = ImageFormat::kWebp;
  return format;
}

int32_t Setting(int64_t fallback, int64_t low, int64_t high) {
  return static_cast<int32_t>(std::clamp<int64_t>(HasArg(9) ? ArgInt(9) : fallback, low, high));
}

int SaveLayerImage(std::string file, ImageFormat format) {
  std::string path = StringArg(10);
  if (HasArg(11)) {
    char number[32];
    std::snprintf(number, sizeof number, ".%" PRId64, ArgInt(11));
    path += number;
  }
  char normalized[kObjectPathBytes];
  if (NormalizeObjectPath(normalized, path.c_str(), g_LayerPathBase, 0) < 0) return -1;
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, normalized, kPathLeaf);
  auto* record = LayerRecordOf(node);
  if (record == nullptr) {
    ReportErrorAtScriptFmt(kMsgShareSourceMissing, CommandName(kFileUtilitySlot), normalized);
    return -1;
  }
  static constexpr const char* kExtensions[] = {".bmp", ".png", ".jpg", ".webp"};
  const char* extension = kExtensions[static_cast<int>(format)];
  if (!EndsWithNoCase(file.c_str(), extension)) file += extension;
  int result = 0;
  switch (format) {
    case ImageFormat::kBmp: result = SaveBMP(record, file.c_str()); break;
    case ImageFormat::kPng: result = SavePNG(record, file.c_str(), Setting(5, 0, 9)); break;
    case ImageFormat::kJpeg: result = SaveJPEG(record, file.c_str(), Setting(90, 1, 100)); break;
    case ImageFormat::kWebp: result = SaveWEBP(record, file.c_str(), Setting(90, 0, 101)); break;
  }
  return result != 0 ? -1 : 0;
}

// Opens the file with its program; waits for its end only when it is a
// program itself (a document's viewer may be a running application).
void OpenFile(const std::string& file, const std::string& parameters, bool wait) {
  if (file.empty()) return;
  if (IsGameFileExecutable(file)) {
    std::vector<std::string> arguments = SplitParameters(parameters);
    if (wait) {
      RunGameProgramAndWait(file, arguments);
      return;
    }
    std::vector<std::string> vector{ResolveGamePath(file)};
    for (const std::string& argument : arguments) vector.push_back(ConvertCp932ToUtf8(argument));
    StartDetachedProcess(vector, "");
    return;
  }
  OpenWithDesktopDefault(ResolveGamePath(file));
}

}  // namespace

void CreateFolderPath(const std::string& path) {
  std::string bounded = path.substr(0, SjisCutLength(path, kFolderPathBytes));
  for (size_t at = 0; at < bounded.size(); at += SjisCharLength(bounded, at)) {
    if (bounded[at] == '\\' && at > 0) CreateGameFolder(bounded.substr(0, at));
  }
}

int IsDirectory(const std::string& path) { return !path.empty() && GameFolderExists(path) ? 1 : 0; }

std::vector<std::string> SplitParameters(const std::string& text) {
  std::vector<std::string> arguments;
  std::string current;
  bool quoted = false;
  bool any = false;
  for (size_t at = 0; at < text.size(); at += SjisCharLength(text, at)) {
    char c = text[at];
    size_t length = SjisCharLength(text, at);
    if (length == 1 && c == '"') {
      quoted = !quoted;
      any = true;
    } else if (length == 1 && (c == ' ' || c == '\t') && !quoted) {
      if (any) arguments.push_back(current);
      current.clear();
      any = false;
    } else {
      current.append(text, at, length);
      any = true;
    }
  }
  if (any) arguments.push_back(current);
  return arguments;
}

int32_t CmdFileUtility() {
  if (FetchCommandArguments(kFileUtilitySlot) != 0) return -1;
  std::string parameters = HasArg(8) ? StringArg(8) : std::string();
  ImageFormat format = ChosenFormat();
  std::string a = NameArg(0, kFilePathBytes);
  std::string b = NameArg(1, kFilePathBytes);
  std::string f = NameArg(2, kFolderPathBytes - 1);
  if (!EndsWithSeparator(f)) f += '\\';
  if (HasArg(16) && ArgInt(16) != 0) PreloadFile(static_cast<int32_t>(ArgInt(16) - 1), a.c_str(), 0);
  if (HasArg(17)) PreloadFile(static_cast<int32_t>(ArgInt(17) - 1), a.c_str(), 1);
  if (HasArg(10) && SaveLayerImage(a, format) != 0) return -1;
  if (HasArg(3)) CreateFolderPath(f);
  if (HasArg(4)) CopyGameFile(a, b);
  if (HasArg(5)) {
    if (HasArg(0)) RemoveGameFile(a);
    if (HasArg(2)) RemoveGameFolder(f);
  }
  if (HasArg(6)) {
    OpenFile(a, parameters, false);
  } else if (HasArg(7)) {
    OpenFile(a, parameters, true);
  }
  return 0;
}

int32_t CmdFileInfo() {
  if (FetchCommandArguments(kFileInfoSlot) != 0) return -1;
  int kind = -1;
  for (int id = 0; id <= 3; ++id) {
    if (HasArg(id)) kind = id;
  }
  std::string name = kind >= 0 ? StringArg(kind) : std::string();
  name.resize(SjisCutLength(name, kMaxNameBytes));
  LowerCaseName(name);
  int out = ArgSlot(7);
  if (out == 0) return 0;
  auto variable = static_cast<uint32_t>(g_ArgVarId[out]);
  int64_t element = g_ArgVarElement[out];
  if (HasArg(4)) {
    int64_t exists = 0;
    if (kind == 0) {
      exists = IsDirectory(name);
    } else if (kind > 0) {
      static constexpr int kCategories[] = {0, 9, 0, 1};
      ResourceLocation location;
      char resolved[kNameBufferBytes] = {};
      char lookup[kNameBufferBytes] = {};
      CopySjisBounded(lookup, sizeof lookup, name);
      exists = FindMediaFile(&location, resolved, lookup, kCategories[kind]) == 0 ? 1 : 0;
    }
    SetNumberElement(variable, element, exists);
  } else if (HasArg(5)) {
    int64_t size = 0;
    if (kind == 1 && !GameFolderExists(name)) size = std::max<int64_t>(GetGameFileSize(name), 0);
    SetNumberElement(variable, element, size);
  } else if (HasArg(6)) {
    const VariableRecord* record = FindVariableRecord(variable);
    if (record != nullptr && record->mVarType == kVarString) {
      std::string program = kind > 0 ? FindDefaultProgram(name) : std::string();
      program.resize(SjisCutLength(program, 263));
      SetStringElementBytes(variable, element, program.data(), program.size());
    } else {
      SetNumberElement(variable, element, 0);
    }
  }
  return 0;
}
