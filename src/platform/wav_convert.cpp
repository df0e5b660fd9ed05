#include "platform/wav_convert.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The densest format libsndfile reads packs a few sample frames into a byte;
// a header that claims more frames than its bytes could hold is refused
// before the sample block is allocated.
constexpr sf_count_t kMaxFramesPerByte = 16;
// Frames decoded per call.
constexpr sf_count_t kReadFrames = 4096;

struct MemoryFile {
  const uint8_t* mData;
  sf_count_t mSize;
  sf_count_t mPosition;
};

sf_count_t Length(void* user) { return static_cast<MemoryFile*>(user)->mSize; }

sf_count_t Seek(sf_count_t offset, int whence, void* user) {
  auto* file = static_cast<MemoryFile*>(user);
  sf_count_t position = offset;
  if (whence == SEEK_CUR) position = file->mPosition + offset;
  if (whence == SEEK_END) position = file->mSize + offset;
  if (position < 0 || position > file->mSize) return -1;
  file->mPosition = position;
  return position;
}

sf_count_t Read(void* destination, sf_count_t count, void* user) {
  auto* file = static_cast<MemoryFile*>(user);
  sf_count_t n = count < file->mSize - file->mPosition ? count : file->mSize - file->mPosition;
  if (n <= 0) return 0;
  std::memcpy(destination, file->mData + file->mPosition, static_cast<size_t>(n));
  file->mPosition += n;
  return n;
}

sf_count_t Write(const void*, sf_count_t, void*) { return 0; }

sf_count_t Tell(void* user) { return static_cast<MemoryFile*>(user)->mPosition; }

// libsndfile gives integer samples left-aligned in 32 bits: rounded to the
// nearest 16-bit value (halves up) and clipped at the top, which leaves 8-
// and 16-bit samples exactly as they were.
int16_t RoundTo16(int32_t value) {
  int64_t rounded = (static_cast<int64_t>(value) + 0x8000) >> 16;
  return static_cast<int16_t>(std::min<int64_t>(rounded, 32767));
}

// Floats have their full scale at 1.0: scaled by 32768, rounded (halves up)
// and clipped, so a quiet file stays quiet and a hot one clips.
int16_t RoundTo16(double value) {
  if (std::isnan(value)) return 0;
  double scaled = std::floor(value * 32768.0 + 0.5);
  if (scaled >= 32767.0) return 32767;
  if (scaled <= -32768.0) return -32768;
  return static_cast<int16_t>(scaled);
}

sf_count_t ReadFrames(SNDFILE* sound, int32_t* buffer, sf_count_t frames) { return sf_readf_int(sound, buffer, frames); }
sf_count_t ReadFrames(SNDFILE* sound, double* buffer, sf_count_t frames) { return sf_readf_double(sound, buffer, frames); }

// Decodes up to `frames` frames into `out`; the frames read, or -1 when the
// decoder reports an error.
template <typename Sample>
sf_count_t DecodeFrames(SNDFILE* sound, int channels, sf_count_t frames, int16_t* out) {
  std::vector<Sample> buffer(static_cast<size_t>(kReadFrames * channels));
  sf_count_t total = 0;
  while (total < frames) {
    sf_count_t got = ReadFrames(sound, buffer.data(), std::min(kReadFrames, frames - total));
    if (got < 0 || sf_error(sound) != SF_ERR_NO_ERROR) return -1;
    if (got == 0) break;
    for (sf_count_t i = 0; i < got * channels; ++i) *out++ = RoundTo16(buffer[static_cast<size_t>(i)]);
    total += got;
  }
  return total;
}

bool IsFloatFormat(int format) {
  int subtype = format & SF_FORMAT_SUBMASK;
  return subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
}

WavConvertStep Convert(SNDFILE* sound, const SF_INFO& info, size_t size, ConvertedPcm* out, PcmAllocator allocate) {
  int container = info.format & SF_FORMAT_TYPEMASK;
  if (container != SF_FORMAT_WAV && container != SF_FORMAT_WAVEX) return WavConvertStep::Open;
  if (info.channels != 1 && info.channels != 2) return WavConvertStep::NoPcmFormat;
  if (info.samplerate < 2 || info.samplerate > 1000000 || info.frames < 0 || info.frames > 0x7FFFFFFF / 4 - 1024 ||
      info.frames > static_cast<sf_count_t>(size) * kMaxFramesPerByte) {
    return WavConvertStep::Size;
  }
  size_t bytes = static_cast<size_t>(info.frames) * info.channels * 2;
  auto* data = static_cast<uint8_t*>(allocate(bytes + 1024));
  if (data == nullptr) return WavConvertStep::Memory;
  auto* samples = reinterpret_cast<int16_t*>(data);
  sf_count_t frames = IsFloatFormat(info.format) ? DecodeFrames<double>(sound, info.channels, info.frames, samples)
                                                 : DecodeFrames<int32_t>(sound, info.channels, info.frames, samples);
  if (frames < 0) {
    std::free(data);
    return WavConvertStep::Convert;
  }
  out->mData = data;
  out->mBytes = static_cast<uint32_t>(frames * info.channels * 2);
  out->mChannels = static_cast<uint16_t>(info.channels);
  out->mRate = static_cast<uint32_t>(info.samplerate);
  return WavConvertStep::Done;
}

void* AllocateZeroed(size_t bytes) { return std::calloc(bytes, 1); }

}  // namespace

WavConvertStep ConvertWavToPcm16(const uint8_t* image, size_t size, ConvertedPcm* out, PcmAllocator allocate) {
  MemoryFile file{image, static_cast<sf_count_t>(size), 0};
  SF_VIRTUAL_IO io{Length, Seek, Read, Write, Tell};
  SF_INFO info{};
  SNDFILE* sound = sf_open_virtual(&io, SFM_READ, &info, &file);
  if (sound == nullptr) return WavConvertStep::Open;
  WavConvertStep step = Convert(sound, info, size, out, allocate != nullptr ? allocate : AllocateZeroed);
  sf_close(sound);
  return step;
}

bool WavConverterReadsTag(uint16_t formatTag) {
  switch (formatTag) {
    case 0x0001:  // PCM
    case 0x0002:  // MS ADPCM
    case 0x0003:  // IEEE float
    case 0x0006:  // A-law
    case 0x0007:  // mu-law
    case 0x0011:  // IMA ADPCM
    case 0x0031:  // GSM 6.10
    case 0x0040:  // G.721 ADPCM
      return true;
    default:
      return false;
  }
}
