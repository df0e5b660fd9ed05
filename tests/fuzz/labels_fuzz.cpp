// Fuzzes the loader of qvbin\qvl.qbn.
#include "fuzz/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool seeded = false;
  fuzz::SetUpOnce();
  if (!seeded) {
    seeded = true;
    fuzz::WriteSeed("labels.seed", fuzz::FixtureFile("qvbin\\qvl.qbn"));
  }
  fuzz::WriteInput("qvbin\\qvl.qbn", data, size);
  if (LoadScriptList() == 0 && LoadLabels() == 0) {
    FindLabel("SYSTEM_START", 12);
    FindLabel("sub", 3);
    if (size > 0) FindLabel(reinterpret_cast<const char*>(data), size);
  }
  fuzz::Reset();
  return 0;
}
