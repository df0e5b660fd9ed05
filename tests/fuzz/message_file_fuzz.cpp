// Fuzzes the loader of qvbin\qve.qbn.
#include "fuzz/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool seeded = false;
  fuzz::SetUpOnce();
  if (!seeded) {
    seeded = true;
    fuzz::WriteSeed("message_file.seed", fuzz::FixtureFile("qvbin\\qve.qbn"));
  }
  fuzz::WriteInput("qvbin\\qve.qbn", data, size);
  LoadErrorTexts();
  fuzz::Reset();
  return 0;
}
