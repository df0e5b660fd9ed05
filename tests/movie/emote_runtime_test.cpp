// The E-mote runtime interface through a recording stand-in runtime: the
// driver, loading and releasing players with their slots and boxes, the
// animation query, the time given to players, and everything off while the
// runtime is absent.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/process_state.h"
#include "datasrc/resource_lookup.h"
#include "image/image_decoders.h"
#include "layer/layer_record.h"
#include "movie/emote.h"
#include "render/direct3d.h"
#include "render/gpu_frame.h"
#include "shell/engine_reset.h"
#include "shell/frame.h"
#include "support/emote_double.h"
#include "support/fake_clock.h"
#include "support/image_test_env.h"
#include "support/layer_tree_env.h"

namespace {

const std::vector<uint8_t> kModel = {'P', 'S', 'B', 0, 1, 2, 3, 4, 5};

// Records outlive the engine reset of the recorder, which outlives the
// runtime: a player still held when a test ends is released through it.
class EmoteRuntimeTest : public testing::Test {
 protected:
  LayerRecord* Record(int i) { return mRecords[static_cast<size_t>(i)].get(); }
  int Load(LayerRecord* record) { return LoadEmotePlayer(record, kModel.data(), kModel.size()); }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const RecordedBox& box : mReports.Boxes()) texts.push_back(box.mText);
    return texts;
  }

  std::array<ScopedLayerRecord, kEmotePlayerSlots + 2> mRecords;
  ImageReportRecorder mReports;
  EmoteRuntimeDouble mRuntime;
};

TEST_F(EmoteRuntimeTest, TheDriverIsMadeOnTheDeviceAndStarted) {
  int deviceStandIn = 0;
  GpuDevice* saved = g_pD3DDevice;
  g_pD3DDevice = reinterpret_cast<GpuDevice*>(&deviceStandIn);
  int result = InitEmoteDriver();
  g_pD3DDevice = saved;
  EXPECT_EQ(result, 0);
  EXPECT_EQ(mRuntime.Ordinals(), (std::vector<int>{2, 110}));
  EXPECT_EQ(mRuntime.mCalls[0].mDevice, &deviceStandIn);
  EXPECT_EQ(mRuntime.mCalls[1].mTarget, mRuntime.mDriver);
  EXPECT_EQ(mRuntime.mCalls[1].mInts, (std::vector<int64_t>{0}));
  EXPECT_EQ(g_EmoteDriver, mRuntime.mDriver);
  EXPECT_EQ(mRuntime.mBadTargets, 0);
}

TEST_F(EmoteRuntimeTest, ADriverTheRuntimeRefusesIsReportedAndNotStarted) {
  mRuntime.mFailDriver = true;
  EXPECT_EQ(InitEmoteDriver(), 1);
  EXPECT_EQ(mRuntime.Ordinals(), (std::vector<int>{2}));
  EXPECT_EQ(g_EmoteDriver, nullptr);
}

TEST_F(EmoteRuntimeTest, MakingTheDriverAgainReleasesEveryPlayerAndTheOldDriver) {
  ASSERT_EQ(InitEmoteDriver(), 0);
  ASSERT_EQ(Load(Record(0)), 0);
  ASSERT_EQ(Load(Record(1)), 0);
  void* first = Record(0)->mPlayerHandle;
  void* second = Record(1)->mPlayerHandle;
  void* oldDriver = g_EmoteDriver;
  mRuntime.ClearCalls();

  ASSERT_EQ(InitEmoteDriver(), 0);
  EXPECT_EQ(mRuntime.Ordinals(), (std::vector<int>{202, 202, 102, 2, 110}));
  EXPECT_EQ(mRuntime.mCalls[0].mTarget, first);
  EXPECT_EQ(mRuntime.mCalls[1].mTarget, second);
  EXPECT_EQ(mRuntime.mCalls[2].mTarget, oldDriver);
  EXPECT_EQ(Record(0)->mPlayerHandle, nullptr);
  EXPECT_EQ(Record(0)->mGpuState, 0);
  EXPECT_EQ(FindEmoteSlot(Record(0)), -1);
  EXPECT_TRUE(mRuntime.mLivePlayers.empty());
  EXPECT_EQ(mRuntime.mBadTargets, 0);
}

