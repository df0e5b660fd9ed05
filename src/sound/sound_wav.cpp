#include "sound/sound_wav.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/wav_convert.h"
#include "sound/sound_record.h"
#include "sound/sound_stream.h"

namespace {

uint32_t Read32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The PCM formats the mixer plays; anything else is refused as a damaged
// file (a block align of 0 would divide by zero further on).
bool IsPlayablePcm(uint16_t channels, uint32_t rate, uint16_t blockAlign, uint16_t bits) {
  if (channels != 1 && channels != 2) return false;
  if (bits != 8 && bits != 16) return false;
  if (rate < 2 || rate > 1000000) return false;
  return blockAlign == channels * bits / 8;
}

int32_t FinishWavSource(SoundRecord* record) {
  const PcmFormat& format = record->mFormat;
  double perSecond = static_cast<double>(format.mBlockAlign) * format.mSamplesPerSec;
  record->mLengthMs = perSecond > 0 ? static_cast<int64_t>(std::trunc(record->mPcmLen / perSecond * 1000.0)) : 0;
  record->mEndMs = static_cast<int32_t>(std::min<int64_t>(record->mLengthMs, 0x7FFFFFFF));
  return CreateChannelBuffer(record, format.mChannels, format.mSamplesPerSec, format.mAvgBytesPerSec,
                             format.mBlockAlign, format.mBitsPerSample);
}

}  // namespace

int32_t FindWavChunks(const uint8_t* image, uint32_t size, WavChunks* chunks) {
  *chunks = WavChunks{};
  if (image == nullptr || size < 12) return -10030;
  if (std::memcmp(image, "RIFF", 4) != 0) return -10040;
  if (std::memcmp(image + 8, "WAVE", 4) != 0) return -10050;
  uint64_t end = std::min<uint64_t>(8ull + Read32(image + 4), size);
  bool haveFmt = false;
  uint64_t position = 12;
  while (position + 8 <= end) {
    const uint8_t* header = image + position;
    uint64_t body = position + 8;
    uint64_t bytes = std::min<uint64_t>(Read32(header + 4), end - body);
    if (!haveFmt && std::memcmp(header, "fmt ", 4) == 0) {
      haveFmt = true;
      chunks->mFmtOffset = static_cast<uint32_t>(body);
      chunks->mFmtBytes = static_cast<uint32_t>(bytes);
    } else if (haveFmt && std::memcmp(header, "data", 4) == 0) {
      chunks->mDataOffset = static_cast<uint32_t>(body);
      chunks->mDataBytes = static_cast<uint32_t>(bytes);
      return 0;
    }
    position = body + bytes + (bytes & 1);
  }
  return haveFmt ? -10080 : -10060;
}

int32_t OpenWavSource(SoundRecord* record) {
  // A converted image is PCM already, in the format the conversion gave.
  if (record->mDecodedKind == 2 && record->mPcmData != nullptr && record->mPcmData == record->mFileData) {
    return FinishWavSource(record);
  }
  WavChunks chunks;
  int32_t result = FindWavChunks(record->mFileData, static_cast<uint32_t>(std::max(record->mFileSize, 0)), &chunks);
  if (result < 0) return result;
  // The format block as a zeroed 18-byte block: a 16-byte chunk reads with
  // an extra size of 0.
  uint8_t format[18] = {};
  std::memcpy(format, record->mFileData + chunks.mFmtOffset, std::min<uint32_t>(chunks.mFmtBytes, sizeof format));
  uint16_t tag = Read16(format);
  if (tag == 1) {
    uint16_t channels = Read16(format + 2);
    uint32_t rate = Read32(format + 4);
    uint16_t blockAlign = Read16(format + 12);
    uint16_t bits = Read16(format + 14);
    if (chunks.mFmtBytes < 14 || !IsPlayablePcm(channels, rate, blockAlign, bits)) return -10090;
    record->mFormat = PcmFormat{1, channels, rate, Read32(format + 8), blockAlign, bits, Read16(format + 16)};
    record->mPcmData = record->mFileData + chunks.mDataOffset;
    record->mPcmLen = chunks.mDataBytes - chunks.mDataBytes % blockAlign;
    record->mDecodedKind = 0;
    return FinishWavSource(record);
  }
  ConvertedPcm converted;
  if (!ConvertWavToPcm16(record->mFileData, static_cast<size_t>(record->mFileSize), &converted)) return -10200;
  std::free(record->mFileData);
  record->mFileData = converted.mData;
  record->mFileSize = static_cast<int32_t>(converted.mBytes);
  record->mPcmData = converted.mData;
  record->mPcmLen = converted.mBytes;
  record->mDecodedKind = 2;
  uint16_t blockAlign = static_cast<uint16_t>(converted.mChannels * 2);
  record->mFormat = PcmFormat{1, converted.mChannels, converted.mRate, converted.mRate * blockAlign, blockAlign, 16, 0};
  return FinishWavSource(record);
}
