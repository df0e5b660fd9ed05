// Fuzzes the loader of qvbin\qvt.qbn.
#include "fuzz/fuzz_harness.h"
#include "fuzz/fuzz_limits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzz::CountWithinCap(fuzz::InputLe32(data, size, 8), fuzz::kMaxFuzzVariables, kMaxVariableNumber)) return -1;
  return fuzz::RunLoaderInput("qvbin\\qvt.qbn", "variable_count.seed", data, size, [&] {
    LoadVariableTable();
  });
}
