// Fuzzes the script data loaded as one chain, as start-up loads it: the
// engine configuration, the message texts, command declarations, variable
// table, script list, variable definitions and labels, the script file of the
// start label and then every other script file. The input holds the files in
// that order (kChainFiles), each as a u32 length and its bytes; a file the
// input does not reach is missing. The files are handed over from memory.
#include <cstring>
#include <filesystem>

#include "fuzz/fuzz_harness.h"
#include "fuzz/fuzz_limits.h"
#include "script/engine_config.h"

namespace {

constexpr const char* kChainFiles[] = {
    "qvbin\\qvcfg.qbn", "qvbin\\qve.qbn",      "qvbin\\qvc.qbn",       "qvbin\\qvt.qbn",      "qvbin\\qvt_list.qbn",
    "qvbin\\qvv.qbn",   "qvbin\\qvl.qbn",      "qvbin\\qvt00000.qbn", "qvbin\\qvt00001.qbn", "qvbin\\qvt00002.qbn",
    "qvbin\\qvt00003.qbn",
};
constexpr size_t kVariableFile = 3;
constexpr size_t kDefinitionFile = 5;
constexpr int32_t kMaxScriptsLoaded = 4;

Bytes Chain(const std::vector<GameFile>& files) {
  ByteWriter chain;
  for (const char* name : kChainFiles) {
    for (const GameFile& file : files) {
      if (file.mName == name) chain.U32(static_cast<uint32_t>(file.mBytes.size())).Raw(file.mBytes);
    }
  }
  return chain.mBytes;
}

void WriteSeeds() {
  // The fixture game with no more variables than its definitions use.
  ScriptData game = MakeFixtureGame();
  game.mVariableCount = kFixtureScriptVar + 1;
  fuzz::WriteSeed("script_chain.seed", Chain(BuildScriptDataFiles(game)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    ready = true;
    fuzz::SetUpOnce();
    WriteSeeds();
    // Only the input's files exist.
    std::filesystem::remove_all("qvbin");
  }
  // The files of the input, in place.
  std::vector<CompilerOutputRecord> files;
  size_t at = 0;
  for (const char* name : kChainFiles) {
    if (size - at < 4) break;
    uint32_t length = fuzz::InputLe32(data, size, at);
    at += 4;
    if (length > size - at) break;
    const uint8_t* bytes = data + at;
    if (files.size() == kVariableFile &&
        !fuzz::CountWithinCap(fuzz::InputLe32(bytes, length, 8), fuzz::kMaxFuzzVariables, kMaxVariableNumber)) {
      return -1;
    }
    if (files.size() == kDefinitionFile && !fuzz::DefinitionsWithinCap(bytes, length)) return -1;
    files.push_back({name, length, bytes});
    at += length;
  }
  g_CompilerOutput = files;
  if (LoadEngineConfig() == 0 && CreateObjectTrees() == 0 && LoadScriptData() == 0) {
    for (int32_t script = 0; script < g_ScriptCount && script < kMaxScriptsLoaded; ++script) {
      if (LoadScriptFile(static_cast<uint16_t>(script)) == 0) break;
    }
  }
  fuzz::Reset();
  return 0;
}
