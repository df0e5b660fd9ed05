#pragma once
// Writes frame-animation files from C++ calls: JPEG frames with optional
// grey alpha JPEGs, scrambled with the engine's scrambling values, and every
// count, offset and size open to tests that need a lying one.
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

struct FrameAnimationFrame {
  std::vector<uint8_t> mColour;  // a JPEG file
  std::vector<uint8_t> mAlpha;   // a grey JPEG file, or empty
};

struct FrameAnimationFixture {
  std::vector<FrameAnimationFrame> mFrames;
  int32_t mAlphaFlag = 0;
  int32_t mValues[3] = {0, 0, 0};
  bool mScramble = true;
  // Written in place of the true values when set.
  std::optional<int32_t> mCount;
  std::map<int, int32_t> mOffsets;      // frame -> offset
  std::map<int, int32_t> mColourSizes;  // frame -> colour size
  std::map<int, int32_t> mAlphaSizes;   // frame -> alpha size
};

std::vector<uint8_t> WriteFrameAnimation(const FrameAnimationFixture& fixture);
// Where frame i's colour stream starts in the file WriteFrameAnimation
// writes (true offsets).
int32_t FrameAnimationFrameOffset(const FrameAnimationFixture& fixture, int frame);
