#include <gtest/gtest.h>

#include <mutex>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "platform/clock.h"
#include "platform/audio_device.h"
#include "platform/audio_mixer.h"
#include "script/task_step.h"
#include "sound/sound_device.h"
#include "sound/sound_record.h"
#include "sound/sound_ring.h"
#include "sound/sound_thread.h"
#include "support/script_runner.h"
#include "support/sound_fixtures.h"

namespace {

ObjectTreeNode* FindSound(const char* path, int mode) {
  char normalised[kObjectPathBytes];
  if (NormalizeObjectPath(normalised, path, "S0", 0) < 0) return nullptr;
  return FindObjectByPath(g_SoundRoot, normalised, mode);
}

// A game whose first frame runs `build`'s commands, on the manual mixer with
// the ring ready and no sound thread (the test polls).
struct CommandGame {
  ScriptRunner mGame;
  explicit CommandGame(void (*build)(ScriptAssembler&), const std::vector<uint8_t>& wav = {}) {
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    build(code);
    code.Op("wait", {{"frames", Num(1)}});
    mGame.Add(code);
    if (!wav.empty()) mGame.mEnv.Write(GameFile{"se.wav", wav});
    EXPECT_TRUE(mGame.Load());
    SetAudioOutputMode(AudioOutputMode::Manual);
    g_SoundSetting = 1;
    EXPECT_EQ(InitDirectSound(), 1);
    EXPECT_TRUE(InitSoundRequestRing());
  }

};

std::vector<uint8_t> Click() {
  std::vector<int16_t> samples(4800, 8000);
  return MakePcmWav(1, kMixRate, 16, Pcm16Bytes(samples));
}

TEST(SoundCommandTest, DefiningWithoutAFileCreatesOnlyGroups) {
  CommandGame game([](ScriptAssembler& code) {
    code.Op("sound", {{"path", Str("nothing")}, {"volume", Num(10)}});
    code.Op("sound", {{"path", Str("bgm/")}, {"volume", Num(128)}});
  });
  game.mGame.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(FindSound("nothing", kPathLeaf), nullptr);
  ObjectTreeNode* group = FindSound("bgm/", kPathGroup);
  ASSERT_NE(group, nullptr);
  RunSoundPoll();
  EXPECT_EQ(static_cast<SoundRecord*>(group->mPayload)->mVolume, 128);
}

TEST(SoundCommandTest, AFileForAGroupThatDoesNotExistIsRefused) {
  CommandGame game([](ScriptAssembler& code) { code.Op("sound", {{"path", Str("new/")}, {"file", Str("se.wav")}}); },
                   Click());
  game.mGame.Frame();
  EXPECT_TRUE(LastReportIs(kMsgSoundFileForNewGroup));
}

TEST(SoundCommandTest, PlayLoadsAndQueryReadsTheState) {
  CommandGame game(
      [](ScriptAssembler& code) {
        code.Op("sound", {{"path", Str("se")}, {"file", Str("se.wav")}, {"play", Num(1)}, {"volume", Num(200)},
                          {"pan", Num(100)}});
        code.Op("wait", {{"frames", Num(1)}});
        code.Op("sound_query", {{"path", Str("se")}, {"playing", Num(1)}, {"out", Var(kRunInt)}});
        code.Op("sound_query", {{"path", Str("se")}, {"rate", Num(1)}, {"out", Var(kRunInt2)}});
        code.Op("sound_query", {{"path", Str("missing")}, {"volume", Num(1)}, {"out", Var(kRunText)}});
      },
      Click());
  game.mGame.Frame();
  ObjectTreeNode* node = FindSound("se", kPathLeaf);
  ASSERT_NE(node, nullptr);
  auto* record = static_cast<SoundRecord*>(node->mPayload);
  EXPECT_EQ(record->mSourceKind, SOUND_SOURCE_WAV);
  RunSoundPoll();
  EXPECT_EQ(record->mState, SOUND_STATE_PLAYING);
  EXPECT_EQ(record->mVolume, 200);
  EXPECT_EQ(record->mPan, 100);
  game.mGame.Frame();
  game.mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 1);
  EXPECT_EQ(IntVar(kRunInt2), static_cast<int64_t>(kMixRate));
  EXPECT_EQ(TextVar(kRunText), "");
}

