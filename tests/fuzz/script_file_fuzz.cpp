// Fuzzes the script-file loader: the input is an unscrambled script file
// (the section key is zero), loaded as script 1 of the fixture game.
#include "fuzz/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool loaded = false;
  fuzz::SetUpOnce();
  if (!loaded) {
    loaded = true;
    std::array<uint8_t, 4> zero{};
    ScriptData game = MakeFixtureGame();
    fuzz::WriteSeed("script_file.seed", BuildScriptFile(BuildScriptSections(game.mScriptFiles[1]), zero));
    if (LoadCommandTable() != 0 || LoadVariableTable() != 0 || LoadScriptList() != 0 ||
        LoadVariableDefinitions() != 0 || LoadLabels() != 0) {
      std::abort();
    }
    std::memset(g_ScriptSectionKey, 0, sizeof(g_ScriptSectionKey));
  }
  fuzz::WriteInput("qvbin\\qvt00001.qbn", data, size);
  LoadScriptFile(1);
  FreeScriptFileRecord(g_ScriptFileTable[1]);
  g_ScriptFileTable[1] = nullptr;
  ResetErrorReporting();
  g_QuitFlag.store(0);
  return 0;
}