TEST_F(EmoteRuntimeTest, ALoadedPlayerHasASlotAndStartsWithItsThreeValuesAtAHalf) {
  ASSERT_EQ(InitEmoteDriver(), 0);
  mRuntime.ClearCalls();
  LayerRecord* record = Record(0);
  g_EmotePendingTime[0] = 33;
  ASSERT_EQ(Load(record), 0);

  ASSERT_NE(record->mPlayerHandle, nullptr);
  EXPECT_EQ(record->mGpuState, 2);
  EXPECT_EQ(g_EmotePlayers[0], record);
  EXPECT_EQ(g_EmotePendingTime[0], 0.0f);
  EXPECT_EQ(mRuntime.Ordinals(), (std::vector<int>{119, 214, 218, 216}));
  EXPECT_EQ(mRuntime.mCalls[0].mTarget, g_EmoteDriver);
  EXPECT_EQ(mRuntime.mCalls[0].mDataSize, kModel.size());
  for (size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(mRuntime.mCalls[i].mTarget, record->mPlayerHandle);
    EXPECT_EQ(mRuntime.mCalls[i].mFloats, (std::vector<float>{0.5f}));
  }
  EXPECT_TRUE(mReports.Boxes().empty());
}

TEST_F(EmoteRuntimeTest, APlayerThatIsAlreadyHeldIsNotLoadedAgain) {
  ASSERT_EQ(InitEmoteDriver(), 0);
  ASSERT_EQ(Load(Record(0)), 0);
  void* player = Record(0)->mPlayerHandle;
  mRuntime.ClearCalls();
  EXPECT_EQ(Load(Record(0)), 1);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"EmotePlayerがすでに読み込まれています."}));
  EXPECT_EQ(mReports.Boxes()[0].mCaption, "");
  EXPECT_TRUE(mRuntime.mCalls.empty());
  EXPECT_EQ(Record(0)->mPlayerHandle, player);
}

TEST_F(EmoteRuntimeTest, APlayerTheRuntimeCannotMakeLeavesTheLayerWithoutOne) {
  ASSERT_EQ(InitEmoteDriver(), 0);
  mRuntime.mFailPlayer = true;
  EXPECT_EQ(Load(Record(0)), 1);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"EmotePlayer読み込みに失敗しました."}));
  EXPECT_EQ(Record(0)->mPlayerHandle, nullptr);
  EXPECT_EQ(Record(0)->mGpuState, 0);
  EXPECT_EQ(FindEmoteSlot(Record(0)), -1);
  EXPECT_EQ(mRuntime.Ordinals(), (std::vector<int>{2, 110, 119}));
}

TEST_F(EmoteRuntimeTest, WithoutADriverNoPlayerIsAskedFor) {
  EXPECT_EQ(Load(Record(0)), 1);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"EmotePlayer読み込みに失敗しました."}));
  EXPECT_TRUE(mRuntime.mCalls.empty());
}

// With every slot taken the next load is refused before the runtime makes a
// player, so no player is left attached to a layer outside the slots.
TEST_F(EmoteRuntimeTest, ALoadWithEverySlotTakenIsRefusedBeforeAPlayerIsMade) {
  ASSERT_EQ(InitEmoteDriver(), 0);
  for (int i = 0; i < kEmotePlayerSlots; ++i) ASSERT_EQ(Load(Record(i)), 0) << i;
  ASSERT_EQ(mRuntime.mPlayersMade, kEmotePlayerSlots);
  mRuntime.ClearCalls();

  LayerRecord* extra = Record(kEmotePlayerSlots);
  EXPECT_EQ(Load(extra), 1);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"EmotePlayer最大読込数をオーバーしました."}));
  EXPECT_TRUE(mRuntime.mCalls.empty());
  EXPECT_EQ(extra->mPlayerHandle, nullptr);
  EXPECT_EQ(mRuntime.mPlayersMade, kEmotePlayerSlots);

  // A released slot serves the next load.
  ReleaseEmotePlayer(Record(7));
  EXPECT_EQ(Load(extra), 0);
  EXPECT_EQ(g_EmotePlayers[7], extra);
}

