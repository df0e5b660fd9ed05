#pragma once
// The eight text styles, the style that the accessors and the glyph code
// work on, and the two style commands.
#include <cstdint>

constexpr int kTextStyles = 8;
// Width and height index the glyph canvas table: 0..256.
constexpr int32_t kMaxGlyphSize = 256;
constexpr int32_t kMaxGradient = 8;
constexpr int32_t kMaxDirection = 8;

// Parallel arrays by style number.
struct TextStyleTable {
  int32_t mFontIndex[kTextStyles];
  int32_t mWidth[kTextStyles];
  int32_t mHeight[kTextStyles];
  int32_t mBold[kTextStyles];
  int32_t mColour[kTextStyles];
  int32_t mSecondColour[kTextStyles];
  uint8_t mGradient[kTextStyles];
  uint8_t mDirection[kTextStyles];
  uint8_t mAntiAlias[kTextStyles];
  uint8_t mWriteMode[kTextStyles];
};

extern TextStyleTable g_TextStyles;
extern int32_t g_CurrentTextStyle;

// Selects a style: 0, or -1 (nothing changed) outside 0..7.
int SelectTextStyle(int64_t style);
// Every field but the font index back to its start value, and the glyph
// tables built. 0.
int InitTextStyles();
// Styles and the current style as at process start (font indices 0).
void ResetTextStyles();
