// The demo's menu bar: its tree, and its items driving the game.
#include "demo/demo_menu.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/input_state.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "demo/demo_game.h"
#include "layer/layer_record.h"
#include "oscmd/menu_sets.h"
#include "platform/audio_device.h"
#include "sound/sound_device.h"
#include "sound/sound_ring.h"
#include "support/script_runner.h"

namespace {

constexpr DemoTiming kQuick{10, 20, 30};

void StartDemo(ScriptRunner& game) {
  game.mData = DemoScript(kQuick);
  game.mEnv.Write(DemoPictures());
  game.mEnv.Write(DemoSounds());
  ASSERT_TRUE(game.Load());
  SetAudioOutputMode(AudioOutputMode::Manual);
  g_SoundSetting = 1;
  ASSERT_EQ(InitDirectSound(), 1);
  ASSERT_TRUE(InitSoundRequestRing());
  ASSERT_TRUE(game.Frame());
}

const LayerRecord* Layer(const char* path) {
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, path, kPathLeaf);
  return node != nullptr ? static_cast<const LayerRecord*>(node->mPayload) : nullptr;
}

TEST(DemoMenuTest, TheTreeBuildsIntoABarWithSceneAndHelp) {
  ScriptRunner game;
  StartDemo(game);
  char path[kObjectPathBytes];
  ASSERT_GE(NormalizeObjectPath(path, kDemoMenuPath, "M0", 0), 0);
  ASSERT_EQ(SetMenuBarFromTree(path, nullptr), 0);
  ASSERT_NE(g_AttachedMenuBar, nullptr);
  ASSERT_EQ(g_AttachedMenuBar->mItems.size(), 2u);
  EXPECT_EQ(g_AttachedMenuBar->mItems[0].mText, "&Scene");
  const MenuHandle* scene = g_AttachedMenuBar->mItems[0].mSubMenu;
  ASSERT_NE(scene, nullptr);
  ASSERT_EQ(scene->mItems.size(), 3u);
  EXPECT_EQ(scene->mItems[0].mId, static_cast<uint32_t>(kDemoMenuNext));
  EXPECT_TRUE(scene->mItems[1].mSeparator);
  EXPECT_EQ(scene->mItems[2].mId, static_cast<uint32_t>(kDemoMenuQuit));
  const MenuHandle* help = g_AttachedMenuBar->mItems[1].mSubMenu;
  ASSERT_NE(help, nullptr);
  ASSERT_EQ(help->mItems.size(), 1u);
  EXPECT_FALSE(help->mItems[0].mEnabled);
  EXPECT_EQ(g_LastErrorText, "");
}

TEST(DemoMenuTest, NextSceneStepsOnAndQuitEnds) {
  ScriptRunner game;
  StartDemo(game);
  for (int frame = 0; frame < kQuick.mSceneFrames + 2; ++frame) ASSERT_TRUE(game.Frame());
  int64_t redX = Layer("W0/red")->mX;
  for (int frame = 0; frame < 3; ++frame) ASSERT_TRUE(game.Frame());
  EXPECT_EQ(Layer("W0/red")->mX, redX) << "waiting between scenes";
  // The window procedure stores the chosen item's id.
  g_LastMenuCommand = kDemoMenuNext;
  for (int frame = 0; frame < 3; ++frame) ASSERT_TRUE(game.Frame());
  EXPECT_GT(Layer("W0/red")->mX, redX) << "Next scene stepped to scene 2";
  EXPECT_EQ(g_LastMenuCommand, 0) << "the choice was taken";
  g_LastMenuCommand = kDemoMenuQuit;
  EXPECT_LE(game.RunUntilQuit(3), 2) << "Quit ends the program";
  EXPECT_EQ(g_LastErrorText, "");
}

}  // namespace
