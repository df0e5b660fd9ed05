// The installed font list: one entry per family name and character set, as
// the platform lists them, and the start font of every text style.
#include "layer/fonts.h"

#include <cstring>
#include <string>

#include "core/debug_log.h"
#include "layer/text_setup.h"
#include "layer/text_styles.h"
#include "platform/font_faces.h"
#include "platform/text_codec.h"

FontList g_FontList;

namespace {

const std::string kNoFamily;

bool ValidEntry(int32_t index) { return index >= 0 && index < g_FontList.mCount; }

// The faces a style starts with, in order of preference.
const char* const kStartFaces[] = {"ＭＳ ゴシック", "標準ゴシック", "ＭＳ Ｐゴシック", "ＭＳ 明朝", "標準明朝"};

// None of the start faces is installed: the entry of fontconfig's Japanese
// sans-serif family (its Japanese entry first), or -1.
int32_t JapaneseSansEntry() {
  std::string family = MatchJapaneseSansFamily();
  if (family.empty()) return -1;
  int32_t found = -1;
  for (int32_t i = 0; i < g_FontList.mCount; ++i) {
    if (g_FontList.mFamilies[i] != family) continue;
    if (g_FontList.mNonJapanese[i] == 0) return i;
    if (found < 0) found = i;
  }
  return found;
}

}  // namespace

void InitFontList() {
  ReleaseFontList();
  for (const FontFamilyEntry& entry : ListFontFamilies()) {
    g_FontList.mNames.push_back(ConvertUtf8ToCp932(entry.mName));
    g_FontList.mFamilies.push_back(entry.mName);
    g_FontList.mNonJapanese.push_back(entry.mJapanese ? 0 : 1);
    g_FontList.mPitchClass.push_back(entry.mFixedPitch != 0 ? kPitchFixed : kPitchProportional);
  }
  g_FontList.mCount = static_cast<int32_t>(g_FontList.mNames.size());
  int32_t fallback = -2;  // not looked up yet
  for (int style = 0; style < kTextStyles; ++style) {
    SelectTextStyle(style);
    g_TextStyles.mFontIndex[style] = 0;
    bool found = false;
    for (const char* face : kStartFaces) {
      if (SetStyleFontByName(face) != 0) {
        found = true;
        break;
      }
    }
    if (found) continue;
    if (fallback == -2) {
      fallback = JapaneseSansEntry();
      if (g_FontList.mCount == 0) {
        WriteDebugLog("debuglog.txt", false, 1, "fonts: no font is installed; text draws nothing");
      } else if (fallback >= 0) {
        WriteDebugLog("debuglog.txt", false, 1, "fonts: the text styles start with %s",
                      g_FontList.mNames[fallback].c_str());
      }
    }
    if (fallback >= 0) g_TextStyles.mFontIndex[style] = fallback;
  }
  SelectTextStyle(0);
  InitTextStyles();
}

void ReleaseFontList() { g_FontList = FontList{}; }

int SetStyleFontIndex(int32_t index) {
  if (index < 0 || index >= g_FontList.mCount) return 0;
  g_TextStyles.mFontIndex[g_CurrentTextStyle] = index;
  return 1;
}

int SetStyleFontByName(const char* name) {
  for (int32_t i = 0; i < g_FontList.mCount; ++i) {
    if (g_FontList.mNames[i] == name) {
      g_TextStyles.mFontIndex[g_CurrentTextStyle] = i;
      return 1;
    }
  }
  return 0;
}

const char* GetStyleFontName() { return GetFontName(GetStyleFontIndex()); }
int32_t GetStyleFontIndex() { return g_TextStyles.mFontIndex[g_CurrentTextStyle]; }

uint8_t GetStylePitchClass() {
  int32_t index = GetStyleFontIndex();
  return ValidEntry(index) ? g_FontList.mPitchClass[index] : kPitchOther;
}

const std::string& GetStyleFontFamily() {
  int32_t index = GetStyleFontIndex();
  return ValidEntry(index) ? g_FontList.mFamilies[index] : kNoFamily;
}

const char* GetFontName(int32_t index) { return ValidEntry(index) ? g_FontList.mNames[index].c_str() : ""; }
uint8_t IsFontNonJapanese(int32_t index) { return ValidEntry(index) ? g_FontList.mNonJapanese[index] : 1; }
int32_t GetFontCount() { return g_FontList.mCount; }
