#include "core/object_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/checksums.h"
#include "core/errors.h"
#include "core/object_path.h"
#include "core/process_state.h"
#include "image/pixel_buffers.h"
#include "layer/layer_record.h"
#include "oscmd/menu_record.h"
#include "script/execution_context.h"
#include "shell/window_objects.h"
#include "sound/sound_record.h"
#include "support/layer_tree_env.h"
#include "support/script_test_env.h"

namespace {

// A root with its own subtree, freed at the end of each test, in a clean
// script engine.
class ObjectTreeTest : public ::testing::Test {
 protected:
  void SetUp() override { mRoot = static_cast<ObjectTreeNode*>(std::calloc(1, sizeof(ObjectTreeNode))); }
  void TearDown() override { FreeAll(mRoot); }

  static void FreeAll(ObjectTreeNode* node) {
    if (node == nullptr) return;
    for (ObjectTreeNode* child = node->mFirstChild; child != nullptr;) {
      ObjectTreeNode* next = child->mNextSibling;
      FreeAll(child);
      child = next;
    }
    FreeTreeNode(node);
  }

  static std::vector<std::string> Names(const ObjectTreeNode* parent) {
    std::vector<std::string> names;
    for (ObjectTreeNode* child = parent->mFirstChild; child != nullptr; child = child->mNextSibling) {
      names.emplace_back(child->mName, child->mNameLength);
    }
    return names;
  }

  // The sibling list read backwards must mirror it, and the count must match.
  static void ExpectListConsistent(const ObjectTreeNode* parent) {
    std::vector<const ObjectTreeNode*> forward;
    for (ObjectTreeNode* child = parent->mFirstChild; child != nullptr; child = child->mNextSibling) {
      forward.push_back(child);
      EXPECT_EQ(child->mParent, parent);
    }
    std::vector<const ObjectTreeNode*> backward;
    for (ObjectTreeNode* child = parent->mLastChild; child != nullptr; child = child->mPrevSibling) {
      backward.insert(backward.begin(), child);
    }
    EXPECT_EQ(forward, backward);
    EXPECT_EQ(static_cast<int32_t>(forward.size()), parent->mChildCount);
  }

  // Index sorted by key, buckets consistent with the keys.
  static void ExpectIndexConsistent(const ObjectTreeNode* parent) {
    if (parent->mIndexKeys == nullptr) return;
    std::vector<int> counts(257, 0);
    for (int32_t position = 0; position < parent->mIndexCount; ++position) {
      if (position > 0) {
        EXPECT_LE(parent->mIndexKeys[position - 1], parent->mIndexKeys[position]);
      }
      EXPECT_EQ(parent->mIndexNodes[position]->mKey, parent->mIndexKeys[position]);
      ++counts[parent->mIndexKeys[position] >> 24];
    }
    int start = 0;
    for (int bucket = 0; bucket < 256; ++bucket) {
      EXPECT_EQ(parent->mBucketStarts[bucket], start) << bucket;
      EXPECT_EQ(parent->mBucketCounts[bucket], counts[bucket]) << bucket;
      start += counts[bucket];
    }
    EXPECT_EQ(parent->mBucketStarts[256], parent->mIndexCount);
  }

