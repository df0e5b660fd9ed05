// Save files from the builder: a good file of each record kind loads, and
// every damaged one (each length field one too large, cut at every record
// boundary, a foreign magic or version, hostile sides) is refused and leaves
// the game state as it was.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "layer/layer_record.h"
#include "savedata/save_format.h"
#include "savedata/save_test_util.h"
#include "script/variables.h"
#include "support/image_fixtures.h"
#include "support/save_file_builder.h"

namespace {

SaveOp Load(std::vector<Arg> args) { return {"load", std::move(args)}; }

const LayerRecord* PicRecord() {
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, "W0/pic", kPathLeaf);
  return node != nullptr ? static_cast<const LayerRecord*>(node->mPayload) : nullptr;
}

// The state a refused load must not touch: every test variable and the
// layer "pic".
std::string GameState() {
  std::string state = VariableState();
  const LayerRecord* record = PicRecord();
  if (record == nullptr) return state + "no layer";
  state += "layer " + std::to_string(record->mWidth) + "x" + std::to_string(record->mHeight) + ":";
  size_t bytes = static_cast<size_t>(record->mWidth) * 4 * record->mHeight;
  state.append(reinterpret_cast<const char*>(record->mPixelAlloc), bytes);
  return state;
}

// A game with the layer "pic" (a 2x2 image) whose one instruction loads
// record dno of "test.sd" into the target (a variable, or the layer).
struct LoadGame {
  ScriptRunner mGame;
  bool Start(uint32_t dno, const std::vector<Arg>& target) {
    BmpFixture bmp;
    bmp.mWidth = 2;
    bmp.mHeight = 2;
    bmp.mBits = 32;
    bmp.mPixels = {0xFF112233u, 0xFF445566u, 0xFF778899u, 0xFFAABBCCu};
    std::vector<uint8_t> bytes = WriteBmp(bmp);
    mGame.mEnv.Write(GameFile{"pic.bmp", Bytes(bytes.begin(), bytes.end())});
    std::vector<Arg> args{{"file", Str("test")}, {"dno", Num(dno)}};
    args.insert(args.end(), target.begin(), target.end());
    if (!LoadSavePhases(mGame, {{{"layer", {{"path", Str("pic")}, {"order", Num(1)}, {"file", Str("pic.bmp")}}}},
                                {Load(args)}})) {
      return false;
    }
    FillSaveVariables(2);
    return mGame.Frame() && g_LastErrorText.empty();
  }
  // Runs the load; true when it reported nothing.
  bool RunLoad() {
    size_t boxes = mGame.mEnv.mDialogs.mBoxes.size();
    mGame.Frame();
    return g_LastErrorText.empty() && mGame.mEnv.mDialogs.mBoxes.size() == boxes;
  }
  std::string LastBox() const {
    return mGame.mEnv.mDialogs.mBoxes.empty() ? "" : mGame.mEnv.mDialogs.mBoxes.back().mText;
  }
};

const std::vector<Arg> kIntoArray{{"var", Whole(kRunIntArray)}};
const std::vector<Arg> kIntoTexts{{"var", Whole(kRunTextArray)}};
const std::vector<Arg> kIntoLayer{{"layer", Str("pic")}};

