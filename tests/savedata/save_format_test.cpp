// The bytes of save records and files: the layouts of each record kind, the
// size estimates, and where the save command puts records in new, appended
// and rewritten files and in memory slots.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "core/errors.h"
#include "image/pixel_buffers.h"
#include "layer/layer_record.h"
#include "savedata/save_format.h"
#include "savedata/save_slots.h"
#include "savedata/save_test_util.h"
#include "script/variables.h"
#include "support/save_file_builder.h"

namespace {

SaveOp Save(std::vector<Arg> args) { return {"save", std::move(args)}; }

uint32_t Entry(const std::vector<uint8_t>& file, uint32_t dno) { return ReadLe32At(file, 12 + 4 * dno); }
// The record length (DNO word included) at a file position.
size_t RecordLength(const std::vector<uint8_t>& file, size_t at) { return 16 + ReadLe32At(file, at + 8); }
std::vector<uint8_t> Slice(const std::vector<uint8_t>& file, size_t at, size_t length) {
  return std::vector<uint8_t>(file.begin() + static_cast<std::ptrdiff_t>(at),
                              file.begin() + static_cast<std::ptrdiff_t>(at + length));
}

TEST(SaveFormatTest, AStringElementSerialisesAsItsLengthsAndBytes) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {}));
  SetStringElement(kRunTextArray, 1, "abc");
  std::vector<uint8_t> out;
  ASSERT_EQ(SerializeVariable(out, kRunTextArray, false, 1), 19u);
  const std::vector<uint8_t> expected{3, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 'c'};
  EXPECT_EQ(out, expected);
  EXPECT_EQ(EstimateVariableRecordSize(kRunTextArray, false, 1), 19u + 12u);
}

TEST(SaveFormatTest, EstimatesAreThePayloadSizePlusTheHeader) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {}));
  FillSaveVariables(6);
  struct Case {
    uint32_t mVariable;
    bool mWhole;
    int64_t mElement;
    size_t mEstimate;
  };
  const Case cases[] = {
      {kRunInt, true, 0, 32},         {kRunInt, false, 0, 32},        {kRunIntArray, true, 0, 24 + 8 + 96},
      {kRunRealArray, true, 0, 24 + 4 + 24}, {kRunRealArray, false, 2, 32},
      {kRunTextArray, true, 0, 24 + 4 + (4 + 2) + (4 + 3) + (4 + 4)},
      {1999, true, 0, 20},  // no record: any other type
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mVariable);
    std::vector<uint8_t> out;
    size_t payload = SerializeVariable(out, c.mVariable, c.mWhole, c.mElement);
    EXPECT_EQ(EstimateVariableRecordSize(c.mVariable, c.mWhole, c.mElement), c.mEstimate);
    EXPECT_EQ(payload + 12, c.mEstimate);
    DecodedVariable decoded = DecodeVariablePayload(out.data(), out.size());
    EXPECT_EQ(decoded.mStatus, c.mVariable == 1999 ? PayloadStatus::kUnknownType : PayloadStatus::kOk);
  }
}

TEST(SaveFormatTest, ALayerImageRecordHoldsTheBlockWithItsSidesAndThePixels) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {}));
  LayerRecord record;
  record.mWidth = record.mBufferWidth = 100;
  record.mHeight = record.mBufferHeight = 50;
  record.mPixelAlloc = record.mPixels = static_cast<uint8_t*>(std::calloc(PixelBlockBytes(100, 50), 1));
  for (size_t i = 0; i < 100 * 50 * 4; ++i) record.mPixelAlloc[i] = static_cast<uint8_t>(i * 7);
  EXPECT_EQ(EstimateImageRecordSize(&record), 21700u);
  std::vector<uint8_t> payload;
  ASSERT_EQ(SerializeLayerImage(payload, &record), 1688u + 20000u);
  EXPECT_EQ(LoadLe32(payload.data()), 1680u);
  EXPECT_EQ(LoadLe32(payload.data() + 4), 20000u);
  EXPECT_EQ(LoadLe32(payload.data() + 8 + 136), 100u);
  EXPECT_EQ(LoadLe32(payload.data() + 8 + 140), 50u);
  EXPECT_EQ(std::memcmp(payload.data() + 1688, record.mPixelAlloc, 20000), 0);
  ASSERT_TRUE(PrepareImageRecord(6, &record));
  EXPECT_EQ(PendingSaveLength(6), 21700u) << "waiting for its compression";
  ASSERT_TRUE(CompressPendingImages());
  const std::vector<uint8_t>& pending = g_PendingSaveRecords[5];
  ASSERT_GE(pending.size(), 12u);
  EXPECT_EQ(PendingSaveLength(6), pending.size());
  EXPECT_EQ(pending[0], kSaveKindImage);
  EXPECT_EQ(pending[1], 1);
  EXPECT_EQ(LoadLe32(pending.data() + 4), pending.size() - 12);
  EXPECT_EQ(LoadLe32(pending.data() + 8), 21688u);
  std::free(record.mPixelAlloc);
}

