// Fuzzes the loader of qvbin\qvcfg.qbn.
#include "fuzz/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool seeded = false;
  fuzz::SetUpOnce();
  if (!seeded) {
    seeded = true;
    fuzz::WriteSeed("engine_config.seed", fuzz::FixtureFile("qvbin\\qvcfg.qbn"));
  }
  fuzz::WriteInput("qvbin\\qvcfg.qbn", data, size);
  LoadEngineConfig();
  fuzz::Reset();
  return 0;
}