  ScriptTestEnvironment mEnv;
  ObjectTreeNode* mRoot = nullptr;
};

TEST_F(ObjectTreeTest, SiblingsFollowOrderKeysAndTiesKeepInsertionOrder) {
  CreateTreeNode(mRoot, "first5", 5, 0);
  CreateTreeNode(mRoot, "second5", 5, 0);
  CreateTreeNode(mRoot, "three", 3, 0);
  EXPECT_EQ(Names(mRoot), (std::vector<std::string>{"three", "first5", "second5"}));
  ExpectListConsistent(mRoot);
}

TEST_F(ObjectTreeTest, OrderKeyMovesAndSwaps) {
  ObjectTreeNode* a = CreateTreeNode(mRoot, "a", 1, 0);
  ObjectTreeNode* b = CreateTreeNode(mRoot, "b", 2, 0);
  ObjectTreeNode* c = CreateTreeNode(mRoot, "c", 3, 0);
  // Moving to a key a sibling already has puts the node after that sibling.
  EXPECT_EQ(SetNodeOrderKey(a, 3), 1);
  EXPECT_EQ(Names(mRoot), (std::vector<std::string>{"b", "c", "a"}));
  EXPECT_EQ(a->mOrderKey, 3);
  EXPECT_EQ(SwapNodeOrderKeys(b, a), 1);
  EXPECT_EQ(b->mOrderKey, 3);
  EXPECT_EQ(a->mOrderKey, 2);
  EXPECT_EQ(Names(mRoot), (std::vector<std::string>{"a", "c", "b"}));
  // Signed keys: a negative key goes first.
  EXPECT_EQ(SetNodeOrderKey(c, -5), 1);
  EXPECT_EQ(Names(mRoot).front(), "c");
  // A root has no siblings to move among; null nodes are refused.
  EXPECT_EQ(SetNodeOrderKey(mRoot, 7), 0);
  EXPECT_EQ(mRoot->mOrderKey, 0);
  EXPECT_EQ(SwapNodeOrderKeys(a, nullptr), 0);
  ExpectListConsistent(mRoot);
  ExpectIndexConsistent(mRoot);
}

TEST_F(ObjectTreeTest, GroupBitSeparatesLeafAndGroupOfOneName) {
  ObjectTreeNode* leaf = CreateTreeNode(mRoot, "x", 1, 0);
  ObjectTreeNode* group = CreateTreeNode(mRoot, "x", 2, 1);
  ASSERT_NE(leaf, nullptr);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(leaf->mKey ^ group->mKey, kGroupKeyBit);
  EXPECT_EQ(leaf->mKey, MurmurHash2("x", 1) & 0x7FFFFFFFu);
  EXPECT_EQ(FindObjectByPath(mRoot, "x", kPathLeaf), leaf);
  EXPECT_EQ(FindObjectByPath(mRoot, "x", kPathGroup), group);
  // Any kind: the first in sibling order.
  EXPECT_EQ(FindObjectByPath(mRoot, "x", kPathAny), leaf);
  SetNodeOrderKey(group, 0);
  EXPECT_EQ(FindObjectByPath(mRoot, "x", kPathAny), group);
  // A child created below the group through a path.
  ObjectTreeNode* inner = CreateTreeNode(mRoot, "x/y", 1, 0);
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->mParent, group);
  EXPECT_EQ(FindObjectByPath(mRoot, "x/y", kPathLeaf), inner);
}

TEST_F(ObjectTreeTest, EmptyPathCreatesTheEmptyName) {
  ObjectTreeNode* leaf = CreateTreeNode(mRoot, "", 1, 0);
  ObjectTreeNode* group = CreateTreeNode(mRoot, "", 1, 1);
  ASSERT_NE(leaf, nullptr);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(leaf->mKey, 0u);
  EXPECT_EQ(group->mKey, 0x80000000u);
  EXPECT_EQ(leaf->mNameLength, 0);
  EXPECT_STREQ(leaf->mName, "");
}

TEST_F(ObjectTreeTest, MissingGroupIsReportedWithItsComponent) {
  InstallTaggedMessages({100230, 900020});
  CreateTreeNode(mRoot, "leaf", 1, 0);
  // "leaf" names a leaf, not a group: the component is missing.
  EXPECT_EQ(CreateTreeNode(mRoot, "leaf/child", 1, 0), nullptr);
  EXPECT_EQ(g_LastErrorText, ExpectedReport(100230, {"leaf"}));
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_EQ(mRoot->mChildCount, 1);

  EXPECT_EQ(CreateTreeNode(mRoot, "nothere/deeper/name", 1, 0), nullptr);
  EXPECT_EQ(g_LastErrorText, ExpectedReport(100230, {"nothere"}));

  EXPECT_EQ(CreateTreeNode(mRoot, nullptr, 1, 0), nullptr);
  EXPECT_EQ(g_LastErrorText, ExpectedReport(900020));
}

TEST_F(ObjectTreeTest, ShiftJisNamesStayWhole) {
  // A group whose name ends in a double-byte character, and a leaf whose name
  // ends in a lone lead byte (the terminator is never taken as its partner).
  ObjectTreeNode* group = CreateTreeNode(mRoot, "\x83\x5c", 1, 1);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->mNameLength, 2);
  ObjectTreeNode* leaf = CreateTreeNode(mRoot, "\x83\x5c/a\x81", 1, 0);
  ASSERT_NE(leaf, nullptr);
  EXPECT_EQ(leaf->mParent, group);
  EXPECT_EQ(std::string(leaf->mName, leaf->mNameLength), "a\x81");
}

