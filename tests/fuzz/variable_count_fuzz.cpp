// Fuzzes the loader of qvbin\qvt.qbn.
#include "fuzz/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool seeded = false;
  fuzz::SetUpOnce();
  if (!seeded) {
    seeded = true;
    fuzz::WriteSeed("variable_count.seed", fuzz::FixtureFile("qvbin\\qvt.qbn"));
  }
  fuzz::WriteInput("qvbin\\qvt.qbn", data, size);
  LoadVariableTable();
  fuzz::Reset();
  return 0;
}
