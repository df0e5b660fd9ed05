// Stand-in until frame presentation is built: nothing reaches the screen.
#include "core/stand_in.h"
#include "render/present.h"

void PresentWindowFrame(WindowObject*, LayerRecord*) { STAND_IN(); }
