// Flash movies without the Flash control: the commands keep the rectangle,
// the file and the user value, place the child window, and the queries
// answer as they do where the control cannot be made.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

#include "core/display_state.h"
#include "core/errors.h"
#include "core/process_state.h"
#include "core/window_table.h"
#include "datasrc/compiler_link.h"
#include "movie/flash_movie.h"
#include "shell/window_objects.h"
#include "support/script_runner.h"

namespace {

// A game with window 0 of 320 x 240 (presented at `presentWidth` x 480
// with the offset given) whose first frame runs build.
struct FlashGame {
  ScriptRunner mGame;
  FlashGame(const std::function<void(ScriptAssembler&)>& build, int32_t presentWidth = 320, int32_t offsetX = 0) {
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    build(code);
    code.Op("wait", {{"frames", Num(1000)}});
    mGame.Add(code);
    mGame.mEnv.Write(GameFile{"anim/intro.swf", Bytes(16, 0x46)});
    EXPECT_TRUE(mGame.Load());
    EXPECT_EQ(CreateWindowObjects(), 0);
    g_WindowTable[0]->mWidth = 320;
    g_WindowTable[0]->mHeight = 240;
    g_PresentWidth = presentWidth;
    g_PresentHeight = 480;
    g_PaintOffset.mX = offsetX;
  }
  std::vector<RecordedBox>& Boxes() { return mGame.mEnv.mDialogs.mBoxes; }
};

TEST(FlashMovieTest, AStartShowsTheWindowOnceAndTheMissingControlBoxOnce) {
  FlashGame game(
      [](ScriptAssembler& code) {
        code.Op("flash", {{"file", Str("Anim/Intro.SWF")}, {"play", Num(1)}, {"x", Num(100)}, {"user", Num(77)}});
        code.Op("wait", {{"frames", Num(1)}});
        code.Op("flash", {{"play", Num(1)}, {"user", Num(5)}});
      },
      640, 20);
  game.mGame.Frame();
  const FlashState& flash = g_FlashState;
  ASSERT_NE(flash.mWindow, nullptr);
  EXPECT_EQ(flash.mPlaying, 1);
  EXPECT_EQ(flash.mTotalFrames, 0);
  EXPECT_EQ(flash.mUserValue, 77);
  EXPECT_STREQ(flash.mPath, "anim\\intro.swf");
  EXPECT_EQ(g_FlashControl.mLastMoviePath, std::string(g_GameFolder) + "anim\\intro.swf");
  // The letterbox offset plus the logical x; the width scaled by the present
  // size; the height left at the logical height, scaled.
  EXPECT_EQ(flash.mWindow->mX, 120);
  EXPECT_EQ(flash.mWindow->mY, 0);
  EXPECT_EQ(flash.mWindow->mWidth, 640);
  EXPECT_EQ(flash.mWindow->mHeight, 480);
  ASSERT_EQ(game.Boxes().size(), 1u);
  EXPECT_EQ(game.Boxes()[0].mText, "ATL.DLLが見つかりませんでした。");
  // A second start makes way for the first movie's window and shows no box.
  game.mGame.Frame();
  EXPECT_EQ(game.Boxes().size(), 1u);
  EXPECT_EQ(g_FlashState.mUserValue, 5);
  EXPECT_EQ(g_FlashState.mPlaying, 1);
  EXPECT_EQ(g_FlashControl.mPlayerCount, 0);
}

struct QueryCase {
  const char* mName;
  const char* mQuery;
  int64_t mExpected;
};

class FlashQueryTest : public testing::TestWithParam<QueryCase> {};

// After a start with x 7, y 9, width 100, height 50 and user value 42: the
// kept rectangle always answers; the control's queries answer 0 without a
// box; the user value and the frame count answer while the movie plays.
TEST_P(FlashQueryTest, QueriesAnswerWithoutTheControl) {
  const QueryCase& c = GetParam();
  FlashGame game([&](ScriptAssembler& code) {
    code.Op("assign", {{"target", Var(kRunInt)}, {"value", Num(-1)}});
    code.Op("flash", {{"file", Str("anim/intro.swf")}, {"play", Num(1)}, {"x", Num(7)}, {"y", Num(9)},
                      {"width", Num(100)}, {"height", Num(50)}, {"user", Num(42)}});
    code.Op("flash_query", {{c.mQuery, Num(1)}, {"out", Var(kRunInt)}});
  });
  game.mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), c.mExpected);
  EXPECT_EQ(game.Boxes().size(), 1u);  // only the missing-control box
}

INSTANTIATE_TEST_SUITE_P(
    Queries, FlashQueryTest,
    testing::Values(QueryCase{"Playing", "playing", 0}, QueryCase{"Variable", "variable", 0},
                    QueryCase{"X", "x", 7}, QueryCase{"Y", "y", 9}, QueryCase{"Width", "width", 100},
                    QueryCase{"Height", "height", 50}, QueryCase{"Frame", "frame", 0},
                    QueryCase{"User", "user", 42}, QueryCase{"Total", "total", 0}),
    [](const testing::TestParamInfo<QueryCase>& info) { return info.param.mName; });