TEST(SaveFormatTest, AGroupRecordHoldsCompleteVariableRecordsUncompressed) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {}));
  FillSaveVariables(1);
  ASSERT_TRUE(WriteGroupSaveRecord(8, 2, 1));  // integers of group 2: 1100 and 1101
  const std::vector<uint8_t>& pending = g_PendingSaveRecords[7];
  ASSERT_GE(pending.size(), 12u);
  EXPECT_EQ(pending[0], kSaveKindGroup);
  EXPECT_EQ(LoadLe32(pending.data() + 4), pending.size() - 12);
  size_t at = 12;
  std::vector<uint16_t> members;
  uint32_t unpacked = 0;
  while (at < pending.size()) {
    EXPECT_EQ(pending[at], kSaveKindVariable);
    members.push_back(LoadLe16(pending.data() + at + 2));
    unpacked += LoadLe32(pending.data() + at + 8) + 12;
    at += 12 + LoadLe32(pending.data() + at + 4);
  }
  EXPECT_EQ(at, pending.size());
  EXPECT_EQ(members, (std::vector<uint16_t>{kGroupIntA, kGroupIntB}));
  EXPECT_EQ(LoadLe32(pending.data() + 8), unpacked);
  EXPECT_EQ(unpacked, (24u + 4 + 32) + 32u);
}

TEST(SaveFormatTest, AGroupOfBadlyCompressingVariablesFitsItsRecord) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {}));
  // Random-looking strings compress to more than their size.
  uint32_t state = 12345;
  for (int i = 0; i < 2; ++i) {
    std::string text;
    for (int k = 0; k < 3000; ++k) {
      state = state * 1103515245u + 12345u;
      text.push_back(static_cast<char>(1 + (state >> 16) % 255));
    }
    SetStringElement(kGroupText, i, text.c_str());
  }
  ASSERT_TRUE(WriteGroupSaveRecord(1, 2, 3));
  const std::vector<uint8_t>& pending = g_PendingSaveRecords[0];
  SaveRecordView view;
  ASSERT_TRUE(ReadRecordView(pending.data(), pending.size(), &view));
  std::vector<GroupMember> members;
  ASSERT_TRUE(DecodeGroupRecord(view, &members));
  ASSERT_EQ(members.size(), 1u);
  DecodedVariable decoded = DecodeVariablePayload(members[0].mPayload.data(), members[0].mPayload.size());
  ASSERT_EQ(decoded.mStatus, PayloadStatus::kOk);
  EXPECT_EQ(decoded.mStrings[0], TextVar(kGroupText, 0));
  EXPECT_EQ(decoded.mStrings[1], TextVar(kGroupText, 1));
}

TEST(SaveFormatTest, PackingFiveHundredEmptySlotsGivesEightBytesEach) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {}));
  ASSERT_EQ(PackMemorySlots(), 0);
  const std::vector<uint8_t>& pending = g_PendingSaveRecords[1023];
  ASSERT_EQ(pending.size(), 12u + 4000u);
  EXPECT_EQ(LoadLe32(pending.data() + 4), 4000u);
  EXPECT_EQ(LoadLe32(pending.data() + 8), 4000u);
}

TEST(SaveFormatTest, ANewFileHoldsItsRecordsBehindTheTable) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {{Save({{"file", Str("five")}, {"dno", Num(5)}, {"var", Var(kRunInt)}})},
                                    {Save({{"dno", Num(5)}, {"var", Var(kRunInt)}}),
                                     Save({{"file", Str("two")}, {"dno", Num(2)}, {"var", Whole(kRunTextArray)}})}}));
  FillSaveVariables(3);
  ASSERT_TRUE(game.Frame());
  std::vector<uint8_t> five = ReadSaveBytes("five.sd");
  ASSERT_GE(five.size(), 4116u);
  EXPECT_EQ(std::string(five.begin(), five.begin() + 4), "QVSD");
  EXPECT_EQ(ReadLe32At(five, 4), 480u);
  EXPECT_EQ(ReadLe32At(five, 8), 1u);
  EXPECT_EQ(ReadLe32At(five, 12), 1024u);
  EXPECT_EQ(Entry(five, 5), 4112u);
  EXPECT_EQ(ReadLe32At(five, 4112), 5u);
  EXPECT_EQ(five.size(), 4112 + RecordLength(five, 4112));
  for (uint32_t dno = 1; dno <= 1024; ++dno) {
    if (dno != 5) {
      EXPECT_EQ(Entry(five, dno), 0u) << dno;
    }
  }

  ASSERT_TRUE(game.Frame());
  std::vector<uint8_t> two = ReadSaveBytes("two.sd");
  EXPECT_EQ(ReadLe32At(two, 8), 2u);
  EXPECT_EQ(Entry(two, 2), 4112u);
  EXPECT_EQ(Entry(two, 5), 4112u + RecordLength(two, 4112));
}

