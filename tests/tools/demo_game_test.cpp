// The demo game that the run command starts: its script runs to its end
// without a report, moving its layers frame by frame and playing its music
// and click, and the program shows it and ends on its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "demo/demo_game.h"
#include "layer/layer_record.h"
#include "platform/audio_device.h"
#include "platform/audio_mixer.h"
#include "script/task_step.h"
#include "shell/engine_reset.h"
#include "sound/sound_device.h"
#include "sound/sound_record.h"
#include "sound/sound_ring.h"
#include "sound/sound_thread.h"
#include "support/fixture_game.h"
#include "support/run_program.h"
#include "support/script_runner.h"
#include "support/temp_folder.h"

namespace {

// True when the text holds a message tag: "E", six digits, "[".
bool HasMessageTag(const std::string& text) {
  for (size_t at = text.find('E'); at != std::string::npos; at = text.find('E', at + 1)) {
    size_t digits = 0;
    while (at + 1 + digits < text.size() && std::isdigit(static_cast<unsigned char>(text[at + 1 + digits]))) ++digits;
    if (digits == 6 && at + 7 < text.size() && text[at + 7] == '[') return true;
  }
  return false;
}

const LayerRecord* Layer(const char* path) {
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, path, kPathLeaf);
  return node != nullptr ? static_cast<const LayerRecord*>(node->mPayload) : nullptr;
}

const SoundRecord* Sound(const char* path) {
  char normalised[kObjectPathBytes];
  if (NormalizeObjectPath(normalised, path, "S0", 0) < 0) return nullptr;
  ObjectTreeNode* node = FindObjectByPath(g_SoundRoot, normalised, kPathLeaf);
  return node != nullptr ? static_cast<const SoundRecord*>(node->mPayload) : nullptr;
}

TEST(DemoGameTest, TheScriptMovesItsLayersAndEndsWithoutAReport) {
  ScriptRunner game;
  game.mData = DemoScript();
  game.mEnv.Write(DemoPictures());
  game.mEnv.Write(DemoSounds());
  ASSERT_TRUE(game.Load());
  // Sound on the manual mixer, the test stepping the sound thread's poll.
  SetAudioOutputMode(AudioOutputMode::Manual);
  g_SoundSetting = 1;  // start-up reads it from the engine configuration
  ASSERT_EQ(InitDirectSound(), 1);
  ASSERT_TRUE(InitSoundRequestRing());
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(RunSoundPoll(), 0);
  for (const char* path : {"bgm", "se/click"}) {
    SCOPED_TRACE(path);
    const SoundRecord* record = Sound(path);
    ASSERT_NE(record, nullptr);
    EXPECT_GE(record->mState, SOUND_STATE_FADING);
    EXPECT_NE(record->mBuffer, nullptr);
  }
  EXPECT_EQ(Sound("bgm")->mDecodedKind, 1);
  EXPECT_EQ(Sound("bgm")->mLoopTarget, 0);
  std::vector<float> mix(2 * 4410);
  RenderAudioMix(mix.data(), 4410);
  float loudest = 0;
  for (float value : mix) loudest = std::max(loudest, std::abs(value));
  EXPECT_GT(loudest, 0.05f);
  for (const char* path : {"W0/sky", "W0/sun", "W0/red", "W0/band", "W0/green", "W0/square"}) {
    SCOPED_TRACE(path);
    ASSERT_NE(Layer(path), nullptr);
    EXPECT_NE(Layer(path)->mPixels, nullptr);
  }
  EXPECT_EQ(Layer("W0/sky")->mWidth, kDemoWidth);
  EXPECT_EQ(Layer("W0/sky")->mHeight, kDemoHeight);
  EXPECT_EQ(Layer("W0/band")->mHasAlpha, 1);
  int64_t redStart = Layer("W0/red")->mX;
  int64_t sunStart = Layer("W0/sun")->mOpacity;
  for (int frame = 0; frame < 10; ++frame) ASSERT_TRUE(game.Frame());
  EXPECT_EQ(Layer("W0/red")->mX - redStart, 30);
  EXPECT_EQ(Layer("W0/sun")->mOpacity - sunStart, 10);
  int frames = game.RunUntilQuit(kDemoFrames + 10);
  EXPECT_LT(frames, kDemoFrames + 10) << "the demo must end on its own";
  EXPECT_EQ(g_LastErrorText, "");
}

TEST(DemoGameTest, TheProgramRunsTheDemoPackToItsEnd) {
  TempFolder runtime{false};
  TempFolder folder{false};
  std::vector<GameFile> files = BuildScriptDataFiles(DemoScript());
  for (GameFile& picture : DemoPictures()) files.push_back(std::move(picture));
  for (GameFile& sound : DemoSounds()) files.push_back(std::move(sound));
  ASSERT_TRUE(WriteGamePack(folder.Path() + "/data.qpf", files));
  ProgramResult result = RunProgram({ORVANE_BINARY_PATH, folder.Path()},
                                    {"ORVANE_UNATTENDED=1", "SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy",
                                     "XDG_RUNTIME_DIR=" + runtime.Path()},
                                    60000);
  EXPECT_FALSE(result.mTimedOut);
  EXPECT_EQ(result.mExitCode, 0) << result.mOutput;
  // Every message of the demo is tagged "E<number>[...]": none may show.
  EXPECT_FALSE(HasMessageTag(result.mOutput)) << result.mOutput;
  ResetEngineState();
}

}  // namespace
