#pragma once
// Writes pack files (*.qpf) from C++ calls: entries stored or zlib-packed,
// with or without a repair trailer, and every header and index field open to
// tests that need a foreign magic, an old version or lying counts and sizes.
//
//   PackBuilder pack;
//   AddPackFile(&pack, "qvbin\\qvcfg.qbn", bytes);
//   AddPackFile(&pack, "bg\\sky.png", png).mCompressed = true;
//   WritePackFile("data.qpf", BuildPack(pack));
//
// Update packs are ordinary packs named update1.qpf ... update9.qpf.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "datasrc/pack_file.h"

struct PackBuilderEntry {
  std::string mName;           // Shift-JIS, "\" separators, stored as given (at most 255 bytes)
  std::vector<uint8_t> mData;  // the file's bytes
  uint8_t mType = 0;           // file type code
  bool mCompressed = false;    // zlib, else stored
  bool mRepairTrailer = false;
  // Written in place of the true values when set.
  std::optional<uint32_t> mNameHash;  // true value: MurmurHash2 of the lower-cased name
  std::optional<uint32_t> mDataHash;  // true value: MurmurHash2 of the stored bytes
  std::optional<uint8_t> mCompression;
  std::optional<uint32_t> mUnpackedSize;
  std::optional<uint32_t> mStoredSize;
  std::optional<uint64_t> mDataOffset;
};

struct PackBuilderHeader {
  std::array<char, 4> mMagic = {kPackMagic[0], kPackMagic[1], kPackMagic[2], kPackMagic[3]};
  uint32_t mVersion = kPackMinVersion;
  std::optional<uint32_t> mEntryCount;  // true value: the number of entries
  std::optional<uint32_t> mIndexSize;   // true value: the bytes of the index
};

struct PackBuilder {
  PackBuilderHeader mHeader;
  std::vector<PackBuilderEntry> mEntries;
};

// Where the parts of one entry landed, relative to the pack's base.
struct BuiltPackEntry {
  uint64_t mIndexPosition = 0;  // the entry's name hash in the index
  uint64_t mDataOffset = 0;     // its stored bytes
  uint32_t mStoredSize = 0;
  uint64_t mTrailerOffset = 0;  // its repair trailer (or the zero word without one)
};

struct BuiltPack {
  std::vector<uint8_t> mBytes;
  std::vector<BuiltPackEntry> mEntries;
};

// Appends an entry typed by the extension of its name.
PackBuilderEntry& AddPackFile(PackBuilder* pack, std::string_view name, std::vector<uint8_t> data);
PackBuilderEntry& AddPackFile(PackBuilder* pack, std::string_view name, std::string_view text);

BuiltPack BuildPack(const PackBuilder& pack);
// Writes the pack to a native path, behind `prefix` (a pack inside another
// file, whose base offset is then prefix.size()). False when it cannot.
bool WritePackFile(const std::string& path, const BuiltPack& built, const std::vector<uint8_t>& prefix = {});
bool WritePackFile(const std::string& path, const PackBuilder& pack);
