#include "layer/dirty_rects.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "core/object_tree.h"
#include "layer/composition.h"
#include "layer/layer_record.h"
#include "render/gpu_frame.h"
#include "support/layer_tree_env.h"

namespace {

constexpr Rect kOutside = {-kRectFar, -kRectFar, -kRectFar, -kRectFar};
constexpr Rect kChangedReset = {kRectFar, kRectFar, -kRectFar, -kRectFar};

struct LayerCase {
  const char* mName;
  int64_t mX, mY;
  int32_t mWidth, mHeight;
  bool mReaches;
  Rect mExpected;
};

TEST(InvalidateLayerToRootTest, ClipsTheLayerToItsGroup) {
  const LayerCase cases[] = {
      {"half outside at the top left", -50, -50, 100, 100, true, {0, 0, 49, 49}},
      {"half outside at the bottom right", 600, 450, 100, 100, true, {600, 450, 639, 479}},
      {"inside", 10, 20, 5, 6, true, {10, 20, 14, 25}},
      {"larger than the group", -1, -1, 1000, 1000, true, {0, 0, 639, 479}},
      {"wholly right of the group", 640, 0, 10, 10, false, {}},
      {"wholly above the group", 0, -10, 10, 10, false, {}},
      {"at the far end of the positions", std::numeric_limits<int64_t>::max(), 0, 10, 10, false, {}},
      {"at the near end of the positions", std::numeric_limits<int64_t>::min(), 0, 10, 10, false, {}},
  };
  for (const LayerCase& c : cases) {
    SCOPED_TRACE(c.mName);
    LayerTreeEnvironment env(640, 480);
    ObjectTreeNode* layer = env.Add(env.mW0, "layer", c.mX, c.mY, c.mWidth, c.mHeight);
    EXPECT_EQ(InvalidateLayerToRoot(layer), 0);
    LayerRecord* group = RecordOf(env.mW0);
    EXPECT_EQ(group->mDirty, c.mReaches ? 1 : 0);
    EXPECT_EQ(group->mDirtyValid, c.mReaches ? 1 : 0);
    if (c.mReaches) {
      EXPECT_EQ(DirtyRect(env.mW0), c.mExpected);
    }
    // Invalidation writes into the ancestors only.
    EXPECT_EQ(RecordOf(layer)->mDirty, 0);
  }
}

TEST(InvalidateLayerToRootTest, UnionsWithinAFrameAndReplacesAfterTheReset) {
  LayerTreeEnvironment env(640, 480);
  ObjectTreeNode* a = env.Add(env.mW0, "a", 0, 0, 10, 10);
  ObjectTreeNode* b = env.Add(env.mW0, "b", 100, 100, 10, 10);
  InvalidateLayerToRoot(a);
  InvalidateLayerToRoot(b);
  EXPECT_EQ(DirtyRect(env.mW0), (Rect{0, 0, 109, 109}));
  EXPECT_EQ(RecordOf(env.mW0)->mUnionCount, 1);

  ResetDirtyRects(GetFirstLayerChild());
  LayerRecord* group = RecordOf(env.mW0);
  EXPECT_EQ(group->mDirty, 0);
  EXPECT_EQ(group->mDirtyValid, 0);
  EXPECT_EQ(group->mUnionCount, 0);
  EXPECT_EQ(group->mPrevUnionCount, 1);
  EXPECT_EQ(ChangedRect(env.mW0), kChangedReset);
  // The rectangle stays until the next union replaces it.
  EXPECT_EQ(DirtyRect(env.mW0), (Rect{0, 0, 109, 109}));
  InvalidateLayerToRoot(b);
  EXPECT_EQ(DirtyRect(env.mW0), (Rect{100, 100, 109, 109}));
}

TEST(InvalidateLayerToRootTest, NestedGroupsTranslateByTheirPositions) {
  LayerTreeEnvironment env(640, 480);
  ObjectTreeNode* outer = env.Add(env.mW0, "M", 10, 10, 100, 100, true);
  ObjectTreeNode* inner = env.Add(outer, "I", 5, 5, 50, 50, true);
  ObjectTreeNode* layer = env.Add(inner, "L", 0, 0, 1, 1);
  EXPECT_EQ(InvalidateLayerToRoot(layer), 0);
  EXPECT_EQ(DirtyRect(inner), (Rect{0, 0, 0, 0}));
  EXPECT_EQ(DirtyRect(outer), (Rect{5, 5, 5, 5}));
  EXPECT_EQ(DirtyRect(env.mW0), (Rect{15, 15, 15, 15}));
  // The layer root itself is never written.
  EXPECT_EQ(RecordOf(g_LayerRoot)->mDirty, 0);
}

TEST(InvalidateLayerToRootTest, AnAreaClippedAwayInAGroupGoesNoHigher) {
  LayerTreeEnvironment env(640, 480);
  ObjectTreeNode* group = env.Add(env.mW0, "G", 0, 0, 20, 20, true);
  ObjectTreeNode* layer = env.Add(group, "L", 30, 30, 5, 5);
  EXPECT_EQ(InvalidateLayerToRoot(layer), 0);
  EXPECT_EQ(RecordOf(group)->mDirty, 0);
  EXPECT_EQ(RecordOf(env.mW0)->mDirty, 0);
}

TEST(InvalidateLayerToRootTest, MissingNodeOrRecordIsAnError) {
  LayerTreeEnvironment env(640, 480);
  EXPECT_EQ(InvalidateLayerToRoot(nullptr), -1);
  EXPECT_EQ(InvalidateGroupToRoot(nullptr), -1);
  ObjectTreeNode* bare = CreateTreeNode(env.mW0, "bare", 1, 0);
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(InvalidateLayerToRoot(bare), -1);
  int64_t rect[4] = {0, 0, 1, 1};
  EXPECT_EQ(UnionDirtyRect(bare, rect), -1);
  // A layer below a group without a record stops there.
  ObjectTreeNode* below = env.Add(bare, "x", 0, 0, 4, 4);
  EXPECT_EQ(InvalidateLayerToRoot(below), 0);
  EXPECT_EQ(RecordOf(env.mW0)->mDirty, 0);
}

TEST(UnionDirtyRectTest, OutsideBecomesTheOutsideValueAndSizelessTakesAnything) {
  LayerTreeEnvironment env(640, 480);
  int64_t outside[4] = {-20, -20, -1, 5};
  EXPECT_EQ(UnionDirtyRect(env.mW0, outside), -1);
  EXPECT_EQ((Rect{outside[0], outside[1], outside[2], outside[3]}), kOutside);
  EXPECT_EQ(RecordOf(env.mW0)->mDirty, 0);

  int64_t inside[4] = {-5, 470, 3, 490};
  EXPECT_EQ(UnionDirtyRect(env.mW0, inside), 0);
  EXPECT_EQ((Rect{inside[0], inside[1], inside[2], inside[3]}), (Rect{0, 470, 3, 479}));

  ObjectTreeNode* sizeless = env.Add(env.mW0, "sizeless", 0, 0, 0, 0, true);
  int64_t far[4] = {-5000, -5000, 9000, 9000};
  EXPECT_EQ(UnionDirtyRect(sizeless, far), 0);
  EXPECT_EQ(DirtyRect(sizeless), (Rect{-5000, -5000, 9000, 9000}));
}

TEST(InvalidateGroupToRootTest, TakesTheDrawnMembersAndCarriesTheGroupUp) {
  LayerTreeEnvironment env(640, 480);
  ObjectTreeNode* group = env.Add(env.mW0, "G", 100, 50, 200, 200, true);
  env.Add(group, "shown", 10, 10, 10, 10);
  LayerRecord* hidden = RecordOf(env.Add(group, "hidden", 150, 150, 10, 10));
  hidden->mVisible = 0;
  LayerRecord* clear = RecordOf(env.Add(group, "clear", 150, 150, 10, 10));
  clear->mOpacity = 0;
  LayerRecord* masked = RecordOf(env.Add(group, "masked", 150, 150, 10, 10));
  std::strcpy(masked->mRuleLayerPath, "rule");
  masked->mRuleThreshold = 0;
  LayerRecord* onGpu = RecordOf(env.Add(group, "gpu", 150, 150, 10, 10));
  onGpu->mGpuState = 1;
  // A rule path with an open threshold is drawn.
  LayerRecord* ruled = RecordOf(env.Add(group, "ruled", 30, 40, 5, 5));
  std::strcpy(ruled->mRuleLayerPath, "rule");
  ruled->mRuleThreshold = 128;
  // A member group takes its own members; its area is not the group's.
  ObjectTreeNode* nested = env.Add(group, "N", 180, 180, 20, 20, true);
  env.Add(nested, "deep", 2, 3, 4, 4);

  EXPECT_EQ(InvalidateGroupToRoot(group), 0);
  EXPECT_EQ(DirtyRect(group), (Rect{10, 10, 34, 44}));
  EXPECT_EQ(DirtyRect(nested), (Rect{2, 3, 5, 6}));
  EXPECT_EQ(DirtyRect(env.mW0), (Rect{110, 60, 134, 94}));
}

TEST(InvalidateGroupToRootTest, NestedGroupsCarryTheirOwnRectangle) {
  LayerTreeEnvironment env(640, 480);
  ObjectTreeNode* outer = env.Add(env.mW0, "M", 10, 10, 100, 100, true);
  ObjectTreeNode* inner = env.Add(outer, "I", 5, 5, 50, 50, true);
  LayerRecord* record = RecordOf(inner);
  record->mDirtyRect[0] = 0;
  record->mDirtyRect[1] = 0;
  record->mDirtyRect[2] = 60;  // clipped to the group on the first pass
  record->mDirtyRect[3] = 3;
  EXPECT_EQ(InvalidateGroupToRoot(inner), 0);
  EXPECT_EQ(DirtyRect(inner), (Rect{0, 0, 49, 3}));
  EXPECT_EQ(RecordOf(inner)->mDirty, 1);
  EXPECT_EQ(DirtyRect(outer), (Rect{5, 5, 54, 8}));
  EXPECT_EQ(DirtyRect(env.mW0), (Rect{15, 15, 64, 18}));
}

TEST(CommitLayerStateTest, PendingValuesAreTakenAndChangesInvalidated) {
  LayerTreeEnvironment env(640, 480);
  ObjectTreeNode* group = env.Add(env.mW0, "G", 0, 0, 100, 100, true);
  ObjectTreeNode* layer = env.Add(group, "L", 20, 30, 4, 4);
  LayerRecord* record = RecordOf(layer);
  g_GpuRedrawRequest = 0;

  // The same value again: taken, nothing invalidated.
  record->mPendingVisible = 1;
  record->mPendingVisibleSet = 1;
  CommitLayerState(GetFirstLayerChild());
  EXPECT_EQ(record->mPendingVisibleSet, 0);
  EXPECT_EQ(g_GpuRedrawRequest, 0);
  EXPECT_EQ(RecordOf(group)->mDirty, 0);

  record->mPendingOpacity = 128;
  record->mPendingOpacitySet = 1;
  CommitLayerState(GetFirstLayerChild());
  EXPECT_EQ(record->mOpacity, 128);
  EXPECT_EQ(record->mPendingOpacitySet, 0);
  EXPECT_EQ(g_GpuRedrawRequest, 1);
  EXPECT_EQ(DirtyRect(group), (Rect{20, 30, 23, 33}));
  EXPECT_EQ(DirtyRect(env.mW0), (Rect{20, 30, 23, 33}));
}

TEST(ResetDirtyRectsTest, ResetsGroupsAndWindowCanvasesButNotLayers) {
  LayerTreeEnvironment env(640, 480);
  ObjectTreeNode* group = env.Add(env.mW0, "G", 0, 0, 100, 100, true);
  ObjectTreeNode* layer = env.Add(group, "L", 0, 0, 4, 4);
  InvalidateLayerToRoot(layer);
  RecordOf(layer)->mDirty = 1;
  LayerRecord canvas;
  canvas.mDirty = 1;
  canvas.mDirtyValid = 1;
  canvas.mUnionCount = 3;
  env.mWindow.mCanvas = &canvas;

  ResetDirtyRects(GetFirstLayerChild());
  for (ObjectTreeNode* node : {env.mW0, group}) {
    EXPECT_EQ(RecordOf(node)->mDirty, 0);
    EXPECT_EQ(RecordOf(node)->mUnionCount, 0);
    EXPECT_EQ(RecordOf(node)->mPrevUnionCount, 1);
    EXPECT_EQ(ChangedRect(node), kChangedReset);
  }
  EXPECT_EQ(RecordOf(layer)->mDirty, 1);
  EXPECT_EQ(canvas.mDirty, 0);
  EXPECT_EQ(canvas.mDirtyValid, 0);
  EXPECT_EQ(canvas.mPrevUnionCount, 3);
  EXPECT_EQ(canvas.mChangedRect[0], kRectFar);
  env.mWindow.mCanvas = nullptr;
}

}  // namespace
