#pragma once
// RIFF WAVE sources: PCM samples used in place, other formats converted once.
#include <cstdint>

struct SoundRecord;

struct WavChunks {
  uint32_t mFmtOffset = 0;  // the body of the first "fmt " chunk
  uint32_t mFmtBytes = 0;
  uint32_t mDataOffset = 0;  // the body of the first "data" chunk after it
  uint32_t mDataBytes = 0;   // cut to what the file holds
};

// Walks the chunks of a WAV image: 0, or -10030 (too short for a RIFF
// header), -10040 (not RIFF), -10050 (not WAVE), -10060 (no "fmt "), -10080
// (no "data"). Chunk sizes never reach past the RIFF chunk or the image.
int32_t FindWavChunks(const uint8_t* image, uint32_t size, WavChunks* chunks);
