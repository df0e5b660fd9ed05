// Stand-ins until the layer subsystem is built: nothing is composed or
// presented.
#include "layer/composition.h"
#include "layer/text_setup.h"

int RenderWindowLayers(int) { return 0; }
int PresentWindowCpu(int) { return 0; }
void FlagWindowLayerFullyDirty(int) {}

void CreateMessageText() {}
void InitFontList() {}
void DeleteGlyphObjects() {}
