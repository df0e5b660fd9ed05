#include "platform/font_faces.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace {

FT_Library g_library = nullptr;

FT_Library Library() {
  if (g_library == nullptr && FT_Init_FreeType(&g_library) != 0) g_library = nullptr;
  return g_library;
}

FcConfig* Config() {
  if (FcConfigGetCurrent() == nullptr) FcInit();
  return FcConfigGetCurrent();
}

struct CachedGlyph {
  int mLeft = 0;  // from the pen, pixels
  int mTop = 0;   // from the cell top
  int mWidth = 0;
  int mRows = 0;
  int mPitch = 0;
  std::vector<uint8_t> mBits;  // FreeType's mono rows: a set bit is ink
};

bool HasLang(FcPattern* pattern, const char* lang) {
  FcLangSet* langs = nullptr;
  if (FcPatternGetLangSet(pattern, FC_LANG, 0, &langs) != FcResultMatch) return false;
  return FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>(lang)) == FcLangEqual;
}

std::vector<std::string> FamilyNames(FcPattern* pattern) {
  std::vector<std::string> names;
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
    names.emplace_back(reinterpret_cast<const char*>(name));
  }
  return names;
}

}  // namespace

struct PlatformFontFace {
  FT_Face mFace = nullptr;
  bool mEmbolden = false;
  int mAscent = 0;
  std::unordered_map<uint32_t, CachedGlyph> mGlyphs;
};

bool UseFontConfiguration(const std::string& path) {
  if (path.empty()) {
    FcConfigSetCurrent(nullptr);
    return FcInitReinitialize() == FcTrue;
  }
  FcConfig* config = FcConfigCreate();
  if (config == nullptr) return false;
  if (FcConfigParseAndLoad(config, reinterpret_cast<const FcChar8*>(path.c_str()), FcTrue) != FcTrue ||
      FcConfigBuildFonts(config) != FcTrue || FcConfigSetCurrent(config) != FcTrue) {
    FcConfigDestroy(config);
    return false;
  }
  // The current configuration holds its own reference now.
  FcConfigDestroy(config);
  return true;
}

std::vector<FontFamilyEntry> ListFontFamilies() {
  std::vector<FontFamilyEntry> entries;
  FcPattern* all = FcPatternCreate();
  FcObjectSet* fields = FcObjectSetBuild(FC_FAMILY, FC_LANG, FC_SPACING, nullptr);
  FcFontSet* fonts = FcFontList(Config(), all, fields);
  FcObjectSetDestroy(fields);
  FcPatternDestroy(all);
  if (fonts == nullptr) return entries;
  struct Family {
    std::vector<std::string> mNames;
    bool mJapanese;
    bool mWestern;
    uint8_t mFixed;
  };
  std::vector<Family> families;
  for (int i = 0; i < fonts->nfont; ++i) {
    FcPattern* font = fonts->fonts[i];
    Family family{FamilyNames(font), HasLang(font, "ja"), HasLang(font, "en"), 0};
    if (family.mNames.empty()) continue;
    int spacing = FC_PROPORTIONAL;
    if (FcPatternGetInteger(font, FC_SPACING, 0, &spacing) != FcResultMatch) spacing = FC_PROPORTIONAL;
    family.mFixed = spacing == FC_MONO || spacing == FC_DUAL || spacing == FC_CHARCELL ? 1 : 0;
    // A font serving neither language still gets its Western entry.
    if (!family.mJapanese) family.mWestern = true;
    families.push_back(std::move(family));
  }
  FcFontSetDestroy(fonts);
  std::stable_sort(families.begin(), families.end(),
                   [](const Family& a, const Family& b) { return a.mNames < b.mNames; });
  for (const Family& family : families) {
    for (const std::string& name : family.mNames) {
      for (bool japanese : {true, false}) {
        if (japanese ? !family.mJapanese : !family.mWestern) continue;
        bool seen = std::any_of(entries.begin(), entries.end(), [&](const FontFamilyEntry& entry) {
          return entry.mName == name && entry.mJapanese == japanese;
        });
        if (!seen) entries.push_back({name, japanese, family.mFixed});
      }
    }
  }
  return entries;
}

