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
#include "core/input_state.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "core/window_table.h"
#include "demo/demo_game.h"
#include "demo/demo_name.h"
#include "demo/demo_zoom.h"
#include "layer/layer_record.h"
#include "layer/text_setup.h"
#include "platform/audio_device.h"
#include "platform/audio_mixer.h"
#include "platform/window.h"
#include "script/script_data.h"
#include "script/task_step.h"
#include "script/variables.h"
#include "shell/engine_reset.h"
#include "sound/sound_device.h"
#include "sound/sound_record.h"
#include "sound/sound_ring.h"
#include "sound/sound_thread.h"
#include "support/dialog_recorder.h"
#include "support/fixture_game.h"
#include "support/in_process_game.h"
#include "support/run_program.h"
#include "support/script_runner.h"
#include "support/temp_folder.h"
#include "support/text_fonts.h"

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

constexpr DemoTiming kQuick{10, 20, 30};

// Loads the quick demo and runs its first frame; with fonts, the font list
// is made as start-up makes it.
void StartDemo(ScriptRunner& game, bool fonts = false) {
  game.mData = DemoScript(kQuick);
  game.mEnv.Write(DemoPictures());
  game.mEnv.Write(DemoSounds());
  ASSERT_TRUE(game.Load());
  if (fonts) InitFontList();
  // Sound on the manual mixer, the test stepping the sound thread's poll.
  SetAudioOutputMode(AudioOutputMode::Manual);
  g_SoundSetting = 1;  // start-up reads it from the engine configuration
  ASSERT_EQ(InitDirectSound(), 1);
  ASSERT_TRUE(InitSoundRequestRing());
  ASSERT_TRUE(game.Frame());
}

TEST(DemoGameTest, ScenesRunInTurnAndTheGameEndsAfterItsIdleTime) {
  ScriptRunner game;
  StartDemo(game);
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
  // Scene 1: only the sun moves.
  int64_t sunOpacity = Layer("W0/sun")->mOpacity;
  int64_t sunY = Layer("W0/sun")->mY;
  for (int frame = 0; frame < 5; ++frame) ASSERT_TRUE(game.Frame());
  EXPECT_EQ(Layer("W0/sun")->mOpacity - sunOpacity, 10);
  EXPECT_EQ(sunY - Layer("W0/sun")->mY, 5);
  EXPECT_EQ(Layer("W0/red")->mOpacity, 0);
  // Without input the whole demo runs to its end and stops there.
  int frames = game.RunUntilQuit(DemoLength(kQuick) + 20);
  EXPECT_GE(frames, DemoLength(kQuick) - 10);
  EXPECT_LT(frames, DemoLength(kQuick) + 20) << "the demo must end on its own";
  EXPECT_EQ(Layer("W0/square")->mY, -80 + 2 * kQuick.mSceneFrames) << "the last scene ran";
  EXPECT_GT(Layer("W0/band")->mOpacity, 0);
  // The green character's copy grew by a pixel a frame through the last
  // scene, centred on its point, and faded in out of a blur; its middle (flat
  // for wider than the blur) is the character's.
  const LayerRecord* zoom = Layer("W0/zoom");
  const LayerRecord* green = Layer("W0/green");
  ASSERT_NE(zoom, nullptr);
  ASSERT_NE(zoom->mPixels, nullptr);
  EXPECT_EQ(zoom->mWidth, kDemoZoomBaseWidth + kQuick.mSceneFrames);
  EXPECT_EQ(zoom->mHeight, kDemoZoomBaseHeight + kQuick.mSceneFrames);
  EXPECT_EQ(zoom->mX, kDemoZoomCentreX - zoom->mWidth / 2);
  EXPECT_EQ(zoom->mY, kDemoZoomCentreY - zoom->mHeight / 2);
  EXPECT_EQ(zoom->mOpacity, 3 * kQuick.mSceneFrames);
  auto middle = [](const LayerRecord* record) {
    const uint8_t* pixel = record->mPixels + ((record->mHeight / 2) * record->mWidth + record->mWidth / 2) * 4;
    return std::vector<uint8_t>(pixel, pixel + 4);
  };
  EXPECT_EQ(middle(zoom), middle(green));
  EXPECT_EQ(g_LastErrorText, "");
}

