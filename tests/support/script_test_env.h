#pragma once
// A clean engine for one test: a temporary game folder as the current
// folder, recorded dialogs, and the whole engine brought back to its start
// state (ResetEngineState) before and after, with the script-file key built.
#include <cstdint>
#include <string>
#include <vector>

#include "core/message_ids.h"
#include "support/dialog_recorder.h"
#include "support/script_data_builder.h"
#include "support/temp_folder.h"

class ScriptTestEnvironment {
 public:
  ScriptTestEnvironment();
  ~ScriptTestEnvironment();
  ScriptTestEnvironment(const ScriptTestEnvironment&) = delete;
  ScriptTestEnvironment& operator=(const ScriptTestEnvironment&) = delete;

  const std::string& Folder() const { return mFolder.Path(); }
  // Writes files into the game folder.
  void Write(const std::vector<GameFile>& files) const;
  void Write(const GameFile& file) const;
  void Remove(const std::string& gameName) const;
  // The engine back to the state the environment starts with (between the
  // cases of one test).
  void Reset() const;

  TempFolder mFolder;
  DialogRecorder mDialogs;
};

// Texts that make report ids visible: "E<id>" followed by each argument in
// brackets. Ids with a built-in text keep it.
std::vector<MessageEntry> TaggedMessages(const std::vector<MessageId>& ids);
// Loads such texts straight into the message table.
void InstallTaggedMessages(const std::vector<MessageId>& ids);
// The text that a report of id with these text arguments produces.
std::string ExpectedReport(MessageId id, const std::vector<std::string>& arguments = {});
