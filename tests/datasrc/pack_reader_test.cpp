#include <random>
#include <string>

#include "core/byte_order.h"
#include "core/checksums.h"
#include "core/message_ids.h"
#include "datasrc/data_source_fixture.h"
#include "datasrc/pack_repair.h"

namespace {

class PackReaderTest : public DataSourceTest {
 protected:
  // Writes a pack of one entry after `damage` changed its built bytes, and
  // builds the index.
  template <typename Damage>
  void WriteDamagedPack(const PackBuilderEntry& entry, Damage damage) {
    PackBuilder pack;
    pack.mEntries.push_back(entry);
    BuiltPack built = BuildPack(pack);
    damage(&built);
    ASSERT_TRUE(WritePackFile(Native("data.qpf"), built));
    ASSERT_EQ(BuildPackIndex(), 0);
  }

};

TEST_F(PackReaderTest, StoredAndCompressedEntriesReadBack) {
  PackBuilder pack;
  const std::string sizes[] = {"", "x", RandomText(1024, 1), RandomText(70000, 2)};
  for (size_t index = 0; index < 4; ++index) {
    AddPackFile(&pack, "stored" + std::to_string(index), sizes[index]);
    AddPackFile(&pack, "packed" + std::to_string(index), sizes[index]).mCompressed = true;
    AddPackFile(&pack, "guarded" + std::to_string(index), sizes[index]).mRepairTrailer = true;
  }
  WritePack("data.qpf", pack);
  ASSERT_EQ(BuildPackIndex(), 0);
  for (size_t index = 0; index < 4; ++index) {
    for (const char* kind : {"stored", "packed", "guarded"}) {
      EXPECT_EQ(LoadText((kind + std::to_string(index)).c_str()), sizes[index]) << kind << index;
    }
  }
  EXPECT_TRUE(g_LastErrorText.empty());
}

TEST_F(PackReaderTest, OneDamagedBlockIsRepaired) {
  // 2500 bytes: blocks of 1024, 1024 and 452.
  std::string text = RandomText(2500, 3);
  for (size_t position : {size_t{0}, size_t{1023}, size_t{1500}, size_t{2048}, size_t{2499}}) {
    WriteDamagedPack(Entry("e.bin", text, false, true), [&](BuiltPack* built) {
      built->mBytes[built->mEntries[0].mDataOffset + position] ^= 0x5A;
      built->mBytes[built->mEntries[0].mDataOffset + (position / 1024) * 1024] ^= 0x01;  // two bytes of one block
    });
    ResourceLocation location;
    ASSERT_EQ(LoadResourceWhole(&location, "e.bin"), 0) << position;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(location.mData), location.mSize), text) << position;
    EXPECT_EQ(location.mData[2500], 0);  // nothing written past the stored bytes
    ReleaseResourceData(&location);
    EXPECT_TRUE(g_LastErrorText.empty()) << position;
  }
}

TEST_F(PackReaderTest, TwoDamagedBlocksAreNotRepaired) {
  WriteDamagedPack(Entry("e.bin", RandomText(2500, 4), false, true), [](BuiltPack* built) {
    built->mBytes[built->mEntries[0].mDataOffset + 5] ^= 1;
    built->mBytes[built->mEntries[0].mDataOffset + 2100] ^= 1;
  });
  EXPECT_EQ(LoadText("e.bin"), "<error -2>");
  EXPECT_EQ(g_LastErrorText, Damaged());
  EXPECT_EQ(g_QuitFlag.load(), 1);
}