TEST(DemoGameTest, TheDemoAsksForThePlayersName) {
  ScriptRunner game;
  const std::string name = "\x89\xd4\x8e\x71";  // 花子
  game.mEnv.mDialogs.mTextAnswers.push_back({kDialogOk, name});
  StartDemo(game);
  ASSERT_EQ(game.mEnv.mDialogs.mTextDialogs.size(), 1u);
  const TextDialogRequest& request = game.mEnv.mDialogs.mTextDialogs[0];
  EXPECT_EQ(request.mKind, TextDialogKind::kInput);
  EXPECT_EQ(request.mText, kDemoDefaultName);
  EXPECT_EQ(TextVar(kDemoNameVariable), name);
}

TEST(DemoGameTest, AKeyPressStepsToTheNextSceneAndEscapeEnds) {
  ScriptRunner game;
  StartDemo(game);
  for (int frame = 0; frame < kQuick.mSceneFrames + 2; ++frame) ASSERT_TRUE(game.Frame());
  // Waiting between scenes: nothing moves until a key is pressed.
  int64_t redX = Layer("W0/red")->mX;
  for (int frame = 0; frame < 3; ++frame) ASSERT_TRUE(game.Frame());
  EXPECT_EQ(Layer("W0/red")->mX, redX);
  g_InputCounter[0] = 1;
  ASSERT_TRUE(game.Frame());
  g_InputCounter[0] = 2;
  for (int frame = 0; frame < 3; ++frame) ASSERT_TRUE(game.Frame());
  EXPECT_GT(Layer("W0/red")->mX, redX) << "the key stepped to scene 2";
  g_InputCounter[27] = 1;
  EXPECT_LE(game.RunUntilQuit(3), 2) << "Escape ends the program";
  EXPECT_EQ(g_LastErrorText, "");
}

// The window shows exactly the composed picture of the running demo.
TEST(DemoGameTest, TheWindowShowsTheComposedScene) {
  ResetEngineState();
  DialogRecorder dialogs;
  dialogs.mTextAnswers.push_back({kDialogOk, "Hanako"});
  TempFolder folder{false};
  std::vector<GameFile> files = BuildScriptDataFiles(DemoScript(kQuick));
  for (GameFile& picture : DemoPictures()) files.push_back(std::move(picture));
  for (GameFile& sound : DemoSounds()) files.push_back(std::move(sound));
  ASSERT_TRUE(WriteGamePack(folder.Path() + "/data.qpf", files));
  ASSERT_EQ(StartGameInProcess(folder.Path()), 0) << g_LastErrorText;
  for (int pass = 0; pass < 8; ++pass) ASSERT_TRUE(RunLoopPass());
  const WindowObject* window = g_WindowTable[0];
  ASSERT_NE(window, nullptr);
  ASSERT_NE(window->mShownLayerSet, nullptr);
  const auto* frame = static_cast<const LayerRecord*>(window->mShownLayerSet->mPayload);
  ASSERT_NE(frame, nullptr);
  ASSERT_EQ(frame->mWidth, kDemoWidth);
  ASSERT_EQ(frame->mHeight, kDemoHeight);
  std::vector<uint8_t> screen(static_cast<size_t>(kDemoWidth) * kDemoHeight * 4);
  ASSERT_TRUE(ReadPlatformWindowPixels(window->mWindow, 0, 0, kDemoWidth, kDemoHeight, screen.data()));
  int differing = 0;
  for (size_t pixel = 0; pixel < screen.size() / 4; ++pixel) {
    for (int channel = 0; channel < 3; ++channel) {
      if (screen[pixel * 4 + channel] != frame->mPixels[pixel * 4 + channel]) ++differing;
    }
  }
  EXPECT_EQ(differing, 0);
  EXPECT_STREQ(window->mTitle, "ORVANE demo - Hanako");
  // The scene itself: the sky lightens downwards.
  EXPECT_LT(screen[2], screen[(static_cast<size_t>(kDemoHeight - 1) * kDemoWidth) * 4 + 2]);
  EndGameInProcess();
}

