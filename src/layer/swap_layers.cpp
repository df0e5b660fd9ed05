// The layer swap of the image operation command.
#include <string_view>
#include <utility>
#include <vector>

#include "core/object_tree.h"
#include "layer/dirty_rects.h"
#include "layer/image_operation.h"
#include "layer/layer_record.h"

namespace {

void Invalidate(ObjectTreeNode* node) {
  if (node->mIsGroup != 0) {
    InvalidateGroupToRoot(node);
  } else {
    InvalidateLayerToRoot(node);
  }
}

// Exchanges the list places of two children of one parent, whatever their
// order keys: a key exchange alone cannot move nodes whose keys are equal.
void SwapSiblingPlaces(ObjectTreeNode* parent, ObjectTreeNode* a, ObjectTreeNode* b) {
  std::vector<ObjectTreeNode*> children;
  for (ObjectTreeNode* child = parent->mFirstChild; child != nullptr; child = child->mNextSibling) {
    children.push_back(child == a ? b : child == b ? a : child);
  }
  ObjectTreeNode* previous = nullptr;
  for (ObjectTreeNode* child : children) {
    child->mPrevSibling = previous;
    if (previous != nullptr) previous->mNextSibling = child;
    previous = child;
  }
  if (previous != nullptr) previous->mNextSibling = nullptr;
  parent->mFirstChild = children.empty() ? nullptr : children.front();
  parent->mLastChild = previous;
  std::swap(a->mOrderKey, b->mOrderKey);
}

// Names and keys change hands; each parent's index is rebuilt for its node.
// The key is made again from the new name and the node's own group flag, so
// that a group swapped with a layer is still found as a group.
void SwapNames(ObjectTreeNode* a, ObjectTreeNode* b) {
  ObjectTreeNode* parentA = a->mParent;
  ObjectTreeNode* parentB = b->mParent;
  if (parentA != nullptr) RemoveChildIndex(parentA, a);
  if (parentB != nullptr) RemoveChildIndex(parentB, b);
  std::swap(a->mName, b->mName);
  std::swap(a->mNameLength, b->mNameLength);
  auto key = [](const ObjectTreeNode* node) {
    return MakeNodeKey(std::string_view(node->mName != nullptr ? node->mName : "",
                                        static_cast<size_t>(node->mNameLength)),
                       node->mIsGroup);
  };
  a->mKey = key(a);
  b->mKey = key(b);
  // Both entries were just removed, so there is room for them again.
  if (parentA != nullptr) InsertChildIndex(parentA, a);
  if (parentB != nullptr) InsertChildIndex(parentB, b);
}

void SwapAttributes(LayerRecord* a, LayerRecord* b, int mode) {
  if (a == nullptr || b == nullptr || a == b || (mode != 1 && mode != 2)) return;
  std::swap(a->mX, b->mX);
  std::swap(a->mY, b->mY);
  // The hundredths follow the pixels they mirror.
  std::swap(a->mPosX100, b->mPosX100);
  std::swap(a->mPosY100, b->mPosY100);
  if (mode != 2) return;
  std::swap(a->mVisible, b->mVisible);
  std::swap(a->mOpacity, b->mOpacity);
  std::swap(a->mRuleThreshold, b->mRuleThreshold);
  std::swap(a->mRuleSoftness, b->mRuleSoftness);
  std::swap(a->mBlendMode, b->mBlendMode);
}

}  // namespace

int SwapLayers(ObjectTreeNode* a, ObjectTreeNode* b, int mode) {
  if (a == nullptr || b == nullptr || a == b) return 0;
  Invalidate(a);
  Invalidate(b);
  if (a->mParent != nullptr && a->mParent == b->mParent) {
    SwapSiblingPlaces(a->mParent, a, b);
  } else {
    SwapNodeOrderKeys(a, b);
  }
  SwapNames(a, b);
  SwapAttributes(LayerRecordOf(a), LayerRecordOf(b), mode);
  // The places the images take now may differ from the ones they left.
  Invalidate(a);
  Invalidate(b);
  return 0;
}
