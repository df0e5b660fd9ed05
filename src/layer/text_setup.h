#pragma once
// Start-up and release of the message text, the font list and the glyph
// rasteriser.
void CreateMessageText();
void InitFontList();
void DeleteGlyphObjects();
