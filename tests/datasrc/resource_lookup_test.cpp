#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "core/file_names.h"
#include "datasrc/data_source_fixture.h"

namespace {

class ResourceLookupTest : public DataSourceTest {
 protected:
  // "data\x.txt" as a loose file and in data.qpf; the same pack appended to
  // the program file behind 100 bytes.
  void WriteBothSources() {
    WriteFile("data/x.txt", "loose");
    PackBuilder pack;
    AddPackFile(&pack, "data\\x.txt", "pack");
    WritePack("data.qpf", pack);
    ASSERT_TRUE(WritePackFile(Native("orvane"), BuildPack(pack), std::vector<uint8_t>(100, 0xEE)));
  }

  void RebuildIndex(uint8_t appended) {
    ReleasePackIndex();
    InitDataKeys();
    g_DataAppended = appended;
    g_AppendedPackBase = 100;
    ASSERT_EQ(BuildPackIndex(), 0);
  }
};

TEST_F(ResourceLookupTest, SourceOrderForEverySwitchCombination) {
  WriteBothSources();
  for (int appended = 0; appended < 2; ++appended) {
    RebuildIndex(static_cast<uint8_t>(appended));
    for (int release = 0; release < 2; ++release) {
      for (int looseDev = 0; looseDev < 2; ++looseDev) {
        for (int looseRelease = 0; looseRelease < 2; ++looseRelease) {
          g_ReleaseLayout = static_cast<uint8_t>(release);
          g_LooseFirstDev = static_cast<uint8_t>(looseDev);
          g_LooseFirstRelease = static_cast<uint8_t>(looseRelease);
          bool looseFirst = appended == 0 && ((release == 0 && looseDev != 0) || (release == 1 && looseRelease != 0));
          ResourceLocation location;
          int expected = looseFirst ? SOURCE_DISK : SOURCE_PACK;
          EXPECT_EQ(LocateResource(&location, "data\\x.txt", 0), expected)
              << "appended " << appended << " release " << release << " dev " << looseDev << " rel " << looseRelease;
          EXPECT_EQ(LoadText("data\\x.txt"), looseFirst ? "loose" : "pack");
        }
      }
    }
  }
}

TEST_F(ResourceLookupTest, PreloadCacheThenCompilerOutputThenPacksThenLooseFiles) {
  WriteBothSources();
  RebuildIndex(0);
  g_ImageExtOrder[0] = 1;
  // Compiler output: one file of the same name.
  std::string block = std::string("\x0b\0\0\0data\\x.txt\0\x08\0\0\0compiler", 27);
  ASSERT_TRUE(TakeOverCompilerOutput(reinterpret_cast<const uint8_t*>(block.data()), block.size(), 1));
  ASSERT_EQ(PreloadFile(2, "data\\x.txt", 9), 0);  // copied from the compiler output
  ResourceLocation location;
  EXPECT_EQ(LocateResource(&location, "data\\x.txt", 1), SOURCE_PRELOAD);
  EXPECT_EQ(location.mPreloadList, 2);
  EXPECT_EQ(LoadText("data\\x.txt"), "compiler");

  ReleasePreloadCache();
  EXPECT_EQ(LocateResource(&location, "data\\x.txt", 1), SOURCE_COMPILER_OUTPUT);
  EXPECT_EQ(location.mType, 0);
  ReleaseCompilerOutput();
  EXPECT_EQ(LocateResource(&location, "data\\x.txt", 1), SOURCE_PACK);
  g_LooseFirstDev = 1;
  EXPECT_EQ(LocateResource(&location, "data\\x.txt", 1), SOURCE_DISK);
  EXPECT_EQ(LocateResource(&location, "data\\absent.txt", 1), 0);
  EXPECT_EQ(location.mSource, SOURCE_NONE);
}

TEST_F(ResourceLookupTest, TypeCodesBySource) {
  WriteFile("face.png", "loose png");
  PackBuilder pack;
  AddPackFile(&pack, "stored.png", "x").mType = FILE_TYPE_QCG;  // the stored code wins over the name
  WritePack("data.qpf", pack);
  ASSERT_EQ(BuildPackIndex(), 0);
  ResourceLocation location;
  EXPECT_EQ(LocateResource(&location, "face.png", 1), SOURCE_DISK);
  EXPECT_EQ(location.mType, FILE_TYPE_PNG);
  EXPECT_EQ(LocateResource(&location, "face.png", 0), SOURCE_DISK);
  EXPECT_EQ(location.mType, 0);
  EXPECT_EQ(LocateResource(&location, "stored.png", 0), SOURCE_PACK);
  EXPECT_EQ(location.mType, FILE_TYPE_QCG);
  std::string block = std::string("\x09\0\0\0face.png\0\x01\0\0\0c", 18);
  ASSERT_TRUE(TakeOverCompilerOutput(reinterpret_cast<const uint8_t*>(block.data()), block.size(), 1));
  EXPECT_EQ(LocateResource(&location, "face.png", 1), SOURCE_COMPILER_OUTPUT);
  EXPECT_EQ(location.mType, 0);
  g_ImageExtOrder[0] = 1;
  ReleaseCompilerOutput();
  ASSERT_EQ(PreloadFile(0, "stored", 0), 0);
  EXPECT_EQ(LocateResource(&location, "stored.png", 0), SOURCE_PRELOAD);
  EXPECT_EQ(location.mType, FILE_TYPE_QCG);
}

TEST_F(ResourceLookupTest, NamesLongerThanTheLimitAreRefused) {
  std::string longest(kMaxNameBytes, 'a');
  std::string tooLong(kMaxNameBytes + 1, 'a');
  ResourceLocation location;
  EXPECT_EQ(LocateResource(&location, longest.c_str(), 0), 0);
  EXPECT_EQ(LocateResource(&location, tooLong.c_str(), 0), -1);
  EXPECT_EQ(LoadText(tooLong.c_str()), "<error -1>");
  EXPECT_EQ(g_LastErrorText, ReportText(104010, tooLong));
  EXPECT_EQ(g_QuitFlag.load(), 1);
  // An extension that would carry a name past the limit is refused too.
  std::string base(kMaxNameBytes - 3, 'b');
  std::vector<char> name(base.begin(), base.end());
  name.push_back('\0');
  char resolved[kNameBufferBytes];
  g_ImageExtOrder[0] = 1;
  EXPECT_EQ(FindMediaFile(&location, resolved, name.data(), 0), -1);
}

TEST_F(ResourceLookupTest, LoaderConventionReports) {
  EXPECT_EQ(LoadText("absent.txt"), "<error -1>");
  EXPECT_EQ(g_LastErrorText, ReportText(104060, "absent.txt"));
  EXPECT_EQ(g_QuitFlag.load(), 1);

  // A pack that disappears after the index was built.
  ResetErrorReporting();
  PackBuilder pack;
  AddPackFile(&pack, "gone.txt", "x");
  WritePack("data.qpf", pack);
  ASSERT_EQ(BuildPackIndex(), 0);
  std::filesystem::remove(Native("data.qpf"));
  EXPECT_EQ(LoadText("gone.txt"), "<error -1>");
  EXPECT_EQ(g_LastErrorText, ReportText(901040, "gone.txt"));
}

TEST_F(ResourceLookupTest, ReadsWithTheReaderOfTheSource) {
  WriteFile("plain.bin", std::string("\0\1\2", 3));
  ResourceLocation location;
  ASSERT_EQ(LoadResourceWhole(&location, "plain.bin"), 0);
  ASSERT_EQ(location.mSize, 3u);
  EXPECT_EQ(location.mData[2], 2);
  EXPECT_EQ(location.mData[3], 0);  // the terminator after the data
  ReleaseResourceData(&location);
  EXPECT_EQ(location.mData, nullptr);

  WriteFile("empty.bin", "");
  ASSERT_EQ(LoadResourceWhole(&location, "empty.bin"), 0);
  EXPECT_EQ(location.mSize, 0u);
  ReleaseResourceData(&location);

  ResourceLocation nowhere;
  EXPECT_EQ(ReadResource(&nowhere, "x"), -1);
  EXPECT_TRUE(g_LastErrorText.empty());
}

TEST_F(ResourceLookupTest, ShortLooseFileGivesMinusThreeWithoutMessage) {
  // System attribute files state a size of a page and hold a few bytes.
  const char* name = "/sys/devices/system/cpu/online";
  std::ifstream probe(name, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(probe)), std::istreambuf_iterator<char>());
  if (!probe.good() && content.empty()) GTEST_SKIP() << "no system attribute file to read";
  if (static_cast<size_t>(GetGameFileSize(name)) <= content.size()) GTEST_SKIP() << "no short file here";
  ResourceLocation location;
  location.mSource = SOURCE_DISK;
  EXPECT_EQ(ReadResource(&location, name), -3);
  EXPECT_EQ(location.mData, nullptr);
  EXPECT_TRUE(g_LastErrorText.empty());

