// Resizing: the receiving block, the sizes, and each scaler's arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/platform_facts.h"
#include "effect_test_fixture.h"
#include "image/image_operations.h"
#include "image/pixel_workers.h"
#include "image/resample.h"

namespace {

class Resample : public ImageOpsTest {
 protected:
  void TearDown() override { StopPixelWorkers(); }
  // Resizes the whole picture to w x h pixels with the mode; the new picture.
  Picture Resized(const Picture& picture, int32_t w, int32_t h, int32_t mode, uint8_t hasAlpha = 0) {
    ObjectTreeNode* node = AddLayer("r", picture, hasAlpha);
    EXPECT_EQ(ResizeImage(node, nullptr, 0, 0, (picture.mWidth - 1) * 100, (picture.mHeight - 1) * 100, w * 100,
                          h * 100, 0, mode),
              0);
    return Read(node);
  }
  void StartWorkers(int count) {
    StopPixelWorkers();
    g_WorkerCount = static_cast<uint8_t>(count);
    ASSERT_EQ(StartPixelWorkers(), 0);
  }
};

TEST_F(Resample, BicubicKernelTableFollowsTheCubicOfAMinusOne) {
  const int32_t* k = BicubicKernelTable();
  for (int t = 0; t <= 512; t += 1) {
    double d = t / 256.0;
    double value = d <= 1 ? (d - 1) * (d * d - d - 1) : -(d - 1) * (d - 2) * (d - 2);
    EXPECT_EQ(k[t], static_cast<int32_t>(std::trunc(value * 256))) << t;
  }
  EXPECT_EQ(k[0], 256);
  EXPECT_EQ(k[128], 160);
  EXPECT_EQ(k[256], 0);
  EXPECT_EQ(k[384], -32);
  EXPECT_EQ(k[512], 0);
}

TEST_F(Resample, BicubicToTheSameSizeAtPowersOfTwoKeepsEveryPixel) {
  Picture picture = MakePicture(8, 4, PatternPixel);
  EXPECT_TRUE(SamePicture(picture, Resized(picture, 8, 4, 31)));
}

TEST_F(Resample, BicubicDoublingInterpolatesHalfWayPixels) {
  // Output column 2j+1 lies half-way: taps at -1, 0, +1, +2 weigh
  // K(384), K(128), K(128), K(384) = -32, 160, 160, -32 (sum 256).
  Picture picture = MakePicture(8, 1, [](int x, int) { return Pack(10 + 30 * x, 200 - 25 * x, 77, 255); });
  Picture out = Resized(picture, 16, 1, 31);
  for (int j = 1; j + 2 < 8; ++j) {
    for (int c = 0; c < 3; ++c) {
      auto p = [&](int x) { return int64_t{Channel(picture.At(x, 0), c)}; };
      // One row: the vertical weights are K(256)=0 above and below, K(0)=256 on the row.
      int64_t sum = (-32 * p(j - 1) + 160 * p(j) + 160 * p(j + 1) - 32 * p(j + 2)) * 256 / 256;
      EXPECT_EQ(Channel(out.At(2 * j + 1, 0), c), std::clamp<int64_t>(sum / 256, 0, 255)) << j;
    }
    EXPECT_EQ(out.At(2 * j, 0), picture.At(j, 0));
  }
}

TEST_F(Resample, LanczosToTheSameSizeLosesOneLevelButKeepsOpaqueAlpha) {
  Picture picture = MakePicture(7, 5, [](int x, int y) { return Pack(x * 30, y * 50 + 1, 0, x == 0 ? 255 : 100 + y); });
  Picture expected = MakePicture(7, 5, [&](int x, int y) {
    uint32_t p = picture.At(x, y);
    auto level = [&](int c) {
      // Weight 65536 alone, total 65537: v * 65536 / 65537, applied twice.
      int64_t v = Channel(p, c);
      for (int pass = 0; pass < 2; ++pass) v = v * 65536 / 65537;
      return c == 3 && v > 252 ? 255 : static_cast<int>(v);
    };
    return Pack(level(0), level(1), level(2), level(3));
  });
  EXPECT_TRUE(SamePicture(expected, Resized(picture, 7, 5, 51)));
}

TEST_F(Resample, LanczosOfOnePixelTargetsAndStrongReductionsStaysInTheImage) {
  // A flat picture stays flat (less the one level the total loses), however
  // far the support reaches.
  Picture flat = MakePicture(300, 40, [](int, int) { return Pack(100, 150, 200, 255); });
  struct Size {
    int32_t mWidth, mHeight;
  };
  for (Size s : {Size{1, 1}, Size{2, 1}, Size{3, 40}, Size{1, 7}}) {
    Picture out = Resized(flat, s.mWidth, s.mHeight, 51);
    ASSERT_EQ(out.mWidth, s.mWidth);
    for (uint32_t p : out.mPixels) {
      EXPECT_NEAR(Channel(p, 0), 100, 2);
      EXPECT_NEAR(Channel(p, 1), 150, 2);
      EXPECT_NEAR(Channel(p, 2), 200, 2);
      EXPECT_EQ(Channel(p, 3), 255);
    }
  }
  // A one-pixel source spread out.
  Picture dot = MakePicture(1, 1, [](int, int) { return Pack(9, 90, 180, 255); });
  Picture wide = Resized(dot, 5, 3, 51);
  for (uint32_t p : wide.mPixels) EXPECT_NEAR(Channel(p, 1), 90, 2);
}

TEST_F(Resample, NearestScalesByIntegerAndOddFactors) {
  Picture picture = MakePicture(5, 3, PatternPixel);
  struct Size {
    int32_t mWidth, mHeight;
  };
  for (Size s : {Size{10, 6}, Size{15, 9}, Size{2, 1}, Size{1, 1}, Size{7, 5}}) {
    // 16.16 steps of the span over the count, positions rounded down.
    int64_t stepX = (int64_t{5} << 16) / s.mWidth;
    int64_t stepY = (int64_t{3} << 16) / s.mHeight;
    Picture expected = MakePicture(s.mWidth, s.mHeight, [&](int x, int y) {
      return picture.At((x * stepX) >> 16, (y * stepY) >> 16);
    });
    EXPECT_TRUE(SamePicture(expected, Resized(picture, s.mWidth, s.mHeight, 10))) << s.mWidth << "x" << s.mHeight;
  }
}

TEST_F(Resample, EveryModeGivesTheTargetSizeFromOnePixelSourcesAndTargets) {
  Picture dot = MakePicture(1, 1, [](int, int) { return Pack(1, 2, 3, 255); });
  Picture picture = MakePicture(9, 7, PatternPixel);
  for (int32_t mode : {10, 21, 31, 41, 51}) {
    for (const Picture* from : {&dot, &picture}) {
      for (auto [w, h] : {std::pair{1, 1}, std::pair{4, 3}, std::pair{13, 2}}) {
        Picture out = Resized(*from, w, h, mode);
        EXPECT_EQ(out.mWidth, w) << "mode " << mode;
        EXPECT_EQ(out.mHeight, h) << "mode " << mode;
      }
    }
  }
  // The point samplers start exactly at the rectangle's origin.
  for (int32_t mode : {10, 21, 31}) EXPECT_EQ(Resized(picture, 9, 7, mode).At(0, 0), picture.At(0, 0)) << mode;
}

// Named for the thread-checked runs: the smooth scaler posts worker jobs.
class ResamplePixelWorkers : public Resample {};

TEST_F(ResamplePixelWorkers, SmoothScalerIsTheSameForEveryWorkerCount) {
  Picture picture = MakePicture(37, 23, PatternPixel);
  struct Size {
    int32_t mWidth, mHeight;
  };
  // Widths above 2048 need a column table of their own size.
  const Size sizes[] = {{74, 46}, {111, 69}, {12, 7}, {2, 2}, {3000, 3}, {1, 5}};
  std::vector<Picture> single;
  for (Size s : sizes) single.push_back(Resized(picture, s.mWidth, s.mHeight, 41));
  for (int workers : {1, 2, 4}) {
    StartWorkers(workers);
    for (size_t i = 0; i < std::size(sizes); ++i) {
      EXPECT_TRUE(SamePicture(single[i], Resized(picture, sizes[i].mWidth, sizes[i].mHeight, 41)))
          << workers << " workers, size " << i;
    }
  }
}

TEST_F(Resample, SmoothScalerMatchesItsFourSampleAverageOnAFlatPicture) {
  Picture flat = MakePicture(50, 30, [](int, int) { return Pack(60, 120, 180, 255); });
  for (auto [w, h] : {std::pair{3, 2}, std::pair{100, 60}, std::pair{49, 29}}) {
    Picture out = Resized(flat, w, h, 41);
    // Inside the picture every sample is the flat colour; the last row
    // and column may mix with what lies beyond the image.
    for (int y = 0; y + 1 < h; ++y) {
      for (int x = 0; x + 1 < w; ++x) EXPECT_EQ(out.At(x, y), Pack(60, 120, 180, 255)) << x << "," << y;
    }
  }
}

TEST_F(Resample, TargetSizesAreTruncatedAndCheckedOnBothSides) {
  Picture picture = MakePicture(6, 6, PatternPixel);
  ObjectTreeNode* node = AddLayer("s", picture);
  ASSERT_EQ(ResizeImage(node, nullptr, 0, 0, 500, 500, 12399, 250, 0, 10), 0);
  EXPECT_EQ(RecordOf(node)->mWidth, 123);
  EXPECT_EQ(RecordOf(node)->mHeight, 2);

  for (auto [w, h] : {std::pair<int64_t, int64_t>{819300, 100}, {100, 819300}, {100, 50}, {int64_t{1} << 50, 100}}) {
    ObjectTreeNode* keep = AddLayer("k", picture);
    EXPECT_EQ(ResizeImage(keep, nullptr, 0, 0, 500, 500, w, h, 0, 31), -1) << w << "x" << h;
    EXPECT_TRUE(SizeReported());
    EXPECT_TRUE(SamePicture(picture, Read(keep)));
  }
}

TEST_F(Resample, DestinationBlocksAreReusedWhenTheyFit) {
  Picture picture = MakePicture(8, 8, PatternPixel);
  ObjectTreeNode* source = AddLayer("s", picture, 1);
  ObjectTreeNode* same = AddLayer("same", MakePicture(4, 4, PatternPixel));
  uint8_t* block = RecordOf(same)->mPixelAlloc;
  ASSERT_EQ(ResizeImage(source, same, 0, 0, 700, 700, 400, 400, 1, 10), 0);
  EXPECT_EQ(RecordOf(same)->mPixelAlloc, block);
  EXPECT_TRUE(SamePicture(MakePicture(4, 4, [&](int x, int y) { return picture.At(2 * x, 2 * y); }), Read(same)));
  EXPECT_EQ(RecordOf(same)->mHasAlpha, 1);

  ObjectTreeNode* shrink = AddLayer("shrink", MakePicture(6, 6, PatternPixel));
  RecordOf(shrink)->mShrinkInPlace = 1;
  block = RecordOf(shrink)->mPixelAlloc;
  ASSERT_EQ(ResizeImage(source, shrink, 0, 0, 700, 700, 200, 200, 1, 10), 0);
  EXPECT_EQ(RecordOf(shrink)->mPixelAlloc, block);
  EXPECT_EQ(RecordOf(shrink)->mBufferWidth, 2);
  EXPECT_TRUE(SamePicture(MakePicture(2, 2, [&](int x, int y) { return picture.At(4 * x, 4 * y); }), Read(shrink)));

  // Growing needs a new block; the source is untouched throughout.
  ASSERT_EQ(ResizeImage(source, shrink, 0, 0, 700, 700, 1600, 1600, 1, 10), 0);
  EXPECT_NE(RecordOf(shrink)->mPixelAlloc, block);
  EXPECT_EQ(RecordOf(shrink)->mWidth, 16);
  EXPECT_TRUE(SamePicture(picture, Read(source)));

  // The source as its own destination is read before it is replaced.
  ASSERT_EQ(ResizeImage(source, source, 0, 0, 700, 700, 800, 800, 1, 51), 0);
  EXPECT_EQ(RecordOf(source)->mWidth, 8);
}

// A region reaching millions of pixels past the picture on both sides
// scales so strongly that at most a column or two of the output lands on
// the picture; everything else stays 0, with every scaler.
TEST_F(Resample, RegionsFarOutsideThePictureReadOnlyInsideIt) {
  Picture picture = MakePicture(4, 4, [](int, int) { return Pack(40, 80, 120, 255); });
  const int64_t far = int64_t{1000000000};
  // 3000 source pixels per output pixel, output column 4096 on pixel 0.
  const int64_t x0 = -int64_t{3000} * 4096 * 100;
  const int64_t x1 = x0 + int64_t{3000} * (819200 - 100);
  const int64_t limits[][4] = {{x0, 0, x1, 300},
                               {-far, 0, far, 300},
                               {-far, -far, far, far},
                               {INT64_MIN / 2, 0, INT64_MAX / 2, 300},
                               {INT64_MIN, INT64_MIN, INT64_MAX, INT64_MAX}};
  for (int32_t mode : {10, 21, 31, 41}) {
    for (const auto& r : limits) {
      ObjectTreeNode* node = AddLayer("far", picture);
      ASSERT_EQ(ResizeImage(node, nullptr, r[0], r[1], r[2], r[3], 819200, 400, 0, mode), 0) << mode;
      Picture out = Read(node);
      ASSERT_EQ(out.mWidth, 8192);
      ASSERT_EQ(out.mHeight, 4);
      for (int y = 0; y < out.mHeight; ++y) {
        int touched = 0;
        for (int x = 0; x < out.mWidth; ++x) {
          uint32_t p = out.At(x, y);
          if (p == 0) continue;
          ++touched;
          // Only the picture's colour, or its mix with the nothing beyond.
          for (int c = 0; c < 3; ++c) EXPECT_LE(Channel(p, c), Channel(picture.At(0, 0), c)) << mode << " " << x;
        }
        EXPECT_LE(touched, 2) << "mode " << mode << " row " << y << " from " << r[0];
      }
    }
  }
}

TEST_F(Resample, AnUnknownModeInstallsAnUnwrittenBlock) {
  Picture picture = MakePicture(4, 4, PatternPixel);
  Picture out = Resized(picture, 3, 3, 99);
  EXPECT_TRUE(SamePicture(MakePicture(3, 3, [](int, int) { return 0u; }), out));
}

}  // namespace