// A block whose stored checksum is damaged while its bytes are intact is
// rebuilt too, byte by byte from the other blocks as they stand when its turn
// comes: after a damaged block earlier in the entry was restored, that gives
// its own bytes back; before it, the damage is copied into it.
TEST_F(PackReaderTest, RebuildsUseTheBlocksAsTheyStandAtTheirTurn) {
  struct Case {
    size_t mDamagedBlock;   // its bytes 100 and 700 are changed
    size_t mChecksumBlock;  // its stored checksum is changed, its bytes are not
    int mResult;
  };
  const Case cases[] = {{0, 2, 1}, {0, 1, 1}, {1, 2, 1}, {2, 0, -1}, {1, 0, -1}};
  // 2500 bytes: blocks of 1024, 1024 and 452.
  const std::string text = RandomText(2500, 9);
  for (const Case& item : cases) {
    SCOPED_TRACE("bytes of block " + std::to_string(item.mDamagedBlock) + ", checksum of block " +
                 std::to_string(item.mChecksumBlock));
    auto damage = [&](BuiltPack* built) {
      const BuiltPackEntry& placed = built->mEntries[0];
      for (size_t k : {size_t{100}, size_t{700}}) {
        built->mBytes[placed.mDataOffset + item.mDamagedBlock * 1024 + k] ^= 0x3C;
      }
      built->mBytes[placed.mTrailerOffset + 8 + 2 * item.mChecksumBlock] ^= 0x01;
    };
    // The reader gives the restored bytes, or reports the entry as damaged.
    ResetErrorReporting();
    g_QuitFlag.store(0);
    WriteDamagedPack(Entry("e.bin", text, false, true), damage);
    if (item.mResult == 1) {
      EXPECT_EQ(LoadText("e.bin"), text);
      EXPECT_TRUE(g_LastErrorText.empty());
    } else {
      EXPECT_EQ(LoadText("e.bin"), "<error -2>");
      EXPECT_EQ(g_LastErrorText, Damaged());
    }

    // The check itself: its result, and the bytes it leaves.
    PackBuilder pack;
    pack.mEntries.push_back(Entry("e.bin", text, false, true));
    BuiltPack built = BuildPack(pack);
    damage(&built);
    const BuiltPackEntry& placed = built.mEntries[0];
    PackFileHandle handle;
    ASSERT_TRUE(OpenPackFile(&handle, "data.qpf"));
    ASSERT_TRUE(SeekPackFile(&handle, static_cast<int64_t>(placed.mTrailerOffset)));
    std::string data(reinterpret_cast<const char*>(&built.mBytes[placed.mDataOffset]), placed.mStoredSize);
    EXPECT_EQ(CheckAndRepairPackData(&handle, reinterpret_cast<uint8_t*>(data.data()), data.size(),
                                     MurmurHash2(text.data(), text.size())),
              item.mResult);
    if (item.mResult == 1) {
      EXPECT_EQ(data, text);
    }
  }
}

TEST_F(PackReaderTest, DamageWithoutATrailerIsReported) {
  WriteDamagedPack(Entry("e.bin", "some bytes", false, false),
                   [](BuiltPack* built) { built->mBytes[built->mEntries[0].mDataOffset] ^= 1; });
  EXPECT_EQ(LoadText("e.bin"), "<error -2>");
  EXPECT_EQ(g_LastErrorText, Damaged());
}

TEST_F(PackReaderTest, CompressedEntryRepairedBeforeASecondDecompression) {
  std::string text = RandomText(5000, 5);
  // The last bytes of a zlib stream are its checksum: zlib reports damaged data.
  WriteDamagedPack(Entry("e.bin", text, true, true), [](BuiltPack* built) {
    const BuiltPackEntry& entry = built->mEntries[0];
    built->mBytes[entry.mDataOffset + entry.mStoredSize - 1] ^= 0xFF;
  });
  EXPECT_EQ(LoadText("e.bin"), text);
  EXPECT_TRUE(g_LastErrorText.empty());
}

TEST_F(PackReaderTest, CompressedEntryWithMatchingHashThatWillNotDecompress) {
  PackBuilderEntry entry = Entry("e.bin", RandomText(5000, 6), true, true);
  WriteDamagedPack(entry, [](BuiltPack* built) {
    const BuiltPackEntry& placed = built->mEntries[0];
    uint8_t* stored = &built->mBytes[placed.mDataOffset];
    stored[placed.mStoredSize - 1] ^= 0xFF;
    // The index states the hash of the damaged bytes.
    StoreLe32(&built->mBytes[placed.mIndexPosition + 23 + 5], MurmurHash2(stored, placed.mStoredSize));
  });
  EXPECT_EQ(LoadText("e.bin"), "<error -2>");
  EXPECT_EQ(g_LastErrorText, Damaged());
}