TEST(DemoGameTest, TheProgramRunsTheDemoPackToItsEnd) {
  TempFolder runtime{false};
  TempFolder folder{false};
  std::vector<GameFile> files = BuildScriptDataFiles(DemoScript(kQuick));
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

// The message band carries the line of Japanese text from the first frame:
// ink in each of its nine cells, the rest of the band as loaded.
TEST(DemoGameTest, TheMessageBandShowsTheJapaneseLine) {
  ScriptRunner game;
  ProjectFonts fonts;
  ASSERT_TRUE(fonts.Loaded());
  StartDemo(game, true);
  EXPECT_EQ(g_LastErrorText, "");
  const LayerRecord* band = Layer("W0/band");
  ASSERT_NE(band, nullptr);
  ASSERT_EQ(band->mWidth, kDemoWidth);
  auto pixel = [&](int x, int y) { return band->mPixels + (static_cast<size_t>(y) * band->mWidth + x) * 4; };
  // As loaded: B = 30 + y / 4, G = R = 10, alpha 150.
  auto plain = [&](int x, int y) {
    const uint8_t* p = pixel(x, y);
    return p[0] == 30 + y / 4 && p[1] == 10 && p[2] == 10 && p[3] == 150;
  };
  constexpr int kCharacters = 9;
  for (int c = 0; c < kCharacters; ++c) {
    SCOPED_TRACE(c);
    int ink = 0;
    for (int y = kDemoTextY; y < kDemoTextY + kDemoTextSize; ++y) {
      for (int x = kDemoTextX + c * kDemoTextSize; x < kDemoTextX + (c + 1) * kDemoTextSize; ++x) {
        // The glyph colour (R 0xFF) blended over the band's R of 10.
        ink += pixel(x, y)[2] > 100 ? 1 : 0;
      }
    }
    EXPECT_GT(ink, 3);
  }
  int touched = 0;
  for (int y = 0; y < band->mHeight; ++y) {
    for (int x = 0; x < band->mWidth; ++x) {
      bool inLine = x >= kDemoTextX - 2 && x < kDemoTextX + kCharacters * kDemoTextSize + 2 && y >= kDemoTextY - 2 &&
                    y < kDemoTextY + kDemoTextSize + 2;
      if (!inLine) touched += plain(x, y) ? 0 : 1;
    }
  }
  EXPECT_EQ(touched, 0);
}

TEST(DemoGameTest, TheSaveKeyKeepsTheRedDiscAndTheLoadKeyBringsItBack) {
  ScriptRunner game;
  StartDemo(game);
  // Into scene 2: a click steps past the wait.
  for (int frame = 0; frame < kQuick.mSceneFrames + 2; ++frame) ASSERT_TRUE(game.Frame());
  g_InputCounter[1] = 1;
  ASSERT_TRUE(game.Frame());
  g_InputCounter[1] = 2;
  for (int frame = 0; frame < 3; ++frame) ASSERT_TRUE(game.Frame());
  const int saveSlot = g_ScriptKeyTable[kDemoSaveKey];
  const int loadSlot = g_ScriptKeyTable[kDemoLoadKey];
  g_InputPressCount[saveSlot] = 1;
  ASSERT_TRUE(game.Frame()) << g_LastErrorText;
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(g_InputPressCount[saveSlot], 0) << "the script takes the press";
  int64_t savedX = GetIntElement(kDemoRedXVariable, 0);
  for (int frame = 0; frame < 4; ++frame) ASSERT_TRUE(game.Frame());
  ASSERT_GT(Layer("W0/red")->mX, savedX);
  g_InputPressCount[loadSlot] = 1;
  // A load ends the task's frame: the next frame puts the disc back.
  game.Frame();
  game.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_GE(GetIntElement(kDemoRedXVariable, 0), savedX);
  EXPECT_LE(GetIntElement(kDemoRedXVariable, 0), savedX + 3 * 2);
  EXPECT_GE(Layer("W0/red")->mX, savedX);
  EXPECT_LE(Layer("W0/red")->mX, savedX + 3 * 2);
  EXPECT_EQ(Layer("W0/red")->mWidth, 90);
  EXPECT_LT(game.RunUntilQuit(DemoLength(kQuick) + 20), DemoLength(kQuick) + 20);
  EXPECT_EQ(g_LastErrorText, "");
}

}  // namespace
