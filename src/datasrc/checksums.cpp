#include "datasrc/checksums.h"

#include <array>

namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t index = 0; index < 256; ++index) {
    uint32_t value = index;
    for (int bit = 0; bit < 8; ++bit) value = (value & 1) != 0 ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    table[index] = value;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  crc = ~crc;
  for (size_t index = 0; index < size; ++index) crc = kCrcTable[(crc ^ bytes[index]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t MurmurHash2(const void* data, size_t size, uint32_t seed) {
  constexpr uint32_t kMultiplier = 0x5bd1e995u;
  constexpr int kShift = 24;
  const auto* bytes = static_cast<const uint8_t*>(data);
  uint32_t hash = seed ^ static_cast<uint32_t>(size);
  while (size >= 4) {
    uint32_t block = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                     static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    block *= kMultiplier;
    block ^= block >> kShift;
    block *= kMultiplier;
    hash *= kMultiplier;
    hash ^= block;
    bytes += 4;
    size -= 4;
  }
  switch (size) {
    case 3:
      hash ^= static_cast<uint32_t>(bytes[2]) << 16;
      [[fallthrough]];
    case 2:
      hash ^= static_cast<uint32_t>(bytes[1]) << 8;
      [[fallthrough]];
    case 1:
      hash ^= bytes[0];
      hash *= kMultiplier;
      break;
    default:
      break;
  }
  hash ^= hash >> 13;
  hash *= kMultiplier;
  hash ^= hash >> 15;
  return hash;
}
