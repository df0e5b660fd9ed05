#include "layer/layer_reset.h"

#include <cstring>

#include "layer/composition.h"
#include "layer/dirty_rects.h"
#include "layer/fonts.h"
#include "layer/message_text.h"
#include "layer/text_setup.h"
#include "layer/text_styles.h"

void ResetLayerState() {
  DeleteGlyphObjects();
  ResetMessageText();
  ReleaseFontList();
  ResetTextStyles();
  g_RedrawOption = 1;
  std::memset(g_WindowPresentRequest, 0, sizeof g_WindowPresentRequest);
}
