#pragma once
// Little-endian values in byte buffers: every binary file and shared block
// of the engine is written byte by byte in this order.
#include <cstdint>

inline uint16_t LoadLe16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}
inline uint32_t LoadLe32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}
inline uint64_t LoadLe64(const uint8_t* bytes) {
  return static_cast<uint64_t>(LoadLe32(bytes + 4)) << 32 | LoadLe32(bytes);
}
inline void StoreLe16(uint8_t* bytes, uint16_t value) {
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
}
inline void StoreLe32(uint8_t* bytes, uint32_t value) {
  for (int index = 0; index < 4; ++index) bytes[index] = static_cast<uint8_t>(value >> (8 * index));
}
inline void StoreLe64(uint8_t* bytes, uint64_t value) {
  for (int index = 0; index < 8; ++index) bytes[index] = static_cast<uint8_t>(value >> (8 * index));
}
