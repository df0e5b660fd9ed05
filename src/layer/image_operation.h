#pragma once
// The image operation command's own helpers: the layer swap and the size
// check in front of the GPU sprite paste.
#include <cstdint>

struct ObjectTreeNode;

// The two nodes exchange their identities (names, name keys and places in
// their parents' lists) while each keeps its record, so each name shows the
// other image at the other's stacking place. Mode 1 also exchanges the
// positions; mode 2 the positions, visibility, opacity, rule threshold and
// softness and the blend mode. Both places are invalidated before and after.
// 0.
int SwapLayers(ObjectTreeNode* a, ObjectTreeNode* b, int mode);

// True when the sprite paste may read the source into the target's tiles:
// both have records, the target holds tiles and the source's pixels cover
// the target's whole size (the paste reads the target's width and height of
// source pixels).
bool SpritePasteFits(const ObjectTreeNode* source, const ObjectTreeNode* target);
