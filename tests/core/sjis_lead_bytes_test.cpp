// Lead bytes 0xF0-0xFC start the user-defined characters and the extension
// characters of code page 932. A name holding one must keep its trail byte:
// an ASCII letter stays as it is when the name is lower-cased, and 0x5C is
// no folder separator.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/errors.h"
#include "core/file_names.h"
#include "core/sjis.h"

namespace {

class SjisHighLeadTest : public testing::TestWithParam<int> {
 protected:
  // The character of this lead byte with the given trail byte.
  std::string Char(char trail) const { return std::string{static_cast<char>(GetParam()), trail}; }
};

TEST_P(SjisHighLeadTest, IsALeadByteAndTakesItsTrailAlong) {
  EXPECT_TRUE(IsSjisLeadByte(static_cast<uint8_t>(GetParam())));
  std::string text = "a" + Char('A') + "b";
  EXPECT_EQ(SjisCharLength(text, 1), 2u);
  EXPECT_EQ(SjisCutLength(text, 2), 1u) << "the character is not cut in half";
  EXPECT_EQ(SjisCutLength(text, 3), 3u);
  char buffer[3];
  EXPECT_EQ(CopySjisBounded(buffer, sizeof buffer, text), 1u);
  EXPECT_STREQ(buffer, "a");
}

TEST_P(SjisHighLeadTest, LowerCasingLeavesTheTrailByte) {
  std::string name = "BG\\" + Char('A') + "X.PNG";
  std::string expected = "bg\\" + Char('A') + "x.png";
  std::string text = name;
  LowerCaseName(text);
  EXPECT_EQ(text, expected);
  std::string bytes = name;
  LowerCaseName(bytes.data());
  EXPECT_EQ(bytes, expected);
}

TEST_P(SjisHighLeadTest, ATrailByte5CIsNoSeparator) {
  std::string part;
  EXPECT_TRUE(GetFileNamePart(&part, "cg\\" + Char('\\') + ".png"));
  EXPECT_EQ(part, Char('\\') + ".png");
  EXPECT_FALSE(GetFileNamePart(&part, "cg" + Char('\\'))) << "no separator at all";

  std::string slashes = "a\\" + Char('\\') + "\\b";
  ReplaceBackslashesWithSlashes(slashes.data());
  EXPECT_EQ(slashes, "a/" + Char('\\') + "/b");
  std::string backslashes = "a/" + Char('/') + "/b";
  ReplaceSlashesWithBackslashes(backslashes);
  EXPECT_EQ(backslashes, "a\\" + Char('/') + "\\b");
}

TEST_P(SjisHighLeadTest, NamesCompareTrailBytesExactly) {
  EXPECT_TRUE(EqualsSjisNoCase("X" + Char('A'), "x" + Char('A')));
  EXPECT_FALSE(EqualsSjisNoCase(Char('A'), Char('a'))) << "a trail byte is not a letter";
  EXPECT_LT(CompareSjisNoCase(Char('A'), Char('a')), 0);
}

INSTANTIATE_TEST_SUITE_P(LeadBytes, SjisHighLeadTest, testing::Range(0xF0, 0xFD),
                         [](const testing::TestParamInfo<int>& info) {
                           char name[8];
                           std::snprintf(name, sizeof name, "Lead%02X", info.param);
                           return std::string(name);
                         });

TEST(SjisLeadByteTest, BytesAroundTheLeadRangesStandAlone) {
  for (int byte : {0x00, 0x40, 0x7F, 0x80, 0xA0, 0xA1, 0xDF, 0xFD, 0xFE, 0xFF}) {
    EXPECT_FALSE(IsSjisLeadByte(static_cast<uint8_t>(byte))) << byte;
  }
  for (int byte : {0x81, 0x9F, 0xE0, 0xEF, 0xF0, 0xFC}) EXPECT_TRUE(IsSjisLeadByte(static_cast<uint8_t>(byte))) << byte;
  // After a byte that leads nothing, a letter is lower-cased.
  std::string name = "\xFD" "A\xA0" "B";
  LowerCaseName(name);
  EXPECT_EQ(name, "\xFD" "a\xA0" "b");
}

}  // namespace
