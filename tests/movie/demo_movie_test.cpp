// The demo's clip: written beside the pack, it plays in the "screen" layer
// from the third scene on and ends on its own.
#include <gtest/gtest.h>

#include <cstring>

#include "core/object_path.h"
#include "core/object_tree.h"
#include "demo/demo_game.h"
#include "demo/demo_movie.h"
#include "layer/layer_record.h"
#include "movie/ogv_movie.h"
#include "platform/audio_device.h"
#include "sound/sound_device.h"
#include "sound/sound_ring.h"
#include "support/fake_clock.h"
#include "support/script_runner.h"

namespace {

TEST(DemoMovieTest, TheClipPlaysInTheScreenLayerDuringTheThirdScene) {
  FakeClock clock(500);
  ScriptRunner game;
  constexpr DemoTiming kQuick{10, 20, 30};
  game.mData = DemoScript(kQuick);
  game.mEnv.Write(DemoPictures());
  game.mEnv.Write(DemoSounds());
  game.mEnv.Write(DemoMovieFiles());
  ASSERT_TRUE(game.Load());
  SetAudioOutputMode(AudioOutputMode::Manual);
  g_SoundSetting = 1;
  ASSERT_EQ(InitDirectSound(), 1);
  ASSERT_TRUE(InitSoundRequestRing());
  int frames = 0;
  while (g_OgvMovie.mPlaying == 0 && frames < DemoLength(kQuick)) {
    ASSERT_TRUE(game.Frame());
    ++frames;
  }
  ASSERT_EQ(g_OgvMovie.mPlaying, 1) << "the clip never started";
  EXPECT_EQ(g_OgvMovie.mTotalFrames, kDemoMovieFrames);
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, "W0/screen", kPathLeaf);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(g_OgvMovie.mLayer, node);
  const auto* record = static_cast<const LayerRecord*>(node->mPayload);
  ASSERT_EQ(record->mWidth, kDemoMovieWidth);
  // The black picture of the layer has become the clip's first frame, and
  // a later frame differs from it.
  std::vector<uint8_t> first(record->mPixels, record->mPixels + kDemoMovieWidth * kDemoMovieHeight * 4);
  int lit = 0;
  for (size_t i = 0; i < first.size(); i += 4) lit += (first[i] | first[i + 1] | first[i + 2]) > 32 ? 1 : 0;
  EXPECT_GT(lit, kDemoMovieWidth * kDemoMovieHeight / 2);
  clock.Advance(1000);
  TickOgvMovie();
  EXPECT_EQ(g_OgvMovie.mFrame, 30u);
  EXPECT_NE(std::memcmp(first.data(), record->mPixels, first.size()), 0);
  clock.Advance(5000);
  TickOgvMovie();
  EXPECT_EQ(g_OgvMovie.mPlaying, 0);
}

}  // namespace
