// Fuzzes the loader of qvbin\qvcfg.qbn.
#include "fuzz/fuzz_harness.h"
#include "script/engine_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::RunLoaderInput("qvbin\\qvcfg.qbn", "engine_config.seed", data, size, [&] {
    LoadEngineConfig();
  });
}
