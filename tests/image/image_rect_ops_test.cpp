// Rectangle combinations, auto-crop and margins.
#include <gtest/gtest.h>

#include "effect_test_fixture.h"
#include "image/image_operations.h"
#include "image/pixel_primitives.h"

namespace {

class ImageRectOps : public ImageOpsTest {};

// What one row primitive makes of a single pixel pair (the reference
// routines of the plain level, pixel by pixel).
template <typename Fn>
uint32_t OnePixel(uint32_t target, uint32_t source, Fn fn) {
  fn(reinterpret_cast<uint8_t*>(&target), reinterpret_cast<const uint8_t*>(&source));
  return target;
}

// The target after placing `source` at (x, y), pixel by pixel.
template <typename Fn>
Picture Placed(const Picture& target, const Picture& source, int64_t x, int64_t y, Fn fn) {
  Picture expected = target;
  for (int ty = 0; ty < target.mHeight; ++ty) {
    for (int tx = 0; tx < target.mWidth; ++tx) {
      int64_t sx = tx - x;
      int64_t sy = ty - y;
      if (sx < 0 || sy < 0 || sx >= source.mWidth || sy >= source.mHeight) continue;
      expected.At(tx, ty) = fn(target.At(tx, ty), source.At(sx, sy));
    }
  }
  return expected;
}

struct Placement {
  int64_t mX;
  int64_t mY;
};
const Placement kPlacements[] = {{0, 0}, {3, 2}, {-10, -10}, {-2, 5}, {7, -1}, {40, 0}, {0, -30}};

TEST_F(ImageRectOps, CopyAndBlendPlaceTheSourceClippedToTheTarget) {
  const PixelPrimitiveTable& plain = GetReferencePrimitives(1);
  Picture source = MakePicture(12, 12, PatternPixel);
  Picture target = MakePicture(9, 8, [](int x, int y) { return PatternPixel(x + 50, y); });
  for (int16_t opacity : {256, 100}) {
    for (Placement p : kPlacements) {
      ObjectTreeNode* from = AddLayer("from", source);
      RecordOf(from)->mOpacity = opacity;
      ObjectTreeNode* copy = AddLayer("copy", target);
      ObjectTreeNode* blend = AddLayer("blend", target);
      RecordOf(blend)->mOpacity = 200;
      ASSERT_EQ(CopyImageRect(from, copy, p.mX, p.mY), 0);
      ASSERT_EQ(BlendImageRect(from, blend, p.mX, p.mY), 0);
      EXPECT_TRUE(SamePicture(Placed(target, source, p.mX, p.mY,
                                     [&](uint32_t t, uint32_t s) {
                                       return OnePixel(t, s, [&](uint8_t* d, const uint8_t* q) {
                                         if (opacity == 256) {
                                           plain.mAlphaOverRow(d, q, 4);
                                         } else {
                                           plain.mAlphaOverRowSourceOpacity(d, q, opacity, 4);
                                         }
                                       });
                                     }),
                              Read(copy)))
          << "copy at " << p.mX << "," << p.mY << " opacity " << opacity;
      EXPECT_TRUE(SamePicture(Placed(target, source, p.mX, p.mY,
                                     [&](uint32_t t, uint32_t s) {
                                       return OnePixel(t, s, [&](uint8_t* d, const uint8_t* q) {
                                         if (opacity == 256) {
                                           plain.mAlphaOverRowDestOpacity(d, q, 200, 4);
                                         } else {
                                           plain.mAlphaOverRowBothOpacity(d, q, 200, opacity, 4);
                                         }
                                       });
                                     }),
                              Read(blend)))
          << "blend at " << p.mX << "," << p.mY;
      EXPECT_EQ(RecordOf(copy)->mHasAlpha, 1);
      EXPECT_EQ(RecordOf(blend)->mHasAlpha, 1);
    }
  }
}

TEST_F(ImageRectOps, CopyWithOpacityZeroChangesNothingAtAll) {
  Picture target = MakePicture(5, 5, PatternPixel);
  ObjectTreeNode* from = AddLayer("from", MakePicture(3, 3, [](int, int) { return 0xFFFFFFFFu; }));
  RecordOf(from)->mOpacity = 0;
  ObjectTreeNode* to = AddLayer("to", target, 0);
  ASSERT_EQ(CopyImageRect(from, to, 1, 1), 0);
  EXPECT_TRUE(SamePicture(target, Read(to)));
  EXPECT_EQ(RecordOf(to)->mHasAlpha, 0);
}

TEST_F(ImageRectOps, KeepDifferingAndEqualPixelsCompareWholeWords) {
  Picture target = MakePicture(6, 6, PatternPixel);
  Picture source = target;
  source.At(1, 1) ^= 0x01000000u;  // alpha differs only
  source.At(2, 3) ^= 0x00000100u;
  for (Placement p : kPlacements) {
    ObjectTreeNode* from = AddLayer("from", source);
    ObjectTreeNode* differing = AddLayer("differing", target);
    ObjectTreeNode* equal = AddLayer("equal", target);
    ASSERT_EQ(KeepDifferingPixels(from, differing, p.mX, p.mY), 0);
    ASSERT_EQ(KeepEqualPixels(from, equal, p.mX, p.mY), 0);
    EXPECT_TRUE(SamePicture(Placed(target, source, p.mX, p.mY, [](uint32_t t, uint32_t s) { return t == s ? 0 : s; }),
                            Read(differing)));
    EXPECT_TRUE(SamePicture(Placed(target, source, p.mX, p.mY, [](uint32_t t, uint32_t s) { return t == s ? t : 0; }),
                            Read(equal)));
  }
  // A picture with itself.
  ObjectTreeNode* self = AddLayer("self", target);
  ASSERT_EQ(KeepDifferingPixels(self, self, 0, 0), 0);
  EXPECT_TRUE(SamePicture(MakePicture(6, 6, [](int, int) { return 0u; }), Read(self)));
}

TEST_F(ImageRectOps, CrossFadeReadsBothSourcesOnlyWhereTheyOverlap) {
  const PixelPrimitiveTable& plain = GetReferencePrimitives(1);
  Picture first = MakePicture(10, 8, PatternPixel);
  // The second source is smaller: the fade stops at its edges.
  Picture second = MakePicture(6, 5, [](int x, int y) { return PatternPixel(x + 99, y + 7); });
  Picture output = MakePicture(9, 9, [](int x, int y) { return PatternPixel(x, y + 300); });
  struct Weight {
    int64_t mGiven;
    int mUsed;
  };
  for (Weight w : {Weight{0, 1}, Weight{-7, 1}, Weight{100, 101}, Weight{255, 256}, Weight{9999, 256}}) {
    for (Placement p : kPlacements) {
      ObjectTreeNode* a = AddLayer("a", first);
      ObjectTreeNode* b = AddLayer("b", second);
      ObjectTreeNode* out = AddLayer("out", output);
      ASSERT_EQ(CrossFadeImageRect(a, b, out, p.mX, p.mY, w.mGiven), 0);
      Picture expected = output;
      for (int ty = 0; ty < 9; ++ty) {
        for (int tx = 0; tx < 9; ++tx) {
          int64_t sx = tx - p.mX, sy = ty - p.mY;
          if (sx < 0 || sy < 0 || sx >= 6 || sy >= 5) continue;
          uint32_t value = 0;
          uint32_t av = first.At(sx, sy), bv = second.At(sx, sy);
          plain.mCrossFadeRow(reinterpret_cast<uint8_t*>(&value), reinterpret_cast<const uint8_t*>(&av),
                              reinterpret_cast<const uint8_t*>(&bv), w.mUsed, 4);
          expected.At(tx, ty) = value;
        }
      }
      EXPECT_TRUE(SamePicture(expected, Read(out))) << "weight " << w.mGiven << " at " << p.mX << "," << p.mY;
      EXPECT_EQ(RecordOf(out)->mHasAlpha, 1);
    }
  }
}

TEST_F(ImageRectOps, AutoCropMovesTheChosenSidesToTheVisibleBox) {
  Picture picture = MakePicture(12, 10, [](int x, int y) { return (PatternPixel(x, y) & 0xFFFFFF) | 0x00000000u; });
  picture.At(5, 7) |= 0x80000000u;
  picture.At(8, 3) |= 0x05000000u;  // passes a threshold of 4 only
  struct Case {
    int64_t mSides;
    int64_t mThreshold;
    int64_t mLeft, mTop, mRight, mBottom;
  };
  for (Case c : {Case{15, 100, 5, 7, 5, 7}, Case{0, 100, 0, 0, 11, 9}, Case{15, 4, 5, 3, 8, 7},
                 Case{8 | 2, 4, 5, 3, 11, 9}, Case{4 | 1, 4, 0, 0, 8, 7}, Case{15, 0x105, 5, 7, 5, 7}}) {
    ObjectTreeNode* node = AddLayer("crop", picture, 1);
    ASSERT_EQ(AutoCropImage(node, nullptr, 0, c.mSides, c.mThreshold), 0);
    Picture expected = MakePicture(static_cast<int32_t>(c.mRight - c.mLeft + 1),
                                   static_cast<int32_t>(c.mBottom - c.mTop + 1),
                                   [&](int x, int y) { return picture.At(c.mLeft + x, c.mTop + y); });
    EXPECT_TRUE(SamePicture(expected, Read(node))) << "sides " << c.mSides << " threshold " << c.mThreshold;
    EXPECT_EQ(RecordOf(node)->mHasAlpha, 1);
  }
  // Thresholds of 128..255 are negative bytes: every pixel counts.
  ObjectTreeNode* node = AddLayer("all", picture, 0);
  ASSERT_EQ(AutoCropImage(node, nullptr, 0, 15, 200), 0);
  EXPECT_TRUE(SamePicture(picture, Read(node)));
}

TEST_F(ImageRectOps, AutoCropOfAFullyTransparentPictureLeavesOneTransparentPixel) {
  Picture clear = MakePicture(7, 4, [](int x, int y) { return PatternPixel(x, y) & 0xFFFFFF; });
  ObjectTreeNode* node = AddLayer("clear", clear);
  ASSERT_EQ(AutoCropImage(node, nullptr, 0, 15, 0), 0);
  EXPECT_TRUE(SamePicture(MakePicture(1, 1, [](int, int) { return TRANSPARENT_COLOUR; }), Read(node)));
  EXPECT_EQ(RecordOf(node)->mHasAlpha, 1);
  // With no side chosen the picture is copied whole.
  ObjectTreeNode* kept = AddLayer("kept", clear);
  ASSERT_EQ(AutoCropImage(kept, nullptr, 0, 0, 0), 0);
  EXPECT_TRUE(SamePicture(clear, Read(kept)));
}

TEST_F(ImageRectOps, AutoCropIntoADestinationLeavesTheSource) {
  Picture picture = MakePicture(6, 6, [](int x, int y) { return PatternPixel(x, y) & 0xFFFFFF; });
  picture.At(2, 2) |= 0xFF000000u;
  picture.At(3, 4) |= 0xFF000000u;
  ObjectTreeNode* source = AddLayer("s", picture, 1);
  ObjectTreeNode* same = AddLayer("d", MakePicture(2, 3, PatternPixel));
  uint8_t* block = RecordOf(same)->mPixelAlloc;
  ASSERT_EQ(AutoCropImage(source, same, 1, 15, 0), 0);
  EXPECT_EQ(RecordOf(same)->mPixelAlloc, block);
  EXPECT_TRUE(SamePicture(MakePicture(2, 3, [&](int x, int y) { return picture.At(2 + x, 2 + y); }), Read(same)));
  EXPECT_TRUE(SamePicture(picture, Read(source)));
}

struct MarginCase {
  const char* mName;
  int64_t mLeft, mRight, mTop, mBottom;
  uint8_t mHasAlpha;
};

class ImageMargins : public ImageRectOps, public testing::WithParamInterface<MarginCase> {};

TEST_P(ImageMargins, PlaceThePictureOnACanvasOfTheNewSize) {
  const MarginCase& c = GetParam();
  Picture picture = MakePicture(20, 20, PatternPixel);
  ObjectTreeNode* node = AddLayer("m", picture, 0);
  ASSERT_EQ(AddImageMargins(node, nullptr, 0, c.mLeft, c.mRight, c.mTop, c.mBottom), 0);
  Picture expected = MakePicture(static_cast<int32_t>(c.mLeft + 20 + c.mRight),
                                 static_cast<int32_t>(c.mTop + 20 + c.mBottom), [&](int x, int y) {
                                   int64_t sx = x - c.mLeft, sy = y - c.mTop;
                                   bool inside = sx >= 0 && sy >= 0 && sx < 20 && sy < 20;
                                   return inside ? picture.At(sx, sy) : TRANSPARENT_COLOUR;
                                 });
  EXPECT_TRUE(SamePicture(expected, Read(node)));
  EXPECT_EQ(RecordOf(node)->mHasAlpha, c.mHasAlpha);
}

INSTANTIATE_TEST_SUITE_P(Cases, ImageMargins,
                         testing::Values(MarginCase{"GrowEverySide", 10, 10, 10, 10, 1},
                                         MarginCase{"CutEverySide", -5, -5, -5, -5, 0},
                                         MarginCase{"Nothing", 0, 0, 0, 0, 0},
                                         MarginCase{"ShiftLeftGrowRight", -8, 3, 0, 0, 1},
                                         MarginCase{"CutPastTheSource", -25, 30, 0, -19, 1}),
                         [](const testing::TestParamInfo<MarginCase>& info) { return std::string(info.param.mName); });

TEST_F(ImageRectOps, MarginsOfNoPixelsOrTooManyAreRefusedAndChangeNothing) {
  Picture picture = MakePicture(20, 20, PatternPixel);
  ObjectTreeNode* node = AddLayer("m", picture, 0);
  ASSERT_EQ(AddImageMargins(node, nullptr, 0, -10, -10, 0, 0), -1);
  ASSERT_FALSE(mLayers.mScript.mDialogs.mBoxes.empty());
  EXPECT_EQ(mLayers.mScript.mDialogs.mBoxes.back().mText, "リサイズ後のサイズが不正です。");
  EXPECT_TRUE(SamePicture(picture, Read(node)));
  // A height beyond the side limit goes to the allocator's checks.
  for (auto [top, right] : {std::pair<int64_t, int64_t>{9000, 0}, {0, 8173}, {int64_t{1} << 50, 0}}) {
    ASSERT_EQ(AddImageMargins(node, nullptr, 0, 0, right, top, 0), -1);
    EXPECT_TRUE(SizeReported());
    EXPECT_TRUE(SamePicture(picture, Read(node)));
  }
}

}  // namespace
