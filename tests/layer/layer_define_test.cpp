// The layer command run from compiled scripts: which layers it creates and
// refuses, how each attribute is stored, image loads with new sides, masks,
// shared records and group canvases.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "image/pixel_buffers.h"
#include "layer/layer_record.h"
#include "script/task_step.h"
#include "support/image_fixtures.h"
#include "support/script_assembler.h"
#include "support/script_runner.h"

namespace {

// One frame that runs the layer instructions in order, after setup().
void RunLayerOps(ScriptRunner& game, const std::vector<std::vector<Arg>>& ops,
                 const std::function<void()>& setup = [] {}) {
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  for (const std::vector<Arg>& args : ops) code.Op("layer", args);
  code.Op("wait", {{"frames", Num(1)}});
  game.Add(code);
  ASSERT_TRUE(game.Load());
  setup();
  game.Frame();
}

ObjectTreeNode* Node(const char* path, int mode = kPathLeaf) { return FindObjectByPath(g_LayerRoot, path, mode); }
LayerRecord* Record(const char* path, int mode = kPathLeaf) {
  ObjectTreeNode* node = Node(path, mode);
  return node != nullptr ? static_cast<LayerRecord*>(node->mPayload) : nullptr;
}

uint32_t Pixel(const LayerRecord* record, int x, int y) {
  uint32_t pixel = 0;
  std::memcpy(&pixel, record->mPixels + (static_cast<size_t>(y) * record->mWidth + x) * 4, 4);
  return pixel;
}

// A width x height BMP whose pixel (x, y) is 0xFF000000 | (x << 16) | (y << 8) | blue.
GameFile Picture(const std::string& name, int width, int height, uint8_t blue = 0x40) {
  BmpFixture bmp;
  bmp.mWidth = width;
  bmp.mHeight = height;
  bmp.mBits = 32;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) bmp.mPixels.push_back(0xFF000000u | (x << 16) | (y << 8) | blue);
  }
  std::vector<uint8_t> bytes = WriteBmp(bmp);
  return {name, Bytes(bytes.begin(), bytes.end())};
}

struct RefusalCase {
  const char* mWhat;
  std::vector<Arg> mArgs;
  MessageId mMessage;
};

TEST(LayerDefineTest, MissingLayersAreRefusedWithTheirMessages) {
  const RefusalCase cases[] = {
      {"a missing layer with only a visibility", {{"path", Str("nobody")}, {"visible", Num(1)}}, kMsgLayerMissing},
      {"a new image layer without a number or order key", {{"path", Str("pic")}, {"file", Str("")}},
       kMsgLayerWithoutOrderKey},
      {"a share of a missing layer", {{"path", Str("copy")}, {"order", Num(2)}, {"source", Str("ghost")}},
       kMsgShareSourceMissing},
      {"an image into a group", {{"path", Str("g/")}, {"file", Str("")}}, kMsgImageIntoGroup},
      {"a group canvas of width 0", {{"path", Str("g/")}, {"width", Num(0)}, {"height", Num(4)}},
       kMsgArgumentNegative},
      {"blend mode 19", {{"path", Str("pic")}, {"num", Num(1)}, {"file", Str("")}, {"blend", Num(19)}},
       kMsgArgumentOutOfRange},
      {"new sides for a loaded image with one side",
       {{"path", Str("pic")}, {"num", Num(1)}, {"file", Str("")}, {"width", Num(3)}},
       kMsgResizeNeedsBothSides},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    ScriptRunner game;
    RunLayerOps(game, {c.mArgs});
    EXPECT_TRUE(LastReportIs(c.mMessage)) << LastReportTag();
    EXPECT_EQ(g_QuitFlag.load(), 1);
  }
}

TEST(LayerDefineTest, AMissingLayerIsIgnoredWhenTheSwitchIsOff) {
  ScriptRunner game;
  RunLayerOps(game, {{{"path", Str("nobody")}, {"visible", Num(1)}}}, [] { g_CommandSwitches[1] = 0; });
  EXPECT_EQ(g_QuitFlag.load(), 0);
  EXPECT_EQ(Node("W0/nobody"), nullptr);
}

