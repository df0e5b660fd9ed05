// Fuzzes path normalisation, node creation and lookup: the input is a path
// and a base separated by the first zero byte; a second zero byte ends the
// base.
#include <cstring>

#include "core/object_path.h"
#include "fuzz/fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool seeded = false;
  fuzz::SetUpOnce();
  if (!seeded) {
    seeded = true;
    static constexpr char kSeed[] = "a/./b/../c d/\x83\x5c\0W0";
    fuzz::WriteSeed("object_path.seed", Bytes(kSeed, kSeed + sizeof(kSeed) - 1));
  }
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t split = input.find('\0');
  std::string path = input.substr(0, split);
  std::string base = split == std::string::npos ? "W0" : input.substr(split + 1);
  base = base.substr(0, std::min(base.find('\0'), kPathBaseBytes - 1));
  CreateObjectTrees();
  char normalized[kObjectPathBytes];
  for (uint8_t blanks = 0; blanks < 2; ++blanks) {
    int mode = NormalizeObjectPath(normalized, path.c_str(), base.c_str(), blanks);
    if (mode < 0) continue;
    if (std::strlen(normalized) >= kObjectPathBytes) std::abort();
    if (FindObjectByPath(g_LayerRoot, normalized, mode) == nullptr) {
      CreateTreeNode(g_LayerRoot, normalized, 1, static_cast<uint8_t>(mode));
    }
    FindObjectByPath(g_LayerRoot, normalized, kPathAny);
  }
  CreateTreeNode(g_TaskRoot, path.c_str(), 5, 0);
  fuzz::Reset();
  return 0;
}
