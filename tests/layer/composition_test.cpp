#include "layer/composition.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/errors.h"
#include "core/object_tree.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "image/blend_kernels.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"
#include "support/layer_tree_env.h"

namespace {

// The frame step ends the program on a non-zero result of either routine:
// whatever composes and presents a window answers with the quit flag.
TEST(CompositionContractTest, RenderAndPresentAnswerWithTheQuitFlag) {
  g_QuitFlag.store(0);
  EXPECT_EQ(RenderWindowLayers(0), 0);
  EXPECT_EQ(PresentWindowCpu(0), 0);
  g_QuitFlag.store(1);
  EXPECT_EQ(RenderWindowLayers(0), 1);
  EXPECT_EQ(PresentWindowCpu(0), 1);
  g_QuitFlag.store(0);
}

uint32_t Pixel(const LayerRecord* record, int x, int y) {
  uint32_t value = 0;
  std::memcpy(&value, record->mPixels + (static_cast<size_t>(y) * record->mWidth + x) * 4, 4);
  return value;
}

void Fill(LayerRecord* record, uint32_t colour) {
  for (int32_t i = 0; i < record->mWidth * record->mHeight; ++i) std::memcpy(record->mPixels + i * 4, &colour, 4);
}

// A window 0 with a canvas over the layer tree, and layers with pixels.
class CompositionTest : public ::testing::Test {
 protected:
  void Build(int32_t width, int32_t height) {
    mEnv = std::make_unique<LayerTreeEnvironment>(width, height);
    InitPixelPrimitives();
    InitProductTables();
    InitBlendKernels();
    mEnv->mWindow.mCanvas = &mCanvas;
    mEnv->mWindow.mDisplayState = 1;
    mRoot = RecordOf(mEnv->mW0);
    g_FrameCounter = 1;
  }
  void TearDown() override {
    StopPixelWorkers();
    g_QuitFlag.store(0);
  }
  // A layer (or group with a canvas) with pixels of one colour.
  ObjectTreeNode* Layer(ObjectTreeNode* parent, const char* name, int64_t x, int64_t y, int32_t width,
                        int32_t height, uint32_t colour, bool alpha = false, bool group = false) {
    ObjectTreeNode* node = mEnv->Add(parent, name, x, y, width, height, group);
    LayerRecord* record = RecordOf(node);
    if (width > 0 && height > 0) {
      uint8_t* block = AllocPixelBuffer(nullptr, width, height, nullptr);
      EXPECT_NE(block, nullptr);
      SetPixelBuffer(record, block, width, height);
      Fill(record, colour);
    }
    record->mHasAlpha = alpha ? 1 : 0;
    return node;
  }
  void Invalidate(ObjectTreeNode* node) {
    if (node->mIsGroup != 0) {
      InvalidateGroupToRoot(node);
    } else {
      InvalidateLayerToRoot(node);
    }
  }
  // One drawn frame as the frame step runs it.
  int Frame() {
    CommitLayerState(GetFirstLayerChild());
    int result = RenderWindowLayers(0);
    PresentWindowCpu(0);
    ResetDirtyRects(GetFirstLayerChild());
    ++g_FrameCounter;
    return result;
  }
  std::vector<uint8_t> WindowPixels() const {
    return std::vector<uint8_t>(mRoot->mPixels, mRoot->mPixels + static_cast<size_t>(mRoot->mWidth) * mRoot->mHeight * 4);
  }
  // The same layers drawn from scratch over the whole window.
  std::vector<uint8_t> FullRedraw() {
    std::memset(mRoot->mPixels, 0x5A, static_cast<size_t>(mRoot->mWidth) * mRoot->mHeight * 4);
    FlagWindowLayerFullyDirty(0);
    EXPECT_EQ(Frame(), 0);
    return WindowPixels();
  }

