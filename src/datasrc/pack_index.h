#pragma once
// The pack index: every entry of every pack file, merged at start-up.
//
// Packs are the *.qpf files of the program folder and its "pac" sub-folder
// (the game data appended to the program file in the appended layout);
// update1.qpf to update9.qpf are read last and replace entries of the same
// name in earlier packs. Any other duplicate name stops start-up.
#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t kMaxPacks = 100;
constexpr uint64_t kMaxPackEntries = 200000;
constexpr int32_t kMaxPackFolders = 1000;
constexpr int32_t kMaxPackFolderDepth = 32;
constexpr int32_t kUpdatePackCount = 9;

// 1 when the engine configuration was found in a pack or appended data: pack
// paths are then opened as stored, otherwise below the program folder.
extern uint8_t g_ReleaseLayout;
// How deep the scan goes below the program folder (1: the folder and "pac").
extern int32_t g_PackScanDepth;

// Registered packs: paths relative to the program folder, lower case.
extern std::string g_PackNames[kMaxPacks];
extern int32_t g_PackCount;
// Entry counts as read when each pack was registered.
extern uint32_t g_PackEntryCounts[kMaxPacks];
extern uint64_t g_PackEntryTotal;
// Per entry, sorted by hash (entries of one hash stay in index order): the
// name hash (0, or 1, for an entry replaced by an update pack), the pack
// number and the position of the entry's name-length byte.
extern std::vector<uint32_t> g_PackEntryHashes;
extern std::vector<int32_t> g_PackEntryPacks;
extern std::vector<int64_t> g_PackEntryOffsets;
// Paths of update1.qpf ... update9.qpf found by the scan (empty: none).
extern std::string g_UpdatePackPaths[kUpdatePackCount];

// Builds g_NameLengthTable. 0.
int InitDataKeys();
// 0 success; -1 after a fatal message (start-up ends).
int BuildPackIndex();
// Breadth first from root, into sub-folders named "pac" while their depth
// allows; registers ordinary packs and remembers update packs. 0 or -1.
int ScanPackFolders(int32_t maxDepth, const char* root);
// 0 registered (or skipped: not a pack); -1 or -2 after a fatal message.
int RegisterPackFile(const char* path);
// Sorts the entry arrays together by hash, keeping the order of equal hashes.
void SortPackIndex();
// The path a registered pack is opened with: below the program folder in
// the development layout, as stored in the release layout.
std::string GetPackOpenPath(int32_t packNumber);
// Back to the state before InitDataKeys.
void ReleasePackIndex();