  EXPECT_EQ(ReadResourceFromFile(&location, "absent.bin"), -3);
  EXPECT_EQ(g_LastErrorText, ReportText(104010, "absent.bin"));
}

class MediaLookupTest : public ResourceLookupTest {
 protected:
  // Runs the media lookup; returns its result and the resolved name.
  std::pair<int, std::string> Find(const char* name, int category) {
    std::vector<char> buffer(name, name + std::strlen(name) + 1);
    char resolved[kNameBufferBytes] = "?";
    int result = FindMediaFile(&mLocation, resolved, buffer.data(), category);
    mChangedName = buffer.data();
    return {result, resolved};
  }
  void SetImageOrder(std::initializer_list<uint8_t> order) {
    std::memset(g_ImageExtOrder, 0, sizeof g_ImageExtOrder);
    std::copy(order.begin(), order.end(), g_ImageExtOrder);
  }
  ResourceLocation mLocation;
  std::string mChangedName;
};

TEST_F(MediaLookupTest, ImageExtensionOrder) {
  SetImageOrder({2, 1, 0, 0, 0, 0, 0});
  using Result = std::pair<int, std::string>;
  EXPECT_EQ(Find("bg01", 0), Result(1, "bg01.png"));  // the last candidate tried
  WriteFile("bg01.jpg", "j");
  EXPECT_EQ(Find("bg01", 0), Result(1, "bg01.png"));  // .jpg is not configured
  WriteFile("bg01.png", "p");
  EXPECT_EQ(Find("bg01", 0), Result(0, "bg01.png"));
  EXPECT_EQ(mLocation.mType, FILE_TYPE_PNG);
  WriteFile("bg01.bmp", "b");
  EXPECT_EQ(Find("bg01", 0), Result(0, "bg01.bmp"));
  EXPECT_EQ(mLocation.mType, FILE_TYPE_BMP);
  // A known extension in any case is looked up as it stands, lower-cased.
  EXPECT_EQ(Find("BG01.PNG", 0), Result(0, "bg01.png"));
  // Values outside 1-6 are skipped; the 8th byte is never used.
  SetImageOrder({0, 9, 7, 0, 0, 0, 0, 1});
  EXPECT_EQ(Find("bg01", 0), Result(1, "bg01"));
  SetImageOrder({0, 0, 0, 0, 0, 0, 3});
  EXPECT_EQ(Find("bg01", 0), Result(0, "bg01.jpg"));
  SetImageOrder({6, 5, 4});
  WriteFile("anim.gif", "g");
  EXPECT_EQ(Find("anim", 0), Result(0, "anim.gif"));
}

