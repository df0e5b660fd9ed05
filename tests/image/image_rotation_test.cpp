// Rotation inside the picture's own canvas.
#include <gtest/gtest.h>

#include <cmath>

#include "effect_test_fixture.h"
#include "image/image_operations.h"
#include "image/image_rotation.h"

namespace {

class ImageRotation : public ImageOpsTest {
 protected:
  Picture Rotated(const Picture& picture, int32_t type, int64_t angle, bool smooth = false, uint8_t hasAlpha = 0) {
    ObjectTreeNode* node = AddLayer("r", picture, hasAlpha);
    int result = smooth ? RotateImageSmooth(node, nullptr, 0, angle) : RotateImage(node, nullptr, 0, type, angle);
    EXPECT_EQ(result, 0);
    mLastHasAlpha = RecordOf(node)->mHasAlpha;
    return Read(node);
  }
  uint8_t mLastHasAlpha = 0;
};

TEST_F(ImageRotation, WholeTurnsCopyAndHalfTurnsReverse) {
  Picture picture = MakePicture(5, 3, PatternPixel);
  Picture reversed = MakePicture(5, 3, [&](int x, int y) { return picture.At(4 - x, 2 - y); });
  for (int64_t angle : {0, 360, 720, -360}) {
    EXPECT_TRUE(SamePicture(picture, Rotated(picture, 11, angle))) << angle;
    EXPECT_TRUE(SamePicture(picture, Rotated(picture, 12, angle))) << angle;
    EXPECT_TRUE(SamePicture(picture, Rotated(picture, 0, angle, true))) << angle;
  }
  for (int64_t angle : {180, 540, -180}) {
    EXPECT_TRUE(SamePicture(reversed, Rotated(picture, 11, angle, false, 1))) << angle;
    EXPECT_EQ(mLastHasAlpha, 1);
    EXPECT_TRUE(SamePicture(reversed, Rotated(picture, 0, angle, true, 0))) << angle;
    EXPECT_EQ(mLastHasAlpha, 0);
  }
}

TEST_F(ImageRotation, QuarterTurnOfAFourByTwoPictureKeepsTheCanvas) {
  // Worked by hand: Kc = 0 and Ks = 65536 at 90 degrees, centre (2, 1);
  // source x = 2 - (y - 1) (3 on row 0, 2 on row 1), source y = 1 + (x - 2)
  // (-1, 0, 1, 2: only columns 1 and 2 read inside the picture).
  Picture picture = MakePicture(4, 2, PatternPixel);
  Picture nearest = MakePicture(4, 2, [&](int x, int y) {
    return x == 1 || x == 2 ? picture.At(3 - y, x - 1) : 0u;
  });
  // The smooth kernel needs its lower sample inside too: column 2's lies
  // on row 2.
  Picture smooth = MakePicture(4, 2, [&](int x, int y) { return x == 1 ? picture.At(3 - y, 0) : 0u; });
  EXPECT_TRUE(SamePicture(nearest, Rotated(picture, 11, 90)));
  EXPECT_EQ(mLastHasAlpha, 1);
  EXPECT_TRUE(SamePicture(nearest, Rotated(picture, 12, 90)));
  EXPECT_TRUE(SamePicture(smooth, Rotated(picture, 0, 90, true)));
  // A negative angle is the same turn counted the other way.
  EXPECT_TRUE(SamePicture(nearest, Rotated(picture, 11, -270)));
}

TEST_F(ImageRotation, OtherAnglesFollowTheFixedPointMapping) {
  Picture picture = MakePicture(9, 7, PatternPixel);
  for (int64_t angle : {30, 45, 200, 333}) {
    long double radians = angle * 3.1415926535L / 180;
    auto kc = static_cast<int64_t>(65536 * std::cos(radians));
    auto ks = static_cast<int64_t>(65536 * std::sin(radians));
    Picture expected = MakePicture(9, 7, [&](int x, int y) -> uint32_t {
      int64_t sx = 4 * 65536 + kc * (x - 4) - ks * (y - 3);
      int64_t sy = 3 * 65536 + ks * (x - 4) + kc * (y - 3);
      int64_t px = static_cast<int64_t>(std::floor(sx / 65536.0));
      int64_t py = static_cast<int64_t>(std::floor(sy / 65536.0));
      if (px < 0 || py < 0 || px >= 9 || py >= 7) return 0;
      return picture.At(px, py);
    });
    EXPECT_TRUE(SamePicture(expected, Rotated(picture, 11, angle))) << angle;
    // Type 12 rounds toward zero: positions just left of or above the
    // picture read its first column or row.
    Picture towardZero = MakePicture(9, 7, [&](int x, int y) -> uint32_t {
      int64_t sx = 4 * 65536 + kc * (x - 4) - ks * (y - 3);
      int64_t sy = 3 * 65536 + ks * (x - 4) + kc * (y - 3);
      auto px = static_cast<int64_t>(std::trunc(sx / 65536.0));
      auto py = static_cast<int64_t>(std::trunc(sy / 65536.0));
      if (px < 0 || py < 0 || px >= 9 || py >= 7) return 0;
      return picture.At(px, py);
    });
    EXPECT_TRUE(SamePicture(towardZero, Rotated(picture, 12, angle))) << angle;
  }
}

TEST_F(ImageRotation, SmoothRotationBlendsItsFourSamples) {
  Picture picture = MakePicture(6, 6, [](int x, int y) { return Pack(x * 40, y * 40, 100, 255); });
  Picture out = Rotated(picture, 0, 10, true);
  long double radians = 10 * 3.1415926535L / 180;
  auto kc = static_cast<int64_t>(65536 * std::cos(radians));
  auto ks = static_cast<int64_t>(65536 * std::sin(radians));
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      int64_t sx = 3 * 65536 + kc * (x - 3) - ks * (y - 3);
      int64_t sy = 3 * 65536 + ks * (x - 3) + kc * (y - 3);
      int64_t x0 = sx >> 16, y0 = sy >> 16, x1 = (sx + kc) >> 16, y1 = (sy + ks) >> 16;
      bool inside = x0 >= 0 && y0 >= 0 && x1 >= 0 && y1 >= 0 && x0 < 6 && x1 < 6 && y0 < 6 && y1 < 6;
      if (!inside) {
        EXPECT_EQ(out.At(x, y), 0u) << x << "," << y;
        continue;
      }
      double fx = static_cast<double>((sx >> 8) & 255) / 256;
      double fy = static_cast<double>((sy >> 8) & 255) / 256;
      for (int c = 0; c < 4; ++c) {
        auto p = [&](int64_t px, int64_t py) { return static_cast<double>(Channel(picture.At(px, py), c)); };
        double top = p(x0, y0) + (p(x1, y0) - p(x0, y0)) * fx;
        double bottom = p(x0, y1) + (p(x1, y1) - p(x0, y1)) * fx;
        double value = top + (bottom - top) * fy;
        // Each of the three steps rounds down by under one.
        EXPECT_NEAR(Channel(out.At(x, y), c), value, 3.0) << x << "," << y << " channel " << c;
      }
    }
  }
}

