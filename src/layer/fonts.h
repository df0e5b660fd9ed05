#pragma once
// The installed font families and the accessors the glyph code and the style
// commands use. Script-visible font numbers are 1-based (number n is entry
// n - 1).
#include <cstdint>
#include <string>
#include <vector>

// Pitch classes of an entry.
constexpr uint8_t kPitchFixed = 0;
constexpr uint8_t kPitchProportional = 1;
constexpr uint8_t kPitchOther = 255;

struct FontList {
  int32_t mCount = 0;
  std::vector<std::string> mNames;     // face names as scripts see them (Shift-JIS)
  std::vector<std::string> mFamilies;  // the same names as the platform knows them
  std::vector<uint8_t> mNonJapanese;
  std::vector<uint8_t> mPitchClass;
};

extern FontList g_FontList;

// The current style's font (all return 0, "" or kPitchOther where the list
// has no such entry).
int SetStyleFontIndex(int32_t index);
int SetStyleFontByName(const char* name);
const char* GetStyleFontName();
int32_t GetStyleFontIndex();
uint8_t GetStylePitchClass();
// The platform's name of the current style's family; "" without one.
const std::string& GetStyleFontFamily();
const char* GetFontName(int32_t index);
uint8_t IsFontNonJapanese(int32_t index);
int32_t GetFontCount();

// Empties the list (tests build it again with another configuration).
void ReleaseFontList();
