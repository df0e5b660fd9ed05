#include <cinttypes>
#include <cstdio>
#include <string>

#include "core/object_path.h"
#include "core/object_tree.h"
#include "layer/dirty_rects.h"
#include "layer/layer_commands.h"
#include "layer/layer_record.h"
#include "script/arguments.h"
#include "script/command_handlers.h"

namespace {

constexpr int kLayerDeleteSlot = 3;

// A group invalidation takes in only the group's own layers (a member
// group's layers go into that member): every group of the tree is
// invalidated, so that all the layers' places reach the window.
void InvalidateGroupTree(ObjectTreeNode* group) {
  for (ObjectTreeNode* child = group->mFirstChild; child != nullptr; child = child->mNextSibling) {
    if (child->mIsGroup != 0 && child->mPayload != nullptr) InvalidateGroupTree(child);
  }
  InvalidateGroupToRoot(group);
}

}  // namespace

void ReleaseLayerTree(ObjectTreeNode* group) {
  if (group == nullptr) return;
  ObjectTreeNode* child = group->mFirstChild;
  while (child != nullptr) {
    ObjectTreeNode* next = child->mNextSibling;
    if (child->mIsGroup != 0) {
      ReleaseLayerTree(child);
    } else {
      ReleaseLayerNode(child);
    }
    child = next;
  }
  ReleaseLayerNode(group);
}

ObjectTreeNode* GetNthChild(ObjectTreeNode* node, int64_t n) {
  if (node == nullptr || n < 1) return nullptr;
  ObjectTreeNode* child = node->mFirstChild;
  for (int64_t i = 1; child != nullptr && i < n; ++i) child = child->mNextSibling;
  return child;
}

int NormalizeLayerPathArguments(char* output) {
  int pathSlot = ArgSlot(0);
  if (pathSlot == 0 || g_ArgString[pathSlot] == nullptr) return -1;
  std::string path = g_ArgString[pathSlot];
  int numberSlot = ArgSlot(1);
  if (numberSlot != 0) {
    char number[32];
    std::snprintf(number, sizeof number, ".%" PRId64, g_ArgInt[numberSlot]);
    path += number;
  }
  int kind = NormalizeObjectPath(output, path.c_str(), g_LayerPathBase, 0);
  if (kind < 0) return -1;
  return numberSlot != 0 ? kPathLeaf : kind;
}

int32_t CmdLayerDelete() {
  if (FetchCommandArguments(kLayerDeleteSlot) != 0) return -1;
  char path[kObjectPathBytes];
  int kind = NormalizeLayerPathArguments(path);
  if (kind < 0) return -1;
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, path, kind == kPathGroup ? kPathGroup : kPathLeaf);
  // A node without a record is treated as absent.
  if (node == nullptr || node->mPayload == nullptr) return 0;
  if (node->mIsGroup != 0) {
    // A group's own rectangle may be empty (a sizeless group): its members'
    // places are what leaves the screen.
    InvalidateGroupTree(node);
    ReleaseLayerTree(node);
  } else {
    InvalidateLayerToRoot(node);
    ReleaseLayerNode(node);
  }
  return 0;
}
