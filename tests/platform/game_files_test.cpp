#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/format_text.h"
#include "core/sjis.h"
#include "platform/game_files.h"
#include "platform/text_codec.h"
#include "support/temp_folder.h"

namespace {

std::string Contents(std::string_view name) {
  FILE* file = OpenGameFile(name, "rb");
  if (file == nullptr) return "<missing>";
  char buffer[256];
  size_t got = std::fread(buffer, 1, sizeof buffer, file);
  std::fclose(file);
  return std::string(buffer, got);
}

TEST(GameFilesTest, NamesFromWindowsDataFindFilesInAnyLetterCase) {
  TempFolder game;
  game.WriteFile("Data/BG/Sky01.PNG", "sky");
  game.WriteFile("qvbin/qvcfg.qbn", "cfg");
  EXPECT_EQ(Contents("data\\bg\\sky01.png"), "sky");
  EXPECT_EQ(Contents("DATA/bg\\SKY01.png"), "sky");
  EXPECT_EQ(Contents("QVBIN\\QVCFG.QBN"), "cfg");
  EXPECT_EQ(Contents(".\\data\\cg\\..\\bg\\sky01.png"), "sky");
  EXPECT_TRUE(GameFileExists("data\\bg\\sky01.png"));
  EXPECT_FALSE(GameFileExists("data\\bg"));
  EXPECT_TRUE(GameFolderExists("data\\BG"));
  EXPECT_EQ(GetGameFileSize("data\\bg\\sky01.png"), 3);
  EXPECT_EQ(GetGameFileSize("data\\bg\\none.png"), -1);
}

TEST(GameFilesTest, AnExactNameWinsOverOneThatDiffersInCase) {
  TempFolder game;
  game.WriteFile("save.dat", "lower");
  game.WriteFile("SAVE.DAT", "upper");
  EXPECT_EQ(Contents("save.dat"), "lower");
  EXPECT_EQ(Contents("SAVE.DAT"), "upper");
  EXPECT_EQ(Contents("Save.Dat"), "upper") << "the first in case-blind order, then bytes";
}

TEST(GameFilesTest, JapaneseNamesOnDiskInUtf8OrRawShiftJis) {
  TempFolder game;
  // "背景" stored in UTF-8 (as a Linux copy writes it) and "表示" as raw
  // Shift-JIS bytes (as an archive from Windows may leave it); the trail byte
  // of "表" is 0x5C, a backslash.
  game.WriteFile(ConvertCp932ToUtf8("背景") + "/a.txt", "utf8");
  game.WriteFile(std::string("表示") + ".txt", "sjis");
  EXPECT_EQ(Contents("背景\\A.TXT"), "utf8");
  EXPECT_EQ(Contents("表示.TXT"), "sjis");
}

TEST(GameFilesTest, MissingComponentsAreKeptSoFilesCanBeCreated) {
  TempFolder game;
  game.WriteFile("Save/keep", "");
  FILE* file = OpenGameFile("save\\新規.sd", "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("new", file);
  std::fclose(file);
  EXPECT_TRUE(game.Exists("Save/" + ConvertCp932ToUtf8("新規") + ".sd"));
  EXPECT_EQ(Contents("SAVE\\新規.SD"), "new") << "a listing cached before the file was made is read again";
  EXPECT_TRUE(RemoveGameFile("save\\新規.sd"));
  EXPECT_FALSE(GameFileExists("save\\新規.sd"));
}

TEST(GameFilesTest, ListingsAreSortedWithoutRegardToCase) {
  TempFolder game;
  for (const char* name : {"b.qpf", "A.qpf", "update1.QPF", "a2.qpf", "C.qpf"}) game.WriteFile(name, "");
  game.WriteFile("pac/x.qpf", "");
  std::vector<GameFolderEntry> entries = ListGameFolder(".");
  std::vector<std::string> names;
  for (const GameFolderEntry& entry : entries) names.push_back(entry.mName);
  EXPECT_EQ(names, (std::vector<std::string>{"A.qpf", "a2.qpf", "b.qpf", "C.qpf", "pac", "update1.QPF"}));
  EXPECT_TRUE(entries[4].mIsFolder);
}

TEST(GameFilesTest, AnAliasMapsTheEngineFormOfAFolder) {
  TempFolder game;
  game.WriteFile("Mixed Case/file.txt", "aliased");
  std::string engineForm = "\\engine\\games\\mixed case\\";
  SetFolderAlias(engineForm, game.Path() + "/Mixed Case");
  EXPECT_EQ(Contents("\\ENGINE\\games\\mixed case\\FILE.txt"), "aliased");
  ClearFolderAliases();
  EXPECT_EQ(Contents("\\ENGINE\\games\\mixed case\\FILE.txt"), "<missing>");
}

TEST(TextCodecTest, ConvertsBothWaysAndReplacesWhatDoesNotConvert) {
  EXPECT_EQ(ConvertUtf8ToCp932(ConvertCp932ToUtf8("ゲーム\\表示~")), "ゲーム\\表示~");
  EXPECT_EQ(ConvertCp932ToUtf8(std::string("a\x81", 2)), "a?") << "a lead byte cut off at the end";
  std::string out;
  EXPECT_FALSE(TryConvertUtf8ToCp932("\xc3\x28", out)) << "invalid UTF-8";
  EXPECT_TRUE(TryConvertUtf8ToCp932("plain", out));
  EXPECT_EQ(out, "plain");
}

TEST(SjisTextTest, CopiesAndComparesOnCharacterBoundaries) {
  char buffer[6];
  EXPECT_EQ(CopySjisBounded(buffer, sizeof buffer, "abあい"), 4u);
  EXPECT_STREQ(buffer, "abあ");
  EXPECT_EQ(CopySjisBounded(buffer, sizeof buffer, std::string("ab\0cd", 5)), 2u);
  EXPECT_EQ(SjisCutLength("aあ", 2), 1u);
  EXPECT_TRUE(EqualsSjisNoCase("QVBIN\\表示.QBN", "qvbin\\表示.qbn"));
  // 0x5C and 0x7E trail bytes are never folded or split; "ア" and "ァ" differ
  // only in a trail byte that is an upper-case letter's code (0x41/0x40).
  EXPECT_FALSE(EqualsSjisNoCase("ア", "ァ"));
  EXPECT_LT(CompareSjisNoCase("a", "B"), 0);
  EXPECT_EQ(SjisCharLength(std::string("\x81", 1), 0), 1u) << "a lead byte at the end stands alone";
}

TEST(FormatTextTest, ConversionsTakeTheTypeOfTheirArgument) {
  EXPECT_EQ(FormatBounded(100, "%d|%5d|%-3d|%03d", 7, -12, 4, 5), "7|  -12|4  |005");
  EXPECT_EQ(FormatBounded(100, "%x %X %u", -1, 255u, 3), "ffffffff FF 3");
  EXPECT_EQ(FormatBounded(100, "%s=%s", 12, 1.5), "12=1.5");
  EXPECT_EQ(FormatBounded(100, "%d %.2f", "text", 2), "0 2.00");
  EXPECT_EQ(FormatBounded(100, "%c%c", 'A', 0), "A");
  EXPECT_EQ(FormatBounded(100, "%I64d %lld %ld", int64_t{1} << 40, 2, 3), "1099511627776 2 3");
  EXPECT_EQ(FormatBounded(100, "%*d|%.*s", 4, 9, 2, "abc"), "   9|ab");
  EXPECT_EQ(FormatBounded(100, "100%% %", 1), "100% %");
  EXPECT_EQ(FormatBounded(100, "%99999d", 1), "") << "absurd widths are dropped";
  EXPECT_EQ(FormatBounded(5, "%s", "abcdefgh"), "abcde");
  EXPECT_EQ(FormatBounded(100, "表%s示", "x"), "表x示");
}

}  // namespace
