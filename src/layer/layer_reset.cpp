#include "layer/layer_reset.h"

#include "layer/dirty_rects.h"
#include "layer/text_setup.h"

void ResetLayerState() {
  DeleteGlyphObjects();
  g_RedrawOption = 1;
}
