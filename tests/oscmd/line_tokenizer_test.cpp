// The line tokenizer: the token table of lines of each kind, the block
// comment carried from line to line, and the string lengths.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "oscmd/line_tokenizer.h"
#include "oscmd/oscmd_test_util.h"
#include "script/variables.h"

namespace {

using Tokens = std::vector<std::pair<std::string, int64_t>>;

class LineTokenizerTest : public testing::Test {
 protected:
  void SetUp() override {
    RunScript(game, [](ScriptAssembler&) {});
    g_QuitFlag = 0;
  }
  // Tokenizes from element 0 and reads the tokens back.
  Tokens Tokenize(const std::string& line, int64_t* count = nullptr) {
    int64_t n = TokenizeLine(line.c_str(), VariableRef(kTexts), VariableRef(kNumbers), VariableRef(kRunInt));
    if (count != nullptr) *count = n;
    Tokens tokens;
    for (int64_t i = 0; i < n; ++i) tokens.emplace_back(TextVar(kTexts, i), IntVar(kNumbers, i));
    return tokens;
  }
  ScriptRunner game;
};

struct LineCase {
  const char* mName;
  std::string mLine;
  Tokens mTokens;
  int64_t mCommentAfter;
};

TEST_F(LineTokenizerTest, TokenTableOfEachKindOfLine) {
  const std::string wide = "\x82\xA0\x82\xA2";  // two double-byte characters
  const LineCase cases[] = {
      {"compound add", "a+=b;", {{"a", 32}, {"+=", 12}, {"b", 32}}, 0},
      {"mul assign and CR", "x*=2\r", {{"x", 32}, {"*=", 14}, {"2", 32}, {"\r", 16}}, 0},
      {"open word at the end is dropped", "x*=2", {{"x", 32}, {"*=", 14}}, 0},
      {"line comment", "//abc", {{"\r", 0}}, 0},
      {"line comment after tokens", "a // b c", {{"a", 32}, {"\r", 0}}, 0},
      {"string literal", "\"ab\" ", {{"\"ab\"", 31}}, 0},
      {"string closed by CR", "\"ab\rc ", {{"\"ab\r", 31}, {"c", 32}}, 0},
      {"increment and div assign", "i++ j /=3\r", {{"i", 32}, {"++", 11}, {"j", 32}, {"/=", 15}, {"3", 32}, {"\r", 16}}, 0},
      {"minus before equals", "-=\r", {{"-", 32}, {"=", 16}, {"\r", 16}}, 0},
      {"punctuation", "\\(),@$\r", {{"\\", 51}, {"(", 52}, {")", 53}, {",", 54}, {"@", 55}, {"$", 56}, {"\r", 16}}, 0},
      {"hash swallows equals", "#=x\r", {{"#", 57}, {"x", 32}, {"\r", 16}}, 0},
      {"hash alone", "# \r", {{"#", 57}, {"\r", 16}}, 0},
      {"words with dots and slashes", "a.b/c_d e\r", {{"a.b/c_d", 32}, {"e", 32}, {"\r", 16}}, 0},
      {"tabs and blanks separate", "\ta \t b\r", {{"a", 32}, {"b", 32}, {"\r", 16}}, 0},
      {"double-byte word", wide + "x=\r", {{wide + "x", 32}, {"=", 16}, {"\r", 16}}, 0},
      {"block comment opened", "/* abc", {}, 1},
      {"block comment with line end", "/* a\r", {{"\r", 0}}, 1},
      {"other single characters", "a<b\r", {{"a", 32}, {"<", 16}, {"b", 32}, {"\r", 16}}, 0},
  };
  for (const LineCase& entry : cases) {
    SCOPED_TRACE(entry.mName);
    SetNumberElement(kRunInt, 0, 0);
    EXPECT_EQ(Tokenize(entry.mLine), entry.mTokens);
    EXPECT_EQ(IntVar(kRunInt), entry.mCommentAfter);
  }
}

TEST_F(LineTokenizerTest, BlockCommentCarriesToTheNextLine) {
  SetNumberElement(kRunInt, 0, 0);
  Tokenize("/* word");
  EXPECT_EQ(IntVar(kRunInt), 1);
  // The closing text lands in element 0 without a kind or a count; the open
  // word y at the end of the line is not stored.
  SetNumberElement(kNumbers, 0, 77);
  EXPECT_EQ(Tokenize("word*/ y"), (Tokens{}));
  EXPECT_EQ(TextVar(kTexts, 0), "word*/");
  EXPECT_EQ(IntVar(kNumbers, 0), 77);
  EXPECT_EQ(IntVar(kRunInt), 0);
  // With a line end y is stored and takes element 0.
  SetNumberElement(kRunInt, 0, 1);
  EXPECT_EQ(Tokenize("word*/ y\r"), (Tokens{{"y", 32}, {"\r", 16}}));
  EXPECT_EQ(IntVar(kRunInt), 0);
}

TEST_F(LineTokenizerTest, TokensStartAtTheReferencedElement) {
  SetNumberElement(kRunInt, 0, 0);
  int64_t count = TokenizeLine("a b\r", VariableRef(kTexts, 5), VariableRef(kNumbers, 7), VariableRef(kRunInt));
  EXPECT_EQ(count, 3);
  EXPECT_EQ(TextVar(kTexts, 5), "a");
  EXPECT_EQ(TextVar(kTexts, 6), "b");
  EXPECT_EQ(IntVar(kNumbers, 7), 32);
  EXPECT_EQ(IntVar(kNumbers, 9), 16);
}

TEST_F(LineTokenizerTest, TokensPastTheArraysAreCountedButNotWritten) {
  SetNumberElement(kRunInt, 0, 0);
  int64_t count = TokenizeLine("a b c\r", VariableRef(kTexts, 14), VariableRef(kNumbers, 14), VariableRef(kRunInt));
  EXPECT_EQ(count, 4);
  EXPECT_EQ(TextVar(kTexts, 15), "b");
  EXPECT_EQ(IntVar(kNumbers, 15), 32);
}

TEST_F(LineTokenizerTest, AWordAtALeadByteBeforeTheTerminatorStopsThere) {
  SetNumberElement(kRunInt, 0, 0);
  std::string line = "ab\x82";
  EXPECT_EQ(Tokenize(line), (Tokens{}));
  EXPECT_EQ(Tokenize("\x82"), (Tokens{}));
}

TEST_F(LineTokenizerTest, KindsIntoARealArrayAndIntoAStringArray) {
  SetNumberElement(kRunInt, 0, 0);
  TokenizeLine("a\r", VariableRef(kTexts), VariableRef(kReals), VariableRef(kRunInt));
  EXPECT_EQ(RealVar(kReals, 0), 32.0);
  EXPECT_EQ(RealVar(kReals, 1), 16.0);
  TokenizeLine("a\r", VariableRef(kTexts), VariableRef(kTexts2), VariableRef(kRunInt));
  EXPECT_TRUE(LastReportIs(kMsgElementTypeMismatch)) << LastReportTag();
}

struct LengthCase {
  const char* mName;
  std::vector<std::string> mStrings;
  uint32_t mStart;
  int64_t mCount;
  std::vector<int64_t> mLengths;
};

TEST_F(LineTokenizerTest, StringLengthsUpToTheFirstEmptyString) {
  const LengthCase cases[] = {
      {"three", {"ab", "c", "", "zzz"}, 0, 2, {2, 1, 0}},
      {"from an offset", {"x", "", "abcd", "\x82\xA0"}, 2, 2, {4, 2, 0}},
      {"first is empty", {"", "a"}, 0, 0, {0}},
  };
  for (const LengthCase& entry : cases) {
    SCOPED_TRACE(entry.mName);
    for (int64_t i = 0; i < 16; ++i) {
      SetStringElement(kTexts, i, "");
      SetNumberElement(kNumbers, i, -1);
    }
    for (size_t i = 0; i < entry.mStrings.size(); ++i) SetStringElement(kTexts, static_cast<int64_t>(i), entry.mStrings[i].c_str());
    EXPECT_EQ(StoreStringLengths(VariableRef(kTexts, entry.mStart), VariableRef(kNumbers, entry.mStart)), entry.mCount);
    for (size_t i = 0; i < entry.mLengths.size(); ++i) EXPECT_EQ(IntVar(kNumbers, entry.mStart + i), entry.mLengths[i]);
    EXPECT_EQ(IntVar(kNumbers, entry.mStart + entry.mLengths.size()), -1);
  }
}

TEST_F(LineTokenizerTest, StringLengthsStopAtTheEndOfEitherArray) {
  for (int64_t i = 0; i < 16; ++i) SetStringElement(kTexts, i, "abc");
  // Sixteen strings without an empty one: the walk ends with the arrays.
  EXPECT_EQ(StoreStringLengths(VariableRef(kTexts), VariableRef(kNumbers)), 16);
  EXPECT_EQ(IntVar(kNumbers, 15), 3);
  // A shorter lengths array ends it sooner and nothing is written past it.
  EXPECT_EQ(StoreStringLengths(VariableRef(kTexts), VariableRef(kRunIntList)), 3);
  EXPECT_EQ(IntVar(kRunIntList, 2), 3);
  // An element index past 32 bits does not wrap onto element 0.
  SetNumberElement(kNumbers2, 0, -5);
  EXPECT_EQ(StoreStringLengths(VariableRef(kTexts, 0xFFFFFFFFu), VariableRef(kNumbers2, 0xFFFFFFFFu)), 0);
  EXPECT_EQ(IntVar(kNumbers2, 0), -5);
}

TEST_F(LineTokenizerTest, TheOsCommandTokenizesAndMeasuresThroughReferences) {
  ScriptRunner second;
  RunScript(second, [](ScriptAssembler& code) {
    Assign(code, Var(kRunText), Str("a+=b;"));
    Assign(code, Elem(kNumbers2, {Num(0)}), Num(VariableRef(kTexts)));
    Assign(code, Elem(kNumbers2, {Num(1)}), Num(VariableRef(kNumbers)));
    Assign(code, Elem(kNumbers2, {Num(2)}), Num(VariableRef(kRunInt2)));
    Assign(code, Elem(kNumbers2, {Num(3)}), Num(VariableRef(kRunIntList)));
    code.Op("os", {{"sub", Num(22)},
                   {"out", Var(kRunInt)},
                   {"s1", Var(kRunText)},
                   {"n", Elem(kNumbers2, {Num(0)})},
                   {"p", Elem(kNumbers2, {Num(1)})},
                   {"q", Elem(kNumbers2, {Num(2)})}});
    code.Op("os", {{"sub", Num(23)}, {"out", Elem(kRunIntArray, {Num(0), Num(0)})}, {"n", Elem(kNumbers2, {Num(0)})},
                   {"p", Elem(kNumbers2, {Num(3)})}});
  });
  EXPECT_EQ(IntVar(kRunInt), 3);
  EXPECT_EQ(TextVar(kTexts, 1), "+=");
  EXPECT_EQ(IntVar(kNumbers, 1), 12);
  EXPECT_EQ(IntVar(kRunIntArray, 0), 3);
  EXPECT_EQ(IntVar(kRunIntList, 1), 2);
}

}  // namespace
