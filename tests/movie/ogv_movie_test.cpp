// The Theora movie on a layer: the frame the frame step picks for the time,
// the pixels after the colour conversion, odd sizes and layers of another
// size, stopping and restarting, and the files and sizes that are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "layer/layer_record.h"
#include "movie/ogv_movie.h"
#include "platform/theora_lib.h"
#include "support/fake_clock.h"
#include "support/image_fixtures.h"
#include "support/movie_fixtures.h"
#include "support/script_runner.h"
#include "support/sound_fixtures.h"

namespace {

constexpr uint32_t kCanary = 0xFF112233u;

GameFile LayerPicture(const std::string& name, int width, int height) {
  BmpFixture bmp;
  bmp.mWidth = width;
  bmp.mHeight = height;
  bmp.mBits = 32;
  bmp.mPixels.assign(static_cast<size_t>(width) * height, kCanary);
  std::vector<uint8_t> bytes = WriteBmp(bmp);
  return {name, Bytes(bytes.begin(), bytes.end())};
}

LayerRecord* MovieLayer() {
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, "W0/mv", kPathLeaf);
  return LayerRecordOf(node);
}

uint32_t Pixel(const LayerRecord* record, int x, int y) {
  uint32_t pixel = 0;
  std::memcpy(&pixel, record->mPixels + (static_cast<size_t>(y) * record->mWidth + x) * 4, 4);
  return pixel;
}

// The largest difference of the three colour channels.
int ColourDistance(uint32_t a, uint32_t b) {
  int worst = 0;
  for (int shift : {0, 8, 16}) {
    int d = std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
    worst = std::max(worst, d);
  }
  return worst;
}

// The worst channel difference over the movie's picture area of the layer
// against frame `frame` of the spec; -1 when a pixel is not opaque.
int WorstFrameError(const TheoraMovieSpec& spec, int frame, const LayerRecord* record) {
  int worst = 0;
  int width = std::min(spec.mWidth, record->mWidth);
  int height = std::min(spec.mHeight, record->mHeight);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint32_t pixel = Pixel(record, x, y);
      if ((pixel >> 24) != 0xFF) return -1;
      worst = std::max(worst, ColourDistance(pixel, TheoraSpecPixel(spec, frame, x, y)));
    }
  }
  return worst;
}

// A game whose layer "mv" (layerWidth x layerHeight) gets movie.ogv in its
// first frame, with `more` after it; the clock stands at 1000 ms then.
struct OgvGame {
  FakeClock mClock{1000};
  ScriptRunner mGame;
  OgvGame(const std::vector<uint8_t>& movie, int layerWidth, int layerHeight,
          const std::function<void(ScriptAssembler&)>& more = nullptr) {
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    code.Op("layer", {{"path", Str("mv")}, {"order", Num(1)}, {"file", Str("pic.bmp")}});
    code.Op("ogv", {{"path", Str("mv")}, {"file", Str("Movie.OGV")}});
    code.Op("wait", {{"frames", Num(1)}});
    if (more) more(code);
    code.Op("wait", {{"frames", Num(1000)}});
    mGame.Add(code);
    mGame.mEnv.Write(LayerPicture("pic.bmp", layerWidth, layerHeight));
    if (!movie.empty()) mGame.mEnv.Write(GameFile{"movie.ogv", Bytes(movie.begin(), movie.end())});
    EXPECT_TRUE(mGame.Load());
  }
  // The frame step's movie part at `ms` after the open.
  void TickAt(uint32_t ms) {
    mClock.Set(1000 + ms);
    TickOgvMovie();
  }
};

TheoraMovieSpec TenColours() {
  TheoraMovieSpec spec;
  spec.mWidth = 24;
  spec.mHeight = 12;
  spec.mFrames = 10;
  spec.mFrameColours = {0x102030, 0xF01010, 0x10F010, 0x1010F0, 0xF0F0F0,
                        0x202020, 0x808080, 0xC08040, 0x40C080, 0x8040C0};
  spec.mKeyFrameInterval = 4;
  return spec;
}

