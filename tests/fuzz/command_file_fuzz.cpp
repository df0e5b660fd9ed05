// Fuzzes the loader of qvbin\qvc.qbn.
#include "fuzz/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::RunLoaderInput("qvbin\\qvc.qbn", "command_file.seed", data, size, [&] {
    LoadCommandTable();
  });
}