  std::unique_ptr<LayerTreeEnvironment> mEnv;
  LayerRecord mCanvas;
  LayerRecord* mRoot = nullptr;
};

TEST(ClipBlitRectTest, CodesAndResultsPerAxis) {
  struct Case {
    int64_t x, width, clipX, clipWidth;
    uint8_t code;
    int64_t offset, destination, out;
  };
  const Case cases[] = {
      {5, 10, 0, 100, 0, 0, 5, 10},    // inside
      {95, 10, 0, 100, 1, 0, 95, 5},   // ends after
      {-3, 10, 0, 100, 2, 3, 0, 7},    // starts before
      {-3, 200, 0, 100, 3, 3, 0, 100}, // both
      {120, 10, 0, 100, 1, 0, 120, -20},
  };
  for (const Case& c : cases) {
    BlitGeometry g;
    g.mSrcX = c.x;
    g.mWidth = c.width;
    g.mClipX = c.clipX;
    g.mClipWidth = c.clipWidth;
    g.mSrcY = c.x;
    g.mHeight = c.width;
    g.mClipY = c.clipX;
    g.mClipHeight = c.clipWidth;
    ClipBlitRect(&g);
    EXPECT_EQ(g.mCodeX, c.code) << c.x;
    EXPECT_EQ(g.mSrcOffsetX, c.offset) << c.x;
    EXPECT_EQ(g.mDstX, c.destination) << c.x;
    EXPECT_EQ(g.mOutWidth, c.out) << c.x;
    EXPECT_EQ(g.mCodeY, c.code);
    EXPECT_EQ(g.mOutHeight, c.out);
  }
}

TEST(RuleWeightsTest, HardEdgeAndSoftRampTimesOpacity) {
  LayerRecord record;
  record.mRuleSoftness = 256;
  record.mRuleThreshold = 64;
  record.mOpacity = 128;
  BuildRuleWeights(&record);
  EXPECT_EQ(g_RuleWeightTable[0], 0);
  EXPECT_EQ(g_RuleWeightTable[191], 0);
  EXPECT_EQ(g_RuleWeightTable[192], 128);
  EXPECT_EQ(g_RuleWeightTable[255], 128);
  record.mRuleSoftness = 64;
  record.mRuleThreshold = 100;
  record.mOpacity = 256;
  BuildRuleWeights(&record);
  for (int i : {0, 50, 200, 255}) {
    int e = 32 * 100 - 64 * 128 + 100 + ((i * 64) >> 1);
    EXPECT_EQ(g_RuleWeightTable[i], std::min(e, 255) + 1) << i;
  }
}

TEST(ToneSaturationTest, ChannelTablesAndGrey) {
  uint8_t source[8] = {10, 128, 250, 77, 0, 255, 100, 9};
  uint8_t out[8];
  int64_t rect[4] = {0, 0, 1, 0};
  // Blue 0 darkens to 0, green 0x80 keeps, red 0xFF lifts.
  ApplyToneRect(out, source, rect, 2, 1, 0xFF8000);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 128);
  EXPECT_EQ(out[2], 250 + ((5 * 127) >> 7));
  EXPECT_EQ(out[3], 77);
  EXPECT_EQ(out[6], 100 + ((155 * 127) >> 7));
  ApplySaturationRect(out, source, rect, 2, 1, 0);
  int grey = (10 + 128 + 250) / 3;
  EXPECT_EQ(out[0], grey);
  EXPECT_EQ(out[1], grey);
  EXPECT_EQ(out[2], grey);
  EXPECT_EQ(out[3], 77);
  // Full saturation never leaves the byte range: k is lowered for the
  // channel that would leave it.
  ApplySaturationRect(out, source, rect, 2, 1, 256);
  // Red would pass 255: k = (5 << 7) / 121 = 5 for every channel.
  EXPECT_EQ(out[2], 250 + ((5 * 121) >> 7));
  EXPECT_EQ(out[0], 10 + ((5 * (10 - 129)) >> 7));
  ApplySaturationRect(out, source, rect, 2, 1, 128);
  EXPECT_EQ(std::memcmp(out, source, 8), 0);
}

