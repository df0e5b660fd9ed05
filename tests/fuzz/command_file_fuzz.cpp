// Fuzzes the loader of qvbin\qvc.qbn.
#include "fuzz/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool seeded = false;
  fuzz::SetUpOnce();
  if (!seeded) {
    seeded = true;
    fuzz::WriteSeed("command_file.seed", fuzz::FixtureFile("qvbin\\qvc.qbn"));
  }
  fuzz::WriteInput("qvbin\\qvc.qbn", data, size);
  LoadCommandTable();
  fuzz::Reset();
  return 0;
}
