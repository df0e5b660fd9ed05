#include "core/checksums.h"

#include "core/byte_order.h"

namespace {

constexpr std::array<uint32_t, 256> BuildCrc32Table() {
  std::array<uint32_t, 256> table{};
  for (uint32_t index = 0; index < 256; ++index) {
    uint32_t value = index;
    for (int bit = 0; bit < 8; ++bit) value = (value & 1) != 0 ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    table[index] = value;
  }
  return table;
}

}  // namespace

// Built by the compiler: constant from the first instruction on.
constinit const std::array<uint32_t, 256> g_Crc32Table = BuildCrc32Table();

uint32_t MurmurHash2(const void* data, size_t length, uint32_t seed) {
  constexpr uint32_t kMultiplier = 0x5bd1e995;
  constexpr int kShift = 24;
  const auto* bytes = static_cast<const uint8_t*>(data);
  uint32_t hash = seed ^ static_cast<uint32_t>(length);
  while (length >= 4) {
    uint32_t block = LoadLe32(bytes);
    block *= kMultiplier;
    block ^= block >> kShift;
    block *= kMultiplier;
    hash *= kMultiplier;
    hash ^= block;
    bytes += 4;
    length -= 4;
  }
  switch (length) {
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

uint32_t Crc32(const void* data, size_t length) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  uint32_t crc = 0xFFFFFFFFu;
  // Four bytes per step, then the rest one by one.
  while (length >= 4) {
    crc ^= LoadLe32(bytes);
    crc = g_Crc32Table[crc & 0xFF] ^ (crc >> 8);
    crc = g_Crc32Table[crc & 0xFF] ^ (crc >> 8);
    crc = g_Crc32Table[crc & 0xFF] ^ (crc >> 8);
    crc = g_Crc32Table[crc & 0xFF] ^ (crc >> 8);
    bytes += 4;
    length -= 4;
  }
  while (length-- > 0) crc = g_Crc32Table[(crc ^ *bytes++) & 0xFF] ^ (crc >> 8);
  return ~crc;
}