struct FrameTimeCase {
  const char* mName;
  uint32_t mMs;
  uint32_t mFrame;
};

class OgvFrameTimeTest : public testing::TestWithParam<FrameTimeCase> {};

TEST_P(OgvFrameTimeTest, TheFrameForTheElapsedTimeReachesTheLayer) {
  const FrameTimeCase& c = GetParam();
  TheoraMovieSpec spec = TenColours();
  OgvGame game(MakeTheoraMovie(spec), 24, 12);
  game.mGame.Frame();
  ASSERT_EQ(g_OgvMovie.mPlaying, 1) << g_LastErrorText;
  EXPECT_EQ(g_OgvMovie.mTotalFrames, 10);
  game.TickAt(c.mMs);
  EXPECT_EQ(g_OgvMovie.mFrame, c.mFrame);
  EXPECT_EQ(g_OgvMovie.mElapsed, c.mMs);
  EXPECT_LE(WorstFrameError(spec, static_cast<int>(c.mFrame), MovieLayer()), 2);
}

INSTANTIATE_TEST_SUITE_P(ThirtyPerSecond, OgvFrameTimeTest,
                         testing::Values(FrameTimeCase{"AtTheOpen", 0, 0}, FrameTimeCase{"JustBeforeTheSecond", 33, 0},
                                         FrameTimeCase{"TheSecond", 34, 1}, FrameTimeCase{"ATenthOfASecond", 100, 3},
                                         FrameTimeCase{"BackwardsAfterAJump", 299, 8},
                                         FrameTimeCase{"TheLast", 333, 9}),
                         [](const testing::TestParamInfo<FrameTimeCase>& info) { return info.param.mName; });

TEST(OgvMovieTest, FramesMayGoBackAndForthAcrossKeyFrames) {
  TheoraMovieSpec spec = TenColours();
  OgvGame game(MakeTheoraMovie(spec), 24, 12);
  game.mGame.Frame();
  for (uint32_t ms : {300u, 34u, 200u, 167u, 0u, 333u, 100u}) {
    game.TickAt(ms);
    uint32_t frame = ms * 30 / 1000;
    ASSERT_EQ(g_OgvMovie.mFrame, frame) << ms;
    EXPECT_LE(WorstFrameError(spec, static_cast<int>(frame), MovieLayer()), 2) << ms;
  }
}

// The decoder writes a frame's picture once: asking again for the frame the
// rows already hold writes nothing, while another frame or the other row
// order writes it anew.
std::vector<uint8_t> g_DecoderMovie;
std::vector<uint8_t> g_DecoderRows;
int g_DecoderRowWrites = 0;
uint32_t DecoderRead(const uint8_t*, uint8_t* destination, uint32_t offset, uint32_t count) {
  if (offset >= g_DecoderMovie.size()) return 0;
  uint32_t n = std::min<uint32_t>(count, static_cast<uint32_t>(g_DecoderMovie.size() - offset));
  std::memcpy(destination, g_DecoderMovie.data() + offset, n);
  return n;
}
uint32_t DecoderSize() { return static_cast<uint32_t>(g_DecoderMovie.size()); }
uint8_t* DecoderRow(void*, int32_t row) {
  ++g_DecoderRowWrites;
  return g_DecoderRows.data() + static_cast<size_t>(row) * 24 * 4;
}
void DecoderFrameSize(void*, int32_t, int32_t) {}

