// The text styles and their two commands: set fields of a style (with the
// relative operators and their clamps) and ask for a style-0 field, a font's
// name or flag, or a character's measures.
#include "layer/text_styles.h"

#include <algorithm>
#include <cstring>

#include "core/errors.h"
#include "core/message_ids.h"
#include "layer/fonts.h"
#include "layer/glyph_raster.h"
#include "layer/message_text.h"
#include "platform/sjis_chars.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/variables.h"

TextStyleTable g_TextStyles;
int32_t g_CurrentTextStyle = 0;

namespace {

constexpr int kTextStyleSlot = 26;
constexpr int kTextStyleQuerySlot = 27;

int Op(int id) { return g_ArgOperator[ArgSlot(id)]; }

// A font number n checked against 1..count: false after the report.
bool FontNumberAccepted(int command, int id, int64_t n) {
  if (n < 1) {
    ReportErrorAtScriptFmt(kMsgArgumentNegative, CommandName(command), ArgumentName(command, id), n,
                           static_cast<int64_t>(1));
    return false;
  }
  if (n > GetFontCount()) {
    ReportErrorAtScriptFmt(kMsgFontNumberAboveCount, CommandName(command), ArgumentName(command, id), n,
                           static_cast<int64_t>(GetFontCount()));
    return false;
  }
  return true;
}

// The operator applied to the field's value with its clamps; `hold` keeps a
// plain set within the range as well (the field indexes a table).
int64_t Combined(int id, int64_t current, int64_t maximum, bool hold) {
  int64_t next = ApplyValueOpClamped(Op(id), current, ArgInt(id), 0, maximum);
  return hold ? std::clamp<int64_t>(next, 0, maximum) : next;
}

// Stores a changed field in the style and, for style 0, in the mirror.
template <typename Field, typename Mirror>
void Store(int id, Field* styleField, Mirror* mirrorField, int64_t maximum, bool hold) {
  if (!HasArg(id)) return;
  int style = g_CurrentTextStyle;
  auto value = static_cast<Field>(Combined(id, styleField[style], maximum, hold));
  styleField[style] = value;
  if (style == 0) *mirrorField = static_cast<Mirror>(value);
}

int32_t ApplyStyleArguments() {
  if (HasArg(0) && SelectTextStyle(ArgInt(0)) != 0) {
    ReportErrorAtScriptFmt(kMsgArgumentOutOfRange, CommandName(kTextStyleSlot), ArgumentName(kTextStyleSlot, 0),
                           ArgInt(0), static_cast<int64_t>(0), static_cast<int64_t>(kTextStyles - 1));
    return -1;
  }
  if (HasArg(1)) {
    if (!FontNumberAccepted(kTextStyleSlot, 1, ArgInt(1))) return -1;
    g_TextStyles.mFontIndex[g_CurrentTextStyle] = static_cast<int32_t>(ArgInt(1) - 1);
  }
  if (HasArg(2)) {
    const char* face = g_ArgString[ArgSlot(2)];
    SetStyleFontByName(face != nullptr ? face : "");
  }
  MessageTextBuffer* mirror = g_MessageText;
  int style = g_CurrentTextStyle;
  if (HasArg(3)) {
    g_TextStyles.mAntiAlias[style] = static_cast<uint8_t>(ArgInt(3));
    if (style == 0) mirror->mAntiAlias = g_TextStyles.mAntiAlias[0];
  }
  Store(4, g_TextStyles.mColour, &mirror->mColour, 0xFFFFFF, false);
  Store(5, g_TextStyles.mSecondColour, &mirror->mSecondColour, 0xFFFFFF, false);
  Store(6, g_TextStyles.mGradient, &mirror->mGradient, kMaxGradient, true);
  Store(7, g_TextStyles.mDirection, &mirror->mDirection, kMaxDirection, true);
  Store(8, g_TextStyles.mWriteMode, &mirror->mWriteMode, 1, true);
  Store(9, g_TextStyles.mWidth, &mirror->mWidth, kMaxGlyphSize, true);
  Store(10, g_TextStyles.mHeight, &mirror->mHeight, kMaxGlyphSize, true);
  Store(11, g_TextStyles.mBold, &mirror->mBold, 1, true);
  return 0;
}

// The measures of the id 17 character with the mirror's fields and the
// current style's font; 0 without a character.
void Measure(int32_t* advance, int32_t* height) {
  *advance = 0;
  *height = 0;
  const char* text = HasArg(17) ? g_ArgString[ArgSlot(17)] : nullptr;
  if (text == nullptr || text[0] == '\0') return;
  const MessageTextBuffer* mirror = g_MessageText;
  RasteriseGlyph(text, mirror->mWidth, mirror->mHeight, mirror->mBold, mirror->mAntiAlias, advance, height);
}

}  // namespace

