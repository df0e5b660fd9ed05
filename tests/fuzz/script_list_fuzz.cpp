// Fuzzes the loader of qvbin\qvt_list.qbn.
#include "fuzz/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool seeded = false;
  fuzz::SetUpOnce();
  if (!seeded) {
    seeded = true;
    fuzz::WriteSeed("script_list.seed", fuzz::FixtureFile("qvbin\\qvt_list.qbn"));
  }
  fuzz::WriteInput("qvbin\\qvt_list.qbn", data, size);
  LoadScriptList();
  fuzz::Reset();
  return 0;
}
