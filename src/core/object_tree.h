#pragma once
// The named-object trees of layers, script tasks, sounds and menus.
//
// A node has a name, a sibling list of children ordered by a signed 64-bit
// order key (ties keep insertion order), and an index of its children sorted
// by name key for lookups by name. The key is the MurmurHash2 (seed 0) of the
// name bytes with bit 31 marking a group. Each node carries one payload record
// that belongs to the subsystem of its tree; the tree itself knows no
// payload type.
#include <cstddef>
#include <cstdint>
#include <string_view>

// The child index of one node holds at most this many children.
constexpr int32_t kMaxIndexedChildren = 4096;
constexpr uint32_t kGroupKeyBit = 0x80000000u;
// Path bases are texts of this many bytes, terminator included.
constexpr size_t kPathBaseBytes = 256;

struct ObjectTreeNode {
  ObjectTreeNode* mFirstChild;
  ObjectTreeNode* mLastChild;
  ObjectTreeNode* mPrevSibling;
  ObjectTreeNode* mNextSibling;
  ObjectTreeNode* mParent;
  char* mName;  // heap copy, NUL-terminated; null for a tree root
  int32_t mNameLength;
  uint32_t mKey;
  uint32_t* mIndexKeys;            // kMaxIndexedChildren keys, ascending
  ObjectTreeNode** mIndexNodes;    // parallel to mIndexKeys
  uint16_t* mBucketStarts;         // 257: first index entry whose key's top byte is b
  uint16_t* mBucketCounts;         // 257: entries whose key's top byte is b
  int32_t mIndexCount;
  int32_t mChildCount;
  int64_t mOrderKey;
  uint8_t mIsGroup;
  void* mPayload;
};

extern ObjectTreeNode* g_LayerRoot;
extern ObjectTreeNode* g_TaskRoot;
extern ObjectTreeNode* g_SoundRoot;
extern ObjectTreeNode* g_MenuRoot;
// The bases of relative paths in each tree (kPathBaseBytes each).
extern char* g_LayerPathBase;
extern char* g_TaskPathBase;
extern char* g_SoundPathBase;
extern char* g_MenuPathBase;

// The key of a name: MurmurHash2 of its bytes in bits 0-30, the group flag in
// bit 31. Names are hashed exactly as given (case-sensitive).
uint32_t MakeNodeKey(std::string_view name, uint8_t isGroup);

// Creates and links the node named by the last "/"-separated component of
// path under base (every earlier component names an existing group). The
// caller attaches the payload. Null after a fatal report: 900020 for a null
// path, 100230 for a missing group, 100010 for a full child index or no
// memory.
ObjectTreeNode* CreateTreeNode(ObjectTreeNode* base, const char* path, int64_t orderKey, uint8_t isGroup);
// The node reached by every component of path but the last; base itself for
// a path without "/". Null after reporting 100230 for a missing group.
ObjectTreeNode* ResolveParentPath(const char* path, ObjectTreeNode* base);

// Child index upkeep. Inserting into a full index refuses (false).
bool InsertChildIndex(ObjectTreeNode* parent, ObjectTreeNode* child);
void RemoveChildIndex(ObjectTreeNode* parent, ObjectTreeNode* child);
// The index position of a child with this key and, when node is not null,
// this node; -1 when there is none. The scan starts one entry before the
// bucket of the key's top byte.
int32_t FindChildIndexEntry(const ObjectTreeNode* parent, uint32_t key, const ObjectTreeNode* node);

// Sibling list upkeep.
void InsertChildByOrderKey(ObjectTreeNode* parent, ObjectTreeNode* child, int64_t orderKey);
void UnlinkChildNode(ObjectTreeNode* parent, ObjectTreeNode* child);
// Takes the node out of its parent's index and sibling list; frees nothing.
void DetachTreeNode(ObjectTreeNode* node);
// Frees a node that is no longer linked: its name, its index and the node
// (not its payload, not its children).
void FreeTreeNode(ObjectTreeNode* node);

// 1 when moved, 0 for a null node or a root.
int SetNodeOrderKey(ObjectTreeNode* node, int64_t orderKey);
// 1 when swapped, 0 when either node is null.
int SwapNodeOrderKeys(ObjectTreeNode* a, ObjectTreeNode* b);

// Releases every node below node with releaseNode, each after its own
// children; node itself stays. The tree knows no payload: releaseNode is the
// routine of the subsystem whose records the tree carries.
void ReleaseDescendants(ObjectTreeNode* node, void (*releaseNode)(ObjectTreeNode*));

// Start-up (script engine): the four trees with their first children and path bases; the
// layer tree's "W0" gets a blank canvas of window 0's size and becomes the
// layer set window 0 shows (a sizeless group when there is no window 0 yet).
// 0 success; non-zero after a fatal report.
int CreateObjectTrees();
// Frees the four trees, their payloads and the path bases; a window that
// showed a layer group no longer does.
void ReleaseObjectTrees();
