// The font list from a fixed fontconfig configuration, the style commands
// with their operators, clamps and refusals, the style query, and FreeType
// glyphs drawn into a layer with IPA Gothic.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "image/pixel_buffers.h"
#include "layer/fonts.h"
#include "layer/glyph_raster.h"
#include "layer/layer_record.h"
#include "layer/message_text.h"
#include "layer/text_draw.h"
#include "layer/text_setup.h"
#include "layer/text_styles.h"
#include "platform/font_faces.h"
#include "support/layer_tree_env.h"
#include "support/script_runner.h"
#include "support/temp_folder.h"
#include "support/text_fonts.h"

namespace {


struct EntryCase {
  int32_t mIndex;
  const char* mName;
  uint8_t mNonJapanese;
  uint8_t mPitch;
};

TEST(TextFontListTest, TheFixedConfigurationListsEveryFamilyPerCharacterSet) {
  ProjectFonts fonts;
  ASSERT_TRUE(fonts.Loaded());
  InitFontList();
  ASSERT_EQ(GetFontCount(), 19);
  const EntryCase cases[] = {
      {0, "DejaVu Sans", 1, kPitchProportional},   {1, "DejaVu Sans Mono", 1, kPitchFixed},
      {2, "DejaVu Serif", 1, kPitchProportional},  {3, "IPAGothic", 0, kPitchFixed},
      {4, "IPAGothic", 1, kPitchFixed},            {5, "IPAゴシック", 0, kPitchFixed},
      {6, "IPAゴシック", 1, kPitchFixed},          {11, "IPAPGothic", 0, kPitchProportional},
      {13, "IPA Pゴシック", 0, kPitchProportional}, {18, "IPA P明朝", 1, kPitchProportional},
  };
  for (const EntryCase& c : cases) {
    SCOPED_TRACE(c.mIndex);
    EXPECT_STREQ(GetFontName(c.mIndex), c.mName);
    EXPECT_EQ(IsFontNonJapanese(c.mIndex), c.mNonJapanese);
    SelectTextStyle(0);
    ASSERT_EQ(SetStyleFontIndex(c.mIndex), 1);
    EXPECT_EQ(GetStylePitchClass(), c.mPitch);
  }
  EXPECT_EQ(SetStyleFontIndex(19), 0);
  // None of the start faces exists: every style starts with the Japanese
  // entry of fontconfig's Japanese sans-serif family.
  InitFontList();
  for (int style = 0; style < kTextStyles; ++style) EXPECT_EQ(g_TextStyles.mFontIndex[style], 3);
  EXPECT_EQ(SetStyleFontByName("IPA明朝"), 1);
  EXPECT_EQ(GetStyleFontIndex(), 9);
  EXPECT_EQ(SetStyleFontByName("ipagothic"), 0);  // case matters
  EXPECT_EQ(GetStyleFontIndex(), 9);
}

TEST(TextFontListTest, WithoutFontsNothingIsIndexedAndNothingDrawn) {
  TempFolder folder(false);
  folder.WriteFile("fonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig><dir>" + folder.Path() +
                                     "/none</dir><cachedir>" + folder.Path() + "/cache</cachedir></fontconfig>\n");
  LayerTreeEnvironment env(32, 32);
  ASSERT_TRUE(UseFontConfiguration(folder.Path() + "/fonts.conf"));
  InitFontList();
  EXPECT_EQ(GetFontCount(), 0);
  EXPECT_STREQ(GetStyleFontName(), "");
  ObjectTreeNode* node = env.Add(nullptr, "t", 0, 0, 32, 32);
  SetPixelBuffer(RecordOf(node), AllocPixelBuffer(nullptr, 32, 32, nullptr), 32, 32);
  EXPECT_EQ(DrawTextIntoLayer("A", 0xFFFFFF, -1, 0, 0, 20, 20, 0, 1, 0, 0, 0, 0, node), 0);
  EXPECT_TRUE(AllBytesZero(RecordOf(node)->mPixels, 32 * 32 * 4));
  EXPECT_EQ(g_QuitFlag.load(), 0);
  UseFontConfiguration("");
}

class TextStyleCommandTest : public testing::Test {
 protected:
  void Run(const std::vector<std::vector<Arg>>& styles, const std::vector<Arg>& query = {},
           const std::function<void()>& setup = [] {}) {
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    for (const std::vector<Arg>& args : styles) code.Op("text_style", args);
    if (!query.empty()) code.Op("text_style_query", query);
    code.Op("wait", {{"frames", Num(1)}});
    mGame.Add(code);
    ASSERT_TRUE(mGame.Load());
    ASSERT_TRUE(mFonts.Loaded());
    InitFontList();
    setup();
    mGame.Frame();
  }
  ProjectFonts mFonts;
  ScriptRunner mGame;
};

TEST_F(TextStyleCommandTest, EveryFieldIsStoredInTheStyleAndTheMirror) {
  Run({{{"font", Num(12)},
        {"antialias", Num(0x100)},
        {"colour", Num(0x123456)},
        {"colour2", Num(0x654321)},
        {"gradient", Num(5)},
        {"direction", Num(2)},
        {"mode", Num(1)},
        {"width", Num(32)},
        {"height", Num(40)},
        {"bold", Num(1)}}});
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(g_TextStyles.mFontIndex[0], 11);
  EXPECT_EQ(g_TextStyles.mAntiAlias[0], 0);  // the low byte
  EXPECT_EQ(g_TextStyles.mColour[0], 0x123456);
  EXPECT_EQ(g_TextStyles.mSecondColour[0], 0x654321);
  EXPECT_EQ(g_TextStyles.mGradient[0], 5);
  EXPECT_EQ(g_TextStyles.mDirection[0], 2);
  EXPECT_EQ(g_TextStyles.mWriteMode[0], 1);
  EXPECT_EQ(g_TextStyles.mWidth[0], 32);
  EXPECT_EQ(g_TextStyles.mHeight[0], 40);
  EXPECT_EQ(g_TextStyles.mBold[0], 1);
  const MessageTextBuffer* mirror = g_MessageText;
  EXPECT_EQ(mirror->mAntiAlias, 0);
  EXPECT_EQ(mirror->mColour, 0x123456);
  EXPECT_EQ(mirror->mSecondColour, 0x654321);
  EXPECT_EQ(mirror->mGradient, 5);
  EXPECT_EQ(mirror->mDirection, 2);
  EXPECT_EQ(mirror->mWriteMode, 1);
  EXPECT_EQ(mirror->mWidth, 32);
  EXPECT_EQ(mirror->mHeight, 40);
  EXPECT_EQ(mirror->mBold, 1);
}

TEST_F(TextStyleCommandTest, AnotherStyleLeavesTheMirrorAndStyleZeroComesBack) {
  Run({{{"style", Num(3)}, {"colour", Num(0x00FF00)}, {"face", Str("IPA P明朝")}},
       {{"width", Num(30)}}});
  EXPECT_EQ(g_TextStyles.mColour[3], 0x00FF00);
  EXPECT_EQ(g_TextStyles.mFontIndex[3], 17);
  EXPECT_EQ(g_TextStyles.mColour[0], 0xFFFFFF);
  EXPECT_EQ(g_MessageText->mColour, 0xFFFFFF);
  EXPECT_EQ(g_TextStyles.mWidth[0], 30);
  EXPECT_EQ(g_TextStyles.mWidth[3], 20);
  EXPECT_EQ(g_CurrentTextStyle, 0);
}

struct OperatorCase {
  const char* mWhat;
  const char* mField;
  int64_t mStart;
  int64_t mOperand;
  uint8_t mOperator;
  int64_t mExpected;
};

TEST(TextStyleOperatorTest, OperatorsClampToEachFieldsRange) {
  const OperatorCase cases[] = {
      {"colour + stops at white", "colour", 0xFFFF00, 0x100, 1, 0xFFFFFF},
      {"width - stops at 0", "width", 10, 20, 2, 0},
      {"width * stops at 256", "width", 100, 3, 3, 256},
      {"width / 0 keeps the value", "width", 100, 0, 4, 100},
      {"width + a negative stays at 0", "width", 10, -50, 1, 0},
      {"width = 300 is held at 256", "width", 10, 300, 0, 256},
      {"height = -5 is held at 0", "height", 10, -5, 0, 0},
      {"gradient = 12 is held at 8", "gradient", 1, 12, 0, 8},
      {"gradient - stops at 0", "gradient", 1, 4, 2, 0},
      {"direction * stops at 8", "direction", 2, 9, 3, 8},
      {"mode + stops at 1", "mode", 0, 5, 1, 1},
      {"bold / 0 keeps the value", "bold", 1, 0, 4, 1},
  };
  for (const OperatorCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    ScriptRunner game;
    ScriptAssembler code = game.Script(0);
    code.Label("SYSTEM_START");
    code.Op("text_style", {{c.mField, Num(c.mStart)}});
    code.Op("text_style", {{c.mField, Num(c.mOperand), c.mOperator}});
    code.Op("text_style_query", {{"out", Var(kRunInt)}, {c.mField, Num(1)}});
    code.Op("wait", {{"frames", Num(1)}});
    game.Add(code);
    ASSERT_TRUE(game.Load());
    game.Frame();
    EXPECT_EQ(g_LastErrorText, "");
    EXPECT_EQ(IntVar(kRunInt), c.mExpected);
  }
}

struct RefusalCase {
  const char* mWhat;
  std::vector<Arg> mArgs;
  bool mQuery;
  MessageId mMessage;  // number 0: accepted
};

TEST_F(TextStyleCommandTest, FontNumbersAndStylesOutsideTheirRangeAreRefused) {
  const RefusalCase cases[] = {
      {"font 0", {{"font", Num(0)}}, false, kMsgArgumentNegative},
      {"font count + 1", {{"font", Num(20)}}, false, kMsgFontNumberAboveCount},
      {"font count", {{"font", Num(19)}}, false, {0, 0}},
      {"style 8", {{"style", Num(8)}, {"colour", Num(1)}}, false, kMsgArgumentOutOfRange},
      {"style -1", {{"style", Num(-1)}}, false, kMsgArgumentOutOfRange},
      {"query of font 0", {{"out", Var(kRunText)}, {"font_num", Num(0)}, {"face", Num(1)}}, true,
       kMsgArgumentNegative},
      {"query of font 20", {{"out", Var(kRunInt)}, {"font_num", Num(20)}, {"non_japanese", Num(1)}}, true,
       kMsgFontNumberAboveCount},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    ScriptRunner game;
    ScriptAssembler code = game.Script(0);
    code.Label("SYSTEM_START");
    code.Op(c.mQuery ? "text_style_query" : "text_style", c.mArgs);
    code.Op("wait", {{"frames", Num(1)}});
    game.Add(code);
    ASSERT_TRUE(game.Load());
    InitFontList();
    game.Frame();
    if (c.mMessage.mNumber == 0) {
      EXPECT_EQ(g_LastErrorText, "");
      EXPECT_EQ(g_TextStyles.mFontIndex[0], 18);
    } else {
      EXPECT_TRUE(LastReportIs(c.mMessage)) << LastReportTag();
      EXPECT_EQ(g_QuitFlag.load(), 1);
      EXPECT_EQ(g_TextStyles.mColour[0], 0xFFFFFF);
    }
    EXPECT_EQ(g_CurrentTextStyle, 0);
  }
}

TEST_F(TextStyleCommandTest, TheQueryAnswersTheFirstMatchingRow) {
  ScriptAssembler code = mGame.Script(0);
  code.Label("SYSTEM_START");
  code.Op("text_style", {{"antialias", Num(0)}, {"colour", Num(0x102030)}});
  code.Op("text_style_query", {{"out", Elem(kRunIntArray, {Num(0), Num(0)})}, {"antialias", Num(1)}, {"colour", Num(1)}});
  code.Op("text_style_query", {{"out", Elem(kRunIntArray, {Num(0), Num(1)})}, {"colour", Num(1)}});
  code.Op("text_style_query", {{"out", Elem(kRunIntArray, {Num(0), Num(2)})}, {"font_count", Num(1)}});
  code.Op("text_style_query", {{"out", Elem(kRunIntArray, {Num(0), Num(3)})}, {"zero", Num(1)}});
  code.Op("text_style_query", {{"out", Elem(kRunIntArray, {Num(1), Num(0)})}, {"non_japanese", Num(1)}});
  code.Op("text_style_query", {{"out", Elem(kRunIntArray, {Num(1), Num(1)})}, {"font_num", Num(1)}, {"non_japanese", Num(1)}});
  code.Op("text_style_query", {{"out", Var(kRunText)}, {"face", Num(1)}});
  code.Op("text_style_query", {{"out", Elem(kRunTextArray, {Num(0)})}, {"font_num", Num(6)}, {"face", Num(1)}});
  code.Op("wait", {{"frames", Num(1)}});
  mGame.Add(code);
  ASSERT_TRUE(mGame.Load());
  InitFontList();
  mGame.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunIntArray, 0), 0);  // the anti-alias flag wins over the colour
  EXPECT_EQ(IntVar(kRunIntArray, 1), 0x102030);
  EXPECT_EQ(IntVar(kRunIntArray, 2), 19);
  EXPECT_EQ(IntVar(kRunIntArray, 3), 0);
  EXPECT_EQ(IntVar(kRunIntArray, 4), 0);  // style 0's font is Japanese
  EXPECT_EQ(IntVar(kRunIntArray, 5), 1);  // font 1 is DejaVu Sans
  EXPECT_EQ(TextVar(kRunText), "IPAGothic");
  EXPECT_EQ(TextVar(kRunTextArray, 0), "IPAゴシック");
}

