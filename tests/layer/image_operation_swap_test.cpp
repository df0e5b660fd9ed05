// The layer swap: names and stacking places change hands while each node
// keeps its image, with the attributes each mode exchanges.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "layer/composition.h"
#include "layer/image_operation.h"
#include "layer/layer_record.h"
#include "support/layer_tree_env.h"
#include "support/script_assembler.h"
#include "support/script_runner.h"

namespace {

ObjectTreeNode* Find(const char* path, int mode = kPathLeaf) { return FindObjectByPath(g_LayerRoot, path, mode); }

// The names of a group's children from the bottom.
std::vector<std::string> Names(const ObjectTreeNode* group) {
  std::vector<std::string> names;
  for (const ObjectTreeNode* child = group->mFirstChild; child != nullptr; child = child->mNextSibling) {
    names.emplace_back(child->mName, static_cast<size_t>(child->mNameLength));
  }
  return names;
}

void SetAttributes(LayerRecord* record, int64_t base) {
  record->mX = base + 1;
  record->mY = base + 2;
  record->mPosX100 = record->mX * 100;
  record->mPosY100 = record->mY * 100;
  record->mVisible = static_cast<uint8_t>(base % 2);
  record->mOpacity = static_cast<int16_t>(base + 3);
  record->mRuleThreshold = static_cast<int16_t>(base + 4);
  record->mRuleSoftness = static_cast<int16_t>(base + 5);
  record->mBlendMode = static_cast<uint8_t>(base % 19);
}

struct ModeCase {
  int mMode;
  bool mPositions;
  bool mDisplay;
};

class SwapLayersTest : public testing::TestWithParam<ModeCase> {};

TEST_P(SwapLayersTest, EachNameShowsTheOtherImageAtTheOtherPlace) {
  const ModeCase c = GetParam();
  LayerTreeEnvironment env(64, 64);
  ObjectTreeNode* below = env.Add(env.mW0, "below", 0, 0, 1, 1);
  // Equal order keys: the places must change all the same.
  ObjectTreeNode* a = env.Add(env.mW0, "a", 0, 0, 4, 4);
  ObjectTreeNode* middle = env.Add(env.mW0, "middle", 0, 0, 1, 1);
  ObjectTreeNode* b = env.Add(env.mW0, "b", 0, 0, 6, 6);
  ASSERT_EQ(a->mOrderKey, b->mOrderKey);
  LayerRecord* recordA = RecordOf(a);
  LayerRecord* recordB = RecordOf(b);
  SetAttributes(recordA, 10);
  SetAttributes(recordB, 21);
  EXPECT_EQ(SwapLayers(a, b, c.mMode), 0);
  EXPECT_EQ(Names(env.mW0), (std::vector<std::string>{"below", "a", "middle", "b"}));
  // The node named a now is the old b with its record, at a's old place.
  EXPECT_EQ(Find("W0/a"), b);
  EXPECT_EQ(Find("W0/b"), a);
  EXPECT_EQ(RecordOf(Find("W0/a")), recordB);
  EXPECT_EQ(below->mNextSibling, b);
  EXPECT_EQ(middle->mNextSibling, a);
  auto expect = [&](const LayerRecord* record, int64_t own, int64_t other, bool swapped) {
    int64_t base = swapped ? other : own;
    return record->mX == base + 1 && record->mY == base + 2 && record->mPosX100 == (base + 1) * 100 &&
           record->mPosY100 == (base + 2) * 100;
  };
  EXPECT_TRUE(expect(recordA, 10, 21, c.mPositions));
  EXPECT_TRUE(expect(recordB, 21, 10, c.mPositions));
  int64_t display = c.mDisplay ? 21 : 10;
  EXPECT_EQ(recordA->mVisible, display % 2);
  EXPECT_EQ(recordA->mOpacity, display + 3);
  EXPECT_EQ(recordA->mRuleThreshold, display + 4);
  EXPECT_EQ(recordA->mRuleSoftness, display + 5);
  EXPECT_EQ(recordA->mBlendMode, display % 19);
}

INSTANTIATE_TEST_SUITE_P(Modes, SwapLayersTest,
                         testing::Values(ModeCase{0, false, false}, ModeCase{1, true, false},
                                         ModeCase{2, true, true}));

TEST(SwapLayersPlainTest, OrderKeysChangeHandsAndBothPlacesAreInvalidated) {
  LayerTreeEnvironment env(64, 64);
  ObjectTreeNode* a = env.Add(env.mW0, "a", 2, 3, 4, 4);
  SetNodeOrderKey(a, 5);
  ObjectTreeNode* b = env.Add(env.mW0, "b", 30, 40, 6, 6);
  SetNodeOrderKey(b, 9);
  ResetDirtyRects(GetFirstLayerChild());
  EXPECT_EQ(SwapLayers(a, b, 1), 0);
  EXPECT_EQ(a->mOrderKey, 9);
  EXPECT_EQ(b->mOrderKey, 5);
  EXPECT_EQ(env.mW0->mLastChild, a);
  // a (4x4) now at (30, 40) and b (6x6) at (2, 3): old and new places.
  EXPECT_EQ(DirtyRect(env.mW0), (Rect{2, 3, 35, 45}));
}

TEST(SwapLayersPlainTest, NodesOfDifferentParentsKeepTheirParents) {
  LayerTreeEnvironment env(64, 64);
  ObjectTreeNode* group = env.Add(env.mW0, "g", 0, 0, 8, 8, true);
  ObjectTreeNode* a = env.Add(env.mW0, "a", 0, 0, 4, 4);
  ObjectTreeNode* b = env.Add(group, "b", 0, 0, 6, 6);
  EXPECT_EQ(SwapLayers(a, b, 0), 0);
  EXPECT_EQ(a->mParent, env.mW0);
  EXPECT_EQ(Find("W0/b"), a);
  EXPECT_EQ(Find("W0/g/a"), b);
  EXPECT_EQ(Find("W0/a"), nullptr);
  EXPECT_EQ(Find("W0/g/b"), nullptr);
}

TEST(SwapLayersPlainTest, AGroupSwappedWithALayerIsStillFoundAsAGroup) {
  LayerTreeEnvironment env(64, 64);
  ObjectTreeNode* group = env.Add(env.mW0, "g", 0, 0, 8, 8, true);
  ObjectTreeNode* leaf = env.Add(env.mW0, "l", 0, 0, 4, 4);
  EXPECT_EQ(SwapLayers(group, leaf, 0), 0);
  EXPECT_EQ(Find("W0/l", kPathGroup), group);
  EXPECT_EQ(Find("W0/g", kPathLeaf), leaf);
  EXPECT_EQ(Find("W0/g", kPathGroup), nullptr);
}

TEST(SwapLayersPlainTest, TheCommandSwapsSourceAndDestination) {
  ScriptRunner game;
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("image", {{"source", Str("a")}, {"dest", Str("b")}, {"swap2", Num(1)}});
  code.Op("wait", {{"frames", Num(1)}});
  game.Add(code);
  ASSERT_TRUE(game.Load());
  ObjectTreeNode* a = CreateTreeNode(g_LayerRoot, "W0/a", 3, 0);
  ObjectTreeNode* b = CreateTreeNode(g_LayerRoot, "W0/b", 4, 0);
  LayerRecord* recordA = GetLayerRecord(a);
  LayerRecord* recordB = GetLayerRecord(b);
  recordA->mOpacity = 10;
  recordB->mOpacity = 200;
  game.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(Find("W0/a"), b);
  EXPECT_EQ(Find("W0/b"), a);
  EXPECT_EQ(recordA->mOpacity, 200);
  EXPECT_EQ(b->mOrderKey, 3);
}

}  // namespace
