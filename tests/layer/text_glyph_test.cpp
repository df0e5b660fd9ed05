// The glyph tables, the gradient corners and both blitters on glyph canvases
// made by hand: orientations, the vertical stretch, coverage, write modes,
// gradients, and cells at the layer's edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/object_tree.h"
#include "image/pixel_buffers.h"
#include "layer/glyph_raster.h"
#include "layer/layer_record.h"
#include "layer/text_draw.h"
#include "layer/text_styles.h"
#include "support/layer_tree_env.h"

namespace {

constexpr int32_t kSide = 64;

class GlyphBlitTest : public testing::Test {
 protected:
  void SetUp() override {
    BuildGlyphTables();
    SelectTextStyle(0);
    mBits = UseGlyphCanvas(kSide);
  }
  // A layer of width x height whose every pixel is `fill`.
  ObjectTreeNode* Layer(int32_t width, int32_t height, uint32_t fill = 0x00ABCDEF) {
    std::string name = "text" + std::to_string(mLayers++);
    ObjectTreeNode* node = mEnv.Add(nullptr, name.c_str(), 0, 0, width, height);
    LayerRecord* record = RecordOf(node);
    uint8_t* block = AllocPixelBuffer(nullptr, width, height, nullptr);
    SetPixelBuffer(record, block, width, height);
    for (int32_t i = 0; i < width * height; ++i) std::memcpy(record->mPixels + i * 4, &fill, 4);
    record->mHasAlpha = 0;
    return node;
  }
  void Ink(int32_t x, int32_t y, int32_t side = kSide) {
    uint8_t* bits = CurrentGlyphSlot().mBits.data();
    bits[y * (side / 8) + x / 8] = static_cast<uint8_t>(bits[y * (side / 8) + x / 8] & ~(0x80 >> (x % 8)));
  }
  static uint32_t Pixel(ObjectTreeNode* node, int32_t x, int32_t y) {
    const LayerRecord* record = RecordOf(node);
    uint32_t pixel = 0;
    std::memcpy(&pixel, record->mPixels + (static_cast<size_t>(y) * record->mWidth + x) * 4, 4);
    return pixel;
  }
  // The positions whose pixel differs from `fill`.
  static std::vector<std::pair<int, int>> Changed(ObjectTreeNode* node, uint32_t fill = 0x00ABCDEF) {
    std::vector<std::pair<int, int>> changed;
    const LayerRecord* record = RecordOf(node);
    for (int y = 0; y < record->mHeight; ++y) {
      for (int x = 0; x < record->mWidth; ++x) {
        if (Pixel(node, x, y) != fill) changed.emplace_back(x, y);
      }
    }
    return changed;
  }
  LayerTreeEnvironment mEnv{64, 64};
  uint8_t* mBits = nullptr;
  int mLayers = 0;
};

TEST(GlyphTablesTest, InkCoverageAndCanvasSides) {
  BuildGlyphTables();
  EXPECT_EQ(InkCountTable[0x00], 4 * 256 + 4);
  EXPECT_EQ(InkCountTable[0xFF], 0);
  EXPECT_EQ(InkCountTable[0x0F], 4 * 256);
  EXPECT_EQ(InkCountTable[0x7E], 256 + 1);
  EXPECT_EQ(CoverageAlphaTable[0], 0);
  EXPECT_EQ(CoverageAlphaTable[1], 18);
  EXPECT_EQ(CoverageAlphaTable[14], 252);
  EXPECT_EQ(CoverageAlphaTable[15], 255);
  EXPECT_EQ(CoverageAlphaTable[16], 255);
  EXPECT_EQ(GlyphCanvasSideTable[0], 64);
  EXPECT_EQ(GlyphCanvasSideTable[7], 64);
  EXPECT_EQ(GlyphCanvasSideTable[8], 96);
  EXPECT_EQ(GlyphCanvasSideTable[20], 128);
  EXPECT_EQ(GlyphCanvasSideTable[256], 1088);
  for (int w = 0; w <= 256; ++w) EXPECT_GE(GlyphCanvasSideTable[w], 4 * w + 36);
}

struct CornerCase {
  const char* mWhat;
  int32_t mGradient;
  int32_t mDirection;
  GradientCorners mExpected;
};

TEST(GradientCornersTest, EveryGradientAndItsTurns) {
  constexpr int32_t a = 0x0A0A0A;
  constexpr int32_t b = 0x030303;
  constexpr int32_t m = 0x070707;  // 10 + (3 - 10) / 2, truncated toward zero
  const CornerCase cases[] = {
      {"plain", 0, 0, {{a, a, a, a}}},
      {"top to bottom", 1, 0, {{a, a, b, b}}},
      {"bottom to top", 2, 0, {{b, b, a, a}}},
      {"left to right", 3, 0, {{a, b, a, b}}},
      {"right to left", 4, 0, {{b, a, b, a}}},
      {"top-left to bottom-right", 5, 0, {{a, m, m, b}}},
      {"top-right to bottom-left", 6, 0, {{m, a, b, m}}},
      {"bottom-right to top-left", 7, 0, {{b, m, m, a}}},
      {"bottom-left to top-right", 8, 0, {{m, b, a, m}}},
      {"gradient 1 turned once", 1, 1, {{a, b, a, b}}},
      {"gradient 1 turned twice", 1, 2, {{b, b, a, a}}},
      {"gradient 1 turned three times", 1, 3, {{b, a, b, a}}},
      {"gradient 5 turned once", 5, 1, {{m, b, a, m}}},
      {"plain turned", 0, 3, {{a, a, a, a}}},
      {"direction 5 does not turn", 1, 5, {{a, a, b, b}}},
      {"gradient 9 keeps the first colour", 9, 0, {{a, a, a, a}}},
  };
  for (const CornerCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    GradientCorners corners = ComputeGradientCorners(c.mGradient, c.mDirection, a, b);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(corners.mCorner[k], c.mExpected.mCorner[k]) << "corner " << k;
  }
}

struct OrientationCase {
  int32_t mDirection;
  std::vector<std::pair<int, int>> mInk;  // relative to the cell at (8, 8)
};

TEST_F(GlyphBlitTest, PlainGlyphsTurnAndStretchByDirection) {
  // One ink pixel at glyph row 0, column 1; a cell of width 4 and height 6
  // draws glyph row 0 on output rows 0 and 1.
  const OrientationCase cases[] = {
      {0, {{1, 0}, {1, 1}}},
      {1, {{4, 1}, {5, 1}}},
      {2, {{2, 4}, {2, 5}}},
      {3, {{0, 2}, {1, 2}}},
      {6, {{1, 0}, {1, 1}}},  // directions above 3 write as direction 0
  };
  for (const OrientationCase& c : cases) {
    SCOPED_TRACE(c.mDirection);
    ObjectTreeNode* node = Layer(24, 24);
    Ink(1, 0);
    GlyphBlitPlain(0x112233, -1, 0, c.mDirection, 4, 6, 8, 8, 1, node);
    std::vector<std::pair<int, int>> expected;
    for (auto [x, y] : c.mInk) expected.emplace_back(8 + x, 8 + y);
    std::sort(expected.begin(), expected.end(), [](auto p, auto q) { return p.second != q.second ? p.second < q.second : p.first < q.first; });
    EXPECT_EQ(Changed(node), expected);
    EXPECT_EQ(Pixel(node, expected[0].first, expected[0].second), 0xFF112233u);
    EXPECT_EQ(RecordOf(node)->mHasAlpha, 1);
  }
}

TEST_F(GlyphBlitTest, PlainWriteModeZeroFillsTheCellWithOpaqueBlack) {
  ObjectTreeNode* node = Layer(16, 16);
  Ink(0, 0);
  GlyphBlitPlain(0x445566, 0x445566, 0, 0, 2, 2, 3, 4, 0, node);
  EXPECT_EQ(Pixel(node, 3, 4), 0xFF445566u);
  EXPECT_EQ(Pixel(node, 4, 4), 0xFF000000u);
  EXPECT_EQ(Pixel(node, 3, 5), 0xFF000000u);
  EXPECT_EQ(Pixel(node, 4, 5), 0xFF000000u);
  EXPECT_EQ(Changed(node).size(), 4u);
}

TEST_F(GlyphBlitTest, AntialiasedCoverageComesFromFourByFourBlocks) {
  ObjectTreeNode* node = Layer(16, 16);
  // Block (0, 0): 14 inks; block (0, 1): 16; block (1, 0): 1; block (1, 1): none.
  int inked = 0;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      if (inked++ < 14) Ink(x, y);
      Ink(4 + x, y);
    }
  }
  Ink(2, 5);
  GlyphBlitAntialiased(0x102030, -1, 0, 0, 2, 2, 5, 6, 0, node);
  EXPECT_EQ(Pixel(node, 5, 6), 0xFC102030u);
  EXPECT_EQ(Pixel(node, 6, 6), 0xFF102030u);
  EXPECT_EQ(Pixel(node, 5, 7), 0x12102030u);
  EXPECT_EQ(Pixel(node, 6, 7), 0x00102030u);
}

