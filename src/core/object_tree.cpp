#include "core/object_tree.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>

#include "core/checksums.h"
#include "core/errors.h"
#include "core/object_path.h"
#include "core/sjis.h"

ObjectTreeNode* g_LayerRoot = nullptr;
ObjectTreeNode* g_TaskRoot = nullptr;
ObjectTreeNode* g_SoundRoot = nullptr;
ObjectTreeNode* g_MenuRoot = nullptr;
char* g_LayerPathBase = nullptr;
char* g_TaskPathBase = nullptr;
char* g_SoundPathBase = nullptr;
char* g_MenuPathBase = nullptr;

namespace {

constexpr int kBucketEntries = 257;

// The index range that may hold a key of top byte b: from one entry before
// the bucket's start to the bucket's end.
void BucketRange(const ObjectTreeNode* parent, uint32_t key, int32_t* first, int32_t* last) {
  uint32_t bucket = key >> 24;
  int32_t start = parent->mBucketStarts[bucket];
  *first = start == 0 ? 0 : start - 1;
  *last = start + parent->mBucketCounts[bucket];
}

bool AllocateChildIndex(ObjectTreeNode* node) {
  node->mIndexKeys = static_cast<uint32_t*>(std::calloc(kMaxIndexedChildren, sizeof(uint32_t)));
  node->mIndexNodes = static_cast<ObjectTreeNode**>(std::calloc(kMaxIndexedChildren, sizeof(ObjectTreeNode*)));
  node->mBucketStarts = static_cast<uint16_t*>(std::calloc(kBucketEntries, sizeof(uint16_t)));
  node->mBucketCounts = static_cast<uint16_t*>(std::calloc(kBucketEntries, sizeof(uint16_t)));
  node->mIndexCount = 0;
  if (node->mIndexKeys != nullptr && node->mIndexNodes != nullptr && node->mBucketStarts != nullptr &&
      node->mBucketCounts != nullptr) {
    return true;
  }
  std::free(node->mIndexKeys);
  std::free(node->mIndexNodes);
  std::free(node->mBucketStarts);
  std::free(node->mBucketCounts);
  node->mIndexKeys = nullptr;
  node->mIndexNodes = nullptr;
  node->mBucketStarts = nullptr;
  node->mBucketCounts = nullptr;
  return false;
}

// Walks every component of path but the last from base; nameStart receives
// the position where the last component begins. Null after reporting 100230
// for a missing group.
ObjectTreeNode* WalkToParent(std::string_view path, ObjectTreeNode* base, size_t* nameStart) {
  ObjectTreeNode* node = base;
  size_t start = 0;
  for (size_t index = 0; index < path.size();) {
    size_t length = SjisCharLength(path, index);
    if (length == 1 && path[index] == '/') {
      std::string_view component = path.substr(start, index - start);
      ObjectTreeNode* child = FindChildByName(node, component.data(), static_cast<int32_t>(component.size()));
      if (child == nullptr) {
        ReportErrorFmt(100230, 1, std::string(component));
        return nullptr;
      }
      node = child;
      start = index + 1;
    }
    index += length;
  }
  *nameStart = start;
  return node;
}

}  // namespace

uint32_t MakeNodeKey(std::string_view name, uint8_t isGroup) {
  return (static_cast<uint32_t>(isGroup & 1) << 31) | (MurmurHash2(name.data(), name.size()) & ~kGroupKeyBit);
}

ObjectTreeNode* ResolveParentPath(const char* path, ObjectTreeNode* base) {
  size_t nameStart = 0;
  return WalkToParent(path, base, &nameStart);
}

ObjectTreeNode* CreateTreeNode(ObjectTreeNode* base, const char* path, int64_t orderKey, uint8_t isGroup) {
  if (path == nullptr || base == nullptr) {
    ReportError(900020, 1);
    return nullptr;
  }
  // The node's name is the last component (empty after a final "/").
  size_t nameStart = 0;
  ObjectTreeNode* parent = WalkToParent(path, base, &nameStart);
  if (parent == nullptr) return nullptr;
  std::string_view name = std::string_view(path).substr(nameStart);

  // A full child index refuses the child: the index has no room for it, and
  // a child missing from the index could never be found again.
  if (parent->mIndexKeys != nullptr && parent->mIndexCount >= kMaxIndexedChildren) {
    ReportError(100010, 1);
    return nullptr;
  }

  auto* node = static_cast<ObjectTreeNode*>(std::calloc(1, sizeof(ObjectTreeNode)));
  char* nameCopy = static_cast<char*>(std::malloc(name.size() + 1));
  if (node == nullptr || nameCopy == nullptr || (parent->mIndexKeys == nullptr && !AllocateChildIndex(parent))) {
    std::free(node);
    std::free(nameCopy);
    ReportError(100010, 1);
    return nullptr;
  }
  std::memcpy(nameCopy, name.data(), name.size());
  nameCopy[name.size()] = '\0';
  node->mName = nameCopy;
  node->mNameLength = static_cast<int32_t>(name.size());
  node->mKey = MakeNodeKey(name, isGroup);
  node->mIsGroup = isGroup & 1;
  InsertChildIndex(parent, node);
  InsertChildByOrderKey(parent, node, orderKey);
  return node;
}

int32_t FindChildIndexEntry(const ObjectTreeNode* parent, uint32_t key, const ObjectTreeNode* node) {
  if (parent == nullptr || parent->mIndexKeys == nullptr || parent->mIndexCount == 0) return -1;
  int32_t first = 0;
  int32_t last = 0;
  BucketRange(parent, key, &first, &last);
  for (int32_t position = first; position < last && position < parent->mIndexCount; ++position) {
    if (parent->mIndexKeys[position] == key && (node == nullptr || parent->mIndexNodes[position] == node)) {
      return position;
    }
  }
  return -1;
}

