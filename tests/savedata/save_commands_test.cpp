// The save and load commands run from compiled scripts: every record kind
// saved to a file or a memory slot and read back equal, the argument checks
// and their messages, and the layout of new, appended and rewritten files.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "image/pixel_buffers.h"
#include "layer/layer_record.h"
#include "savedata/save_format.h"
#include "savedata/save_slots.h"
#include "savedata/save_test_util.h"
#include "script/arguments.h"
#include "script/variables.h"
#include "support/image_fixtures.h"
#include "support/save_file_builder.h"

namespace {

SaveOp Save(std::vector<Arg> args) { return {"save", std::move(args)}; }
SaveOp Load(std::vector<Arg> args) { return {"load", std::move(args)}; }


std::string Ints(uint32_t n, int first, int count) {
  std::string all;
  for (int i = first; i < first + count; ++i) all += std::to_string(IntVar(n, i)) + ",";
  return all;
}
std::string Reals(uint32_t n, int first, int count) {
  std::string all;
  for (int i = first; i < first + count; ++i) all += std::to_string(RealVar(n, i)) + ",";
  return all;
}
std::string Texts(uint32_t n, int first, int count) {
  std::string all;
  for (int i = first; i < first + count; ++i) all += "\"" + TextVar(n, i) + "\",";
  return all;
}

struct KindCase {
  const char* mWhat;
  Expr mSaved;   // the variable reference saved
  Expr mLoaded;  // the variable reference loaded into
  std::function<std::string()> mSource;  // the saved values, read before saving
  std::function<std::string()> mTarget;  // the same values where the load puts them
};

TEST(SaveCommandsTest, EveryVariableKindRoundTripsThroughAFileAndASlot) {
  const KindCase cases[] = {
      {"an integer", Var(kRunInt), Var(kRunInt), [] { return Ints(kRunInt, 0, 1); }, [] { return Ints(kRunInt, 0, 1); }},
      {"an integer array of two dimensions", Whole(kRunIntArray), Whole(kRunIntArray),
       [] { return Ints(kRunIntArray, 0, 12); }, [] { return Ints(kRunIntArray, 0, 12); }},
      {"a real", Var(kRunReal), Var(kRunReal), [] { return Reals(kRunReal, 0, 1); }, [] { return Reals(kRunReal, 0, 1); }},
      {"a real array", Whole(kRunRealArray), Whole(kRunRealArray), [] { return Reals(kRunRealArray, 0, 3); },
       [] { return Reals(kRunRealArray, 0, 3); }},
      {"a string", Var(kRunText), Var(kRunText), [] { return Texts(kRunText, 0, 1); }, [] { return Texts(kRunText, 0, 1); }},
      {"a string array", Whole(kRunTextArray), Whole(kRunTextArray), [] { return Texts(kRunTextArray, 0, 3); },
       [] { return Texts(kRunTextArray, 0, 3); }},
      {"an integer element into another element", Elem(kRunIntArray, {Num(1), Num(2)}),
       Elem(kRunIntArray, {Num(2), Num(3)}), [] { return Ints(kRunIntArray, 6, 1); },
       [] { return Ints(kRunIntArray, 11, 1); }},
      {"a real element into another element", Elem(kRunRealArray, {Num(2)}), Elem(kRunRealArray, {Num(0)}),
       [] { return Reals(kRunRealArray, 2, 1); }, [] { return Reals(kRunRealArray, 0, 1); }},
      {"a string element into another element", Elem(kRunTextArray, {Num(2)}), Elem(kRunTextArray, {Num(0)}),
       [] { return Texts(kRunTextArray, 2, 1); }, [] { return Texts(kRunTextArray, 0, 1); }},
      {"a string element into a scalar", Elem(kRunTextArray, {Num(1)}), Var(kRunText),
       [] { return Texts(kRunTextArray, 1, 1); }, [] { return Texts(kRunText, 0, 1); }},
  };
  for (const KindCase& c : cases) {
    for (bool slot : {false, true}) {
      SCOPED_TRACE(std::string(c.mWhat) + (slot ? " through slot 7" : " through a file"));
      ScriptRunner game;
      std::vector<Arg> target = slot ? std::vector<Arg>{{"slot", Num(7)}} : std::vector<Arg>{{"file", Str("kinds")}};
      std::vector<Arg> saveArgs = target;
      saveArgs.push_back({"dno", Num(3)});
      saveArgs.push_back({"var", c.mSaved});
      std::vector<Arg> loadArgs = target;
      loadArgs.push_back({"dno", Num(3)});
      loadArgs.push_back({"var", c.mLoaded});
      ASSERT_TRUE(LoadSavePhases(game, {{Save(saveArgs)}, {Load(loadArgs)}}));
      FillSaveVariables(5);
      std::string saved = c.mSource();
      ASSERT_TRUE(game.Frame());
      ASSERT_EQ(g_LastErrorText, "");
      EXPECT_EQ(PendingSaveLength(3), 0u) << "written records are no longer pending";
      FillSaveVariables(11);
      ASSERT_NE(c.mTarget(), saved);
      ASSERT_TRUE(game.Frame());
      EXPECT_EQ(g_LastErrorText, "");
      EXPECT_EQ(c.mTarget(), saved);
    }
  }
}

}  // namespace