TEST_F(PackReaderTest, LyingSizesAreDamage) {
  struct Case {
    const char* mLabel;
    bool mCompressed;
    std::optional<uint32_t> mUnpacked;
    std::optional<uint32_t> mStored;
    std::optional<uint64_t> mOffset;
    MessageId mMessage;
  };
  const Case cases[] = {
      {"zlib gives fewer bytes than stated", true, 1010, std::nullopt, std::nullopt, kMsgDamagedPackEntry},
      {"zlib needs more room than stated", true, 999, std::nullopt, std::nullopt, kMsgDecompressBufferTooSmall},
      {"zlib size beyond any packing", true, 0xFFFFFFF0, std::nullopt, std::nullopt, kMsgDamagedPackEntry},
      {"stored sizes differ", false, 1001, std::nullopt, std::nullopt, kMsgDamagedPackEntry},
      {"stored size past the end", false, 0x7FFFFFFF, 0x7FFFFFFF, std::nullopt, kMsgDamagedPackEntry},
      {"data offset past the end", false, std::nullopt, std::nullopt, uint64_t{1} << 40, kMsgDamagedPackEntry},
  };
  for (const Case& item : cases) {
    PackBuilderEntry entry = Entry("e.bin", RandomText(1000, 7), item.mCompressed, false);
    entry.mUnpackedSize = item.mUnpacked;
    entry.mStoredSize = item.mStored;
    entry.mDataOffset = item.mOffset;
    WriteDamagedPack(entry, [](BuiltPack*) {});
    ResetErrorReporting();
    EXPECT_EQ(LoadText("e.bin"), "<error -2>") << item.mLabel;
    EXPECT_EQ(g_LastErrorText,
              item.mMessage == kMsgDamagedPackEntry ? Damaged() : ReportText(item.mMessage, "e.bin"))
        << item.mLabel;
  }
}

TEST_F(PackReaderTest, UnknownCompression) {
  PackBuilderEntry entry = Entry("e.bin", "x", false, false);
  entry.mCompression = 2;
  WriteDamagedPack(entry, [](BuiltPack*) {});
  EXPECT_EQ(LoadText("e.bin"), "<error -3>");
  EXPECT_EQ(g_LastErrorText, ReportText(kMsgCannotOpenPack, ".\\data.qpf"));
}

TEST_F(PackReaderTest, RepairTrailerChecks) {
  std::string text = RandomText(2500, 8);
  PackBuilder pack;
  pack.mEntries.push_back(Entry("e.bin", text, false, true));
  BuiltPack built = BuildPack(pack);
  const BuiltPackEntry& placed = built.mEntries[0];
  uint32_t hash = MurmurHash2(text.data(), text.size());
  auto check = [&](const BuiltPack& bytes, std::string* data) {
    EXPECT_TRUE(WritePackFile(Native("t.qpf"), bytes));
    PackFileHandle handle;
    EXPECT_TRUE(OpenPackFile(&handle, "t.qpf"));
    EXPECT_TRUE(SeekPackFile(&handle, static_cast<int64_t>(placed.mTrailerOffset)));
    return CheckAndRepairPackData(&handle, reinterpret_cast<uint8_t*>(data->data()), data->size(), hash);
  };
  std::string data = text;
  EXPECT_EQ(check(built, &data), 0);
  data[100] ^= 4;
  EXPECT_EQ(check(built, &data), 1);
  EXPECT_EQ(data, text);

  BuiltPack wrongParity = built;
  StoreLe32(&wrongParity.mBytes[placed.mTrailerOffset], 512);
  data[100] ^= 4;
  EXPECT_EQ(check(wrongParity, &data), -1);
  BuiltPack wrongCount = built;
  StoreLe32(&wrongCount.mBytes[placed.mTrailerOffset + 4], 2);
  EXPECT_EQ(check(wrongCount, &data), -1);
  BuiltPack cut = built;
  cut.mBytes.resize(placed.mTrailerOffset + 8 + 6 + 100);
  EXPECT_EQ(check(cut, &data), -1);
}

}  // namespace
