// The image operation command run from compiled scripts: its refusals, the
// order in which it picks one operation, the region it clamps, the layers it
// creates, groups composed before they are read, and text drawn through the
// text styles.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "image/blend_kernels.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "layer/text_setup.h"
#include "layer/layer_record.h"
#include "layer/text_draw.h"
#include "layer/text_styles.h"
#include "script/variables.h"
#include "support/script_assembler.h"
#include "support/script_runner.h"
#include "support/text_fonts.h"

namespace {

ObjectTreeNode* Node(const char* path, int mode = kPathLeaf) { return FindObjectByPath(g_LayerRoot, path, mode); }
LayerRecord* Record(const char* path, int mode = kPathLeaf) {
  ObjectTreeNode* node = Node(path, mode);
  return node != nullptr ? static_cast<LayerRecord*>(node->mPayload) : nullptr;
}

uint32_t Pixel(const LayerRecord* record, int x, int y) {
  uint32_t pixel = 0;
  std::memcpy(&pixel, record->mPixels + (static_cast<size_t>(y) * record->mWidth + x) * 4, 4);
  return pixel;
}

// A layer (or group canvas) under parent with every pixel `colour`.
ObjectTreeNode* AddLayer(const char* path, int32_t width, int32_t height, uint32_t colour, bool group = false,
                         int64_t orderKey = 1) {
  ObjectTreeNode* node = CreateTreeNode(g_LayerRoot, path, orderKey, group ? 1 : 0);
  EXPECT_NE(node, nullptr);
  LayerRecord* record = GetLayerRecord(node);
  if (record == nullptr) return node;
  uint8_t* block = AllocPixelBuffer(nullptr, width, height, nullptr);
  for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) std::memcpy(block + i * 4, &colour, 4);
  SetPixelBuffer(record, block, width, height);
  return node;
}

// One frame that runs one image instruction after setup() built the layers.
void RunImageOp(ScriptRunner& game, const std::vector<Arg>& args, const std::function<void()>& setup) {
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("image", args);
  code.Op("wait", {{"frames", Num(1)}});
  game.Add(code);
  ASSERT_TRUE(game.Load());
  setup();
  game.Frame();
}

void SourceLayer() { AddLayer("W0/src", 100, 100, 0xFF102030u); }

struct RefusalCase {
  const char* mWhat;
  std::vector<Arg> mArgs;
  MessageId mMessage;
  const char* mTag;  // the report's start, "" to check only its id
};