namespace {

GameFile Picture(const std::string& name, int width, int height, uint32_t base) {
  BmpFixture bmp;
  bmp.mWidth = width;
  bmp.mHeight = height;
  bmp.mBits = 32;
  for (int i = 0; i < width * height; ++i) bmp.mPixels.push_back(0xFF000000u | (base + static_cast<uint32_t>(i)));
  std::vector<uint8_t> bytes = WriteBmp(bmp);
  return {name, Bytes(bytes.begin(), bytes.end())};
}

ObjectTreeNode* LayerNode(const char* path) { return FindObjectByPath(g_LayerRoot, path, kPathLeaf); }
LayerRecord* LayerOf(const char* path) {
  ObjectTreeNode* node = LayerNode(path);
  return node != nullptr ? static_cast<LayerRecord*>(node->mPayload) : nullptr;
}
std::vector<uint8_t> PixelsOf(const LayerRecord* record) {
  size_t bytes = static_cast<size_t>(record->mWidth) * 4 * record->mHeight;
  return std::vector<uint8_t>(record->mPixelAlloc, record->mPixelAlloc + bytes);
}

TEST(SaveCommandsTest, LayerImageRoundTripsWithItsPixelsAndItsPlaceInTheTree) {
  for (bool slot : {false, true}) {
    SCOPED_TRACE(slot ? "through slot 499" : "through a file");
    ScriptRunner game;
    game.mEnv.Write(Picture("pic.bmp", 4, 3, 0x102030));
    game.mEnv.Write(Picture("other.bmp", 2, 2, 0x405060));
    std::vector<Arg> target = slot ? std::vector<Arg>{{"slot", Num(499)}} : std::vector<Arg>{{"file", Str("Pics.SD")}};
    std::vector<Arg> saveArgs = target;
    saveArgs.insert(saveArgs.end(), {{"dno", Num(9)}, {"layer", Str("g/pic")}, {"num", Num(2)}});
    std::vector<Arg> loadArgs = target;
    loadArgs.insert(loadArgs.end(), {{"dno", Num(9)}, {"layer", Str("g/pic")}, {"num", Num(2)}});
    ASSERT_TRUE(LoadSavePhases(
        game, {{{"layer", {{"path", Str("g/")}, {"order", Num(3)}}},
                {"layer", {{"path", Str("g/pic.2")}, {"order", Num(5)}, {"file", Str("pic.bmp")}}},
                {"layer", {{"path", Str("g/pic.2")}, {"opacity", Num(100)}}},
                Save(saveArgs)},
               {{"layer", {{"path", Str("g/pic.2")}, {"file", Str("other.bmp")}}}},
               {Load(loadArgs)}}));
    ASSERT_TRUE(game.Frame());
    ASSERT_EQ(g_LastErrorText, "");
    ASSERT_NE(LayerOf("W0/g/pic.2"), nullptr);
    std::vector<uint8_t> saved = PixelsOf(LayerOf("W0/g/pic.2"));
    ASSERT_TRUE(game.Frame());
    ASSERT_EQ(LayerOf("W0/g/pic.2")->mWidth, 2);
    ASSERT_TRUE(game.Frame());
    EXPECT_EQ(g_LastErrorText, "");
    ObjectTreeNode* node = LayerNode("W0/g/pic.2");
    ASSERT_NE(node, nullptr);
    ASSERT_NE(node->mParent, nullptr);
    EXPECT_STREQ(node->mParent->mName, "g");
    EXPECT_EQ(node->mOrderKey, 5);
    const LayerRecord* record = LayerOf("W0/g/pic.2");
    EXPECT_EQ(record->mWidth, 4);
    EXPECT_EQ(record->mHeight, 3);
    EXPECT_EQ(record->mBufferWidth, 4);
    EXPECT_EQ(record->mBufferHeight, 3);
    EXPECT_EQ(PixelsOf(record), saved);
    // Every attribute but the size starts again from its default.
    EXPECT_EQ(record->mOpacity, 256);
  }
}

TEST(SaveCommandsTest, GroupRecordRestoresEveryVariableOfItsGroupAndType) {
  struct GroupCase {
    const char* mWhat;
    std::vector<Arg> mIds;
    std::vector<uint32_t> mRestored;
  };
  // p6-p9 integers of group 1-4, p10-p13 reals, p14-p17 strings; the
  // highest group and the highest type given win.
  const GroupCase cases[] = {
      {"integers of group 2", {{"p7", Num(1)}}, {kGroupIntA, kGroupIntB}},
      {"strings of group 2", {{"p15", Num(1)}}, {kGroupText}},
      {"reals of group 2", {{"p11", Num(1)}}, {kGroupRealA}},
      {"integers of group 3 over group 2", {{"p7", Num(1)}, {"p8", Num(1)}}, {kOtherGroupInt}},
      {"group 2 with reals over integers", {{"p7", Num(1)}, {"p11", Num(1)}}, {kGroupRealA}},
  };
  for (const GroupCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    ScriptRunner game;
    std::vector<Arg> saveArgs{{"file", Str("group")}, {"dno", Num(12)}};
    saveArgs.insert(saveArgs.end(), c.mIds.begin(), c.mIds.end());
    ASSERT_TRUE(LoadSavePhases(game, {{Save(saveArgs)}, {Load({{"file", Str("group")}, {"dno", Num(12)}})}}));
    FillSaveVariables(3);
    std::map<uint32_t, std::string> saved = VariableValues();
    ASSERT_TRUE(game.Frame());
    ASSERT_EQ(g_LastErrorText, "");
    FillSaveVariables(8);
    std::map<uint32_t, std::string> expected = VariableValues();
    for (uint32_t n : c.mRestored) expected[n] = saved[n];
    // A group load ends the task's turn, as a failure does, but reports nothing.
    game.Frame();
    EXPECT_EQ(g_LastErrorText, "");
    EXPECT_EQ(VariableValues(), expected);
  }
}

}  // namespace

