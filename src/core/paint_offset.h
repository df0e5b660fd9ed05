#pragma once
// Where the main window's picture starts inside its client area: the centring
// offset of a letterboxed frame, (0, 0) otherwise. Presentation writes it;
// cursor mapping and the placement of movie windows read it.
#include <cstdint>

struct PaintOffset {
  int32_t mX = 0;
  int32_t mY = 0;
};

extern PaintOffset g_PaintOffset;