TEST_F(ObjectTreeTest, FullChildIndexRefusesTheNextChild) {
  for (int index = 0; index < kMaxIndexedChildren; ++index) {
    ASSERT_NE(CreateTreeNode(mRoot, ("n" + std::to_string(index)).c_str(), index, 0), nullptr);
  }
  EXPECT_EQ(g_QuitFlag.load(), 0);
  EXPECT_EQ(CreateTreeNode(mRoot, "one-too-many", 1, 0), nullptr);
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_EQ(g_LastErrorText, ExpectedReport(100010));
  EXPECT_EQ(mRoot->mChildCount, kMaxIndexedChildren);
  EXPECT_EQ(mRoot->mIndexCount, kMaxIndexedChildren);
  // After a detach there is room again.
  ObjectTreeNode* first = mRoot->mFirstChild;
  DetachTreeNode(first);
  FreeTreeNode(first);
  g_QuitFlag.store(0);
  EXPECT_NE(CreateTreeNode(mRoot, "fits", 1, 0), nullptr);
  ExpectIndexConsistent(mRoot);
}

// Random creations, detaches and moves checked against a simple model: the
// sibling order is (order key, time of the last insertion), and every live
// child is found by name.
TEST_F(ObjectTreeTest, RandomOperationsMatchAModel) {
  struct ModelNode {
    ObjectTreeNode* mNode;
    std::string mName;
    uint8_t mGroup;
    int64_t mKey;
    int mStamp;
  };
  std::vector<ModelNode> model;
  std::mt19937 random(12345);
  int stamp = 0;
  for (int step = 0; step < 3000; ++step) {
    int action = static_cast<int>(random() % 10);
    if (action < 5 || model.empty()) {
      // Few distinct names, so that equal keys and shared buckets occur.
      std::string name = "n" + std::to_string(random() % 40);
      uint8_t group = static_cast<uint8_t>(random() % 2);
      int64_t key = static_cast<int64_t>(random() % 7) - 3;
      ObjectTreeNode* node = CreateTreeNode(mRoot, name.c_str(), key, group);
      ASSERT_NE(node, nullptr);
      model.push_back({node, name, group, key, stamp++});
    } else if (action < 8) {
      size_t victim = random() % model.size();
      DetachTreeNode(model[victim].mNode);
      FreeTreeNode(model[victim].mNode);
      model.erase(model.begin() + static_cast<std::ptrdiff_t>(victim));
    } else {
      size_t moved = random() % model.size();
      int64_t key = static_cast<int64_t>(random() % 7) - 3;
      SetNodeOrderKey(model[moved].mNode, key);
      model[moved].mKey = key;
      model[moved].mStamp = stamp++;
    }
  }
  std::vector<ModelNode> sorted = model;
  std::stable_sort(sorted.begin(), sorted.end(), [](const ModelNode& a, const ModelNode& b) {
    return a.mKey != b.mKey ? a.mKey < b.mKey : a.mStamp < b.mStamp;
  });
  std::vector<ObjectTreeNode*> expected;
  for (const ModelNode& entry : sorted) expected.push_back(entry.mNode);
  std::vector<ObjectTreeNode*> actual;
  for (ObjectTreeNode* child = mRoot->mFirstChild; child != nullptr; child = child->mNextSibling) {
    actual.push_back(child);
  }
  EXPECT_EQ(actual, expected);
  ExpectListConsistent(mRoot);
  ExpectIndexConsistent(mRoot);
  EXPECT_EQ(mRoot->mIndexCount, static_cast<int32_t>(model.size()));
  for (const ModelNode& entry : model) {
    ObjectTreeNode* found = FindObjectByPath(mRoot, entry.mName.c_str(), entry.mGroup != 0 ? kPathGroup : kPathLeaf);
    ASSERT_NE(found, nullptr) << entry.mName;
    EXPECT_EQ(found->mIsGroup, entry.mGroup);
    EXPECT_EQ(std::string(found->mName), entry.mName);
    EXPECT_GE(FindChildIndexEntry(mRoot, entry.mNode->mKey, entry.mNode), 0);
  }
}

TEST_F(ObjectTreeTest, EqualKeysPutTheNewestFirstInTheIndex) {
  ObjectTreeNode* older = CreateTreeNode(mRoot, "same", 1, 0);
  ObjectTreeNode* newer = CreateTreeNode(mRoot, "same", 2, 0);
  int32_t position = FindChildIndexEntry(mRoot, older->mKey, nullptr);
  ASSERT_GE(position, 0);
  EXPECT_EQ(mRoot->mIndexNodes[position], newer);
  EXPECT_EQ(mRoot->mIndexNodes[position + 1], older);
  // The leaf lookup finds the newest of equal names.
  EXPECT_EQ(FindObjectByPath(mRoot, "same", kPathLeaf), newer);
}