TEST(ImageOperationCommandTest, RefusalsReportTheirMessages) {
  const RefusalCase cases[] = {
      {"brightness above 256", {{"brightness", Num(1)}, {"p1", Num(257)}}, kMsgArgumentOutOfRange,
       "E101000[image][p1][257]"},
      {"brightness of -1", {{"brightness", Num(1)}, {"p1", Num(-1)}}, kMsgArgumentOutOfRange,
       "E101000[image][p1][-1]"},
      {"mirror of 2", {{"mirror", Num(1)}, {"p1", Num(2)}}, kMsgArgumentOutOfRange, ""},
      {"tone above 0xFFFFFF", {{"tone", Num(1)}, {"p1", Num(0x1000000)}}, kMsgArgumentOutOfRange, ""},
      {"a value beyond 32 bits", {{"blur", Num(1)}, {"p1", Num(0x100000005LL)}}, kMsgArgumentOutOfRange, ""},
      {"mosaic with a region", {{"mosaic", Num(1)}, {"p1", Num(4)}, {"x0", Num(1)}}, kMsgMosaicWithRegion,
       "E101283[image][mosaic]"},
      {"scatter with a region", {{"scatter", Num(1)}, {"p1", Num(4)}, {"y1", Num(9)}}, kMsgScatterWithRegion,
       "E101284[image][scatter]"},
      {"rotation with a region", {{"rotate", Num(1)}, {"x1", Num(5)}}, kMsgRotateWithRegion,
       "E101282[image][rotate]"},
      {"smooth rotation with a region", {{"rotate_smooth", Num(1)}, {"y0", Num(5)}}, kMsgRotateWithRegion,
       "E101282[image][rotate_smooth]"},
      {"swap with a region", {{"dest", Str("d")}, {"swap", Num(1)}, {"x0", Num(0)}}, kMsgSwapWithRegion,
       "E101281[image][swap]"},
      {"swap without a destination", {{"swap2", Num(1)}}, kMsgSwapNeedsDestination, "E101297[image][swap2]"},
      {"paste without a destination", {{"paste", Num(1)}}, kMsgPasteNeedsDestination, "E101298[image][paste]"},
      {"keep-equal without a destination", {{"keep_equal", Num(1)}}, kMsgPasteNeedsDestination,
       "E101298[image][keep_equal]"},
      {"copy without a destination", {{"copy_attrs", Num(1)}}, kMsgCopyNeedsDestination,
       "E101296[image][copy_attrs]"},
      {"resize to width 0", {{"resize", Num(1)}, {"width", Num(0)}, {"height", Num(10)}}, kMsgArgumentOutOfRange,
       "E101000[image][width][0]"},
      {"resize to height 8193", {{"resize", Num(1)}, {"width", Num(10)}, {"height", Num(8193)}},
       kMsgArgumentOutOfRange, "E101000[image][height][8193]"},
      {"resize to 99 hundredths", {{"resize30", Num(1)}, {"width100", Num(99)}, {"height", Num(5)}},
       kMsgArgumentOutOfRange, "E101000[image][width][0]"},
      {"auto-crop sides 16", {{"autocrop", Num(1)}, {"p1", Num(16)}}, kMsgArgumentOutOfRange,
       "E101000[image][p1][16]"},
      {"auto-crop sides -1", {{"autocrop", Num(1)}, {"p1", Num(-1)}}, kMsgArgumentOutOfRange, ""},
      {"a group as destination", {{"dest", Str("grp/")}, {"negative", Num(1)}}, kMsgLayerPathIsGroup,
       "E101291[image][W0/grp]"},
      {"a group as second layer", {{"dest", Str("d")}, {"second", Str("g2/")}, {"crossfade", Num(1)}},
       kMsgLayerPathIsGroup, "E101291[image][W0/g2]"},
      // Clamped to the last column, the start lies behind the end.
      {"a region whose start lies behind its end", {{"negative", Num(1)}, {"x0", Num(150)}, {"x1", Num(10)}},
       kMsgArgumentOutOfRange, "E101000[image][x0][99]"},
      {"rows crossing", {{"blur_h", Num(1)}, {"y0", Num(30)}, {"y1", Num(-4)}}, kMsgArgumentOutOfRange,
       "E101000[image][y0][30]"},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    ScriptRunner game;
    std::vector<Arg> args = {{"source", Str("src")}};
    args.insert(args.end(), c.mArgs.begin(), c.mArgs.end());
    RunImageOp(game, args, SourceLayer);
    EXPECT_TRUE(LastReportIs(c.mMessage)) << g_LastErrorText;
    if (c.mTag[0] != '\0') {
      EXPECT_EQ(LastReportTag().rfind(c.mTag, 0), 0u) << LastReportTag();
    }
  }
}

// Which operation runs when several are given: the first of the command's
// order wins, the text ids do not stop the search. Seen through the checks
// of the one that runs.
struct OrderCase {
  const char* mWhat;
  std::vector<Arg> mArgs;
  int32_t mMessage;  // 0: none
};

