#include "sound/sound_stream.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/alloc.h"
#include "datasrc/resource_lookup.h"
#include "platform/audio_mixer.h"
#include "sound/sound_device.h"
#include "sound/sound_record.h"
#include "sound/sound_thread.h"
#include "sound/sound_wav.h"

namespace {

// Decoded bytes are produced in chunks of at most this size; what overshoots
// a half waits in the carry buffer.
constexpr int32_t kDecodeChunk = 4096;

const ov_callbacks g_OggMemoryCallbacks = {
    ReadSoundMemory,
    [](void* source, ogg_int64_t offset, int whence) { return SeekSoundMemory(source, offset, whence); },
    CloseSoundMemory,
    TellSoundMemory,
};

int OpenOggImage(SoundRecord* record, OggVorbis_File* file) {
  record->mReadPos = 0;
  return ov_open_callbacks(record, file, nullptr, 0, g_OggMemoryCallbacks);
}

uint8_t SilenceByte(const SoundRecord* record) { return record->mFormat.mBitsPerSample == 8 ? 128 : 0; }

int64_t BlockAlign(const SoundRecord* record) {
  return record->mFormat.mBlockAlign > 0 ? record->mFormat.mBlockAlign : 1;
}

void BuildSilentImage(SoundRecord* record) {
  uint8_t* image = static_cast<uint8_t*>(AllocZeroed(kSilentImageBytes));
  if (image == nullptr) return;
  auto put32 = [&](int at, uint32_t value) {
    for (int i = 0; i < 4; ++i) image[at + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  auto put16 = [&](int at, uint16_t value) {
    image[at] = static_cast<uint8_t>(value);
    image[at + 1] = static_cast<uint8_t>(value >> 8);
  };
  std::memcpy(image, "RIFF", 4);
  put32(4, 4036);
  std::memcpy(image + 8, "WAVEfmt ", 8);
  put32(16, 16);
  put16(20, 1);
  put16(22, 1);
  put32(24, 8000);
  put32(28, 8000);
  put16(32, 1);
  put16(34, 8);
  std::memcpy(image + 36, "data", 4);
  put32(40, 4000);
  std::memset(image + 44, 128, 4000);
  record->mFileData = image;
  record->mFileSize = kSilentImageBytes;
}

int32_t SeekOggMs(SoundRecord* record, OggVorbis_File* file, int32_t ms);

int32_t SeekPositionMs(SoundRecord* record, int32_t ms) {
  if (ms >= record->mLengthMs) ms = static_cast<int32_t>(record->mLengthMs - 10);
  int64_t block = BlockAlign(record);
  if (ms < 0) {
    int64_t silence = static_cast<int64_t>(-static_cast<int64_t>(ms)) * record->mBytesPerSec / 1000 + record->mSilenceBytes;
    record->mSilenceBytes = silence - silence % block;
  }
  record->mDecodePosBytes = static_cast<int32_t>(static_cast<int64_t>(ms) * record->mBytesPerSec / 1000);
  return ms;
}

int32_t SeekWavMs(SoundRecord* record, int32_t ms) {
  ms = SeekPositionMs(record, ms);
  int64_t block = BlockAlign(record);
  int64_t position = static_cast<int64_t>(std::max(ms, 0)) * record->mBytesPerSec / 1000;
  position -= position % block;
  if (position >= record->mPcmLen) position = std::max<int64_t>(static_cast<int64_t>(record->mPcmLen) - block, 0);
  record->mSourcePos = static_cast<int32_t>(position);
  return 0;
}

int32_t SeekOggMs(SoundRecord* record, OggVorbis_File* file, int32_t ms) {
  ms = SeekPositionMs(record, ms);
  if (ov_time_seek(file, std::max(ms, 0) / 1000.0) != 0) return -2020;
  record->mSourcePos = static_cast<int32_t>(ov_pcm_tell(file));
  return 0;
}

// Fills the work buffer with the next half of the sound: the carried bytes,
// leading silence, decoded or copied PCM up to the end point, and at the end
// point either a loop back or, on the last pass, silence. `file` is the
// open decoder of an Ogg source, null for WAV.
int32_t DecodeIntoHalf(SoundRecord* record, OggVorbis_File* file) {
  const int64_t half = record->mBufferBytes / 2;
  const int64_t block = BlockAlign(record);
  uint8_t* work = record->mWorkBuffer;
  int64_t filled = record->mCarryLen;
  std::memcpy(work, record->mCarryBuffer, static_cast<size_t>(filled));
  int64_t produced = 0;
  // Bytes decoded since the last loop back; -1 before the first. A pass that
  // yields nothing at all ends the sound: looping it again would spin.
  int64_t sinceLoop = -1;
  while (filled < half) {
    if (record->mSilenceBytes > 0) {
      int64_t n = std::min(record->mSilenceBytes, half - filled);
      std::memset(work + filled, SilenceByte(record), static_cast<size_t>(n));
      record->mSilenceBytes -= n;
      produced += n;
      filled += n;
      continue;
    }
    int64_t end = static_cast<int64_t>(record->mEndMs) * record->mBytesPerSec / 1000;
    int64_t position = record->mDecodePosBytes + produced;
    int64_t chunk = kDecodeChunk;
    if (position + kDecodeChunk >= end) {
      chunk = end - position;
      chunk -= chunk % block;
    }
    chunk = std::max<int64_t>(chunk, 0);
    int64_t got = 0;
    if (file != nullptr) {
      if (chunk > 31) {
        int stream = 0;
        long result = ov_read(file, reinterpret_cast<char*>(work + filled), static_cast<int>(chunk), 0, 2, 1, &stream);
        if (result == OV_HOLE) return -90001;
        if (result == OV_EBADLINK) return -90002;
        if (result < 0) return static_cast<int32_t>(result);
        got = result;
      }
    } else {
      // Never past the samples, whatever the end point says.
      chunk = std::min<int64_t>(chunk, static_cast<int64_t>(record->mPcmLen) - record->mSourcePos);
      chunk = std::max<int64_t>(chunk, 0);
      std::memcpy(work + filled, record->mPcmData + record->mSourcePos, static_cast<size_t>(chunk));
      record->mSourcePos += static_cast<int32_t>(chunk);
      got = chunk;
    }
    if (got > 0) {
      produced += got;
      filled += got;
      if (sinceLoop >= 0) sinceLoop += got;
      continue;
    }
    if (record->mDecoderLoopsLeft == 1 || sinceLoop == 0) {
      std::memset(work + filled, SilenceByte(record), static_cast<size_t>(half - filled));
      filled = half;
      break;
    }
    record->mDecoderLoopsLeft = std::max(0, record->mDecoderLoopsLeft - 1);
    // The loop-back point is brought below the end first, so that the
    // position tracking of the wrapped pass counts from where it really goes.
    if (record->mLoopBackMs >= record->mEndMs) record->mLoopBackMs = 0;
    record->mPendingEndMs = record->mEndMs;
    record->mPendingLoopBackMs = record->mLoopBackMs;
    int32_t result = file != nullptr ? SeekOggMs(record, file, record->mLoopBackMs) : SeekWavMs(record, record->mLoopBackMs);
    if (result < 0) return result;
    produced = 0;
    sinceLoop = 0;
  }
  record->mDecodePosBytes += static_cast<int32_t>(produced);
  if (file != nullptr) record->mSourcePos = static_cast<int32_t>(ov_pcm_tell(file));
  record->mCarryLen = static_cast<int32_t>(filled - half);
  std::memcpy(record->mCarryBuffer, work + half, static_cast<size_t>(record->mCarryLen));
  return 0;
}

int32_t WriteSoundHalf(SoundRecord* record) {
  if (record->mBuffer == nullptr) return 0;
  uint32_t half = record->mBufferBytes / 2;
  AudioRegions regions;
  if (!LockAudioBuffer(record->mBuffer, record->mLockOffset, half, &regions)) return -3030;
  std::memcpy(regions.mFirst, record->mWorkBuffer, regions.mFirstBytes);
  if (regions.mSecondBytes > 0) std::memcpy(regions.mSecond, record->mWorkBuffer + regions.mFirstBytes, regions.mSecondBytes);
  UnlockAudioBuffer(record->mBuffer, regions);
  return 0;
}

}  // namespace

size_t ReadSoundMemory(void* destination, size_t size, size_t count, void* source) {
  auto* record = static_cast<SoundRecord*>(source);
  if (record->mReadPos < 0 || record->mReadPos >= record->mFileSize) return 0;
  size_t n = size * count;
  n = std::min(n, static_cast<size_t>(record->mFileSize - record->mReadPos));
  std::memcpy(destination, record->mFileData + record->mReadPos, n);
  record->mReadPos += static_cast<int32_t>(n);
  return n;
}

int SeekSoundMemory(void* source, int64_t offset, int whence) {
  auto* record = static_cast<SoundRecord*>(source);
  int64_t position = 0;
  switch (whence) {
    case 0: position = offset; break;
    case 1: position = record->mReadPos + offset; break;
    case 2: position = record->mFileSize + offset; break;
    default: return -1;
  }
  // A position outside the image is refused: reads would start before it.
  if (position < 0 || position > record->mFileSize) return -1;
  record->mReadPos = static_cast<int32_t>(position);
  return 0;
}

long TellSoundMemory(void* source) { return static_cast<SoundRecord*>(source)->mReadPos; }

int CloseSoundMemory(void*) { return 1; }

int32_t LoadSoundFile(SoundRecord* record, int64_t nodeKey) {
  if (record->mFileData != nullptr) return -1010;
  if (nodeKey == SILENT_SOUND_KEY) {
    BuildSilentImage(record);
    if (record->mFileData == nullptr) return -1020;
  } else {
    ResourceLocation location;
    if (LocateResource(&location, record->mFileName, 1) <= 0) return -1020;
    if (ReadResource(&location, record->mFileName) != 0) return -1020;
    if (location.mSize > 0x7FFFFFFFu) {
      ReleaseResourceData(&location);
      return -1020;
    }
    record->mFileData = location.mData;
    record->mFileSize = static_cast<int32_t>(location.mSize);
    location.mData = nullptr;
  }
  return OpenSoundSource(record);
}

int32_t OpenSoundSource(SoundRecord* record) {
  if (g_SoundSetting == 0) return 0;
  if (record->mSourceKind == SOUND_SOURCE_OGG) return OpenOggSource(record);
  if (record->mSourceKind == SOUND_SOURCE_WAV) return OpenWavSource(record);
  return 0;
}

int32_t OpenOggSource(SoundRecord* record) {
  OggVorbis_File file;
  if (OpenOggImage(record, &file) < 0) return -1030;
  if (ov_seekable(&file) == 0) {
    ov_clear(&file);
    return -1040;
  }
  if (ov_streams(&file) != 1) {
    ov_clear(&file);
    return -1045;
  }
  vorbis_info* info = ov_info(&file, -1);
  // The mixer plays one or two channels.
  if (info == nullptr || (info->channels != 1 && info->channels != 2) || info->rate < 2 || info->rate > 1000000) {
    ov_clear(&file);
    return -1050;
  }
  double total = ov_time_total(&file, -1);
  record->mLengthMs = static_cast<int64_t>(std::trunc(std::max(total, 0.0) * 1000.0));
  record->mEndMs = static_cast<int32_t>(std::min<int64_t>(record->mLengthMs, 0x7FFFFFFF));
  record->mDecodedKind = 1;
  uint16_t channels = static_cast<uint16_t>(info->channels);
  uint32_t rate = static_cast<uint32_t>(info->rate);
  ov_clear(&file);
  return CreateChannelBuffer(record, channels, rate, channels * rate * 2, static_cast<uint16_t>(channels * 2), 16);
}

int32_t CreateChannelBuffer(SoundRecord* record, uint16_t channels, uint32_t rate, uint32_t avgBytesPerSec,
                            uint16_t blockAlign, uint16_t bits) {
  record->mFormat = PcmFormat{1, channels, rate, avgBytesPerSec, blockAlign, bits, 0};
  // An even number of blocks, so both halves start on a block.
  record->mBufferBytes = (rate & ~1u) * blockAlign;
  record->mBytesPerSec = static_cast<int64_t>(rate) * blockAlign;
  if (record->mBufferBytes < 2u * blockAlign) return -1120;
  if (record->mCarryBuffer != nullptr) return -1060;
  record->mCarryBuffer = static_cast<uint8_t*>(std::malloc(kDecodeChunk));
  if (record->mCarryBuffer == nullptr) return -1070;
  if (record->mWorkBuffer != nullptr) return -1080;
  record->mWorkBuffer = static_cast<uint8_t*>(std::calloc(record->mBufferBytes / 2 + kDecodeChunk, 1));
  if (record->mWorkBuffer == nullptr) return -1090;
  if (g_SoundDevice != 0) {
    record->mBuffer = CreateAudioBuffer({channels, rate, bits, blockAlign}, record->mBufferBytes);
    if (record->mBuffer == nullptr) return -1120;
  }
  return 0;
}

int32_t RefillSoundHalf(SoundRecord* record) {
  if (record->mWorkBuffer == nullptr || record->mCarryBuffer == nullptr) return -1010;
  int32_t result = 0;
  if (record->mSourceKind == SOUND_SOURCE_OGG) {
    OggVorbis_File file;
    if (OpenOggImage(record, &file) < 0) return -3010;
    if (ov_pcm_seek(&file, record->mSourcePos) != 0) {
      ov_clear(&file);
      return -3020;
    }
    result = DecodeIntoHalf(record, &file);
    ov_clear(&file);
  } else {
    result = DecodeIntoHalf(record, nullptr);
  }
  if (result < 0) return result;
  return WriteSoundHalf(record);
}

int32_t SeekSoundMs(SoundRecord* record, int32_t ms) {
  if (record->mSourceKind != SOUND_SOURCE_OGG) return SeekWavMs(record, ms);
  OggVorbis_File file;
  if (OpenOggImage(record, &file) < 0) return -2010;
  SeekOggMs(record, &file, ms);
  ov_clear(&file);
  return 0;
}
