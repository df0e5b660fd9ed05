// Fuzzes the take-over of the compiler's output: the input is the file count
// (u32) followed by the data block, records of u32 name length, name, u32
// data size and data. Every record taken over is then found by its name and
// read back whole.
#include <cstring>

#include "datasrc/compiler_link.h"
#include "datasrc/resource_lookup.h"
#include "fuzz/fuzz_harness.h"

namespace {

void WriteSeeds() {
  ByteWriter block;
  uint32_t count = 0;
  for (const GameFile& file : fuzz::FixtureFiles()) {
    block.U32(static_cast<uint32_t>(file.mName.size() + 1)).Text(file.mName);
    block.U32(static_cast<uint32_t>(file.mBytes.size())).Raw(file.mBytes);
    ++count;
  }
  ByteWriter input;
  input.U32(count).Raw(block.mBytes);
  fuzz::WriteSeed("compiler_link.seed", input.mBytes);
  ByteWriter padded;
  // A name with room after its terminator, and an empty file.
  padded.U32(2).U32(12).Raw("qvbin\\a\0\0\0\0\0", 12).U32(3).Raw("abc", 3);
  padded.U32(2).Raw("b", 2).U32(0);
  fuzz::WriteSeed("compiler_link_padded.seed", padded.mBytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    ready = true;
    fuzz::SetUpOnce();
    WriteSeeds();
  }
  if (size < 4) return 0;
  uint32_t count = fuzz::InputLe32(data, size, 0);
  if (TakeOverCompilerOutput(data + 4, size - 4, count)) {
    if (g_CompilerOutput.size() != count) std::abort();
    for (size_t index = 0; index < g_CompilerOutput.size() && index < 256; ++index) {
      const CompilerOutputRecord record = g_CompilerOutput[index];
      // Every record lies inside the kept block.
      const uint8_t* begin = g_CompilerOutputBlock.data();
      const uint8_t* end = begin + g_CompilerOutputBlock.size();
      if (record.mData < begin || record.mData > end || static_cast<size_t>(end - record.mData) < record.mSize ||
          std::memchr(record.mName, 0, static_cast<size_t>(end - reinterpret_cast<const uint8_t*>(record.mName))) ==
              nullptr) {
        std::abort();
      }
      ResourceLocation location;
      if (FindInCompilerOutput(&location, record.mName) != SOURCE_COMPILER_OUTPUT) std::abort();
      if (ReadResource(&location, record.mName) == 0) {
        // The first record of the name is the one found.
        const CompilerOutputRecord& found = g_CompilerOutput[static_cast<size_t>(location.mCompilerIndex)];
        if (location.mSize != found.mSize || (found.mSize > 0 && std::memcmp(location.mData, found.mData, found.mSize) != 0)) {
          std::abort();
        }
      }
      ReleaseResourceData(&location);
    }
  }
  ReleaseCompilerOutput();
  ResetErrorReporting();
  g_QuitFlag.store(0);
  return 0;
}
