#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "image/pixel_buffers.h"
#include "layer/layer_record.h"
#include "support/layer_tree_env.h"

namespace {

TEST(CreateBlankImageLayerTest, MakesAZeroedWholeDirtyGroupAndInvalidatesIt) {
  LayerTreeEnvironment env(640, 480);
  LayerRecord* record = CreateBlankImageLayer("W0/panel", 30, 20, 7);
  ASSERT_NE(record, nullptr);
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, "W0/panel", kPathGroup);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->mPayload, record);
  EXPECT_EQ(node->mOrderKey, 7);
  EXPECT_EQ(record->mWidth, 30);
  EXPECT_EQ(record->mHeight, 20);
  EXPECT_EQ(record->mBufferWidth, 30);
  EXPECT_EQ(record->mBufferHeight, 20);
  ASSERT_NE(record->mPixelAlloc, nullptr);
  EXPECT_EQ(record->mPixels, record->mPixelAlloc);
  // Transparent black, not the transparent colour of loaded images.
  EXPECT_TRUE(AllBytesZero(record->mPixels, PixelBlockBytes(30, 20)));
  EXPECT_EQ(record->mDirtyWhole, 1);
  EXPECT_EQ(record->mDirtyValid, 1);
  EXPECT_EQ(record->mDirty, 1);
  EXPECT_EQ(DirtyRect(node), (Rect{0, 0, 29, 19}));
  EXPECT_EQ(DirtyRect(env.mW0), (Rect{0, 0, 29, 19}));
  EXPECT_EQ(RecordOf(env.mW0)->mDirty, 1);
}

TEST(CreateBlankImageLayerTest, ASideOfZeroMakesASizelessGroup) {
  LayerTreeEnvironment env(640, 480);
  LayerRecord* record = CreateBlankImageLayer("W0/sizeless", 0, 0, 1);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->mWidth, 0);
  EXPECT_EQ(record->mHeight, 0);
  EXPECT_NE(record->mPixels, nullptr);
  EXPECT_EQ(g_QuitFlag.load(), 0);
}

struct RefusedSize {
  int64_t mWidth;
  int64_t mHeight;
};

TEST(CreateBlankImageLayerTest, SidesOutsideTheLimitAreRefusedAndLeaveNoGroup) {
  const RefusedSize cases[] = {{8193, 10}, {10, 8193}, {-1, 10}, {10, -1}, {1LL << 33, 1}};
  for (const RefusedSize& c : cases) {
    SCOPED_TRACE(std::to_string(c.mWidth) + "x" + std::to_string(c.mHeight));
    LayerTreeEnvironment env(640, 480);
    InstallTaggedMessages({100010});
    EXPECT_EQ(CreateBlankImageLayer("W0/big", c.mWidth, c.mHeight, 1), nullptr);
    ASSERT_EQ(env.mScript.mDialogs.mBoxes.size(), 1u);
    EXPECT_EQ(env.mScript.mDialogs.mBoxes[0].mText, "ＣＧサイズが大きすぎます。X=" + std::to_string(c.mWidth) +
                                                       ", Y=" + std::to_string(c.mHeight));
    EXPECT_EQ(g_LastErrorText, ExpectedReport(100010));
    EXPECT_EQ(g_QuitFlag.load(), 1);
    EXPECT_EQ(FindObjectByPath(g_LayerRoot, "W0/big", kPathGroup), nullptr);
    EXPECT_EQ(env.mW0->mChildCount, 0);
    EXPECT_EQ(RecordOf(env.mW0)->mDirty, 0);
  }
}

TEST(CreateBlankImageLayerTest, TheWidestCanvasIsAccepted) {
  LayerTreeEnvironment env(640, 480);
  LayerRecord* record = CreateBlankImageLayer("W0/wide", 8192, 2, 1);
  ASSERT_NE(record, nullptr);
  EXPECT_TRUE(env.mScript.mDialogs.mBoxes.empty());
  EXPECT_TRUE(AllBytesZero(record->mPixels, PixelBlockBytes(8192, 2)));
}

TEST(CreateBlankImageLayerTest, AMissingParentGroupIsReported) {
  LayerTreeEnvironment env(640, 480);
  InstallTaggedMessages({100230});
  EXPECT_EQ(CreateBlankImageLayer("W0/nothere/panel", 10, 10, 1), nullptr);
  EXPECT_EQ(g_LastErrorText, ExpectedReport(100230, {"nothere"}));
  EXPECT_EQ(g_QuitFlag.load(), 1);
}

}  // namespace
