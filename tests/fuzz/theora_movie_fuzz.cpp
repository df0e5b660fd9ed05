// Fuzz target of the Theora movie loader: the first byte picks the frames
// decoded after the open (in an order that goes forwards, back across key
// frames and past the end), the rest is the movie file. The movie is found
// through the data sources, opened with the library's size callbacks and
// frame buffer, decoded and stopped.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_harness.h"
#include "movie/ogv_movie.h"
#include "support/movie_fixtures.h"

namespace {

void WriteSeeds() {
  TheoraMovieSpec small;
  small.mWidth = 18;
  small.mHeight = 10;
  small.mFrames = 5;
  small.mKeyFrameInterval = 2;
  small.mFrameColours = {0xFF0000, 0x00FF00, 0x0000FF, 0x808080};
  std::vector<uint8_t> movie = MakeTheoraMovie(small);
  fuzz::WriteSeed("small.ogv", fuzz::Prefixed({0x25}, Bytes(movie.begin(), movie.end())));
  TheoraMovieSpec sound = small;
  sound.mSound.assign(2000, 500);
  movie = MakeTheoraMovie(sound);
  fuzz::WriteSeed("sound.ogv", fuzz::Prefixed({0x93}, Bytes(movie.begin(), movie.end())));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool seeded = false;
  fuzz::SetUpOnce();
  if (!seeded) {
    seeded = true;
    WriteSeeds();
  }
  if (size < 2 || size > (1u << 20)) return -1;
  fuzz::HandOver("movie.ogv", data + 1, size - 1);
  if (OpenOgvMovie("movie.ogv") == 0) {
    const uint32_t frames[] = {0u, data[0] & 7u, static_cast<uint32_t>(data[0] >> 4), 1u,
                               static_cast<uint32_t>(g_OgvMovie.mTotalFrames)};
    for (uint32_t frame : frames) {
      g_OgvMovie.mFrame = frame;
      ShowOgvFrame(nullptr);
    }
  }
  ResetOgvMovie();
  fuzz::Reset();
  return 0;
}