TEST(CreateObjectTreesTest, BuildsTheFourTrees) {
  ScriptTestEnvironment env;
  ASSERT_EQ(CreateObjectTrees(), 0);
  ASSERT_NE(g_LayerRoot, nullptr);
  ObjectTreeNode* windowGroup = FindObjectByPath(g_LayerRoot, "W0", kPathGroup);
  ASSERT_NE(windowGroup, nullptr);
  EXPECT_EQ(windowGroup->mOrderKey, 1);
  EXPECT_STREQ(g_LayerPathBase, "W0");

  ObjectTreeNode* taskGroup = FindObjectByPath(g_TaskRoot, "", kPathGroup);
  ObjectTreeNode* mainTask = FindObjectByPath(g_TaskRoot, "SYSTEM", kPathLeaf);
  ASSERT_NE(taskGroup, nullptr);
  ASSERT_NE(mainTask, nullptr);
  EXPECT_EQ(taskGroup->mOrderKey, 100);
  EXPECT_EQ(mainTask->mOrderKey, 100);
  auto* context = static_cast<ExecutionContext*>(mainTask->mPayload);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(context->mIsMainTask, 1);
  EXPECT_EQ(context->mEnable1, 1);
  EXPECT_EQ(context->mEnable2, 1);
  EXPECT_EQ(static_cast<ExecutionContext*>(taskGroup->mPayload)->mIsMainTask, 0);
  EXPECT_STREQ(g_TaskPathBase, "");
  // A task started under a simple name is a sibling of "SYSTEM".
  char path[kObjectPathBytes];
  EXPECT_EQ(NormalizeObjectPath(path, "worker", g_TaskPathBase, 0), kPathLeaf);
  EXPECT_STREQ(path, "worker");

  EXPECT_NE(FindObjectByPath(g_SoundRoot, "S0", kPathGroup), nullptr);
  EXPECT_STREQ(g_SoundPathBase, "S0");
  ObjectTreeNode* menuGroup = FindObjectByPath(g_MenuRoot, "M0", kPathGroup);
  ASSERT_NE(menuGroup, nullptr);
  EXPECT_EQ(menuGroup->mOrderKey, 0);
  EXPECT_STREQ(g_MenuPathBase, "M0");

  // Creating the trees again starts from fresh trees.
  ObjectTreeNode* extra = CreateTreeNode(g_TaskRoot, "extra", 5, 0);
  ASSERT_NE(extra, nullptr);
  ASSERT_EQ(CreateObjectTrees(), 0);
  EXPECT_EQ(FindObjectByPath(g_TaskRoot, "extra", kPathLeaf), nullptr);
}

TEST(CreateObjectTreesTest, TheWindowGroupGetsABlankCanvasOfWindowZerosSize) {
  LayerTreeEnvironment env(320, 200, true);
  ObjectTreeNode* windowGroup = env.mW0;
  EXPECT_EQ(env.mWindow.mShownLayerSet, windowGroup);
  LayerRecord* canvas = RecordOf(windowGroup);
  ASSERT_NE(canvas, nullptr);
  EXPECT_EQ(canvas->mRefCount, 1);
  EXPECT_EQ(canvas->mWidth, 320);
  EXPECT_EQ(canvas->mHeight, 200);
  EXPECT_EQ(canvas->mBufferWidth, 320);
  EXPECT_EQ(canvas->mBufferHeight, 200);
  ASSERT_NE(canvas->mPixels, nullptr);
  EXPECT_TRUE(AllBytesZero(canvas->mPixels, PixelBlockBytes(320, 200)));
  EXPECT_EQ(canvas->mDirtyWhole, 1);
  EXPECT_EQ(canvas->mDirtyValid, 1);
  EXPECT_EQ(canvas->mDirty, 1);  // invalidated: the first frame draws it
  EXPECT_EQ(canvas->mUnionCount, 1);
  EXPECT_EQ(DirtyRect(windowGroup), (Rect{0, 0, 319, 199}));

  // The root's record is zeroed apart from window 0's size.
  LayerRecord* root = RecordOf(g_LayerRoot);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->mWidth, 320);
  EXPECT_EQ(root->mHeight, 200);
  EXPECT_EQ(root->mBufferWidth, 320);
  EXPECT_EQ(root->mBufferHeight, 200);
  EXPECT_EQ(root->mVisible, 0);
  EXPECT_EQ(root->mOpacity, 0);
  EXPECT_EQ(root->mRefCount, 0);
  EXPECT_EQ(root->mDirty, 0);
  EXPECT_EQ(root->mPixels, nullptr);
}