TEST_F(TextStyleCommandTest, MeasuresFollowThePitchOfTheFont) {
  ScriptAssembler code = mGame.Script(0);
  code.Label("SYSTEM_START");
  code.Op("text_style", {{"width", Num(24)}, {"height", Num(30)}});
  code.Op("text_style_query", {{"out", Elem(kRunIntArray, {Num(0), Num(0)})}, {"advance", Num(1)}, {"char", Str("A")}});
  code.Op("text_style_query", {{"out", Elem(kRunIntArray, {Num(0), Num(1)})}, {"advance", Num(1)}, {"char", Str("日本")}});
  code.Op("text_style_query", {{"out", Elem(kRunIntArray, {Num(0), Num(2)})}, {"char_height", Num(1)}, {"char", Str("A")}});
  code.Op("text_style", {{"font", Num(12)}});  // IPAPGothic, proportional
  code.Op("text_style_query", {{"out", Elem(kRunIntArray, {Num(1), Num(0)})}, {"advance", Num(1)}, {"char", Str(" ")}});
  code.Op("text_style_query", {{"out", Elem(kRunIntArray, {Num(1), Num(1)})}, {"advance", Num(1)}, {"char", Str("i")}});
  code.Op("text_style_query", {{"out", Elem(kRunIntArray, {Num(1), Num(2)})}, {"advance", Num(1)}, {"char", Str("W")}});
  code.Op("text_style_query", {{"out", Elem(kRunIntArray, {Num(1), Num(3)})}, {"char_height", Num(1)}, {"char", Str("W")}});
  code.Op("wait", {{"frames", Num(1)}});
  mGame.Add(code);
  ASSERT_TRUE(mGame.Load());
  InitFontList();
  mGame.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  // IPA Gothic is fixed pitch: half the width for one byte, the width for two.
  EXPECT_EQ(IntVar(kRunIntArray, 0), 12);
  EXPECT_EQ(IntVar(kRunIntArray, 1), 24);
  EXPECT_EQ(IntVar(kRunIntArray, 2), 30);
  // Proportional: a blank has no ink and advances 4; the rest by their ink.
  EXPECT_EQ(IntVar(kRunIntArray, 4), 4);
  EXPECT_GE(IntVar(kRunIntArray, 5), 6);
  EXPECT_LE(IntVar(kRunIntArray, 5), 12);
  EXPECT_GE(IntVar(kRunIntArray, 6), 20);
  EXPECT_LE(IntVar(kRunIntArray, 6), 24);
  // The height measure counts from the canvas bottom (side 128) to the first
  // ink row, so it is the cell height for any visible letter.
  EXPECT_EQ(IntVar(kRunIntArray, 7), 30);
}