int SelectTextStyle(int64_t style) {
  if (style < 0 || style >= kTextStyles) return -1;
  g_CurrentTextStyle = static_cast<int32_t>(style);
  return 0;
}

int InitTextStyles() {
  for (int style = 0; style < kTextStyles; ++style) {
    g_TextStyles.mWidth[style] = 20;
    g_TextStyles.mHeight[style] = 20;
    g_TextStyles.mBold[style] = 0;
    g_TextStyles.mColour[style] = 0xFFFFFF;
    g_TextStyles.mSecondColour[style] = 0xFFFFFF;
    g_TextStyles.mGradient[style] = 1;
    g_TextStyles.mDirection[style] = 0;
    g_TextStyles.mAntiAlias[style] = 1;
    g_TextStyles.mWriteMode[style] = 0;
  }
  BuildGlyphTables();
  return 0;
}

void ResetTextStyles() {
  std::memset(g_TextStyles.mFontIndex, 0, sizeof g_TextStyles.mFontIndex);
  InitTextStyles();
  g_CurrentTextStyle = 0;
}

int32_t CmdTextStyle() {
  if (FetchCommandArguments(kTextStyleSlot) != 0) return -1;
  int32_t result = ApplyStyleArguments();
  SelectTextStyle(0);
  return result;
}

int32_t CmdTextStyleQuery() {
  if (FetchCommandArguments(kTextStyleQuerySlot) != 0) return -1;
  int outSlot = ArgSlot(18);
  auto n = outSlot != 0 ? static_cast<uint32_t>(g_ArgVarId[outSlot]) : 0u;
  int64_t e = outSlot != 0 ? g_ArgVarElement[outSlot] : 0;
  auto number = [&](int64_t value) {
    if (outSlot != 0) SetNumberElement(n, e, value);
    return 0;
  };
  const MessageTextBuffer* mirror = g_MessageText;
  if (HasArg(2)) return number(mirror->mAntiAlias);
  if (HasArg(3)) return number(mirror->mColour);
  if (HasArg(4)) return number(mirror->mSecondColour);
  if (HasArg(5)) return number(mirror->mGradient);
  if (HasArg(6)) return number(mirror->mDirection);
  if (HasArg(7)) return number(mirror->mWriteMode);
  if (HasArg(8)) return number(mirror->mWidth);
  if (HasArg(9)) return number(mirror->mHeight);
  if (HasArg(10)) return number(mirror->mBold);
  if (HasArg(11) && ArgInt(11) == 1) return number(GetFontCount());
  if (HasArg(12)) return number(0);
  if (HasArg(14) || HasArg(15)) {
    int32_t advance = 0;
    int32_t height = 0;
    Measure(&advance, &height);
    return number(HasArg(14) ? advance : height);
  }
  bool face = HasArg(1) && ArgInt(1) == 1;
  bool flag = !face && HasArg(13) && ArgInt(13) == 1;
  if (!face && !flag) return number(0);
  int64_t font = HasArg(0) ? ArgInt(0) : GetStyleFontIndex() + 1;
  if (!FontNumberAccepted(kTextStyleQuerySlot, 0, font)) return -1;
  auto index = static_cast<int32_t>(font - 1);
  if (flag) return number(IsFontNonJapanese(index));
  if (outSlot != 0) SetStringElement(n, e, GetFontName(index));
  return 0;
}
