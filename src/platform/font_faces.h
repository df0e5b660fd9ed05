#pragma once
// Installed font families (fontconfig) and glyph bitmaps (FreeType). Texts
// here are UTF-8; the engine converts its Shift-JIS names at the call.
#include <cstdint>
#include <string>
#include <vector>

// One family name of an installed font, per character set it serves: a
// Japanese font occurs once as Japanese and once as Western.
struct FontFamilyEntry {
  std::string mName;
  bool mJapanese;
  // 0 proportional, 1 fixed (mono, dual-width or character-cell).
  uint8_t mFixedPitch;
};

// Uses the fonts of a fontconfig configuration file from now on (tests); an
// empty path goes back to the system's configuration. False when the file
// cannot be loaded.
bool UseFontConfiguration(const std::string& path);
// Every family name, ordered by family (byte order of the first name) and
// within a family by the font's own name order.
std::vector<FontFamilyEntry> ListFontFamilies();
// The family fontconfig chooses for a Japanese sans-serif text; "" when
// nothing is installed.
std::string MatchJapaneseSansFamily();

struct PlatformFontFace;
// The face of a family sized by cell height (ascent plus descent in pixels,
// as the Windows metrics of the font give them); bold through a bold face or
// by emboldening. Null when no font file can be opened.
PlatformFontFace* OpenFontFace(const std::string& family, int cellHeight, bool bold);
void CloseFontFace(PlatformFontFace* face);
// Draws a character with its cell's top-left corner at (0, 0) into a 1-bit
// top-down bitmap of side x side pixels, side / 8 bytes a row, most
// significant bit first, clearing the bits of ink (the bitmap is not filled
// first). Glyph bitmaps are kept per face, so a character is rendered once.
void DrawGlyphMono(PlatformFontFace* face, uint32_t codepoint, uint8_t* bits, int side);
// The pixel ascent of the face's cell (where the baseline lies).
int FontFaceAscent(const PlatformFontFace* face);
// The first code point of a UTF-8 text; 0 for an empty text.
uint32_t FirstCodepoint(const std::string& text);
