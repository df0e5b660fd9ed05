#pragma once
// Text drawing into layers: the four gradient corners, the anti-aliased and
// plain blitters that copy the current style's glyph canvas into a layer in
// one of four orientations, and the stamps of outlines and shadows.
#include <cstdint>

struct ObjectTreeNode;

// Corner colours 0xRRGGBB: top-left, top-right, bottom-left, bottom-right.
struct GradientCorners {
  int32_t mCorner[4];
};

GradientCorners ComputeGradientCorners(int32_t gradient, int32_t direction, int32_t colour, int32_t secondColour);

void GlyphBlitAntialiased(int32_t colour, int32_t secondColour, int32_t gradient, int32_t direction, int32_t width,
                          int32_t height, int64_t x, int64_t y, int32_t writeMode, ObjectTreeNode* node);
void GlyphBlitPlain(int32_t colour, int32_t secondColour, int32_t gradient, int32_t direction, int32_t width,
                    int32_t height, int64_t x, int64_t y, int32_t writeMode, ObjectTreeNode* node);

// Draws one character (one byte, or two for a Shift-JIS pair) with the
// current style selected by the caller; the advance in pixels.
int32_t DrawTextIntoLayer(const char* character, int32_t colour, int32_t secondColour, int32_t gradient,
                          int32_t direction, int32_t width, int32_t height, int32_t bold, int32_t antiAlias,
                          int32_t effect, int64_t x, int64_t y, int32_t writeMode, ObjectTreeNode* node);
