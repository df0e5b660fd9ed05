#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/object_tree.h"
#include "image/pixel_buffers.h"
#include "layer/layer_commands.h"
#include "layer/layer_record.h"
#include "script/variables.h"
#include "support/script_assembler.h"
#include "support/script_runner.h"

namespace {

LayerRecord* AddLayer(const char* path, bool group, int64_t x, int64_t y, int32_t width, int32_t height) {
  ObjectTreeNode* node = CreateTreeNode(g_LayerRoot, path, 1, group ? 1 : 0);
  EXPECT_NE(node, nullptr);
  LayerRecord* record = GetLayerRecord(node);
  if (record == nullptr) return nullptr;
  record->mX = x;
  record->mY = y;
  record->mWidth = width;
  record->mHeight = height;
  return record;
}

void GivePixels(LayerRecord* record, int32_t width, int32_t height, uint32_t colour) {
  uint8_t* block = AllocPixelBuffer(nullptr, width, height, nullptr);
  ASSERT_NE(block, nullptr);
  SetPixelBuffer(record, block, width, height);
  for (int32_t i = 0; i < width * height; ++i) std::memcpy(record->mPixels + i * 4, &colour, 4);
}

// One frame of queries, each into its own variable, after build() made the
// layers.
void RunQueries(ScriptRunner& game, const std::vector<std::pair<uint32_t, std::vector<Arg>>>& queries,
                const std::function<void()>& build) {
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  for (const auto& [out, args] : queries) {
    std::vector<Arg> all = args;
    all.push_back({"out", out == kRunText ? Var(kRunText) : Elem(kRunIntArray, {Num(out / 4), Num(out % 4)})});
    code.Op("layer_query", all);
  }
  code.Op("wait", {{"frames", Num(1)}});
  game.Add(code);
  ASSERT_TRUE(game.Load());
  build();
  game.Frame();
}

TEST(LayerQueryTest, FirstPresentIdInItsOrderWinsAndGroupsAnswerChildQueries) {
  ScriptRunner game;
  RunQueries(game,
             {
                 {0, {{"path", Str("pic")}, {"width", Num(1)}, {"exists", Num(1)}}},  // 2 before 13
                 {1, {{"path", Str("pic")}, {"x", Num(1)}, {"opacity", Num(1)}}},     // 4 before 5
                 {2, {{"path", Str("pic")}, {"height", Num(1)}, {"x", Num(1)}}},      // 5 before 14
                 {3, {{"path", Str("g/")}, {"find_tag", Num(1)}, {"tag1", Num(5)}}},
                 {4, {{"path", Str("g/")}, {"find_tag", Num(1)}, {"tag1", Num(5)}, {"n", Num(2)}}},
                 {5, {{"path", Str("g/")}, {"child_count", Num(1)}}},
                 {6, {{"path", Str("g/")}, {"child_is_group", Num(1)}, {"n", Num(9)}, {"edge", Num(1)}, {"px", Num(1)}}},
                 {7, {{"path", Str("pic")}, {"child_count", Num(1)}, {"edge", Num(1)}, {"px", Num(3)}}},  // leaf: falls through
                 {8, {{"path", Str("pic")}, {"edge", Num(1)}, {"px", Num(4)}, {"py", Num(0)}}},
                 {9, {{"path", Str("pic")}, {"colour_at_layer", Num(1)}, {"px", Num(1)}, {"py", Num(1)}}},
                 {10, {{"path", Str("pic")}, {"colour_at_layer", Num(1)}, {"px", Num(3)}, {"py", Num(0)}}},
                 {11, {{"path", Str("nothing")}, {"exists", Num(1)}}},
                 {kRunText, {{"path", Str("g/")}, {"child_name", Num(1)}, {"n", Num(1)}}},
             },
             [] {
               LayerRecord* pic = AddLayer("W0/pic", false, 7, 9, 3, 2);
               pic->mOpacity = 200;
               pic->mTag2 = 44;
               GivePixels(pic, 3, 2, 0x00102030);
               std::memcpy(pic->mPixels + 4, "\x01\x02\x03\xFF", 4);  // (1,0) opaque
               AddLayer("W0/g", true, 0, 0, 0, 0);
               AddLayer("W0/g/a", false, 0, 0, 1, 1)->mTag1 = 5;
               AddLayer("W0/g/b", false, 0, 0, 1, 1)->mTag1 = 7;
               AddLayer("W0/g/c", false, 0, 0, 1, 1)->mTag1 = 5;
             });
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunIntArray, 0), 1);
  EXPECT_EQ(IntVar(kRunIntArray, 1), 200);
  EXPECT_EQ(IntVar(kRunIntArray, 2), 7);
  EXPECT_EQ(IntVar(kRunIntArray, 3), 1);
  EXPECT_EQ(IntVar(kRunIntArray, 4), 3);
  EXPECT_EQ(IntVar(kRunIntArray, 5), 3);
  EXPECT_EQ(IntVar(kRunIntArray, 6), -1);  // n past the children: the edge of no pixels answers
  EXPECT_EQ(IntVar(kRunIntArray, 7), 1);   // a leaf has no children: the left edge answers
  EXPECT_EQ(IntVar(kRunIntArray, 8), 1);   // right edge of the opaque pixels
  EXPECT_EQ(IntVar(kRunIntArray, 9), 0x102030);
  EXPECT_EQ(IntVar(kRunIntArray, 10), -1);
  EXPECT_EQ(IntVar(kRunIntArray, 11), 0);
  EXPECT_EQ(TextVar(kRunText), "c");
}

