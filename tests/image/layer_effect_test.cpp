// The effect dispatcher: where the result goes, its size, the alpha flag,
// the copy effects' attributes and player handle.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "effect_test_fixture.h"
#include "image/image_operations.h"
#include "layer/composition.h"
#include "movie/emote.h"
#include "support/emote_double.h"

namespace {

class LayerEffect : public ImageOpsTest {};

Picture Crop(const Picture& picture, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  return MakePicture(static_cast<int32_t>(x1 - x0 + 1), static_cast<int32_t>(y1 - y0 + 1),
                     [&](int x, int y) { return picture.At(x0 + x, y0 + y); });
}

TEST_F(LayerEffect, WithoutDestinationTheSourceBecomesTheRegionsResult) {
  Picture picture = MakePicture(100, 100, PatternPixel);
  ObjectTreeNode* source = AddLayer("a", picture, 1);
  ASSERT_EQ(ApplyLayerEffect(9, source, nullptr, 10, 10, 19, 19, 0, 0, 0, 0), 0);
  EXPECT_TRUE(SamePicture(Crop(picture, 10, 10, 19, 19), Read(source)));
  EXPECT_EQ(RecordOf(source)->mBufferWidth, 10);
  EXPECT_EQ(RecordOf(source)->mHasAlpha, 1);
}

TEST_F(LayerEffect, WithDestinationTheSourceStaysAndTheDestinationTakesTheRegion) {
  Picture picture = MakePicture(100, 100, PatternPixel);
  ObjectTreeNode* source = AddLayer("a", picture, 1);
  ObjectTreeNode* destination = AddEmptyLayer("b");
  ASSERT_EQ(ApplyLayerEffect(28, source, destination, 10, 10, 19, 19, 0, 0, 1, 0), 0);
  EXPECT_TRUE(SamePicture(picture, Read(source)));
  Picture expected = MakePicture(10, 10, [&](int x, int y) { return picture.At(10 + x, 10 + y) ^ 0x00FFFFFFu; });
  EXPECT_TRUE(SamePicture(expected, Read(destination)));
  EXPECT_EQ(RecordOf(destination)->mHasAlpha, 1);
}

TEST_F(LayerEffect, InPlaceEffectsIntoADestinationChangeAWholeCopy) {
  Picture picture = MakePicture(6, 5, PatternPixel);
  ObjectTreeNode* source = AddLayer("a", picture, 0);
  ObjectTreeNode* destination = AddEmptyLayer("b");
  // Fill type 2 (alpha only) over part of the picture.
  ASSERT_EQ(ApplyLayerEffect(24, source, destination, 1, 1, 2, 3, 0x40, 0, 1, 2), 0);
  Picture expected = picture;
  for (int y = 1; y <= 3; ++y) {
    for (int x = 1; x <= 2; ++x) expected.At(x, y) = (picture.At(x, y) & 0xFFFFFF) | 0x40000000u;
  }
  EXPECT_TRUE(SamePicture(expected, Read(destination)));
  EXPECT_EQ(RecordOf(destination)->mHasAlpha, 1);
  // The source keeps its pixels and its own flag.
  EXPECT_TRUE(SamePicture(picture, Read(source)));
  EXPECT_EQ(RecordOf(source)->mHasAlpha, 0);

  // Without a destination the same fill changes the source itself.
  ASSERT_EQ(ApplyLayerEffect(24, source, nullptr, 1, 1, 2, 3, 0x40, 0, 0, 2), 0);
  EXPECT_TRUE(SamePicture(expected, Read(source)));
  EXPECT_EQ(RecordOf(source)->mHasAlpha, 1);
}

TEST_F(LayerEffect, ToneAndSaturationUseTheCompositorKernelsOnTheRegion) {
  Picture picture = MakePicture(9, 7, PatternPixel);
  const int64_t whole[4] = {0, 0, 8, 6};
  for (auto [effect, value] : {std::pair{12, 0x4080C0}, std::pair{30, 40}}) {
    Picture reference = picture;
    auto* bytes = reinterpret_cast<uint8_t*>(reference.mPixels.data());
    if (effect == 12) {
      ApplyToneRect(bytes, bytes, whole, 9, 7, value);
    } else {
      ApplySaturationRect(bytes, bytes, whole, 9, 7, value);
    }
    ObjectTreeNode* source = AddLayer(effect == 12 ? "tone" : "saturation", picture);
    ASSERT_EQ(ApplyLayerEffect(effect, source, nullptr, 2, 1, 6, 5, value, 0, 0, 0), 0);
    EXPECT_TRUE(SamePicture(Crop(reference, 2, 1, 6, 5), Read(source))) << "effect " << effect;
  }
}

// With the runtime: the destination's own player is destroyed, the source's
// moves over with its slot and is not destroyed.
TEST_F(LayerEffect, CopyHandsTheRuntimesPlayerOverWithItsSlot) {
  Picture picture = MakePicture(8, 8, PatternPixel);
  ObjectTreeNode* source = AddLayer("a", picture, 1);
  ObjectTreeNode* destination = AddLayer("b", picture, 1);
  EmoteRuntimeDouble runtime;
  ASSERT_EQ(InitEmoteDriver(), 0);
  const uint8_t model[4] = {1, 2, 3, 4};
  ASSERT_EQ(LoadEmotePlayer(RecordOf(source), model, sizeof model), 0);
  ASSERT_EQ(LoadEmotePlayer(RecordOf(destination), model, sizeof model), 0);
  void* moving = RecordOf(source)->mPlayerHandle;
  void* replaced = RecordOf(destination)->mPlayerHandle;
  int slot = FindEmoteSlot(RecordOf(source));
  runtime.ClearCalls();

  ASSERT_EQ(ApplyLayerEffect(9, source, destination, 0, 0, 3, 3, 0, 0, 1, 0), 0);
  ASSERT_EQ(runtime.Ordinals(), (std::vector<int>{202}));
  EXPECT_EQ(runtime.mCalls[0].mTarget, replaced);
  EXPECT_EQ(RecordOf(destination)->mPlayerHandle, moving);
  EXPECT_EQ(RecordOf(destination)->mGpuState, 2);
  EXPECT_EQ(g_EmotePlayers[slot], RecordOf(destination));
  EXPECT_EQ(FindEmoteSlot(RecordOf(source)), -1);
  EXPECT_EQ(RecordOf(source)->mPlayerHandle, nullptr);
  EXPECT_EQ(RecordOf(source)->mGpuState, 1);
  EXPECT_EQ(runtime.mLivePlayers.count(moving), 1u);
  ReleaseAllEmotePlayers();
}

TEST_F(LayerEffect, CopyWithAttributesTakesTheDisplayStateAndThePlayer) {
  Picture picture = MakePicture(8, 8, PatternPixel);
  ObjectTreeNode* source = AddLayer("a", picture, 1);
  LayerRecord* from = RecordOf(source);
  from->mOpacity = 100;
  from->mBlendMode = 3;
  from->mX = 17;
  from->mTag1 = 5;
  std::strcpy(from->mRuleLayerPath, "rule");
  int marker = 0;
  from->mGpuState = 2;
  from->mPlayerHandle = &marker;
  g_EmotePlayers[3] = from;

  ObjectTreeNode* destination = AddEmptyLayer("b");
  ASSERT_EQ(ApplyLayerEffect(8, source, destination, 0, 0, 3, 3, 0, 0, 1, 0), 0);
  LayerRecord* to = RecordOf(destination);
  EXPECT_EQ(to->mOpacity, 100);
  EXPECT_EQ(to->mBlendMode, 3);
  EXPECT_EQ(to->mX, 17);
  EXPECT_EQ(to->mTag1, 5);
  EXPECT_STREQ(to->mRuleLayerPath, "rule");
  EXPECT_EQ(to->mGpuState, 2);
  EXPECT_EQ(to->mPlayerHandle, &marker);
  EXPECT_EQ(g_EmotePlayers[3], to);
  EXPECT_EQ(from->mGpuState, 1);
  EXPECT_EQ(from->mPlayerHandle, nullptr);
  EXPECT_TRUE(SamePicture(Crop(picture, 0, 0, 3, 3), Read(destination)));

  // Effect 9 copies the pixels only.
  ObjectTreeNode* plain = AddEmptyLayer("c");
  ASSERT_EQ(ApplyLayerEffect(9, source, plain, 0, 0, 3, 3, 0, 0, 1, 0), 0);
  EXPECT_EQ(RecordOf(plain)->mOpacity, 256);
  EXPECT_EQ(RecordOf(plain)->mX, 0);
  g_EmotePlayers[3] = nullptr;
}

TEST_F(LayerEffect, NothingHappensWithoutPixelsOrWithARegionOutsideThePicture) {
  ObjectTreeNode* empty = AddEmptyLayer("e");
  EXPECT_EQ(ApplyLayerEffect(1, empty, nullptr, 0, 0, 0, 0, 200, 0, 0, 0), 0);
  EXPECT_EQ(RecordOf(empty)->mPixels, nullptr);

  Picture picture = MakePicture(5, 5, PatternPixel);
  ObjectTreeNode* source = AddLayer("a", picture);
  struct Bad {
    int64_t x0, y0, x1, y1;
  };
  for (Bad r : {Bad{3, 0, 2, 4}, Bad{0, 4, 4, 1}, Bad{6, 0, 9, 4}, Bad{0, -9, 4, -1}}) {
    EXPECT_EQ(ApplyLayerEffect(1, source, nullptr, r.x0, r.y0, r.x1, r.y1, 200, 0, 0, 0), 0);
    EXPECT_TRUE(SamePicture(picture, Read(source)));
  }
  // A region reaching past the picture is cut to it.
  ASSERT_EQ(ApplyLayerEffect(9, source, nullptr, 3, 3, 40, 40, 0, 0, 0, 0), 0);
  EXPECT_TRUE(SamePicture(Crop(picture, 3, 3, 4, 4), Read(source)));
}

}  // namespace
