// Fuzzes the loader of qvbin\qvt_list.qbn.
#include "fuzz/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::RunLoaderInput("qvbin\\qvt_list.qbn", "script_list.seed", data, size, [&] {
    LoadScriptList();
  });
}