namespace {

struct RefusalCase {
  const char* mWhat;
  std::vector<SavePhase> mPhases;  // the last phase's last instruction is refused
  MessageId mMessage;
};

TEST(SaveCommandsTest, RefusedArgumentsReportTheirMessages) {
  const std::string name33(33, 'n');
  const RefusalCase cases[] = {
      {"record 1024, which holds the memory slots", {{Save({{"dno", Num(1024)}, {"var", Var(kRunInt)}})}},
       kMsgArgumentOutOfRange},
      {"record 0", {{Save({{"dno", Num(0)}, {"var", Var(kRunInt)}})}}, kMsgArgumentOutOfRange},
      {"slot 500", {{Save({{"slot", Num(500)}, {"dno", Num(1)}, {"var", Var(kRunInt)}})}}, kMsgArgumentOutOfRange},
      {"slot -1", {{Save({{"slot", Num(-1)}})}}, kMsgArgumentOutOfRange},
      {"a load of record 1025", {{Load({{"slot", Num(0)}, {"dno", Num(1025)}, {"var", Var(kRunInt)}})}},
       kMsgArgumentOutOfRange},
      {"a load from slot 500", {{Load({{"slot", Num(500)}, {"dno", Num(1)}, {"var", Var(kRunInt)}})}},
       kMsgArgumentOutOfRange},
      {"the same record prepared twice",
       {{Save({{"dno", Num(3)}, {"var", Var(kRunInt)}}), Save({{"dno", Num(3)}, {"var", Var(kRunInt2)}})}},
       kMsgSaveRecordPending},
      {"a file name with a folder part", {{Save({{"file", Str("dir/x")}, {"dno", Num(1)}, {"var", Var(kRunInt)}})}},
       kMsgSaveNameHasFolder},
      {"a file name with a backslash", {{Save({{"file", Str("dir\\x")}})}}, kMsgSaveNameHasFolder},
      {"a file name of 33 bytes", {{Save({{"file", Str(name33)}, {"dno", Num(1)}, {"var", Var(kRunInt)}})}},
       kMsgSaveNameTooLong},
      {"a load from a file name of 33 bytes", {{Load({{"file", Str(name33)}, {"dno", Num(1)}, {"var", Var(kRunInt)}})}},
       kMsgSaveNameTooLong},
      {"a missing layer", {{Save({{"dno", Num(1)}, {"layer", Str("nobody")}})}}, kMsgShareSourceMissing},
      {"a load into a missing layer", {{Load({{"slot", Num(0)}, {"dno", Num(1)}, {"layer", Str("nobody")}})}},
       kMsgShareSourceMissing},
      {"a missing file", {{Load({{"file", Str("absent")}, {"dno", Num(1)}, {"var", Var(kRunInt)}})}},
       kMsgSaveFileOpenFailed},
      {"an empty slot", {{Load({{"slot", Num(4)}, {"dno", Num(1)}, {"var", Var(kRunInt)}})}}, kMsgNotASaveFile},
      {"a record the file does not hold",
       {{Save({{"file", Str("one")}, {"dno", Num(1)}, {"var", Var(kRunInt)}})},
        {Load({{"file", Str("one")}, {"dno", Num(2)}, {"var", Var(kRunInt)}})}},
       kMsgSaveRecordMissing},
      {"an integer record into a real variable",
       {{Save({{"slot", Num(1)}, {"dno", Num(1)}, {"var", Var(kRunInt)}})},
        {Load({{"slot", Num(1)}, {"dno", Num(1)}, {"var", Var(kRunReal)}})}},
       kMsgSaveRecordTypeMismatch},
      {"a whole array into an array of other dimensions",
       {{Save({{"slot", Num(1)}, {"dno", Num(1)}, {"var", Whole(kRunIntArray)}})},
        {Load({{"slot", Num(1)}, {"dno", Num(1)}, {"var", Whole(kRunIntList)}})}},
       kMsgSavedDimensionCount},
      {"a whole array into an array of other sizes",
       {{Save({{"slot", Num(1)}, {"dno", Num(1)}, {"var", Whole(kRunIntList)}})},
        {Load({{"slot", Num(1)}, {"dno", Num(1)}, {"var", Whole(kGroupIntA)}})}},
       kMsgSavedDimensionSize},
      {"a whole array into one element",
       {{Save({{"slot", Num(1)}, {"dno", Num(1)}, {"var", Whole(kRunIntList)}})},
        {Load({{"slot", Num(1)}, {"dno", Num(1)}, {"var", Elem(kGroupIntA, {Num(0)})}})}},
       kMsgSavedDimensionCount},
      {"a variable record loaded without a variable",
       {{Save({{"slot", Num(1)}, {"dno", Num(1)}, {"var", Var(kRunInt)}})}, {Load({{"slot", Num(1)}, {"dno", Num(1)}})}},
       kMsgUndefinedVariable},
      {"a variable record saved without a variable", {{Save({{"slot", Num(1)}, {"dno", Num(1)}})}},
       kMsgUndefinedVariable},
      {"a layer image into a variable",
       {{{"layer", {{"path", Str("pic")}, {"order", Num(1)}, {"file", Str("")}}},
         Save({{"slot", Num(1)}, {"dno", Num(1)}, {"layer", Str("pic")}})},
        {Load({{"slot", Num(1)}, {"dno", Num(1)}, {"var", Var(kRunInt)}})}},
       kMsgSavedImageIntoVariable},
      {"a variable into a layer",
       {{{"layer", {{"path", Str("pic")}, {"order", Num(1)}, {"file", Str("")}}},
         Save({{"slot", Num(1)}, {"dno", Num(1)}, {"var", Var(kRunInt)}})},
        {Load({{"slot", Num(1)}, {"dno", Num(1)}, {"layer", Str("pic")}})}},
       kMsgSavedVariableIntoLayer},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    ScriptRunner game;
    ASSERT_TRUE(LoadSavePhases(game, c.mPhases));
    FillSaveVariables(2);
    for (size_t phase = 0; phase + 1 < c.mPhases.size(); ++phase) {
      ASSERT_TRUE(game.Frame());
      ASSERT_EQ(g_LastErrorText, "");
    }
    std::string before = VariableState();
    game.Frame();
    EXPECT_TRUE(LastReportIs(c.mMessage)) << LastReportTag();
    EXPECT_EQ(VariableState(), before);
  }
}

TEST(SaveCommandsTest, TypeMismatchNamesTheDeclarationCommandOfTheVariablesType) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {{Save({{"slot", Num(1)}, {"dno", Num(1)}, {"var", Var(kRunInt)}})},
                                    {Load({{"slot", Num(1)}, {"dno", Num(1)}, {"var", Var(kRunReal)}})}}));
  ASSERT_TRUE(game.Frame());
  game.Frame();
  std::string expected = "E102120[load][" + std::string(CommandName(25)) + "]";
  EXPECT_EQ(LastReportTag().substr(0, expected.size()), expected);
  EXPECT_EQ(std::string(CommandName(25)), "real");
}

