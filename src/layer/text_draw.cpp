#include "layer/text_draw.h"

#include <algorithm>
#include <cstring>

#include "core/object_tree.h"
#include "layer/dirty_rects.h"
#include "layer/glyph_raster.h"
#include "layer/layer_record.h"
#include "layer/text_styles.h"

namespace {

// The gradient turned a quarter for each step of directions 1-3.
constexpr int32_t kTurnedGradient[9] = {0, 3, 4, 2, 1, 8, 5, 6, 7};

int32_t Channel(int32_t colour, int shift) { return (colour >> shift) & 0xFF; }

// a + (b - a) * n / d per channel, truncated toward zero; d of 0 (a cell
// one pixel wide or high) keeps a.
int32_t Mix(int32_t a, int32_t b, int32_t n, int32_t d) {
  if (d <= 0) return a;
  int32_t out = 0;
  for (int shift : {0, 8, 16}) {
    int32_t ca = Channel(a, shift);
    int32_t value = ca + (Channel(b, shift) - ca) * n / d;
    out |= (value & 0xFF) << shift;
  }
  return out;
}

// The cell's target pixel of glyph row i, column j by direction; directions
// above 3 write as direction 0.
void Target(int32_t direction, int32_t width, int32_t height, int32_t i, int32_t j, int32_t* tx, int32_t* ty) {
  switch (direction) {
    case 1:
      *tx = height - 1 - i;
      *ty = j;
      return;
    case 2:
      *tx = width - 1 - j;
      *ty = height - 1 - i;
      return;
    case 3:
      *tx = i;
      *ty = width - 1 - j;
      return;
    default:
      *tx = j;
      *ty = i;
      return;
  }
}

struct BlitSetup {
  LayerRecord* mRecord;
  uint8_t* mPixels;
  const GlyphSlot* mSlot;
  GradientCorners mCorners;
  int32_t mDivisor;  // height * 100 / width, at least 1
};

// The common start of both blitters: false when nothing is to be drawn.
bool StartBlit(int32_t colour, int32_t secondColour, int32_t gradient, int32_t direction, int32_t width,
               int32_t height, int64_t x, int64_t y, ObjectTreeNode* node, BlitSetup* setup) {
  auto* record = LayerRecordOf(node);
  if (record == nullptr) return false;
  record->mHasAlpha = 1;
  const GlyphSlot& slot = CurrentGlyphSlot();
  uint8_t* pixels = record->mPixelAlloc != nullptr ? record->mPixelAlloc : record->mPixels;
  if (pixels == nullptr || slot.mBits.empty() || width <= 0 || height <= 0) return false;
  // Turned a quarter, the cell is height wide and width high.
  bool turned = direction == 1 || direction == 3;
  int64_t extentX = turned ? height : width;
  int64_t extentY = turned ? width : height;
  if (y < 0 || y + extentY - 1 >= record->mHeight || x < 0 || x + extentX - 1 >= record->mWidth) return false;
  if (secondColour == -1) secondColour = colour;
  setup->mRecord = record;
  setup->mPixels = pixels;
  setup->mSlot = &slot;
  setup->mCorners = ComputeGradientCorners(gradient, direction, colour, secondColour);
  setup->mDivisor = std::max(1, height * 100 / width);
  return true;
}

uint8_t* PixelAt(const BlitSetup& setup, int64_t x, int64_t y) {
  return setup.mPixels + (static_cast<size_t>(y) * static_cast<size_t>(setup.mRecord->mWidth) + static_cast<size_t>(x)) * 4;
}

void PutColour(uint8_t* pixel, int32_t colour, uint8_t alpha) {
  pixel[0] = static_cast<uint8_t>(colour);
  pixel[1] = static_cast<uint8_t>(colour >> 8);
  pixel[2] = static_cast<uint8_t>(colour >> 16);
  pixel[3] = alpha;
}

// The left and right edge colours of output row i.
void RowEdges(const BlitSetup& setup, int32_t i, int32_t height, int32_t* left, int32_t* right) {
  const int32_t* c = setup.mCorners.mCorner;
  *left = Mix(c[0], c[2], i, height - 1);
  *right = Mix(c[1], c[3], i, height - 1);
}

}  // namespace

GradientCorners ComputeGradientCorners(int32_t gradient, int32_t direction, int32_t colour, int32_t secondColour) {
  if (direction >= 1 && direction <= 3 && gradient >= 0 && gradient <= 8) {
    for (int turn = 0; turn < direction; ++turn) gradient = kTurnedGradient[gradient];
  }
  const int32_t a = colour;
  const int32_t b = secondColour;
  const int32_t m = Mix(a, b, 1, 2);
  // Corners no gradient names keep the first colour.
  GradientCorners out{{a, a, a, a}};
  switch (gradient) {
    case 1: out = {{a, a, b, b}}; break;
    case 2: out = {{b, b, a, a}}; break;
    case 3: out = {{a, b, a, b}}; break;
    case 4: out = {{b, a, b, a}}; break;
    case 5: out = {{a, m, m, b}}; break;
    case 6: out = {{m, a, b, m}}; break;
    case 7: out = {{b, m, m, a}}; break;
    case 8: out = {{m, b, a, m}}; break;
    default: break;
  }
  return out;
}

