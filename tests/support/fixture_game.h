#pragma once
// A small game's compiled script data for the loader tests: two script
// files, labels inside blocks and loops, variables of every kind and scope.
#include "core/message_ids.h"
#include "support/script_data_builder.h"

// Variables of the fixture.
enum : uint16_t {
  kFixtureInt = 1000,       // scope 1, integer 42
  kFixtureReal = 1001,      // scope 3, real array [3] of 2.5
  kFixtureString = 1002,    // scope 1, string array [2][2] of "C:\\dir\\x"
  kFixtureScriptVar = 1003, // scope 2 of script 1, integer 7
};

// Message ids whose texts the fixture's message file tags (see
// TaggedMessages).
const std::vector<MessageId>& FixtureMessageIds();
ScriptData MakeFixtureGame();

// Packs game files into one pack file (a native path); false when it cannot
// be written. A pack that holds qvbin\qvcfg.qbn makes the release layout.
bool WriteGamePack(const std::string& path, const std::vector<GameFile>& files);
