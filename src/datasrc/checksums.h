#pragma once
// Checksums shared by the packs and the compiled script data.
#include <cstddef>
#include <cstdint>

// The standard reflected CRC-32 (polynomial 0xEDB88320, initial and final
// value 0xFFFFFFFF). `crc` continues an earlier result.
uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);

// MurmurHash2, 32-bit (multiplier 0x5bd1e995, shift 24). Blocks of four bytes
// are read little-endian and trailing bytes are mixed as unsigned bytes.
uint32_t MurmurHash2(const void* data, size_t size, uint32_t seed = 0);