TEST_F(CompositionTest, OpaqueCoveringLayerHidesBelowWithoutZeroFill) {
  Build(8, 8);
  Layer(mEnv->mW0, "under", 0, 0, 8, 8, 0xFF0000FF);
  ObjectTreeNode* top = Layer(mEnv->mW0, "top", 0, 0, 8, 8, 0xFF00FF00);
  Fill(mRoot, 0x11111111);
  int64_t rect[4] = {2, 2, 3, 3};
  UnionDirtyRect(mEnv->mW0, rect);
  ASSERT_EQ(Frame(), 0);
  EXPECT_EQ(Pixel(mRoot, 2, 2), 0xFF00FF00u);
  EXPECT_EQ(Pixel(mRoot, 0, 0), 0x11111111u);  // outside the dirty rectangle

  // Opacity 255: drawn from the first layer over a zero-filled rectangle.
  RecordOf(top)->mOpacity = 255;
  UnionDirtyRect(mEnv->mW0, rect);
  ASSERT_EQ(Frame(), 0);
  uint8_t expected[4];
  uint32_t under = 0xFF0000FF;
  uint32_t green = 0xFF00FF00;
  std::memcpy(expected, &under, 4);
  g_PlainBlendKernels.mPlain[0](expected, reinterpret_cast<const uint8_t*>(&green), 255, 4);
  uint32_t want = 0;
  std::memcpy(&want, expected, 4);
  EXPECT_EQ(Pixel(mRoot, 3, 3), want);
}

TEST_F(CompositionTest, AGroupIsNeverTheStartingChildInAWindow) {
  Build(4, 4);
  Layer(mEnv->mW0, "under", 0, 0, 4, 4, 0xFF0000FF);
  // A group whose canvas was once recomposed on its own (alpha 0, opaque).
  ObjectTreeNode* group = Layer(mEnv->mW0, "g", 0, 0, 4, 4, 0, false, true);
  Layer(group, "small", 0, 0, 1, 1, 0xFF00FF00);
  FlagWindowLayerFullyDirty(0);
  ASSERT_EQ(Frame(), 0);
  EXPECT_EQ(Pixel(mRoot, 0, 0), 0xFF00FF00u);
  EXPECT_EQ(Pixel(mRoot, 3, 3), 0xFF0000FFu);
}

TEST_F(CompositionTest, HiddenMemberGroupDrawnInWindowButNotInOwnCanvas) {
  Build(4, 4);
  ObjectTreeNode* outer = Layer(mEnv->mW0, "outer", 0, 0, 4, 4, 0, false, true);
  ObjectTreeNode* hidden = Layer(outer, "hidden", 0, 0, 4, 4, 0, false, true);
  RecordOf(hidden)->mVisible = 0;
  Layer(hidden, "leaf", 1, 1, 1, 1, 0xFF123456);
  FlagWindowLayerFullyDirty(0);
  ASSERT_EQ(Frame(), 0);
  EXPECT_EQ(Pixel(mRoot, 1, 1), 0xFF123456u);

  InvalidateGroupToRoot(outer);
  InvalidateGroupToRoot(hidden);
  ASSERT_EQ(RedrawLayerGroup(outer), 0);
  EXPECT_EQ(Pixel(RecordOf(outer), 1, 1), 0u);
  EXPECT_EQ(Pixel(RecordOf(hidden), 1, 1), 0xFF123456u);
}

TEST_F(CompositionTest, RuleMaskOfAnotherSizeStopsTheComposite) {
  Build(4, 4);
  InstallTaggedMessages({kMsgRuleMaskSizeMismatch});
  ObjectTreeNode* layer = Layer(mEnv->mW0, "pic", 0, 0, 4, 4, 0xFF00FF00);
  Layer(mEnv->mW0, "mask", 0, 0, 2, 2, 0xFFFFFFFF);
  RecordOf(layer)->mOpacity = 255;
  std::strcpy(RecordOf(layer)->mRuleLayerPath, "mask");
  RecordOf(layer)->mRuleThreshold = 100;
  FlagWindowLayerFullyDirty(0);
  EXPECT_EQ(Frame(), -1);
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_EQ(g_LastErrorText, ExpectedReport(kMsgRuleMaskSizeMismatch, {"pic", "4", "4", "mask", "2", "2"}));
}