TEST(OgvMovieTest, TheDecoderWritesARepeatedFrameOnce) {
  TheoraMovieSpec spec = TenColours();
  g_DecoderMovie = MakeTheoraMovie(spec);
  g_DecoderRows.assign(static_cast<size_t>(24) * 12 * 4, 0);
  const TheoraLibApi* api = LoadTheoraLibrary();
  ASSERT_NE(api, nullptr);
  TheoraVideo* video = api->m_create();
  api->m_setvrevers(video, 1);
  ASSERT_EQ(api->m_load(video, g_DecoderMovie.data(), DecoderRead, DecoderSize, nullptr, DecoderRow,
                        DecoderFrameSize, 0),
            0);
  struct Step {
    int32_t mFrame;
    int32_t mReverse;
    int mRowsWritten;
  };
  const Step steps[] = {{3, 1, 12}, {3, 1, 0}, {3, 1, 0}, {4, 1, 12}, {3, 1, 12}, {3, 0, 12}, {3, 0, 0}};
  for (const Step& step : steps) {
    api->m_setvrevers(video, step.mReverse);
    g_DecoderRowWrites = 0;
    EXPECT_EQ(api->m_decodeframe(video, step.mFrame), 1) << step.mFrame;
    EXPECT_EQ(g_DecoderRowWrites, step.mRowsWritten) << "frame " << step.mFrame << " reverse " << step.mReverse;
    uint32_t pixel = 0;
    std::memcpy(&pixel, g_DecoderRows.data() + (5 * 24 + 7) * 4, 4);
    EXPECT_LE(ColourDistance(pixel, 0xFF000000u | TheoraSpecPixel(spec, step.mFrame, 7, 5)), 2) << step.mFrame;
  }
  api->m_free(video);
  UnloadTheoraLibrary();
}

TEST(OgvMovieTest, AfterTheLastFrameTheMovieEndsAndTheLayerKeepsIt) {
  TheoraMovieSpec spec = TenColours();
  OgvGame game(MakeTheoraMovie(spec), 24, 12, [](ScriptAssembler& code) {
    code.Op("ogv_query", {{"playing", Num(1)}, {"out", Var(kRunInt)}});
  });
  game.mGame.Frame();
  game.TickAt(320);
  ASSERT_EQ(g_OgvMovie.mFrame, 9u);
  EXPECT_EQ(CountTheoraLibraryLoads(), 1);
  game.TickAt(334);
  EXPECT_EQ(g_OgvMovie.mPlaying, 0);
  EXPECT_EQ(g_OgvMovie.mLayer, nullptr);
  EXPECT_EQ(g_OgvMovie.mVideo, nullptr);
  EXPECT_EQ(g_OgvMovie.mData, nullptr);
  EXPECT_EQ(CountTheoraLibraryLoads(), 0);
  EXPECT_LE(WorstFrameError(spec, 9, MovieLayer()), 2);
  game.TickAt(5000);
  EXPECT_LE(WorstFrameError(spec, 9, MovieLayer()), 2);
}

// Flat colours and the primaries, each one frame: the conversion back to
// B, G, R stays within 2 of the colour encoded.
TEST(OgvMovieTest, ColoursComeBackWithinTwo) {
  TheoraMovieSpec spec;
  spec.mWidth = 16;
  spec.mHeight = 16;
  spec.mFrameColours = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00,
                        0x00FFFF, 0xFF00FF, 0x7F7F7F, 0x123456, 0xFEDCBA, 0x336699};
  spec.mFrames = static_cast<int>(spec.mFrameColours.size());
  OgvGame game(MakeTheoraMovie(spec), 16, 16);
  game.mGame.Frame();
  for (int frame = 0; frame < spec.mFrames; ++frame) {
    game.TickAt(static_cast<uint32_t>(frame * 1000 / 30 + 1));
    ASSERT_EQ(g_OgvMovie.mFrame, static_cast<uint32_t>(frame));
    EXPECT_LE(WorstFrameError(spec, frame, MovieLayer()), 2) << std::hex << spec.mFrameColours[frame];
  }
}

struct SizeCase {
  const char* mName;
  int mWidth;
  int mHeight;
  int mRate;
  int mLayerWidth;
  int mLayerHeight;
};

