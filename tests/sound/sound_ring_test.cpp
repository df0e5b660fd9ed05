#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/errors.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "core/window_table.h"
#include "platform/audio_mixer.h"
#include "script/task_step.h"
#include "sound/sound_controls.h"
#include "sound/sound_commands.h"
#include "sound/sound_record.h"
#include "sound/sound_ring.h"
#include "sound/sound_thread.h"
#include "support/fake_clock.h"
#include "support/sound_fixtures.h"

namespace {

SoundRecord* Rec(ObjectTreeNode* node) { return static_cast<SoundRecord*>(node->mPayload); }

struct RingFixture : testing::Test {
  FakeClock mClock{1000};
  SoundTestEnvironment mEnv;
};

TEST_F(RingFixture, AFullRingKeepsItsRequestsAndReportsTheOverflow) {
  InstallTaggedMessages({kMsgSoundRingFull});
  ObjectTreeNode* node = mEnv.Add("a");
  for (int i = 0; i < kSoundRingSlots - 1; ++i) ASSERT_EQ(PostSoundRequest(node, SOUND_REQ_SET_PAN, i), i);
  EXPECT_EQ(g_LastErrorText.find("E110200"), std::string::npos);
  // No sound thread drains: the poster gives up instead of waiting for ever.
  EXPECT_EQ(PostSoundRequest(node, SOUND_REQ_SET_PAN, 7), -1);
  EXPECT_NE(g_LastErrorText.find("E110200"), std::string::npos);
  EXPECT_EQ(g_SoundRequestWrite, kSoundRingSlots - 1);
  EXPECT_EQ(g_SoundRequestRead, 0);
  mEnv.Poll();
  EXPECT_EQ(g_SoundRequestRead, g_SoundRequestWrite);
  for (int i = 0; i < kSoundRingSlots - 1; ++i) ASSERT_EQ(g_SoundRequestDone[i], 1) << i;
}

TEST_F(RingFixture, TheRingWrapsAndHandlesRequestsInOrder) {
  ObjectTreeNode* node = mEnv.Add("a");
  Rec(node)->mState = SOUND_STATE_LOADED;  // pan requests need a busy node
  for (int round = 0; round < 5; ++round) {
    for (int i = 0; i < 300; ++i) PostSoundRequest(node, SOUND_REQ_SET_PAN, round * 1000 + i);
    mEnv.Poll();
    EXPECT_EQ(Rec(node)->mPan, round * 1000 + 299);
  }
  EXPECT_EQ(g_SoundRequestWrite, (5 * 300) % kSoundRingSlots);
  Rec(node)->mState = SOUND_STATE_IDLE;
}

TEST_F(RingFixture, WaitsEndWhenTheSoundThreadDoesNotRun) {
  ObjectTreeNode* node = mEnv.Add("a");
  int32_t slot = PostSoundRequest(node, SOUND_REQ_NOP, 0);
  EXPECT_FALSE(WaitForSoundRequest(slot));
  Rec(node)->mState = SOUND_STATE_PLAYING;
  EXPECT_FALSE(WaitForSoundIdle(Rec(node)));
  Rec(node)->mState = SOUND_STATE_IDLE;
  mEnv.Poll();
  EXPECT_TRUE(WaitForSoundRequest(slot));
}

TEST_F(RingFixture, ARequestWithoutANodeIsMarkedDoneWithoutAHandler) {
  int32_t slot = PostSoundRequest(nullptr, SOUND_REQ_PLAY, 0);
  mEnv.Poll();
  EXPECT_EQ(g_SoundRequestDone[slot], 1);
}

TEST_F(RingFixture, NamesAreCopiedBoundedToTheSlot) {
  std::string name(400, 'n');
  int32_t slot = PostSoundRequest(nullptr, SOUND_REQ_LOAD, 0, name.c_str());
  EXPECT_EQ(std::string(g_SoundRequestNames[slot]), std::string(kSoundRequestNameBytes - 1, 'n'));
  EXPECT_EQ(kSoundRequestNameBytes, kSoundFileNameBytes);
}

TEST_F(RingFixture, DeletingAGroupClearsThePendingRequestsOfItsSubtree) {
  ObjectTreeNode* group = mEnv.Add("g", true);
  ObjectTreeNode* member = mEnv.Add("g/m");
  ObjectTreeNode* other = mEnv.Add("o");
  PostSoundRequest(member, SOUND_REQ_SET_VOLUME, 10);
  int32_t kept = PostSoundRequest(other, SOUND_REQ_SET_VOLUME, 20);
  DeleteSoundGroup(group);
  for (int32_t slot = g_SoundRequestRead; slot != g_SoundRequestWrite; slot = (slot + 1) % kSoundRingSlots) {
    if (slot != kept) {
      EXPECT_EQ(g_SoundRequestNodes[slot], nullptr) << slot;
    }
  }
  mEnv.Poll();
  EXPECT_EQ(Rec(other)->mVolume, 20);
  EXPECT_EQ(g_SoundRoot->mFirstChild->mFirstChild, other);
}

struct AttenuationCase {
  int32_t mValue;
  int32_t mVolume;
  int32_t mPan;
};

TEST(SoundMappingTest, VolumePanAndFrequencyMapOntoTheChannel) {
  const AttenuationCase cases[] = {{256, 0, 0}, {128, -1204, -1204}, {2, -8428, -8428}, {1, -9632, -9632},
                                   {0, -10000, -10000}};
  for (const AttenuationCase& c : cases) {
    EXPECT_EQ(SoundVolumeAttenuation(c.mValue), c.mVolume) << c.mValue;
    EXPECT_EQ(SoundPanAttenuation(c.mValue), c.mPan) << c.mValue;
  }
  EXPECT_EQ(SoundPanAttenuation(512), 10000);
  EXPECT_EQ(SoundPanAttenuation(384), 1204);
  EXPECT_EQ(SoundPanAttenuation(600), 0);
  EXPECT_EQ(SoundPanAttenuation(-1), 0);
  EXPECT_EQ(SoundFrequencyRate(0, 44100), 22050u);
  EXPECT_EQ(SoundFrequencyRate(256, 44100), 44100u);
  EXPECT_EQ(SoundFrequencyRate(512, 44100), 66150u);
  EXPECT_EQ(SoundFrequencyRate(900, 44100), 44100u);
}

struct ControlFixture : RingFixture {
  ObjectTreeNode* Start(const char* path, int32_t fadeMs = 0) {
    std::vector<int16_t> samples(kMixRate * 3, 16384);
    mEnv.WriteFile("c.wav", MakePcmWav(1, kMixRate, 16, Pcm16Bytes(samples)));
    ObjectTreeNode* node = mEnv.Add(path);
    mEnv.Load(node, "c.wav", SOUND_SOURCE_WAV);
    PostSoundRequest(node, SOUND_REQ_PLAY, fadeMs);
    mEnv.Poll();
    return node;
  }
};

TEST_F(ControlFixture, AGroupAtHalfVolumeScalesItsMembers) {
  ObjectTreeNode* group = mEnv.Add("g", true);
  ObjectTreeNode* node = Start("g/m");
  PostSoundRequest(group, SOUND_REQ_SET_VOLUME, 128);
  mEnv.Poll();
  EXPECT_EQ(GetEffectiveVolume(node), 128);
  EXPECT_EQ(GetAudioBufferVolume(Rec(node)->mBuffer), -1204);
  std::vector<float> left;
  mEnv.RenderAndPoll(10, &left);
  EXPECT_NEAR(left[0], 0.5 * std::pow(10.0, -1204 / 2000.0), 1e-6);
}

TEST_F(ControlFixture, FadesReachTheirTargetsExactlyEvenWhenVeryLong) {
  ObjectTreeNode* node = Start("f", 300000);
  SoundRecord* record = Rec(node);
  EXPECT_EQ(record->mState, SOUND_STATE_FADING);
  mClock.Advance(150000);
  mEnv.Poll();
  EXPECT_EQ(record->mVolume, 128);
  mClock.Advance(150000);
  mEnv.Poll();
  EXPECT_EQ(record->mVolume, 256);
  EXPECT_EQ(record->mState, SOUND_STATE_PLAYING);
  PostSoundRequest(node, SOUND_REQ_FADE_OUT, 1000);
  mEnv.Poll();
  mClock.Advance(500);
  mEnv.Poll();
  EXPECT_EQ(record->mVolume, 129);  // 256 + trunc(500 * (-262) / 1024)
  mClock.Advance(500);
  mEnv.Poll();
  EXPECT_EQ(record->mState, SOUND_STATE_IDLE);
  EXPECT_EQ(record->mBuffer, nullptr);
}

TEST_F(ControlFixture, PanAndFrequencyReachTheBufferAndWaitForAPausedOne) {
  ObjectTreeNode* node = Start("p");
  SoundRecord* record = Rec(node);
  PostSoundRequest(node, SOUND_REQ_SET_PAN, 0);
  PostSoundRequest(node, SOUND_REQ_SET_FREQUENCY, 512);
  mEnv.Poll();
  EXPECT_EQ(GetAudioBufferPan(record->mBuffer), -10000);
  EXPECT_EQ(GetAudioBufferFrequency(record->mBuffer), kMixRate * 3 / 2);
  PostSoundRequest(node, SOUND_REQ_PAUSE, 1);
  PostSoundRequest(node, SOUND_REQ_SET_FREQUENCY, 0);
  mEnv.Poll();
  EXPECT_EQ(record->mBuffer, nullptr);
  PostSoundRequest(node, SOUND_REQ_PAUSE, 0);
  mEnv.Poll();
  ASSERT_NE(record->mBuffer, nullptr);
  EXPECT_EQ(GetAudioBufferFrequency(record->mBuffer), kMixRate / 2);
  EXPECT_EQ(GetAudioBufferPan(record->mBuffer), -10000);
}

TEST_F(ControlFixture, GroupPauseSkipsMembersWithoutABufferAndKeepsOwnPauses) {
  ObjectTreeNode* group = mEnv.Add("g", true);
  ObjectTreeNode* a = Start("g/a");
  ObjectTreeNode* b = Start("g/b");
  ObjectTreeNode* idle = mEnv.Add("g/idle");
  Rec(idle)->mState = SOUND_STATE_PLAYING;  // a member that lost its channel
  PostSoundRequest(b, SOUND_REQ_PAUSE, 1);
  PostSoundRequest(group, SOUND_REQ_PAUSE, 1);
  mEnv.Poll();
  EXPECT_EQ(Rec(a)->mBuffer, nullptr);
  EXPECT_EQ(Rec(b)->mBuffer, nullptr);
  PostSoundRequest(group, SOUND_REQ_PAUSE, 0);
  Rec(idle)->mState = SOUND_STATE_IDLE;
  mEnv.Poll();
  EXPECT_NE(Rec(a)->mBuffer, nullptr);
  EXPECT_EQ(Rec(b)->mBuffer, nullptr);
  EXPECT_EQ(g_QuitFlag.load(), 0);
}

TEST_F(ControlFixture, TheInactiveWindowPausesEverySoundAndActivationResumesIt) {
  ObjectTreeNode* node = Start("w");
  std::vector<float> left;
  mEnv.RenderAndPoll(kMixRate / 4, &left);
  WindowObject window;  // inactive
  g_WindowTable[0] = &window;
  g_RunInBackground = 0;
  mEnv.Poll();
  EXPECT_EQ(g_SoundAutoPaused, 1);
  EXPECT_EQ(Rec(node)->mBuffer, nullptr);
  int64_t position = Rec(node)->mBytesPlayed;
  EXPECT_GE(position, kMixRate / 4 * 2 - 960);
  window.mActive = 1;
  mEnv.Poll();
  EXPECT_EQ(g_SoundAutoPaused, 0);
  ASSERT_NE(Rec(node)->mBuffer, nullptr);
  EXPECT_EQ(Rec(node)->mStartMs, position * 1000 / (kMixRate * 2));
  g_WindowTable[0] = nullptr;
}

TEST_F(ControlFixture, SoundsHeldUnderADisabledGroupResumeWhenItIsEnabled) {
  ObjectTreeNode* group = mEnv.Add("g", true);
  ObjectTreeNode* node = Start("g/m");
  Rec(group)->mEnabled = 0;
  g_InactivePause = 1;
  mEnv.Poll();
  g_InactivePause = 0;
  mEnv.Poll();
  EXPECT_EQ(Rec(node)->mBuffer, nullptr);  // still held: its group is disabled
  Rec(group)->mEnabled = 1;
  PostSoundRequest(group, SOUND_REQ_SET_VOLUME, 256);
  mEnv.Poll();
  EXPECT_NE(Rec(node)->mBuffer, nullptr);
}

TEST_F(ControlFixture, ReleaseClearsThePauseAndPlayOnAPausedChainStartsPaused) {
  ObjectTreeNode* group = mEnv.Add("g", true);
  ObjectTreeNode* node = Start("g/m");
  PostSoundRequest(node, SOUND_REQ_PAUSE, 1);
  PostSoundRequest(node, SOUND_REQ_STOP, 0);
  mEnv.Poll();
  EXPECT_EQ(Rec(node)->mPausedAt, 0u);
  PostSoundRequest(node, SOUND_REQ_PAUSE, 0);
  PostSoundRequest(group, SOUND_REQ_PAUSE, 1);
  mEnv.Load(node, "c.wav", SOUND_SOURCE_WAV);
  PostSoundRequest(node, SOUND_REQ_PLAY, 0);
  mEnv.Poll();
  EXPECT_GE(Rec(node)->mState, SOUND_STATE_FADING);
  EXPECT_EQ(Rec(node)->mBuffer, nullptr);
  EXPECT_NE(Rec(node)->mPausedAt, 0u);
  PostSoundRequest(group, SOUND_REQ_PAUSE, 0);
  mEnv.Poll();
  EXPECT_NE(Rec(node)->mBuffer, nullptr);
}

TEST_F(ControlFixture, TheLevelReadersReadTheFrameAtThePlayCursor) {
  std::vector<int16_t> samples;
  for (int i = 0; i < 4800; ++i) {
    samples.push_back(-1000);
    samples.push_back(2000);
  }
  mEnv.WriteFile("s.wav", MakePcmWav(2, kMixRate, 16, Pcm16Bytes(samples)));
  ObjectTreeNode* node = mEnv.Add("s");
  mEnv.Load(node, "s.wav", SOUND_SOURCE_WAV);
  PostSoundRequest(node, SOUND_REQ_PLAY, 0);
  mEnv.Poll();
  EXPECT_EQ(GetSoundLevel(Rec(node)), 1000);
  EXPECT_EQ(GetSoundLevelSecond(Rec(node)), 2000);
  SoundRecord none{};
  EXPECT_EQ(GetSoundLevel(&none), -1);
}

TEST_F(ControlFixture, ADisabledSoundIsMutedWhenItsVolumeIsApplied) {
  ObjectTreeNode* node = Start("d");
  Rec(node)->mEnabled = 0;
  PostSoundRequest(node, SOUND_REQ_SET_VOLUME, 256);
  mEnv.Poll();
  EXPECT_EQ(GetAudioBufferVolume(Rec(node)->mBuffer), -10000);
  Rec(node)->mEnabled = 1;
  PostSoundRequest(node, SOUND_REQ_SET_VOLUME, 128);
  mEnv.Poll();
  EXPECT_EQ(GetAudioBufferVolume(Rec(node)->mBuffer), -1204);
}

TEST_F(ControlFixture, PlayWhileFadingOutRestartsAndFadesBackToTheEarlierVolume) {
  ObjectTreeNode* node = Start("r");
  SoundRecord* record = Rec(node);
  PostSoundRequest(node, SOUND_REQ_SET_VOLUME, 200);
  PostSoundRequest(node, SOUND_REQ_FADE_OUT, 1000);
  mEnv.Poll();
  mClock.Advance(500);
  mEnv.Poll();
  EXPECT_EQ(record->mState, SOUND_STATE_FADING_OUT);
  std::vector<float> left;
  mEnv.RenderAndPoll(4800, &left);
  PostSoundRequest(node, SOUND_REQ_PLAY, 0);
  mEnv.Poll();  // released; the play waits for the next poll
  EXPECT_EQ(record->mState, SOUND_STATE_IDLE);
  mEnv.Poll();
  EXPECT_EQ(record->mState, SOUND_STATE_PLAYING);
  EXPECT_EQ(record->mVolume, 200);
  EXPECT_EQ(record->mBytesPlayed, 0);
}

TEST_F(ControlFixture, PlayDuringAFadeInRestartsTheFadeFromTheCurrentVolume) {
  ObjectTreeNode* node = Start("i", 1000);
  SoundRecord* record = Rec(node);
  mClock.Advance(500);
  mEnv.Poll();
  int32_t reached = record->mVolume;
  EXPECT_GT(reached, 100);
  PostSoundRequest(node, SOUND_REQ_PLAY, 2000);
  mEnv.Poll();
  EXPECT_EQ(record->mFadeFrom, reached);
  EXPECT_EQ(record->mState, SOUND_STATE_FADING);
  mClock.Advance(2000);
  mEnv.Poll();
  EXPECT_EQ(record->mVolume, 256);
  EXPECT_EQ(record->mState, SOUND_STATE_PLAYING);
}

TEST_F(ControlFixture, ALoadOnAPlayingSoundReleasesItFirst) {
  ObjectTreeNode* node = Start("l");
  mEnv.Load(node, "c.wav", SOUND_SOURCE_WAV);
  mEnv.Poll();
  EXPECT_EQ(Rec(node)->mState, SOUND_STATE_IDLE);
  EXPECT_EQ(Rec(node)->mBuffer, nullptr);
  mEnv.Poll();
  EXPECT_EQ(Rec(node)->mState, SOUND_STATE_LOADED);
  EXPECT_EQ(CountAudioBuffers(), 1u);
}

struct SetterCase {
  const char* mName;
  uint8_t mCode;
  int32_t mParameter;
  int32_t SoundRecord::*mField;
  int32_t mLoadedValue;  // the field after the request on a loaded sound
};

class SetterTest : public ControlFixture, public testing::WithParamInterface<SetterCase> {};

// The setters of codes 6..12 on a loaded sound of 3000 ms; an idle sound
// ignores those of codes 7..12.
TEST_P(SetterTest, LoadedSoundsTakeTheValueAndIdleOnesIgnoreIt) {
  const SetterCase& c = GetParam();
  std::vector<int16_t> samples(kMixRate * 3, 1);
  mEnv.WriteFile("c.wav", MakePcmWav(1, kMixRate, 16, Pcm16Bytes(samples)));
  ObjectTreeNode* idle = mEnv.Add("idle");
  ObjectTreeNode* loaded = mEnv.Add("loaded");
  mEnv.Load(loaded, "c.wav", SOUND_SOURCE_WAV);
  mEnv.Poll();
  int32_t idleBefore = Rec(idle)->*c.mField;
  int32_t idleSlot = PostSoundRequest(idle, c.mCode, c.mParameter);
  int32_t loadedSlot = PostSoundRequest(loaded, c.mCode, c.mParameter);
  mEnv.Poll();
  EXPECT_EQ(g_SoundRequestDone[idleSlot], 1);
  EXPECT_EQ(g_SoundRequestDone[loadedSlot], 1);
  EXPECT_EQ(Rec(loaded)->*c.mField, c.mLoadedValue);
  if (c.mCode != SOUND_REQ_SET_FADE_TARGET) {
    EXPECT_EQ(Rec(idle)->*c.mField, idleBefore);
  } else {
    EXPECT_EQ(Rec(idle)->mFadeTo, c.mParameter);
    EXPECT_EQ(Rec(idle)->mPrevFadeTo, 256);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SetterTest,
    testing::Values(SetterCase{"FadeTarget", SOUND_REQ_SET_FADE_TARGET, 90, &SoundRecord::mFadeTo, 90},
                    SetterCase{"Loops", SOUND_REQ_SET_LOOPS, 4, &SoundRecord::mDecoderLoopsLeft, 4},
                    SetterCase{"End", SOUND_REQ_SET_END, 1200, &SoundRecord::mEndMs, 1200},
                    SetterCase{"EndPastTheLength", SOUND_REQ_SET_END, 9000, &SoundRecord::mEndMs, 3000},
                    SetterCase{"EndBelowZero", SOUND_REQ_SET_END, -5, &SoundRecord::mEndMs, 0},
                    SetterCase{"Start", SOUND_REQ_SET_START, 700, &SoundRecord::mStartMs, 700},
                    SetterCase{"StartPastTheLength", SOUND_REQ_SET_START, 3000, &SoundRecord::mStartMs, 0},
                    SetterCase{"LoopBack", SOUND_REQ_SET_LOOP_BACK, 800, &SoundRecord::mLoopBackMs, 800},
                    SetterCase{"LoopBackPastTheLength", SOUND_REQ_SET_LOOP_BACK, 4000, &SoundRecord::mLoopBackMs, 0},
                    SetterCase{"Pan", SOUND_REQ_SET_PAN, 100, &SoundRecord::mPan, 100},
                    SetterCase{"Frequency", SOUND_REQ_SET_FREQUENCY, 300, &SoundRecord::mFrequency, 300}),
    [](const testing::TestParamInfo<SetterCase>& info) { return std::string(info.param.mName); });

}  // namespace

