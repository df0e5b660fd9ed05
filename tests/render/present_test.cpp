#include "render/present.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <ostream>
#include <vector>

#include "core/process_state.h"
#include "core/settings.h"
#include "image/pixel_primitives.h"
#include "platform/window.h"
#include "render/scalers.h"
#include "shell/engine_reset.h"
#include "shell/startup.h"

namespace {

std::vector<PlatformBlit> g_blits;

bool RecordBlit(PlatformWindow*, const PlatformBlit& blit) {
  g_blits.push_back(blit);
  return true;
}

// A composed frame: the record of a shown layer set with its own pixels (and
// the pixel block's spare row).
struct Frame {
  LayerRecord mRecord;
  std::vector<uint8_t> mPixels;
  Frame(int width, int height, uint32_t seed = 1) {
    mPixels.resize(static_cast<size_t>(width) * (height + 1) * 4 + 4);
    uint32_t value = seed;
    for (size_t i = 0; i < static_cast<size_t>(width) * height * 4; ++i) {
      value = value * 1103515245u + 12345u;
      mPixels[i] = static_cast<uint8_t>(value >> 16);
    }
    mRecord.mWidth = width;
    mRecord.mHeight = height;
    mRecord.mPixels = mPixels.data();
    SetChanged(0, 0, width - 1, height - 1);
  }
  void SetChanged(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    mRecord.mChangedRect[0] = left;
    mRecord.mChangedRect[1] = top;
    mRecord.mChangedRect[2] = right;
    mRecord.mChangedRect[3] = bottom;
  }
};

class Present : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState();
    InitPixelPrimitives();
    g_blits.clear();
    SetPresentBlitRoutine(RecordBlit);
    g_PaintOffset = {7, 7};
  }
  void TearDown() override {
    g_blits.clear();
    ResetEngineState();
  }
  static WindowObject Window(int index) {
    WindowObject window;
    window.mIndex = index;
    return window;
  }
  // Present size and back buffer (filled with a sentinel), centring area.
  static void Display(int presentWidth, int presentHeight, int configuredWidth, int configuredHeight) {
    g_PresentWidth = presentWidth;
    g_PresentHeight = presentHeight;
    g_ConfiguredWidth = configuredWidth;
    g_ConfiguredHeight = configuredHeight;
    ASSERT_TRUE(AllocBackBuffer(presentWidth, presentHeight));
    std::memset(g_BackBuffer, 0xCD, BackBufferBytes());
  }
  static size_t BackBufferBytes() { return static_cast<size_t>(g_PresentWidth) * g_PresentHeight * 4; }
  static std::vector<uint8_t> BackBufferCopy() { return {g_BackBuffer, g_BackBuffer + BackBufferBytes()}; }
};

void ExpectBlit(const PlatformBlit& blit, const uint8_t* pixels, std::array<int, 2> image, std::array<int, 4> src,
                std::array<int, 4> dst) {
  EXPECT_EQ(blit.mPixels, pixels);
  EXPECT_EQ((std::array<int, 2>{blit.mImageWidth, blit.mImageHeight}), image);
  EXPECT_EQ((std::array<int, 4>{blit.mSrcX, blit.mSrcY, blit.mSrcWidth, blit.mSrcHeight}), src);
  EXPECT_EQ((std::array<int, 4>{blit.mDstX, blit.mDstY, blit.mDstWidth, blit.mDstHeight}), dst);
}

// --- The 1:1 path ---

struct DirectCase {
  const char* mName;
  int mIndex;
  uint8_t mFullScreen, mMaximized;
  int mFrameWidth, mFrameHeight;
};
void PrintTo(const DirectCase& c, std::ostream* os) { *os << c.mName; }

class DirectPresent : public Present, public testing::WithParamInterface<DirectCase> {};

