// Fuzzes the loader of qvbin\qve.qbn.
#include "fuzz/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::RunLoaderInput("qvbin\\qve.qbn", "message_file.seed", data, size, [&] {
    LoadErrorTexts();
  });
}