TEST(LayerDefineTest, AShareWithAnEmptySourceLeavesNoNode) {
  ScriptRunner game;
  RunLayerOps(game, {{{"path", Str("copy")}, {"order", Num(2)}, {"source", Str("")}}});
  EXPECT_EQ(Node("W0/copy"), nullptr);
  EXPECT_EQ(g_LastErrorText, "");
}

TEST(LayerDefineTest, NewLayersTakeTheirNumberOrOrderKey) {
  ScriptRunner game;
  RunLayerOps(game, {
                        {{"path", Str("pic")}, {"num", Num(7)}, {"file", Str("")}},
                        {{"path", Str("b")}, {"order", Num(3)}, {"file", Str("")}},
                        // Subtracting 5 from 3 stops at the lower bound of 1.
                        {{"path", Str("b")}, {"order", Num(5), 2}},
                        {{"path", Str("shared")}, {"order", Num(9)}, {"source", Str("b")}},
                    });
  EXPECT_EQ(g_LastErrorText, "");
  ASSERT_NE(Node("W0/pic.7"), nullptr);
  EXPECT_EQ(Node("W0/pic.7")->mOrderKey, 7);
  ASSERT_NE(Node("W0/b"), nullptr);
  EXPECT_EQ(Node("W0/b")->mOrderKey, 1);
  ASSERT_NE(Record("W0/shared"), nullptr);
  EXPECT_EQ(Record("W0/shared"), Record("W0/b"));
  EXPECT_EQ(Record("W0/b")->mRefCount, 2);
  EXPECT_EQ(Node("W0/shared")->mOrderKey, 9);
}

TEST(LayerDefineTest, AttributesAreStoredWithTheirOperatorsAndBounds) {
  ScriptRunner game;
  RunLayerOps(game, {
                        {{"path", Str("a")}, {"num", Num(1)}, {"file", Str("")}, {"opacity", Num(250)}},
                        {{"path", Str("a.1")}, {"opacity", Num(10), 1}},
                        {{"path", Str("o")}, {"num", Num(2)}, {"file", Str("")}, {"opacity", Num(300)}},
                        {{"path", Str("p")}, {"num", Num(3)}, {"file", Str("")}, {"x100", Num(150)}},
                        {{"path", Str("q")}, {"num", Num(4)}, {"file", Str("")}, {"x100", Num(150)}},
                        {{"path", Str("q.4")}, {"x", Num(2)}},
                        {{"path", Str("s")},
                         {"num", Num(5)},
                         {"file", Str("")},
                         {"saturation", Num(999)},
                         {"tone", Num(-4)},
                         {"blend", Num(18)},
                         {"rule_softness", Num(0x12345)},
                         {"rule_path", Str("rule")},
                         {"rule_num", Num(3)},
                         {"rotation1", Num(45)},
                         {"fade", Num(300)},
                         {"shrink", Num(5)},
                         {"tag1", Num(11)},
                         {"visible", Num(0)}},
                    });
  EXPECT_EQ(g_LastErrorText, "");
  ASSERT_NE(Record("W0/a.1"), nullptr);
  EXPECT_EQ(Record("W0/a.1")->mOpacity, 256);
  // A plain set is held to the same bounds: 300 would overflow the kernels.
  EXPECT_EQ(Record("W0/o.2")->mOpacity, 256);
  EXPECT_EQ(Record("W0/p.3")->mX, 1);
  EXPECT_EQ(Record("W0/p.3")->mPosX100, 150);
  EXPECT_EQ(Record("W0/q.4")->mX, 2);
  EXPECT_EQ(Record("W0/q.4")->mPosX100, 200);
  const LayerRecord* s = Record("W0/s.5");
  EXPECT_EQ(s->mSaturation, 256);
  EXPECT_EQ(s->mTone, 0);
  EXPECT_EQ(s->mBlendMode, 18);
  EXPECT_EQ(s->mRuleSoftness, 0x2345);
  EXPECT_STREQ(s->mRuleLayerPath, "rule.3");
  EXPECT_EQ(s->mRotation1, 45.0f);
  EXPECT_EQ(s->mFade, 256);
  EXPECT_EQ(s->mShrinkInPlace, 1);
  EXPECT_EQ(s->mTag1, 11);
  EXPECT_EQ(s->mVisible, 0);
}