TEST(ImageOperationCommandTest, TheFirstOperationOfTheOrderWins) {
  const OrderCase cases[] = {
      {"brightness before the vertical flip", {{"vflip", Num(1)}, {"brightness", Num(1)}, {"p1", Num(5)}}, 0},
      {"the vertical flip before the mosaic", {{"mosaic", Num(1)}, {"vflip", Num(1)}, {"p1", Num(5)}},
       kMsgArgumentOutOfRange.mNumber},
      {"resize before any effect", {{"brightness", Num(1)}, {"p1", Num(999)}, {"resize", Num(1)}, {"width", Num(5)},
                                    {"height", Num(5)}}, 0},
      {"rotation before the effects", {{"rotate", Num(1)}, {"brightness", Num(1)}, {"x0", Num(1)}},
       kMsgRotateWithRegion.mNumber},
      {"the swirl before the negative", {{"negative", Num(1)}, {"swirl", Num(1)}, {"p1", Num(5)}}, 0},
      {"the negative before the fills", {{"fill", Num(1)}, {"negative", Num(1)}, {"p1", Num(5)}},
       kMsgArgumentOutOfRange.mNumber},
      {"an effect before the paste", {{"paste", Num(1)}, {"alpha_ramp", Num(1)}}, 0},
      {"the text before the paste", {{"style", Num(2)}, {"paste", Num(1)}}, kMsgPasteNeedsDestination.mNumber},
      {"auto-crop before the copies", {{"copy_gpu", Num(1)}, {"autocrop", Num(1)}, {"p1", Num(3)}}, 0},
      {"the copy before the swap", {{"swap", Num(1)}, {"copy_gpu", Num(1)}}, kMsgCopyNeedsDestination.mNumber},
      {"the swap before the GPU paste", {{"sprite", Num(1)}, {"swap", Num(1)}}, kMsgSwapNeedsDestination.mNumber},
      {"nothing at all", {}, 0},
  };
  for (const OrderCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    ScriptRunner game;
    std::vector<Arg> args = {{"source", Str("src")}};
    args.insert(args.end(), c.mArgs.begin(), c.mArgs.end());
    RunImageOp(game, args, SourceLayer);
    if (c.mMessage == 0) {
      EXPECT_EQ(g_LastErrorText, "");
    } else {
      EXPECT_TRUE(LastReportIs(c.mMessage)) << g_LastErrorText;
    }
  }
}

TEST(ImageOperationCommandTest, AMissingSourceIsNoErrorAndCreatesNothing) {
  ScriptRunner game;
  RunImageOp(game, {{"source", Str("ghost")}, {"dest", Str("made")}, {"negative", Num(1)}}, [] {});
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(Node("W0/made"), nullptr);
}

TEST(ImageOperationCommandTest, MissingLayersAreCreatedAndStayWhenTheOperationFails) {
  ScriptRunner game;
  // The brightness check fails after the layers were made.
  RunImageOp(game,
             {{"source", Str("src")}, {"dest", Str("d")}, {"dest_num", Num(3)}, {"second", Str("s2")},
              {"third", Str(":W0/t3")}, {"brightness", Num(1)}, {"p1", Num(300)}},
             SourceLayer);
  EXPECT_TRUE(LastReportIs(kMsgArgumentOutOfRange)) << g_LastErrorText;
  for (const char* path : {"W0/d.3", "W0/s2", "W0/t3"}) {
    SCOPED_TRACE(path);
    ObjectTreeNode* node = Node(path);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->mOrderKey, 1);
    const auto* record = static_cast<const LayerRecord*>(node->mPayload);
    ASSERT_NE(record, nullptr);
    // A fresh record with its one pixel, transparent, for the routines to
    // write into.
    EXPECT_EQ(record->mWidth, 1);
    EXPECT_EQ(record->mHeight, 1);
    ASSERT_NE(record->mPixelAlloc, nullptr);
    EXPECT_EQ(Pixel(record, 0, 0), 0u);
    EXPECT_EQ(record->mHasAlpha, 1);
  }
}

