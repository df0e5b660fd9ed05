// The memory slots: saving into and loading from slots, all 500 packed into
// record 1024 and back, emptied slots, and damaged packages that must leave
// every slot as it was.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "savedata/save_format.h"
#include "savedata/save_slots.h"
#include "savedata/save_test_util.h"
#include "script/variables.h"
#include "support/save_file_builder.h"

namespace {

SaveOp Save(std::vector<Arg> args) { return {"save", std::move(args)}; }
SaveOp Load(std::vector<Arg> args) { return {"load", std::move(args)}; }

std::vector<uint8_t> SlotBytes(uint32_t slot) {
  size_t size = 0;
  const uint8_t* image = MemorySlotImage(slot, &size);
  return std::vector<uint8_t>(image, image + size);
}

// Slot s holds record 1 with kRunInt = s * 3 + 1; every seventh slot stays
// empty.
void FillEverySlot() {
  for (uint32_t slot = 0; slot < kMemorySlotCount; ++slot) {
    if (slot % 7 == 0) continue;
    SetNumberElement(kRunInt, 0, slot * 3 + 1);
    ASSERT_GT(WriteSaveRecord(1, kRunInt, 0, true), 12u);
    ASSERT_TRUE(WriteMemorySlot(slot));
    FreePendingSaveRecords(-1);
  }
}

TEST(MemorySlotsTest, AllFiveHundredSlotsGoToAFileAndComeBack) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {{Save({{"slot", Num(99999)}}), Save({{"file", Str("slots")}})},
                                    {Load({{"file", Str("slots")}, {"dno", Num(1024)}})}}));
  FillEverySlot();
  std::vector<std::vector<uint8_t>> before;
  for (uint32_t slot = 0; slot < kMemorySlotCount; ++slot) before.push_back(SlotBytes(slot));
  ASSERT_TRUE(game.Frame());
  ASSERT_EQ(g_LastErrorText, "");
  std::vector<uint8_t> file = ReadSaveBytes("slots.sd");
  ASSERT_GE(file.size(), kSaveHeaderBytes);
  EXPECT_EQ(ReadLe32At(file, 12 + 4 * 1024), 4112u);
  ClearMemorySaveSlots();
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(g_LastErrorText, "");
  for (uint32_t slot = 0; slot < kMemorySlotCount; ++slot) EXPECT_EQ(SlotBytes(slot), before[slot]) << slot;
}

TEST(MemorySlotsTest, ASlotCopiedThroughAVariableLoadsTheSameValue) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {{Save({{"slot", Num(10)}, {"dno", Num(4)}, {"var", Whole(kRunIntArray)}})},
                                    {Load({{"slot", Num(10)}, {"dno", Num(4)}, {"var", Whole(kRunIntArray)}}),
                                     Save({{"slot", Num(11)}, {"dno", Num(4)}, {"var", Whole(kRunIntArray)}})},
                                    {Load({{"slot", Num(11)}, {"dno", Num(4)}, {"var", Whole(kRunIntArray)}})}}));
  FillSaveVariables(4);
  std::string saved = ValuesOf(kRunIntArray);
  ASSERT_TRUE(game.Frame());
  FillSaveVariables(9);
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(SlotBytes(10), SlotBytes(11));
  FillSaveVariables(9);
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(ValuesOf(kRunIntArray), saved);
}

TEST(MemorySlotsTest, ASlotEmptiedByAPackageReadsAsEmptyThoughItKeepsItsBuffer) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {{Load({{"file", Str("empty")}, {"dno", Num(1024)}})},
                                    {Load({{"slot", Num(2)}, {"dno", Num(1)}, {"var", Var(kRunInt2)}})}}));
  SetNumberElement(kRunInt, 0, 77);
  ASSERT_GT(WriteSaveRecord(1, kRunInt, 0, true), 12u);
  ASSERT_TRUE(WriteMemorySlot(2));
  FreePendingSaveRecords(-1);
  SaveFileSpec spec;
  spec.mRecords.push_back(PackageRecordSpec(SavePackageSpec()));
  WriteSaveBytes("empty.sd", BuildSaveFile(spec).mBytes);
  ASSERT_TRUE(game.Frame());
  ASSERT_EQ(g_LastErrorText, "");
  EXPECT_EQ(g_MemorySlots[2].mWriteLength, 0u);
  EXPECT_GE(g_MemorySlots[2].mBuffer.size(), kSaveHeaderBytes) << "the buffer is kept for later saves";
  SetNumberElement(kRunInt2, 0, 5);
  game.Frame();
  EXPECT_TRUE(LastReportIs(kMsgNotASaveFile)) << LastReportTag();
  EXPECT_EQ(IntVar(kRunInt2), 5);
}