TEST_F(MediaLookupTest, UnlistedImageExtensionsGetOneAdded) {
  SetImageOrder({1, 2});
  WriteFile("chara/face.qcg", "q");
  EXPECT_EQ(Find("chara\\face.qcg", 0), std::make_pair(1, std::string("chara\\face.qcg.bmp")));
  EXPECT_EQ(mChangedName, "chara/face.qcg");  // the caller's name uses "/" afterwards
  WriteFile("chara/face.qcg.png", "q");
  EXPECT_EQ(Find("chara\\face.qcg", 0), std::make_pair(0, std::string("chara\\face.qcg.png")));
  // Any file (9) takes the name as it is.
  EXPECT_EQ(Find("chara/face.qcg", 9), std::make_pair(0, std::string("chara\\face.qcg")));
  EXPECT_EQ(mLocation.mType, FILE_TYPE_QCG);
}

TEST_F(MediaLookupTest, SoundExtensionOrder) {
  g_SoundExtOrder[0] = 2;
  g_SoundExtOrder[1] = 1;
  g_SoundExtOrder[2] = 1;  // beyond the two bytes that count
  EXPECT_EQ(Find("se\\hit", 1), std::make_pair(1, std::string("se\\hit.ogg")));
  WriteFile("se/hit.ogg", "o");
  EXPECT_EQ(Find("se\\hit", 1), std::make_pair(0, std::string("se\\hit.ogg")));
  EXPECT_EQ(mLocation.mType, FILE_TYPE_OGG);
  WriteFile("se/hit.wav", "w");
  EXPECT_EQ(Find("se\\hit", 1), std::make_pair(0, std::string("se\\hit.wav")));
  EXPECT_EQ(Find("SE\\HIT.OGG", 1), std::make_pair(0, std::string("se\\hit.ogg")));
  g_SoundExtOrder[0] = 0;
  g_SoundExtOrder[1] = 0;
  EXPECT_EQ(Find("se\\hit", 1).first, 1);
}

