#pragma once
// A frame animation attached to a layer: a file of JPEG frames, each with an
// optional grey JPEG carrying its alpha, kept whole in memory while attached.
#include <cstdint>

struct FrameAnimation {
  int32_t mFrameCount;
  int32_t mAlphaFlag;  // 1: every frame has an alpha JPEG
  int32_t mHeaderValues[3];
  uint8_t* mFileImage;  // owned, std::malloc
  // Tables inside mFileImage.
  const uint8_t* mOffsets;
  const uint8_t* mColourSizes;
  const uint8_t* mAlphaSizes;
};
