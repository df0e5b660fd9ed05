#include "datasrc/pack_index.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <unordered_map>

#include "core/byte_order.h"
#include "core/checksums.h"
#include "core/errors.h"
#include "core/file_names.h"
#include "core/process_state.h"
#include "core/sjis.h"
#include "datasrc/pack_file.h"
#include "datasrc/resource_lookup.h"
#include "platform/game_files.h"
#include "script/script_data.h"

uint8_t g_ReleaseLayout = 0;
int32_t g_PackScanDepth = 1;
std::string g_PackNames[kMaxPacks];
int32_t g_PackCount = 0;
uint32_t g_PackEntryCounts[kMaxPacks];
uint64_t g_PackEntryTotal = 0;
std::vector<uint32_t> g_PackEntryHashes;
std::vector<int32_t> g_PackEntryPacks;
std::vector<int64_t> g_PackEntryOffsets;
std::string g_UpdatePackPaths[kUpdatePackCount];

namespace {

constexpr std::string_view kEngineConfigName = "qvbin\\qvcfg.qbn";

void ClearPackTables() {
  for (std::string& name : g_PackNames) name.clear();
  for (std::string& path : g_UpdatePackPaths) path.clear();
  std::fill(std::begin(g_PackEntryCounts), std::end(g_PackEntryCounts), 0u);
  g_PackCount = 0;
  g_PackEntryTotal = 0;
  g_PackEntryHashes = {};
  g_PackEntryPacks = {};
  g_PackEntryOffsets = {};
}

// 1-9 when the file name of a pack path, without folder and extension, is
// update1 ... update9 (letters folded), else 0.
int UpdatePackNumber(std::string_view path) {
  std::string fileName;
  if (!GetFileNamePart(&fileName, path)) fileName = path;
  std::string_view stem(fileName);
  stem = stem.substr(0, stem.find_last_of('.'));
  if (stem.size() != 7 || !EqualsSjisNoCase(stem.substr(0, 6), "update")) return 0;
  char digit = stem[6];
  return digit >= '1' && digit <= '9' ? digit - '0' : 0;
}

void DecodePackName(const uint8_t* stored, size_t length, char* name) {
  for (size_t index = 0; index < length; ++index) name[index] = static_cast<char>(ScrambleNameByte(stored[index]));
}

// The names of the entries read so far, kept only while the index is built
// so that duplicates are found without reading the packs again.
struct IndexBuildNames {
  std::string mText;
  std::vector<uint32_t> mStart;  // entry k: mText[mStart[k], mStart[k + 1])
  std::unordered_map<uint32_t, uint32_t> mFirstOfHash;
  std::vector<uint32_t> mNextOfHash;  // the previous entry with the same original hash, or kNone
  static constexpr uint32_t kNone = UINT32_MAX;

