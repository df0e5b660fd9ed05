// The E-mote control command through the recording stand-in runtime: which
// ordinals each argument reaches, with what values, in what order; the layer
// path with its number; the variable pairs with their count and time; texts
// converted to UTF-8; and nothing at all without the runtime.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/object_tree.h"
#include "layer/layer_record.h"
#include "movie/emote.h"
#include "movie/emote_control.h"
#include "script/variables.h"
#include "support/emote_double.h"
#include "support/script_assembler.h"
#include "support/script_runner.h"

namespace {

constexpr uint16_t kNames = kRunFree;          // string [names]
constexpr uint16_t kValues = kRunFree + 1;     // real [values]
constexpr uint16_t kIntNames = kRunFree + 2;   // integer [4]: not a string variable

const std::vector<uint8_t> kModel = {'P', 'S', 'B', 0, 7};

// UTF-8 bytes as the runtime receives them (the program's own literals are
// Shift-JIS).
std::string Utf8(const char8_t* text) { return std::string(reinterpret_cast<const char*>(text)); }

void Define(ScriptRunner& game, uint16_t number, uint8_t type, uint32_t count) {
  VariableDefinition definition;
  definition.mVariable = number;
  definition.mType = type;
  definition.mDims = {count};
  if (type == 3) definition.mStringExpression = Str("").mBytes;
  game.mData.mDefinitions.push_back(definition);
}

// A game whose first frame runs one control command and then sets kRunInt
// to 1; the layers named hold players of the stand-in runtime.
class EmoteGame {
 public:
  EmoteGame(const std::vector<Arg>& args, std::vector<const char*> layers = {"W0/chara.3"}, uint32_t names = 4,
            uint32_t values = 4) {
    Define(mGame, kNames, 3, names);
    Define(mGame, kValues, 2, values);
    Define(mGame, kIntNames, 1, 4);
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    code.Op("emote", args);
    code.Op("assign", {{"target", Var(kRunInt)}, {"value", Num(1)}});
    code.Op("wait", {{"frames", Num(1000)}});
    mGame.Add(code);
    EXPECT_TRUE(mGame.Load());
    mRuntime.emplace();
    EXPECT_EQ(InitEmoteDriver(), 0);
    for (const char* path : layers) {
      ObjectTreeNode* node = CreateTreeNode(g_LayerRoot, path, 1, 0);
      LayerRecord* record = GetLayerRecord(node);
      EXPECT_NE(record, nullptr);
      EXPECT_EQ(LoadEmotePlayer(record, kModel.data(), kModel.size()), 0);
      mLayers.push_back(record);
    }
    mRuntime->ClearCalls();
  }
  ~EmoteGame() { mRuntime.reset(); }

  // Runs the frame; true when the instruction after the command ran.
  bool Run() {
    mGame.Frame();
    return IntVar(kRunInt) == 1;
  }
  void* Player(size_t i = 0) const { return mLayers.at(i)->mPlayerHandle; }
  EmoteRuntimeDouble& Runtime() { return *mRuntime; }

