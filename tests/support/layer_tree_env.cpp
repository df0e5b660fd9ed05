#include "support/layer_tree_env.h"

#include <gtest/gtest.h>

#include "core/object_path.h"
#include "core/object_tree.h"
#include "layer/composition.h"
#include "layer/layer_record.h"

LayerTreeEnvironment::LayerTreeEnvironment(int32_t width, int32_t height, bool keepStartState) {
  ConstructWindowObject(&mWindow, 0);
  mWindow.mWidth = width;
  mWindow.mHeight = height;
  mSavedWindow = g_WindowTable[0];
  g_WindowTable[0] = &mWindow;
  EXPECT_EQ(CreateObjectTrees(), 0);
  mW0 = FindObjectByPath(g_LayerRoot, "W0", kPathGroup);
  EXPECT_NE(mW0, nullptr);
  if (!keepStartState) ResetDirtyRects(GetFirstLayerChild());
}

LayerTreeEnvironment::~LayerTreeEnvironment() {
  ReleaseObjectTrees();
  g_WindowTable[0] = mSavedWindow;
}

ObjectTreeNode* LayerTreeEnvironment::Add(ObjectTreeNode* parent, const char* name, int64_t x, int64_t y,
                                          int32_t width, int32_t height, bool group) {
  ObjectTreeNode* node = CreateTreeNode(parent != nullptr ? parent : g_LayerRoot, name, 1, group ? 1 : 0);
  EXPECT_NE(node, nullptr);
  LayerRecord* record = GetLayerRecord(node);
  EXPECT_NE(record, nullptr);
  if (record == nullptr) return node;
  record->mX = x;
  record->mY = y;
  record->mWidth = record->mBufferWidth = width;
  record->mHeight = record->mBufferHeight = height;
  return node;
}

LayerRecord* RecordOf(const ObjectTreeNode* node) {
  return node != nullptr ? static_cast<LayerRecord*>(node->mPayload) : nullptr;
}

Rect DirtyRect(const ObjectTreeNode* node) {
  const LayerRecord* record = RecordOf(node);
  return {record->mDirtyRect[0], record->mDirtyRect[1], record->mDirtyRect[2], record->mDirtyRect[3]};
}

Rect ChangedRect(const ObjectTreeNode* node) {
  const LayerRecord* record = RecordOf(node);
  return {record->mChangedRect[0], record->mChangedRect[1], record->mChangedRect[2], record->mChangedRect[3]};
}

bool AllBytesZero(const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}
