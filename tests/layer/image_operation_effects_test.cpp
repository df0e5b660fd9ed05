// The image operation command's effect on pixels: what the routines it
// dispatches to leave in the source and destination layers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "image/pixel_buffers.h"
#include "layer/layer_record.h"
#include "support/script_assembler.h"
#include "support/script_runner.h"

namespace {

LayerRecord* Record(const char* path) {
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, path, kPathLeaf);
  return node != nullptr ? static_cast<LayerRecord*>(node->mPayload) : nullptr;
}

uint32_t Pixel(const LayerRecord* record, int x, int y) {
  uint32_t pixel = 0;
  std::memcpy(&pixel, record->mPixels + (static_cast<size_t>(y) * record->mWidth + x) * 4, 4);
  return pixel;
}

void AddLayer(const char* path, int32_t width, int32_t height, uint32_t colour) {
  ObjectTreeNode* node = CreateTreeNode(g_LayerRoot, path, 1, 0);
  ASSERT_NE(node, nullptr);
  LayerRecord* record = GetLayerRecord(node);
  ASSERT_NE(record, nullptr);
  uint8_t* block = AllocPixelBuffer(nullptr, width, height, nullptr);
  for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) std::memcpy(block + i * 4, &colour, 4);
  SetPixelBuffer(record, block, width, height);
}

void RunImageOp(ScriptRunner& game, const std::vector<Arg>& args, const std::function<void()>& setup) {
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("image", args);
  code.Op("wait", {{"frames", Num(1)}});
  game.Add(code);
  ASSERT_TRUE(game.Load());
  setup();
  game.Frame();
}

constexpr uint32_t kSource = 0xFF102030u;
// Brightness 138 adds 10 to B, G and R.
constexpr uint32_t kBrighter = 0xFF1A2A3Au;

void Source() { AddLayer("W0/src", 100, 100, kSource); }

TEST(ImageOperationEffectsTest, AnEffectWithoutDestinationCropsTheSourceToTheRegion) {
  ScriptRunner game;
  RunImageOp(game,
             {{"source", Str("src")}, {"brightness", Num(1)}, {"p1", Num(138)}, {"x0", Num(10)}, {"y0", Num(10)},
              {"x1", Num(19)}, {"y1", Num(19)}},
             Source);
  EXPECT_EQ(g_LastErrorText, "");
  const LayerRecord* source = Record("W0/src");
  ASSERT_EQ(source->mWidth, 10);
  ASSERT_EQ(source->mHeight, 10);
  EXPECT_EQ(Pixel(source, 0, 0), kBrighter);
  EXPECT_EQ(Pixel(source, 9, 9), kBrighter);
}

TEST(ImageOperationEffectsTest, AnEffectWithADestinationLeavesTheSourceUntouched) {
  ScriptRunner game;
  RunImageOp(game,
             {{"source", Str("src")}, {"dest", Str("out")}, {"brightness", Num(1)}, {"p1", Num(138)},
              {"x0", Num(10)}, {"y0", Num(10)}, {"x1", Num(19)}, {"y1", Num(19)}},
             Source);
  EXPECT_EQ(g_LastErrorText, "");
  const LayerRecord* source = Record("W0/src");
  EXPECT_EQ(source->mWidth, 100);
  EXPECT_EQ(Pixel(source, 10, 10), kSource);
  const LayerRecord* out = Record("W0/out");
  ASSERT_EQ(out->mWidth, 10);
  ASSERT_EQ(out->mHeight, 10);
  EXPECT_EQ(Pixel(out, 5, 5), kBrighter);
}

// The negative, later in the order, must not run.
TEST(ImageOperationEffectsTest, OnlyTheFirstEffectOfTheOrderRuns) {
  ScriptRunner game;
  RunImageOp(game, {{"source", Str("src")}, {"negative", Num(1)}, {"brightness", Num(1)}, {"p1", Num(138)}}, Source);
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(Pixel(Record("W0/src"), 50, 50), kBrighter);
}

// The paste starts at the unclamped x0.
TEST(ImageOperationEffectsTest, APasteStartsAtTheUnclampedPosition) {
  ScriptRunner game;
  RunImageOp(game, {{"source", Str("red")}, {"dest", Str("out")}, {"paste", Num(1)}, {"x0", Num(-2)}, {"y0", Num(1)}},
             [] {
               AddLayer("W0/red", 4, 4, 0xFFFF0000u);
               AddLayer("W0/out", 10, 10, 0xFF000000u);
             });
  EXPECT_EQ(g_LastErrorText, "");
  const LayerRecord* out = Record("W0/out");
  EXPECT_EQ(Pixel(out, 0, 1), 0xFFFF0000u);
  EXPECT_EQ(Pixel(out, 1, 4), 0xFFFF0000u);
  EXPECT_EQ(Pixel(out, 2, 1), 0xFF000000u);
  EXPECT_EQ(Pixel(out, 0, 0), 0xFF000000u);
}

TEST(ImageOperationEffectsTest, AResizeGivesTheTargetSize) {
  ScriptRunner game;
  RunImageOp(game, {{"source", Str("src")}, {"resize", Num(1)}, {"width", Num(7)}, {"height", Num(3)}}, Source);
  EXPECT_EQ(g_LastErrorText, "");
  const LayerRecord* source = Record("W0/src");
  EXPECT_EQ(source->mWidth, 7);
  EXPECT_EQ(source->mHeight, 3);
  EXPECT_EQ(Pixel(source, 6, 2), kSource);
}

// Left x0, right x1, top y0, bottom y1.
TEST(ImageOperationEffectsTest, MarginsComeFromTheRegionIds) {
  ScriptRunner game;
  RunImageOp(game,
             {{"source", Str("small")}, {"margins", Num(1)}, {"x0", Num(2)}, {"x1", Num(3)}, {"y0", Num(1)},
              {"y1", Num(0)}},
             [] { AddLayer("W0/small", 4, 4, kSource); });
  EXPECT_EQ(g_LastErrorText, "");
  const LayerRecord* small = Record("W0/small");
  ASSERT_EQ(small->mWidth, 9);
  ASSERT_EQ(small->mHeight, 5);
  EXPECT_EQ(Pixel(small, 0, 0), 0x00808080u);
  EXPECT_EQ(Pixel(small, 2, 1), kSource);
  EXPECT_EQ(Pixel(small, 5, 4), kSource);
  EXPECT_EQ(Pixel(small, 6, 4), 0x00808080u);
}

// All four sides (15) to the opaque pixels.
TEST(ImageOperationEffectsTest, AutoCropIntoADestination) {
  ScriptRunner game;
  RunImageOp(game, {{"source", Str("src")}, {"dest", Str("out")}, {"autocrop", Num(1)}, {"p1", Num(15)}}, [] {
    AddLayer("W0/src", 10, 10, 0x00000000u);
    LayerRecord* record = Record("W0/src");
    for (int y = 3; y <= 5; ++y) {
      for (int x = 2; x <= 7; ++x) std::memcpy(record->mPixels + (static_cast<size_t>(y) * 10 + x) * 4, &kSource, 4);
    }
  });
  EXPECT_EQ(g_LastErrorText, "");
  const LayerRecord* out = Record("W0/out");
  EXPECT_EQ(out->mWidth, 6);
  EXPECT_EQ(out->mHeight, 3);
  EXPECT_EQ(Pixel(out, 0, 0), kSource);
  EXPECT_EQ(Record("W0/src")->mWidth, 10);
}

}  // namespace