  std::string_view Name(uint32_t entry) const {
    return std::string_view(mText).substr(mStart[entry], mStart[entry + 1] - mStart[entry]);
  }
};

// Checks entry `entry` (already recorded) against every earlier entry with
// the same hash. 0, or -1 after 104150.
int CheckDuplicateEntry(IndexBuildNames* names, uint32_t entry, uint32_t hash, bool updatePack) {
  std::string_view name = names->Name(entry);
  auto found = names->mFirstOfHash.find(hash);
  uint32_t earlier = found == names->mFirstOfHash.end() ? IndexBuildNames::kNone : found->second;
  for (uint32_t other = earlier; other != IndexBuildNames::kNone; other = names->mNextOfHash[other]) {
    // An entry replaced earlier no longer carries the hash.
    if (g_PackEntryHashes[other] != hash || !EqualsSjisNoCase(names->Name(other), name)) continue;
    if (!updatePack) {
      ReportErrorFmt(104150, 0, std::string(name));
      return -1;
    }
    // Replaced: a hash that no lookup of this name computes.
    g_PackEntryHashes[other] = hash == 0 ? 1 : 0;
  }
  names->mNextOfHash[entry] = earlier;
  names->mFirstOfHash[hash] = entry;
  return 0;
}

// Reads the index of pack `pack` into the entry arrays from `*entry` on.
// 0, or -1 after a fatal message.
int ReadPackIndex(int32_t pack, uint32_t* entry, IndexBuildNames* names) {
  const std::string& path = g_PackNames[pack];
  PackFileHandle handle;
  if (!OpenPackFile(&handle, path)) {
    ReportErrorFmt(901040, 1, path);
    return -1;
  }
  uint32_t indexSize = 0;
  uint64_t count = g_PackEntryCounts[pack];
  // The index lies inside the file and holds at least the fixed part of
  // every entry.
  if (handle.mSize < static_cast<int64_t>(kPackHeaderBytes) || !SeekPackFile(&handle, 12) ||
      !ReadPackU32(&handle, &indexSize) ||
      static_cast<int64_t>(indexSize) > handle.mSize - static_cast<int64_t>(kPackHeaderBytes) ||
      count * kPackEntryFixedBytes > indexSize) {
    ReportErrorFmt(104120, 1, path);
    return -1;
  }
  std::vector<uint8_t> index(indexSize);
  if (!SeekPackFile(&handle, kPackHeaderBytes) || !ReadPackBytes(&handle, index.data(), index.size())) {
    ReportErrorFmt(104120, 1, path);
    return -1;
  }
  bool updatePack = UpdatePackNumber(path) != 0;
  size_t position = 0;
  char decoded[256];
  for (uint64_t number = 0; number < count; ++number) {
    size_t length = index.size() - position >= 5 ? g_NameLengthTable[255 - index[position + 4]] : 0;
    if (index.size() - position < kPackEntryFixedBytes + length) {
      // The entries overrun the stated index size.
      ReportErrorFmt(104120, 1, path);
      return -1;
    }
    uint32_t hash = LoadLe32(&index[position]);
    DecodePackName(&index[position + 5], length, decoded);
    std::string_view name(decoded, length);
    uint32_t current = (*entry)++;
    g_PackEntryHashes[current] = hash;
    g_PackEntryPacks[current] = pack;
    g_PackEntryOffsets[current] = static_cast<int64_t>(kPackHeaderBytes + position + 4);
    names->mText.append(name);
    names->mStart[current + 1] = static_cast<uint32_t>(names->mText.size());
    if (EqualsSjisNoCase(name, kEngineConfigName)) g_ReleaseLayout = 1;
    if (CheckDuplicateEntry(names, current, hash, updatePack) != 0) return -1;
    position += kPackEntryFixedBytes + length;
  }
  return 0;
}

}  // namespace

int InitDataKeys() {
  for (int value = 0; value < 256; ++value) g_NameLengthTable[value] = SwapNameLength(static_cast<uint8_t>(value));
  InitScriptSectionKey();
  return 0;
}

int RegisterPackFile(const char* path) {
  if (g_PackCount >= kMaxPacks) {
    ReportErrorFmt(104130, 1, kMaxPacks);
    return -1;
  }
  g_PackNames[g_PackCount] = path;
  PackFileHandle handle;
  if (!OpenPackFile(&handle, path)) {
    ReportErrorFmt(901040, 1, path);
    return -2;
  }
  char magic[4];
  if (!ReadPackBytes(&handle, magic, sizeof magic) || std::memcmp(magic, kPackMagic, sizeof magic) != 0) {
    // Not a pack: skipped without a word.
    g_PackNames[g_PackCount].clear();
    return 0;
  }
  uint32_t version = 0;
  uint32_t count = 0;
  if (!ReadPackU32(&handle, &version) || version < kPackMinVersion || !ReadPackU32(&handle, &count)) {
    ReportErrorFmt(104120, 1, path);
    return -1;
  }
  uint64_t total = g_PackEntryTotal + count;
  if (total > kMaxPackEntries) {
    ReportErrorFmt(104140, 1, static_cast<int32_t>(kMaxPackEntries));
    return -1;
  }
  g_PackEntryCounts[g_PackCount] = count;
  g_PackEntryTotal = total;
  ++g_PackCount;
  return 0;
}

int ScanPackFolders(int32_t maxDepth, const char* root) {
  struct QueuedFolder {
    std::string mPath;
    int32_t mDepth;
  };
  std::vector<QueuedFolder> queue;
  queue.push_back({root, 1});
  for (size_t next = 0; next < queue.size(); ++next) {
    std::string folder = queue[next].mPath;
    int32_t depth = queue[next].mDepth;
    for (const GameFolderEntry& entry : ListGameFolder(folder)) {
      if (entry.mIsFolder) {
        if (!EqualsSjisNoCase(entry.mName, "pac") || maxDepth < depth) continue;
        if (queue.size() >= static_cast<size_t>(kMaxPackFolders)) {
          ReportError(104110, 1);
          return -1;
        }
        if (depth >= kMaxPackFolderDepth) {
          ReportError(104111, 1);
          return -1;
        }
        queue.push_back({folder + "\\" + entry.mName, depth + 1});
        continue;
      }
      if (!EndsWithNoCase(entry.mName.c_str(), ".qpf")) continue;
      std::string path = folder + "\\" + entry.mName;
      LowerCaseName(path);
      int update = UpdatePackNumber(path);
      if (update != 0) {
        g_UpdatePackPaths[update - 1] = path;
      } else if (RegisterPackFile(path.c_str()) != 0) {
        return -1;
      }
    }
  }
  return 0;
}