TEST_F(EmoteRuntimeTest, ReleasingAPlayerFreesItsSlotAndClearsTheLayer) {
  ASSERT_EQ(InitEmoteDriver(), 0);
  ASSERT_EQ(Load(Record(0)), 0);
  ASSERT_EQ(Load(Record(1)), 0);
  void* player = Record(1)->mPlayerHandle;
  g_EmotePendingTime[1] = 12;
  mRuntime.ClearCalls();

  ReleaseEmotePlayer(Record(1));
  EXPECT_EQ(mRuntime.Ordinals(), (std::vector<int>{202}));
  EXPECT_EQ(mRuntime.mCalls[0].mTarget, player);
  EXPECT_EQ(g_EmotePlayers[1], nullptr);
  EXPECT_EQ(g_EmotePendingTime[1], 0.0f);
  EXPECT_EQ(Record(1)->mPlayerHandle, nullptr);
  EXPECT_EQ(Record(1)->mGpuState, 0);
  EXPECT_EQ(g_EmotePlayers[0], Record(0));

  // A layer without a player: nothing reaches the runtime.
  mRuntime.ClearCalls();
  ReleaseEmotePlayer(Record(1));
  EXPECT_TRUE(mRuntime.mCalls.empty());
  EXPECT_EQ(mRuntime.mBadTargets, 0);
}

TEST_F(EmoteRuntimeTest, ReleasingAllDestroysEveryPlayerThenTheDriver) {
  ASSERT_EQ(InitEmoteDriver(), 0);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Load(Record(i)), 0);
  void* driver = g_EmoteDriver;
  mRuntime.ClearCalls();
  ReleaseAllEmotePlayers();
  EXPECT_EQ(mRuntime.Ordinals(), (std::vector<int>{202, 202, 202, 102}));
  EXPECT_EQ(mRuntime.mCalls[3].mTarget, driver);
  EXPECT_EQ(g_EmoteDriver, nullptr);
  for (LayerRecord* slot : g_EmotePlayers) EXPECT_EQ(slot, nullptr);
  EXPECT_TRUE(mRuntime.mLivePlayers.empty());
  EXPECT_EQ(mRuntime.mBadTargets, 0);
}

struct AnimatingCase {
  const char* mName;
  bool mAnimating;  // ordinal 255 answers 1
  bool mTimeline;   // ordinal 246 answers 1
  bool mExpected;
  std::vector<int> mOrdinals;
};

class EmoteAnimatingTest : public EmoteRuntimeTest, public testing::WithParamInterface<AnimatingCase> {};