TEST_P(DirectPresent, CopiesTheChangedRectangleAtTheLayerSetsPosition) {
  const DirectCase& c = GetParam();
  Display(8, 6, 12, 10);
  g_FullScreen = c.mFullScreen;
  g_Maximized = c.mMaximized;
  WindowObject window = Window(c.mIndex);
  Frame frame(c.mFrameWidth, c.mFrameHeight);
  frame.mRecord.mX = 3;
  frame.mRecord.mY = 2;
  frame.SetChanged(2, 1, 4, 2);
  auto backBuffer = BackBufferCopy();
  PresentWindowFrame(&window, &frame.mRecord);
  ASSERT_EQ(g_blits.size(), 1u);
  ExpectBlit(g_blits[0], frame.mPixels.data(), {c.mFrameWidth, c.mFrameHeight}, {2, 1, 3, 2}, {5, 3, 3, 2});
  // The main window's picture is at (0, 0) now; a sub-window's present
  // leaves the main window's offset alone.
  int32_t offset = c.mIndex == 0 ? 0 : 7;
  EXPECT_EQ(g_PaintOffset.mX, offset);
  EXPECT_EQ(g_PaintOffset.mY, offset);
  EXPECT_EQ(BackBufferCopy(), backBuffer);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DirectPresent,
    testing::Values(DirectCase{"MainWindowAtPresentSize", 0, 0, 0, 8, 6},
                    DirectCase{"SubWindowOfAnotherSize", 1, 0, 0, 6, 5},
                    DirectCase{"SubWindowWhileFullScreen", 2, 1, 0, 6, 5},
                    DirectCase{"SubWindowWhileMaximised", 3, 0, 1, 8, 6}),
    [](const testing::TestParamInfo<DirectCase>& info) { return info.param.mName; });

TEST_F(Present, NothingIsDrawnForAnEmptyRectangleAZeroPresentSizeOrAfterQuit) {
  struct Case {
    const char* mName;
    std::array<int64_t, 4> mRect;
    int mPresentWidth, mPresentHeight;
    bool mQuit;
  };
  const Case cases[] = {
      {"RightLeftOfLeft", {3, 0, 2, 5}, 8, 6, false}, {"BottomAboveTop", {0, 3, 5, 2}, 8, 6, false},
      {"NoPresentWidth", {0, 0, 7, 5}, 0, 6, false},  {"NoPresentHeight", {0, 0, 7, 5}, 8, 0, false},
      {"QuitFlag", {0, 0, 7, 5}, 8, 6, true},
  };
  for (const Case& c : cases) {
    for (uint8_t fullScreen : {0, 1}) {
      g_FullScreen = fullScreen;
      g_PresentWidth = c.mPresentWidth;
      g_PresentHeight = c.mPresentHeight;
      g_QuitFlag.store(c.mQuit ? 1 : 0);
      WindowObject window = Window(0);
      Frame frame(4, 3);
      frame.SetChanged(c.mRect[0], c.mRect[1], c.mRect[2], c.mRect[3]);
      PresentWindowFrame(&window, &frame.mRecord);
      EXPECT_TRUE(g_blits.empty()) << c.mName;
      EXPECT_EQ(g_PaintOffset.mX, 7) << c.mName;
      EXPECT_EQ(g_PaintOffset.mY, 7) << c.mName;
      g_blits.clear();
    }
  }
  g_QuitFlag.store(0);
}

// --- The scaled paths: windowed at another size, full screen, maximised ---

enum class Scaler { kStretch, kNearest, kBilinear, kBilinearWorkers };

struct ScaledCase {
  const char* mName;
  uint8_t mFullScreen, mMaximized, mScalingMode, mBilinear, mSse, mThreaded;
  Scaler mExpected;
  int mDstX, mDstY;  // where the picture lands
};
void PrintTo(const ScaledCase& c, std::ostream* os) { *os << c.mName; }

class ScaledPresent : public Present, public testing::WithParamInterface<ScaledCase> {};

