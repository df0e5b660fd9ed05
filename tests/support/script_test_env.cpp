#include "support/script_test_env.h"

#include <algorithm>
#include <filesystem>

#include "core/errors.h"
#include "script/script_data.h"
#include "shell/engine_reset.h"

ScriptTestEnvironment::ScriptTestEnvironment() { Reset(); }

ScriptTestEnvironment::~ScriptTestEnvironment() { ResetEngineState(); }

void ScriptTestEnvironment::Reset() const {
  ResetEngineState();
  // The key start-up builds with the data keys, so that script files load
  // without the pack index.
  InitScriptSectionKey();
}

void ScriptTestEnvironment::Write(const std::vector<GameFile>& files) const { WriteGameFiles(mFolder.Path(), files); }
void ScriptTestEnvironment::Write(const GameFile& file) const { WriteGameFile(mFolder.Path(), file); }

void ScriptTestEnvironment::Remove(const std::string& gameName) const {
  std::string relative = gameName;
  std::replace(relative.begin(), relative.end(), '\\', '/');
  std::filesystem::remove(std::filesystem::path(mFolder.Path()) / relative);
}

std::vector<MessageEntry> TaggedMessages(const std::vector<MessageId>& ids) {
  std::vector<MessageEntry> entries;
  for (MessageId id : ids) entries.push_back({id.mNumber, "E" + std::to_string(id.mNumber) + "[%s][%s][%s]"});
  return entries;
}

void InstallTaggedMessages(const std::vector<MessageId>& ids) {
  ClearMessageTexts();
  for (const MessageEntry& entry : TaggedMessages(ids)) AddMessageText(entry.mId, entry.mText);
}

std::string ExpectedReport(MessageId id, const std::vector<std::string>& arguments) {
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
