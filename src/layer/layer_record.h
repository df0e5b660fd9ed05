#pragma once
// The payload record of a layer node. Images own the size, the pixel blocks,
// the alpha flag and the GIF frames; composition owns the dirty bookkeeping
// and the derived pixels; the layer commands own the display attributes.
#include <cstdint>

struct GifFrame;

// Frames a GIF load may keep on one record.
constexpr int kGifFrameTableSize = 8192;

struct LayerRecord {
  int32_t mPrevUnionCount = 0;
  int32_t mUnionCount = 0;
  // Inclusive left, top, right, bottom.
  int64_t mChangedRect[4] = {};
  int64_t mDirtyRect[4] = {};
  uint8_t mDirtyValid = 0;
  uint8_t mDirtyWhole = 0;
  int64_t mRefCount = 1;
  int64_t mX = 0;
  int64_t mY = 0;
  int32_t mSaturation = 128;
  int32_t mTone = 0x808080;
  // Current image size in pixels.
  int32_t mWidth = 1;
  int32_t mHeight = 1;
  int16_t mOpacity = 256;        // 0..256
  int16_t mRuleThreshold = 256;  // 256: mask off
  int16_t mRuleSoftness = 0;
  uint8_t mHasAlpha = 0;
  uint8_t mBlendMode = 0;  // 0..18
  uint8_t mVisible = 1;
  // The pixels drawn: mPixelAlloc, or mDerivedPixels while a tone or
  // saturation is active. Blocks hold width*4*(height+1)+4 bytes.
  uint8_t* mPixels = nullptr;
  uint8_t* mPixelAlloc = nullptr;
  uint8_t* mDerivedPixels = nullptr;
  int64_t mDerivedStamp = 0;
  // Size of the installed block's image.
  int32_t mBufferWidth = 1;
  int32_t mBufferHeight = 1;
  uint8_t mDirty = 0;
  uint8_t mShrinkInPlace = 0;
  // kGifFrameTableSize frame pointers; entries past the last frame are null.
  GifFrame** mGifFrames = nullptr;
};
