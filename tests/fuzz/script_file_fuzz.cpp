// Fuzzes the script-file loader: the input is an unscrambled script file
// (the section key is zero), loaded as script 1 of the fixture game, whose
// labels its jumps and calls are resolved against. The seeds jump to and
// call the fixture's labels by constant names, by computed names and by
// names that do not exist.
#include "fuzz/fuzz_harness.h"
#include "support/command_table.h"
#include "support/script_assembler.h"

namespace {

constexpr char kInputName[] = "qvbin\\qvt00001.qbn";

void WriteSeeds() {
  const std::array<uint8_t, 4> zero{};
  ScriptData game = MakeFixtureGame();
  fuzz::WriteSeed("script_file_main.seed", BuildScriptFile(BuildScriptSections(game.mScriptFiles[0]), zero));
  fuzz::WriteSeed("script_file_sub.seed", BuildScriptFile(BuildScriptSections(game.mScriptFiles[1]), zero));

  ScriptAssembler code(StandardCommandTable(), 1);
  code.Label("sub");
  code.Jump(Str("inside"));
  code.Call(Str("sub"), {{Num(1), Var(kFixtureInt)}, {Real(1.5)}, {Str("a"), Str("b")}});
  code.Call(Bin(Str("SYSTEM_"), Str("START"), '+'));
  code.Loop(Num(2));
  code.If(Bin(Var(kFixtureScriptVar), Num(7), '='));
  code.Jump(Str("sub"));
  code.ElseIf(Num(1));
  code.Call(Str("no_such_label"));
  code.Break();
  code.Else();
  code.Jump(ToStr(Var(kFixtureInt)));
  code.EndIf();
  code.EndLoop();
  code.Return({{Num(3)}, {}, {Str("done")}});
  fuzz::WriteSeed("script_file_jumps.seed", BuildScriptFile(BuildScriptSections(code.Finish()), zero));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool loaded = false;
  fuzz::SetUpOnce();
  if (!loaded) {
    loaded = true;
    WriteSeeds();
    if (LoadCommandTable() != 0 || LoadVariableTable() != 0 || LoadScriptList() != 0 ||
        LoadVariableDefinitions() != 0 || LoadLabels() != 0) {
      std::abort();
    }
    std::memset(g_ScriptSectionKey, 0, sizeof(g_ScriptSectionKey));
  }
  fuzz::HandOver(kInputName, data, size);
  LoadScriptFile(1);
  fuzz::TakeBack();
  FreeScriptFileRecord(g_ScriptFileTable[1]);
  g_ScriptFileTable[1] = nullptr;
  ResetErrorReporting();
  g_QuitFlag.store(0);
  return 0;
}