TEST(LayerDefineTest, ALoadedImageTakesNewSidesWithABlackFill) {
  ScriptRunner game;
  game.mEnv.Write(Picture("face.bmp", 2, 4));
  RunLayerOps(game, {{{"path", Str("pic")},
                      {"num", Num(1)},
                      {"file", Str("face.bmp")},
                      {"width", Num(4)},
                      {"height", Num(2)}}});
  EXPECT_EQ(g_LastErrorText, "");
  const LayerRecord* record = Record("W0/pic.1");
  ASSERT_NE(record, nullptr);
  ASSERT_EQ(record->mWidth, 4);
  ASSERT_EQ(record->mHeight, 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) {
      uint32_t expected = x < 2 ? 0xFF000040u | (x << 16) | (y << 8) : 0xFF000000u;
      EXPECT_EQ(Pixel(record, x, y), expected) << x << "," << y;
    }
  }
}

TEST(LayerDefineTest, AMaskGivesItsBlueAsAlphaAndAMaskOfAnotherSizeStops) {
  {
    ScriptRunner game;
    game.mEnv.Write({Picture("face.bmp", 3, 2), Picture("mask.bmp", 3, 2, 0x99)});
    RunLayerOps(game, {
                          {{"path", Str("m")}, {"num", Num(1)}, {"file", Str("mask.bmp")}},
                          {{"path", Str("pic")}, {"num", Num(2)}, {"file", Str("face.bmp")}, {"mask", Str("m.1")}},
                      });
    EXPECT_EQ(g_LastErrorText, "");
    const LayerRecord* record = Record("W0/pic.2");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->mHasAlpha, 1);
    EXPECT_EQ(Pixel(record, 2, 1), 0x99020140u);
  }
  {
    ScriptRunner game;
    game.mEnv.Write({Picture("face.bmp", 3, 2), Picture("mask.bmp", 2, 2)});
    RunLayerOps(game, {
                          {{"path", Str("m")}, {"num", Num(1)}, {"file", Str("mask.bmp")}},
                          {{"path", Str("pic")}, {"num", Num(2)}, {"file", Str("face.bmp")}, {"mask", Str("m.1")}},
                      });
    EXPECT_EQ(g_QuitFlag.load(), 1);
    ASSERT_EQ(game.mEnv.mDialogs.mBoxes.size(), 1u);
  }
}

TEST(LayerDefineTest, GroupsAreCreatedWithACanvasAndResized) {
  ScriptRunner game;
  RunLayerOps(game, {
                        // Neither sides nor a key: nothing is made.
                        {{"path", Str("none/")}, {"visible", Num(1)}},
                        {{"path", Str("g/")}, {"order", Num(4)}, {"width", Num(6)}, {"height", Num(3)}},
                        {{"path", Str("g/")}, {"width", Num(8)}},
                    });
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(Node("W0/none", kPathGroup), nullptr);
  const LayerRecord* group = Record("W0/g", kPathGroup);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(Node("W0/g", kPathGroup)->mOrderKey, 4);
  EXPECT_EQ(group->mWidth, 8);
  EXPECT_EQ(group->mHeight, 3);
  EXPECT_EQ(group->mBufferWidth, 8);
  ASSERT_NE(group->mPixels, nullptr);
  EXPECT_EQ(group->mDirtyRect[2], 7);
}

}  // namespace