bool InsertChildIndex(ObjectTreeNode* parent, ObjectTreeNode* child) {
  if (parent->mIndexKeys == nullptr || parent->mIndexCount >= kMaxIndexedChildren) return false;
  uint32_t key = child->mKey;
  uint32_t bucket = key >> 24;
  int32_t position = 0;
  if (parent->mIndexCount != 0) {
    int32_t first = 0;
    int32_t last = 0;
    BucketRange(parent, key, &first, &last);
    position = last;
    for (int32_t scan = first; scan < last; ++scan) {
      if (parent->mIndexKeys[scan] >= key) {
        position = scan;
        break;
      }
    }
  }
  for (uint32_t later = bucket + 1; later < kBucketEntries; ++later) ++parent->mBucketStarts[later];
  ++parent->mBucketCounts[bucket];
  int32_t tail = parent->mIndexCount - position;
  std::memmove(parent->mIndexKeys + position + 1, parent->mIndexKeys + position, tail * sizeof(uint32_t));
  std::memmove(parent->mIndexNodes + position + 1, parent->mIndexNodes + position, tail * sizeof(ObjectTreeNode*));
  parent->mIndexKeys[position] = key;
  parent->mIndexNodes[position] = child;
  ++parent->mIndexCount;
  return true;
}

void RemoveChildIndex(ObjectTreeNode* parent, ObjectTreeNode* child) {
  int32_t position = FindChildIndexEntry(parent, child->mKey, child);
  if (position < 0) return;
  uint32_t bucket = child->mKey >> 24;
  for (uint32_t later = bucket + 1; later < kBucketEntries; ++later) --parent->mBucketStarts[later];
  --parent->mBucketCounts[bucket];
  int32_t tail = parent->mIndexCount - position - 1;
  std::memmove(parent->mIndexKeys + position, parent->mIndexKeys + position + 1, tail * sizeof(uint32_t));
  std::memmove(parent->mIndexNodes + position, parent->mIndexNodes + position + 1, tail * sizeof(ObjectTreeNode*));
  --parent->mIndexCount;
  parent->mIndexKeys[parent->mIndexCount] = 0;
  parent->mIndexNodes[parent->mIndexCount] = nullptr;
}

void InsertChildByOrderKey(ObjectTreeNode* parent, ObjectTreeNode* child, int64_t orderKey) {
  child->mParent = parent;
  child->mOrderKey = orderKey;
  ObjectTreeNode* after = parent->mFirstChild;
  while (after != nullptr && after->mOrderKey <= orderKey) after = after->mNextSibling;
  if (after == nullptr) {
    child->mPrevSibling = parent->mLastChild;
    child->mNextSibling = nullptr;
    if (parent->mLastChild != nullptr) parent->mLastChild->mNextSibling = child;
    parent->mLastChild = child;
    if (parent->mFirstChild == nullptr) parent->mFirstChild = child;
  } else {
    child->mNextSibling = after;
    child->mPrevSibling = after->mPrevSibling;
    if (after->mPrevSibling != nullptr) {
      after->mPrevSibling->mNextSibling = child;
    } else {
      parent->mFirstChild = child;
    }
    after->mPrevSibling = child;
  }
  ++parent->mChildCount;
}

void UnlinkChildNode(ObjectTreeNode* parent, ObjectTreeNode* child) {
  if (parent->mChildCount == 1) {
    parent->mFirstChild = nullptr;
    parent->mLastChild = nullptr;
  } else {
    if (parent->mFirstChild == child) parent->mFirstChild = child->mNextSibling;
    if (parent->mLastChild == child) parent->mLastChild = child->mPrevSibling;
    if (child->mPrevSibling != nullptr) child->mPrevSibling->mNextSibling = child->mNextSibling;
    if (child->mNextSibling != nullptr) child->mNextSibling->mPrevSibling = child->mPrevSibling;
  }
  --parent->mChildCount;
}

void DetachTreeNode(ObjectTreeNode* node) {
  if (node == nullptr || node->mParent == nullptr) return;
  RemoveChildIndex(node->mParent, node);
  UnlinkChildNode(node->mParent, node);
}

void FreeTreeNode(ObjectTreeNode* node) {
  if (node == nullptr) return;
  std::free(node->mName);
  std::free(node->mIndexKeys);
  std::free(node->mIndexNodes);
  std::free(node->mBucketStarts);
  std::free(node->mBucketCounts);
  std::free(node);
}

int SetNodeOrderKey(ObjectTreeNode* node, int64_t orderKey) {
  if (node == nullptr || node->mParent == nullptr) return 0;
  UnlinkChildNode(node->mParent, node);
  InsertChildByOrderKey(node->mParent, node, orderKey);
  return 1;
}

int SwapNodeOrderKeys(ObjectTreeNode* a, ObjectTreeNode* b) {
  if (a == nullptr || b == nullptr) return 0;
  int64_t remembered = a->mOrderKey;
  SetNodeOrderKey(a, b->mOrderKey);
  SetNodeOrderKey(b, remembered);
  return 1;
}

void ReleaseDescendants(ObjectTreeNode* node, void (*releaseNode)(ObjectTreeNode*)) {
  ObjectTreeNode* child = node->mFirstChild;
  while (child != nullptr) {
    ObjectTreeNode* next = child->mNextSibling;
    ReleaseDescendants(child, releaseNode);
    releaseNode(child);
    child = next;
  }
}
