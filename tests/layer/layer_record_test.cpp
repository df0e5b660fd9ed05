#include "layer/layer_record.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "core/object_path.h"
#include "core/object_tree.h"
#include "image/pixel_buffers.h"
#include "layer/frame_animation.h"
#include "movie/emote.h"
#include "render/gpu_frame.h"
#include "support/layer_tree_env.h"

namespace {

TEST(LayerRecordTest, ANewRecordHasTheDefaults) {
  LayerTreeEnvironment env(640, 480);
  ObjectTreeNode* node = CreateTreeNode(env.mW0, "fresh", 1, 0);
  ASSERT_NE(node, nullptr);
  LayerRecord* record = GetLayerRecord(node);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(node->mPayload, record);
  EXPECT_EQ(record->mRefCount, 1);
  EXPECT_EQ(record->mWidth, 1);
  EXPECT_EQ(record->mHeight, 1);
  EXPECT_EQ(record->mBufferWidth, 1);
  EXPECT_EQ(record->mBufferHeight, 1);
  EXPECT_EQ(record->mOpacity, 256);
  EXPECT_EQ(record->mVisible, 1);
  EXPECT_EQ(record->mRuleThreshold, 256);
  EXPECT_EQ(record->mRuleSoftness, 0);
  EXPECT_EQ(record->mScaleX, 10000);
  EXPECT_EQ(record->mScaleY, 10000);
  EXPECT_EQ(record->mSaturation, 128);
  EXPECT_EQ(record->mSaturation2, 128);
  EXPECT_EQ(record->mTone, 0x808080);
  EXPECT_EQ(record->mTone2, 0x808080);
  EXPECT_EQ(record->mHasAlpha, 0);
  EXPECT_EQ(record->mBlendMode, 0);
  EXPECT_EQ(record->mDerivedStamp, 0);
  EXPECT_EQ(record->mGpuState, 0);
  EXPECT_EQ(record->mPixels, nullptr);
  EXPECT_EQ(record->mFrameAnimation, nullptr);
  ASSERT_NE(record->mRuleLayerPath, nullptr);
  ASSERT_NE(record->mSecondLayerPath, nullptr);
  EXPECT_STREQ(record->mRuleLayerPath, "");
  EXPECT_STREQ(record->mSecondLayerPath, "");
  // Each record has path texts of its own.
  LayerRecord* other = GetLayerRecord(CreateTreeNode(env.mW0, "other", 1, 0));
  ASSERT_NE(other, nullptr);
  EXPECT_NE(other->mRuleLayerPath, record->mRuleLayerPath);

  EXPECT_EQ(GetLayerRecord(nullptr), nullptr);
  EXPECT_EQ(CreateLayerRecord(nullptr), 1);
}

TEST(LayerRecordTest, TwoNodesShareOneRecordUntilTheLastGoes) {
  LayerTreeEnvironment env(640, 480);
  ObjectTreeNode* first = CreateTreeNode(env.mW0, "first", 1, 0);
  LayerRecord* record = GetLayerRecord(first);
  ASSERT_NE(record, nullptr);
  ASSERT_EQ(MakeEmptyImage(record, ""), 0);
  ObjectTreeNode* second = CreateTreeNode(env.mW0, "second", 2, 0);
  EXPECT_EQ(AttachLayerRecord(second, record), record);
  EXPECT_EQ(second->mPayload, record);
  EXPECT_EQ(record->mRefCount, 2);

  ReleaseLayerNode(first);
  EXPECT_EQ(FindObjectByPath(g_LayerRoot, "W0/first", kPathLeaf), nullptr);
  EXPECT_EQ(record->mRefCount, 1);
  ASSERT_NE(record->mPixels, nullptr);
  EXPECT_EQ(record->mPixels[0], 0x80);  // the transparent colour is still there
  EXPECT_EQ(RecordOf(FindObjectByPath(g_LayerRoot, "W0/second", kPathLeaf)), record);

  // The last node frees the record with its pixels (checked by the
  // sanitizer build: no leak, no second free at the tree's release).
  ReleaseLayerNode(second);
  EXPECT_EQ(env.mW0->mChildCount, 0);
}

TEST(LayerRecordTest, SharingWithSomethingMissingDoesNothing) {
  LayerTreeEnvironment env(640, 480);
  ObjectTreeNode* node = CreateTreeNode(env.mW0, "node", 1, 0);
  LayerRecord* record = GetLayerRecord(node);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(AttachLayerRecord(nullptr, record), nullptr);
  EXPECT_EQ(ShareLayerRecord(nullptr, record), 0);
  EXPECT_EQ(record->mRefCount, 1);
  ObjectTreeNode* empty = CreateTreeNode(env.mW0, "empty", 1, 0);
  EXPECT_EQ(AttachLayerRecord(empty, nullptr), nullptr);
  EXPECT_EQ(empty->mPayload, nullptr);
}

TEST(LayerRecordTest, ReleasingTheShownGroupClearsTheWindowsThatShowIt) {
  LayerTreeEnvironment env(640, 480);
  ASSERT_EQ(env.mWindow.mShownLayerSet, env.mW0);
  ObjectTreeNode* group = env.Add(nullptr, "W1", 0, 0, 8, 8, true);
  WindowObject second;
  ConstructWindowObject(&second, 1);
  second.mShownLayerSet = group;
  RecordOf(group)->mDisplayRoot = 1;
  g_WindowTable[1] = &second;

  ReleaseLayerNode(group);
  EXPECT_EQ(second.mShownLayerSet, nullptr);
  EXPECT_EQ(env.mWindow.mShownLayerSet, env.mW0);
  g_WindowTable[1] = nullptr;

  // Window 0 was given "W0" without the display mark; it lets go all the same.
  ReleaseLayerNode(env.mW0);
  EXPECT_EQ(env.mWindow.mShownLayerSet, nullptr);
  EXPECT_EQ(g_LayerRoot->mChildCount, 0);
}

TEST(LayerRecordTest, ReleaseFreesTheAnimationAndThePlayer) {
  LayerTreeEnvironment env(640, 480);
  ObjectTreeNode* node = env.Add(env.mW0, "anim", 0, 0, 1, 1);
  LayerRecord* record = RecordOf(node);

  // Nothing to release is no error.
  ReleaseFrameAnimation(record);
  ReleaseFrameAnimation(nullptr);
  auto* animation = static_cast<FrameAnimation*>(std::calloc(1, sizeof(FrameAnimation)));
  animation->mFileImage = static_cast<uint8_t*>(std::malloc(64));
  record->mFrameAnimation = animation;
  ReleaseFrameAnimation(record);
  EXPECT_EQ(record->mFrameAnimation, nullptr);

  record->mFrameAnimation = static_cast<FrameAnimation*>(std::calloc(1, sizeof(FrameAnimation)));
  record->mFrameAnimation->mFileImage = static_cast<uint8_t*>(std::malloc(64));
  g_EmoteEnabled = 1;
  g_EmotePlayers[5] = record;
  g_GpuRedrawRequest = 0;
  ReleaseLayerNode(node);
  EXPECT_EQ(g_EmotePlayers[5], nullptr);
  EXPECT_EQ(g_GpuRedrawRequest, 1);
}

}  // namespace