TEST(SaveFormatTest, RecordsNotInTheFileAreAppendedAndTheOldOnesKept) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {{Save({{"file", Str("grow")}, {"dno", Num(3)}, {"var", Var(kRunInt)}})},
                                    {Save({{"dno", Num(7)}, {"var", Var(kRunText)}}),
                                     Save({{"file", Str("grow")}, {"dno", Num(8)}, {"var", Whole(kRunIntArray)}})}}));
  FillSaveVariables(3);
  ASSERT_TRUE(game.Frame());
  std::vector<uint8_t> before = ReadSaveBytes("grow.sd");
  ASSERT_TRUE(game.Frame());
  ASSERT_EQ(g_LastErrorText, "");
  std::vector<uint8_t> after = ReadSaveBytes("grow.sd");
  EXPECT_EQ(ReadLe32At(after, 8), 3u);
  EXPECT_EQ(Entry(after, 3), 4112u);
  EXPECT_EQ(Slice(after, 4112, before.size() - 4112), Slice(before, 4112, before.size() - 4112));
  EXPECT_EQ(Entry(after, 7), before.size());
  EXPECT_EQ(ReadLe32At(after, Entry(after, 7)), 7u);
  EXPECT_EQ(Entry(after, 8), Entry(after, 7) + RecordLength(after, Entry(after, 7)));
  EXPECT_EQ(ReadLe32At(after, Entry(after, 8)), 8u);
  EXPECT_EQ(after.size(), Entry(after, 8) + RecordLength(after, Entry(after, 8)));
}

TEST(SaveFormatTest, ARecordAlreadyInTheFileIsReplacedInPlaceOfTheOld) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {{Save({{"dno", Num(2)}, {"var", Var(kRunInt)}}),
                                     Save({{"file", Str("swap")}, {"dno", Num(9)}, {"var", Whole(kRunTextArray)}})},
                                    {Save({{"file", Str("swap")}, {"dno", Num(2)}, {"var", Whole(kRunIntArray)}})}}));
  FillSaveVariables(3);
  ASSERT_TRUE(game.Frame());
  std::vector<uint8_t> before = ReadSaveBytes("swap.sd");
  ASSERT_TRUE(game.Frame());
  ASSERT_EQ(g_LastErrorText, "");
  std::vector<uint8_t> after = ReadSaveBytes("swap.sd");
  EXPECT_EQ(ReadLe32At(after, 8), 2u);
  EXPECT_EQ(Entry(after, 2), 4112u);
  EXPECT_GT(RecordLength(after, 4112), RecordLength(before, 4112)) << "the whole array replaced the scalar";
  size_t nine = Entry(after, 9);
  EXPECT_EQ(nine, 4112 + RecordLength(after, 4112));
  EXPECT_EQ(Slice(after, nine, RecordLength(after, nine)), Slice(before, Entry(before, 9), RecordLength(before, Entry(before, 9))));
}

TEST(SaveFormatTest, ASlotStoresRecordsUpTo1023AndNeverThePackage) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {{Save({{"slot", Num(99999)}}),
                                     Save({{"slot", Num(3)}, {"dno", Num(1023)}, {"var", Var(kRunInt)}})}}));
  ASSERT_TRUE(game.Frame());
  ASSERT_EQ(g_LastErrorText, "");
  size_t size = 0;
  const uint8_t* image = MemorySlotImage(3, &size);
  ASSERT_GE(size, kSaveHeaderBytes);
  std::vector<uint8_t> slot(image, image + size);
  EXPECT_EQ(ReadLe32At(slot, 8), 1u);
  EXPECT_EQ(Entry(slot, 1023), 4112u);
  EXPECT_EQ(ReadLe32At(slot, 12 + 4 * 1024), 0u);
  EXPECT_EQ(size, 4112 + RecordLength(slot, 4112));
  EXPECT_EQ(PendingSaveLength(1024), 0u) << "a written save frees every pending record";
}

}  // namespace
