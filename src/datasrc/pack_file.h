#pragma once
// Pack files (*.qpf): the layout shared by the engine and the tools that
// write packs, and the handle through which the engine reads them.
//
// Layout, little-endian, offsets from the pack's base (0 for a .qpf file):
//   0  "QPF\0"   4  u32 version (at least kPackMinVersion)
//   8  u32 entry count   12  u32 index size   16  16 bytes unused
//   32 the index: per entry u32 name hash, u8 name-length code, the scrambled
//      name, u8 type, u8 compression, u32 unpacked size, u32 stored size,
//      u64 data offset, u32 MurmurHash2 of the stored bytes
//   then the stored bytes of each entry, each optionally followed by its
//   repair trailer (pack_repair.h).
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

constexpr char kPackMagic[4] = {'Q', 'P', 'F', '\0'};
constexpr uint32_t kPackMinVersion = 234;
constexpr size_t kPackHeaderBytes = 32;
// The data descriptor after an entry's type byte: compression, unpacked
// size, stored size, data offset, data hash.
constexpr size_t kPackDescriptorBytes = 1 + 4 + 4 + 8 + 4;
// An index entry is the name plus these bytes: name hash, name-length code,
// type and data descriptor.
constexpr size_t kPackEntryFixedBytes = 4 + 1 + 1 + kPackDescriptorBytes;
constexpr uint8_t kPackStored = 0;
constexpr uint8_t kPackZlib = 1;
constexpr uint8_t kPackNameKey = 0x9C;

// The name-length code c of an index entry gives the name length
// g_NameLengthTable[255 - c]. The table is the identity with these pairs
// exchanged; whatever writes packs must use the same pairs.
inline constexpr std::array<std::pair<uint8_t, uint8_t>, 12> kNameLengthSwaps = {{
    {4, 187}, {9, 233}, {13, 66}, {15, 120}, {18, 201}, {22, 97},
    {27, 150}, {31, 58}, {36, 179}, {42, 88}, {49, 250}, {71, 140},
}};

constexpr uint8_t SwapNameLength(uint8_t value) {
  for (const auto& pair : kNameLengthSwaps) {
    if (pair.first == value) return pair.second;
    if (pair.second == value) return pair.first;
  }
  return value;
}
// The code a pack stores for a name of `length` bytes (0-255).
constexpr uint8_t NameLengthCode(uint8_t length) { return static_cast<uint8_t>(255 - SwapNameLength(length)); }

// Stored name bytes are the name's bytes complemented, then XORed with
// kPackNameKey; the same step turns them back.
constexpr uint8_t ScrambleNameByte(uint8_t byte) { return static_cast<uint8_t>(~byte ^ kPackNameKey); }

// Built by InitDataKeys (pack_index.h).
extern uint8_t g_NameLengthTable[256];

// Where the packed data starts inside the program file when the game data is
// appended to it (g_DataAppended): the appended block's offset plus its pack
// data position.
extern int64_t g_AppendedPackBase;
// The program file that carries the appended block (a native path; empty:
// g_ExePath) and where its pack data ends (the bytes after it are the
// program's trailer; 0: at the end of the file).
extern std::string g_AppendedDataFile;
extern int64_t g_AppendedPackEnd;
// 1 when the program file carries an appended data block (set at start-up).
extern uint8_t g_DataAppended;

// An open pack. Every position is relative to the base offset; mSize is the
// number of bytes from the base to the end of the file, the bound of every
// offset and size read from the pack. Closed by its destructor.
struct PackFileHandle {
  FILE* mFile = nullptr;  // null while closed
  int64_t mBaseOffset = 0;
  int64_t mSize = 0;

  PackFileHandle() = default;
  PackFileHandle(const PackFileHandle&) = delete;
  PackFileHandle& operator=(const PackFileHandle&) = delete;
  ~PackFileHandle();
};

// Opens a pack for reading at its base; false when it cannot. In the
// appended layout the path is ignored and the program file is opened with
// the base g_AppendedPackBase.
bool OpenPackFile(PackFileHandle* handle, std::string_view path);
void ClosePackFile(PackFileHandle* handle);
// Base-relative; each returns false when the position lies outside the pack
// or the bytes cannot all be read.
bool SeekPackFile(PackFileHandle* handle, int64_t position);
int64_t TellPackFile(PackFileHandle* handle);
bool ReadPackByte(PackFileHandle* handle, uint8_t* value);
bool ReadPackU32(PackFileHandle* handle, uint32_t* value);
bool ReadPackU64(PackFileHandle* handle, uint64_t* value);
bool ReadPackBytes(PackFileHandle* handle, void* destination, size_t length);
