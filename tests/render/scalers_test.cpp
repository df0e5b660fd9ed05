#include "render/scalers.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <random>
#include <vector>

#include "core/platform_facts.h"
#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"
#include "shell/engine_reset.h"

namespace {

using Pixel = std::array<uint8_t, 4>;  // B, G, R, A

// A source image with the pixel block's spare row and pixel.
struct Image {
  int mWidth = 0;
  int mHeight = 0;
  std::vector<uint8_t> mBytes;
  Image(int width, int height, std::vector<Pixel> pixels) : mWidth(width), mHeight(height) {
    mBytes.assign(static_cast<size_t>(width) * (height + 1) * 4 + 4, 0);
    for (size_t i = 0; i < pixels.size(); ++i) std::memcpy(&mBytes[i * 4], pixels[i].data(), 4);
  }
  const uint8_t* Data() const { return mBytes.data(); }
};

Image RandomImage(int width, int height, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<Pixel> pixels(static_cast<size_t>(width) * height);
  for (Pixel& p : pixels) {
    for (uint8_t& b : p) b = static_cast<uint8_t>(random());
  }
  return Image(width, height, pixels);
}

// A destination prefilled with a value no scaler writes by chance, so that a
// pixel left unwritten shows.
std::vector<uint8_t> Destination(int width, int height, uint8_t fill = 0xCD) {
  return std::vector<uint8_t>(static_cast<size_t>(width) * height * 4, fill);
}

Pixel At(const std::vector<uint8_t>& pixels, int width, int x, int y) {
  Pixel p;
  std::memcpy(p.data(), &pixels[(static_cast<size_t>(y) * width + x) * 4], 4);
  return p;
}

constexpr Pixel kZero{0, 0, 0, 0};

class Scalers : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState();
    InitPixelPrimitives();
  }
  void TearDown() override { ResetEngineState(); }
  // 0: no worker runs, the poster does the work itself.
  void UseWorkers(int count) {
    StopPixelWorkers();
    if (count == 0) return;
    g_WorkerCount = static_cast<uint8_t>(count);
    ASSERT_EQ(StartPixelWorkers(), 0);
    ASSERT_EQ(GetPixelWorkerCount(), count);
  }
};

TEST_F(Scalers, WeightRemapPushesWeightsFromTheMiddle) {
  const std::pair<int, int> cases[] = {{0, 0},     {26, 0},    {27, 1},    {64, 48},   {100, 93},
                                       {128, 128}, {192, 208}, {229, 254}, {230, 255}, {255, 255}};
  for (auto [weight, remapped] : cases) EXPECT_EQ(GetBilinearWeightRemap(weight), remapped) << weight;
}

TEST_F(Scalers, NearestRepeatsPixelsWhenEnlarging) {
  const Pixel a{1, 2, 3, 4}, b{5, 6, 7, 8}, c{9, 10, 11, 12}, d{13, 14, 15, 16};
  Image src(2, 2, {a, b, c, d});
  auto dst = Destination(4, 4);
  ScaleImageNearestParallel(dst.data(), src.Data(), 0, 0, 1, 1, 2, 2, 4, 4);
  const Pixel expected[4][4] = {{a, a, b, b}, {a, a, b, b}, {c, c, d, d}, {c, c, d, d}};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(At(dst, 4, x, y), expected[y][x]) << x << "," << y;
  }
}

TEST_F(Scalers, NearestDropsPixelsWhenReducing) {
  // Step (5 << 16) / 3 = 109226: source columns 0, 1, 3.
  std::vector<Pixel> row;
  for (uint8_t i = 0; i < 5; ++i) row.push_back({i, i, i, i});
  Image src(5, 1, row);
  auto dst = Destination(3, 1);
  ScaleImageNearestParallel(dst.data(), src.Data(), 0, 0, 4, 0, 5, 1, 3, 1);
  EXPECT_EQ(At(dst, 3, 0, 0), (Pixel{0, 0, 0, 0}));
  EXPECT_EQ(At(dst, 3, 1, 0), (Pixel{1, 1, 1, 1}));
  EXPECT_EQ(At(dst, 3, 2, 0), (Pixel{3, 3, 3, 3}));
}

