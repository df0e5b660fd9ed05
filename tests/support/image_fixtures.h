#pragma once
// Writers of image files for the decoder tests: BMP and GIF by hand (with a
// standard GIF LZW encoder), PNG through libpng and JPEG through libjpeg.
#include <cstddef>
#include <cstdint>
#include <vector>

struct BmpFixture {
  int32_t mWidth = 1;
  int32_t mHeight = 1;  // negative: written top-down
  int mBits = 24;
  uint32_t mCompression = 0;
  uint32_t mColoursUsed = 0;        // the stored field
  // Information header size: 40, or 108 (V4) and 124 (V5) with the sRGB
  // colour-space fields after the first 40 bytes.
  uint32_t mHeaderSize = 40;
  std::vector<uint32_t> mPalette;   // words written right after the header
  std::vector<uint8_t> mIndices;    // 1, 4, 8 bits: top-down, width*height
  std::vector<uint32_t> mPixels;    // 24, 32 bits: top-down 0xAARRGGBB
  uint32_t mPixelOffset = 0;        // 0: right after the palette
};
std::vector<uint8_t> WriteBmp(const BmpFixture& bmp);

struct GifFixtureImage {
  int mLeft = 0;
  int mTop = 0;
  int mWidth = 1;
  int mHeight = 1;
  std::vector<uint8_t> mIndices;       // top-down, width*height
  std::vector<uint8_t> mLocalPalette;  // R, G, B; empty: none; entries a power of two
  bool mInterlaced = false;
  bool mHasControl = false;
  int mDisposal = 0;
  bool mTransparent = false;
  int mDelay = 0;
  int mTransparentIndex = 0;
  int mMinCodeSize = 0;  // 0: from the colour table size (at least 2)
  // Emit a clear code after this many codes (0: only when the table is full).
  int mClearAfterCodes = 0;
  // Keep going without a clear code when the table is full.
  bool mDeferredClear = false;
};

struct GifFixture {
  int mScreenWidth = 1;
  int mScreenHeight = 1;
  std::vector<uint8_t> mGlobalPalette;  // R, G, B; empty: none
  int mLoopCount = -1;                  // >= 0: an application block with it
  std::vector<GifFixtureImage> mImages;
  bool mTrailer = true;
};
std::vector<uint8_t> WriteGif(const GifFixture& gif);
// The LZW data of one image: the minimum code size byte, then sub-blocks.
std::vector<uint8_t> EncodeGifImageData(const std::vector<uint8_t>& indices, int minCodeSize, int clearAfterCodes,
                                        bool deferredClear);

struct PngFixture {
  int mWidth = 1;
  int mHeight = 1;
  int mColourType = 2;  // PNG_COLOR_TYPE_*
  int mBitDepth = 8;
  bool mInterlaced = false;
  std::vector<uint8_t> mRows;          // packed rows as PNG stores them (16-bit big-endian)
  std::vector<uint8_t> mPalette;       // R, G, B
  std::vector<uint8_t> mPaletteAlpha;  // tRNS for palette images
  bool mHasTransparentColour = false;  // tRNS for grey and RGB images
  uint16_t mTransparentGrey = 0;
  uint16_t mTransparentRed = 0;
  uint16_t mTransparentGreen = 0;
  uint16_t mTransparentBlue = 0;
  double mGamma = 0;  // > 0: a gAMA chunk
};
std::vector<uint8_t> WritePng(const PngFixture& png);
// Bytes per stored row of a colour type and depth.
size_t PngRowBytes(int width, int colourType, int bitDepth);

// components 1 (grey), 3 (RGB) or 4 (CMYK; adobeMarker writes YCCK-capable
// Adobe files as CMYK). Samples interleaved, top-down.
std::vector<uint8_t> WriteJpeg(int width, int height, int components, const std::vector<uint8_t>& samples,
                               int quality, bool progressive = false);
