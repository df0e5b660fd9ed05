// Fuzzes the expression evaluator: the input is one compiled expression, run
// in every mode and in declaration mode over the fixture game's variables.
#include "fuzz/fuzz_harness.h"
#include "script/eval.h"
#include "script/eval_cache.h"
#include "support/script_assembler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool loaded = false;
  fuzz::SetUpOnce();
  if (!loaded) {
    loaded = true;
    if (LoadCommandTable() != 0 || LoadVariableTable() != 0 || LoadScriptList() != 0 ||
        LoadVariableDefinitions() != 0 || InitScriptVariables(-1) != 0) {
      std::abort();
    }
    Expr seed = Bin(Elem(kFixtureString, {Num(1), Bin(Var(kFixtureInt), Num(41), '-')}),
                    ToStr(Bin(Elem(kFixtureReal, {Num(2)}), Real(0.5), '*')), '+');
    fuzz::WriteSeed("eval.seed", seed.mBytes);
  }
  auto length = static_cast<uint32_t>(size);
  char text[kEvalStringBytes];
  EvalInt(data, length);
  // Decoded once, then run from the table; the input's buffer does not
  // outlive this call, so the table forgets it.
  EvalScriptInt(data, length);
  EvalScriptInt(data, length);
  DropEvalCache();
  EvalReal(data, length);
  EvalStringInt(text, data, size);
  EvalStringReal(text, data, size);
  g_DeclareMode = 1;
  EvalInt(data, length);
  g_DeclareMode = 0;
  FillOperatorTable(0);
  EvalStringInt(text, data, size);
  FillOperatorTable(1);
  ResetErrorReporting();
  g_QuitFlag.store(0);
  return 0;
}
