#pragma once
// Movies for the tests, made in the tests: Theora movies by libtheora's
// encoder (each frame's pixels known), and movie files by GStreamer itself
// (test patterns encoded to Ogg or WebM).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One Theora movie: a picture size (any, the coded frame is padded to
// whole blocks), a frame rate and each frame's pixels as 0xRRGGBB.
struct TheoraMovieSpec {
  int mWidth = 32;
  int mHeight = 16;
  int mRateNumerator = 30;
  int mRateDenominator = 1;
  int mFrames = 1;
  // The colour of a pixel of a frame; by default each frame is one colour
  // of mFrameColours (the last one repeats).
  std::function<uint32_t(int frame, int x, int y)> mPixel;
  std::vector<uint32_t> mFrameColours = {0x204080};
  int mKeyFrameInterval = 8;
  int mQuality = 63;
  // A Vorbis sound track beside the pictures (mono samples at 22050 Hz);
  // none when empty.
  std::vector<int16_t> mSound;
};
std::vector<uint8_t> MakeTheoraMovie(const TheoraMovieSpec& spec);
// The colour of one pixel of a spec's frame.
uint32_t TheoraSpecPixel(const TheoraMovieSpec& spec, int frame, int x, int y);

// A movie file made by a GStreamer pipeline of test sources, written to
// path: "ogg" (Theora and Vorbis) or "webm" (VP8 and Vorbis), `buffers`
// frames at 30 per second. False when the pipeline could not run (a plugin
// is missing).
bool MakeTestPatternMovie(const std::string& path, const std::string& kind, int buffers);
