// Text-data files (fields, counts) and text files read into arrays.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layer/message_text.h"
#include "core/errors.h"
#include "oscmd/oscmd_test_util.h"
#include "oscmd/text_data.h"

namespace {

std::vector<std::string> Fields(const std::string& text) {
  std::vector<std::string> fields;
  ScanTextDataFields(text, [&](std::string_view field) { fields.emplace_back(field); });
  return fields;
}

struct FieldCase {
  const char* mName;
  std::string mText;  // as read, with the appended CR LF
  std::vector<std::string> mFields;
  int64_t mCount;
};

TEST(TextDataTest, FieldsAndCountsOfEachKindOfLine) {
  const std::string sjis = "\x82\xA0\x82\xA2";  // two double-byte characters
  const FieldCase cases[] = {
      {"quotes keep a comma", "a, b ,\"c,d\"\r\n", {"a", "b ", "\"c,d\""}, 3},
      {"trailing comma", "x,\r\n", {"x", ""}, 2},
      {"empty line", "\r\n", {""}, 0},
      {"blank line", "  \t \r\n", {""}, 0},
      {"line without a comma is one field", "abc\r\n", {"abc"}, 1},
      {"line feeds only", "a,b\nc\n", {"a", "b", "c"}, 3},
      {"lone carriage returns", "a,b\rc\r", {"a", "b", "c"}, 3},
      {"empty fields", ",,\r\n", {"", "", ""}, 3},
      {"single quotes span lines", "'a,b\r\nc,d'\r\n", {"'a,b", "c,d'"}, 2},
      {"double quote cleared at line end", "\"a\r\nb,c\r\n", {"\"a", "b", "c"}, 3},
      {"Shift-JIS text", sjis + "," + sjis + "x\r\n", {sjis, sjis + "x"}, 2},
      {"two lines with an empty one between", "a,b\r\n\r\nc\r\n", {"a", "b", "", "c"}, 3},
  };
  for (const FieldCase& entry : cases) {
    SCOPED_TRACE(entry.mName);
    EXPECT_EQ(Fields(entry.mText), entry.mFields);
    EXPECT_EQ(CountTextDataFields(entry.mText), entry.mCount);
  }
}

TEST(TextDataTest, AFieldIsCutOnACharacterBoundary) {
  std::string wide;
  for (int i = 0; i < 2100; ++i) wide += "\x82\xA0";
  std::vector<std::string> fields = Fields("a" + wide + ",b\r\n");
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[0].size(), kTextFieldBytes);  // a, then 2047 whole pairs
  EXPECT_EQ(fields[0].back(), '\xA0');
  EXPECT_EQ(fields[1], "b");
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  ScanTextLines(
      text, [&](std::string_view line) { lines.emplace_back(line); },
      [&](std::string_view rest) { lines.push_back("rest:" + std::string(rest)); });
  return lines;
}

TEST(TextDataTest, LinesEndInACarriageReturn) {
  EXPECT_EQ(Lines("A\r\n\r\nB\r\n"), (std::vector<std::string>{"A\r", "\r", "B\r", "rest:"}));
  EXPECT_EQ(Lines("A\nB\rC"), (std::vector<std::string>{"A\r", "B\r", "rest:C"}));
  std::vector<std::string> longLine = Lines(std::string(5000, 'q') + "\r\n");
  ASSERT_EQ(longLine.size(), 2u);
  EXPECT_EQ(longLine[0].size(), kTextLineBytes + 1);
}

class TextDataCommandTest : public testing::Test {
 protected:
  void Write(const std::string& name, const std::string& bytes) { game.mEnv.Write(GameFile{name, Bytes(bytes.begin(), bytes.end())}); }
  ScriptRunner game;
};

TEST_F(TextDataCommandTest, ReadStoresFieldsFromElementZero) {
  Write("data.txt", "a, b ,\"c,d\"\r\nnocomma\n\nx,\r\n");
  RunScript(game, [](ScriptAssembler& code) {
    code.Op("textdata_read", {{"file", Str("DATA.TXT")}, {"out", Elem(kTexts, {Num(3)})}});
    code.Op("textdata_count", {{"file", Str("data.txt")}, {"out", Var(kRunInt)}});
  });
  const std::vector<std::string> expected{"a", "b ", "\"c,d\"", "nocomma", "", "x", "", ""};
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(TextVar(kTexts, static_cast<int64_t>(i)), expected[i]) << i;
  EXPECT_EQ(IntVar(kRunInt), 6);
}

TEST_F(TextDataCommandTest, FieldsPastTheArrayAreDropped) {
  Write("many.txt", "1,2,3,4,5\r\n");
  RunScript(game, [](ScriptAssembler& code) { code.Op("textdata_read", {{"file", Str("many.txt")}, {"out", Var(kRunTextArray)}}); });
  EXPECT_EQ(TextVar(kRunTextArray, 2), "3");
  EXPECT_EQ(g_QuitFlag.load(), 1);  // the end command, not a report
  EXPECT_EQ(LastReportTag(), "");
}

TEST_F(TextDataCommandTest, MissingFileIsReportedAndLeavesTheArray) {
  RunScript(game, [](ScriptAssembler& code) {
    Assign(code, Elem(kTexts, {Num(0)}), Str("keep"));
    code.Op("textdata_read", {{"file", Str("absent.txt")}, {"out", Var(kTexts)}});
  });
  EXPECT_EQ(g_LastErrorText, ExpectedReport(kMsgFileNotFound, {"absent.txt"}));
  EXPECT_EQ(TextVar(kTexts, 0), "keep");
}

TEST_F(TextDataCommandTest, FieldsIntoANumberArrayAreReported) {
  Write("d.txt", "a,b\r\n");
  RunScript(game, [](ScriptAssembler& code) { code.Op("textdata_read", {{"file", Str("d.txt")}, {"out", Var(kNumbers)}}); });
  EXPECT_TRUE(LastReportIs(kMsgElementTypeMismatch)) << LastReportTag();
}

TEST_F(TextDataCommandTest, TextFileReadStoresLinesThenTwoEmptyStrings) {
  Write("sub/lines.txt", "A\r\n\r\nB");
  RunScript(game, [](ScriptAssembler& code) {
    for (int i = 0; i < 16; ++i) Assign(code, Elem(kTexts, {Num(i)}), Str("old"));
    code.Op("textfile_read", {{"file", Str("sub/lines.txt")}, {"out", Var(kTexts)}});
  });
  const std::vector<std::string> expected{"A\r", "\r", "B\r", "", "", "old"};
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(TextVar(kTexts, static_cast<int64_t>(i)), expected[i]) << i;
}

TEST_F(TextDataCommandTest, TextFileReadStopsAtTheFirstDimension) {
  Write("five.txt", "1\n2\n3\n4\n5\n");
  RunScript(game, [](ScriptAssembler& code) { code.Op("textfile_read", {{"file", Str("five.txt")}, {"out", Var(kRunTextArray)}}); });
  EXPECT_EQ(TextVar(kRunTextArray, 0), "1\r");
  EXPECT_EQ(TextVar(kRunTextArray, 2), "3\r");
  EXPECT_EQ(LastReportTag(), "");
}

TEST_F(TextDataCommandTest, TextResetClearsTheMessageText) {
  DeclareTestArrays(game);
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("textfile_read", {{"reset", Num(1)}});
  code.Op("end");
  game.Add(code);
  ASSERT_TRUE(game.Load());
  WriteMessageText("hello", 5);
  g_MessageText->mHasContent = 0;
  game.RunUntilQuit();
  EXPECT_EQ(g_MessageText->mTextLength, 0);
}

}  // namespace
