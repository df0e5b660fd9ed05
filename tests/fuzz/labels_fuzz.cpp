// Fuzzes the loader of qvbin\qvl.qbn.
#include "fuzz/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::RunLoaderInput("qvbin\\qvl.qbn", "labels.seed", data, size, [&] {
    if (LoadScriptList() == 0 && LoadLabels() == 0) {
      FindLabel("SYSTEM_START", 12);
      FindLabel("sub", 3);
      if (size > 0) FindLabel(reinterpret_cast<const char*>(data), size);
    }
  });
}
