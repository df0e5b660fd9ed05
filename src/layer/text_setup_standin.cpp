// Stand-ins until the message text buffer, the font list and the glyph
// rasteriser are built.
#include "core/stand_in.h"
#include "layer/text_setup.h"

void InitFontList() { STAND_IN(); }
void DeleteGlyphObjects() { STAND_IN(); }
