// Stand-ins until E-mote drawing is built. Nothing calls them while the
// runtime is absent.
#include "core/stand_in.h"
#include "render/emote_drawing.h"

void ResetEmoteCamera() { STAND_IN(); }
void DrawEmoteLayerPrePass(LayerRecord*) { STAND_IN(); }