TEST(TextDrawFreeTypeTest, AJapaneseLineLandsInItsCells) {
  // The environment resets the engine, font list included: it comes first.
  LayerTreeEnvironment env(200, 40);
  ProjectFonts fonts;
  ASSERT_TRUE(fonts.Loaded());
  InitFontList();
  ObjectTreeNode* node = env.Add(nullptr, "line", 0, 0, 200, 40);
  SetPixelBuffer(RecordOf(node), AllocPixelBuffer(nullptr, 200, 40, nullptr), 200, 40);
  const std::string line = "日本語のA";
  SelectTextStyle(0);
  int64_t x = 4;
  std::vector<int64_t> starts;
  for (size_t i = 0; i < line.size();) {
    size_t length = static_cast<unsigned char>(line[i]) >= 0x80 ? 2 : 1;
    starts.push_back(x);
    x += DrawTextIntoLayer(line.substr(i, length).c_str(), 0xFFFFFF, -1, 0, 0, 24, 24, 0, 1, 0, x, 8, 1, node);
    i += length;
  }
  // Fixed pitch: four double-byte characters of 24 and one single-byte of 12.
  EXPECT_EQ(starts, (std::vector<int64_t>{4, 28, 52, 76, 100}));
  EXPECT_EQ(x, 112);
  const LayerRecord* record = RecordOf(node);
  auto alpha = [&](int px, int py) { return record->mPixels[(static_cast<size_t>(py) * 200 + px) * 4 + 3]; };
  for (size_t c = 0; c < starts.size(); ++c) {
    SCOPED_TRACE(c);
    int cellWidth = c < 4 ? 24 : 12;
    int ink = 0;
    int top = 99;
    int bottom = -1;
    for (int py = 0; py < 40; ++py) {
      for (int px = static_cast<int>(starts[c]); px < starts[c] + cellWidth; ++px) {
        if (alpha(px, py) == 0) continue;
        ++ink;
        top = std::min(top, py);
        bottom = std::max(bottom, py);
      }
    }
    EXPECT_GT(ink, 20);
    // The ink stays inside the 24-pixel cell at y 8, clear of its edges by a
    // pixel or two.
    EXPECT_GE(top, 8);
    EXPECT_LE(bottom, 31);
  }
  // Nothing outside the cells.
  for (int py = 0; py < 40; ++py) {
    for (int px = 0; px < 200; ++px) {
      if (py >= 8 && py < 32 && px >= 4 && px < 112) continue;
      ASSERT_EQ(alpha(px, py), 0) << px << "," << py;
    }
  }
}

