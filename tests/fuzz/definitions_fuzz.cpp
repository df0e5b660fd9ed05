// Fuzzes the loader of qvbin\qvv.qbn.
#include "fuzz/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool seeded = false;
  fuzz::SetUpOnce();
  if (!seeded) {
    seeded = true;
    fuzz::WriteSeed("definitions.seed", fuzz::FixtureFile("qvbin\\qvv.qbn"));
  }
  fuzz::WriteInput("qvbin\\qvv.qbn", data, size);
  if (LoadVariableTable() == 0 && LoadVariableDefinitions() == 0) {
    InitScriptVariables(-1);
    InitScriptVariables(0);
    InitScriptVariables(1);
  }
  fuzz::Reset();
  return 0;
}