SaveRecordSpec IntArrayRecord() {
  return VariableRecordSpec(4, kRunIntArray, IntPayload({3, 4}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
}
SaveRecordSpec TextArrayRecord() {
  return VariableRecordSpec(4, kRunTextArray, StringPayload({3}, {"one", "", "three"}));
}
SaveImageSpec ThreeByTwo() {
  SaveImageSpec image;
  image.mWidth = 3;
  image.mHeight = 2;
  image.mPixels = {1, 2, 3, 4, 5, 6};
  return image;
}
SaveRecordSpec GroupRecord() {
  std::vector<SaveRecordSpec> members;
  members.push_back(VariableRecordSpec(0, kGroupIntA, IntPayload({4}, {7, 8, 9, 10})));
  members.push_back(VariableRecordSpec(0, kGroupIntB, IntPayload({}, {11})));
  return GroupRecordSpec(4, std::move(members));
}

struct GoodCase {
  const char* mWhat;
  SaveRecordSpec mRecord;
  std::vector<Arg> mTarget;
  std::function<std::string()> mLoaded;
  std::string mExpected;
  bool mEndsTurn = false;  // a group load ends the task's turn
};

TEST(DamagedSaveTest, EveryRecordKindFromTheBuilderLoads) {
  const GoodCase cases[] = {
      {"an integer", VariableRecordSpec(4, kRunInt, IntPayload({}, {-99})), {{"var", Var(kRunInt)}},
       [] { return ValuesOf(kRunInt); }, "-99,"},
      {"an integer array", IntArrayRecord(), kIntoArray, [] { return ValuesOf(kRunIntArray); },
       "1,2,3,4,5,6,7,8,9,10,11,12,"},
      {"a real array", VariableRecordSpec(4, kRunRealArray, RealPayload({3}, {0.5, -2, 1e10})),
       {{"var", Whole(kRunRealArray)}}, [] { return ValuesOf(kRunRealArray); }, "0.5,-2,1e+10,"},
      {"a string array", TextArrayRecord(), kIntoTexts, [] { return ValuesOf(kRunTextArray); },
       "\"one\",\"\",\"three\","},
      {"a string element", VariableRecordSpec(4, 0, StringPayload({}, {"abc"})),
       {{"var", Elem(kRunTextArray, {Num(2)})}}, [] { return TextVar(kRunTextArray, 2); }, "abc"},
      {"a real element", VariableRecordSpec(4, 0, RealPayload({}, {2.25})), {{"var", Elem(kRunRealArray, {Num(1)})}},
       [] { return std::to_string(RealVar(kRunRealArray, 1)); }, std::to_string(2.25)},
      {"a layer image", ImageRecordSpec(4, ThreeByTwo()), kIntoLayer,
       [] {
         const LayerRecord* record = PicRecord();
         return std::to_string(record->mWidth) + "x" + std::to_string(record->mHeight) + " " +
                std::to_string(record->mPixelAlloc[20]);
       },
       "3x2 6"},
      {"a group", GroupRecord(), {}, [] { return ValuesOf(kGroupIntA) + ValuesOf(kGroupIntB); }, "7,8,9,10,11,",
       true},
  };
  for (const GoodCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    LoadGame game;
    SaveFileSpec spec;
    spec.mRecords.push_back(VariableRecordSpec(1, kRunInt2, IntPayload({}, {5})));
    spec.mRecords.push_back(c.mRecord);
    WriteSaveBytes("test.sd", BuildSaveFile(spec).mBytes);
    ASSERT_TRUE(game.Start(4, c.mTarget));
    game.RunLoad();
    EXPECT_EQ(g_LastErrorText, "");
    EXPECT_TRUE(game.mGame.mEnv.mDialogs.mBoxes.empty()) << game.LastBox();
    EXPECT_EQ(c.mLoaded(), c.mExpected);
  }
}

struct DamageCase {
  const char* mWhat;
  std::function<SaveRecordSpec()> mRecord;
  std::vector<Arg> mTarget;
  std::string mReport;  // the message tag's start ("E108070") or the box text
};

// A variable record whose payload is damaged before it is compressed.
std::function<SaveRecordSpec()> Payload(std::function<void(SavePayloadSpec&)> damage, uint16_t variable,
                                        SavePayloadSpec payload) {
  return [=] {
    SavePayloadSpec damaged = payload;
    damage(damaged);
    return VariableRecordSpec(4, variable, damaged);
  };
}

SavePayloadSpec ArrayPayload() { return IntPayload({3, 4}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}); }
SavePayloadSpec TextPayload() { return StringPayload({3}, {"one", "", "three"}); }

std::function<SaveRecordSpec()> Image(std::function<void(SaveImageSpec&)> damage) {
  return [=] {
    SaveImageSpec image = ThreeByTwo();
    damage(image);
    return ImageRecordSpec(4, image);
  };
}

std::function<SaveRecordSpec()> Record(SaveRecordSpec (*base)(), std::function<void(SaveRecordSpec&)> damage) {
  return [=] {
    SaveRecordSpec record = base();
    damage(record);
    return record;
  };
}

uint32_t TrueSize(const SaveRecordSpec& record) { return ReadLe32At(EncodeRecord(record), 4); }
uint32_t TrueUnpacked(const SaveRecordSpec& record) { return ReadLe32At(EncodeRecord(record), 8); }

TEST(DamagedSaveTest, EachLengthFieldOneTooLargeIsRefusedAndChangesNothing) {
  const std::string uncompress = "Uncompress Error.";
  const std::string snp = "Snp Uncompress Error.";
  const DamageCase cases[] = {
      {"a variable record's size field", Record(IntArrayRecord, [](SaveRecordSpec& r) { r.mSize = TrueSize(r) + 1; }),
       kIntoArray, uncompress},
      {"a variable record's uncompressed size",
       Record(IntArrayRecord, [](SaveRecordSpec& r) { r.mUncompressed = TrueUnpacked(r) + 1; }), kIntoArray, snp},
      {"a dimension count", Payload([](SavePayloadSpec& p) { p.mDimCount = 3; }, kRunIntArray, ArrayPayload()),
       kIntoArray, "E900000"},
      {"a dimension count above 8",
       Payload([](SavePayloadSpec& p) { p.mDimCount = 9; }, kRunIntArray, ArrayPayload()), kIntoArray,
       "E900000"},
      {"a dimension size", Payload([](SavePayloadSpec& p) { p.mDims[1] = 5; }, kRunIntArray, ArrayPayload()),
       kIntoArray, "E900000"},
      {"the data size", Payload([](SavePayloadSpec& p) { p.mDataSize = 97; }, kRunIntArray, ArrayPayload()),
       kIntoArray, "E900000"},
      {"a data size above 40,000,000",
       Payload([](SavePayloadSpec& p) { p.mDataSize = 40000001; }, kRunIntArray, ArrayPayload()),
       kIntoArray, "E108070"},
      {"a string length", Payload([](SavePayloadSpec& p) { p.mFirstStringLength = 4; }, kRunTextArray,
                                  TextPayload()),
       kIntoTexts, "E900000"},
      {"a string length of 4 GiB",
       Payload([](SavePayloadSpec& p) { p.mFirstStringLength = 0xFFFFFFFFu; }, kRunTextArray, TextPayload()),
       kIntoTexts, "E900000"},
      {"the string data size", Payload([](SavePayloadSpec& p) { p.mDataSize = 21; }, kRunTextArray, TextPayload()),
       kIntoTexts, "E900000"},
      {"bytes after the data",
       Payload([](SavePayloadSpec& p) { p.mTrailing = {0}; }, kRunIntArray, ArrayPayload()), kIntoArray,
       "E900000"},
      {"an unknown type", Payload([](SavePayloadSpec& p) { p.mType = 4; }, kRunIntArray, ArrayPayload()),
       kIntoArray, "E900000"},
      {"an image record's size field", Record([] { return ImageRecordSpec(4, ThreeByTwo()); },
                                              [](SaveRecordSpec& r) { r.mSize = TrueSize(r) + 1; }),
       kIntoLayer, uncompress},
      {"an image record's uncompressed size", Record([] { return ImageRecordSpec(4, ThreeByTwo()); },
                                                     [](SaveRecordSpec& r) { r.mUncompressed = TrueUnpacked(r) + 1; }),
       kIntoLayer, uncompress},
      {"the record block size", Image([](SaveImageSpec& i) { i.mBlockSize = 1681; }), kIntoLayer, "E108110"},
      {"the pixel bytes", Image([](SaveImageSpec& i) { i.mPixelBytes = 25; }), kIntoLayer, uncompress},
      {"the width", Image([](SaveImageSpec& i) { i.mWidth = 4; i.mPixelsWritten = 24; }), kIntoLayer, uncompress},
      {"the height", Image([](SaveImageSpec& i) { i.mHeight = 3; i.mPixelsWritten = 24; }), kIntoLayer, uncompress},
      {"a negative width", Image([](SaveImageSpec& i) { i.mWidth = -3; i.mPixelBytes = 24; i.mPixelsWritten = 24; }),
       kIntoLayer, "ＣＧサイズが大きすぎます。X=-3, Y=2"},
      {"a height of 0", Image([](SaveImageSpec& i) { i.mHeight = 0; }), kIntoLayer, "ＣＧサイズが大きすぎます。X=3, Y=0"},
      {"a width of 8193", Image([](SaveImageSpec& i) { i.mWidth = 8193; i.mPixelBytes = 24; i.mPixelsWritten = 24; }),
       kIntoLayer, "ＣＧサイズが大きすぎます。X=8193, Y=2"},
      {"a group's size field", Record(GroupRecord, [](SaveRecordSpec& r) { r.mSize = TrueSize(r) + 1; }), {}, uncompress},
      {"a group's uncompressed size", Record(GroupRecord, [](SaveRecordSpec& r) { r.mUncompressed = TrueUnpacked(r) + 1; }),
       {}, snp},
      {"a group member's size field",
       Record(GroupRecord, [](SaveRecordSpec& r) { r.mInner[1].mSize = TrueSize(r.mInner[1]) + 1; }), {}, snp},
      {"a group member's uncompressed size",
       Record(GroupRecord, [](SaveRecordSpec& r) { r.mInner[0].mUncompressed = TrueUnpacked(r.mInner[0]) + 1; }), {},
       snp},
      {"a group member of another kind", Record(GroupRecord, [](SaveRecordSpec& r) { r.mInner[1].mKind = 1; }), {}, snp},
      {"a group member of other dimensions",
       Record(GroupRecord,
              [](SaveRecordSpec& r) { r.mInner[1] = VariableRecordSpec(0, kGroupIntB, IntPayload({2}, {1, 2})); }),
       {}, "E108080"},
      {"a record kind of 3", Record(IntArrayRecord, [](SaveRecordSpec& r) { r.mKind = 3; }), kIntoArray, "E900000"},
      {"the DNO word", Record(IntArrayRecord, [](SaveRecordSpec& r) { r.mDnoWord = 5; }), kIntoArray, uncompress},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    LoadGame game;
    SaveFileSpec spec;
    spec.mRecords.push_back(VariableRecordSpec(1, kRunInt2, IntPayload({}, {5})));
    spec.mRecords.push_back(c.mRecord());
    WriteSaveBytes("test.sd", BuildSaveFile(spec).mBytes);
    ASSERT_TRUE(game.Start(4, c.mTarget));
    std::string before = GameState();
    EXPECT_FALSE(game.RunLoad());
    if (c.mReport.rfind("E", 0) == 0) {
      EXPECT_EQ(LastReportTag().substr(0, c.mReport.size()), c.mReport);
    } else {
      EXPECT_EQ(game.LastBox(), c.mReport);
    }
    EXPECT_EQ(GameState(), before);
  }
}

TEST(DamagedSaveTest, AFileCutAtAnyRecordBoundaryLoadsOnlyWhatItWhollyHolds) {
  SaveFileSpec spec;
  spec.mRecords.push_back(VariableRecordSpec(1, kRunInt, IntPayload({}, {41})));
  spec.mRecords.push_back(ImageRecordSpec(2, ThreeByTwo()));
  spec.mRecords.push_back(IntArrayRecord());
  spec.mRecords.push_back(GroupRecord());
  spec.mRecords.back().mDno = 5;
  BuiltSaveFile built = BuildSaveFile(spec);
  std::vector<size_t> cuts{0, 3, 4, 8, 12, 16, 100, kSaveHeaderBytes - 1};
  for (size_t i = 0; i < built.mRecordOffsets.size(); ++i) {
    for (size_t inside : {size_t{0}, size_t{4}, size_t{8}, size_t{12}, size_t{16}}) {
      cuts.push_back(built.mRecordOffsets[i] + inside);
    }
    cuts.push_back(built.mRecordEnds[i] - 1);
  }
  const std::vector<std::pair<uint32_t, std::vector<Arg>>> loads{
      {1, {{"var", Var(kRunInt)}}}, {2, kIntoLayer}, {4, kIntoArray}, {5, {}}};
  for (size_t cut : cuts) {
    for (size_t k = 0; k < loads.size(); ++k) {
      SCOPED_TRACE("cut at " + std::to_string(cut) + ", record " + std::to_string(loads[k].first));
      LoadGame game;
      WriteSaveBytes("test.sd", std::vector<uint8_t>(built.mBytes.begin(), built.mBytes.begin() + cut));
      ASSERT_TRUE(game.Start(loads[k].first, loads[k].second));
      std::string before = GameState();
      bool whole = cut >= built.mRecordEnds[k];
      bool loaded = game.RunLoad();
      if (whole) {
        EXPECT_TRUE(loaded || loads[k].first == 5) << LastReportTag() << game.LastBox();
      } else {
        EXPECT_FALSE(loaded);
        EXPECT_EQ(GameState(), before);
      }
    }
  }
}

TEST(DamagedSaveTest, AForeignMagicOrVersionIsRefused) {
  struct HeaderCase {
    const char* mWhat;
    std::function<void(SaveFileSpec&)> mDamage;
    MessageId mMessage;
  };
  const HeaderCase cases[] = {
      {"a wrong magic", [](SaveFileSpec& s) { s.mMagic = {'Q', 'V', 'S', 'E'}; }, kMsgNotASaveFile},
      {"version 479", [](SaveFileSpec& s) { s.mVersion = 479; }, kMsgSaveVersionMismatch},
      {"version 481", [](SaveFileSpec& s) { s.mVersion = 481; }, kMsgSaveVersionMismatch},
      {"a table entry past the end", [](SaveFileSpec& s) { s.mTableOverrides = {{4, 0x7FFFFFF0u}}; }, kMsgOutOfMemory},
      {"a table entry inside the header", [](SaveFileSpec& s) { s.mTableOverrides = {{4, 100}}; }, kMsgOutOfMemory},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    LoadGame game;
    SaveFileSpec spec;
    spec.mRecords.push_back(IntArrayRecord());
    c.mDamage(spec);
    WriteSaveBytes("test.sd", BuildSaveFile(spec).mBytes);
    ASSERT_TRUE(game.Start(4, kIntoArray));
    std::string before = GameState();
    EXPECT_FALSE(game.RunLoad());
    if (c.mMessage != kMsgOutOfMemory) {
      EXPECT_TRUE(LastReportIs(c.mMessage)) << LastReportTag();
    } else {
      EXPECT_EQ(game.LastBox(), "Uncompress Error.");
    }
    EXPECT_EQ(GameState(), before);
  }
}

}  // namespace