  ScriptRunner mGame;
  std::optional<EmoteRuntimeDouble> mRuntime;
  std::vector<LayerRecord*> mLayers;
};

struct ExpectedCall {
  int mOrdinal;
  std::vector<float> mFloats;
  std::optional<std::string> mText;
};

struct ControlCase {
  const char* mName;
  std::vector<Arg> mArgs;
  std::vector<ExpectedCall> mCalls;
};

class EmoteControlCaseTest : public testing::TestWithParam<ControlCase> {};

TEST_P(EmoteControlCaseTest, TheArgumentsReachTheirOrdinals) {
  const ControlCase& c = GetParam();
  std::vector<Arg> args{{"path", Str("chara")}, {"num", Num(3)}};
  args.insert(args.end(), c.mArgs.begin(), c.mArgs.end());
  EmoteGame game(args);
  EXPECT_TRUE(game.Run());
  const std::vector<EmoteCall>& calls = game.Runtime().mCalls;
  ASSERT_EQ(calls.size(), c.mCalls.size()) << testing::PrintToString(game.Runtime().Ordinals());
  for (size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(calls[i].mOrdinal, c.mCalls[i].mOrdinal);
    EXPECT_EQ(calls[i].mTarget, game.Player());
    if (c.mCalls[i].mOrdinal != 245 && c.mCalls[i].mOrdinal != 247) {
      EXPECT_EQ(calls[i].mFloats, c.mCalls[i].mFloats);
    }
    EXPECT_EQ(calls[i].mHasText, c.mCalls[i].mText.has_value());
    if (c.mCalls[i].mText) {
      EXPECT_EQ(calls[i].mText, *c.mCalls[i].mText);
    }
  }
  for (const EmoteCall& call : game.Runtime().CallsTo(245)) EXPECT_EQ(call.mInts, (std::vector<int64_t>{1}));
  EXPECT_EQ(game.Runtime().mBadTargets, 0);
}

INSTANTIATE_TEST_SUITE_P(
    SubCommands, EmoteControlCaseTest,
    testing::Values(
        ControlCase{"NothingAsked", {}, {}},
        ControlCase{"Value214IsAFractionOfTenThousand", {{"value214", Num(5000)}}, {{214, {0.5f}, {}}}},
        ControlCase{"NegativeValue", {{"value214", Num(-2500)}}, {{214, {-0.25f}, {}}}},
        ControlCase{"ThreeValuesIn214_218_216Order",
                    {{"value216", Num(10000)}, {"value218", Num(2500)}, {"value214", Num(5000)}},
                    {{214, {0.5f}, {}}, {218, {0.25f}, {}}, {216, {1.0f}, {}}}},
        ControlCase{"Value218Alone", {{"value218", Num(7500)}}, {{218, {0.75f}, {}}}},
        ControlCase{"Call235AloneTakesItsDefaults", {{"ordinal235", Num(1)}}, {{235, {0, 1, 1, 1, 1}, {}}}},
        ControlCase{"Call235WithFiveValues",
                    {{"ordinal235", Num(-4)}, {"f1", Num(2)}, {"f2", Num(3)}, {"f3", Num(4)}, {"f4", Num(5)},
                     {"f5", Num(6)}},
                    {{235, {2, 3, 4, 5, 6}, {}}}},
        ControlCase{"Call235WithSomeValues",
                    {{"ordinal235", Num(1)}, {"f1", Num(-7)}, {"f4", Num(9)}},
                    {{235, {-7, 1, 1, 9, 1}, {}}}},
        ControlCase{"ZeroCalls236AndIgnoresTheValues",
                    {{"ordinal235", Num(0)}, {"f1", Num(2)}, {"f5", Num(6)}},
                    {{236, {}, {}}}},
        ControlCase{"OnlyOneCalls253", {{"ordinal253", Num(1)}}, {{253, {}, {}}}},
        ControlCase{"TwoDoesNotCall253", {{"ordinal253", Num(2)}}, {}},
        ControlCase{"ZeroDoesNotCall253", {{"ordinal253", Num(0)}}, {}},
        ControlCase{"ATextWithoutItsKindIsIgnored", {{"text", Str("walk")}}, {}},
        ControlCase{"AKindWithoutATextIsIgnored", {{"is_motion", Num(1)}}, {}},
        ControlCase{"KindOnePlaysAMotion", {{"text", Str("walk")}, {"is_motion", Num(1)}},
                    {{245, {}, std::string("walk")}}},
        ControlCase{"KindZeroSendsAText", {{"text", Str("hello")}, {"is_motion", Num(0)}},
                    {{247, {}, std::string("hello")}}},
        ControlCase{"AnyOtherKindSendsAText", {{"text", Str("hello")}, {"is_motion", Num(2)}},
                    {{247, {}, std::string("hello")}}},
        ControlCase{"AnEmptyTextIsSentEmpty", {{"text", Str("")}, {"is_motion", Num(0)}},
                    {{247, {}, std::string()}}},
        ControlCase{"AnEmptyMotionIsSentEmpty", {{"text", Str("")}, {"is_motion", Num(1)}},
                    {{245, {}, std::string()}}},
        ControlCase{"AJapaneseTextArrivesAsUtf8", {{"text", Str("こんにちは、世界")}, {"is_motion", Num(0)}},
                    {{247, {}, Utf8(u8"こんにちは、世界")}}},
        ControlCase{"AJapaneseMotionArrivesAsUtf8", {{"text", Str("待機ﾓｰｼｮﾝ")}, {"is_motion", Num(1)}},
                    {{245, {}, Utf8(u8"待機ﾓｰｼｮﾝ")}}},
        ControlCase{"TheTextComesFirstThen253ThenTheValuesThen235",
                    {{"ordinal235", Num(1)}, {"value214", Num(100)}, {"ordinal253", Num(1)}, {"text", Str("x")},
                     {"is_motion", Num(0)}},
                    {{247, {}, std::string("x")}, {253, {}, {}}, {214, {0.01f}, {}}, {235, {0, 1, 1, 1, 1}, {}}}}),
    [](const testing::TestParamInfo<ControlCase>& info) { return info.param.mName; });

struct PathCase {
  const char* mName;
  std::vector<Arg> mArgs;
  int mLayer;  // index into the layers below; -1 none
};

class EmoteControlPathTest : public testing::TestWithParam<PathCase> {};

TEST_P(EmoteControlPathTest, ThePathAndItsNumberNameTheLayer) {
  const PathCase& c = GetParam();
  std::vector<Arg> args = c.mArgs;
  args.push_back({"ordinal253", Num(1)});
  EmoteGame game(args, {"W0/chara.3", "W0/chara.-2", "W0/chara"});
  EXPECT_TRUE(game.Run());
  if (c.mLayer < 0) {
    EXPECT_TRUE(game.Runtime().mCalls.empty());
    return;
  }
  ASSERT_EQ(game.Runtime().Ordinals(), (std::vector<int>{253}));
  EXPECT_EQ(game.Runtime().mCalls[0].mTarget, game.Player(static_cast<size_t>(c.mLayer)));
}

INSTANTIATE_TEST_SUITE_P(Paths, EmoteControlPathTest,
                         testing::Values(PathCase{"NumberThree", {{"path", Str("chara")}, {"num", Num(3)}}, 0},
                                         PathCase{"NumberMinusTwo", {{"path", Str("chara")}, {"num", Num(-2)}}, 1},
                                         PathCase{"NoNumber", {{"path", Str("chara")}}, 2},
                                         PathCase{"ANumberNoLayerHas", {{"path", Str("chara")}, {"num", Num(4)}}, -1},
                                         PathCase{"NoSuchLayer", {{"path", Str("other")}}, -1}),
                         [](const testing::TestParamInfo<PathCase>& info) { return info.param.mName; });

TEST(EmoteControlTest, AnInvalidPathEndsTheTurnWithoutACall) {
  EmoteGame game({{"path", Str("group/a b")}, {"ordinal253", Num(1)}});
  EXPECT_FALSE(game.Run());
  EXPECT_TRUE(LastReportIs(kMsgBlankInName));
  EXPECT_TRUE(game.Runtime().mCalls.empty());
}

TEST(EmoteControlTest, ALayerWithoutAPlayerIsLeftAlone) {
  EmoteGame game({{"path", Str("plain")}, {"ordinal253", Num(1)}, {"value214", Num(1)},
                  {"text", Str("x")}, {"is_motion", Num(1)}},
                 {});
  ObjectTreeNode* node = CreateTreeNode(g_LayerRoot, "W0/plain", 1, 0);
  ASSERT_NE(GetLayerRecord(node), nullptr);
  EXPECT_TRUE(game.Run());
  EXPECT_TRUE(game.Runtime().mCalls.empty());
}

// The pairs: names from a string array, values from a real array, the count
// lowered to both arrays' sizes, the time in sixtieths of a second.
struct PairCase {
  const char* mName;
  uint32_t mNameCount;
  uint32_t mValueCount;
  std::optional<int64_t> mCount;
  std::optional<int64_t> mTime;
  int mExpectedPairs;
  float mExpectedTime;
};

class EmoteControlPairTest : public testing::TestWithParam<PairCase> {};

TEST_P(EmoteControlPairTest, ThePairsSentAreTheShorterArrayOrTheCount) {
  const PairCase& c = GetParam();
  std::vector<Arg> args{{"path", Str("chara.3")}, {"names", Whole(kNames)}, {"values", Whole(kValues)}};
  if (c.mCount) args.push_back({"count", Num(*c.mCount)});
  if (c.mTime) args.push_back({"time", Num(*c.mTime)});
  EmoteGame game(args, {"W0/chara.3"}, c.mNameCount, c.mValueCount);
  for (uint32_t i = 0; i < c.mNameCount; ++i) {
    std::string name = "v" + std::to_string(i);
    ASSERT_EQ(SetStringElement(kNames, i, name.c_str()), 0);
  }
  for (uint32_t i = 0; i < c.mValueCount; ++i) ASSERT_EQ(SetRealElement(kValues, i, 0.5 * i + 0.25), 0);
  EXPECT_TRUE(game.Run());

  std::vector<EmoteCall> calls = game.Runtime().CallsTo(233);
  ASSERT_EQ(calls.size(), static_cast<size_t>(c.mExpectedPairs));
  EXPECT_EQ(game.Runtime().mCalls.size(), calls.size());
  for (size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(calls[i].mTarget, game.Player());
    EXPECT_EQ(calls[i].mText, "v" + std::to_string(i));
    EXPECT_EQ(calls[i].mFloats, (std::vector<float>{static_cast<float>(0.5 * i + 0.25), c.mExpectedTime, 0.0f}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Counts, EmoteControlPairTest,
    testing::Values(PairCase{"TenWithFourNamesAndSixValues", 4, 6, 10, 1000, 4, 60.0f},
                    PairCase{"TenWithSixNamesAndFourValues", 6, 4, 10, 0, 4, 0.0f},
                    PairCase{"ThreeOfFour", 4, 4, 3, 500, 3, 30.0f},
                    PairCase{"NoTimeIsZero", 4, 4, 2, std::nullopt, 2, 0.0f},
                    PairCase{"ZeroSendsNone", 4, 6, 0, 1000, 0, 0.0f},
                    PairCase{"NegativeSendsNone", 4, 6, -5, 1000, 0, 0.0f},
                    PairCase{"NoCountSendsNone", 4, 6, std::nullopt, 1000, 0, 0.0f},
                    PairCase{"AllOf256", 256, 256, 256, 16, 256, 16 * 0.06f},
                    // More than the list holds: sent in lists of 256 one
                    // after another, so every pair reaches the player.
                    PairCase{"MoreThan256GoInBatches", 600, 600, 600, 1000, 600, 60.0f}),
    [](const testing::TestParamInfo<PairCase>& info) { return info.param.mName; });

TEST(EmoteControlTest, TheListHoldsTheLastBatchEndedByAnEntryWithoutAName) {
  EmoteGame game({{"path", Str("chara.3")}, {"names", Whole(kNames)}, {"values", Whole(kValues)},
                  {"count", Num(300)}},
                 {"W0/chara.3"}, 300, 300);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(SetStringElement(kNames, i, ("n" + std::to_string(i)).c_str()), 0);
  EXPECT_TRUE(game.Run());
  EXPECT_EQ(game.Runtime().CallsTo(233).size(), 300u);
  EXPECT_STREQ(g_EmoteVariablePairs[0].mName, "n256");
  EXPECT_STREQ(g_EmoteVariablePairs[43].mName, "n299");
  EXPECT_EQ(g_EmoteVariablePairs[44].mName, nullptr);
  EXPECT_EQ(g_EmoteVariablePairs[255].mName, nullptr);
}

TEST(EmoteControlTest, PairNamesArePassedAsTheScriptHoldsThem) {
  EmoteGame game({{"path", Str("chara.3")}, {"names", Whole(kNames)}, {"values", Whole(kValues)},
                  {"count", Num(2)}});
  ASSERT_EQ(SetStringElement(kNames, 0, "表情"), 0);
  ASSERT_EQ(SetStringElement(kNames, 1, ""), 0);
  ASSERT_EQ(SetRealElement(kValues, 0, -1.5), 0);
  EXPECT_TRUE(game.Run());
  EXPECT_EQ(game.Runtime().Pairs(),
            (std::vector<std::pair<std::string, float>>{{std::string("表情"), -1.5f}, {std::string(), 0.0f}}));
}

TEST(EmoteControlTest, PairsNeedBothArrays) {
  for (const char* missing : {"names", "values"}) {
    SCOPED_TRACE(missing);
    std::vector<Arg> args{{"path", Str("chara.3")}, {"count", Num(2)}};
    if (std::string(missing) != "names") args.push_back({"names", Whole(kNames)});
    if (std::string(missing) != "values") args.push_back({"values", Whole(kValues)});
    EmoteGame game(args);
    EXPECT_TRUE(game.Run());
    EXPECT_TRUE(game.Runtime().mCalls.empty());
  }
}

// Names from a variable without string elements: there is nothing to send.
TEST(EmoteControlTest, NamesFromAnIntegerVariableSendNothing) {
  EmoteGame game({{"path", Str("chara.3")}, {"names", Whole(kIntNames)}, {"values", Whole(kValues)},
                  {"count", Num(2)}});
  EXPECT_TRUE(game.Run());
  EXPECT_TRUE(game.Runtime().mCalls.empty());
}

// The motion name and the text pass through work buffers of 512 and 508
// bytes: longer ones are cut there, on a character boundary.
TEST(EmoteControlTest, LongMotionNamesAndTextsAreCutToTheirBuffers) {
  struct Case {
    const char* mWhat;
    std::string mText;
    int64_t mKind;
    std::string mExpected;
  };
  std::string wide;
  std::string wideUtf8;
  for (int i = 0; i < 300; ++i) {
    wide += "あ";
    wideUtf8 += Utf8(u8"あ");
  }
  const Case cases[] = {
      {"ASCII motion", std::string(600, 'm'), 1, std::string(511, 'm')},
      {"ASCII text", std::string(600, 't'), 0, std::string(507, 't')},
      {"double-byte motion", wide, 1, wideUtf8.substr(0, 255 * 3)},
      {"double-byte text", wide, 0, wideUtf8.substr(0, 253 * 3)},
      {"exactly 511 bytes", std::string(511, 'e'), 1, std::string(511, 'e')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mWhat);
    EmoteGame game({{"path", Str("chara.3")}, {"text", Str(c.mText)}, {"is_motion", Num(c.mKind)}});
    EXPECT_TRUE(game.Run());
    ASSERT_EQ(game.Runtime().mCalls.size(), 1u);
    EXPECT_EQ(game.Runtime().mCalls[0].mText, c.mExpected);
  }
}

TEST(EmoteControlTest, WithoutTheRuntimeNothingHappens) {
  EmoteGame game({{"path", Str("chara.3")}, {"ordinal253", Num(1)}, {"value214", Num(5000)},
                  {"text", Str("x")}, {"is_motion", Num(1)}, {"ordinal235", Num(0)}});
  ReleaseEmoteDlls();
  EXPECT_EQ(g_EmoteEnabled, 0);
  EXPECT_TRUE(game.Run());
  EXPECT_TRUE(game.Runtime().mCalls.empty());
}

struct Utf8Case {
  const char* mName;
  std::string mSjis;
  size_t mLength;
  std::string mUtf8;
};

class SjisToUtf8Test : public testing::TestWithParam<Utf8Case> {};

TEST_P(SjisToUtf8Test, ConvertsTheGivenBytes) {
  const Utf8Case& c = GetParam();
  EXPECT_EQ(SjisToUtf8(c.mSjis.data(), c.mLength), c.mUtf8);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SjisToUtf8Test,
    testing::Values(Utf8Case{"Ascii", "walk_01", 7, "walk_01"}, Utf8Case{"Empty", "", 0, ""},
                    Utf8Case{"Kanji", "笑顔", 4, Utf8(u8"笑顔")},
                    Utf8Case{"HalfWidthKatakana", "ｱｲ", 2, Utf8(u8"ｱｲ")},
                    Utf8Case{"OnlyTheLengthGiven", "abc笑顔", 5, Utf8(u8"abc笑")}),
    [](const testing::TestParamInfo<Utf8Case>& info) { return info.param.mName; });

}  // namespace