// Present 8x6 centred in 11x10: offset (1, 2), the odd pixel on the right.
// The 4x3 frame sits at (2, 1), which only the windowed path applies.
TEST_P(ScaledPresent, ScalesIntoTheBackBufferAndPlacesThePicture) {
  const ScaledCase& c = GetParam();
  Display(8, 6, 11, 10);
  g_FullScreen = c.mFullScreen;
  g_Maximized = c.mMaximized;
  g_ScalingMode = c.mScalingMode;
  g_CpuScaleBilinear = c.mBilinear;
  g_CpuFeatures[kCpuSse] = c.mSse;
  g_AllowSse = c.mSse;
  g_ThreadedStep.store(c.mThreaded);
  WindowObject window = Window(0);
  // Columns alternate full and empty: the plain and the workers' bilinear
  // arithmetic give different bytes on it.
  Frame frame(4, 3);
  for (size_t i = 0; i < 12; ++i) {
    uint8_t v = i % 2 == 0 ? 255 : 0;
    std::memset(&frame.mPixels[i * 4], v, 4);
  }
  frame.mRecord.mX = 2;
  frame.mRecord.mY = 1;
  frame.SetChanged(1, 1, 2, 2);  // the caller sets the whole area; any works
  auto before = BackBufferCopy();
  PresentWindowFrame(&window, &frame.mRecord);

  bool windowed = c.mFullScreen == 0 && c.mMaximized == 0;
  EXPECT_EQ(g_PaintOffset.mX, windowed ? 0 : 1);
  EXPECT_EQ(g_PaintOffset.mY, windowed ? 0 : 2);
  ASSERT_EQ(g_blits.size(), 1u);
  if (c.mExpected == Scaler::kStretch) {
    ExpectBlit(g_blits[0], frame.mPixels.data(), {4, 3}, {0, 0, 4, 3}, {c.mDstX, c.mDstY, 8, 6});
    EXPECT_EQ(BackBufferCopy(), before);
    return;
  }
  ExpectBlit(g_blits[0], g_BackBuffer, {8, 6}, {0, 0, 8, 6}, {c.mDstX, c.mDstY, 8, 6});
  std::vector<uint8_t> expected(BackBufferBytes());
  switch (c.mExpected) {
    case Scaler::kNearest:
      ScaleImageNearestParallel(expected.data(), frame.mPixels.data(), 0, 0, 3, 2, 4, 3, 8, 6);
      break;
    case Scaler::kBilinear:
      ScaleImageBilinear(expected.data(), frame.mPixels.data(), 0, 0, 300, 200, 4, 3, 800, 600);
      break;
    default:
      ScaleImageBilinearParallel(expected.data(), frame.mPixels.data(), 0, 0, 300, 200, 4, 3, 800, 600);
      break;
  }
  EXPECT_EQ(BackBufferCopy(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScaledPresent,
    testing::Values(
        // name, full screen, maximised, scaling mode, bilinear, SSE, threaded step
        ScaledCase{"WindowedBilinear", 0, 0, 0, 1, 0, 0, Scaler::kBilinear, 2, 1},
        ScaledCase{"WindowedBilinearOnWorkers", 0, 0, 0, 1, 1, 0, Scaler::kBilinearWorkers, 2, 1},
        ScaledCase{"WindowedThreadedStepUsesItsOwnScaler", 0, 0, 0, 1, 1, 1, Scaler::kBilinear, 2, 1},
        ScaledCase{"WindowedNearest", 0, 0, 0, 0, 1, 0, Scaler::kNearest, 2, 1},
        ScaledCase{"FullScreenScaledBilinear", 1, 0, 1, 1, 0, 0, Scaler::kBilinear, 1, 2},
        ScaledCase{"FullScreenScaledBilinearOnWorkers", 1, 0, 3, 1, 1, 0, Scaler::kBilinearWorkers, 1, 2},
        ScaledCase{"FullScreenScaledNearest", 1, 0, 2, 0, 1, 0, Scaler::kNearest, 1, 2},
        ScaledCase{"FullScreenUnscaledNearestIsStretched", 1, 0, 0, 0, 0, 0, Scaler::kStretch, 1, 2},
        ScaledCase{"FullScreenUnscaledBilinearIsStretched", 1, 0, 0, 1, 1, 0, Scaler::kStretch, 1, 2},
        ScaledCase{"MaximisedAlwaysBilinear", 0, 1, 0, 0, 0, 0, Scaler::kBilinear, 1, 2},
        ScaledCase{"MaximisedScaledNearestConfigured", 0, 1, 2, 0, 1, 0, Scaler::kBilinearWorkers, 1, 2},
        ScaledCase{"MaximisedFullScreenIsFullScreen", 1, 1, 0, 0, 0, 0, Scaler::kStretch, 1, 2}),
    [](const testing::TestParamInfo<ScaledCase>& info) { return info.param.mName; });

// The two bilinear forms really differ on the frame the table uses, so the
// table tells them apart.
TEST_F(Present, TheTableFrameSeparatesTheBilinearForms) {
  Frame frame(4, 3);
  for (size_t i = 0; i < 12; ++i) std::memset(&frame.mPixels[i * 4], i % 2 == 0 ? 255 : 0, 4);
  std::vector<uint8_t> plain(8 * 6 * 4), workers(8 * 6 * 4);
  ScaleImageBilinear(plain.data(), frame.mPixels.data(), 0, 0, 300, 200, 4, 3, 800, 600);
  ScaleImageBilinearParallel(workers.data(), frame.mPixels.data(), 0, 0, 300, 200, 4, 3, 800, 600);
  EXPECT_NE(plain, workers);
}

// --- On a real window surface (the offscreen video driver) ---

class PresentOnSurface : public Present {
 protected:
  void SetUp() override {
    Present::SetUp();
    SetPresentBlitRoutine(nullptr);
    PlatformWindowDesc desc;
    desc.mWidth = 12;
    desc.mHeight = 10;
    mWindow = Window(0);
    mWindow.mWindow = CreatePlatformWindow(desc);
    if (mWindow.mWindow == nullptr) GTEST_SKIP() << "no video driver";
    ASSERT_TRUE(FillPlatformWindow(mWindow.mWindow, 0x000000));
  }
  void TearDown() override {
    DestroyPlatformWindow(mWindow.mWindow);
    Present::TearDown();
  }
  std::vector<uint8_t> Surface() {
    std::vector<uint8_t> pixels(12 * 10 * 4);
    EXPECT_TRUE(ReadPlatformWindowPixels(mWindow.mWindow, 0, 0, 12, 10, pixels.data()));
    return pixels;
  }
  WindowObject mWindow;
};

// B, G, R of a frame pixel, X of the surface ignored.
std::array<uint8_t, 3> Colour(const uint8_t* pixels, int width, int x, int y) {
  const uint8_t* p = pixels + (static_cast<size_t>(y) * width + x) * 4;
  return {p[0], p[1], p[2]};
}

TEST_F(PresentOnSurface, DirectPathUpdatesOnlyTheChangedRectangle) {
  Display(12, 10, 12, 10);
  Frame first(12, 10, 1);
  PresentWindowFrame(&mWindow, &first.mRecord);
  auto shown = Surface();
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 12; ++x) {
      ASSERT_EQ(Colour(shown.data(), 12, x, y), Colour(first.mPixels.data(), 12, x, y)) << x << "," << y;
    }
  }
  Frame second(12, 10, 2);
  second.SetChanged(2, 3, 5, 4);
  PresentWindowFrame(&mWindow, &second.mRecord);
  shown = Surface();
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 12; ++x) {
      bool changed = x >= 2 && x <= 5 && y >= 3 && y <= 4;
      const Frame& source = changed ? second : first;
      ASSERT_EQ(Colour(shown.data(), 12, x, y), Colour(source.mPixels.data(), 12, x, y)) << x << "," << y;
    }
  }
}

