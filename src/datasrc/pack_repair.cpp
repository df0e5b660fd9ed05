#include "datasrc/pack_repair.h"

#include <vector>

#include "core/byte_order.h"
#include "core/checksums.h"
#include "datasrc/pack_file.h"

int CheckAndRepairPackData(PackFileHandle* handle, uint8_t* bytes, size_t size, uint32_t expectedHash) {
  if (MurmurHash2(bytes, size) == expectedHash) return 0;
  uint32_t paritySize = 0;
  uint32_t blockCount = 0;
  if (!ReadPackU32(handle, &paritySize) || paritySize != kRepairBlockBytes) return -1;
  size_t expectedBlocks = (size + kRepairBlockBytes - 1) / kRepairBlockBytes;
  if (!ReadPackU32(handle, &blockCount) || blockCount != expectedBlocks) return -1;
  // Bounded by the pack: a trailer cannot be longer than what is left of it.
  int64_t position = TellPackFile(handle);
  if (position < 0 || handle->mSize - position < static_cast<int64_t>(2 * expectedBlocks + paritySize)) return -1;
  std::vector<uint8_t> checksums(2 * expectedBlocks);
  std::vector<uint8_t> parity(paritySize);
  if (!ReadPackBytes(handle, checksums.data(), checksums.size()) || !ReadPackBytes(handle, parity.data(), paritySize)) {
    return -1;
  }

  // The XOR of the blocks as they are now.
  uint8_t current[kRepairBlockBytes] = {};
  for (size_t offset = 0; offset < size; ++offset) current[offset % kRepairBlockBytes] ^= bytes[offset];

  for (size_t block = 0; block < expectedBlocks; ++block) {
    size_t start = block * kRepairBlockBytes;
    size_t length = size - start < kRepairBlockBytes ? size - start : kRepairBlockBytes;
    uint16_t stored = LoadLe16(&checksums[2 * block]);
    if (static_cast<uint16_t>(Crc32(bytes + start, length)) == stored) continue;
    // Byte k becomes parity[k] XOR byte k of every other block; that is the
    // byte itself XOR parity[k] XOR current[k].
    for (size_t k = 0; k < length; ++k) {
      bytes[start + k] = static_cast<uint8_t>(bytes[start + k] ^ parity[k] ^ current[k]);
    }
  }
  return MurmurHash2(bytes, size) == expectedHash ? 1 : -1;
}