TEST(LayerQueryTest, MissingLayerGivesTheEmptyTextAndAPointQueryNeedsBothCoordinates) {
  ScriptRunner game;
  RunQueries(game,
             {
                 {kRunText, {{"path", Str("nothing")}, {"width", Num(1)}}},
                 {0, {{"path", Str("pic")}, {"colour_at_layer", Num(1)}, {"px", Num(1)}}},
             },
             [] {
               SetStringElement(kRunText, 0, "old");
               GivePixels(AddLayer("W0/pic", false, 0, 0, 2, 2), 2, 2, 0xFF000000);
             });
  EXPECT_EQ(TextVar(kRunText), "");
  EXPECT_TRUE(LastReportIs(kMsgLayerPointMissing.mNumber));
}

TEST(LayerQueryTest, PixelUnderAWindowPointSeesTheDrawnPixels) {
  ScriptRunner game;
  RunQueries(game, {}, [] {});
  ObjectTreeNode* group = CreateTreeNode(g_LayerRoot, "W0/g", 1, 1);
  LayerRecord* g = GetLayerRecord(group);
  g->mX = 10;
  g->mY = 20;
  ObjectTreeNode* node = CreateTreeNode(g_LayerRoot, "W0/g/p", 1, 0);
  LayerRecord* p = GetLayerRecord(node);
  p->mX = 1;
  p->mY = 2;
  GivePixels(p, 2, 2, 0x80112233);
  EXPECT_EQ(ReadLayerPixelAtPoint(node, 11, 22, 1), 0x112233);
  EXPECT_EQ(ReadLayerPixelAtPoint(node, 12, 23, 2), 0x80);
  EXPECT_EQ(ReadLayerPixelAtPoint(node, 12, 23, 3), 0x80112233);
  EXPECT_EQ(ReadLayerPixelAtPoint(node, 10, 22, 1), -1);
  EXPECT_EQ(ReadLayerPixelAtPoint(node, 13, 22, 1), -1);
  // A tone in effect: the drawn (derived) pixels are read.
  uint8_t* derived = AllocPixelBuffer(nullptr, 2, 2, nullptr);
  ASSERT_NE(derived, nullptr);
  p->mDerivedPixels = derived;
  p->mPixels = derived;
  EXPECT_EQ(ReadLayerPixelAtPoint(node, 11, 22, 3), 0);
  EXPECT_EQ(ReadLayerPixelAtPoint(nullptr, 11, 22, 3), -1);
}

}  // namespace
