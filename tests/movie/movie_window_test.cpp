// Movie files played by the media player over the main window, through
// either back-end setting: a movie played headless to its end with the end
// reaching the script, stopping, volumes, the rectangle, files the player
// cannot play and end messages of an earlier movie.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/display_state.h"
#include "core/errors.h"
#include "core/settings.h"
#include "core/window_table.h"
#include "movie/movie_window.h"
#include "platform/messages.h"
#include "platform/movie_player.h"
#include "platform/window.h"
#include "shell/window_objects.h"
#include "support/movie_fixtures.h"
#include "support/script_runner.h"

namespace {

struct VolumeCase {
  int32_t mVolume;
  int32_t mDirectShow;
  int32_t mMci;
};

TEST(MovieVolumeTest, ScriptVolumesBecomeTheLevelsOfEachBackEnd) {
  // A volume below 0 is silence, as 0 is, instead of reaching the logarithm.
  const VolumeCase cases[] = {{256, 0, 1000},     {128, -1204, 500},  {64, -2408, 250}, {1, -9632, 3},
                              {0, -10000, 0},     {-1, -10000, 0},    {-300, -10000, 0}, {300, 0, 1000}};
  for (const VolumeCase& c : cases) {
    EXPECT_EQ(DirectShowVolumeLevel(c.mVolume), c.mDirectShow) << c.mVolume;
    EXPECT_EQ(MciVolumeLevel(c.mVolume), c.mMci) << c.mVolume;
  }
}

// A game with window 0 (320 x 240) whose first frame runs `build`; movies
// play silently. The back end is chosen by useDirectShow.
struct MovieGame {
  ScriptRunner mGame;
  WindowObject* mMain = nullptr;
  MovieGame(int useDirectShow, const std::function<void(ScriptAssembler&)>& build) {
    SetPlatformMovieSilent(true);
    SetWindowProcedure(MainWndProc);
    EXPECT_EQ(CreateWindowObjects(), 0);
    mMain = g_WindowTable[0];
    mMain->mWidth = 320;
    mMain->mHeight = 240;
    SetUpWindowObject(mMain, "movie");
    EXPECT_EQ(CreateGameWindow(mMain, 1, "orvane-movie-test", "movie"), 1);
    g_WindowIds[0] = 1;
    g_ConfiguredWidth = g_PresentWidth = 320;
    g_ConfiguredHeight = g_PresentHeight = 240;
    g_UseDirectShow = static_cast<uint8_t>(useDirectShow);
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    build(code);
    code.Op("wait", {{"frames", Num(100000)}});
    mGame.Add(code);
    EXPECT_TRUE(mGame.Load());
  }
  ~MovieGame() { SetPlatformMovieSilent(false); }
  // Hands the queued window messages to the window procedure until `done`
  // holds or a minute has passed.
  bool PumpUntil(const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      while (PeekWindowMessage()) {
        WindowMessage message;
        if (!GetWindowMessage(&message)) return done();
        DispatchWindowMessage(message);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
};

std::string MakeMovieFile(ScriptRunner& game, const std::string& name, const std::string& kind, int frames) {
  std::string path = game.mEnv.Folder() + "/" + name;
  EXPECT_TRUE(MakeTestPatternMovie(path, kind, frames)) << kind;
  return path;
}

struct PlayCase {
  const char* mName;
  int mUseDirectShow;
  const char* mKind;
};

class MoviePlayTest : public testing::TestWithParam<PlayCase> {};

TEST_P(MoviePlayTest, AMoviePlaysToItsEndAndTheScriptSeesIt) {
  const PlayCase& c = GetParam();
  std::string file = std::string("Movie/Clip.") + c.mKind;
  MovieGame game(c.mUseDirectShow, [&](ScriptAssembler& code) {
    code.Op("movie", {{"file", Str(file)}, {"play", Num(1)}, {"x", Num(8)}, {"y", Num(4)}, {"width", Num(160)},
                      {"height", Num(120)}, {"volume", Num(128)}});
    code.Op("movie_query", {{"playing", Num(1)}, {"out", Var(kRunInt)}});
    code.Op("wait", {{"frames", Num(1)}});
    code.Op("movie_query", {{"playing", Num(1)}, {"out", Var(kRunInt2)}});
  });
  game.mGame.mEnv.Write(GameFile{"movie/keep", {}});
  MakeMovieFile(game.mGame, "movie/clip." + std::string(c.mKind), c.mKind, 12);
  game.mGame.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunInt), 1);
  EXPECT_STREQ(g_MovieState.mPath, ("movie\\clip." + std::string(c.mKind)).c_str());
  EXPECT_EQ(g_MovieState.mMciOpen, c.mUseDirectShow == 1 ? 0 : 1);
  // The player's sound level: -12.04 dB for DirectShow, half for MCI.
  EXPECT_NEAR(GetMovieOutputVolume(), c.mUseDirectShow == 1 ? 0.25 : 0.5, 0.002);
  int rect[4] = {};
  ASSERT_TRUE(GetMovieOutputRect(rect));
  EXPECT_EQ(rect[0], 8);
  EXPECT_EQ(rect[1], 4);
  EXPECT_EQ(rect[2], 160);
  EXPECT_EQ(rect[3], 120);
  // Frames are drawn into the rectangle while the movie plays; the end
  // message arrives through the window procedure.
  unsigned char inside[4] = {};
  bool drawn = false;
  ASSERT_TRUE(game.PumpUntil([&] {
    if (!drawn && ReadPlatformWindowPixels(game.mMain->mWindow, 60, 60, 1, 1, inside)) {
      drawn = (inside[0] | inside[1] | inside[2]) != 0;
    }
    return g_MovieState.mPlaying == 0;
  }));
  EXPECT_TRUE(drawn);
  game.mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt2), 0);
}

