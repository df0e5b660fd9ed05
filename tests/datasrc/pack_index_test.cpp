#include <unistd.h>

#include <string>

#include "core/checksums.h"
#include "datasrc/data_source_fixture.h"

namespace {

class PackIndexTest : public DataSourceTest {
 protected:
  static PackBuilder OnePack(const std::string& name, const std::string& text) {
    PackBuilder pack;
    AddPackFile(&pack, name, text);
    return pack;
  }
};

TEST_F(PackIndexTest, HeaderRefusals) {
  PackBuilder foreign = OnePack("a.txt", "a");
  foreign.mHeader.mMagic = {'Q', 'P', 'G', '\0'};
  WritePack("foreign.qpf", foreign);
  WriteFile("tiny.qpf", "QP");
  PackBuilder current = OnePack("b.txt", "b");
  WritePack("current.qpf", current);
  ASSERT_EQ(BuildPackIndex(), 0);
  EXPECT_EQ(g_PackCount, 1);
  EXPECT_EQ(g_PackNames[0], ".\\current.qpf");
  EXPECT_TRUE(g_LastErrorText.empty());
  EXPECT_EQ(LoadText("b.txt"), "b");
  EXPECT_EQ(LoadText("a.txt"), "<error -1>");

  PackBuilder old = OnePack("c.txt", "c");
  old.mHeader.mVersion = 233;
  WritePack("old.qpf", old);
  ResetErrorReporting();
  EXPECT_EQ(BuildPackIndex(), -1);
  EXPECT_EQ(g_LastErrorText, ReportText(104120, ".\\old.qpf"));
  EXPECT_EQ(g_QuitFlag.load(), 1);
}

TEST_F(PackIndexTest, PackThatCannotBeOpened) {
  ASSERT_EQ(symlink("missing-target", Native("broken.qpf").c_str()), 0);
  EXPECT_EQ(BuildPackIndex(), -1);
  EXPECT_EQ(g_LastErrorText, ReportText(901040, ".\\broken.qpf"));
}

TEST_F(PackIndexTest, FolderScanOrderIgnoresLetterCase) {
  WritePack("B.qpf", OnePack("b.txt", "b"));
  WritePack("a.qpf", OnePack("a.txt", "a"));
  WritePack("pac/C.QPF", OnePack("c.txt", "c"));
  WritePack("pac/pac/d.qpf", OnePack("d.txt", "d"));  // deeper than the scan goes
  ASSERT_EQ(BuildPackIndex(), 0);
  ASSERT_EQ(g_PackCount, 3);
  EXPECT_EQ(g_PackNames[0], ".\\a.qpf");
  EXPECT_EQ(g_PackNames[1], ".\\b.qpf");
  EXPECT_EQ(g_PackNames[2], ".\\pac\\c.qpf");
  EXPECT_EQ(g_PackEntryTotal, 3u);
  EXPECT_EQ(LoadText("c.txt"), "c");
}

TEST_F(PackIndexTest, UpdatePacksReplaceEarlierEntries) {
  PackBuilder data;
  AddPackFile(&data, "a.txt", "data a");
  AddPackFile(&data, "b.txt", "data b");
  AddPackFile(&data, "c.txt", "data c");
  WritePack("data.qpf", data);
  PackBuilder update1;
  AddPackFile(&update1, "a.txt", "update1 a");
  AddPackFile(&update1, "B.TXT", "update1 b");  // differs only in letter case: still a replacement
  WritePack("update1.qpf", update1);
  WritePack("pac/update2.qpf", OnePack("a.txt", "update2 a"));
  ASSERT_EQ(BuildPackIndex(), 0);
  EXPECT_TRUE(g_LastErrorText.empty());
  // Update packs come last, in number order.
  EXPECT_EQ(g_PackNames[1], ".\\update1.qpf");
  EXPECT_EQ(g_PackNames[2], ".\\pac\\update2.qpf");
  EXPECT_EQ(LoadText("a.txt"), "update2 a");
  EXPECT_EQ(LoadText("b.txt"), "update1 b");
  EXPECT_EQ(LoadText("c.txt"), "data c");
}

TEST_F(PackIndexTest, UpdatePackInPacFolderWinsOverTheRootOne) {
  WritePack("update1.qpf", OnePack("a.txt", "root"));
  WritePack("pac/UPDATE1.QPF", OnePack("a.txt", "pac"));
  ASSERT_EQ(BuildPackIndex(), 0);
  EXPECT_EQ(g_PackCount, 1);
  EXPECT_EQ(LoadText("a.txt"), "pac");
}

TEST_F(PackIndexTest, PlainDuplicateStopsTheBuildWithoutQuitting) {
  WritePack("data.qpf", OnePack("bg\\x.png", "1"));
  WritePack("more.qpf", OnePack("BG\\X.PNG", "2"));
  EXPECT_EQ(BuildPackIndex(), -1);
  EXPECT_EQ(g_LastErrorText, ReportText(104150, "BG\\X.PNG"));
  EXPECT_EQ(g_QuitFlag.load(), 0);
}

TEST_F(PackIndexTest, ANameEndingInUpdateAfterADoubleByteCharacterIsNoUpdatePack) {
  // "ソ" (UTF-8 on disk) is 0x83 0x5C in Shift-JIS: its trail byte is no
  // folder separator.
  WritePack("data.qpf", OnePack("a.txt", "1"));
  WritePack("\xe3\x82\xbd" "update1.qpf", OnePack("a.txt", "2"));
  EXPECT_EQ(BuildPackIndex(), -1);
  EXPECT_EQ(g_LastErrorText, ReportText(104150, "a.txt"));
}

TEST_F(PackIndexTest, DuplicateInsideOnePack) {
  PackBuilder pack;
  AddPackFile(&pack, "a.txt", "1");
  AddPackFile(&pack, "a.txt", "2");
  WritePack("data.qpf", pack);
  EXPECT_EQ(BuildPackIndex(), -1);
  EXPECT_EQ(g_LastErrorText, ReportText(104150, "a.txt"));
}

TEST_F(PackIndexTest, EqualHashesWithDifferentNames) {
  PackBuilder pack;
  AddPackFile(&pack, "first.txt", "1").mNameHash = 77;
  AddPackFile(&pack, "second.txt", "2").mNameHash = 77;
  AddPackFile(&pack, "third.txt", "3");
  WritePack("data.qpf", pack);
  ASSERT_EQ(BuildPackIndex(), 0);
  // Both entries share hash 77; the lookup filters by the hash of the name
  // as given, so only a name hashing to 77 reaches them.
  ResourceLocation location;
  EXPECT_EQ(LocateResource(&location, "first.txt", 0), 0);
  EXPECT_EQ(LoadText("third.txt"), "3");
  size_t first = std::lower_bound(g_PackEntryHashes.begin(), g_PackEntryHashes.end(), 77u) - g_PackEntryHashes.begin();
  ASSERT_LT(first + 1, g_PackEntryHashes.size());
  EXPECT_EQ(g_PackEntryHashes[first + 1], 77u);
  EXPECT_LT(g_PackEntryOffsets[first], g_PackEntryOffsets[first + 1]);  // index order kept among equal hashes
}

TEST_F(PackIndexTest, TheSecondOfTwoEntriesWithOneHashIsFoundAfterTheFirst) {
  // Store two names under the hash of the second one.
  uint32_t hash = MurmurHash2("b.txt", 5);
  PackBuilder pack;
  AddPackFile(&pack, "a.txt", "a").mNameHash = hash;
  AddPackFile(&pack, "b.txt", "b");
  WritePack("data.qpf", pack);
  ASSERT_EQ(BuildPackIndex(), 0);
  ResourceLocation location;
  ASSERT_EQ(LocateResource(&location, "b.txt", 0), SOURCE_PACK);
  EXPECT_EQ(location.mPackEntry, 1);
  EXPECT_EQ(LoadText("b.txt"), "b");
}

TEST_F(PackIndexTest, NamesThatAreNotLowerCasedMissPackEntries) {
  WritePack("data.qpf", OnePack("BG\\Sky.png", "sky"));
  ASSERT_EQ(BuildPackIndex(), 0);
  ResourceLocation location;
  EXPECT_EQ(LocateResource(&location, "bg\\sky.png", 1), SOURCE_PACK);
  EXPECT_EQ(location.mType, FILE_TYPE_PNG);
  EXPECT_EQ(LocateResource(&location, "BG\\Sky.png", 1), 0);
}

TEST_F(PackIndexTest, EngineConfigInAPackSelectsTheReleaseLayout) {
  WritePack("data.qpf", OnePack("a.txt", "a"));
  ASSERT_EQ(BuildPackIndex(), 0);
  EXPECT_EQ(g_ReleaseLayout, 0);
  // The development layout opens packs below the program folder, wherever
  // the current folder is.
  std::filesystem::create_directories(Native("elsewhere"));
  ASSERT_EQ(chdir(Native("elsewhere").c_str()), 0);
  EXPECT_EQ(LoadText("a.txt"), "a");
  ASSERT_EQ(chdir(mFolder.c_str()), 0);

  WritePack("pac/sys.qpf", OnePack("QVBIN\\QVCFG.QBN", "cfg"));
  ASSERT_EQ(BuildPackIndex(), 0);
  EXPECT_EQ(g_ReleaseLayout, 1);
  EXPECT_EQ(GetPackOpenPath(0), ".\\data.qpf");
  EXPECT_EQ(LoadText("a.txt"), "a");
  ASSERT_EQ(chdir(Native("elsewhere").c_str()), 0);
  ResourceLocation location;
  EXPECT_EQ(LocateResource(&location, "a.txt", 0), -2);
}

TEST_F(PackIndexTest, PackAtABaseOffsetInsideTheProgramFile) {
  PackBuilder pack;
  AddPackFile(&pack, "qvbin\\qvcfg.qbn", "cfg");
  AddPackFile(&pack, "bg.png", std::string(3000, 'x')).mCompressed = true;
  std::vector<uint8_t> program(4097, 0x7F);
  ASSERT_TRUE(WritePackFile(Native("orvane"), BuildPack(pack), program));
  WritePack("ignored.qpf", OnePack("other.txt", "not read in the appended layout"));
  g_DataAppended = 1;
  g_ReleaseLayout = 1;
  g_AppendedPackBase = static_cast<int64_t>(program.size());
  ASSERT_EQ(BuildPackIndex(), 0);
  EXPECT_EQ(g_PackCount, 1);
  EXPECT_EQ(LoadText("qvbin\\qvcfg.qbn"), "cfg");
  EXPECT_EQ(LoadText("bg.png"), std::string(3000, 'x'));
  ResourceLocation location;
  EXPECT_EQ(LocateResource(&location, "other.txt", 0), 0);
  // Packs come before loose files whatever the switches say.
  WriteFile("bg.png", "loose");
  g_LooseFirstRelease = 1;
  EXPECT_EQ(LocateResource(&location, "bg.png", 0), SOURCE_PACK);
}

TEST_F(PackIndexTest, OneHundredPacksAtMost) {
  PackBuilder empty;
  WritePack("empty.qpf", empty);
  for (int count = 0; count < kMaxPacks; ++count) ASSERT_EQ(RegisterPackFile(".\\empty.qpf"), 0) << count;
  EXPECT_TRUE(g_LastErrorText.empty());
  EXPECT_EQ(RegisterPackFile(".\\empty.qpf"), -1);
  EXPECT_EQ(g_LastErrorText, ReportText(104130, 100));
  EXPECT_EQ(g_PackCount, kMaxPacks);
}

TEST_F(PackIndexTest, EntryTotalLimit) {
  // The counts are taken from the headers at registration.
  const std::pair<const char*, uint32_t> packs[] = {{"a.qpf", 150000}, {"b.qpf", 50000}, {"c.qpf", 1}, {"d.qpf", 0xFFFFFFFF}};
  for (const auto& [name, count] : packs) {
    PackBuilder pack;
    pack.mHeader.mEntryCount = count;
    WritePack(name, pack);
  }
  EXPECT_EQ(RegisterPackFile(".\\a.qpf"), 0);
  EXPECT_EQ(RegisterPackFile(".\\b.qpf"), 0);
  EXPECT_EQ(g_PackEntryTotal, 200000u);
  EXPECT_TRUE(g_LastErrorText.empty());
  EXPECT_EQ(RegisterPackFile(".\\c.qpf"), -1);
  EXPECT_EQ(g_LastErrorText, ReportText(104140, 200000));
  // A count that would wrap a 32-bit total.
  ResetErrorReporting();
  EXPECT_EQ(RegisterPackFile(".\\d.qpf"), -1);
  EXPECT_EQ(g_LastErrorText, ReportText(104140, 200000));
  EXPECT_EQ(g_PackEntryTotal, 200000u);
  EXPECT_EQ(g_PackCount, 2);
}

TEST_F(PackIndexTest, IndexThatDoesNotFitIsRefused) {
  struct Case {
    const char* mLabel;
    std::optional<uint32_t> mCount;
    std::optional<uint32_t> mIndexSize;
  };
  std::string longName(40, 'n');
  const Case cases[] = {
      {"index past the end of the file", std::nullopt, 100000},
      {"index size at the top of the range", std::nullopt, 0xFFFFFFFF},
      {"more entries than the index holds", 3, std::nullopt},
      {"an entry overrunning the index", 2, 2 * 27},
  };
  for (const Case& item : cases) {
    PackBuilder pack;
    AddPackFile(&pack, longName, std::string(200, 'd'));
    AddPackFile(&pack, "b.txt", "b");
    pack.mHeader.mEntryCount = item.mCount;
    pack.mHeader.mIndexSize = item.mIndexSize;
    WritePack("data.qpf", pack);
    ResetErrorReporting();
    EXPECT_EQ(BuildPackIndex(), -1) << item.mLabel;
    EXPECT_EQ(g_LastErrorText, ReportText(104120, ".\\data.qpf")) << item.mLabel;
  }
}

TEST_F(PackIndexTest, FoldersTooDeep) {
  std::string path;
  for (int depth = 0; depth < kMaxPackFolderDepth; ++depth) path += "pac/";
  std::filesystem::create_directories(Native(path));
  EXPECT_EQ(ScanPackFolders(kMaxPackFolderDepth - 1, "."), 0);
  EXPECT_EQ(ScanPackFolders(1000, "."), -1);
  EXPECT_EQ(g_LastErrorText, ReportText(104111));
}

TEST_F(PackIndexTest, TooManyFolders) {
  // "pac" in every letter case: 8 folders per level, so the queue passes
  // 1000 folders in the fourth level.
  std::vector<std::string> names;
  for (int bits = 0; bits < 8; ++bits) {
    std::string name = "pac";
    for (int letter = 0; letter < 3; ++letter) {
      if ((bits >> letter & 1) != 0) name[letter] = static_cast<char>(name[letter] - 32);
    }
    names.push_back(name);
  }
  int made = 0;
  for (const std::string& a : names) {
    for (const std::string& b : names) {
      for (const std::string& c : names) {
        std::string third = a + "/" + b + "/" + c;
        std::filesystem::create_directories(Native(third));
        if (made++ < 52) {
          for (const std::string& d : names) std::filesystem::create_directories(Native(third + "/" + d));
        }
      }
    }
  }
  EXPECT_EQ(ScanPackFolders(10, "."), -1);
  EXPECT_EQ(g_LastErrorText, ReportText(104110));
}

}  // namespace