void GlyphBlitPlain(int32_t colour, int32_t secondColour, int32_t gradient, int32_t direction, int32_t width,
                    int32_t height, int64_t x, int64_t y, int32_t writeMode, ObjectTreeNode* node) {
  BlitSetup setup{};
  if (!StartBlit(colour, secondColour, gradient, direction, width, height, x, y, node, &setup)) return;
  const int32_t side = setup.mSlot->mSide;
  const size_t rowBytes = static_cast<size_t>(side) / 8;
  for (int32_t i = 0; i < height; ++i) {
    int32_t r = i * 100 / setup.mDivisor;
    if (r >= side) continue;
    const uint8_t* row = setup.mSlot->mBits.data() + static_cast<size_t>(r) * rowBytes;
    int32_t left = 0;
    int32_t right = 0;
    RowEdges(setup, i, height, &left, &right);
    for (int32_t j = 0; j < width && j < side; ++j) {
      bool ink = ((row[j >> 3] >> (7 - (j & 7))) & 1u) == 0;
      if (!ink && writeMode == 1) continue;
      int32_t tx = 0;
      int32_t ty = 0;
      Target(direction, width, height, i, j, &tx, &ty);
      uint8_t* pixel = PixelAt(setup, x + tx, y + ty);
      if (ink) {
        PutColour(pixel, Mix(left, right, j, width - 1), 0xFF);
      } else {
        PutColour(pixel, 0, 0xFF);
      }
    }
  }
  InvalidateLayerToRoot(node);
}

void GlyphBlitAntialiased(int32_t colour, int32_t secondColour, int32_t gradient, int32_t direction, int32_t width,
                          int32_t height, int64_t x, int64_t y, int32_t writeMode, ObjectTreeNode* node) {
  BlitSetup setup{};
  if (!StartBlit(colour, secondColour, gradient, direction, width, height, x, y, node, &setup)) return;
  const int32_t side = setup.mSlot->mSide;
  const size_t rowBytes = static_cast<size_t>(side) / 8;
  const uint8_t* bits = setup.mSlot->mBits.data();
  for (int32_t i = 0; i < height; ++i) {
    int32_t r = i * 400 / setup.mDivisor;
    if (r + 3 >= side) continue;
    const uint8_t* rows[4];
    for (int k = 0; k < 4; ++k) rows[k] = bits + static_cast<size_t>(r + k) * rowBytes;
    int32_t left = 0;
    int32_t right = 0;
    RowEdges(setup, i, height, &left, &right);
    const bool flat = left == right;
    for (int32_t j = 0; j < width; ++j) {
      size_t b = static_cast<size_t>(j) / 2;
      if (b >= rowBytes) break;
      int32_t sum = InkCountTable[rows[0][b]] + InkCountTable[rows[1][b]] + InkCountTable[rows[2][b]] +
                    InkCountTable[rows[3][b]];
      int32_t n = (j & 1) == 0 ? sum >> 8 : sum & 0xFF;
      uint8_t a = CoverageAlphaTable[n & 31];
      int32_t c = flat ? left : Mix(left, right, j, width - 1);
      int32_t tx = 0;
      int32_t ty = 0;
      Target(direction, width, height, i, j, &tx, &ty);
      uint8_t* pixel = PixelAt(setup, x + tx, y + ty);
      if (writeMode != 1) {
        PutColour(pixel, c, a);
        continue;
      }
      int32_t d = pixel[3];
      int32_t weight = a + 1;
      int32_t alpha = (d + weight - ((d * weight) >> 8) - 1) & 0xFF;
      for (int k = 0; k < 3; ++k) {
        int32_t current = pixel[k];
        int32_t target = Channel(c, 8 * k);
        pixel[k] = static_cast<uint8_t>(current + (target - current) * weight / (alpha + 1));
      }
      pixel[3] = static_cast<uint8_t>(alpha);
    }
  }
  InvalidateLayerToRoot(node);
}

int32_t DrawTextIntoLayer(const char* character, int32_t colour, int32_t secondColour, int32_t gradient,
                          int32_t direction, int32_t width, int32_t height, int32_t bold, int32_t antiAlias,
                          int32_t effect, int64_t x, int64_t y, int32_t writeMode, ObjectTreeNode* node) {
  int32_t advance = 0;
  int32_t measuredHeight = 0;
  RasteriseGlyph(character, width, height, bold, antiAlias, &advance, &measuredHeight);
  auto stamp = [&](int64_t sx, int64_t sy) {
    if (antiAlias == 1) {
      GlyphBlitAntialiased(colour, secondColour, gradient, direction, width, height, sx, sy, writeMode, node);
    } else {
      GlyphBlitPlain(colour, secondColour, gradient, direction, width, height, sx, sy, writeMode, node);
    }
  };
  if (effect <= 0) {
    stamp(x, y);
  } else if (effect <= 10) {
    stamp(x + effect, y);
    stamp(x, y - effect);
    stamp(x, y);
    stamp(x, y + effect);
    stamp(x - effect, y);
  } else {
    int64_t offset = effect - 10;
    stamp(x + offset, y);
    stamp(x, y + offset);
    stamp(x + offset, y + offset);
  }
  return advance;
}
