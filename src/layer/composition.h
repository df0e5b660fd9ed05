#pragma once
// Layer commit, dirty rectangles, composition and presentation of windows.
struct ObjectTreeNode;

// The first child of the layer root: the window groups.
ObjectTreeNode* GetFirstLayerChild();
void CommitLayerState(ObjectTreeNode* node);
void ResetDirtyRects(ObjectTreeNode* node);
// Non-zero ends the program.
int RenderWindowLayers(int window);
int PresentWindowCpu(int window);
// Marks the root layer of a window as changed over its whole area.
void FlagWindowLayerFullyDirty(int window);