TEST_F(PresentOnSurface, LetterboxedStretchIsCentredWithBlackBorders) {
  // A 3x2 frame doubled to 6x4 and centred in 12x10: offset (3, 3).
  Display(6, 4, 12, 10);
  g_FullScreen = 1;
  g_ScalingMode = 0;
  g_CpuScaleBilinear = 0;
  Frame frame(3, 2);
  PresentWindowFrame(&mWindow, &frame.mRecord);
  EXPECT_EQ(g_PaintOffset.mX, 3);
  EXPECT_EQ(g_PaintOffset.mY, 3);
  auto shown = Surface();
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 12; ++x) {
      bool inside = x >= 3 && x < 9 && y >= 3 && y < 7;
      std::array<uint8_t, 3> expected{0, 0, 0};
      if (inside) expected = Colour(frame.mPixels.data(), 3, (x - 3) / 2, (y - 3) / 2);
      ASSERT_EQ(Colour(shown.data(), 12, x, y), expected) << x << "," << y;
    }
  }
}

TEST_F(PresentOnSurface, ScaledWindowShowsTheBackBuffer) {
  // Main window frame 3x2 shown at 6x4 with nearest scaling at (0, 0).
  Display(6, 4, 12, 10);
  g_CpuScaleBilinear = 0;
  Frame frame(3, 2);
  PresentWindowFrame(&mWindow, &frame.mRecord);
  auto shown = Surface();
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      ASSERT_EQ(Colour(shown.data(), 12, x, y), Colour(frame.mPixels.data(), 3, x / 2, y / 2)) << x << "," << y;
      ASSERT_EQ(Colour(shown.data(), 12, x, y), Colour(g_BackBuffer, 6, x, y));
    }
  }
  EXPECT_EQ(Colour(shown.data(), 12, 6, 0), (std::array<uint8_t, 3>{0, 0, 0}));
}

TEST_F(PresentOnSurface, BlitsAreClippedToTheImageAndTheSurface) {
  // A sub-window's changed rectangle reaching past its frame, placed past
  // the surface.
  Display(12, 10, 12, 10);
  mWindow.mIndex = 1;
  Frame frame(4, 4);
  frame.mRecord.mX = 10;
  frame.mRecord.mY = -1;
  frame.SetChanged(0, 0, 40, 40);
  PresentWindowFrame(&mWindow, &frame.mRecord);
  auto shown = Surface();
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 12; ++x) {
      std::array<uint8_t, 3> expected{0, 0, 0};
      if (x >= 10 && y < 3) expected = Colour(frame.mPixels.data(), 4, x - 10, y + 1);
      ASSERT_EQ(Colour(shown.data(), 12, x, y), expected) << x << "," << y;
    }
  }
}

}  // namespace
