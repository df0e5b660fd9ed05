#include "support/script_test_env.h"

#include <algorithm>
#include <filesystem>

#include "core/errors.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "script/engine_config.h"
#include "script/script_data.h"
#include "script/task_step.h"

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

ScriptTestEnvironment::ScriptTestEnvironment() { ResetScriptEngineState(); }

ScriptTestEnvironment::~ScriptTestEnvironment() { ResetScriptEngineState(); }

void ScriptTestEnvironment::Write(const std::vector<GameFile>& files) const { WriteGameFiles(mFolder.Path(), files); }
void ScriptTestEnvironment::Write(const GameFile& file) const { WriteGameFile(mFolder.Path(), file); }

void ScriptTestEnvironment::Remove(const std::string& gameName) const {
  std::string relative = gameName;
  std::replace(relative.begin(), relative.end(), '\\', '/');
  std::filesystem::remove(std::filesystem::path(mFolder.Path()) / relative);
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
