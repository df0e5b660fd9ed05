#pragma once
// Start-up and release of the message text, the font list and the glyph
// rasteriser.
void CreateMessageText();
// Empties the message text (a task's last message asked for it).
void ClearMessageText();
void InitFontList();
void DeleteGlyphObjects();
