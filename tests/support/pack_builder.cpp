#include "support/pack_builder.h"

#include <zlib.h>

#include <cstdio>
#include <stdexcept>

#include "core/byte_order.h"
#include "core/checksums.h"
#include "core/file_names.h"
#include "datasrc/pack_repair.h"
#include "datasrc/resource_lookup.h"

namespace {

void AppendLe32(std::vector<uint8_t>* bytes, uint32_t value) {
  bytes->resize(bytes->size() + 4);
  StoreLe32(bytes->data() + bytes->size() - 4, value);
}

void AppendLe64(std::vector<uint8_t>* bytes, uint64_t value) {
  bytes->resize(bytes->size() + 8);
  StoreLe64(bytes->data() + bytes->size() - 8, value);
}

std::vector<uint8_t> CompressBytes(const std::vector<uint8_t>& data) {
  uLongf length = compressBound(data.size());
  std::vector<uint8_t> packed(length);
  if (compress2(packed.data(), &length, data.data(), data.size(), Z_BEST_COMPRESSION) != Z_OK) {
    throw std::runtime_error("zlib could not pack an entry");
  }
  packed.resize(length);
  return packed;
}

// A CRC per 1024-byte block and the XOR of all blocks.
std::vector<uint8_t> MakeRepairTrailer(const std::vector<uint8_t>& stored) {
  size_t blocks = (stored.size() + kRepairBlockBytes - 1) / kRepairBlockBytes;
  std::vector<uint8_t> trailer;
  AppendLe32(&trailer, kRepairBlockBytes);
  AppendLe32(&trailer, static_cast<uint32_t>(blocks));
  std::vector<uint8_t> parity(kRepairBlockBytes, 0);
  for (size_t block = 0; block < blocks; ++block) {
    size_t start = block * kRepairBlockBytes;
    size_t length = std::min<size_t>(kRepairBlockBytes, stored.size() - start);
    trailer.resize(trailer.size() + 2);
    StoreLe16(trailer.data() + trailer.size() - 2, static_cast<uint16_t>(Crc32(stored.data() + start, length)));
    for (size_t k = 0; k < length; ++k) parity[k] ^= stored[start + k];
  }
  trailer.insert(trailer.end(), parity.begin(), parity.end());
  return trailer;
}

}  // namespace

PackBuilderEntry& AddPackFile(PackBuilder* pack, std::string_view name, std::vector<uint8_t> data) {
  PackBuilderEntry entry;
  entry.mName = name;
  entry.mData = std::move(data);
  entry.mType = static_cast<uint8_t>(FileTypeFromExtension(entry.mName.c_str()));
  pack->mEntries.push_back(std::move(entry));
  return pack->mEntries.back();
}

PackBuilderEntry& AddPackFile(PackBuilder* pack, std::string_view name, std::string_view text) {
  return AddPackFile(pack, name, std::vector<uint8_t>(text.begin(), text.end()));
}

BuiltPack BuildPack(const PackBuilder& pack) {
  // The stored bytes and trailers first, to know the size of the index.
  std::vector<std::vector<uint8_t>> stored;
  std::vector<std::vector<uint8_t>> trailers;
  size_t indexSize = 0;
  for (const PackBuilderEntry& entry : pack.mEntries) {
    if (entry.mName.size() > 255) throw std::invalid_argument("a pack entry name holds at most 255 bytes");
    stored.push_back(entry.mCompressed ? CompressBytes(entry.mData) : entry.mData);
    trailers.push_back(entry.mRepairTrailer ? MakeRepairTrailer(stored.back()) : std::vector<uint8_t>(4, 0));
    indexSize += kPackEntryFixedBytes + entry.mName.size();
  }

  BuiltPack built;
  std::vector<uint8_t>& bytes = built.mBytes;
  bytes.insert(bytes.end(), pack.mHeader.mMagic.begin(), pack.mHeader.mMagic.end());
  AppendLe32(&bytes, pack.mHeader.mVersion);
  AppendLe32(&bytes, pack.mHeader.mEntryCount.value_or(static_cast<uint32_t>(pack.mEntries.size())));
  AppendLe32(&bytes, pack.mHeader.mIndexSize.value_or(static_cast<uint32_t>(indexSize)));
  bytes.resize(kPackHeaderBytes, 0);

  uint64_t dataOffset = kPackHeaderBytes + indexSize;
  for (size_t index = 0; index < pack.mEntries.size(); ++index) {
    const PackBuilderEntry& entry = pack.mEntries[index];
    std::string lowered = entry.mName;
    LowerCaseName(lowered);
    BuiltPackEntry placed;
    placed.mIndexPosition = bytes.size();
    placed.mDataOffset = dataOffset;
    placed.mStoredSize = static_cast<uint32_t>(stored[index].size());
    placed.mTrailerOffset = dataOffset + stored[index].size();
    AppendLe32(&bytes, entry.mNameHash.value_or(MurmurHash2(lowered.data(), lowered.size())));
    bytes.push_back(NameLengthCode(static_cast<uint8_t>(entry.mName.size())));
    for (char c : entry.mName) bytes.push_back(ScrambleNameByte(static_cast<uint8_t>(c)));
    bytes.push_back(entry.mType);
    bytes.push_back(entry.mCompression.value_or(entry.mCompressed ? kPackZlib : kPackStored));
    AppendLe32(&bytes, entry.mUnpackedSize.value_or(static_cast<uint32_t>(entry.mData.size())));
    AppendLe32(&bytes, entry.mStoredSize.value_or(placed.mStoredSize));
    AppendLe64(&bytes, entry.mDataOffset.value_or(dataOffset));
    AppendLe32(&bytes, entry.mDataHash.value_or(MurmurHash2(stored[index].data(), stored[index].size())));
    dataOffset += stored[index].size() + trailers[index].size();
    built.mEntries.push_back(placed);
  }
  for (size_t index = 0; index < pack.mEntries.size(); ++index) {
    bytes.insert(bytes.end(), stored[index].begin(), stored[index].end());
    bytes.insert(bytes.end(), trailers[index].begin(), trailers[index].end());
  }
  return built;
}

bool WritePackFile(const std::string& path, const BuiltPack& built, const std::vector<uint8_t>& prefix) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool written = (prefix.empty() || std::fwrite(prefix.data(), 1, prefix.size(), file) == prefix.size()) &&
                 std::fwrite(built.mBytes.data(), 1, built.mBytes.size(), file) == built.mBytes.size();
  return std::fclose(file) == 0 && written;
}

bool WritePackFile(const std::string& path, const PackBuilder& pack) { return WritePackFile(path, BuildPack(pack)); }