TEST_F(GlyphBlitTest, AntialiasedWriteModeOneBlendsEveryPixelOfTheCell) {
  // Alpha 128 and B, G, R = 100, 50, 200 under the cell.
  ObjectTreeNode* node = Layer(16, 16, 0x80C83264);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      if (y * 4 + x < 14) Ink(x, y);
    }
  }
  GlyphBlitAntialiased(0x102030, 0x102030, 0, 0, 2, 1, 0, 0, 1, node);
  // a = 252, b = 253: alpha 128 + 253 - 126 - 1 = 254; B 100 - 51, G 50 - 17,
  // R 200 - 182.
  EXPECT_EQ(Pixel(node, 0, 0), 0xFE122131u);
  // No ink (b = 1) still blends: alpha stays 128, and only red, 184 away
  // from the colour, moves by 184 / 129 = 1.
  EXPECT_EQ(Pixel(node, 1, 0), 0x80C73264u);
}

TEST_F(GlyphBlitTest, GradientsInterpolateAcrossTheCell) {
  ObjectTreeNode* node = Layer(16, 16);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) Ink(x, y);
  }
  GlyphBlitPlain(0x000000, 0x0000C8, 1, 0, 3, 3, 0, 0, 0, node);
  EXPECT_EQ(Pixel(node, 1, 0), 0xFF000000u);
  EXPECT_EQ(Pixel(node, 1, 1), 0xFF000064u);
  EXPECT_EQ(Pixel(node, 1, 2), 0xFF0000C8u);
  GlyphBlitPlain(0x640000, 0x000000, 3, 0, 3, 3, 4, 4, 0, node);
  EXPECT_EQ(Pixel(node, 4, 5), 0xFF640000u);
  EXPECT_EQ(Pixel(node, 5, 5), 0xFF320000u);
  EXPECT_EQ(Pixel(node, 6, 5), 0xFF000000u);
  // One pixel wide and high: the top-left corner, without a division by 0.
  GlyphBlitPlain(0x640000, 0x000064, 1, 0, 1, 1, 10, 10, 0, node);
  EXPECT_EQ(Pixel(node, 10, 10), 0xFF640000u);
}

