// The GPU sub-commands of the image operation command with GPU drawing off,
// and the size check in front of the sprite paste.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "image/pixel_buffers.h"
#include "layer/image_operation.h"
#include "layer/layer_record.h"
#include "render/gpu_frame.h"
#include "support/layer_tree_env.h"
#include "support/script_assembler.h"
#include "support/script_runner.h"

namespace {

struct FitCase {
  const char* mWhat;
  int32_t mSourceWidth;
  int32_t mSourceHeight;
  bool mSourcePixels;
  int32_t mTargetWidth;
  int32_t mTargetHeight;
  uint8_t mTiles;
  bool mFits;
};

class SpritePasteFitsTest : public testing::TestWithParam<FitCase> {};

TEST_P(SpritePasteFitsTest, TheSourceMustCoverTheTargetsTiles) {
  const FitCase& c = GetParam();
  LayerTreeEnvironment env(64, 64);
  ObjectTreeNode* source = env.Add(env.mW0, "s", 0, 0, c.mSourceWidth, c.mSourceHeight);
  if (c.mSourcePixels) {
    SetPixelBuffer(RecordOf(source), AllocPixelBuffer(nullptr, c.mSourceWidth, c.mSourceHeight, nullptr),
                   c.mSourceWidth, c.mSourceHeight);
  }
  ObjectTreeNode* target = env.Add(env.mW0, "t", 0, 0, c.mTargetWidth, c.mTargetHeight);
  RecordOf(target)->mTileCountX = c.mTiles;
  RecordOf(target)->mTileCountY = c.mTiles;
  EXPECT_EQ(SpritePasteFits(source, target), c.mFits);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SpritePasteFitsTest,
    testing::Values(FitCase{"the same size", 8, 6, true, 8, 6, 1, true},
                    FitCase{"a larger source", 9, 7, true, 8, 6, 1, true},
                    FitCase{"a narrower source", 7, 6, true, 8, 6, 1, false},
                    FitCase{"a shorter source", 8, 5, true, 8, 6, 1, false},
                    FitCase{"a source without pixels", 8, 6, false, 8, 6, 1, false},
                    FitCase{"a target without tiles", 8, 6, true, 8, 6, 0, false}));

TEST(SpritePasteFitsPlainTest, MissingNodesOrRecordsNeverFit) {
  LayerTreeEnvironment env(64, 64);
  ObjectTreeNode* source = env.Add(env.mW0, "s", 0, 0, 4, 4);
  SetPixelBuffer(RecordOf(source), AllocPixelBuffer(nullptr, 4, 4, nullptr), 4, 4);
  EXPECT_FALSE(SpritePasteFits(source, nullptr));
  EXPECT_FALSE(SpritePasteFits(nullptr, source));
}

// Without a GPU device the paste has nothing to write into, but it still asks
// for a GPU redraw; the capture leaves the target as it was made.
TEST(ImageOperationGpuTest, PasteAndCaptureWithoutTheGpuGoOn) {
  for (const char* id : {"sprite", "gpu_capture"}) {
    SCOPED_TRACE(id);
    ScriptRunner game;
    ScriptAssembler code = game.Script(0);
    code.Label("SYSTEM_START");
    code.Op("image", {{"source", Str("src")}, {"dest", Str("tiles")}, {id, Num(1)}});
    code.Op("assign", {{"target", Var(kRunInt)}, {"value", Num(1)}});
    code.Op("wait", {{"frames", Num(1)}});
    game.Add(code);
    ASSERT_TRUE(game.Load());
    ObjectTreeNode* source = CreateTreeNode(g_LayerRoot, "W0/src", 1, 0);
    LayerRecord* record = GetLayerRecord(source);
    SetPixelBuffer(record, AllocPixelBuffer(nullptr, 4, 4, nullptr), 4, 4);
    g_GpuRedrawRequest = 0;
    game.Frame();
    EXPECT_EQ(g_LastErrorText, "");
    EXPECT_EQ(IntVar(kRunInt), 1) << "the step went on";
    EXPECT_EQ(g_GpuRedrawRequest, std::string(id) == "sprite" ? 1 : 0);
    const auto* target = static_cast<const LayerRecord*>(FindObjectByPath(g_LayerRoot, "W0/tiles", kPathLeaf)->mPayload);
    EXPECT_EQ(target->mWidth, 1);
    EXPECT_EQ(record->mWidth, 4);
  }
}

}  // namespace
