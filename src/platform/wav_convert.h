#pragma once
// Converts a whole WAV image that the mixer cannot play as it stands
// (ADPCM, mu-law, A-law, IEEE float, 24- and 32-bit PCM, ...) to 16-bit
// signed PCM once, with libsndfile reading from memory. Wider samples are
// rounded to 16 bits and floats are scaled by 32768 and clipped, so the
// sound keeps its level.
#include <cstddef>
#include <cstdint>

struct ConvertedPcm {
  uint8_t* mData = nullptr;  // from the allocation routine, owned by the caller
  uint32_t mBytes = 0;
  uint16_t mChannels = 0;
  uint32_t mRate = 0;
};

// Where a conversion stopped.
enum class WavConvertStep : uint8_t {
  Done,
  NoPcmFormat,  // the decoder gives no PCM the mixer plays (not one or two channels)
  Open,         // the decoder refused the file
  Size,         // the sample count or the rate is out of range
  Memory,       // no memory for the converted samples
  Convert,      // the decoder failed while reading the samples
};

// Zeroed memory for the converted samples (freed with std::free), or null.
using PcmAllocator = void* (*)(size_t bytes);

// Converts the image; on success `out` holds the samples, allocated by
// `allocate` (calloc when null) with 1024 spare zero bytes after them.
WavConvertStep ConvertWavToPcm16(const uint8_t* image, size_t size, ConvertedPcm* out,
                                 PcmAllocator allocate = nullptr);

// Whether the decoder has a reader for a WAV format tag (the sub-format's
// tag for an extensible file). A file of such a tag that it refuses is
// damaged; for any other tag there is no PCM to be had.
bool WavConverterReadsTag(uint16_t formatTag);
