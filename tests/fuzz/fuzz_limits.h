#pragma once
// Caps the fuzz targets put on what an input may declare, so that runs are
// spent on parsing rather than on the largest tables and pixel blocks the
// loaders allow. An input is turned away (the target returns -1 and libFuzzer
// keeps it out of the corpus) only when its declared size lies inside the
// engine's own limit and above the cap: sizes beyond the engine's limit still
// reach the loader, so its refusal stays fuzzed.
#include <cstddef>
#include <cstdint>

#include "datasrc/resource_lookup.h"
#include "image/pixel_buffers.h"
#include "script/variables.h"

namespace fuzz {

// Variables of a variable table (the engine takes up to 0xFFFF).
constexpr uint32_t kMaxFuzzVariables = 2048;
// Elements of one variable's array (the engine takes up to 4,000,000).
constexpr int64_t kMaxFuzzElements = 1024;
// Pixels of a decoded image or of one GIF frame (the engine takes sides up to
// 8192).
constexpr uint64_t kMaxFuzzPixels = 1 << 20;
// Entries a pack may declare (the engine takes up to 200,000).
constexpr uint32_t kMaxFuzzPackEntries = 4096;

inline bool CountWithinCap(uint64_t count, uint64_t cap, uint64_t engineLimit) {
  return count <= cap || count > engineLimit;
}

namespace limits_detail {

inline uint32_t Le16(const uint8_t* p) { return p[0] | p[1] << 8; }
inline uint32_t Be16(const uint8_t* p) { return p[0] << 8 | p[1]; }
inline uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
inline uint32_t Be32(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// A picture the decoders would accept (both sides within kMaxImageSide) and
// that is larger than the cap.
inline bool OverCap(uint64_t width, uint64_t height) {
  if (width > static_cast<uint64_t>(kMaxImageSide) || height > static_cast<uint64_t>(kMaxImageSide)) return false;
  return width * height > kMaxFuzzPixels;
}

// The logical screen and every image descriptor found by walking the blocks;
// the walk ends where the data stops making sense.
inline bool GifWithinCap(const uint8_t* data, size_t size) {
  if (size < 13) return true;
  if (OverCap(Le16(data + 6), Le16(data + 8))) return false;
  size_t at = 13;
  if ((data[10] & 0x80) != 0) at += 3u << ((data[10] & 7) + 1);
  uint64_t total = 0;
  auto skipSubBlocks = [&]() {
    while (at < size && data[at] != 0) at += 1u + data[at];
    ++at;
  };
  while (at < size) {
    uint8_t block = data[at++];
    if (block == 0x21) {
      ++at;  // label
      skipSubBlocks();
    } else if (block == 0x2C) {
      if (size - at < 9) return true;
      uint32_t width = Le16(data + at + 4);
      uint32_t height = Le16(data + at + 6);
      uint8_t flags = data[at + 8];
      at += 9;
      if (OverCap(width, height)) return false;
      if (width <= static_cast<uint32_t>(kMaxImageSide) && height <= static_cast<uint32_t>(kMaxImageSide)) {
        total += static_cast<uint64_t>(width) * height;
        if (total > 4 * kMaxFuzzPixels) return false;
      }
      if ((flags & 0x80) != 0) at += 3u << ((flags & 7) + 1);
      ++at;  // LZW code size
      skipSubBlocks();
    } else {
      return true;
    }
  }
  return true;
}

// The frame header (SOF0-SOF15 but DHT, JPG and DAC) found by walking the
// marker segments.
inline bool JpegWithinCap(const uint8_t* data, size_t size) {
  size_t at = 2;
  while (size >= 4 && at <= size - 4) {
    if (data[at] != 0xFF) return true;
    uint8_t marker = data[at + 1];
    if (marker == 0xFF) {
      ++at;
      continue;
    }
    if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
      at += 2;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) return true;
    uint32_t length = Be16(data + at + 2);
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      if (size - at < 9) return true;
      return !OverCap(Be16(data + at + 7), Be16(data + at + 5));
    }
    at += 2 + static_cast<size_t>(length);
  }
  return true;
}

}  // namespace limits_detail

// False when an image of the given type (FILE_TYPE_...) declares a picture
// or frame with more than kMaxFuzzPixels pixels whose sides the decoders
// accept.
inline bool ImageWithinCap(int32_t type, const uint8_t* data, size_t size) {
  using namespace limits_detail;
  switch (type) {
    case FILE_TYPE_BMP: {
      if (size < 26) return true;
      auto width = static_cast<int32_t>(Le32(data + 18));
      auto height = static_cast<int32_t>(Le32(data + 22));
      return width < 1 || height < 1 || !OverCap(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    }
    case FILE_TYPE_PNG:
      return size < 24 || !OverCap(Be32(data + 16), Be32(data + 20));
    case FILE_TYPE_GIF:
      return GifWithinCap(data, size);
    case FILE_TYPE_JPG:
      return JpegWithinCap(data, size);
    default:
      return true;
  }
}

// False when a variable definition file (qvv.qbn) declares an array with
// more elements than kMaxFuzzElements but not more than the engine allows.
// The walk follows the loader's layout and ends where the file does.
inline bool DefinitionsWithinCap(const uint8_t* data, size_t size) {
  using namespace limits_detail;
  if (size < 10) return true;
  uint32_t count = Le16(data + 8);
  size_t at = 10;
  for (uint32_t index = 0; index < count; ++index) {
    if (size - at < 8) return true;
    uint8_t type = data[at + 6];
    uint8_t dimCount = data[at + 7];
    at += 8;
    if (dimCount > kMaxDimensions || size - at < 4u * dimCount) return true;
    int64_t elements = 1;
    for (int dim = 0; dim < dimCount; ++dim) {
      elements *= static_cast<int32_t>(Le32(data + at + 4 * dim));
      if (elements > kMaxElementCount || elements <= 0) break;
    }
    if (!CountWithinCap(static_cast<uint64_t>(elements > 0 ? elements : 0), kMaxFuzzElements, kMaxElementCount)) {
      return false;
    }
    at += 4u * dimCount;
    if (type == kVarInt || type == kVarReal) {
      at += 8;
    } else if (type == kVarString) {
      if (size - at < 2) return true;
      at += 2 + Le16(data + at);
    }
    if (at > size) return true;
  }
  return true;
}

}  // namespace fuzz