TEST(SoundCommandTest, ALoadedSoundIsNotPlayingAndItsPositionNeedsAFormat) {
  CommandGame game(
      [](ScriptAssembler& code) {
        code.Op("sound", {{"path", Str("se")}, {"file", Str("se.wav")}});
        code.Op("wait", {{"frames", Num(1)}});
        code.Op("sound_query", {{"path", Str("se")}, {"playing", Num(1)}, {"out", Var(kRunInt)}});
        code.Op("sound_query", {{"path", Str("se")}, {"loaded", Num(1)}, {"out", Var(kRunInt2)}});
        code.Op("sound_query", {{"path", Str("se")}, {"length", Num(1)}, {"decoded", Num(1)}, {"out", Elem(kRunIntList, {Num(1)})}});
        code.Op("sound", {{"path", Str("empty/")}});
        code.Op("sound_query", {{"path", Str("empty/")}, {"position", Num(1)}, {"out", Var(kRunText)}});
      },
      Click());
  game.mGame.Frame();
  RunSoundPoll();
  game.mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 0);
  EXPECT_EQ(IntVar(kRunInt2), 1);
  EXPECT_EQ(IntVar(kRunIntList, 1), 0);  // the last id given decides: PCM in place
  EXPECT_TRUE(LastReportIs(kMsgElementTypeMismatch));
}

TEST(SoundCommandTest, DeleteRemovesTheNodeAndItsPendingRequests) {
  CommandGame game(
      [](ScriptAssembler& code) {
        code.Op("sound", {{"path", Str("se")}, {"file", Str("se.wav")}, {"pan", Num(3)}});
        code.Op("sound_delete", {{"path", Str("se")}});
      },
      Click());
  game.mGame.Frame();
  EXPECT_EQ(FindSound("se", kPathLeaf), nullptr);
  for (int32_t slot = g_SoundRequestRead; slot != g_SoundRequestWrite; slot = (slot + 1) % kSoundRingSlots) {
    EXPECT_EQ(g_SoundRequestNodes[slot], nullptr);
  }
  EXPECT_EQ(RunSoundPoll(), 0);
}

TEST(SoundCommandTest, TheSoundThreadAnswersTheCommandsWhileItRuns) {
  CommandGame game(
      [](ScriptAssembler& code) {
        code.Op("sound", {{"path", Str("se")}, {"file", Str("se.wav")}, {"play", Num(1)}});
        code.Op("sound_query", {{"path", Str("se")}, {"playing", Num(1)}, {"out", Var(kRunInt)}});
      },
      Click());
  ASSERT_TRUE(StartSoundThread());
  game.mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 1);
}

}  // namespace

namespace {

TEST(SoundStartTest, WithoutADeviceInitFailsAfterTheBox) {
  ScriptTestEnvironment env;
  SetAudioOutputMode(AudioOutputMode::Absent);
  EXPECT_EQ(InitDirectSound(), 0);
  EXPECT_EQ(g_SoundDevice, 0);
  ASSERT_EQ(env.mDialogs.mBoxes.size(), 1u);
  EXPECT_EQ(env.mDialogs.mBoxes[0].mCaption, "サウンド初期化エラー");
}

TEST(SoundStartTest, TheSoundSystemStartsItsThreadAndTheSilentRootSound) {
  ScriptTestEnvironment env;
  ASSERT_EQ(CreateObjectTrees(), 0);
  SetAudioOutputMode(AudioOutputMode::Manual);
  g_SoundSetting = 1;
  ASSERT_EQ(InitDirectSound(), 1);
  ASSERT_EQ(StartSoundSystem(), 0);
  ObjectTreeNode* root = FindObjectByPath(g_SoundRoot, "ROOT", kPathLeaf);
  ASSERT_NE(root, nullptr);
  auto* record = static_cast<SoundRecord*>(root->mPayload);
  bool playing = false;
  for (int i = 0; i < 2000 && !playing; ++i) {
    {
      std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
      playing = record->mState == SOUND_STATE_PLAYING;
    }
    if (!playing) SleepMs(1);
  }
  EXPECT_TRUE(playing);
  JoinSoundThread();
  EXPECT_EQ(g_SoundThreadState.load(), 1);
  EXPECT_EQ(record->mBuffer, nullptr);  // the thread released every channel
}

}  // namespace
