// Fuzzes the pack index and the pack reader: the input is a whole pack file.
// The first byte of the input is not part of the pack: its bit 0 names the
// pack update1.qpf, so that it replaces entries of the fixture's own pack
// (base.qpf, always present), else data.qpf beside it. The index is built as
// at start-up, then every entry the input's index names is looked up and read
// (stored or zlib, with the repair of a damaged block) from the packs.
#include <cstring>

#include "datasrc/file_names.h"
#include "fuzz/fuzz_limits.h"
#include "fuzz/pack_fuzz_util.h"

namespace {

constexpr size_t kMaxEntriesRead = 16;

void WriteSeeds() {
  const std::vector<GameFile>& files = fuzz::FixtureFiles();
  for (int variant = 0; variant < 4; ++variant) {
    PackBuilder pack;
    for (const GameFile& file : files) {
      PackBuilderEntry& entry = AddPackFile(&pack, file.mName, file.mBytes);
      entry.mCompressed = (variant & 1) != 0;
      entry.mRepairTrailer = (variant & 2) != 0;
    }
    AddPackFile(&pack, "bg\\sky.png", std::string(3000, 'x')).mRepairTrailer = true;
    BuiltPack built = BuildPack(pack);
    // One damaged byte in the last entry, which its trailer repairs.
    built.mBytes[built.mEntries.back().mDataOffset + 1500] ^= 0x5A;
    Bytes input{static_cast<uint8_t>(variant == 3 ? 1 : 0)};
    input.insert(input.end(), built.mBytes.begin(), built.mBytes.end());
    fuzz::WriteSeed("pack_index_" + std::to_string(variant) + ".seed", input);
  }
}

// The names of the input's index entries, decoded as the reader does; the
// walk stops where the index stops making sense.
std::vector<std::string> EntryNames(const uint8_t* pack, size_t size) {
  std::vector<std::string> names;
  uint32_t count = fuzz::InputLe32(pack, size, 8);
  size_t at = kPackHeaderBytes;
  for (uint32_t entry = 0; entry < count && names.size() < kMaxEntriesRead; ++entry) {
    if (at > size || size - at < 5) break;
    size_t length = g_NameLengthTable[255 - pack[at + 4]];
    if (size - at < kPackEntryFixedBytes + length) break;
    std::string name(length, '\0');
    for (size_t k = 0; k < length; ++k) name[k] = static_cast<char>(ScrambleNameByte(pack[at + 5 + k]));
    names.push_back(name);
    at += kPackEntryFixedBytes + length;
  }
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    ready = true;
    fuzz::SetUpOnce();
    WriteSeeds();
    // The fixture's files live in its pack only.
    std::filesystem::remove_all("qvbin");
    PackBuilder base;
    for (const GameFile& file : fuzz::FixtureFiles()) AddPackFile(&base, file.mName, file.mBytes).mCompressed = true;
    if (!WritePackFile("base.qpf", base)) std::abort();
  }
  if (size == 0) return 0;
  const uint8_t* pack = data + 1;
  size_t packSize = size - 1;
  uint32_t declared = fuzz::InputLe32(pack, packSize, 8);
  if (!fuzz::CountWithinCap(declared, fuzz::kMaxFuzzPackEntries, kMaxPackEntries)) return -1;
  const char* name = (data[0] & 1) != 0 ? "update1.qpf" : "data.qpf";
  fuzz::WriteFolderFile(name, Bytes(pack, pack + packSize));
  InitDataKeys();
  if (BuildPackIndex() == 0) {
    for (std::string entry : EntryNames(pack, packSize)) {
      if (entry.empty() || entry.size() > kMaxNameBytes || entry.find('\0') != std::string::npos) continue;
      LowerCaseName(entry);
      fuzz::FindAndReadInPacks(entry.c_str());
      ResetErrorReporting();
      g_QuitFlag.store(0);
    }
    fuzz::FindAndReadInPacks("qvbin\\qvcfg.qbn");
  }
  RemoveGameFile(name);
  fuzz::ResetPacks();
  return 0;
}
