#pragma once
// Loading a sound's file image, opening its source (Ogg Vorbis or WAV) with
// a one-second channel buffer, and streaming it half a buffer at a time with
// end points, loop-back and leading silence. Sound thread only, under
// g_GlobalLock. Results are 0 or a negative error code.
#include <cstddef>
#include <cstdint>

struct SoundRecord;

int32_t LoadSoundFile(SoundRecord* record, int64_t nodeKey);
int32_t OpenSoundSource(SoundRecord* record);
int32_t OpenOggSource(SoundRecord* record);
int32_t OpenWavSource(SoundRecord* record);
int32_t CreateChannelBuffer(SoundRecord* record, uint16_t channels, uint32_t rate, uint32_t avgBytesPerSec,
                            uint16_t blockAlign, uint16_t bits);
int32_t RefillSoundHalf(SoundRecord* record);
int32_t SeekSoundMs(SoundRecord* record, int32_t ms);

// The memory callbacks of the Ogg decoder; the data source is the record.
size_t ReadSoundMemory(void* destination, size_t size, size_t count, void* record);
int SeekSoundMemory(void* record, int64_t offset, int whence);
long TellSoundMemory(void* record);
int CloseSoundMemory(void* record);

// The silent image of the "ROOT" sound: 8 kHz 8-bit mono, 4000 samples.
constexpr int32_t kSilentImageBytes = 4044;
