// Fuzzes the pack index and the pack reader: the input is a whole pack file.
// The first byte of the input is not part of the pack: its bit 0 names the
// pack update1.qpf (an update pack, whose entries replace earlier ones of the
// same name), else data.qpf. The index is built as at start-up, then the
// first entries the input's index names are looked up and read (stored or
// zlib, with the repair of a damaged block) from the pack.
#include <cstring>

#include "core/file_names.h"
#include "fuzz/fuzz_limits.h"
#include "fuzz/pack_fuzz_util.h"

namespace {

constexpr size_t kMaxEntriesRead = 4;

void WriteSeeds() {
  const std::vector<GameFile>& files = fuzz::FixtureFiles();
  for (int variant = 0; variant < 4; ++variant) {
    PackBuilder pack;
    for (const GameFile& file : files) {
      PackBuilderEntry& entry = AddPackFile(&pack, file.mName, file.mBytes);
      entry.mCompressed = (variant & 1) != 0;
      entry.mRepairTrailer = (variant & 2) != 0;
    }
    size_t damaged = pack.mEntries.size();
    AddPackFile(&pack, "bg\\sky.png", std::string(3000, 'x')).mRepairTrailer = true;
    // The update pack names one file twice: the later entry replaces it.
    if (variant == 3) AddPackFile(&pack, files[0].mName, std::string("again"));
    BuiltPack built = BuildPack(pack);
    // One damaged byte, which the entry's trailer repairs.
    built.mBytes[built.mEntries[damaged].mDataOffset + 1500] ^= 0x5A;
    fuzz::WriteSeed("pack_index_" + std::to_string(variant) + ".seed",
                    fuzz::Prefixed({static_cast<uint8_t>(variant == 3 ? 1 : 0)}, built.mBytes));
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
    // The input is the only source of game files.
    std::filesystem::remove_all("qvbin");
  }
  if (size == 0) return 0;
  const uint8_t* pack = data + 1;
  size_t packSize = size - 1;
  uint32_t declared = fuzz::InputLe32(pack, packSize, 8);
  if (!fuzz::CountWithinCap(declared, fuzz::kMaxFuzzPackEntries, kMaxPackEntries)) return -1;
  // Both names always exist, so the folder (and the engine's cached listing
  // of it) stays the same: the other one holds no pack and is skipped.
  bool update = (data[0] & 1) != 0;
  fuzz::WriteFolderFile(update ? "update1.qpf" : "data.qpf", Bytes(pack, pack + packSize));
  fuzz::WriteFolderFile(update ? "data.qpf" : "update1.qpf", Bytes{'-'});
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
  fuzz::ResetPacks();
  return 0;
}