TEST(ImageOperationCommandTest, AnExistingDestinationIsKept) {
  ScriptRunner game;
  RunImageOp(game, {{"source", Str("src")}, {"dest", Str("d")}, {"p37", Num(1)}}, [] {
    SourceLayer();
    AddLayer("W0/d", 4, 4, 0xFF0000FFu, false, 7);
  });
  // Id 37 (declared as "p37") does nothing with a destination.
  EXPECT_EQ(g_LastErrorText, "");
  ObjectTreeNode* node = Node("W0/d");
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->mOrderKey, 7);
  EXPECT_EQ(Record("W0/d")->mWidth, 4);
  EXPECT_EQ(Pixel(Record("W0/d"), 3, 3), 0xFF0000FFu);
}

struct FillCase {
  const char* mId;
  int64_t mValue;
  bool mDestination;
  uint8_t mHasAlpha;
};

TEST(ImageOperationCommandTest, FillsOfValueTwoOrMoreUseAlpha) {
  const FillCase cases[] = {
      {"fill", 1, true, 0},       {"fill", 2, true, 1},        {"fill_alpha", 3, true, 1},
      {"fill_argb", 2, false, 1}, {"alpha_ramp", 2, true, 1},  {"alpha_ramp", 1, false, 0},
  };
  for (const FillCase& c : cases) {
    SCOPED_TRACE(std::string(c.mId) + " " + std::to_string(c.mValue));
    ScriptRunner game;
    std::vector<Arg> args = {{"source", Str("src")}, {c.mId, Num(c.mValue)}};
    if (c.mDestination) args.push_back({"dest", Str("d")});
    // A source without pixels: the effect itself leaves everything as it is,
    // so only the command's own step shows.
    RunImageOp(game, args, [] {
      GetLayerRecord(CreateTreeNode(g_LayerRoot, "W0/src", 1, 0));
      GetLayerRecord(CreateTreeNode(g_LayerRoot, "W0/d", 1, 0));
    });
    EXPECT_EQ(g_LastErrorText, "");
    EXPECT_EQ(Record(c.mDestination ? "W0/d" : "W0/src")->mHasAlpha, c.mHasAlpha);
  }
}

TEST(ImageOperationCommandTest, AGroupSourceIsComposedBeforeItIsRead) {
  ScriptRunner game;
  RunImageOp(game, {{"source", Str("grp/")}, {"dest", Str("d")}, {"p37", Num(1)}}, [] {
    // The composition's row kernels, as start-up makes them.
    InitPixelPrimitives();
    InitProductTables();
    InitBlendKernels();
    AddLayer("W0/grp", 8, 8, 0x00000000u, true);
    ObjectTreeNode* member = AddLayer("W0/grp/m", 4, 4, 0xFF11AA33u);
    static_cast<LayerRecord*>(member->mPayload)->mX = 2;
    static_cast<LayerRecord*>(member->mPayload)->mY = 3;
  });
  EXPECT_EQ(g_LastErrorText, "");
  const LayerRecord* group = Record("W0/grp", kPathGroup);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(Pixel(group, 2, 3) & 0xFFFFFF, 0x11AA33u);
  EXPECT_EQ(Pixel(group, 5, 6) & 0xFFFFFF, 0x11AA33u);
  EXPECT_EQ(Pixel(group, 1, 3) & 0xFFFFFF, 0u);
  EXPECT_NE(Node("W0/d"), nullptr);
}

// The text of id 11 drawn character by character from the region's start
// (clamped into the layer), with the chosen style, P1 as the outline and the
// style going back to 0 afterwards.
struct TextCase {
  const char* mWhat;
  std::string mText;
  std::vector<std::string> mCharacters;  // what must be drawn, in order
  int64_t mX0;
  int64_t mY0;
  int64_t mStartX;  // where the pen starts
  int64_t mOutline;
};