INSTANTIATE_TEST_SUITE_P(BothBackEnds, MoviePlayTest,
                         testing::Values(PlayCase{"DirectShowOgg", 1, "ogg"}, PlayCase{"MciOgg", 0, "ogg"},
                                         PlayCase{"DirectShowWebm", 1, "webm"}),
                         [](const testing::TestParamInfo<PlayCase>& info) { return info.param.mName; });

TEST(MovieWindowTest, StopDuringPlayHoldsTheMovieAndTheStopCommandClosesIt) {
  MovieGame game(1, [](ScriptAssembler& code) {
    code.Op("movie", {{"file", Str("long.ogg")}, {"play", Num(1)}});
    code.Op("wait", {{"frames", Num(1)}});
    code.Op("movie", {{"play", Num(0)}, {"volume", Num(40)}});
    code.Op("movie_query", {{"playing", Num(1)}, {"out", Var(kRunInt)}});
    code.Op("wait", {{"frames", Num(1)}});
    code.Op("movie_stop", {});
    code.Op("movie_query", {{"volume", Num(1)}, {"out", Var(kRunInt2)}});
  });
  MakeMovieFile(game.mGame, "long.ogg", "ogg", 300);
  game.mGame.Frame();
  EXPECT_EQ(g_MovieState.mPlaying, 1);
  game.mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 0);
  EXPECT_EQ(g_MovieState.mVolume, 40);
  EXPECT_NEAR(GetMovieOutputVolume(), 0.0244, 0.0005);  // -32.24 dB
  int rect[4];
  EXPECT_TRUE(GetMovieOutputRect(rect));  // stopped, not closed
  game.mGame.Frame();
  EXPECT_FALSE(GetMovieOutputRect(rect));
  EXPECT_EQ(IntVar(kRunInt2), 256);
  EXPECT_STREQ(g_MovieState.mPath, "");
}

TEST(MovieWindowTest, AFileThePlayerCannotPlayIsReportedThroughDirectShow) {
  MovieGame game(1, [](ScriptAssembler& code) {
    code.Op("movie", {{"file", Str("bad.mpg")}, {"play", Num(1)}});
    code.Op("assign", {{"target", Var(kRunInt)}, {"value", Num(7)}});
  });
  game.mGame.mEnv.Write(GameFile{"bad.mpg", Bytes(4000, 0x5A)});
  game.mGame.Frame();
  EXPECT_TRUE(LastReportIs(kMsgMoviePlayerFailed)) << g_LastErrorText;
  EXPECT_EQ(g_QuitFlag.load(), 0);  // not fatal
  EXPECT_EQ(g_MovieState.mPlaying, 0);
  EXPECT_EQ(IntVar(kRunInt), 0);  // the task's turn ended
  game.mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 7);
}

