// The message text buffer run from compiled scripts: literal text and values
// with their width classes, the end sign and the clear before the task's
// next step, the full buffer, and the two system variables.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/process_state.h"
#include "layer/message_text.h"
#include "layer/text_setup.h"
#include "script/command_handlers.h"
#include "script/variables.h"
#include "support/script_runner.h"

namespace {

// A literal as the compiler stores it: the text's own bytes.
Expr Literal(const std::string& text) { return Expr{Bytes(text.begin(), text.end())}; }

std::string Text() { return g_MessageText->mText; }
std::string Classes() { return g_MessageText->mClasses; }

class MessageTextTest : public testing::Test {
 protected:
  void SetUp() override {
    for (uint16_t number : {122, 123}) {
      VariableDefinition definition;
      definition.mVariable = number;
      definition.mType = 3;
      definition.mStringExpression = Str("").mBytes;
      mGame.mData.mDefinitions.push_back(definition);
    }
  }
  // The body runs at SYSTEM_START; setup() after the load, before the first
  // frame.
  void Load(const std::function<void(ScriptAssembler&)>& body, const std::function<void()>& setup = [] {}) {
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    body(code);
    code.Op("wait", {{"frames", Num(100)}});
    mGame.Add(code);
    ASSERT_TRUE(mGame.Load());
    setup();
  }
  // Fills the text with n single-byte characters and their classes.
  static void Fill(int n) {
    std::memset(g_MessageText->mText, 'a', static_cast<size_t>(n));
    std::memset(g_MessageText->mClasses, '1', static_cast<size_t>(n));
    g_MessageText->mTextLength = n;
    g_MessageText->mClassLength = n;
  }
  ScriptRunner mGame;
};

TEST_F(MessageTextTest, MixedTextAndValuesRecordTheirClasses) {
  Load([](ScriptAssembler& code) {
    code.Op("msg_text", {{"text", Literal("\x82\xA0" "a")}});
    code.Op("msg_value", {{"value", Num(12)}});
    code.Op("msg_value", {{"value", Real(1.5)}});
    code.Op("msg_value", {{"value", Str("x\ty\x82\xA2")}});
  });
  mGame.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(Text(), "\x82\xA0" "a121.500000x y\x82\xA2");
  EXPECT_EQ(Classes(), "21" "1111111111" "1112");
  EXPECT_EQ(g_MessageText->mTextLength, 18);
  EXPECT_EQ(g_MessageText->mClassLength, 16);
  // The system variables read the same two strings.
  EXPECT_EQ(EvalTextExpr(Var(122)), Text());
  EXPECT_EQ(EvalTextExpr(Var(123)), Classes());
}

TEST_F(MessageTextTest, ALoneLeadByteAtTheEndKeepsTheTerminator) {
  Load([](ScriptAssembler& code) {
    code.Op("msg_text", {{"text", Literal("a\x82")}});
    code.Op("msg_value", {{"value", Var(kRunText)}});
  }, [] { SetStringElement(kRunText, 0, "b\x82"); });
  mGame.Frame();
  EXPECT_EQ(Text(), "a\x82" "b ");
  EXPECT_EQ(Classes(), "1111");
}

TEST_F(MessageTextTest, TheEndSignEndsTheStepAndTheNextStepStartsEmpty) {
  Load([](ScriptAssembler& code) {
    code.Op("msg_text", {{"text", Literal("ab")}});
    code.Op("msg_end");
    code.Op("msg_text", {{"text", Literal("c")}});
  });
  mGame.Frame();
  EXPECT_EQ(Text(), "ab");
  EXPECT_EQ(Classes(), "11E");
  EXPECT_EQ(g_MessageText->mHasContent, 1);
  mGame.Frame();
  EXPECT_EQ(Text(), "c");
  EXPECT_EQ(Classes(), "1");
  EXPECT_EQ(g_MessageText->mHasContent, 0);
}

TEST_F(MessageTextTest, AppendsWithoutAMessageEndAreNeverCleared) {
  Load([](ScriptAssembler& code) {
    code.Op("msg_text", {{"text", Literal("ab")}});
    code.Op("wait", {{"frames", Num(1)}});
    code.Op("msg_text", {{"text", Literal("c")}});
  });
  mGame.Frame();
  mGame.Frame();
  EXPECT_EQ(Text(), "abc");
  EXPECT_EQ(Classes(), "111");
  EXPECT_EQ(g_MessageText->mHasContent, 0);
}

struct FullCase {
  const char* mWhat;
  int mFilled;
  std::vector<Arg> mArgs;
  MessageId mMessage;  // number 0: accepted
};

TEST_F(MessageTextTest, AFullBufferRefusesAppendsAndKeepsItsText) {
  const FullCase cases[] = {
      {"literal text up to 8190 bytes", 8188, {{"text", Literal("ab")}}, {0, 0}},
      {"literal text reaching 8191 bytes", 8189, {{"text", Literal("ab")}}, kMsgMessageTextFull},
      {"a value up to 8189 bytes", 8187, {{"value", Num(12)}}, {0, 0}},
      {"a value beyond 8189 bytes", 8188, {{"value", Num(12)}}, kMsgMessageTextFull},
      {"a value of 1025 bytes", 0, {{"value", Str(std::string(1025, 'v'))}}, kMsgMessageValueTooLong},
  };
  for (const FullCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    ScriptRunner game;
    ScriptAssembler code = game.Script(0);
    code.Label("SYSTEM_START");
    code.Op(c.mArgs[0].mName == "text" ? "msg_text" : "msg_value", c.mArgs);
    code.Op("wait", {{"frames", Num(1)}});
    game.Add(code);
    ASSERT_TRUE(game.Load());
    Fill(c.mFilled);
    game.Frame();
    if (c.mMessage.mNumber == 0) {
      EXPECT_EQ(g_LastErrorText, "");
      EXPECT_EQ(g_MessageText->mTextLength, c.mFilled + 2);
      EXPECT_EQ(std::strlen(g_MessageText->mText), static_cast<size_t>(c.mFilled + 2));
    } else {
      EXPECT_TRUE(LastReportIs(c.mMessage)) << LastReportTag();
      EXPECT_EQ(g_QuitFlag.load(), 1);
      EXPECT_EQ(g_MessageText->mTextLength, c.mFilled);
      EXPECT_EQ(std::strlen(g_MessageText->mText), static_cast<size_t>(c.mFilled));
    }
  }
}

TEST_F(MessageTextTest, EndSignsStopAtAFullClassBlock) {
  // A full text, then two tasks ending messages in one pass: the second end
  // sign finds no room and is dropped, the terminator stays.
  Load([](ScriptAssembler& code) { code.Op("msg_end"); }, [] { Fill(8190); });
  mGame.Frame();
  EXPECT_EQ(g_MessageText->mClassLength, 8191);
  EXPECT_EQ(g_MessageText->mClasses[8190], 'E');
  EXPECT_EQ(CmdMessageEnd(), -1);
  EXPECT_EQ(g_MessageText->mClassLength, 8191);
  EXPECT_EQ(g_MessageText->mClasses[8191], '\0');
  EXPECT_EQ(g_MessageText->mHasContent, 1);
}

TEST_F(MessageTextTest, TheMessageEndCopiesItsArgumentRecordIntoTheTaskTags) {
  Load([](ScriptAssembler& code) {
    code.Op("msg_end", {{"tag", Literal("xyz")}});
    code.Op("task_query", {{"out", Var(kRunInt)}, {"tag1", Num(1)}});
    code.Op("task_query", {{"out", Var(kRunInt2)}, {"tag2", Num(1)}});
  });
  mGame.Frame();
  EXPECT_EQ(Classes(), "E");
  mGame.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  // Word 0: id 0, a spare byte, value type 1, operator 0; word 1: the length.
  EXPECT_EQ(IntVar(kRunInt), 0x00010000);
  EXPECT_EQ(IntVar(kRunInt2), 3);
  // The new step cleared the buffer first.
  EXPECT_EQ(Classes(), "");
}

TEST_F(MessageTextTest, SystemVariablesWriteBothBlocks) {
  Load([](ScriptAssembler& code) {
    code.Op("assign", {{"target", Var(122)}, {"value", Str("ab\x82\xA0")}});
    code.Op("assign", {{"target", Var(123)}, {"value", Str("112")}});
    code.Op("msg_text", {{"text", Literal("c")}});
  });
  mGame.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(Text(), "ab\x82\xA0" "c");
  EXPECT_EQ(Classes(), "1121");
}

TEST(MessageTextStartTest, StartValuesAndTheClearRule) {
  CreateMessageText();
  EXPECT_EQ(g_MessageText->mWidth, 20);
  EXPECT_EQ(g_MessageText->mHeight, 20);
  EXPECT_EQ(g_MessageText->mColour, 0xFFFFFF);
  EXPECT_EQ(g_MessageText->mSecondColour, -1);
  EXPECT_EQ(g_MessageText->mGradient, 1);
  EXPECT_EQ(g_MessageText->mAntiAlias, 1);
  EXPECT_EQ(g_MessageText->mHasContent, 0);
  std::strcpy(g_MessageText->mText, "kept");
  g_MessageText->mTextLength = 4;
  ClearMessageText();
  EXPECT_EQ(Text(), "kept");
  g_MessageText->mHasContent = 1;
  ClearMessageText();
  EXPECT_EQ(Text(), "");
  EXPECT_EQ(g_MessageText->mTextLength, 0);
}

}  // namespace
