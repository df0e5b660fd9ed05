#pragma once
// The two checksums of the game data: MurmurHash2 names pack entries, label
// tables and tree nodes and guards pack entry bytes; CRC-32 guards the blocks
// of a pack entry's repair trailer and keys the script sections.
#include <array>
#include <cstddef>
#include <cstdint>

// 32-bit MurmurHash2 (multiplier 0x5bd1e995, shift 24): the initial value is
// seed ^ length; 4-byte blocks are read little-endian; the trailing bytes are
// mixed as unsigned bytes. An empty input hashes to the seed's final mix (0
// for seed 0).
uint32_t MurmurHash2(const void* data, size_t length, uint32_t seed = 0);

// The standard reflected CRC-32 (polynomial 0xEDB88320, initial value
// 0xFFFFFFFF, result complemented), as zlib and PNG use it.
extern const std::array<uint32_t, 256> g_Crc32Table;
uint32_t Crc32(const void* data, size_t length);