TEST_F(CompositionTest, ToneAppliedOncePerFrameAndDroppedWhenNeutral) {
  Build(4, 2);
  ObjectTreeNode* a = Layer(mEnv->mW0, "a", 0, 0, 2, 2, 0xFF404040);
  // A sizeless group shows the same record again two pixels to the right.
  ObjectTreeNode* beside = Layer(mEnv->mW0, "beside", 2, 0, 0, 0, 0, false, true);
  ShareLayerRecord(CreateTreeNode(beside, "b", 1, 0), RecordOf(a));
  LayerRecord* shared = RecordOf(a);
  shared->mTone = 0x606060;
  FlagWindowLayerFullyDirty(0);
  ASSERT_EQ(Frame(), 0);
  uint8_t once[4] = {0x40, 0x40, 0x40, 0xFF};
  uint8_t toned[4];
  int64_t px[4] = {0, 0, 0, 0};
  ApplyToneRect(toned, once, px, 1, 1, 0x606060);
  uint32_t want = 0;
  std::memcpy(&want, toned, 4);
  EXPECT_EQ(Pixel(mRoot, 0, 0), want);
  EXPECT_EQ(Pixel(mRoot, 3, 1), want);

  shared->mTone = 0x808080;
  FlagWindowLayerFullyDirty(0);
  ASSERT_EQ(Frame(), 0);
  EXPECT_EQ(shared->mPixels, shared->mPixelAlloc);
  EXPECT_EQ(Pixel(mRoot, 0, 0), 0xFF404040u);
}

TEST_F(CompositionTest, SameOutputForOneToFourWorkers) {
  Build(256, 160);
  std::vector<std::vector<uint8_t>> results;
  ObjectTreeNode* bg = Layer(mEnv->mW0, "bg", 0, 0, 256, 160, 0xFF204060);
  ObjectTreeNode* pic = Layer(mEnv->mW0, "pic", 10, 7, 200, 140, 0x80A0B0C0, true);
  RecordOf(pic)->mOpacity = 200;
  RecordOf(pic)->mBlendMode = BLEND_SCREEN;
  for (int32_t i = 0; i < 200 * 140; ++i) RecordOf(pic)->mPixels[i * 4 + 3] = static_cast<uint8_t>(i * 7);
  (void)bg;
  for (int workers = 1; workers <= 4; ++workers) {
    StopPixelWorkers();
    g_WorkerCount = static_cast<uint8_t>(workers);
    ASSERT_EQ(StartPixelWorkers(), 0);
    std::memset(mRoot->mPixels, 0, 256 * 160 * 4);
    FlagWindowLayerFullyDirty(0);
    ASSERT_EQ(Frame(), 0);
    results.push_back(WindowPixels());
  }
  for (int i = 1; i < 4; ++i) EXPECT_EQ(results[i], results[0]) << "workers " << i + 1;
}

TEST_F(CompositionTest, ThreeWorkersSplitTenRowsIntoBands) {
  Build(2000, 10);
  Layer(mEnv->mW0, "bg", 0, 0, 2000, 10, 0xFF204060);
  g_WorkerCount = 3;
  ASSERT_EQ(StartPixelWorkers(), 0);
  FlagWindowLayerFullyDirty(0);
  ASSERT_EQ(Frame(), 0);
  EXPECT_EQ(g_WorkerJobs[0].mFirstRow, 0);
  EXPECT_EQ(g_WorkerJobs[0].mEndRow, 3);
  EXPECT_EQ(g_WorkerJobs[1].mFirstRow, 3);
  EXPECT_EQ(g_WorkerJobs[1].mEndRow, 6);
  EXPECT_EQ(g_WorkerJobs[2].mFirstRow, 6);
  EXPECT_EQ(g_WorkerJobs[2].mEndRow, 10);
}

