// Writes the seed corpus of the sound loader fuzz target into the folder
// given: PCM, ADPCM and mu-law WAV files and Ogg Vorbis files, each behind
// the byte that picks its source kind.
#include <sndfile.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/sound_fixtures.h"

namespace {

void WriteSeed(const std::string& folder, const std::string& name, uint8_t kind, const std::vector<uint8_t>& bytes) {
  std::ofstream out(folder + "/" + name, std::ios::binary);
  out.put(static_cast<char>(kind));
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  std::string folder = argv[1];
  std::vector<int16_t> mono = SineTone(1, 8000, 2000, 300);
  std::vector<int16_t> stereo = SineTone(2, 11025, 2000, 500);
  WriteSeed(folder, "pcm16.wav", 0, MakePcmWav(1, 8000, 16, Pcm16Bytes(mono)));
  std::vector<uint8_t> eight(1000, 128);
  WriteSeed(folder, "pcm8.wav", 2, MakePcmWav(2, 8000, 8, eight));
  WriteSeed(folder, "adpcm.wav", 4, MakeSndfileWav(stereo, 2, 11025, SF_FORMAT_IMA_ADPCM));
  WriteSeed(folder, "ulaw.wav", 6, MakeSndfileWav(mono, 1, 8000, SF_FORMAT_ULAW));
  WriteSeed(folder, "mono.ogg", 1, EncodeVorbis(mono, 1, 8000));
  WriteSeed(folder, "stereo.ogg", 3, EncodeVorbis(stereo, 2, 11025));
  return 0;
}
