// The variable commands: conversions, Shift-JIS substrings and removal,
// case and width, array resize, insert and delete, group resets and the
// questions about a variable.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "platform/text_codec.h"
#include "script/variables.h"
#include "support/dialog_recorder.h"
#include "support/script_runner.h"

namespace {

void Assign(ScriptAssembler& code, const Expr& target, const Expr& value, uint8_t op = 0) {
  code.Op("assign", {{"target", target, op}, {"value", value}});
}

void RunScript(ScriptRunner& game, const std::function<void(ScriptAssembler&)>& body) {
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  body(code);
  code.Op("end");
  game.Add(code);
  ASSERT_TRUE(game.Load());
  game.RunUntilQuit();
}

// Five double-byte characters: あいうえお.
const std::string kFiveWide = "\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8";

struct CutCase {
  const char* mOp;  // "substr" or "remove"
  std::string mText;
  int64_t mStart;
  int64_t mLength;
  std::string mExpected;  // ignored when an error is expected
  int32_t mError;         // 0: none
};

TEST(VariableOpsTest, SubstringAndRemoval) {
  const CutCase cases[] = {
      {"substr", kFiveWide, 2, 3, kFiveWide.substr(2, 6), 0},
      {"substr", "abcdef", 0, 2, "ab", 0},
      {"substr", "abcdef", 3, 0, "", 0},
      {"substr", "abc", 3, 1, "c", 0},
      {"substr", "abc", 5, 1, "", 120010},
      {"substr", "abc", 2, 3, "", 120020},
      {"remove", "abcdef", 1, 1, "bcdef", 0},
      {"remove", kFiveWide, 2, 2, kFiveWide.substr(0, 2) + kFiveWide.substr(6), 0},
      {"remove", "abc", 9, 1, "", 120110},
      {"remove", "abc", 1, 4, "", 120120},
  };
  for (const CutCase& entry : cases) {
    SCOPED_TRACE(testing::Message() << entry.mOp << " " << entry.mStart << " " << entry.mLength);
    ScriptRunner game;
    RunScript(game, [&](ScriptAssembler& code) {
      Assign(code, Var(kRunText), Str(entry.mText));
      code.Op("var_ops", {{"a", Var(kRunText)},
                          {"b", Elem(kRunTextArray, {Num(1)})},
                          {entry.mOp, Num(1)},
                          {"start", Num(entry.mStart)},
                          {"length", Num(entry.mLength)}});
    });
    if (entry.mError != 0) {
      EXPECT_TRUE(LastReportIs(entry.mError)) << LastReportTag();
    } else {
      EXPECT_EQ(g_LastErrorText, "");
      EXPECT_EQ(TextVar(kRunTextArray, 1), entry.mExpected);
      EXPECT_EQ(TextVar(kRunText), entry.mText);
    }
  }
}

TEST(VariableOpsTest, SubstringWithoutBIntoA) {
  ScriptRunner game;
  RunScript(game, [](ScriptAssembler& code) {
    Assign(code, Var(kRunText), Str("hello"));
    code.Op("var_ops", {{"a", Var(kRunText)}, {"substr", Num(1)}, {"start", Num(2)}, {"length", Num(3)}});
    code.Op("var_ops",
            {{"a", Var(kRunInt)}, {"b", Var(kRunText)}, {"substr", Num(1)}, {"start", Num(1)}, {"length", Num(1)}});
  });
  EXPECT_EQ(TextVar(kRunText), "ell");
  EXPECT_TRUE(LastReportIs(kMsgNotAStringVariable)) << LastReportTag();
}

TEST(VariableOpsTest, Conversions) {
  ScriptRunner game;
  RunScript(game, [](ScriptAssembler& code) {
    Assign(code, Elem(kRunTextArray, {Num(0)}), Str("0x1F"));
    code.Op("var_ops", {{"a", Elem(kRunTextArray, {Num(0)})}, {"b", Var(kRunInt)}, {"convert", Num(1)}});
    Assign(code, Elem(kRunTextArray, {Num(1)}), Str("2.5"));
    code.Op("var_ops", {{"a", Elem(kRunTextArray, {Num(1)})}, {"b", Var(kRunInt2)}, {"convert", Num(1)}});
    code.Op("var_ops", {{"a", Elem(kRunTextArray, {Num(1)})}, {"b", Var(kRunReal)}, {"convert", Num(1)}});
    Assign(code, Elem(kRunIntList, {Num(0)}), Num(-42));
    code.Op("var_ops", {{"a", Elem(kRunIntList, {Num(0)})}, {"b", Var(kRunText)}, {"convert", Num(1)}});
    Assign(code, Elem(kRunRealArray, {Num(0)}), Real(1.5));
    code.Op("var_ops",
            {{"a", Elem(kRunRealArray, {Num(0)})}, {"b", Elem(kRunTextArray, {Num(2)})}, {"convert", Num(1)}});
    code.Op("var_ops", {{"a", Var(kRunInt)}, {"b", Var(kRunInt2)}, {"convert", Num(1)}});
  });
  EXPECT_EQ(IntVar(kRunInt), 31);
  EXPECT_EQ(IntVar(kRunInt2), 2);
  EXPECT_DOUBLE_EQ(RealVar(kRunReal), 2.5);
  EXPECT_EQ(TextVar(kRunText), "-42");
  EXPECT_EQ(TextVar(kRunTextArray, 2), "1.500000");
  EXPECT_TRUE(LastReportIs(kMsgConversionTypeMismatch)) << LastReportTag();
}

TEST(VariableOpsTest, TextsThatAreNotNumbers) {
  for (const std::string& text :
       std::vector<std::string>{"0x", "0x12345678901234567", "0xZ1", "12a", "1 2", kFiveWide}) {
    SCOPED_TRACE(text);
    ScriptRunner game;
    RunScript(game, [&](ScriptAssembler& code) {
      Assign(code, Var(kRunText), Str(text));
      code.Op("var_ops", {{"a", Var(kRunText)}, {"b", Var(kRunInt)}, {"convert", Num(1)}});
    });
    EXPECT_TRUE(LastReportIs(kMsgTextNotANumber)) << LastReportTag();
  }
}

struct TextCase {
  const char* mFlag;
  std::string mText;
  std::string mExpected;
};

TEST(VariableOpsTest, CaseAndWidth) {
  const TextCase cases[] = {
      // The table's names of ids 7-10: 7 ASCII upper, 8 multibyte upper, 9
      // ASCII
      // lower, 10 multibyte lower.
      {"upper", "abZ\x82\x81", "ABZ\x82\x81"},  // full-width a left alone
      {"lower", "abZ\x82\x81", "ABZ\x82\x60"},  // full-width a becomes full-width A
      {"half", "ABz\x82\x60", "abz\x82\x60"},
      {"full", "ABz\x82\x60", "abz\x82\x81"},
      {"upper", "\x83\x61x", "\x83\x61X"},  // a trail byte is never a letter
      {"wide", "A1 ~\xB1\xDE", "\x82\x60\x82\x50\x81\x40\x81\x60\x83\x41\x81\x4A"},
      {"narrow", "\x82\x60\x82\x50\x81\x40\x83\x41\x82\xA0", "A1 \xB1\x82\xA0"},  // hiragana has no half form
  };
  for (const TextCase& entry : cases) {
    SCOPED_TRACE(entry.mFlag);
    ScriptRunner game;
    RunScript(game, [&](ScriptAssembler& code) {
      Assign(code, Var(kRunText), Str(entry.mText));
      code.Op("var_ops", {{"a", Var(kRunText)}, {"b", Elem(kRunTextArray, {Num(0)})}, {entry.mFlag, Num(1)}});
    });
    EXPECT_EQ(g_LastErrorText, "");
    EXPECT_EQ(TextVar(kRunTextArray, 0), entry.mExpected);
  }
}

// Every character that widens, checked against the system converter: the
// printable ASCII characters become U+3000 and U+FF01-U+FF5E, the half-width
// katakana their full-width forms (the sound marks the spacing ones), and
// narrowing brings all of them back.
TEST(VariableOpsTest, WideningMatchesTheSystemConverterAndNarrowingReturns) {
  std::string narrow;
  std::u32string wide = U"\u3000";
  narrow += ' ';
  for (char32_t c = 0x21; c <= 0x7E; ++c) {
    narrow += static_cast<char>(c);
    wide += static_cast<char32_t>(0xFF01 + (c - 0x21));
  }
  for (int c = 0xA1; c <= 0xDF; ++c) narrow += static_cast<char>(c);
  wide += U"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン゛゜";
  std::string wideUtf8;
  for (char32_t c : wide) {
    if (c < 0x800) {
      wideUtf8 += static_cast<char>(0xC0 | (c >> 6));
    } else {
      wideUtf8 += static_cast<char>(0xE0 | (c >> 12));
      wideUtf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    wideUtf8 += static_cast<char>(0x80 | (c & 0x3F));
  }
  std::string expected;
  ASSERT_TRUE(TryConvertUtf8ToCp932(wideUtf8, expected));
  ASSERT_EQ(expected.size(), 2 * narrow.size());

  ScriptRunner game;
  RunScript(game, [&](ScriptAssembler& code) {
    Assign(code, Var(kRunText), Str(narrow));
    code.Op("var_ops", {{"a", Var(kRunText)}, {"b", Elem(kRunTextArray, {Num(0)})}, {"wide", Num(1)}});
    code.Op("var_ops", {{"a", Elem(kRunTextArray, {Num(0)})}, {"b", Elem(kRunTextArray, {Num(1)})}, {"narrow", Num(1)}});
    // The other codes of the full-width quotation mark and apostrophe.
    Assign(code, Var(kRunText), Str("\xEE\xFC\xEE\xFB"));
    code.Op("var_ops", {{"a", Var(kRunText)}, {"b", Elem(kRunTextArray, {Num(2)})}, {"narrow", Num(1)}});
  });
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(TextVar(kRunTextArray, 0), expected);
  EXPECT_EQ(TextVar(kRunTextArray, 1), narrow);
  EXPECT_EQ(TextVar(kRunTextArray, 2), "\"'");
}

TEST(VariableOpsTest, WideningCutsOnACharacterBoundary) {
  ScriptRunner game;
  RunScript(game, [](ScriptAssembler& code) {
    Assign(code, Var(kRunText), Str(std::string(3000, 'a')));
    code.Op("var_ops", {{"a", Var(kRunText)}, {"b", Elem(kRunTextArray, {Num(0)})}, {"wide", Num(1)}});
  });
  std::string wide = TextVar(kRunTextArray, 0);
  EXPECT_EQ(wide.size(), 4094u);
  EXPECT_EQ(wide.substr(4092), "\x82\x81");
}

TEST(VariableOpsTest, ResizeInsertDelete) {
  ScriptRunner game;
  game.mData.mDefinitions.push_back({1, 1, 0, kRunFree, 1, {10}, 0, 0, {}});
  DialogRecorder dialogs;
  RunScript(game, [](ScriptAssembler& code) {
    for (int i = 0; i < 10; ++i) Assign(code, Elem(kRunFree, {Num(i)}), Num(i + 1));
    code.Op("var_ops", {{"a", Var(kRunFree)}, {"resize", Num(5), 1}});
    Assign(code, Elem(kRunIntList, {Num(0)}), Num(1));
    Assign(code, Elem(kRunIntList, {Num(1)}), Num(2));
    Assign(code, Elem(kRunIntList, {Num(2)}), Num(3));
    code.Op("var_ops", {{"a", Var(kRunIntList)}, {"insert", Num(0)}});
    Assign(code, Elem(kRunTextArray, {Num(0)}), Str("x"));
    Assign(code, Elem(kRunTextArray, {Num(1)}), Str("y"));
    Assign(code, Elem(kRunTextArray, {Num(2)}), Str("z"));
    code.Op("var_ops", {{"a", Var(kRunTextArray)}, {"delete", Num(0)}});
    code.Op("var_ops", {{"a", Var(kRunFree)}, {"resize", Num(0), 0}});
  });
  const VariableRecord* record = FindVariableRecord(kRunFree);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->mDims[0], 15);
  EXPECT_EQ(record->mCount, 15);
  EXPECT_EQ(IntVar(kRunFree, 9), 10);
  EXPECT_EQ(IntVar(kRunFree, 10), 0);
  EXPECT_EQ(IntVar(kRunFree, 14), 0);
  EXPECT_EQ(IntVar(kRunIntList, 0), 0);
  EXPECT_EQ(IntVar(kRunIntList, 1), 1);
  EXPECT_EQ(IntVar(kRunIntList, 2), 2);
  EXPECT_EQ(TextVar(kRunTextArray, 0), "y");
  EXPECT_EQ(TextVar(kRunTextArray, 1), "z");
  EXPECT_EQ(TextVar(kRunTextArray, 2), "");
  ASSERT_EQ(dialogs.mBoxes.size(), 1u);
  EXPECT_EQ(dialogs.mBoxes[0].mText, "変更後の配列サイズが不正です。");
}

TEST(VariableOpsTest, ArrayOperationsRefuseOtherShapesAndBadPositions) {
  struct Case {
    const char* mFlag;
    uint32_t mVariable;
    int64_t mValue;
    const char* mBox;  // nullptr: a report is expected
  };
  const Case cases[] = {
      {"insert", kRunIntArray, 0,
       "配列挿入処理をしようとしましたが、この変数は１次元配列ではありません"
       "。"},
      {"delete", kRunInt, 0,
       "配列削除処理をしようとしましたが、この変数は１次元配列ではありません"
       "。"},
      {"resize", kRunIntArray, 2,
       "配列サイズを変更しようとしましたが、この変数は１次元配列ではありません"
       "。"},
      {"insert", kRunIntList, 3, nullptr},
      {"insert", kRunIntList, -1, nullptr},
      {"delete", kRunIntList, 3, nullptr},
  };
  for (const Case& entry : cases) {
    SCOPED_TRACE(testing::Message() << entry.mFlag << " " << entry.mValue);
    ScriptRunner game;
    DialogRecorder dialogs;
    RunScript(game, [&](ScriptAssembler& code) {
      code.Op("var_ops", {{"a", Var(entry.mVariable)}, {entry.mFlag, Num(entry.mValue)}});
    });
    if (entry.mBox != nullptr) {
      ASSERT_EQ(dialogs.mBoxes.size(), 1u);
      EXPECT_EQ(dialogs.mBoxes[0].mText, entry.mBox);
    } else {
      EXPECT_TRUE(LastReportIs(kMsgArgumentOutOfRange)) << LastReportTag();
    }
  }
}

TEST(VariableOpsTest, GroupResetFollowsTheMasks) {
  ScriptRunner game;
  auto define = [&](uint16_t number, uint8_t group, uint8_t type, uint8_t scope = 1) {
    VariableDefinition definition;
    definition.mScope = scope;
    definition.mGroup = group;
    definition.mVariable = number;
    definition.mType = type;
    definition.mInt = 5;
    definition.mReal = 5.0;
    if (type == 3) definition.mStringExpression = Str("five").mBytes;
    game.mData.mDefinitions.push_back(definition);
  };
  define(1100, 1, 1);     // integer group 1: reset
  define(1101, 2, 1);     // integer group 2: kept
  define(1102, 1, 2);     // real group 1: kept
  define(1103, 1, 3);     // string group 1: kept
  define(1104, 0, 2);     // group 0: always
  define(1105, 5, 3);     // group 5: always
  define(1106, 0, 1, 3);  // not global: kept
  RunScript(game, [](ScriptAssembler& code) {
    for (uint32_t n : {1100u, 1101u, 1106u}) Assign(code, Var(n), Num(9));
    for (uint32_t n : {1102u, 1104u}) Assign(code, Var(n), Real(9));
    for (uint32_t n : {1103u, 1105u}) Assign(code, Var(n), Str("nine"));
    code.Op("var_ops", {{"reset", Num(1)}, {"int_g1", Num(1)}});
  });
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(1100), 5);
  EXPECT_EQ(IntVar(1101), 9);
  EXPECT_DOUBLE_EQ(RealVar(1102), 9.0);
  EXPECT_EQ(TextVar(1103), "nine");
  EXPECT_DOUBLE_EQ(RealVar(1104), 5.0);
  EXPECT_EQ(TextVar(1105), "five");
  EXPECT_EQ(IntVar(1106), 9);
}

