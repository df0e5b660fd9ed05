// Fuzzes the loader of qvbin\qvt.qbn.
#include "fuzz/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::RunLoaderInput("qvbin\\qvt.qbn", "variable_count.seed", data, size, [&] {
    LoadVariableTable();
  });
}