TEST(TextDrawFreeTypeTest, OutlinesAndShadowsStampAroundTheCell) {
  LayerTreeEnvironment env(40, 40);
  ProjectFonts fonts;
  ASSERT_TRUE(fonts.Loaded());
  InitFontList();
  struct StampCase {
    int32_t mEffect;
    std::vector<std::pair<int, int>> mCells;  // top-left corners of the 8 x 8 cells drawn
  };
  const StampCase cases[] = {
      {0, {{16, 16}}},
      {3, {{19, 16}, {16, 13}, {16, 16}, {16, 19}, {13, 16}}},
      {12, {{18, 16}, {16, 18}, {18, 18}}},
  };
  int n = 0;
  for (const StampCase& c : cases) {
    SCOPED_TRACE(c.mEffect);
    std::string name = "s" + std::to_string(n++);
    ObjectTreeNode* node = env.Add(nullptr, name.c_str(), 0, 0, 40, 40);
    SetPixelBuffer(RecordOf(node), AllocPixelBuffer(nullptr, 40, 40, nullptr), 40, 40);
    // Plain write mode 0 writes every pixel of each cell.
    DrawTextIntoLayer("A", 0xFFFFFF, -1, 0, 0, 8, 8, 0, 0, c.mEffect, 16, 16, 0, node);
    const LayerRecord* record = RecordOf(node);
    for (int py = 0; py < 40; ++py) {
      for (int px = 0; px < 40; ++px) {
        bool inside = false;
        for (auto [cx, cy] : c.mCells) inside |= px >= cx && px < cx + 8 && py >= cy && py < cy + 8;
        EXPECT_EQ(record->mPixels[(static_cast<size_t>(py) * 40 + px) * 4 + 3], inside ? 0xFF : 0) << px << "," << py;
      }
    }
  }
}

}  // namespace
