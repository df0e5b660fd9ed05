// Fuzzes the context-string decoder: the input is a context string, decoded
// into a fresh task context, which is encoded again when it was accepted.
#include "fuzz/fuzz_harness.h"
#include "script/execution_context.h"
#include "script/tasks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool loaded = false;
  fuzz::SetUpOnce();
  if (!loaded) {
    loaded = true;
    if (LoadScriptList() != 0) std::abort();
    // One open block in "main.txt" at instruction 3.
    std::string seed = "\x01\x02\x03\x04\x05\x06\x07\x08" "ab" "aa" "aaaaaaab" "aaaaaaaf" "aa" "aa"
                       "aaaaaaaa" "aaaaaaad" "aaaaaaai" "main.txt";
    fuzz::WriteSeed("context_string.seed", Bytes(seed.begin(), seed.end()));
  }
  ObjectTreeNode node{};
  ExecutionContext* context = CreateExecutionContext(&node);
  if (context == nullptr) std::abort();
  if (DecodeContextString(reinterpret_cast<const char*>(data), size, context) > 0) {
    static char buffer[kContextStringBytes];
    if (EncodeContextString(buffer, context) < 0) std::abort();
  }
  ReleaseExecutionContext(context);
  ResetErrorReporting();
  g_QuitFlag.store(0);
  return 0;
}
