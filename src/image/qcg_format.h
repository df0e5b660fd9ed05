#pragma once
// The qcg image container: a 56-byte header, then the two stored halves of
// a B, G, R, A pixel block (the first half yields the block's first bytes).
// All fields are little-endian.
#include <cstddef>
#include <cstdint>

inline constexpr uint8_t kQcgMagic[4] = {'Q', 'C', 'G', 0};
constexpr size_t kQcgWidthOffset = 4;
constexpr size_t kQcgHeightOffset = 8;
constexpr size_t kQcgMethodOffset = 16;
constexpr size_t kQcgOut1Offset = 32;
constexpr size_t kQcgStored1Offset = 36;
constexpr size_t kQcgOut2Offset = 48;
constexpr size_t kQcgStored2Offset = 52;
constexpr size_t kQcgDataOffset = 56;

// How the halves are stored.
enum QcgMethod : uint32_t {
  kQcgRaw = 0,
  kQcgZlib = 1,
  kQcgBlockCodec = 2,
  kQcgWebp = 3,
};
