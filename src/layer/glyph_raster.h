#pragma once
// The glyph rasteriser: one 1-bit canvas and one font face per text style,
// remade only when the style's size, weight or font changes, and the tables
// the blitters read. A draw is always RasteriseGlyph followed by the blits of
// the same style (text_draw.h).
#include <cstdint>
#include <vector>

struct PlatformFontFace;

extern int32_t InkCountTable[256];
extern uint8_t CoverageAlphaTable[32];
extern int32_t GlyphCanvasSideTable[257];

struct GlyphSlot {
  // side x side pixels, side / 8 bytes a row, most significant bit first; a
  // 0 bit is ink.
  std::vector<uint8_t> mBits;
  int32_t mSide = 0;
  PlatformFontFace* mFace = nullptr;
  // The cache key: the objects match these values.
  int32_t mKeyWidth = -1;
  int32_t mKeyHeight = -1;
  int32_t mKeyFontHeight = -1;
  uint8_t mKeyBold = 255;
  int32_t mKeyFontIndex = -1;
};

struct GlyphRasteriser {
  GlyphSlot mSlots[8];
};

extern GlyphRasteriser g_GlyphRasteriser;

// Fills the three tables.
void BuildGlyphTables();
// 0 when the current style's objects match the key, 1 when they were made
// again, -1 when they could not be made.
int PrepareGlyphRasteriser(int32_t width, int32_t height, int32_t bold, int32_t fontHeight, int32_t side);
// Draws the first character of text into the current style's canvas and
// measures it; both measures are 0 when the canvas or font is missing. 0.
int RasteriseGlyph(const char* text, int32_t width, int32_t height, int32_t bold, int32_t antiAlias,
                   int32_t* advance, int32_t* heightOut);
// The current style's canvas, made side x side and filled with 0xFF without
// a font (the blitters then draw what the caller puts there); the key is
// dropped so that the next preparation makes the objects again.
uint8_t* UseGlyphCanvas(int32_t side);
GlyphSlot& CurrentGlyphSlot();
