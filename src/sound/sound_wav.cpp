#include "sound/sound_wav.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/debug_log.h"
#include "platform/wav_convert.h"
#include "sound/sound_record.h"
#include "sound/sound_stream.h"

namespace {

uint32_t Read32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The sub-format GUID of an extensible format that has a plain format tag:
// the tag in its first two bytes, then always these 14.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

struct WavFormat {
  uint16_t mTag;  // an extensible format's sub-format tag, 0 when it has none
  uint16_t mChannels;
  uint32_t mRate;
  uint32_t mAvgBytesPerSec;
  uint16_t mBlockAlign;
  uint16_t mBits;
  uint16_t mExtraSize;
  bool mExtensible;
};

// The "fmt " body, read as a zeroed block of 40 bytes: a 16-byte chunk reads
// with an extra size of 0.
WavFormat ReadWavFormat(const uint8_t* body, uint32_t bytes) {
  uint8_t block[40] = {};
  std::memcpy(block, body, std::min<uint32_t>(bytes, sizeof block));
  WavFormat format{Read16(block), Read16(block + 2), Read32(block + 4), Read32(block + 8),
                   Read16(block + 12), Read16(block + 14), Read16(block + 16), false};
  if (format.mTag == kFormatExtensible) {
    format.mExtensible = true;
    bool plainTag = bytes >= sizeof block && format.mExtraSize >= 22 &&
                    std::memcmp(block + 26, kSubFormatTail, sizeof kSubFormatTail) == 0;
    format.mTag = plainTag ? Read16(block + 24) : 0;
  }
  return format;
}

// The error code of each step a conversion can stop at, and the step's name
// for the debug log.
struct ConversionFailure {
  WavConvertStep mStep;
  int32_t mCode;
  const char* mStepName;
};

constexpr ConversionFailure kConversionFailures[] = {
    {WavConvertStep::NoPcmFormat, -10200, "finding a PCM format for it"},
    {WavConvertStep::Open, -10310, "opening the conversion"},
    {WavConvertStep::Size, -10340, "sizing the converted samples"},
    {WavConvertStep::Memory, -10210, "allocating the converted samples"},
    {WavConvertStep::Convert, -10310, "converting the samples"},
};

int32_t ReportConversionFailure(const SoundRecord* record, WavConvertStep step) {
  for (const ConversionFailure& failure : kConversionFailures) {
    if (failure.mStep != step) continue;
    WriteDebugLog("debuglog.txt", false, 1, "sound: %s: the WAV conversion failed at %s (error %d)",
                  record->mFileName, failure.mStepName, failure.mCode);
    return failure.mCode;
  }
  return -10200;
}

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
  WavFormat format = ReadWavFormat(record->mFileData + chunks.mFmtOffset, chunks.mFmtBytes);
  if (format.mTag == kFormatPcm) {
    if (chunks.mFmtBytes >= 14 &&
        IsPlayablePcm(format.mChannels, format.mRate, format.mBlockAlign, format.mBits)) {
      uint16_t extraSize = format.mExtensible ? 0 : format.mExtraSize;
      record->mFormat = PcmFormat{kFormatPcm, format.mChannels, format.mRate, format.mAvgBytesPerSec,
                                  format.mBlockAlign, format.mBits, extraSize};
      record->mPcmData = record->mFileData + chunks.mDataOffset;
      record->mPcmLen = chunks.mDataBytes - chunks.mDataBytes % format.mBlockAlign;
      record->mDecodedKind = 0;
      return FinishWavSource(record);
    }
    // Plain PCM is converted only when its samples are wider than the
    // mixer's; any other mismatch is a damaged header.
    if (!format.mExtensible && format.mBits != 24 && format.mBits != 32) return -10090;
  }
  ConvertedPcm converted;
  WavConvertStep step = ConvertWavToPcm16(record->mFileData, static_cast<size_t>(record->mFileSize), &converted);
  if (step == WavConvertStep::Open && !WavConverterReadsTag(format.mTag)) step = WavConvertStep::NoPcmFormat;
  if (step != WavConvertStep::Done) return ReportConversionFailure(record, step);
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
