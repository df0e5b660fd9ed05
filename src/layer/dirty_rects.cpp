#include "layer/dirty_rects.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "core/object_tree.h"
#include "core/window_table.h"
#include "layer/composition.h"
#include "layer/layer_record.h"
#include "render/gpu_frame.h"

uint8_t g_RedrawOption = 1;

namespace {

// Positions come from scripts: sums saturate instead of wrapping.
int64_t AddSaturated(int64_t a, int64_t b) {
  int64_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) {
    return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
  }
  return sum;
}

void Translate(int64_t rect[4], int64_t dx, int64_t dy) {
  rect[0] = AddSaturated(rect[0], dx);
  rect[2] = AddSaturated(rect[2], dx);
  rect[1] = AddSaturated(rect[1], dy);
  rect[3] = AddSaturated(rect[3], dy);
}

// The record's area at its position in its group.
void PlacedRect(const LayerRecord* record, int64_t rect[4]) {
  rect[0] = record->mX;
  rect[1] = record->mY;
  rect[2] = AddSaturated(record->mX, static_cast<int64_t>(record->mWidth) - 1);
  rect[3] = AddSaturated(record->mY, static_cast<int64_t>(record->mHeight) - 1);
}

bool HasRuleMaskClosed(const LayerRecord* record) {
  return record->mRuleLayerPath != nullptr && record->mRuleLayerPath[0] != '\0' && record->mRuleThreshold == 0;
}

void ResetGroupRects(ObjectTreeNode* first) {
  for (ObjectTreeNode* node = first; node != nullptr; node = node->mNextSibling) {
    if (node->mIsGroup == 0) continue;
    if (LayerRecord* record = LayerRecordOf(node)) ResetRecordDirtyState(record);
    ResetGroupRects(node->mFirstChild);
  }
}

}  // namespace

int UnionDirtyRect(ObjectTreeNode* node, int64_t rect[4]) {
  LayerRecord* record = LayerRecordOf(node);
  if (record == nullptr) return -1;
  int64_t width = record->mWidth;
  int64_t height = record->mHeight;
  if (width != 0 && height != 0) {
    // A negative side holds no pixel at all.
    if (width > 0 && height > 0 && rect[0] < width && rect[1] < height && rect[2] >= 0 && rect[3] >= 0) {
      rect[0] = std::max<int64_t>(rect[0], 0);
      rect[1] = std::max<int64_t>(rect[1], 0);
      rect[2] = std::min(rect[2], width - 1);
      rect[3] = std::min(rect[3], height - 1);
    } else {
      std::fill(rect, rect + 4, -kRectFar);
      return -1;
    }
  }
  record->mDirty = 1;
  if (record->mUnionCount != 0 && record->mDirtyValid != 0) {
    record->mDirtyRect[0] = std::min(record->mDirtyRect[0], rect[0]);
    record->mDirtyRect[1] = std::min(record->mDirtyRect[1], rect[1]);
    record->mDirtyRect[2] = std::max(record->mDirtyRect[2], rect[2]);
    record->mDirtyRect[3] = std::max(record->mDirtyRect[3], rect[3]);
  } else {
    std::copy(rect, rect + 4, record->mDirtyRect);
    if (record->mUnionCount < std::numeric_limits<int32_t>::max()) ++record->mUnionCount;
    record->mDirtyValid = 1;
  }
  return 0;
}

namespace {

// Unions the node's whole area into every ancestor below the layer root.
void InvalidatePlace(ObjectTreeNode* node, LayerRecord* record) {
  int64_t rect[4] = {0, 0, static_cast<int64_t>(record->mWidth) - 1, static_cast<int64_t>(record->mHeight) - 1};
  ObjectTreeNode* current = node;
  LayerRecord* currentRecord = record;
  while (current->mParent != nullptr && current->mParent != g_LayerRoot && currentRecord != nullptr) {
    Translate(rect, currentRecord->mX, currentRecord->mY);
    // Clipped away: no further ancestor takes it.
    if (UnionDirtyRect(current->mParent, rect) != 0) break;
    current = current->mParent;
    currentRecord = LayerRecordOf(current);
  }
}

// Every other node that shows the record (a shared record is shown in
// several places).
void InvalidateOtherPlaces(ObjectTreeNode* first, const ObjectTreeNode* except, LayerRecord* record) {
  for (ObjectTreeNode* node = first; node != nullptr; node = node->mNextSibling) {
    if (node != except && node->mPayload == record) InvalidatePlace(node, record);
    if (node->mFirstChild != nullptr) InvalidateOtherPlaces(node->mFirstChild, except, record);
  }
}

}  // namespace