TEST_F(GlyphBlitTest, ARowDivisorOfZeroIsKeptAtOne) {
  // Width 200 and height 1: height x 100 / width is 0.
  constexpr int32_t side = 864;
  UseGlyphCanvas(side);
  Ink(199, 0, side);
  mEnv.mWindow.mWidth = 256;
  ObjectTreeNode* node = Layer(256, 4);
  GlyphBlitPlain(0x010203, -1, 0, 0, 200, 1, 0, 0, 1, node);
  EXPECT_EQ(Pixel(node, 199, 0), 0xFF010203u);
  EXPECT_EQ(Changed(node).size(), 1u);
}

struct EdgeCase {
  const char* mWhat;
  int32_t mDirection;
  int64_t mX;
  int64_t mY;
  bool mDrawn;
};

TEST_F(GlyphBlitTest, CellsReachingPastTheLayerAreSkippedWhole) {
  // A cell of width 4 and height 6 in a 16 x 16 layer; turned a quarter it is
  // 6 wide and 4 high.
  const EdgeCase cases[] = {
      {"inside", 0, 12, 10, true},
      {"one pixel past the right edge", 0, 13, 10, false},
      {"one pixel past the bottom", 0, 0, 11, false},
      {"left of the layer", 0, -1, 0, false},
      {"above the layer", 0, 0, -1, false},
      {"turned, inside", 1, 10, 12, true},
      {"turned, its height past the right edge", 1, 11, 0, false},
      {"turned, its width past the bottom", 3, 0, 13, false},
  };
  for (const EdgeCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    ObjectTreeNode* node = Layer(16, 16);
    UseGlyphCanvas(kSide);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) Ink(x, y);
    }
    GlyphBlitPlain(0x010101, -1, 0, c.mDirection, 4, 6, c.mX, c.mY, 0, node);
    EXPECT_EQ(Changed(node).size(), c.mDrawn ? 24u : 0u);
    EXPECT_EQ(RecordOf(node)->mHasAlpha, 1);
    GlyphBlitAntialiased(0x010101, -1, 0, c.mDirection, 4, 6, c.mX, c.mY, 0, node);
    EXPECT_EQ(Changed(node).size(), c.mDrawn ? 24u : 0u);
  }
}

TEST_F(GlyphBlitTest, AntialiasedAgainstPlainOnOneGlyph) {
  // A solid 8 x 8 block: the plain blitter reads 2 x 2 output pixels of it
  // 1:1, the anti-aliased one reads the four 4 x 4 blocks, all fully inked.
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) Ink(x, y);
  }
  ObjectTreeNode* node = Layer(16, 16);
  GlyphBlitPlain(0x203040, -1, 0, 0, 2, 2, 0, 0, 0, node);
  GlyphBlitAntialiased(0x203040, -1, 0, 0, 2, 2, 4, 0, 0, node);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) {
      EXPECT_EQ(Pixel(node, x, y), 0xFF203040u);
      EXPECT_EQ(Pixel(node, 4 + x, y), 0xFF203040u);
    }
  }
  // Half a block inked: plain sees its two inked columns, anti-aliased gives
  // 8 of 16 pixels, alpha 144.
  UseGlyphCanvas(kSide);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 2; ++x) Ink(x, y);
  }
  GlyphBlitPlain(0x203040, -1, 0, 0, 2, 1, 0, 8, 0, node);
  GlyphBlitAntialiased(0x203040, -1, 0, 0, 1, 1, 4, 8, 0, node);
  EXPECT_EQ(Pixel(node, 0, 8), 0xFF203040u);
  EXPECT_EQ(Pixel(node, 1, 8), 0xFF203040u);
  EXPECT_EQ(Pixel(node, 4, 8), 0x90203040u);
}

}  // namespace
