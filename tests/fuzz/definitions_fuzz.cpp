// Fuzzes the loader of qvbin\qvv.qbn and the variables it defines.
#include "fuzz/fuzz_harness.h"
#include "fuzz/fuzz_limits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzz::DefinitionsWithinCap(data, size)) return -1;
  return fuzz::RunLoaderInput("qvbin\\qvv.qbn", "definitions.seed", data, size, [&] {
    if (LoadVariableTable() == 0 && LoadVariableDefinitions() == 0) {
      InitScriptVariables(-1);
      InitScriptVariables(0);
      InitScriptVariables(1);
    }
  });
}