TEST(VariableInfoTest, Answers) {
  ScriptRunner game;
  RunScript(game, [](ScriptAssembler& code) {
    Assign(code, Var(kRunText), Str(kFiveWide + "ab"));
    Assign(code, Elem(kRunTextArray, {Num(0)}), Str("pear"));
    Assign(code, Elem(kRunTextArray, {Num(1)}), Str("apple"));
    Assign(code, Elem(kRunTextArray, {Num(2)}), Str("apple"));
    Assign(code, Elem(kRunIntList, {Num(1)}), Num(7));
    auto ask = [&](uint32_t a, int row, std::vector<Arg> extra) {
      std::vector<Arg> args = {{"a", Var(a)}, {"b", Elem(kRunIntArray, {Num(row / 4), Num(row % 4)})}};
      args.insert(args.end(), extra.begin(), extra.end());
      code.Op("var_info", args);
    };
    ask(kRunReal, 0, {{"type", Num(1)}});
    ask(kRunIntArray, 1, {{"dims", Num(1)}});
    ask(kRunIntArray, 2, {{"dim1", Num(1)}});
    ask(kRunText, 3, {{"length", Num(1)}});
    ask(kRunText, 4, {{"char_class", Num(1)}});
    ask(kRunText, 5, {{"char_code", Num(1)}});
    ask(kRunIntList, 6, {{"search", Num(1)}, {"int_value", Num(7)}});
    ask(kRunIntList, 7, {{"search", Num(1)}, {"int_value", Num(8)}});
    ask(kRunTextArray, 8, {{"search", Num(1)}, {"text", Str("apple")}, {"from", Num(2)}});
    ask(kRunTextArray, 9, {{"smallest", Num(1)}});
    ask(kRunTextArray, 10, {{"smallest", Num(1)}, {"from", Num(-5)}, {"to", Num(0)}});
    ask(kRunIntList, 11, {{"search", Num(1)}, {"int_value", Num(0)}, {"from", Num(9)}});
  });
  EXPECT_EQ(g_LastErrorText, "");
  const int64_t expected[] = {2, 2, 4, 7, 2, 0x82A0, 1, -1, 2, 1, 0, -1};
  for (int row = 0; row < 12; ++row) EXPECT_EQ(IntVar(kRunIntArray, row), expected[row]) << "row " << row;
}

TEST(VariableInfoTest, EmptyTextHasNoCharacterClass) {
  ScriptRunner game;
  RunScript(game, [](ScriptAssembler& code) {
    code.Op("var_info", {{"a", Var(kRunText)}, {"b", Var(kRunInt)}, {"char_code", Num(1)}});
    Assign(code, Var(kRunInt2), Num(1));
    code.Op("var_info", {{"a", Var(kRunText)}, {"b", Var(kRunInt2)}, {"char_class", Num(1)}});
  });
  EXPECT_EQ(IntVar(kRunInt), 0);
  EXPECT_EQ(IntVar(kRunInt2), 1);
  EXPECT_TRUE(LastReportIs(kMsgEmptyTextCharClass)) << LastReportTag();
}

}  // namespace