TEST(FlashMovieTest, ANewFileNameClearsPlayingAndTheUserValueQueryAnswersZero) {
  FlashGame game([](ScriptAssembler& code) {
    code.Op("flash", {{"file", Str("anim/intro.swf")}, {"play", Num(1)}, {"user", Num(42)}});
    code.Op("flash", {{"file", Str("anim/intro.swf")}, {"play", Num(2)}, {"width", Num(90)}});
    code.Op("flash_query", {{"user", Num(1)}, {"out", Var(kRunInt)}});
    code.Op("flash_query", {{"height", Num(1)}, {"out", Var(kRunInt2)}});
  });
  game.mGame.Frame();
  EXPECT_EQ(g_FlashState.mPlaying, 0);
  EXPECT_NE(g_FlashState.mWindow, nullptr);  // the window stays until the stop
  EXPECT_EQ(g_FlashState.mWidth, 90);
  EXPECT_EQ(g_FlashState.mX, 0);
  EXPECT_EQ(IntVar(kRunInt), 0);
  EXPECT_EQ(IntVar(kRunInt2), 240);
}

TEST(FlashMovieTest, AMissingFileIsAFatalReportThatKeepsThePathAndThePlayingFlag) {
  FlashGame game([](ScriptAssembler& code) {
    code.Op("flash", {{"file", Str("anim/intro.swf")}, {"play", Num(1)}});
    code.Op("wait", {{"frames", Num(1)}});
    code.Op("flash", {{"file", Str("none.swf")}, {"y", Num(3)}});
  });
  game.mGame.Frame();
  game.mGame.Frame();
  EXPECT_NE(g_LastErrorText.find(ExpectedReport(kMsgFileNotFound, {"none.swf"})), std::string::npos)
      << g_LastErrorText;
  EXPECT_NE(g_QuitFlag.load(), 0);
  EXPECT_STREQ(g_FlashState.mPath, "anim\\intro.swf");
  EXPECT_EQ(g_FlashState.mPlaying, 1);
  EXPECT_EQ(g_FlashState.mY, 3);
  EXPECT_EQ(g_FlashState.mHeight, 240);
}

TEST(FlashMovieTest, StopClearsTheStateAlsoWithoutAMovie) {
  FlashGame game([](ScriptAssembler& code) {
    code.Op("flash_stop", {});
    code.Op("flash", {{"file", Str("anim/intro.swf")}, {"play", Num(1)}, {"user", Num(3)}});
    code.Op("wait", {{"frames", Num(1)}});
    code.Op("flash_stop", {});
    code.Op("flash_query", {{"x", Num(1)}, {"out", Var(kRunInt)}});
  });
  game.mGame.Frame();
  EXPECT_EQ(g_FlashState.mPlaying, 1);
  game.mGame.Frame();
  EXPECT_EQ(g_FlashState.mWindow, nullptr);
  EXPECT_EQ(g_FlashState.mPlaying, 0);
  EXPECT_EQ(g_FlashState.mUserValue, 0);
  EXPECT_STREQ(g_FlashState.mPath, "");
  EXPECT_EQ(IntVar(kRunInt), 0);
}

TEST(FlashMovieTest, AStartWithoutAFileHandsOverTheGameFolderAlone) {
  FlashGame game([](ScriptAssembler& code) { code.Op("flash", {{"play", Num(1)}}); });
  game.mGame.Frame();
  EXPECT_EQ(g_FlashControl.mLastMoviePath, std::string(g_GameFolder));
  EXPECT_EQ(g_FlashState.mPlaying, 1);
}

TEST(FlashMovieTest, AStringVariableForTheQueryIsAFatalReport) {
  FlashGame game([](ScriptAssembler& code) { code.Op("flash_query", {{"x", Num(1)}, {"out", Var(kRunText)}}); });
  game.mGame.Frame();
  EXPECT_TRUE(LastReportIs(kMsgElementTypeMismatch));
}

}  // namespace

namespace {

// After a size change the child window follows the picture: the rectangle
// scaled by present over logical size, centred by half the difference of
// the configured and present sizes.
TEST(FlashMovieTest, TheChildWindowFollowsAResizedPicture) {
  FlashGame game([](ScriptAssembler& code) {
    code.Op("flash", {{"file", Str("anim/intro.swf")}, {"play", Num(1)}, {"x", Num(30)}, {"y", Num(10)},
                      {"width", Num(100)}, {"height", Num(60)}});
  });
  game.mGame.Frame();
  ASSERT_NE(g_FlashState.mWindow, nullptr);
  g_ConfiguredWidth = 700;
  g_ConfiguredHeight = 480;
  g_PresentWidth = 640;
  g_PresentHeight = 480;
  RepositionFlashWindow(2.0, 2.0);
  EXPECT_EQ(g_FlashState.mWindow->mX, 90);
  EXPECT_EQ(g_FlashState.mWindow->mY, 20);
  EXPECT_EQ(g_FlashState.mWindow->mWidth, 200);
  EXPECT_EQ(g_FlashState.mWindow->mHeight, 120);
}

}  // namespace

namespace {

// Positions near the ends of the 32-bit range wrap when offset, as the
// 32-bit sums do, and stop at the ends when scaled.
TEST(FlashMovieTest, PositionsAtTheEndsOfTheRangeStayDefined) {
  FlashGame game(
      [](ScriptAssembler& code) {
        code.Op("flash", {{"file", Str("anim/intro.swf")}, {"play", Num(1)}, {"x", Num(2147483600)},
                          {"y", Num(-2147483600)}});
      },
      320, 100);
  game.mGame.Frame();
  ASSERT_NE(g_FlashState.mWindow, nullptr);
  EXPECT_EQ(g_FlashState.mWindow->mX, static_cast<int32_t>(2147483700LL - 4294967296LL));
  RepositionFlashWindow(2.0, 2.0);
  EXPECT_EQ(g_FlashState.mWindow->mX, INT32_MAX);
  EXPECT_EQ(g_FlashState.mWindow->mY, INT32_MIN);
}

}  // namespace
