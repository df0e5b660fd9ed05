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

  // `before`, the XOR of the blocks as they are now, picks the positions to
  // rebuild and is not updated while blocks are rebuilt. `live` follows the
  // blocks as they stand: byte k of the other blocks is live[k] XOR the
  // block's own byte k.
  uint8_t before[kRepairBlockBytes] = {};
  uint8_t live[kRepairBlockBytes] = {};
  for (size_t offset = 0; offset < size; ++offset) {
    before[offset % kRepairBlockBytes] ^= bytes[offset];
    live[offset % kRepairBlockBytes] ^= bytes[offset];
  }

  for (size_t block = 0; block < expectedBlocks; ++block) {
    size_t start = block * kRepairBlockBytes;
    size_t length = size - start < kRepairBlockBytes ? size - start : kRepairBlockBytes;
    uint16_t stored = LoadLe16(&checksums[2 * block]);
    if (static_cast<uint16_t>(Crc32(bytes + start, length)) == stored) continue;
    // Byte k becomes parity[k] XOR byte k of every other block as it stands
    // now, which includes the blocks rebuilt before this one.
    for (size_t k = 0; k < length; ++k) {
      if (parity[k] == before[k]) continue;
      bytes[start + k] = static_cast<uint8_t>(parity[k] ^ live[k] ^ bytes[start + k]);
      live[k] = parity[k];  // the blocks now XOR to the parity here
    }
  }
  return MurmurHash2(bytes, size) == expectedHash ? 1 : -1;
}