int InvalidateLayerToRoot(ObjectTreeNode* node) {
  LayerRecord* record = LayerRecordOf(node);
  if (record == nullptr) return -1;
  InvalidatePlace(node, record);
  if (record->mRefCount > 1 && g_LayerRoot != nullptr) InvalidateOtherPlaces(g_LayerRoot->mFirstChild, node, record);
  return 0;
}

void InvalidateGroupMembers(ObjectTreeNode* group) {
  if (group == nullptr) return;
  for (ObjectTreeNode* child = group->mFirstChild; child != nullptr; child = child->mNextSibling) {
    if (child->mIsGroup != 0) {
      InvalidateGroupMembers(child);
      continue;
    }
    LayerRecord* record = LayerRecordOf(child);
    if (record == nullptr || record->mVisible == 0 || record->mOpacity == 0 || HasRuleMaskClosed(record) ||
        record->mGpuState != 0) {
      continue;
    }
    int64_t rect[4];
    PlacedRect(record, rect);
    UnionDirtyRect(group, rect);
  }
}

int InvalidateGroupToRoot(ObjectTreeNode* group) {
  LayerRecord* record = LayerRecordOf(group);
  if (record == nullptr) return -1;
  if (g_RedrawOption != 0) InvalidateGroupMembers(group);
  int64_t rect[4];
  std::copy(record->mDirtyRect, record->mDirtyRect + 4, rect);
  ObjectTreeNode* current = group;
  // The first pass unions the group's rectangle into the group itself.
  while (UnionDirtyRect(current, rect) == 0) {
    LayerRecord* currentRecord = LayerRecordOf(current);
    Translate(rect, currentRecord->mX, currentRecord->mY);
    ObjectTreeNode* parent = current->mParent;
    if (parent == nullptr || parent == g_LayerRoot || LayerRecordOf(parent) == nullptr) break;
    current = parent;
  }
  return 0;
}

void ResetRecordDirtyState(LayerRecord* record) {
  record->mPrevUnionCount = record->mUnionCount;
  record->mUnionCount = 0;
  record->mDirty = 0;
  record->mDirtyValid = 0;
  record->mChangedRect[0] = kRectFar;
  record->mChangedRect[1] = kRectFar;
  record->mChangedRect[2] = -kRectFar;
  record->mChangedRect[3] = -kRectFar;
}

ObjectTreeNode* GetFirstLayerChild() { return g_LayerRoot != nullptr ? g_LayerRoot->mFirstChild : nullptr; }

void CommitLayerState(ObjectTreeNode* node) {
  for (; node != nullptr; node = node->mNextSibling) {
    if (LayerRecord* record = LayerRecordOf(node)) {
      bool changed = false;
      if (record->mPendingVisibleSet != 0) {
        record->mPendingVisibleSet = 0;
        changed = changed || record->mVisible != record->mPendingVisible;
        record->mVisible = record->mPendingVisible;
      }
      if (record->mPendingOpacitySet != 0) {
        record->mPendingOpacitySet = 0;
        changed = changed || record->mOpacity != record->mPendingOpacity;
        record->mOpacity = record->mPendingOpacity;
      }
      if (changed) {
        g_GpuRedrawRequest = 1;
        if (node->mIsGroup != 0) {
          InvalidateGroupToRoot(node);
        } else {
          InvalidateLayerToRoot(node);
        }
      }
    }
    if (node->mIsGroup != 0) CommitLayerState(node->mFirstChild);
  }
}

void ResetDirtyRects(ObjectTreeNode* node) {
  ResetGroupRects(node);
  for (WindowObject* window : g_WindowTable) {
    if (window != nullptr && window->mCanvas != nullptr) ResetRecordDirtyState(window->mCanvas);
  }
}
