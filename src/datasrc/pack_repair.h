#pragma once
// The integrity check of pack entries and the repair of one damaged block.
//
// Repair trailer, directly after an entry's stored bytes, little-endian:
//   u32 parity size P (0: no trailer; otherwise kRepairBlockBytes)
//   u32 block count N (stored size / 1024, rounded up)
//   N x u16 the low 16 bits of Crc32 of each 1024-byte block (the last one
//           over its real length)
//   P bytes parity: byte k is the XOR of byte k of every block, a short last
//           block counting as zero beyond its end
#include <cstddef>
#include <cstdint>

struct PackFileHandle;

constexpr uint32_t kRepairBlockBytes = 1024;

// The handle stands just after the stored bytes. 0: the bytes match their
// hash (nothing read); 1: one damaged block was rebuilt in place and the hash
// now matches; -1: no usable trailer, or the damage cannot be repaired.
int CheckAndRepairPackData(PackFileHandle* handle, uint8_t* bytes, size_t size, uint32_t expectedHash);
