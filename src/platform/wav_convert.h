#pragma once
// Converts a whole WAV image of a compressed or non-integer format
// (ADPCM, mu-law, A-law, IEEE float, ...) to 16-bit signed PCM once, with
// libsndfile reading from memory.
#include <cstddef>
#include <cstdint>

struct ConvertedPcm {
  uint8_t* mData = nullptr;  // std::malloc, owned by the caller
  uint32_t mBytes = 0;
  uint16_t mChannels = 0;
  uint32_t mRate = 0;
};

// False when the image is no WAV libsndfile can read, has more than two
// channels, or is too large.
bool ConvertWavToPcm16(const uint8_t* image, size_t size, ConvertedPcm* out);
