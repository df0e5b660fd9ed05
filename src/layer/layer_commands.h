#pragma once
// The layer tree operations behind the layer commands.
#include <cstdint>

struct ObjectTreeNode;

// Releases every descendant of the group (member groups with their own
// members first), then the group itself.
void ReleaseLayerTree(ObjectTreeNode* group);
// The n-th child counted from the first (1 = bottom-most in drawing order);
// null when there is none.
ObjectTreeNode* GetNthChild(ObjectTreeNode* node, int64_t n);
// Normalises the layer path of argument ids 0 (path) and 1 (number: path +
// "." + number, always a leaf) into output (kObjectPathBytes). 0 leaf, 1
// group, -1 after a report (or when id 0 is absent).
int NormalizeLayerPathArguments(char* output);
// The pixel of the layer under a window point: kind 1 colour 0xRRGGBB, 2
// alpha, otherwise 0xAARRGGBB; -1 for a missing node or record, no pixels, or
// a point off the layer.
int64_t ReadLayerPixelAtPoint(ObjectTreeNode* node, int64_t x, int64_t y, int kind);