TEST(ImageOperationCommandTest, TextIsDrawnCharacterByCharacterWithTheStyle) {
  const TextCase cases[] = {
      {"Japanese and ASCII", "日本a", {"日", "本", "a"}, 4, 2, 4, 0},
      {"a start left of the layer", "ab", {"a", "b"}, -30, 0, 0, 0},
      {"an outline", "語", {"語"}, 10, 6, 10, 2},
      // A lead byte before the terminator has no second byte: the text ends.
      {"a lone lead byte at the end", "a\x82", {"a"}, 0, 0, 0, 0},
  };
  ProjectFonts fonts;
  ASSERT_TRUE(fonts.Loaded());
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    ScriptRunner game;
    std::vector<Arg> args = {{"source", Str("txt")}, {"style", Num(3)}, {"draw_text", Num(1)},
                             {"text", Var(kRunText)}, {"x0", Num(c.mX0)},  {"y0", Num(c.mY0)}};
    if (c.mOutline != 0) args.push_back({"p1", Num(c.mOutline)});
    // The text comes from a variable: a literal cannot end in a lead byte.
    RunImageOp(game, args, [&c] {
      ASSERT_EQ(SetStringElementBytes(kRunText, 0, c.mText.data(), c.mText.size()), 0);
      InitFontList();
      AddLayer("W0/txt", 120, 40, 0xFF000000u);
      AddLayer("W0/ref", 120, 40, 0xFF000000u);
      SelectTextStyle(3);
      g_TextStyles.mColour[3] = 0x40C0FF;
      g_TextStyles.mWidth[3] = 24;
      g_TextStyles.mHeight[3] = 24;
      g_TextStyles.mWriteMode[3] = 1;
      SelectTextStyle(0);
    });
    EXPECT_EQ(g_LastErrorText, "");
    EXPECT_EQ(g_CurrentTextStyle, 0);
    // The same characters drawn directly with style 3.
    SelectTextStyle(3);
    int64_t x = c.mStartX;
    for (const std::string& character : c.mCharacters) {
      x += DrawTextIntoLayer(character.c_str(), 0x40C0FF, 0xFFFFFF, 1, 0, 24, 24, 0, 1,
                             static_cast<int32_t>(c.mOutline), x, c.mY0 < 0 ? 0 : c.mY0, 1, Node("W0/ref"));
    }
    EXPECT_GT(x, c.mStartX);
    const LayerRecord* drawn = Record("W0/txt");
    const LayerRecord* expected = Record("W0/ref");
    EXPECT_EQ(std::memcmp(drawn->mPixels, expected->mPixels, 120 * 40 * 4), 0);
    int inked = 0;
    for (int y = 0; y < 40; ++y) {
      for (int px = 0; px < 120; ++px) inked += Pixel(drawn, px, y) != 0xFF000000u ? 1 : 0;
    }
    EXPECT_GT(inked, 10);
  }
}

TEST(ImageOperationCommandTest, DrawingWithoutTextEndsTheStep) {
  ScriptRunner game;
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("image", {{"source", Str("src")}, {"draw_text", Num(1)}});
  code.Op("assign", {{"target", Var(kRunInt)}, {"value", Num(7)}});
  code.Op("wait", {{"frames", Num(1)}});
  game.Add(code);
  ASSERT_TRUE(game.Load());
  SourceLayer();
  game.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunInt), 0) << "the task's turn ended at the command";
  game.Frame();
  EXPECT_EQ(IntVar(kRunInt), 7);
}

TEST(ImageOperationCommandTest, ParametersAreEvaluatedWhenTheCommandRuns) {
  ScriptRunner game;
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("assign", {{"target", Var(kRunInt)}, {"value", Num(200)}});
  code.Op("image", {{"source", Str("src")}, {"brightness", Num(1)}, {"p1", Bin(Var(kRunInt), Num(57), '+')}});
  code.Op("wait", {{"frames", Num(1)}});
  game.Add(code);
  ASSERT_TRUE(game.Load());
  SourceLayer();
  game.Frame();
  EXPECT_TRUE(LastReportIs(kMsgArgumentOutOfRange)) << g_LastErrorText;
  EXPECT_EQ(LastReportTag().rfind("E101000[image][p1][257]", 0), 0u) << LastReportTag();
}

}  // namespace
