#include "demo/demo_movie.h"

#include <cstdint>

#include "support/image_fixtures.h"
#include "support/movie_fixtures.h"

namespace {

// Colour bands that slide and change hue from frame to frame.
uint32_t ClipPixel(int frame, int x, int y) {
  int band = ((x + frame * 3) / 20 + y / 24) % 3;
  auto wave = static_cast<uint32_t>((frame * 5 + x) % 256);
  auto depth = static_cast<uint32_t>(64 + y * 2);
  if (band == 0) return wave << 16 | depth << 8 | 0x40;
  if (band == 1) return 0x400000 | wave << 8 | depth;
  return depth << 16 | 0x4000 | wave;
}

}  // namespace

std::vector<GameFile> DemoMovieFiles() {
  TheoraMovieSpec spec;
  spec.mWidth = kDemoMovieWidth;
  spec.mHeight = kDemoMovieHeight;
  spec.mFrames = kDemoMovieFrames;
  spec.mKeyFrameInterval = 30;
  spec.mQuality = 40;
  spec.mPixel = ClipPixel;
  std::vector<uint8_t> clip = MakeTheoraMovie(spec);
  BmpFixture screen;
  screen.mWidth = kDemoMovieWidth;
  screen.mHeight = kDemoMovieHeight;
  screen.mBits = 24;
  screen.mPixels.assign(static_cast<size_t>(kDemoMovieWidth) * kDemoMovieHeight, 0xFF000000u);
  std::vector<uint8_t> picture = WriteBmp(screen);
  return {GameFile{"movie\\clip.ogv", Bytes(clip.begin(), clip.end())},
          GameFile{"image\\screen.bmp", Bytes(picture.begin(), picture.end())}};
}

void AddDemoMovie(ScriptAssembler& code) {
  code.Op("layer", {{"path", Str("screen")}, {"order", Num(7)}, {"file", Str("image\\screen.bmp")}, {"x", Num(460)},
                    {"y", Num(20)}});
  code.Op("ogv", {{"path", Str("screen")}, {"file", Str("movie\\clip.ogv")}});
}