// A member group's dirty rectangle left from an earlier frame must not keep
// its members from being redrawn where the window's dirty area was cleared.
TEST_F(CompositionTest, MemberGroupRedrawnWhereverTheWindowWasCleared) {
  Build(16, 16);
  ObjectTreeNode* group = Layer(mEnv->mW0, "g", 0, 0, 16, 16, 0, false, true);
  Layer(group, "face", 0, 0, 16, 16, 0xFF336699);
  ObjectTreeNode* dot = Layer(group, "dot", 0, 0, 2, 2, 0xFF00FFFF);
  ObjectTreeNode* spark = Layer(mEnv->mW0, "spark", 8, 8, 4, 4, 0x80FFFFFF, true);
  FlagWindowLayerFullyDirty(0);
  ASSERT_EQ(Frame(), 0);
  // The group changes in one corner; its rectangle stays (0,0)-(1,1).
  InvalidateLayerToRoot(dot);
  ASSERT_EQ(Frame(), 0);
  // Then a layer above it moves elsewhere.
  InvalidateLayerToRoot(spark);
  RecordOf(spark)->mX = 2;
  InvalidateLayerToRoot(spark);
  ASSERT_EQ(Frame(), 0);
  InvalidateLayerToRoot(spark);
  ASSERT_EQ(Frame(), 0);
  std::vector<uint8_t> composed = WindowPixels();
  std::vector<uint8_t> full = FullRedraw();
  for (size_t i = 0; i < full.size(); i += 4) {
    if (std::memcmp(&composed[i], &full[i], 4) != 0) ADD_FAILURE() << "pixel " << (i / 4) % 16 << "," << (i / 4) / 16;
  }
}

// A change made through one node of a shared record shows at every node.
TEST_F(CompositionTest, SharedRecordChangeShowsAtEveryNode) {
  Build(16, 8);
  Layer(mEnv->mW0, "bg", 0, 0, 16, 8, 0xFF000080);
  ObjectTreeNode* a = Layer(mEnv->mW0, "a", 0, 0, 4, 4, 0xFF00FF00);
  ObjectTreeNode* right = Layer(mEnv->mW0, "right", 8, 0, 8, 8, 0, false, true);
  ShareLayerRecord(CreateTreeNode(right, "b", 1, 0), RecordOf(a));
  FlagWindowLayerFullyDirty(0);
  ASSERT_EQ(Frame(), 0);
  // Move and recolour the record through a: b's place changes as well.
  InvalidateLayerToRoot(a);
  RecordOf(a)->mY = 4;
  Fill(RecordOf(a), 0xFFFF0000);
  InvalidateLayerToRoot(a);
  ASSERT_EQ(Frame(), 0);
  std::vector<uint8_t> composed = WindowPixels();
  EXPECT_EQ(composed, FullRedraw());
}

TEST_F(CompositionTest, HiddenWindowPaintedBlackEveryFrameUnchangedWindowNotRepainted) {
  Build(4, 4);
  g_WindowPresentRequest[0] = kPresentNone;
  FlagWindowLayerFullyDirty(0);
  ASSERT_EQ(Frame(), 0);
  EXPECT_EQ(g_WindowPresentRequest[0], kPresentRepaint);
  g_WindowPresentRequest[0] = kPresentNone;
  ASSERT_EQ(Frame(), 0);
  EXPECT_EQ(g_WindowPresentRequest[0], kPresentNone);
  mEnv->mWindow.mDisplayState = 0;
  for (int frame = 0; frame < 2; ++frame) {
    g_WindowPresentRequest[0] = kPresentNone;
    ASSERT_EQ(Frame(), 0);
    EXPECT_EQ(g_WindowPresentRequest[0], kPresentBlack);
    EXPECT_EQ(mEnv->mWindow.mDrawn, 0);
  }
}

}  // namespace