TEST_F(MediaLookupTest, NamesAreNormalisedAsPaths) {
  const std::pair<const char*, const char*> cases[] = {
      {"cg/../bg/x.png", "bg\\x.png"},
      {"cg\\..\\bg\\x.png", "bg\\x.png"},
      {":/Bg/./X.PNG", "bg\\x.png"},
      {":bg/x.png", "bg\\x.png"},
      {"/bg/x.png", "bg\\x.png"},
      {"a/b/../../bg/x.png", "bg\\x.png"},
      {"../../bg/x.png", "bg\\x.png"},
      {"my bg/x.png", "my bg\\x.png"},  // blanks are allowed
      {"bg//x.png", "bg\\\\x.png"},     // a run of separators stays
      {"bg/x.png/", "bg\\x.png"},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(Find(name, 9).second, expected) << name;
}

TEST_F(MediaLookupTest, PathTextLongerThanTheNormaliserTakesIsReported) {
  // A name with "." goes through the path normaliser, which takes 255 bytes.
  std::string fits = std::string(251, 'a') + ".png";
  EXPECT_EQ(Find(fits.c_str(), 0), std::make_pair(1, fits));
  EXPECT_TRUE(g_LastErrorText.empty());
  EXPECT_EQ(g_QuitFlag.load(), 0);

  std::string tooLong = "a" + fits;
  EXPECT_EQ(Find(tooLong.c_str(), 0).first, -1);
  EXPECT_EQ(g_LastErrorText, ReportText(100242, tooLong.substr(0, 255)));
  EXPECT_EQ(g_QuitFlag.load(), 1);
}

TEST_F(MediaLookupTest, ShiftJisNamesKeepTheirTrailBytes) {
  // 0x83 0x5C and 0x83 0x41: trail bytes that look like "\" and "A".
  EXPECT_EQ(Find("\x83\x5c\x83\x41X.PNG", 9).second, "\x83\x5c\x83\x41x.png");
  EXPECT_EQ(mChangedName, "\x83\x5c\x83\x41X.PNG");
  EXPECT_EQ(Find("D\\\x83\x5c/E.png", 9).second, "d\\\x83\x5c\\e.png");
}

TEST_F(MediaLookupTest, OtherCategoriesAreErrors) {
  WriteFile("x.png", "p");
  for (int category : {-1, 2, 8, 10}) {
    char name[] = "x\\y.png";
    char resolved[kNameBufferBytes] = "untouched";
    EXPECT_EQ(FindMediaFile(&mLocation, resolved, name, category), -1) << category;
    EXPECT_STREQ(name, "x\\y.png");
    EXPECT_STREQ(resolved, "untouched");
  }
}

TEST_F(MediaLookupTest, APackThatCannotBeOpenedIsAnError) {
  PackBuilder pack;
  AddPackFile(&pack, "bg.png", "p");
  WritePack("data.qpf", pack);
  ASSERT_EQ(BuildPackIndex(), 0);
  std::filesystem::remove(Native("data.qpf"));
  EXPECT_EQ(Find("bg.png", 0).first, -1);
  EXPECT_EQ(LocateResource(&mLocation, "bg.png", 0), -2);
  EXPECT_EQ(mLocation.mPackNumber, 0);
}

TEST(FileNameTest, LowerCaseNameStepsOverDoubleByteCharacters) {
  const std::pair<std::string, std::string> cases[] = {
      {"QVBIN\\QVCFG.QBN", "qvbin\\qvcfg.qbn"},
      {"\x83\x41\x42", "\x83\x41\x62"},       // trail byte "A" kept, "B" lowered
      {"\xe0\x5a\x5a", "\xe0\x5a\x7a"},       // a lead byte of the upper range
      {"AB\x83", "ab\x83"},                   // a lead byte as the last byte
      {"A\xa0Z", "a\xa0z"},                   // half-width katakana is one byte
  };
  for (const auto& [input, expected] : cases) {
    std::vector<char> buffer(input.begin(), input.end());
    buffer.push_back('\0');
    LowerCaseName(buffer.data());
    EXPECT_EQ(std::string(buffer.data()), expected);
    std::string text = input;
    LowerCaseName(text);
    EXPECT_EQ(text, expected);
  }
}

TEST(FileNameTest, TypeFromExtension) {
  const std::pair<const char*, int32_t> cases[] = {
      {"a.bmp", FILE_TYPE_BMP}, {"a.PNG", FILE_TYPE_PNG},  {"a.jpg", FILE_TYPE_JPG},  {"a.gif", FILE_TYPE_GIF},
      {"a.wav", FILE_TYPE_WAV}, {"a.Ogg", FILE_TYPE_OGG},  {"a.psd", FILE_TYPE_PSD},  {"a.qcg", FILE_TYPE_QCG},
      {"a.psb", FILE_TYPE_PSB}, {"a.webp", FILE_TYPE_WEBP}, {"a.jpeg", 0},            {"png", 0},
      {"a.png.txt", 0},         {"", 0},
  };
  for (const auto& [name, type] : cases) EXPECT_EQ(FileTypeFromExtension(name), type) << name;
}

TEST(FileNameTest, EndsWithNoCase) {
  EXPECT_TRUE(EndsWithNoCase("Data.QPF", ".qpf"));
  EXPECT_TRUE(EndsWithNoCase(".qpf", ".QPF"));
  EXPECT_TRUE(EndsWithNoCase("x", ""));
  EXPECT_FALSE(EndsWithNoCase("qpf", ".qpf"));
  EXPECT_FALSE(EndsWithNoCase("data.qpg", ".qpf"));
}

}  // namespace
