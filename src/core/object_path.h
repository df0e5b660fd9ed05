#pragma once
// Script paths of the object trees: "/"-separated names, absolute with a ":"
// prefix, "." and ".." segments, a trailing "/" naming a group. Shift-JIS
// aware: the two bytes of a double-byte character are never taken apart.
#include <cstddef>
#include <cstdint>

struct ObjectTreeNode;

// Callers own result buffers of this size; a normalised path holds at most
// kObjectPathBytes - 1 bytes.
constexpr size_t kObjectPathBytes = 1024;
// The base, "/" and the path are joined into a text of at most this many
// bytes (terminator excluded) before normalisation.
constexpr size_t kJoinedPathLimit = 255;

enum : int { kPathLeaf = 0, kPathGroup = 1, kPathAny = 2, kPathError = -1 };

// Turns path into an absolute normalised path against base, written to
// output (kObjectPathBytes). 0: names a leaf; 1: names a group (the trailing
// "/" was removed); -1 after a fatal report at the script location: 100242
// for a blank in a segment when blanks are not allowed, or for a path that
// does not fit the limits.
int NormalizeObjectPath(char* output, const char* path, const char* base, uint8_t allowBlanks);

// Finds the node of a normalised path from root; mode is kPathLeaf,
// kPathGroup or kPathAny (the first in sibling order). Null when missing.
ObjectTreeNode* FindObjectByPath(ObjectTreeNode* root, const char* path, int mode);

// The group child of parent with this name (length bytes); null when none.
ObjectTreeNode* FindChildByName(const ObjectTreeNode* parent, const char* name, int32_t length);
// The leaf child of parent with this name, through the child index.
ObjectTreeNode* FindLeafChildByName(const ObjectTreeNode* parent, const char* name, int32_t length);