TEST_F(Scalers, NearestZeroesPixelsOutsideTheSource) {
  // Span -1..2 over a 2x1 image: columns -1 and 2 lie outside; rows 0..1 of
  // a one-row image: the second destination row lies outside.
  const Pixel a{10, 20, 30, 40}, b{50, 60, 70, 80};
  Image src(2, 1, {a, b});
  auto dst = Destination(4, 2);
  ScaleImageNearestParallel(dst.data(), src.Data(), -1, 0, 2, 1, 2, 1, 4, 2);
  const Pixel expected[2][4] = {{kZero, a, b, kZero}, {kZero, kZero, kZero, kZero}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(At(dst, 4, x, y), expected[y][x]) << x << "," << y;
  }
}

// Hand-computed bilinear cases; `plain` is ScaleImageBilinear's result and
// `parallel` that of the workers' arithmetic.
struct BilinearCase {
  const char* mName;
  int mSrcWidth, mSrcHeight;
  std::vector<Pixel> mSource;
  int32_t mX0, mY0, mX1, mY1, mDstWidth100, mDstHeight100;
  std::vector<Pixel> mPlain;
  std::vector<Pixel> mParallel;
};

void PrintTo(const BilinearCase& c, std::ostream* os) { *os << c.mName; }

std::vector<BilinearCase> BilinearCases() {
  const Pixel p0{0, 100, 200, 255}, p1{100, 0, 255, 55};
  const Pixel black{0, 0, 0, 0}, grey{200, 200, 200, 200}, white{255, 0, 255, 0};
  return {
      // px = 0, 128, 256: the middle column weighs T[128] = 128; the last
      // lands on x1 with weight 0.
      {"TwoToThreeColumns", 2, 1, {p0, p1}, 0, 0, 100, 0, 300, 100,
       {p0, {50, 50, 227, 155}, p1}, {p0, {50, 50, 227, 155}, p1}},
      // px = 0, 64, ...: the horizontal weight is remapped (T[64] = 48).
      {"HorizontalWeightRemapped", 2, 1, {black, grey}, 0, 0, 100, 0, 500, 100,
       {black, {37, 37, 37, 37}, {100, 100, 100, 100}, {162, 162, 162, 162}, grey},
       {black, {37, 37, 37, 37}, {100, 100, 100, 100}, {162, 162, 162, 162}, grey}},
      // py = 0, 64, ...: the vertical weight is not (64 stays 64).
      {"VerticalWeightNotRemapped", 1, 2, {black, grey}, 0, 0, 0, 100, 100, 500,
       {black, {50, 50, 50, 50}, {100, 100, 100, 100}, {150, 150, 150, 150}, grey},
       {black, {50, 50, 50, 50}, {100, 100, 100, 100}, {150, 150, 150, 150}, grey}},
      // A 2x2 -> 3x3: on the middle row plain mixes the truncated row mixes
      // (127, 127 -> 127; 255, 255 -> 255), the workers truncate each half
      // (63 + 63 = 126; 127 + 127 = 254).
      {"WorkersTruncateEachHalf", 2, 2, {white, black, white, black}, 0, 0, 100, 100, 300, 300,
       {white, {127, 0, 127, 0}, black, white, {127, 0, 127, 0}, black, white, {127, 0, 127, 0}, black},
       {white, {127, 0, 127, 0}, black, {254, 0, 254, 0}, {126, 0, 126, 0}, black, white, {127, 0, 127, 0}, black}},
      // A span starting half a pixel in (enlargement: the fraction is added
      // after the division): px = 128, 256, 384.
      {"FractionalStart", 3, 1, {black, grey, {0, 0, 0, 0}}, 50, 0, 150, 0, 300, 100,
       {{100, 100, 100, 100}, grey, {100, 100, 100, 100}}, {{100, 100, 100, 100}, grey, {100, 100, 100, 100}}},
      // Rows from -1: the first destination row lies above the source.
      {"RowAboveSourceIsZero", 1, 2, {grey, grey}, 0, -100, 0, 100, 100, 300,
       {kZero, grey, grey}, {kZero, grey, grey}},
      // Columns past the source's right edge.
      {"ColumnPastSourceIsZero", 2, 1, {grey, grey}, 0, 0, 300, 0, 400, 100,
       {grey, grey, kZero, kZero}, {grey, grey, kZero, kZero}},
  };
}

class BilinearScalers : public Scalers, public testing::WithParamInterface<BilinearCase> {};

