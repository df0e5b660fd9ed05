#pragma once
// Dirty rectangles: what changed in a layer is carried, translated by the
// positions of the groups in between, into the dirty rectangle of every
// group above it up to the top of the layer tree. Rectangles are inclusive
// (left, top, right, bottom) in the pixels of the record that holds them.
#include <cstdint>

struct ObjectTreeNode;
struct LayerRecord;

// A rectangle that lies wholly outside a record becomes this on all four
// sides; the changed rectangle resets to (kRectFar, kRectFar, -kRectFar,
// -kRectFar), which any union replaces.
constexpr int64_t kRectFar = 999999999;

// 1 (never changes): a group invalidation also takes in the rectangles of
// the group's visible members, and a hidden window is painted black.
extern uint8_t g_RedrawOption;

// Clips the rectangle to the node's record (changing it) and unions it into
// the record's dirty rectangle; a record with a side of 0 takes it unclipped.
// 0, or -1 when it lies outside (it then becomes the outside value on all
// four sides) or the node has no record.
int UnionDirtyRect(ObjectTreeNode* node, int64_t rect[4]);
// Unions the node's whole area into every ancestor below the layer root;
// a record shown by several nodes is invalidated at every one of them.
// 0; -1 for a missing node or record.
int InvalidateLayerToRoot(ObjectTreeNode* node);
// Unions the group's visible members (with g_RedrawOption) and then its own
// dirty rectangle into itself and every ancestor below the layer root.
// 0; -1 for a missing node or record.
int InvalidateGroupToRoot(ObjectTreeNode* group);
// The members part of InvalidateGroupToRoot: each visible, drawn layer's
// rectangle goes into the group; each member group takes its own members.
void InvalidateGroupMembers(ObjectTreeNode* group);
// The per-frame reset of one record's dirty bookkeeping: the union count
// moves to the previous count, the flags clear, the changed rectangle
// resets; the dirty rectangle stays for the next union to replace.
void ResetRecordDirtyState(LayerRecord* record);
