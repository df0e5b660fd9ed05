// Fuzzes the loader of qvbin\qvv.qbn and the variables it defines. The
// variable table is loaded once; after each input its records are brought
// back to the state the table loader leaves them in (no storage, all fields
// zero), which spares thousands of allocations per input.
#include "fuzz/fuzz_harness.h"
#include "fuzz/fuzz_limits.h"
#include "script/variables.h"

namespace {

constexpr char kInputName[] = "qvbin\\qvv.qbn";

// Only records an input touched are cleared (a sanitizer build records a
// stack trace for every call of free, even of a null pointer).
void ClearVariableRecords() {
  static const VariableRecord kUntouched{};
  for (uint32_t number = 0; number < g_VariableCount; ++number) {
    VariableRecord* record = g_VariableTable[number];
    if (std::memcmp(record, &kUntouched, sizeof(VariableRecord)) == 0) continue;
    FreeVariableStorage(record);
    std::memset(record, 0, sizeof(VariableRecord));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    ready = true;
    fuzz::SetUpOnce();
    fuzz::WriteSeed("definitions.seed", fuzz::FixtureFile(kInputName));
    RemoveGameFile(kInputName);
    if (LoadVariableTable() != 0) std::abort();
  }
  if (!fuzz::DefinitionsWithinCap(data, size)) return -1;
  fuzz::HandOver(kInputName, data, size);
  if (LoadVariableDefinitions() == 0) {
    InitScriptVariables(-1);
    InitScriptVariables(0);
    InitScriptVariables(1);
  }
  fuzz::TakeBack();
  ClearVariableRecords();
  ResetErrorReporting();
  g_QuitFlag.store(0);
  return 0;
}