// Where slot s's two length words lie in the stored bytes of a package.
size_t SlotEntryAt(const std::vector<uint8_t>& stored, uint32_t slot) {
  size_t at = 0;
  for (uint32_t k = 0; k < slot; ++k) at += 8 + ReadLe32At(stored, at + 4);
  return at;
}

struct PackageCase {
  const char* mWhat;
  std::function<void(SaveRecordSpec&)> mDamage;
};

TEST(MemorySlotsTest, ADamagedPackageChangesNoSlot) {
  SaveFileSpec slotFile;
  slotFile.mRecords.push_back(VariableRecordSpec(1, kRunInt, IntPayload({}, {123})));
  const std::vector<uint8_t> image = BuildSaveFile(slotFile).mBytes;
  SavePackageSpec package;
  for (uint32_t slot = 0; slot < kMemorySlotCount; slot += 3) package.mSlots[slot] = image;
  const SaveRecordSpec good = PackageRecordSpec(package);
  auto addToWord = [](uint32_t slot, size_t word, uint32_t delta) {
    return [=](SaveRecordSpec& record) {
      size_t at = SlotEntryAt(*record.mStored, slot) + 4 * word;
      WriteLe32At(*record.mStored, at, ReadLe32At(*record.mStored, at) + delta);
    };
  };
  const PackageCase cases[] = {
      {"the last slot's length one too large", addToWord(498, 0, 1)},
      {"a slot length one too small", addToWord(300, 0, 0xFFFFFFFFu)},
      {"a stored length one too large", addToWord(498, 1, 1)},
      {"an empty slot with stored bytes", addToWord(1, 1, 4)},
      {"a slot length of 4 GiB", addToWord(3, 0, 0xFFFFFFFFu - static_cast<uint32_t>(image.size()))},
      {"a size field one too large", [](SaveRecordSpec& record) { record.mSize = *record.mSize + 1; }},
      {"an uncompressed-size field one too large",
       [](SaveRecordSpec& record) { record.mUncompressed = *record.mUncompressed + 1; }},
      {"the stored bytes cut short", [](SaveRecordSpec& record) { record.mStored->resize(record.mStored->size() - 1); }},
      {"a damaged compressed image", [](SaveRecordSpec& record) { (*record.mStored)[SlotEntryAt(*record.mStored, 6) + 12] ^= 0x55; }},
  };
  for (const PackageCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    SaveRecordSpec record = good;
    c.mDamage(record);
    ScriptRunner game;
    ASSERT_TRUE(LoadSavePhases(game, {{Load({{"file", Str("pack")}, {"dno", Num(1024)}})}}));
    FillEverySlot();
    std::vector<std::vector<uint8_t>> before;
    for (uint32_t slot = 0; slot < kMemorySlotCount; ++slot) before.push_back(SlotBytes(slot));
    SaveFileSpec spec;
    spec.mRecords.push_back(record);
    WriteSaveBytes("pack.sd", BuildSaveFile(spec).mBytes);
    game.Frame();
    ASSERT_FALSE(game.mEnv.mDialogs.mBoxes.empty());
    EXPECT_EQ(game.mEnv.mDialogs.mBoxes.back().mText, "Load Error.");
    for (uint32_t slot = 0; slot < kMemorySlotCount; ++slot) ASSERT_EQ(SlotBytes(slot), before[slot]) << slot;
  }
}

TEST(MemorySlotsTest, AGoodPackageFromTheBuilderLoads) {
  SaveFileSpec slotFile;
  slotFile.mRecords.push_back(VariableRecordSpec(1, kRunInt, IntPayload({}, {123})));
  const std::vector<uint8_t> image = BuildSaveFile(slotFile).mBytes;
  SavePackageSpec package;
  package.mSlots[42] = image;
  SaveFileSpec spec;
  spec.mRecords.push_back(PackageRecordSpec(package));
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {{Load({{"file", Str("pack")}, {"dno", Num(1024)}})},
                                    {Load({{"slot", Num(42)}, {"dno", Num(1)}, {"var", Var(kRunInt)}})}}));
  WriteSaveBytes("pack.sd", BuildSaveFile(spec).mBytes);
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(SlotBytes(42), image);
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunInt), 123);
}

}  // namespace
