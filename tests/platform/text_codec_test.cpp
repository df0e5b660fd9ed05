// What does not convert between the engine's Shift-JIS and the system's UTF-8
// becomes one '?' per character: a title or file name keeps its length in
// characters, and the text after it is not shifted or merged into it.
// Inputs are written as bytes: narrow literals of this file are Shift-JIS.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/text_codec.h"

namespace {

struct CodecCase {
  const char* mLabel;
  std::string mInput;
  std::string mExpected;
};

void PrintTo(const CodecCase& codecCase, std::ostream* out) { *out << codecCase.mLabel; }

std::string CaseName(const testing::TestParamInfo<CodecCase>& info) { return info.param.mLabel; }

class Cp932ToUtf8Test : public testing::TestWithParam<CodecCase> {};

TEST_P(Cp932ToUtf8Test, EachCharacterThatDoesNotConvertIsOneQuestionMark) {
  EXPECT_EQ(ConvertCp932ToUtf8(GetParam().mInput), GetParam().mExpected);
}

// 0x85 0x40, 0xEB 0x40 and 0xEF 0x9F are double-byte characters of rows
// that have no Unicode mapping; 0x82 0xA0 is HIRAGANA A (U+3042).
INSTANTIATE_TEST_SUITE_P(
    Table, Cp932ToUtf8Test,
    testing::Values(
        CodecCase{"UnmappedDoubleByteCharacter", "a\x85\x40" "b", "a?b"},
        CodecCase{"TwoUnmappedCharactersInARow", "\xEB\x40\xEF\x9F", "??"},
        CodecCase{"UnmappedCharacterWhoseTrailIsALeadByte", "\x85\x9F" "b", "?b"},
        CodecCase{"UnmappedBeforeAMappedCharacter", "\x85\x40\x82\xA0", "?\xE3\x81\x82"},
        CodecCase{"BytesThatStartNoCharacter", "\x80" "a\xA0\xFD\xFE\xFF", "?a????"},
        CodecCase{"LeadByteWithoutATrailByte", "\x81 x", "? x"},
        CodecCase{"LeadByteCutOffAtTheEnd", "ok\x81", "ok?"},
        CodecCase{"UserDefinedAreaConverts", "\xF0\x40", "\xEE\x80\x80"}),
    CaseName);

class Utf8ToCp932Test : public testing::TestWithParam<CodecCase> {};

TEST_P(Utf8ToCp932Test, EachCharacterThatDoesNotConvertIsOneQuestionMark) {
  EXPECT_EQ(ConvertUtf8ToCp932(GetParam().mInput), GetParam().mExpected);
  std::string strict;
  EXPECT_FALSE(TryConvertUtf8ToCp932(GetParam().mInput, strict)) << "the strict form refuses the text";
}

// U+00E9, U+20AC, U+D55C and U+1F600 have no code page 932 form; U+3042 is
// 0x82 0xA0.
INSTANTIATE_TEST_SUITE_P(
    Table, Utf8ToCp932Test,
    testing::Values(
        CodecCase{"TwoByteCharacter", "caf\xC3\xA9!", "caf?!"},
        CodecCase{"ThreeByteCharacters", "\xE2\x82\xAC\xED\x95\x9C", "??"},
        CodecCase{"FourByteCharacter", "[\xF0\x9F\x98\x80]", "[?]"},
        CodecCase{"UnmappedBeforeAMappedCharacter", "\xC3\xA9\xE3\x81\x82", "?\x82\xA0"},
        CodecCase{"StrayContinuationAndInvalidBytes", "\x80" "a\xBF\xFF", "?a??"},
        CodecCase{"OverlongFormIsTwoInvalidBytes", "\xC0\xAF", "??"},
        CodecCase{"EncodedSurrogateIsThreeInvalidBytes", "\xED\xA0\x80", "???"},
        CodecCase{"CharacterCutOffBeforeText", "\xE3\x81" "a", "?a"},
        CodecCase{"CharacterCutOffAtTheEnd", "a\xF0\x9F\x98", "a?"}),
    CaseName);

TEST(TextCodecRoundTripTest, AnUnmappedCharacterComesBackAsOneQuestionMark) {
  // A name with a character the system cannot show, and back.
  std::string utf8 = ConvertCp932ToUtf8("\x83\x51\x85\x40\x83\x80");
  EXPECT_EQ(utf8, "\xE3\x82\xB2?\xE3\x83\xA0");
  EXPECT_EQ(ConvertUtf8ToCp932(utf8), "\x83\x51?\x83\x80");
}

}  // namespace