class OgvSizeTest : public testing::TestWithParam<SizeCase> {};

// Odd picture sizes and rates, into layers as large as the movie, smaller
// (the picture is cut at the layer's edges) and larger (the rest of the
// layer keeps its pixels; the rows follow the layer's pitch).
TEST_P(OgvSizeTest, ThePictureFillsTheLayerWhereTheyOverlap) {
  const SizeCase& c = GetParam();
  TheoraMovieSpec spec;
  spec.mWidth = c.mWidth;
  spec.mHeight = c.mHeight;
  spec.mRateNumerator = c.mRate;
  spec.mFrames = 6;
  // Blocks of 8 x 8 pixels in colours that change with the frame.
  spec.mPixel = [](int frame, int x, int y) {
    uint32_t colours[] = {0x2040E0, 0xE04020, 0x20E040, 0xF0F0F0};
    return colours[((x / 8) + (y / 8) + frame) % 4];
  };
  OgvGame game(MakeTheoraMovie(spec), c.mLayerWidth, c.mLayerHeight);
  game.mGame.Frame();
  ASSERT_EQ(g_OgvMovie.mPlaying, 1);
  EXPECT_EQ(g_OgvMovie.OGV_SX, c.mWidth);
  EXPECT_EQ(g_OgvMovie.OGV_SY, c.mHeight);
  // The frame step picks 30 frames a second whatever the movie's own rate.
  game.TickAt(100);
  ASSERT_EQ(g_OgvMovie.mFrame, 3u);
  const LayerRecord* record = MovieLayer();
  ASSERT_NE(record, nullptr);
  ASSERT_EQ(record->mWidth, c.mLayerWidth);
  // Each pixel is its block's colour: the colours lie far apart, so a pixel
  // from another place or row would be far off, while the coding's ringing
  // at the block edges stays small.
  for (int y = 0; y < std::min(c.mHeight, c.mLayerHeight); ++y) {
    for (int x = 0; x < std::min(c.mWidth, c.mLayerWidth); ++x) {
      if (x % 8 == 0 || x % 8 == 7 || y % 8 == 0 || y % 8 == 7) continue;
      ASSERT_LE(ColourDistance(Pixel(record, x, y), spec.mPixel(3, x, y)), 24) << x << "," << y;
    }
  }
  for (int y = 0; y < c.mLayerHeight; ++y) {
    for (int x = 0; x < c.mLayerWidth; ++x) {
      if (x < c.mWidth && y < c.mHeight) continue;
      ASSERT_EQ(Pixel(record, x, y), kCanary) << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, OgvSizeTest,
    testing::Values(SizeCase{"OddSides", 17, 9, 30, 17, 9}, SizeCase{"OddSidesAt24", 33, 31, 24, 33, 31},
                    SizeCase{"At60", 40, 20, 60, 40, 20}, SizeCase{"LayerSmaller", 48, 32, 30, 21, 11},
                    SizeCase{"LayerNarrowerAndTaller", 48, 16, 25, 13, 40},
                    SizeCase{"LayerLarger", 19, 13, 30, 45, 27}),
    [](const testing::TestParamInfo<SizeCase>& info) { return info.param.mName; });

// The frame buffer's allocations, for 1 x 1 and for the real size, are
// written to the debug log; the player sees no box and the movie plays.
TEST(OgvMovieTest, EachOpenLogsTheAllocationsForOneByOneAndTheRealSizeWithoutABox) {
  TheoraMovieSpec spec;
  spec.mWidth = 40;
  spec.mHeight = 24;
  spec.mFrames = 2;
  OgvGame game(MakeTheoraMovie(spec), 40, 24);
  std::snprintf(g_ExeFolder, sizeof g_ExeFolder, "%s/", game.mGame.mEnv.Folder().c_str());
  game.mGame.Frame();
  EXPECT_TRUE(game.mGame.mEnv.mDialogs.mBoxes.empty());
  EXPECT_EQ(g_OgvMovie.mPlaying, 1);
  std::ifstream file(game.mGame.mEnv.Folder() + "/debuglog.txt", std::ios::binary);
  std::string log((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::string first = "\nメモリ確保します. OGV_SX = 1, OGV_SY = 1\n";
  const std::string second = "\nメモリ確保します. OGV_SX = 40, OGV_SY = 24\n";
  size_t at = log.find(first);
  ASSERT_NE(at, std::string::npos) << log;
  EXPECT_EQ(log.find(second, at), at + first.size() - 1) << log;
}

TEST(OgvMovieTest, CloseStopsAtOnceAndAnOpenStartsAgainFromTheFirstFrame) {
  TheoraMovieSpec spec = TenColours();
  OgvGame game(MakeTheoraMovie(spec), 24, 12, [](ScriptAssembler& code) {
    code.Op("ogv_close", {});
    code.Op("wait", {{"frames", Num(1)}});
    code.Op("ogv", {{"path", Str("mv")}, {"file", Str("movie.ogv")}});
  });
  game.mGame.Frame();
  game.TickAt(200);
  ASSERT_EQ(g_OgvMovie.mFrame, 6u);
  game.mGame.Frame();  // the close
  EXPECT_EQ(g_OgvMovie.mPlaying, 0);
  EXPECT_EQ(CountTheoraLibraryLoads(), 0);
  game.TickAt(300);
  EXPECT_EQ(g_OgvMovie.mFrame, 6u);
  EXPECT_LE(WorstFrameError(spec, 6, MovieLayer()), 2);
  game.mClock.Set(5000);
  game.mGame.Frame();  // the new open, at 5000 ms
  EXPECT_EQ(g_OgvMovie.mPlaying, 1);
  EXPECT_EQ(g_OgvMovie.mStartTime, 5000u);
  EXPECT_LE(WorstFrameError(spec, 0, MovieLayer()), 2);
  game.mClock.Set(5100);
  TickOgvMovie();
  EXPECT_EQ(g_OgvMovie.mFrame, 3u);
  EXPECT_EQ(CountTheoraLibraryLoads(), 1);
}

TEST(OgvMovieTest, ASecondMovieReplacesTheFirstWithOneLibraryLoad) {
  TheoraMovieSpec first = TenColours();
  TheoraMovieSpec second;
  second.mWidth = 24;
  second.mHeight = 12;
  second.mFrames = 4;
  second.mFrameColours = {0xE0E020, 0x20E0E0, 0xE020E0, 0x808080};
  OgvGame game(MakeTheoraMovie(first), 24, 12, [](ScriptAssembler& code) {
    code.Op("ogv", {{"path", Str("mv")}, {"file", Str("second.ogv")}});
  });
  std::vector<uint8_t> bytes = MakeTheoraMovie(second);
  game.mGame.mEnv.Write(GameFile{"second.ogv", Bytes(bytes.begin(), bytes.end())});
  game.mGame.Frame();
  game.TickAt(100);
  game.mClock.Set(2000);
  game.mGame.Frame();
  EXPECT_EQ(g_OgvMovie.mPlaying, 1);
  EXPECT_EQ(g_OgvMovie.mTotalFrames, 4);
  EXPECT_EQ(CountTheoraLibraryLoads(), 1);
  game.mClock.Set(2000 + 70);
  TickOgvMovie();
  EXPECT_LE(WorstFrameError(second, 2, MovieLayer()), 2);
}

TEST(OgvMovieTest, DeletingTheLayerLeavesTheMovieRunningWithoutAPicture) {
  TheoraMovieSpec spec = TenColours();
  OgvGame game(MakeTheoraMovie(spec), 24, 12,
               [](ScriptAssembler& code) { code.Op("layer_delete", {{"path", Str("mv")}}); });
  game.mGame.Frame();
  game.mGame.Frame();
  EXPECT_EQ(MovieLayer(), nullptr);
  EXPECT_EQ(g_OgvMovie.mLayer, nullptr);
  game.TickAt(100);  // decodes; copies nowhere
  EXPECT_EQ(g_OgvMovie.mFrame, 3u);
  EXPECT_EQ(g_OgvMovie.mPlaying, 1);
  game.TickAt(1000);
  EXPECT_EQ(g_OgvMovie.mPlaying, 0);
}

struct DamageCase {
  const char* mName;
  std::vector<uint8_t> (*mMake)();
};

std::vector<uint8_t> Garbage() {
  std::vector<uint8_t> bytes(3000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
  return bytes;
}
std::vector<uint8_t> HeadersCut() {
  std::vector<uint8_t> bytes = MakeTheoraMovie(TenColours());
  bytes.resize(120);
  return bytes;
}
std::vector<uint8_t> SoundOnly() {
  std::vector<int16_t> samples(4410, 1000);
  return EncodeVorbis(samples, 1, 22050);
}
std::vector<uint8_t> OneZeroByte() { return {0}; }

class OgvDamageTest : public testing::TestWithParam<DamageCase> {};

TEST_P(OgvDamageTest, AFileTheDecoderCannotReadIsRefusedWithTheReadMessage) {
  OgvGame game(GetParam().mMake(), 24, 12);
  game.mGame.Frame();
  EXPECT_NE(g_LastErrorText.find(ExpectedReport(kMsgCannotReadFile, {"movie.ogv"})), std::string::npos)
      << g_LastErrorText;
  EXPECT_NE(g_QuitFlag.load(), 0);
  EXPECT_EQ(g_OgvMovie.mPlaying, 0);
  EXPECT_EQ(g_OgvMovie.mVideo, nullptr);
  EXPECT_EQ(g_OgvMovie.mData, nullptr);
  EXPECT_EQ(CountTheoraLibraryLoads(), 0);
  EXPECT_EQ(Pixel(MovieLayer(), 0, 0), kCanary);
}

INSTANTIATE_TEST_SUITE_P(Damaged, OgvDamageTest,
                         testing::Values(DamageCase{"Garbage", Garbage}, DamageCase{"HeadersCut", HeadersCut},
                                         DamageCase{"SoundOnly", SoundOnly}, DamageCase{"OneByte", OneZeroByte}),
                         [](const testing::TestParamInfo<DamageCase>& info) { return info.param.mName; });

TEST(OgvMovieTest, AMissingFileOpensNothingAndSaysNothing) {
  OgvGame game({}, 24, 12);
  game.mGame.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(g_OgvMovie.mPlaying, 0);
  EXPECT_TRUE(game.mGame.mEnv.mDialogs.mBoxes.empty());
}

TEST(OgvMovieTest, AMissingLayerIsAFatalReport) {
  ScriptRunner game;
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("ogv", {{"path", Str("nothing")}, {"num", Num(2)}, {"file", Str("movie.ogv")}});
  code.Op("wait", {{"frames", Num(1)}});
  game.Add(code);
  ASSERT_TRUE(game.Load());
  game.Frame();
  EXPECT_TRUE(LastReportIs(kMsgShareSourceMissing));
  EXPECT_NE(g_LastErrorText.find("W0/nothing.2"), std::string::npos) << g_LastErrorText;
  EXPECT_EQ(g_OgvMovie.mPlaying, 0);
}

struct LibraryMissing {
  LibraryMissing() { SetTheoraLibraryMissing(true); }
  ~LibraryMissing() { SetTheoraLibraryMissing(false); }
};

TEST(OgvMovieTest, WithoutTheLibraryTheBoxIsShownAndNothingPlays) {
  LibraryMissing missing;
  OgvGame game(MakeTheoraMovie(TenColours()), 24, 12);
  game.mGame.Frame();
  ASSERT_EQ(game.mGame.mEnv.mDialogs.mBoxes.size(), 1u);
  EXPECT_EQ(game.mGame.mEnv.mDialogs.mBoxes[0].mText, "DLLの読み込みに失敗しました。");
  EXPECT_EQ(g_OgvMovie.mPlaying, 0);
  EXPECT_EQ(Pixel(MovieLayer(), 0, 0), kCanary);
}

struct ResizeCase {
  const char* mName;
  int32_t mWidth;
  int32_t mHeight;
  int mResult;
};

class OgvResizeTest : public testing::TestWithParam<ResizeCase> {};

// The size comes from the movie's header: sides beyond the image limit or
// of 0 are refused and leave the buffer as it was.
TEST_P(OgvResizeTest, TheFrameBufferTakesOnlySidesWithinTheLimit) {
  ScriptTestEnvironment env;
  const ResizeCase& c = GetParam();
  ASSERT_EQ(ResizeOgvFrameBuffer(3, 2), 0);
  uint8_t* before = g_OgvMovie.mFrameBuffer;
  EXPECT_EQ(ResizeOgvFrameBuffer(c.mWidth, c.mHeight), c.mResult);
  if (c.mResult == 0) {
    EXPECT_EQ(g_OgvMovie.OGV_SX, c.mWidth);
    EXPECT_EQ(g_OgvMovie.OGV_SY, c.mHeight);
    ASSERT_EQ(g_OgvMovie.mRows.size(), static_cast<size_t>(c.mHeight));
    EXPECT_EQ(g_OgvMovie.mRows.back(),
              g_OgvMovie.mFrameBuffer + static_cast<size_t>(c.mHeight - 1) * static_cast<size_t>(c.mWidth) * 4);
  } else {
    EXPECT_EQ(g_OgvMovie.mFrameBuffer, before);
    EXPECT_EQ(g_OgvMovie.OGV_SX, 3);
    EXPECT_EQ(g_OgvMovie.OGV_SY, 2);
    ASSERT_EQ(g_OgvMovie.mRows.size(), 2u);
    EXPECT_EQ(g_OgvMovie.mRows[1], before + 12);
    EXPECT_EQ(env.mDialogs.mBoxes.back().mText,
              "メモリ確保失敗. OGV_SX = " + std::to_string(c.mWidth) + ", OGV_SY = " + std::to_string(c.mHeight));
  }
  ResetOgvMovie();
}

INSTANTIATE_TEST_SUITE_P(
    Sides, OgvResizeTest,
    testing::Values(ResizeCase{"Largest", 8192, 2, 0}, ResizeCase{"TallestOdd", 3, 8192, 0},
                    ResizeCase{"TooWide", 8193, 2, -1}, ResizeCase{"TooTall", 2, 8193, -1},
                    ResizeCase{"BothHuge", 1 << 20, 1 << 20, -1}, ResizeCase{"ZeroHeight", 5, 0, -1},
                    ResizeCase{"NegativeWidth", -4, 4, -1}),
    [](const testing::TestParamInfo<ResizeCase>& info) { return info.param.mName; });

TEST(OgvMovieTest, TheSoundTrackIsOpenedButNeverPlayed) {
  TheoraMovieSpec spec = TenColours();
  spec.mSound.assign(22050, 3000);
  OgvGame game(MakeTheoraMovie(spec), 24, 12, [](ScriptAssembler& code) {
    code.Op("ogv_query", {{"sample", Num(1)}, {"out", Var(kRunInt)}});
  });
  game.mGame.Frame();
  ASSERT_EQ(g_OgvMovie.mPlaying, 1);
  ASSERT_NE(g_OgvMovie.mAudio, nullptr);
  EXPECT_GE(g_TheoraApi->w_totalsample(g_OgvMovie.mAudio), 22050 - 2048);
  game.TickAt(200);
  EXPECT_LE(WorstFrameError(spec, 6, MovieLayer()), 2);
  game.mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 0);
}

}  // namespace