TEST(CreateObjectTreesTest, SoundAndMenuGroupsGetTheirRecords) {
  ScriptTestEnvironment env;
  ASSERT_EQ(CreateObjectTrees(), 0);
  auto* sound = static_cast<SoundRecord*>(FindObjectByPath(g_SoundRoot, "S0", kPathGroup)->mPayload);
  ASSERT_NE(sound, nullptr);
  EXPECT_EQ(sound->mVolume, 256);
  EXPECT_EQ(sound->mFadeTo, 256);
  EXPECT_EQ(sound->mPrevFadeTo, 256);
  EXPECT_EQ(sound->mPan, 256);
  EXPECT_EQ(sound->mFadeFrom, 0);
  EXPECT_EQ(sound->mEnabled, 1);
  EXPECT_EQ(sound->mState, SOUND_STATE_IDLE);
  EXPECT_EQ(sound->mFrequency, 0);
  EXPECT_EQ(sound->mBuffer, nullptr);
  ASSERT_NE(g_SoundRoot->mPayload, nullptr);
  EXPECT_EQ(static_cast<SoundRecord*>(g_SoundRoot->mPayload)->mVolume, 0);

  auto* menu = static_cast<MenuItemRecord*>(FindObjectByPath(g_MenuRoot, "M0", kPathGroup)->mPayload);
  ASSERT_NE(menu, nullptr);
  EXPECT_STREQ(menu->mText, "M0");
  EXPECT_EQ(menu->mVisible, 1);
  EXPECT_EQ(menu->mEnabled, 256);
  EXPECT_EQ(menu->mChecked, 0);
  EXPECT_EQ(menu->mCommandId, 0);
  ASSERT_NE(g_MenuRoot->mPayload, nullptr);
  EXPECT_EQ(static_cast<MenuItemRecord*>(g_MenuRoot->mPayload)->mText, nullptr);
}

TEST(CreateObjectTreesTest, WithoutAWindowZeroTheWindowGroupIsSizeless) {
  ScriptTestEnvironment env;
  WindowObject* saved = g_WindowTable[0];
  g_WindowTable[0] = nullptr;
  ASSERT_EQ(CreateObjectTrees(), 0);
  LayerRecord* canvas = RecordOf(FindObjectByPath(g_LayerRoot, "W0", kPathGroup));
  ASSERT_NE(canvas, nullptr);
  EXPECT_EQ(canvas->mWidth, 0);
  EXPECT_EQ(canvas->mHeight, 0);
  EXPECT_EQ(g_QuitFlag.load(), 0);
  g_WindowTable[0] = saved;
}

TEST(CreateObjectTreesTest, AWindowZeroWiderThanTheLimitIsAFatalReport) {
  ScriptTestEnvironment env;
  InstallTaggedMessages({100010});
  WindowObject window;
  ConstructWindowObject(&window, 0);
  window.mWidth = 8193;
  window.mHeight = 100;
  WindowObject* saved = g_WindowTable[0];
  g_WindowTable[0] = &window;
  EXPECT_NE(CreateObjectTrees(), 0);
  ASSERT_EQ(env.mDialogs.mBoxes.size(), 1u);
  EXPECT_EQ(env.mDialogs.mBoxes[0].mText, "ＣＧサイズが大きすぎます。X=8193, Y=100");
  EXPECT_EQ(g_LastErrorText, ExpectedReport(100010));
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_EQ(window.mShownLayerSet, nullptr);
  ReleaseObjectTrees();
  g_WindowTable[0] = saved;
}

TEST(CreateObjectTreesTest, WindowZeroShowsTheWindowGroupUntilTheTreesAreReleased) {
  LayerTreeEnvironment env(320, 200);
  EXPECT_EQ(env.mWindow.mShownLayerSet, FindObjectByPath(g_LayerRoot, "W0", kPathGroup));
  ReleaseObjectTrees();
  EXPECT_EQ(env.mWindow.mShownLayerSet, nullptr);
}

}  // namespace
