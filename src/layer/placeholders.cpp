// Stand-ins until the layer subsystem is built: there are no layers, so
// nothing is committed, composed or presented.
#include "layer/composition.h"
#include "layer/text_setup.h"

ObjectTreeNode* GetFirstLayerChild() { return nullptr; }
void CommitLayerState(ObjectTreeNode*) {}
void ResetDirtyRects(ObjectTreeNode*) {}
int RenderWindowLayers(int) { return 0; }
int PresentWindowCpu(int) { return 0; }
void FlagWindowLayerFullyDirty(int) {}

void CreateMessageText() {}
void InitFontList() {}
void DeleteGlyphObjects() {}
