#include "layer/layer_reset.h"

#include <cstring>

#include "layer/composition.h"
#include "layer/dirty_rects.h"
#include "layer/message_text.h"
#include "layer/text_setup.h"

void ResetLayerState() {
  DeleteGlyphObjects();
  ResetMessageText();
  g_RedrawOption = 1;
  std::memset(g_WindowPresentRequest, 0, sizeof g_WindowPresentRequest);
}