TEST(SaveCommandsTest, NamesAreLowerCasedAndGetTheirExtensionOnce) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {{Save({{"file", Str("Game01")}, {"dno", Num(1)}, {"var", Var(kRunInt)}}),
                                     Save({{"file", Str("Other.SD")}, {"dno", Num(1)}, {"var", Var(kRunInt)}})},
                                    {Load({{"file", Str("GAME01.sd")}, {"dno", Num(1)}, {"var", Var(kRunInt2)}})}}));
  FillSaveVariables(4);
  ASSERT_TRUE(game.Frame());
  ASSERT_EQ(g_LastErrorText, "");
  EXPECT_FALSE(ReadSaveBytes("game01.sd").empty());
  EXPECT_FALSE(ReadSaveBytes("other.sd").empty());
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunInt2), IntVar(kRunInt));
}

TEST(SaveCommandsTest, PreparedRecordsWaitForTheWriteAndDiscardDropsThem) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {{Save({{"dno", Num(2)}, {"var", Var(kRunInt)}}),
                                     Save({{"dno", Num(4)}, {"var", Whole(kRunTextArray)}})},
                                    {{"discard", {}}},
                                    {Save({{"dno", Num(2)}, {"var", Var(kRunInt2)}}), Save({{"file", Str("late")}})}}));
  ASSERT_TRUE(game.Frame());
  EXPECT_GT(PendingSaveLength(2), 12u);
  EXPECT_GT(PendingSaveLength(4), 12u);
  EXPECT_TRUE(ReadSaveBytes("late.sd").empty());
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(PendingSaveLength(2), 0u);
  EXPECT_EQ(PendingSaveLength(4), 0u);
  ASSERT_TRUE(game.Frame());
  std::vector<uint8_t> file = ReadSaveBytes("late.sd");
  ASSERT_GE(file.size(), kSaveHeaderBytes);
  EXPECT_EQ(ReadLe32At(file, 8), 1u);
  EXPECT_EQ(ReadLe32At(file, 12 + 4 * 2), kSaveHeaderBytes);
  EXPECT_EQ(ReadLe32At(file, 12 + 4 * 4), 0u);
}

}  // namespace
