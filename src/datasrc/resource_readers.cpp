// The readers of the four data sources: each delivers the whole file as one
// heap buffer.
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "core/errors.h"
#include "datasrc/compiler_link.h"
#include "datasrc/pack_file.h"
#include "datasrc/pack_index.h"
#include "datasrc/pack_repair.h"
#include "datasrc/preload_cache.h"
#include "datasrc/resource_lookup.h"
#include "platform/game_files.h"

namespace {

// zlib never packs more than this many bytes into one: a larger stated
// unpacked size is a lie of a damaged index.
constexpr uint64_t kMaxZlibRatio = 1032;

struct PackDescriptor {
  uint8_t mCompression = 0;
  uint32_t mUnpackedSize = 0;
  uint32_t mPackedSize = 0;
  uint64_t mDataOffset = 0;
  uint32_t mHash = 0;
};

bool ReadPackDescriptor(PackFileHandle* handle, int64_t position, PackDescriptor* descriptor) {
  return SeekPackFile(handle, position) && ReadPackByte(handle, &descriptor->mCompression) &&
         ReadPackU32(handle, &descriptor->mUnpackedSize) && ReadPackU32(handle, &descriptor->mPackedSize) &&
         ReadPackU64(handle, &descriptor->mDataOffset) && ReadPackU32(handle, &descriptor->mHash);
}

// Reads and checks a compressed entry into location->mData (already of the
// unpacked size). 0, or -2/-3 after the message.
int ReadZlibEntry(PackFileHandle* handle, const PackDescriptor& descriptor, ResourceLocation* location,
                  const std::string& packPath, const char* name) {
  std::vector<uint8_t> packed;
  try {
    packed.resize(descriptor.mPackedSize);
  } catch (const std::bad_alloc&) {
    ReportErrorFmt(104030, 1, name);
    return -3;
  }
  if (!ReadPackBytes(handle, packed.data(), packed.size())) {
    ReportErrorFmt(104100, 1, packPath, name);
    return -2;
  }
  bool repaired = false;
  for (;;) {
    uLongf unpacked = descriptor.mUnpackedSize;
    int result = uncompress(location->mData, &unpacked, packed.data(), packed.size());
    if (result == Z_OK) {
      // Fewer bytes than the entry states are a damaged entry too.
      if (unpacked == descriptor.mUnpackedSize) return 0;
      ReportErrorFmt(104100, 1, packPath, name);
      return -2;
    }
    if (result == Z_DATA_ERROR) {
      // The repair trailer follows the packed bytes; one try.
      if (repaired || CheckAndRepairPackData(handle, packed.data(), packed.size(), descriptor.mHash) < 0) {
        ReportErrorFmt(104100, 1, packPath, name);
        return -2;
      }
      repaired = true;
      continue;
    }
    ReportErrorFmt(result == Z_BUF_ERROR ? 900040 : 106010, 1, name);
    return -2;
  }
}

}  // namespace

bool AllocResourceData(ResourceLocation* location, size_t size) {
  if (size > std::numeric_limits<uint32_t>::max()) return false;
  auto* data = static_cast<uint8_t*>(std::malloc(size + 1));
  if (data == nullptr) return false;
  data[size] = 0;
  location->mData = data;
  location->mSize = static_cast<uint32_t>(size);
  return true;
}

void ReleaseResourceData(ResourceLocation* location) {
  std::free(location->mData);
  location->mData = nullptr;
  location->mSize = 0;
}

int ReadResourceFromFile(ResourceLocation* location, const char* name) {
  FILE* file = OpenGameFile(name, "rb");
  if (file == nullptr) {
    ReportErrorFmt(104010, 1, name);
    return -3;
  }
  // One unbuffered read of the whole length into the final buffer.
  std::setvbuf(file, nullptr, _IONBF, 0);
  long length = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  if (length < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    ReportErrorFmt(104010, 1, name);
    return -3;
  }
  if (!AllocResourceData(location, static_cast<size_t>(length))) {
    std::fclose(file);
    ReportErrorFmt(104030, 1, name);
    return -3;
  }
  size_t read = std::fread(location->mData, 1, location->mSize, file);
  std::fclose(file);
  if (read != location->mSize) {
    // The one failure without a message.
    ReleaseResourceData(location);
    return -3;
  }
  return 0;
}

int ReadResourceFromPack(ResourceLocation* location, const char* name) {
  if (location->mPackNumber < 0 || location->mPackNumber >= g_PackCount) return -3;
  const std::string& packPath = g_PackNames[location->mPackNumber];
  PackFileHandle handle;
  if (!OpenPackFile(&handle, GetPackOpenPath(location->mPackNumber))) {
    ReportErrorFmt(901040, 1, packPath);
    return -3;
  }
  PackDescriptor descriptor;
  if (!ReadPackDescriptor(&handle, location->mDataPosition, &descriptor)) {
    ReportErrorFmt(104100, 1, packPath, name);
    return -2;
  }
  if (descriptor.mCompression != kPackStored && descriptor.mCompression != kPackZlib) {
    ReportErrorFmt(901040, 1, packPath);
    return -3;
  }
  // Every size lies inside the pack; a stored entry is as long as the file.
  uint64_t packSize = static_cast<uint64_t>(handle.mSize);
  bool sizesValid = descriptor.mDataOffset <= packSize && descriptor.mPackedSize <= packSize - descriptor.mDataOffset;
  if (descriptor.mCompression == kPackStored) {
    sizesValid = sizesValid && descriptor.mPackedSize == descriptor.mUnpackedSize;
  } else {
    sizesValid = sizesValid && descriptor.mUnpackedSize <= descriptor.mPackedSize * kMaxZlibRatio + 64;
  }
  if (!sizesValid || !SeekPackFile(&handle, static_cast<int64_t>(descriptor.mDataOffset))) {
    ReportErrorFmt(104100, 1, packPath, name);
    return -2;
  }
  if (!AllocResourceData(location, descriptor.mUnpackedSize)) {
    ReportErrorFmt(104030, 1, name);
    return -3;
  }
  int result = 0;
  if (descriptor.mCompression == kPackStored) {
    if (!ReadPackBytes(&handle, location->mData, location->mSize) ||
        CheckAndRepairPackData(&handle, location->mData, location->mSize, descriptor.mHash) < 0) {
      ReportErrorFmt(104100, 1, packPath, name);
      result = -2;
    }
  } else {
    result = ReadZlibEntry(&handle, descriptor, location, packPath, name);
  }
  if (result != 0) ReleaseResourceData(location);
  return result;
}

int ReadResource(ResourceLocation* location, const char* name) {
  switch (location->mSource) {
    case SOURCE_DISK:
      return ReadResourceFromFile(location, name);
    case SOURCE_PACK:
      return ReadResourceFromPack(location, name);
    case SOURCE_COMPILER_OUTPUT:
      return ReadResourceFromCompilerOutput(location, name);
    case SOURCE_PRELOAD:
      return ReadResourceFromPreloadCache(location, name);
    default:
      return -1;
  }
}

int LoadResourceWhole(ResourceLocation* location, const char* name) {
  int found = LocateResource(location, name, 0);
  if (found == 0) {
    ReportErrorFmt(104060, 1, name);
    return -1;
  }
  if (found == -2) {
    ReportErrorFmt(901040, 1, name);
    return -1;
  }
  if (found < 0) {
    ReportErrorFmt(104010, 1, name);
    return -1;
  }
  return ReadResource(location, name);
}
