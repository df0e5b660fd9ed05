#include "platform/wav_convert.h"

#include <sndfile.h>

#include <cstdlib>
#include <cstring>

namespace {

// The densest format libsndfile reads packs a few sample frames into a byte;
// a header that claims more frames than its bytes could hold is refused
// before the sample block is allocated.
constexpr sf_count_t kMaxFramesPerByte = 16;

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

}  // namespace

bool ConvertWavToPcm16(const uint8_t* image, size_t size, ConvertedPcm* out) {
  MemoryFile file{image, static_cast<sf_count_t>(size), 0};
  SF_VIRTUAL_IO io{Length, Seek, Read, Write, Tell};
  SF_INFO info{};
  SNDFILE* sound = sf_open_virtual(&io, SFM_READ, &info, &file);
  if (sound == nullptr) return false;
  bool ok = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV && (info.channels == 1 || info.channels == 2) &&
            info.samplerate > 1 && info.samplerate <= 1000000 && info.frames >= 0 &&
            info.frames <= 0x7FFFFFFF / 4 - 1024 && info.frames <= static_cast<sf_count_t>(size) * kMaxFramesPerByte;
  if (!ok) {
    sf_close(sound);
    return false;
  }
  size_t bytes = static_cast<size_t>(info.frames) * info.channels * 2;
  auto* data = static_cast<uint8_t*>(std::calloc(bytes + 1024, 1));
  if (data == nullptr) {
    sf_close(sound);
    return false;
  }
  sf_count_t frames = sf_readf_short(sound, reinterpret_cast<short*>(data), info.frames);
  sf_close(sound);
  if (frames < 0) frames = 0;
  out->mData = data;
  out->mBytes = static_cast<uint32_t>(frames * info.channels * 2);
  out->mChannels = static_cast<uint16_t>(info.channels);
  out->mRate = static_cast<uint32_t>(info.samplerate);
  return true;
}
