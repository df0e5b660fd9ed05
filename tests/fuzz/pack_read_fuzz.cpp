// Fuzzes the pack reader's integrity check and repair: the input describes
// one entry of a well-formed pack and the damage done to it afterwards.
//   byte 0      bit 0 zlib-packed, bit 1 with a repair trailer
//   bytes 1-6   two damages, each a u16 position counted from the entry's
//               stored bytes (so trailers can be hit too) and a byte XORed
//               into the pack there
//   the rest    the entry's file
// The entry is then looked up and read. A stored entry is always checked
// against its data hash, so a read of one that succeeds must deliver exactly
// the file.
#include <cstring>

#include "fuzz/pack_fuzz_util.h"

namespace {

constexpr char kEntryName[] = "data\\entry.bin";
constexpr size_t kDamages = 2;
constexpr size_t kHeaderBytes = 1 + kDamages * 3;

void WriteSeeds() {
  Bytes file;
  for (int k = 0; k < 2600; ++k) file.push_back(static_cast<uint8_t>(k * 7 / 3));
  const Bytes flags = {0, 1, 2, 3};
  for (uint8_t flag : flags) {
    // No damage, then one byte of the second block damaged.
    for (uint16_t position : {uint16_t{0xFFFF}, uint16_t{1100}}) {
      fuzz::WriteSeed(
          "pack_read_" + std::to_string(flag) + "_" + std::to_string(position) + ".seed",
          fuzz::Prefixed({flag, static_cast<uint8_t>(position), static_cast<uint8_t>(position >> 8), 0x21, 0xFF, 0xFF, 0},
                         file));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    ready = true;
    fuzz::SetUpOnce();
    WriteSeeds();
  }
  if (size < kHeaderBytes) return 0;
  PackBuilder pack;
  PackBuilderEntry& entry = AddPackFile(&pack, kEntryName, Bytes(data + kHeaderBytes, data + size));
  entry.mCompressed = (data[0] & 1) != 0;
  entry.mRepairTrailer = (data[0] & 2) != 0;
  BuiltPack built = BuildPack(pack);
  for (size_t damage = 0; damage < kDamages; ++damage) {
    const uint8_t* field = data + 1 + damage * 3;
    uint64_t position = built.mEntries[0].mDataOffset + (field[0] | field[1] << 8);
    if (position < built.mBytes.size()) built.mBytes[position] ^= field[2];
  }
  if (!WritePackFile("data.qpf", built)) std::abort();
  InitDataKeys();
  if (BuildPackIndex() == 0) {
    ResourceLocation location;
    if (FindInPackIndex(&location, kEntryName) == SOURCE_PACK && ReadResource(&location, kEntryName) == 0) {
      size_t fileSize = size - kHeaderBytes;
      bool exact = location.mSize == fileSize && std::memcmp(location.mData, data + kHeaderBytes, fileSize) == 0;
      if (!entry.mCompressed && !exact) std::abort();
    }
    ReleaseResourceData(&location);
  }
  fuzz::ResetPacks();
  return 0;
}
