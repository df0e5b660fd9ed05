#include "support/script_test_env.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/dialogs.h"
#include "script/engine_config.h"
#include "script/object_tree.h"
#include "script/script_data.h"
#include "script/task_step.h"
#include "shell/errors.h"
#include "shell/process_state.h"

namespace {

int RecordBox(void* context, const char*, const char* text, uint32_t) {
  static_cast<ScriptTestEnvironment*>(context)->mBoxTexts.push_back(text);
  return kAnswerOk;
}

int RecordDialog(void* context, const ErrorDialogRequest& request) {
  static_cast<ScriptTestEnvironment*>(context)->mDialogTexts.push_back(request.mText);
  return kErrorDialogClose;
}

DialogHooks g_hooks;

}  // namespace

void ResetScriptEngineState() {
  ReleaseScriptData();
  ReleaseObjectTrees();
  ResetEngineConfig();
  ResetErrorReporting();
  g_QuitFlag.store(0);
  g_CurrentContext = nullptr;
  g_CurrentTaskNode = nullptr;
  g_CurrentInstruction = -1;
  InitScriptSectionKey();
}

ScriptTestEnvironment::ScriptTestEnvironment() {
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof(buffer)) == nullptr) throw std::runtime_error("getcwd");
  mPreviousFolder = buffer;
  std::string pattern = (std::filesystem::temp_directory_path() / "orvane-script-XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp");
  mFolder = name.data();
  if (chdir(mFolder.c_str()) != 0) throw std::runtime_error("chdir");
  g_hooks = {RecordBox, RecordDialog, this};
  SetDialogHooks(&g_hooks);
  ResetScriptEngineState();
}

ScriptTestEnvironment::~ScriptTestEnvironment() {
  ResetScriptEngineState();
  SetDialogHooks(nullptr);
  if (chdir(mPreviousFolder.c_str()) != 0) std::abort();
  std::error_code error;
  std::filesystem::remove_all(mFolder, error);
}

void ScriptTestEnvironment::Write(const std::vector<GameFile>& files) const { WriteGameFiles(mFolder, files); }
void ScriptTestEnvironment::Write(const GameFile& file) const { WriteGameFile(mFolder, file); }

void ScriptTestEnvironment::Remove(const std::string& gameName) const {
  std::string relative = gameName;
  std::replace(relative.begin(), relative.end(), '\\', '/');
  std::filesystem::remove(std::filesystem::path(mFolder) / relative);
}

std::vector<MessageEntry> TaggedMessages(const std::vector<int32_t>& ids) {
  std::vector<MessageEntry> entries;
  for (int32_t id : ids) entries.push_back({id, "E" + std::to_string(id) + "[%s][%s][%s]"});
  return entries;
}

void InstallTaggedMessages(const std::vector<int32_t>& ids) {
  ClearMessageTexts();
  for (const MessageEntry& entry : TaggedMessages(ids)) AddMessageText(entry.mId, entry.mText);
}

std::string ExpectedReport(int32_t id, const std::vector<std::string>& arguments) {
  std::string text = GetMessageText(id);
  switch (arguments.size()) {
    case 0:
      return FormatTextArgs(text, {}, kMessageTextLimit);
    case 1:
      return FormatTextArgs(text, {arguments[0]}, kMessageTextLimit);
    case 2:
      return FormatTextArgs(text, {arguments[0], arguments[1]}, kMessageTextLimit);
    default:
      return FormatTextArgs(text, {arguments[0], arguments[1], arguments[2]}, kMessageTextLimit);
  }
}