TEST_P(EmoteAnimatingTest, EitherQueryMakesThePlayerCountAsAnimating) {
  const AnimatingCase& c = GetParam();
  ASSERT_EQ(InitEmoteDriver(), 0);
  ASSERT_EQ(Load(Record(0)), 0);
  void* player = Record(0)->mPlayerHandle;
  if (c.mAnimating) mRuntime.mAnimating.insert(player);
  if (c.mTimeline) mRuntime.mTimelinePlaying.insert(player);
  mRuntime.ClearCalls();
  EXPECT_EQ(IsEmoteAnimating(), c.mExpected);
  EXPECT_EQ(mRuntime.Ordinals(), c.mOrdinals);
  for (const EmoteCall& call : mRuntime.CallsTo(246)) {
    EXPECT_TRUE(call.mHasText);
    EXPECT_EQ(call.mText, "");
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, EmoteAnimatingTest,
                         testing::Values(AnimatingCase{"Still", false, false, false, {255, 246}},
                                         AnimatingCase{"Animating", true, false, true, {255}},
                                         AnimatingCase{"TimelineRunning", false, true, true, {255, 246}}),
                         [](const testing::TestParamInfo<AnimatingCase>& info) { return info.param.mName; });

TEST_F(EmoteRuntimeTest, NoPlayerMeansNothingAnimates) {
  EXPECT_FALSE(IsEmoteAnimating());
  EXPECT_TRUE(mRuntime.mCalls.empty());
}

TEST_F(EmoteRuntimeTest, AdvancingGivesThePlayerTheTimeInSixtiethsOfASecond) {
  ASSERT_EQ(InitEmoteDriver(), 0);
  ASSERT_EQ(Load(Record(0)), 0);
  mRuntime.ClearCalls();
  AdvanceEmotePlayer(Record(0), 1000.0f);
  AdvanceEmotePlayer(Record(0), 16.0f);
  AdvanceEmotePlayer(Record(1), 16.0f);  // no player: nothing
  ASSERT_EQ(mRuntime.Ordinals(), (std::vector<int>{254, 254}));
  EXPECT_EQ(mRuntime.mCalls[0].mTarget, Record(0)->mPlayerHandle);
  EXPECT_EQ(mRuntime.mCalls[0].mFloats, (std::vector<float>{1000.0f * 0.06f}));
  EXPECT_EQ(mRuntime.mCalls[1].mFloats, (std::vector<float>{16.0f * 0.0599999987f}));
}

// PaceFrame hands each player the time it has pending, then gives every
// player the time this frame took, to be handed on by the next pacing or by
// the player's drawing.
TEST_F(EmoteRuntimeTest, PacingGivesPendingTimeOnceAndCollectsTheNextFramesTime) {
  FakeClock clock{100000};
  ASSERT_EQ(InitEmoteDriver(), 0);
  ASSERT_EQ(Load(Record(0)), 0);
  ASSERT_EQ(Load(Record(1)), 0);
  ReleaseEmotePlayer(Record(0));  // slot 0 free, slot 1 held
  g_LastFrameTime = clock.Now();
  clock.Advance(20);
  g_EmotePendingTime[1] = 10.0f;
  mRuntime.ClearCalls();

  PaceFrame();
  ASSERT_EQ(mRuntime.Ordinals(), (std::vector<int>{254}));
  EXPECT_EQ(mRuntime.mCalls[0].mTarget, Record(1)->mPlayerHandle);
  EXPECT_EQ(mRuntime.mCalls[0].mFloats, (std::vector<float>{10.0f * 0.06f}));
  EXPECT_EQ(g_EmotePendingTime[1], 20.0f);
  EXPECT_EQ(g_EmotePendingTime[0], 0.0f);
}

TEST_F(EmoteRuntimeTest, AnAnimatingPlayerAsksForAGpuFrame) {
  FakeClock clock{100000};
  ASSERT_EQ(InitEmoteDriver(), 0);
  ASSERT_EQ(Load(Record(0)), 0);
  mRuntime.mAnimating.insert(Record(0)->mPlayerHandle);
  g_GpuRedrawRequest = 0;
  RunFrame();
  EXPECT_EQ(g_GpuRedrawRequest, 1);
}

TEST_F(EmoteRuntimeTest, AModelFileMakesAStartedPlayerBehindAPlaceholder) {
  ASSERT_EQ(InitEmoteDriver(), 0);
  mRuntime.ClearCalls();
  LayerRecord* record = Record(0);
  EXPECT_EQ(DecodeBytesAs(record, FILE_TYPE_PSB, kModel, "chara.psb"), 0);
  EXPECT_EQ(record->mWidth, 2);
  EXPECT_EQ(record->mHeight, 2);
  EXPECT_EQ(record->mGpuState, 2);
  ASSERT_NE(record->mPlayerHandle, nullptr);
  EXPECT_EQ(mRuntime.Ordinals(), (std::vector<int>{119, 214, 218, 216, 222, 205}));
  EXPECT_EQ(mRuntime.mCalls[0].mDataSize, kModel.size());
  EXPECT_EQ(mRuntime.mCalls[4].mFloats, (std::vector<float>{0, 0, 0}));
  EXPECT_EQ(mRuntime.mCalls[5].mTarget, record->mPlayerHandle);

  // A second model replaces the first player.
  void* first = record->mPlayerHandle;
  mRuntime.ClearCalls();
  EXPECT_EQ(DecodeBytesAs(record, FILE_TYPE_PSB, kModel, "chara.psb"), 0);
  ASSERT_FALSE(mRuntime.mCalls.empty());
  EXPECT_EQ(mRuntime.mCalls[0].mOrdinal, 202);
  EXPECT_EQ(mRuntime.mCalls[0].mTarget, first);
  EXPECT_NE(record->mPlayerHandle, first);
  EXPECT_EQ(mRuntime.mLivePlayers.size(), 1u);
}

TEST_F(EmoteRuntimeTest, AModelTheRuntimeRefusesFailsTheLoadWithItsBox) {
  ASSERT_EQ(InitEmoteDriver(), 0);
  mRuntime.mFailPlayer = true;
  EXPECT_EQ(DecodeBytesAs(Record(0), FILE_TYPE_PSB, kModel, "chara.psb"), -1);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"EmotePlayer読み込みに失敗しました.",
                                                  "E-mote 読込に失敗しました. = chara.psb"}));
  EXPECT_EQ(Record(0)->mPlayerHandle, nullptr);
}

