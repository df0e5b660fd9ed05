#pragma once
// Pack helpers of the pack fuzz targets: the pack index is built from the
// game folder (on the memory file system) as start-up builds it, and the
// data sources are released after each input.
#include <cstdint>
#include <string>
#include <vector>

#include "datasrc/pack_file.h"
#include "datasrc/pack_index.h"
#include "datasrc/resource_lookup.h"
#include "fuzz/fuzz_harness.h"
#include "support/pack_builder.h"

namespace fuzz {

// Writes bytes as a native file of the game folder.
inline void WriteFolderFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  WriteGameFile(".", {name, bytes});
}

// Looks a name up in the pack index and reads it whole; the data is dropped.
// The result of the read, or the lookup's when nothing was found.
inline int FindAndReadInPacks(const char* name) {
  ResourceLocation location;
  int found = FindInPackIndex(&location, name);
  if (found <= 0) return found;
  int result = ReadResource(&location, name);
  if (result == 0 && location.mData != nullptr && location.mData[location.mSize] != 0) std::abort();
  ReleaseResourceData(&location);
  return result;
}

// After an input: no pack index, no error state.
inline void ResetPacks() {
  ReleaseDataSources();
  ResetErrorReporting();
  g_QuitFlag.store(0);
}

}  // namespace fuzz