std::string MatchJapaneseSansFamily() {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=ja"));
  if (pattern == nullptr) return "";
  FcConfigSubstitute(Config(), pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(Config(), pattern, &result);
  FcPatternDestroy(pattern);
  std::string family;
  if (match != nullptr) {
    std::vector<std::string> names = FamilyNames(match);
    if (!names.empty()) family = names[0];
    FcPatternDestroy(match);
  }
  return family;
}

PlatformFontFace* OpenFontFace(const std::string& family, int cellHeight, bool bold) {
  if (Library() == nullptr || cellHeight <= 0) return nullptr;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcConfigSubstitute(Config(), pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(Config(), pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return nullptr;
  FcChar8* file = nullptr;
  int index = 0;
  int weight = FC_WEIGHT_REGULAR;
  FcPatternGetInteger(match, FC_INDEX, 0, &index);
  FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
  auto face = std::make_unique<PlatformFontFace>();
  bool opened = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
                FT_New_Face(Library(), reinterpret_cast<const char*>(file), index, &face->mFace) == 0;
  FcPatternDestroy(match);
  if (!opened) return nullptr;
  face->mEmbolden = bold && weight < FC_WEIGHT_DEMIBOLD;
  // The cell height is the Windows ascent plus descent; the em follows from
  // it as a font of that height is made on Windows.
  FT_Face ft = face->mFace;
  double ascent = ft->ascender;
  double descent = -ft->descender;
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
  if (os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
    ascent = os2->usWinAscent;
    descent = os2->usWinDescent;
  }
  double units = ft->units_per_EM > 0 ? ft->units_per_EM : 1000;
  if (ascent + descent <= 0) ascent = units;
  double em = cellHeight * units / (ascent + descent);
  FT_Set_Char_Size(ft, 0, static_cast<FT_F26Dot6>(std::lround(em * 64)), 72, 72);
  face->mAscent = static_cast<int>(std::lround(cellHeight * ascent / (ascent + descent)));
  return face.release();
}

void CloseFontFace(PlatformFontFace* face) {
  if (face == nullptr) return;
  FT_Done_Face(face->mFace);
  delete face;
}

int FontFaceAscent(const PlatformFontFace* face) { return face != nullptr ? face->mAscent : 0; }

void DrawGlyphMono(PlatformFontFace* face, uint32_t codepoint, uint8_t* bits, int side) {
  // Whole bytes a row: a side that is not a multiple of 8 would write past
  // the row and, on the last row, past the bitmap.
  if (face == nullptr || bits == nullptr || side <= 0 || side % 8 != 0) return;
  auto found = face->mGlyphs.find(codepoint);
  if (found == face->mGlyphs.end()) {
    CachedGlyph glyph;
    FT_Face ft = face->mFace;
    FT_UInt index = FT_Get_Char_Index(ft, codepoint);
    if (index != 0 && FT_Load_Glyph(ft, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO) == 0) {
      if (face->mEmbolden) FT_GlyphSlot_Embolden(ft->glyph);
      if (FT_Render_Glyph(ft->glyph, FT_RENDER_MODE_MONO) == 0) {
        const FT_Bitmap& bitmap = ft->glyph->bitmap;
        glyph.mLeft = ft->glyph->bitmap_left;
        glyph.mTop = face->mAscent - ft->glyph->bitmap_top;
        glyph.mWidth = static_cast<int>(bitmap.width);
        glyph.mRows = static_cast<int>(bitmap.rows);
        glyph.mPitch = std::abs(bitmap.pitch);
        glyph.mBits.resize(static_cast<size_t>(glyph.mPitch) * glyph.mRows);
        for (int row = 0; row < glyph.mRows; ++row) {
          const uint8_t* source = bitmap.pitch >= 0 ? bitmap.buffer + static_cast<size_t>(row) * bitmap.pitch
                                                    : bitmap.buffer + static_cast<size_t>(glyph.mRows - 1 - row) * glyph.mPitch;
          std::memcpy(glyph.mBits.data() + static_cast<size_t>(row) * glyph.mPitch, source, glyph.mPitch);
        }
      }
    }
    found = face->mGlyphs.emplace(codepoint, std::move(glyph)).first;
  }
  const CachedGlyph& glyph = found->second;
  const size_t rowBytes = static_cast<size_t>(side) / 8;
  for (int row = 0; row < glyph.mRows; ++row) {
    int y = glyph.mTop + row;
    if (y < 0 || y >= side) continue;
    const uint8_t* source = glyph.mBits.data() + static_cast<size_t>(row) * glyph.mPitch;
    uint8_t* target = bits + static_cast<size_t>(y) * rowBytes;
    for (int k = 0; k < glyph.mPitch; ++k) {
      uint8_t ink = source[k];
      if (ink == 0) continue;
      int x0 = glyph.mLeft + 8 * k;
      if (x0 >= 0 && x0 + 15 < side) {
        // Eight pixels at once over the two canvas bytes they straddle.
        int shift = x0 & 7;
        target[x0 >> 3] = static_cast<uint8_t>(target[x0 >> 3] & ~(ink >> shift));
        if (shift != 0) target[(x0 >> 3) + 1] = static_cast<uint8_t>(target[(x0 >> 3) + 1] & ~(ink << (8 - shift)));
        continue;
      }
      for (int bit = 0; bit < 8; ++bit) {
        int x = x0 + bit;
        if ((ink & (0x80 >> bit)) == 0 || x < 0 || x >= side) continue;
        target[x >> 3] = static_cast<uint8_t>(target[x >> 3] & ~(0x80 >> (x & 7)));
      }
    }
  }
}

uint32_t FirstCodepoint(const std::string& text) {
  if (text.empty()) return 0;
  auto byte = [&](size_t i) { return i < text.size() ? static_cast<uint8_t>(text[i]) : 0u; };
  uint32_t first = byte(0);
  if (first < 0x80) return first;
  int extra = first >= 0xF0 ? 3 : first >= 0xE0 ? 2 : first >= 0xC0 ? 1 : 0;
  uint32_t value = first & (0x3Fu >> extra);
  for (int i = 1; i <= extra; ++i) value = (value << 6) | (byte(static_cast<size_t>(i)) & 0x3Fu);
  return value;
}