TEST_F(EmoteRuntimeTest, TheEngineResetReleasesPlayersAndUnbindsTheRuntime) {
  ASSERT_EQ(InitEmoteDriver(), 0);
  ASSERT_EQ(Load(Record(0)), 0);
  ResetEngineState();
  EXPECT_EQ(g_EmoteEnabled, 0);
  EXPECT_EQ(g_EmotePlayers[0], nullptr);
  EXPECT_EQ(Record(0)->mPlayerHandle, nullptr);
  EXPECT_TRUE(mRuntime.mLivePlayers.empty());
  EXPECT_EQ(mRuntime.mDriver, nullptr);
  EXPECT_EQ(g_EmoteApi.mCreatePlayer, nullptr);
}

// Without the runtime (this platform's program) nothing is bound: E-mote
// stays off and a load fails with its box.
TEST(EmoteRuntimeAbsentTest, EverythingStaysOff) {
  ScopedLayerRecord record;
  ImageReportRecorder reports;
  EXPECT_EQ(LoadEmoteDlls(), 0);
  EXPECT_EQ(g_EmoteEnabled, 0);
  EXPECT_EQ(g_EmoteApi.mCreateDriver, nullptr);
  EXPECT_EQ(InitEmoteDriver(), 1);
  EXPECT_EQ(LoadEmotePlayer(record.get(), kModel.data(), kModel.size()), 1);
  EXPECT_EQ(record->mPlayerHandle, nullptr);
  ASSERT_EQ(reports.Boxes().size(), 1u);
  EXPECT_EQ(reports.Boxes()[0].mText, "EmotePlayer読み込みに失敗しました.");
  // A slot holding a record with a handle: no runtime answers, nothing moves.
  int handle = 0;
  record->mPlayerHandle = &handle;
  g_EmotePlayers[4] = record.get();
  EXPECT_FALSE(IsEmoteAnimating());
  AdvanceEmotePlayer(record.get(), 16.0f);
  ReleaseAllEmotePlayers();
  EXPECT_EQ(g_EmotePlayers[4], nullptr);
  EXPECT_EQ(record->mPlayerHandle, nullptr);
}

}  // namespace

namespace {

// A deleted layer takes its player with it and asks for a GPU frame.
TEST(EmoteRuntimeLayerTest, ReleasingTheLayerDestroysItsPlayer) {
  LayerTreeEnvironment env(64, 64);
  ObjectTreeNode* node = env.Add(env.mW0, "chara", 0, 0, 2, 2);
  EmoteRuntimeDouble runtime;
  ASSERT_EQ(InitEmoteDriver(), 0);
  ASSERT_EQ(LoadEmotePlayer(RecordOf(node), kModel.data(), kModel.size()), 0);
  void* player = RecordOf(node)->mPlayerHandle;
  runtime.ClearCalls();
  g_GpuRedrawRequest = 0;
  ReleaseLayerNode(node);
  ASSERT_EQ(runtime.Ordinals(), (std::vector<int>{202}));
  EXPECT_EQ(runtime.mCalls[0].mTarget, player);
  EXPECT_TRUE(runtime.mLivePlayers.empty());
  for (LayerRecord* slot : g_EmotePlayers) EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(g_GpuRedrawRequest, 1);
}

}  // namespace
