#pragma once
// The software mixer behind the sound channels: every channel is a circular
// PCM block of its own format (8-bit unsigned or 16-bit signed, one or two
// channels, any rate) that plays once or in a loop, with play and write
// cursors, two-region locks, a volume and pan in hundredths of a decibel and
// a playback rate. The device pulls the mix as 48 kHz stereo float frames
// through RenderAudioMix; tests call it directly and check the sound sample by
// sample. Every routine may be called from any thread.
#include <cstddef>
#include <cstdint>

struct AudioBuffer;

// The mix: frames per second, two interleaved float channels per frame.
constexpr uint32_t kMixRate = 48000;
// Attenuation limits in hundredths of a decibel.
constexpr int32_t kAudioSilence = -10000;

struct AudioBufferFormat {
  uint16_t mChannels;    // 1 or 2
  uint32_t mRate;        // frames per second, 1..1000000
  uint16_t mBits;        // 8 (unsigned) or 16 (signed, little-endian)
  uint16_t mBlockAlign;  // channels * bits / 8
};

// The two regions of a lock: the second is used when the locked range wraps
// around the end of the buffer.
struct AudioRegions {
  uint8_t* mFirst = nullptr;
  uint32_t mFirstBytes = 0;
  uint8_t* mSecond = nullptr;
  uint32_t mSecondBytes = 0;
  uint32_t mOffset = 0;
};

// A stopped buffer of `bytes` bytes (a whole number of blocks) filled with
// silence; null for a format the mixer cannot play or a size of no block.
AudioBuffer* CreateAudioBuffer(const AudioBufferFormat& format, uint32_t bytes);
void ReleaseAudioBuffer(AudioBuffer* buffer);
// Starts from the play cursor; false for a null buffer.
bool PlayAudioBuffer(AudioBuffer* buffer, bool looping);
// Stops; the play cursor stays where it was.
void StopAudioBuffer(AudioBuffer* buffer);
bool IsAudioBufferPlaying(const AudioBuffer* buffer);
// The play cursor (the next byte the mix reads) and the write cursor (the
// first byte that is safe to write, a small latency ahead), both block
// aligned and inside the buffer. False for a null buffer.
bool GetAudioBufferCursors(AudioBuffer* buffer, uint32_t* play, uint32_t* write);
// Moves the play cursor (block aligned, inside the buffer).
bool SetAudioBufferCursor(AudioBuffer* buffer, uint32_t play);
// Locks `bytes` bytes from `offset` for writing or reading: the regions show
// the buffer's content and what is written there reaches the buffer at the
// unlock. False for a null buffer, an offset outside the buffer or more
// bytes than the buffer holds.
bool LockAudioBuffer(AudioBuffer* buffer, uint32_t offset, uint32_t bytes, AudioRegions* regions);
void UnlockAudioBuffer(AudioBuffer* buffer, const AudioRegions& regions);
// Attenuation 0 (full) to -10000 (silent); gain 10^(v/2000). Values outside
// are held to the range.
void SetAudioBufferVolume(AudioBuffer* buffer, int32_t centibels);
// Negative values attenuate the right side, positive ones the left, by the
// same rule as the volume.
void SetAudioBufferPan(AudioBuffer* buffer, int32_t centibels);
// The playback rate in frames per second (1..1000000); false outside.
bool SetAudioBufferFrequency(AudioBuffer* buffer, uint32_t rate);
int32_t GetAudioBufferVolume(const AudioBuffer* buffer);
int32_t GetAudioBufferPan(const AudioBuffer* buffer);
uint32_t GetAudioBufferFrequency(const AudioBuffer* buffer);

// Mixes every playing buffer into `frames` stereo frames (2 * frames floats)
// and advances their play cursors.
void RenderAudioMix(float* out, uint32_t frames);
// The number of buffers that exist (tests look for leaks).
size_t CountAudioBuffers();
// Releases every buffer (process reset).
void ReleaseAllAudioBuffers();