TEST_P(BilinearScalers, MatchHandComputedPixels) {
  const BilinearCase& c = GetParam();
  Image src(c.mSrcWidth, c.mSrcHeight, c.mSource);
  int width = c.mDstWidth100 / 100;
  int height = c.mDstHeight100 / 100;
  using Scaler = void (*)(uint8_t*, const uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                          int32_t);
  const std::pair<Scaler, const std::vector<Pixel>*> scalers[] = {{ScaleImageBilinear, &c.mPlain},
                                                                  {ScaleImageBilinearFrameThread, &c.mPlain},
                                                                  {ScaleImageBilinearParallel, &c.mParallel}};
  for (size_t s = 0; s < std::size(scalers); ++s) {
    auto dst = Destination(width, height);
    scalers[s].first(dst.data(), src.Data(), c.mX0, c.mY0, c.mX1, c.mY1, c.mSrcWidth, c.mSrcHeight, c.mDstWidth100,
                     c.mDstHeight100);
    const std::vector<Pixel>& expected = *scalers[s].second;
    ASSERT_EQ(expected.size(), static_cast<size_t>(width) * height);
    for (int i = 0; i < width * height; ++i) {
      EXPECT_EQ(At(dst, width, i % width, i / width), expected[i]) << "scaler " << s << " pixel " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, BilinearScalers, testing::ValuesIn(BilinearCases()),
                         [](const testing::TestParamInfo<BilinearCase>& info) { return info.param.mName; });

TEST_F(Scalers, BilinearReadsNoNeighbourPastASourceWithoutSpareRow) {
  // A block of exactly width x height pixels (no spare row): the last column
  // and row have weight 0 and their neighbours are not read from outside.
  std::vector<uint8_t> exact(3 * 3 * 4);
  for (size_t i = 0; i < exact.size(); ++i) exact[i] = static_cast<uint8_t>(i * 7);
  auto plain = Destination(7, 5);
  auto workers = Destination(7, 5);
  ScaleImageBilinear(plain.data(), exact.data(), 0, 0, 200, 200, 3, 3, 700, 500);
  ScaleImageBilinearParallel(workers.data(), exact.data(), 0, 0, 200, 200, 3, 3, 700, 500);
  const Pixel corner{static_cast<uint8_t>(32 * 7), static_cast<uint8_t>(33 * 7), static_cast<uint8_t>(34 * 7),
                     static_cast<uint8_t>(35 * 7)};
  EXPECT_EQ(At(plain, 7, 6, 4), corner);
  EXPECT_EQ(At(workers, 7, 6, 4), corner);
}

TEST_F(Scalers, ZeroSizedOrMissingSourceClearsTheDestination) {
  auto dst = Destination(3, 2);
  ScaleImageBilinearParallel(dst.data(), nullptr, 0, 0, 100, 100, 2, 2, 300, 200);
  for (uint8_t byte : dst) ASSERT_EQ(byte, 0);
  dst = Destination(3, 2);
  ScaleImageNearestParallel(dst.data(), nullptr, 0, 0, 1, 1, 2, 2, 3, 2);
  for (uint8_t byte : dst) ASSERT_EQ(byte, 0);
}

// The same picture however many workers share the rows (0: the poster alone).
TEST_F(Scalers, ResultsDoNotDependOnTheWorkerCount) {
  Image src = RandomImage(173, 97, 7);
  struct Job {
    int mWidth, mHeight;
    bool mBilinear;
    int32_t mX0, mY0, mX1, mY1;
  };
  const Job jobs[] = {
      {250, 130, false, 0, 0, 172, 96},        {60, 41, false, 0, 0, 172, 96},
      {91, 77, false, -5, 3, 180, 99},         {250, 130, true, 0, 0, 17200, 9600},
      {60, 41, true, 0, 0, 17200, 9600},       {91, 77, true, -250, 130, 18000, 9900},
  };
  for (const Job& job : jobs) {
    std::vector<std::vector<uint8_t>> results;
    // The last run starts from other bytes: a pixel left unwritten shows.
    for (int workers : {0, 1, 2, 3, 4, 0}) {
      UseWorkers(workers);
      auto dst = Destination(job.mWidth, job.mHeight, results.size() == 5 ? 0x35 : 0xCD);
      if (job.mBilinear) {
        ScaleImageBilinearParallel(dst.data(), src.Data(), job.mX0, job.mY0, job.mX1, job.mY1, 173, 97,
                                   job.mWidth * 100, job.mHeight * 100);
      } else {
        ScaleImageNearestParallel(dst.data(), src.Data(), job.mX0, job.mY0, job.mX1, job.mY1, 173, 97, job.mWidth,
                                  job.mHeight);
      }
      results.push_back(std::move(dst));
    }
    for (size_t i = 1; i < results.size(); ++i) {
      EXPECT_EQ(results[i], results[0]) << job.mWidth << "x" << job.mHeight << (job.mBilinear ? " bilinear" : "")
                                        << " workers index " << i;
    }
  }
}

// The workers' kernel against the arithmetic written out per byte, on
// random pictures: enlarging, reducing, spans with fractions and outside
// parts. Both forms may differ by one per byte and no more.
TEST_F(Scalers, WorkerKernelMatchesItsArithmetic) {
  Image src = RandomImage(41, 29, 11);
  std::mt19937 random(5);
  for (int round = 0; round < 40; ++round) {
    int32_t x0 = static_cast<int32_t>(random() % 800) - 200;
    int32_t y0 = static_cast<int32_t>(random() % 800) - 200;
    int32_t x1 = x0 + static_cast<int32_t>(random() % 4000);
    int32_t y1 = y0 + static_cast<int32_t>(random() % 3000);
    int width = 1 + static_cast<int>(random() % 70);
    int height = 1 + static_cast<int>(random() % 50);
    auto plain = Destination(width, height);
    auto workers = Destination(width, height);
    ScaleImageBilinear(plain.data(), src.Data(), x0, y0, x1, y1, 41, 29, width * 100, height * 100);
    ScaleImageBilinearParallel(workers.data(), src.Data(), x0, y0, x1, y1, 41, 29, width * 100, height * 100);

    // The reference, written from the arithmetic: positions per column and
    // row, the edge neighbour read again from the edge.
    int64_t ix0 = x0 / 100, iy0 = y0 / 100;
    int64_t fx0 = ((x0 - ix0 * 100) * 256) / 100, fy0 = ((y0 - iy0 * 100) * 256) / 100;
    int64_t rx = x1 - x0, ry = y1 - y0;
    int64_t denX = width * 100 - 100 == 0 ? 100 : width * 100 - 100;
    int64_t denY = height * 100 - 100 == 0 ? 100 : height * 100 - 100;
    bool reduceX = width * 100 < rx, reduceY = height * 100 < ry;
    auto px = [&](int64_t c) { return ((reduceX ? fx0 : 0) + 256 * c) * rx / denX + (reduceX ? 0 : fx0); };
    auto py = [&](int64_t r) { return ((reduceY ? fy0 : 0) + 256 * r) * ry / denY + (reduceY ? 0 : fy0); };
    auto inside = [](int64_t count, int64_t limit, auto source, int64_t i) {
      int64_t start = 0, end = count;
      for (int64_t k = 0; k < count; ++k) {
        if (source(k) >= limit) {
          end = k;
          break;
        }
        if (source(k) < 0) start = k + 1;
      }
      return i >= start && i < end;
    };
    auto column = [&](int64_t c) { return ix0 + (px(c) >> 8); };
    auto row = [&](int64_t r) { return iy0 + (py(r) >> 8); };
    bool anyColumn = false;
    for (int c = 0; c < width; ++c) anyColumn = anyColumn || inside(width, 41, column, c);
    for (int r = 0; r < height; ++r) {
      for (int c = 0; c < width; ++c) {
        Pixel expected = kZero;
        if (anyColumn && inside(width, 41, column, c) && inside(height, 29, row, r)) {
          int64_t x = column(c), y = row(r);
          int64_t xn = std::min<int64_t>(x + 1, 40), yn = std::min<int64_t>(y + 1, 28);
          uint32_t wx = GetBilinearWeightRemap(static_cast<int>(px(c) & 255));
          uint32_t wy = static_cast<uint32_t>(py(r) & 255);
          auto byte = [&](int64_t sx, int64_t sy, int b) { return uint32_t{src.mBytes[(sy * 41 + sx) * 4 + b]}; };
          for (int b = 0; b < 4; ++b) {
            uint32_t t = byte(x, y, b) * (256 - wx) + byte(xn, y, b) * wx;
            uint32_t u = byte(x, yn, b) * (256 - wx) + byte(xn, yn, b) * wx;
            expected[b] = static_cast<uint8_t>(std::min<uint32_t>(255, ((t * (256 - wy)) >> 16) + ((u * wy) >> 16)));
          }
        }
        ASSERT_EQ(At(workers, width, c, r), expected) << "round " << round << " at " << c << "," << r;
        Pixel p = At(plain, width, c, r);
        for (int b = 0; b < 4; ++b) ASSERT_LE(std::abs(p[b] - expected[b]), 1) << "round " << round;
      }
    }
  }
}

}  // namespace