TEST_F(ImageRotation, IntoADestinationOnlyAnEqualShapeIsReused) {
  Picture picture = MakePicture(4, 2, PatternPixel);
  Picture reversed = MakePicture(4, 2, [&](int x, int y) { return picture.At(3 - x, 1 - y); });
  ObjectTreeNode* source = AddLayer("s", picture, 0);

  // Same pixel count, other shape: the destination gets a new 4x2 block.
  ObjectTreeNode* tall = AddLayer("tall", MakePicture(2, 4, PatternPixel));
  ASSERT_EQ(RotateImage(source, tall, 1, 11, 180), 0);
  EXPECT_TRUE(SamePicture(reversed, Read(tall)));

  // Same shape: the destination's own block takes the picture.
  ObjectTreeNode* same = AddLayer("same", MakePicture(4, 2, PatternPixel));
  uint8_t* block = RecordOf(same)->mPixelAlloc;
  ASSERT_EQ(RotateImage(source, same, 1, 12, 180), 0);
  EXPECT_EQ(RecordOf(same)->mPixelAlloc, block);
  EXPECT_TRUE(SamePicture(reversed, Read(same)));

  // A fresh destination without pixels gets a block.
  ObjectTreeNode* fresh = AddEmptyLayer("fresh");
  ASSERT_EQ(RotateImageSmooth(source, fresh, 1, 180), 0);
  EXPECT_TRUE(SamePicture(reversed, Read(fresh)));

  // The source as its own destination is rotated through a new block.
  ASSERT_EQ(RotateImage(source, source, 1, 11, 180), 0);
  EXPECT_TRUE(SamePicture(reversed, Read(source)));
}

TEST_F(ImageRotation, AnglesAreTakenModulo360IntoTheKernelRange) {
  struct Case {
    int64_t mAngle;
    int32_t mExpected;
  };
  for (Case c : {Case{0, 0}, Case{359, 359}, Case{360, 0}, Case{-1, 359}, Case{-450, 270}, Case{1000, 280}}) {
    EXPECT_EQ(NormaliseRotationAngle(c.mAngle), c.mExpected) << c.mAngle;
  }
}

}  // namespace

namespace {

TEST_F(ImageRotation, ReadsTheOwnPictureNotTheTonedCopy) {
  Picture picture = MakePicture(4, 3, PatternPixel);
  ObjectTreeNode* node = AddLayer("toned", picture);
  LayerRecord* record = RecordOf(node);
  // What composition leaves while a tone is set: the drawn pixels are a copy.
  uint8_t* toned = AllocPixelBuffer(nullptr, 4, 3, nullptr);
  ASSERT_NE(toned, nullptr);
  record->mDerivedPixels = toned;
  record->mPixels = toned;
  ASSERT_EQ(RotateImage(node, nullptr, 0, 11, 360), 0);
  EXPECT_TRUE(SamePicture(picture, Read(node)));
  EXPECT_EQ(record->mDerivedPixels, nullptr);
}

}  // namespace
