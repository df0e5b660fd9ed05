// The narrow literals of every build are CP932 bytes: GCC converts them with
// -fexec-charset, Clang builds compile copies made by tools/cp932_literals.
// The ExecutionCharset tests run in both; the converter's own cases follow.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/errors.h"
#include "cp932_literals/cp932_literals.h"

namespace {

std::vector<uint8_t> BytesOf(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::string FromUtf8(const char8_t* text) { return std::string(reinterpret_cast<const char*>(text)); }

TEST(ExecutionCharset, NarrowLiteralsAreCp932) {
  const std::vector<uint8_t> memory = {0x83, 0x81, 0x83, 0x82, 0x83, 0x8A, 0x95, 0x73,
                                       0x91, 0xAB, 0x82, 0xC5, 0x82, 0xB7, 0x81, 0x42};
  EXPECT_EQ(BytesOf("メモリ不足です。"), memory);
  // Trail bytes that are backslashes, next to escapes and digits.
  EXPECT_EQ(BytesOf("ソ表\\1"), (std::vector<uint8_t>{0x83, 0x5C, 0x95, 0x5C, '\\', '1'}));
  EXPECT_EQ(BytesOf("\x41メ0"), (std::vector<uint8_t>{0x41, 0x83, 0x81, '0'}));
  // A universal character name and concatenated pieces.
  EXPECT_EQ(BytesOf("\u30E1" "モ"), (std::vector<uint8_t>{0x83, 0x81, 0x83, 0x82}));
  const char array[] = "。";
  EXPECT_EQ(sizeof(array), 3u);
  // UTF-8 literals stay UTF-8.
  EXPECT_EQ(BytesOf(FromUtf8(u8"メ")), (std::vector<uint8_t>{0xE3, 0x83, 0xA1}));
}

TEST(ExecutionCharset, TheEngineTextsAreCp932) {
  // The engine's own message text, compiled from its own source.
  EXPECT_EQ(BytesOf(GetMessageText(100010)), BytesOf("メモリ不足です。"));
  EXPECT_EQ(static_cast<uint8_t>(GetMessageText(100010)[0]), 0x83);
}

// Both sides are UTF-8 literals: no build converts them.
struct ConversionCase {
  const char8_t* mSource;
  const char8_t* mExpected;
};

class Cp932LiteralsTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(Cp932LiteralsTest, ConvertsOnlyOrdinaryLiterals) {
  std::string output;
  std::string error;
  EXPECT_TRUE(ConvertLiteralsToCp932(FromUtf8(GetParam().mSource), &output, &error)) << error;
  EXPECT_EQ(output, FromUtf8(GetParam().mExpected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Cp932LiteralsTest,
    ::testing::Values(
        ConversionCase{u8R"(a = "メ";)", u8R"(a = "\203\201";)"},
        ConversionCase{u8R"(c = 'メ';)", u8R"(c = '\203\201';)"},
        // Backslash trail bytes, escapes kept, digits after an escape.
        ConversionCase{u8R"("ソ\\x\"メ" "\x41メ1")", u8R"("\203\134\\x\"\203\201" "\x41\203\2011")"},
        ConversionCase{u8R"("\u30E1\U000030E2\n")", u8R"("\203\201\203\202\n")"},
        // Other encodings, comments and numbers stay as they are.
        ConversionCase{u8R"(u8"メ" u"メ" U"メ" L"メ" u8'a' L'メ')", u8R"(u8"メ" u"メ" U"メ" L"メ" u8'a' L'メ')"},
        ConversionCase{u8"// \"メ\" isn't\n/* 'メ' */ x", u8"// \"メ\" isn't\n/* 'メ' */ x"},
        ConversionCase{u8R"(n = 1'000'000 + 0x1'F; s = "メ";)", u8R"(n = 1'000'000 + 0x1'F; s = "\203\201";)"},
        ConversionCase{u8"#error don't\n\"メ\"", u8"#error don't\n\"\\203\\201\""},
        ConversionCase{u8R"(#include "a/b.h")", u8R"(#include "a/b.h")"},
        // Raw strings: kept without such characters, else ordinary pieces
        // on the same lines.
        ConversionCase{u8R"--(R"(a\b)" u8R"(メ)")--", u8R"--(R"(a\b)" u8R"(メ)")--"},
        ConversionCase{u8"R\"x(メ\\\"\n)\")x\" y", u8"\"\\203\\201\\\\\\\"\\n\"\n\")\\\"\" y"},
        // An identifier ending in R or u8 is no prefix.
        ConversionCase{u8R"(ABCR"メ" xu8"メ")", u8R"(ABCR"\203\201" xu8"\203\201")"}));

TEST(Cp932LiteralsTest, KeepsEveryLineWhereItWas) {
  std::string source = FromUtf8(u8"int a;\nconst char* t = \"メモ\\\n\";\n// メ\nchar c = 'ソ';\n");
  std::string output;
  ASSERT_TRUE(ConvertLiteralsToCp932(source, &output, nullptr));
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), std::count(source.begin(), source.end(), '\n'));
}

TEST(Cp932LiteralsTest, ACharacterWithoutACp932FormIsReported) {
  std::string output;
  std::string error;
  EXPECT_FALSE(ConvertLiteralsToCp932(FromUtf8(u8"\"\U0001F600\""), &output, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
