// The camera projection command against projections worked out by hand, and
// how it writes its four results into arrays of each kind and size.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <vector>

#include "core/errors.h"
#include "layer/camera.h"
#include "script/variables.h"
#include "support/script_assembler.h"
#include "support/script_runner.h"

namespace {

constexpr uint16_t kInts = kRunFree;         // integer [8]
constexpr uint16_t kReals = kRunFree + 1;    // real [35]
constexpr uint16_t kShortInts = kRunFree + 2;  // integer [5]
constexpr uint16_t kReals34 = kRunFree + 3;  // real [34]
constexpr uint16_t kIntOut = kRunFree + 4;   // integer [35]
constexpr uint16_t kTextOut = kRunFree + 5;  // string [35]

void Define(ScriptRunner& game, uint16_t number, uint8_t type, uint32_t count) {
  VariableDefinition definition;
  definition.mVariable = number;
  definition.mType = type;
  definition.mDims = {count};
  if (type == 3) definition.mStringExpression = Str("").mBytes;
  game.mData.mDefinitions.push_back(definition);
}

// Loads a game whose one instruction projects ints and reals into out.
void Load(ScriptRunner& game, uint16_t ints, uint16_t reals) {
  Define(game, kInts, 1, 8);
  Define(game, kReals, 2, 35);
  Define(game, kShortInts, 1, 5);
  Define(game, kReals34, 2, 34);
  Define(game, kIntOut, 1, 35);
  Define(game, kTextOut, 3, 35);
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("camera", {{"camera", Whole(ints)}, {"object", Whole(reals)}});
  code.Op("wait", {{"frames", Num(1)}});
  game.Add(code);
  ASSERT_TRUE(game.Load());
}

void Fill(uint16_t ints, const std::map<int, int64_t>& intValues, uint16_t reals,
          const std::map<int, double>& realValues) {
  for (const auto& [k, value] : intValues) ASSERT_EQ(SetNumberElement(ints, k, value), 0);
  for (const auto& [k, value] : realValues) ASSERT_EQ(SetRealElement(reals, k, value), 0);
}

struct ProjectionCase {
  const char* mWhat;
  std::map<int, int64_t> mInts;
  std::map<int, double> mReals;
  double mExpected[4];  // x, y, scale x, scale y
};

// The common scene: i[5] x i[6] = 640 x 480, a = 0, z1 = 1; the object's
// depth gives z = 2 (r[27] - r[15] + a = 100).
const std::map<int, double> kScene = {{3, 10},  {6, 50},  {8, 100}, {9, 5},   {11, 2},  {13, 30},  {14, 20},
                                      {16, 50}, {17, 100}, {18, 10}, {20, 1},  {21, 1},  {22, 10},  {24, 100},
                                      {25, 5},  {27, 100}};

class CameraProjectionTest : public testing::TestWithParam<ProjectionCase> {};

TEST_P(CameraProjectionTest, ResultsLandInElements31To34) {
  const ProjectionCase& c = GetParam();
  ScriptRunner game;
  Load(game, kInts, kReals);
  Fill(kInts, c.mInts, kReals, c.mReals);
  game.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  for (int k = 0; k < 4; ++k) {
    SCOPED_TRACE(k);
    EXPECT_NEAR(RealVar(kReals, 31 + k), c.mExpected[k], 1e-9);
  }
}

INSTANTIATE_TEST_SUITE_P(
    HandWorked, CameraProjectionTest,
    testing::Values(
        // 500 - 100 x 50 / 100; y = 0 - 0.
        ProjectionCase{"the flat shortcut", {{7, 1}}, {{13, 500}, {18, 100}, {16, 50}}, {450, 0, 50, 0}},
        ProjectionCase{"all zero", {}, {}, {0, 0, 0, 0}},
        // z = 2^((r27 - r15 + r30 + r5) / 100) = 2 with the depth split
        // over the four elements.
        ProjectionCase{"a zoom of two", {}, {{27, 60}, {15, -10}, {30, 20}, {5, 10}, {16, 40}, {17, 70}},
                       {0, 0, 80, 140}},
        // x0 = 320 + 2 + (50 - 5 - 10) = 357, y0 = 240; X = 362, Y = 240;
        // x1 = (30 - 10) x 2 + 362 = 402, y1 = 20 x 2 + 240 = 280;
        // x = 402 + 50 x 10 x 2 / 100 = 412.
        ProjectionCase{"object and camera apart", {{1, 0}, {2, 1}, {5, 640}, {6, 480}}, kScene, {412, 280, 100, 200}},
        // z = 2^((100 - 100) / 100) = 1: x1 = (40 - 10 - 5) + 362 = 387,
        // y1 = 20 + 240 = 260; x = 387 + 5.
        ProjectionCase{"the second anchor", {{1, 0}, {2, 1}, {4, 1}, {5, 640}, {6, 480}}, kScene, {392, 260, 50, 100}},
        // x1 = x0 = 357, y1 = y0 = 240, z = 2.
        ProjectionCase{"the camera's own object", {{1, 3}, {2, 3}, {5, 640}, {6, 480}}, kScene, {367, 240, 100, 200}},
        // z1 = 2^(-100 / 100) = 0.5 halves the camera-relative offset:
        // x0 = 0.5 x (40 - 0 - 0) = 20; X = 20; z = 2^(-1) too;
        // x1 = (0 - 8) x 0.5 + 20 = 16; x = 16 + 100 x 8 x 0.5 / 100 = 20.
        ProjectionCase{"a camera far behind", {{1, 0}, {2, 1}}, {{8, 100}, {15, 100}, {6, 40}, {18, 8}}, {20, 0, 0, 0}}));

TEST(CameraProjectionPlainTest, ElementsBeyondTheArrayReadAsZero) {
  ScriptRunner game;
  Load(game, kShortInts, kReals);
  // i[5], i[6] and i[7] lie beyond a five-element array: no shortcut, no
  // screen centre.
  std::map<int, double> reals = kScene;
  Fill(kShortInts, {{1, 0}, {2, 1}}, kReals, reals);
  game.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_NEAR(RealVar(kReals, 31), 412 - 320, 1e-9);
  EXPECT_NEAR(RealVar(kReals, 32), 280 - 240, 1e-9);
}

TEST(CameraProjectionPlainTest, AThirtyFourElementArrayTakesThreeResults) {
  ScriptRunner game;
  Load(game, kInts, kReals34);
  Fill(kInts, {{7, 1}}, kReals34, {{13, 7}, {14, 8}, {16, 9}, {33, -1}});
  game.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(RealVar(kReals34, 31), 7);
  EXPECT_EQ(RealVar(kReals34, 32), 8);
  EXPECT_EQ(RealVar(kReals34, 33), 9);
}

TEST(CameraProjectionPlainTest, AComputedProjectionTruncatesIntoIntegers) {
  ScriptRunner game;
  Load(game, kInts, kIntOut);
  Fill(kInts, {{1, 0}, {2, 1}, {5, 7}, {6, -5}}, kIntOut, {});
  game.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  // The integer array reads as reals of 0. x0 = 3.5, y0 = -2.5, everything
  // else 0: x = 3, y = -2 (toward zero, not down).
  EXPECT_EQ(IntVar(kIntOut, 31), 3);
  EXPECT_EQ(IntVar(kIntOut, 32), -2);
}

TEST(CameraProjectionPlainTest, ATextArrayIsRefused) {
  ScriptRunner game;
  Load(game, kInts, kTextOut);
  game.Frame();
  EXPECT_TRUE(LastReportIs(kMsgElementTypeMismatch)) << g_LastErrorText;
}

TEST(CameraProjectionPlainTest, WithoutBothArraysNothingHappens) {
  ScriptRunner game;
  Define(game, kReals, 2, 35);
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("camera", {{"object", Whole(kReals)}});
  code.Op("wait", {{"frames", Num(1)}});
  game.Add(code);
  ASSERT_TRUE(game.Load());
  ASSERT_EQ(SetRealElement(kReals, 31, 5.5), 0);
  game.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(RealVar(kReals, 31), 5.5);
}

}  // namespace
