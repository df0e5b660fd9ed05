// Fuzzes the loader of qvbin\qvv.qbn.
#include "fuzz/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::RunLoaderInput("qvbin\\qvv.qbn", "definitions.seed", data, size, [&] {
    if (LoadVariableTable() == 0 && LoadVariableDefinitions() == 0) {
      InitScriptVariables(-1);
      InitScriptVariables(0);
      InitScriptVariables(1);
    }
  });
}
