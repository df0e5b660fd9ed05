#pragma once
// Layer commit, dirty rectangles, composition and presentation of windows.
struct ObjectTreeNode;

// The first child of the layer root: the window groups.
ObjectTreeNode* GetFirstLayerChild();
// Applies pending visibility and opacity over a sibling list and the groups
// below it, invalidating what changed.
void CommitLayerState(ObjectTreeNode* node);
// After the windows were presented: resets the dirty bookkeeping of every
// group of a sibling list and below it, and of the four window canvases.
void ResetDirtyRects(ObjectTreeNode* node);
// Non-zero ends the program.
int RenderWindowLayers(int window);
int PresentWindowCpu(int window);
// Marks the root layer of a window as changed over its whole area.
void FlagWindowLayerFullyDirty(int window);