void SortPackIndex() {
  size_t count = g_PackEntryHashes.size();
  std::vector<uint32_t> order(count);
  for (size_t index = 0; index < count; ++index) order[index] = static_cast<uint32_t>(index);
  std::stable_sort(order.begin(), order.end(),
                   [](uint32_t a, uint32_t b) { return g_PackEntryHashes[a] < g_PackEntryHashes[b]; });
  std::vector<uint32_t> hashes(count);
  std::vector<int32_t> packs(count);
  std::vector<int64_t> offsets(count);
  for (size_t index = 0; index < count; ++index) {
    hashes[index] = g_PackEntryHashes[order[index]];
    packs[index] = g_PackEntryPacks[order[index]];
    offsets[index] = g_PackEntryOffsets[order[index]];
  }
  g_PackEntryHashes = std::move(hashes);
  g_PackEntryPacks = std::move(packs);
  g_PackEntryOffsets = std::move(offsets);
}

int BuildPackIndex() {
  ClearPackTables();
  if (g_DataAppended == 1) {
    // The program file is the only pack; OpenPackFile does not use its path.
    if (RegisterPackFile("<appended>") != 0) return -1;
  } else if (ScanPackFolders(g_PackScanDepth, ".") != 0) {
    return -1;
  }
  // Update packs come last; each failure has raised its own fatal message.
  for (const std::string& path : g_UpdatePackPaths) {
    if (!path.empty()) RegisterPackFile(path.c_str());
  }

  IndexBuildNames names;
  try {
    size_t total = static_cast<size_t>(g_PackEntryTotal);
    g_PackEntryHashes.assign(total, 0);
    g_PackEntryPacks.assign(total, 0);
    g_PackEntryOffsets.assign(total, 0);
    names.mStart.assign(total + 1, 0);
    names.mNextOfHash.assign(total, IndexBuildNames::kNone);
    names.mFirstOfHash.reserve(total);
  } catch (const std::bad_alloc&) {
    ReportError(100010, 1);
    return -1;
  }
  uint32_t entry = 0;
  for (int32_t pack = 0; pack < g_PackCount; ++pack) {
    if (ReadPackIndex(pack, &entry, &names) != 0) return -1;
  }
  SortPackIndex();
  return 0;
}

std::string GetPackOpenPath(int32_t packNumber) {
  if (packNumber < 0 || packNumber >= g_PackCount) return std::string();
  if (g_ReleaseLayout != 0) return g_PackNames[packNumber];
  return std::string(g_ExeFolder) + g_PackNames[packNumber];
}

int FindInPackIndex(ResourceLocation* location, const char* name) {
  std::string_view wanted(name);
  uint32_t hash = MurmurHash2(wanted.data(), wanted.size());
  auto first = std::lower_bound(g_PackEntryHashes.begin(), g_PackEntryHashes.end(), hash);
  for (size_t entry = static_cast<size_t>(first - g_PackEntryHashes.begin());
       entry < g_PackEntryHashes.size() && g_PackEntryHashes[entry] == hash; ++entry) {
    location->mPackNumber = g_PackEntryPacks[entry];
    PackFileHandle handle;
    if (!OpenPackFile(&handle, GetPackOpenPath(location->mPackNumber))) return -2;
    uint8_t code = 0;
    uint8_t stored[256];
    if (!SeekPackFile(&handle, g_PackEntryOffsets[entry]) || !ReadPackByte(&handle, &code)) return -2;
    size_t length = g_NameLengthTable[255 - code];
    if (!ReadPackBytes(&handle, stored, length)) return -2;
    char decoded[256];
    DecodePackName(stored, length, decoded);
    if (!EqualsSjisNoCase(std::string_view(decoded, length), wanted)) continue;
    uint8_t type = 0;
    if (!ReadPackByte(&handle, &type)) return -2;
    location->mType = type;
    location->mDataPosition = TellPackFile(&handle);
    location->mPackEntry = static_cast<int32_t>(entry);
    location->mSource = SOURCE_PACK;
    return SOURCE_PACK;
  }
  return 0;
}

void ReleasePackIndex() {
  ClearPackTables();
  g_ReleaseLayout = 0;
  g_PackScanDepth = 1;
  g_AppendedPackBase = 0;
  std::fill(std::begin(g_NameLengthTable), std::end(g_NameLengthTable), uint8_t{0});
}