TEST(MovieWindowTest, AFailedMciOpenLeavesTheMovieNotPlaying) {
  MovieGame game(0, [](ScriptAssembler& code) {
    code.Op("movie", {{"file", Str("bad.mpg")}, {"play", Num(1)}});
    code.Op("movie_query", {{"playing", Num(1)}, {"out", Var(kRunInt)}});
  });
  game.mGame.mEnv.Write(GameFile{"bad.mpg", Bytes(4000, 0x5A)});
  game.mGame.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(g_MovieState.mMciOpen, 0);
  EXPECT_EQ(IntVar(kRunInt), 0);
  EXPECT_FALSE(IsMciMovieOpen());
}

TEST(MovieWindowTest, PlayingWithoutAnyFileIsAnEmptyPathThroughDirectShow) {
  MovieGame game(1, [](ScriptAssembler& code) {
    code.Op("movie", {{"file", Str("missing.ogg")}, {"play", Num(1)}});
    code.Op("movie", {{"play", Num(1)}});
  });
  game.mGame.Frame();
  EXPECT_TRUE(LastReportIs(kMsgMoviePathEmpty)) << g_LastErrorText;
  EXPECT_EQ(g_MovieState.mPlaying, 0);
  // The missing file's name was not kept, but the defaults of its
  // rectangle were set.
  EXPECT_EQ(g_MovieState.mWidth, 320);
  EXPECT_EQ(g_MovieState.mHeight, 240);
}

class StaleEndTest : public testing::TestWithParam<int> {};

