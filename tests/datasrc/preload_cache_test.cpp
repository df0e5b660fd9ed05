#include <atomic>
#include <string>
#include <thread>

#include "datasrc/data_source_fixture.h"

namespace {

class PreloadCacheTest : public DataSourceTest {
 protected:
  void SetUp() override {
    DataSourceTest::SetUp();
    g_ImageExtOrder[0] = 1;  // .png
  }
  static std::vector<std::string> ListNames(int32_t list) {
    std::vector<std::string> names;
    for (int32_t slot = 0; slot < GetPreloadCount(list); ++slot) names.push_back(GetPreloadSlotName(list, slot));
    return names;
  }
};

TEST_F(PreloadCacheTest, RepeatPreloadMovesToTheEndWithoutReading) {
  for (const char* name : {"a", "b", "c"}) WriteFile(std::string(name) + ".png", name);
  for (const char* name : {"a", "B", "c"}) ASSERT_EQ(PreloadFile(0, name, 0), 0);
  EXPECT_EQ(ListNames(0), (std::vector<std::string>{"a.png", "b.png", "c.png"}));
  WriteFile("a.png", "changed on disk");
  ASSERT_EQ(PreloadFile(0, "A.PNG", 0), 0);
  EXPECT_EQ(ListNames(0), (std::vector<std::string>{"b.png", "c.png", "a.png"}));
  EXPECT_EQ(LoadText("a.png"), "a");
  ResourceLocation location;
  ASSERT_EQ(LocateResource(&location, "a.png", 0), SOURCE_PRELOAD);
  EXPECT_EQ(location.mPreloadSlot, 2);
  EXPECT_EQ(location.mType, FILE_TYPE_PNG);
}

TEST_F(PreloadCacheTest, FullListDropsItsOldestEntry) {
  for (int index = 0; index <= kPreloadSlots; ++index) WriteFile("f" + std::to_string(index) + ".png", "f");
  for (int index = 0; index <= kPreloadSlots; ++index) {
    ASSERT_EQ(PreloadFile(3, ("f" + std::to_string(index)).c_str(), 0), 0);
  }
  EXPECT_EQ(GetPreloadCount(3), kPreloadSlots);
  EXPECT_EQ(GetPreloadSlotName(3, 0), "f1.png");
  EXPECT_EQ(GetPreloadSlotName(3, kPreloadSlots - 1), "f512.png");
  ResourceLocation location;
  EXPECT_EQ(LocateResource(&location, "f0.png", 0), SOURCE_DISK);
  EXPECT_EQ(LocateResource(&location, "f512.png", 0), SOURCE_PRELOAD);
}

TEST_F(PreloadCacheTest, CopiedFromAnotherList) {
  WriteFile("x.png", "first");
  ASSERT_EQ(PreloadFile(1, "x", 0), 0);
  std::filesystem::remove(Native("x.png"));
  ASSERT_EQ(PreloadFile(0, "x", 0), 0);
  EXPECT_EQ(ListNames(0), std::vector<std::string>{"x.png"});
  EXPECT_EQ(ListNames(1), std::vector<std::string>{"x.png"});
  ResourceLocation location;
  ASSERT_EQ(LocateResource(&location, "x.png", 0), SOURCE_PRELOAD);
  EXPECT_EQ(location.mPreloadList, 0);  // the lower-numbered list is searched first
  EXPECT_EQ(LoadText("x.png"), "first");
}

TEST_F(PreloadCacheTest, RepeatPreloadOfANameHeldInALowerList) {
  WriteFile("x.png", "x");
  WriteFile("y.png", "y");
  ASSERT_EQ(PreloadFile(0, "x", 0), 0);
  ASSERT_EQ(PreloadFile(2, "x", 0), 0);
  ASSERT_EQ(PreloadFile(2, "y", 0), 0);
  ASSERT_EQ(PreloadFile(2, "x", 0), 0);
  EXPECT_EQ(ListNames(2), (std::vector<std::string>{"y.png", "x.png"}));
  EXPECT_EQ(ListNames(0), std::vector<std::string>{"x.png"});
}

TEST_F(PreloadCacheTest, RefusedAndIgnoredRequests) {
  WriteFile("x.png", "x");
  EXPECT_EQ(PreloadFile(-1, "x", 0), -1);
  EXPECT_EQ(PreloadFile(kPreloadLists, "x", 0), -1);
  EXPECT_EQ(PreloadFile(0, "x", 5), -1);
  EXPECT_EQ(PreloadFile(0, std::string(kMaxNameBytes + 1, 'x').c_str(), 0), -1);
  EXPECT_EQ(PreloadFile(0, "absent", 0), 0);
  EXPECT_EQ(PreloadFile(1, "absent", 1), 0);
  for (int32_t list = 0; list < kPreloadLists; ++list) EXPECT_EQ(GetPreloadCount(list), 0);
  EXPECT_TRUE(g_LastErrorText.empty());
}

TEST_F(PreloadCacheTest, SoundThreadReadsWhileScriptsPreload) {
  for (int index = 0; index < 40; ++index) WriteFile("s" + std::to_string(index) + ".png", std::string(100 + index, 'a' + index % 26));
  std::atomic<bool> done{false};
  std::atomic<int> reads{0};
  std::thread reader([&] {
    while (!done.load()) {
      for (int index = 0; index < 40; ++index) {
        std::string name = "s" + std::to_string(index) + ".png";
        ResourceLocation location;
        if (LocateResource(&location, name.c_str(), 0) <= 0) continue;
        if (ReadResource(&location, name.c_str()) != 0) continue;
        EXPECT_EQ(location.mSize, 100u + index);
        EXPECT_EQ(location.mData[0], 'a' + index % 26);
        ReleaseResourceData(&location);
        reads.fetch_add(1);
      }
    }
  });
  // Forty names cycle through two lists, moving to their ends.
  // ... at least 300 times, and until the reader has read a good number.
  for (int round = 0; round < 300 || (reads.load() < 200 && round < 1000000); ++round) {
    std::string name = "s" + std::to_string(round % 40);
    ASSERT_EQ(PreloadFile(round % 2, name.c_str(), 0), 0);
  }
  done.store(true);
  reader.join();
  EXPECT_GT(reads.load(), 0);
  EXPECT_TRUE(g_LastErrorText.empty());
}

}  // namespace