TEST_P(StaleEndTest, AnEndMessageOfAnEarlierMovieLeavesTheNewOnePlaying) {
  int useDirectShow = GetParam();
  MovieGame game(useDirectShow, [](ScriptAssembler& code) {
    code.Op("movie", {{"file", Str("a.ogg")}, {"play", Num(1)}});
    code.Op("wait", {{"frames", Num(1)}});
    code.Op("movie", {{"file", Str("a.ogg")}, {"play", Num(1)}});
  });
  MakeMovieFile(game.mGame, "a.ogg", "ogg", 200);
  game.mGame.Frame();
  uint32_t first = g_MovieState.mGeneration;
  game.mGame.Frame();
  ASSERT_EQ(g_MovieState.mPlaying, 1);
  ASSERT_NE(g_MovieState.mGeneration, first);
  uint32_t message = useDirectShow == 1 ? kMsgDirectShowEvent : kMsgMciNotify;
  uint64_t wParam = useDirectShow == 1 ? 0 : kMciNotifySuccessful;
  SendWindowMessage(game.mMain->mWindow, message, wParam, first);
  EXPECT_EQ(g_MovieState.mPlaying, 1);
  if (useDirectShow == 0) {
    SendWindowMessage(game.mMain->mWindow, message, wParam, g_MovieState.mGeneration);
    EXPECT_EQ(g_MovieState.mPlaying, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(BothBackEnds, StaleEndTest, testing::Values(1, 0));

TEST(MovieWindowTest, InATwiceScaledWindowTheRectangleIsScaledAndOffset) {
  MovieGame game(1, [](ScriptAssembler& code) {
    code.Op("movie", {{"file", Str("a.ogg")}, {"play", Num(1)}, {"x", Num(100)}, {"y", Num(50)},
                      {"width", Num(320)}, {"height", Num(240)}});
    code.Op("wait", {{"frames", Num(1)}});
    code.Op("movie", {{"x", Num(10), 1}, {"width", Num(2), 3}});
    code.Op("movie_query", {{"x", Num(1)}, {"out", Var(kRunInt)}});
    code.Op("movie_query", {{"width", Num(1)}, {"out", Var(kRunInt2)}});
  });
  MakeMovieFile(game.mGame, "a.ogg", "ogg", 60);
  g_PresentWidth = 640;
  g_PresentHeight = 480;
  g_PaintOffset.mX = 20;
  g_PaintOffset.mY = 6;
  game.mGame.Frame();
  int rect[4] = {};
  ASSERT_TRUE(GetMovieOutputRect(rect));
  EXPECT_EQ(rect[0], 220);
  EXPECT_EQ(rect[1], 106);
  EXPECT_EQ(rect[2], 640);
  EXPECT_EQ(rect[3], 480);
  game.mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 110);
  EXPECT_EQ(IntVar(kRunInt2), 640);
}

// A script may give any size: placed again after the window changed, the
// rectangle keeps the size it was played with, however large.
TEST(MovieWindowTest, RepositioningKeepsAVeryLargeRectangle) {
  constexpr int32_t kWide = 10000000;
  constexpr int32_t kTall = 3000000;
  MovieGame game(1, [&](ScriptAssembler& code) {
    code.Op("movie", {{"file", Str("a.ogg")}, {"play", Num(1)}, {"width", Num(kWide)}, {"height", Num(kTall)}});
  });
  MakeMovieFile(game.mGame, "a.ogg", "ogg", 60);
  g_PresentWidth = 640;
  g_PresentHeight = 480;
  game.mGame.Frame();
  ASSERT_EQ(g_LastErrorText, "");
  ASSERT_NE(g_WindowTable[0], nullptr);
  const int64_t logicalWidth = g_WindowTable[0]->mWidth;
  const int64_t logicalHeight = g_WindowTable[0]->mHeight;
  ASSERT_GT(logicalWidth, 0);
  ASSERT_GT(logicalHeight, 0);
  const auto width = static_cast<int32_t>(kWide * int64_t{640} / logicalWidth);
  const auto height = static_cast<int32_t>(kTall * int64_t{480} / logicalHeight);
  int rect[4] = {};
  ASSERT_TRUE(GetMovieOutputRect(rect));
  EXPECT_EQ(rect[2], width);
  EXPECT_EQ(rect[3], height);
  RepositionMovieWindows(640.0 / static_cast<double>(logicalWidth), 480.0 / static_cast<double>(logicalHeight));
  ASSERT_TRUE(GetMovieOutputRect(rect));
  EXPECT_EQ(rect[2], width);
  EXPECT_EQ(rect[3], height);
}

struct MpegCase {
  const char* mName;
  std::vector<uint8_t> mHead;  // empty: no file
  int64_t mType;
};

class MpegTypeTest : public testing::TestWithParam<MpegCase> {};

TEST_P(MpegTypeTest, BothQueriesReadThePackHeader) {
  const MpegCase& c = GetParam();
  ScriptRunner game;
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("movie_query", {{"mpeg_type", Str("Video/Head.MPG")}, {"out", Var(kRunInt)}});
  code.Op("ogv_query", {{"mpeg_type", Str("video/head.mpg")}, {"out", Var(kRunInt2)}});
  code.Op("wait", {{"frames", Num(1)}});
  game.Add(code);
  if (!c.mHead.empty()) game.mEnv.Write(GameFile{"video/head.mpg", Bytes(c.mHead.begin(), c.mHead.end())});
  ASSERT_TRUE(game.Load());
  game.Frame();
  EXPECT_EQ(IntVar(kRunInt), c.mType);
  EXPECT_EQ(IntVar(kRunInt2), c.mType);
}

INSTANTIATE_TEST_SUITE_P(
    Heads, MpegTypeTest,
    testing::Values(MpegCase{"Mpeg2", {0, 0, 1, 0xBA, 0x44, 9}, 2}, MpegCase{"Mpeg1", {0, 0, 1, 0xBA, 0x21}, 1},
                    MpegCase{"Missing", {}, 0}, MpegCase{"NotAPack", {0, 0, 1, 0xB3, 0x21}, 255},
                    MpegCase{"OtherMarker", {0, 0, 1, 0xBA, 0x80}, 255}, MpegCase{"Short", {0, 0, 1}, 255}),
    [](const testing::TestParamInfo<MpegCase>& info) { return info.param.mName; });

}  // namespace
