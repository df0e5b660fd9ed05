// The message box command: buttons, icons and default buttons, the answers
// as scripts see them, and the one-line input dialog.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "oscmd/oscmd_test_util.h"
#include "platform/dialogs.h"

namespace {

struct BoxCase {
  const char* mName;
  std::vector<Arg> mArgs;
  int mPressed;
  uint32_t mStyle;
  int64_t mAnswer;
};

TEST(MessageBoxTest, ButtonsIconsAndAnswers) {
  const BoxCase cases[] = {
      {"OK only", {}, kAnswerOk, kBoxOk, 1},
      {"OK/Cancel cancelled", {{"okcancel", Num(1)}}, kAnswerCancel, kBoxOkCancel, 2},
      {"Yes/No answered No", {{"yesno", Num(1)}}, kAnswerNo, kBoxYesNo, 2},
      {"Yes/No/Cancel wins over Yes/No", {{"yesno", Num(1)}, {"yesnocancel", Num(1)}}, kAnswerCancel, kBoxYesNoCancel, 3},
      {"Yes/No over OK/Cancel", {{"okcancel", Num(1)}, {"yesno", Num(1)}}, kAnswerYes, kBoxYesNo, 1},
      {"information icon", {{"icon", Num(1)}}, kAnswerOk, kBoxIconInformation, 1},
      {"question icon", {{"icon", Num(2)}}, kAnswerOk, kBoxIconQuestion, 1},
      {"warning icon", {{"icon", Num(3)}}, kAnswerOk, kBoxIconWarning, 1},
      {"error icon", {{"icon", Num(4)}}, kAnswerOk, kBoxIconError, 1},
      {"unknown icon", {{"icon", Num(9)}}, kAnswerOk, kBoxOk, 1},
      {"second default button", {{"okcancel", Num(1)}, {"default_button", Num(2)}}, kAnswerOk,
       kBoxOkCancel | kBoxDefaultSecond, 1},
      {"third default button", {{"yesnocancel", Num(1)}, {"default_button", Num(3)}}, kAnswerYes,
       kBoxYesNoCancel | kBoxDefaultThird, 1},
      {"other default button", {{"default_button", Num(7)}}, kAnswerOk, kBoxOk, 1},
  };
  for (const BoxCase& entry : cases) {
    SCOPED_TRACE(entry.mName);
    ScriptRunner game;
    game.mEnv.mDialogs.mBoxAnswers.push_back(entry.mPressed);
    RunScript(game, [&](ScriptAssembler& code) {
      std::vector<Arg> args{{"caption", Str("Title")}, {"text", Str("Body")}, {"answer", Var(kRunInt)}};
      args.insert(args.end(), entry.mArgs.begin(), entry.mArgs.end());
      code.Op("msgbox", args);
    });
    ASSERT_EQ(game.mEnv.mDialogs.mBoxes.size(), 1u);
    EXPECT_EQ(game.mEnv.mDialogs.mBoxes[0].mCaption, "Title");
    EXPECT_EQ(game.mEnv.mDialogs.mBoxes[0].mText, "Body");
    EXPECT_EQ(game.mEnv.mDialogs.mBoxes[0].mStyle, entry.mStyle);
    EXPECT_EQ(IntVar(kRunInt), entry.mAnswer);
  }
}

TEST(MessageBoxTest, AnswersIntoARealAndIntoAString) {
  ScriptRunner game;
  game.mEnv.mDialogs.mBoxAnswers = {kAnswerNo, kAnswerOk};
  RunScript(game, [](ScriptAssembler& code) {
    code.Op("msgbox", {{"yesno", Num(1)}, {"answer", Var(kRunReal)}});
    code.Op("msgbox", {{"answer", Var(kRunText)}});
  });
  EXPECT_EQ(RealVar(kRunReal), 2.0);
  EXPECT_TRUE(LastReportIs(kMsgElementTypeMismatch)) << LastReportTag();
}

TEST(MessageBoxTest, SilentSwitchShowsNothing) {
  ScriptRunner game;
  RunScript(game, [](ScriptAssembler& code) {
    code.Op("msgbox", {{"text", Str("x")}, {"silent", Num(0)}, {"answer", Var(kRunInt)}});
    code.Op("msgbox", {{"text", Str("x")}, {"input", Num(1)}, {"silent", Num(1)}, {"answer", Var(kRunInt)}});
  });
  EXPECT_TRUE(game.mEnv.mDialogs.mBoxes.empty());
  EXPECT_TRUE(game.mEnv.mDialogs.mTextDialogs.empty());
  EXPECT_EQ(IntVar(kRunInt), 0);
}

TEST(MessageBoxTest, InputDialogAnswerComesThroughTheHook) {
  ScriptRunner game;
  const std::string name = "\x91\xBE\x98\x59";  // 太郎
  game.mEnv.mDialogs.mTextAnswers.push_back({kDialogOk, name});
  RunScript(game, [](ScriptAssembler& code) {
    code.Op("msgbox", {{"caption", Str("Name")},
                       {"text", Str("Your name?")},
                       {"default", Str("Guest")},
                       {"input", Num(1)},
                       {"max_length", Num(8)},
                       {"input_out", Var(kRunText)},
                       {"answer", Var(kRunInt)}});
  });
  ASSERT_EQ(game.mEnv.mDialogs.mTextDialogs.size(), 1u);
  const TextDialogRequest& request = game.mEnv.mDialogs.mTextDialogs[0];
  EXPECT_EQ(request.mKind, TextDialogKind::kInput);
  EXPECT_EQ(request.mCaption, "Name");
  EXPECT_EQ(request.mPrompt, "Your name?");
  EXPECT_EQ(request.mText, "Guest");
  EXPECT_EQ(request.mMaxLength, 8);
  EXPECT_TRUE(game.mEnv.mDialogs.mBoxes.empty());
  EXPECT_EQ(TextVar(kRunText), name);
  EXPECT_EQ(IntVar(kRunInt), 1);
}

TEST(MessageBoxTest, InputDialogAnswerIsBoundedAndAFailedDialogEndsTheTurn) {
  ScriptRunner game;
  game.mEnv.mDialogs.mTextAnswers.push_back({kDialogOk, std::string(4094, 'a') + "\x82\xA0"});
  game.mEnv.mDialogs.mTextAnswers.push_back({kDialogFailed, ""});
  DeclareTestArrays(game);
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("msgbox", {{"input", Num(1)}, {"input_out", Var(kRunText)}});
  code.Op("msgbox", {{"input", Num(1)}, {"input_out", Var(kRunText)}, {"answer", Var(kRunInt)}});
  code.Op("assign", {{"target", Var(kRunInt2)}, {"value", Num(1)}});
  code.Op("end");
  game.Add(code);
  ASSERT_TRUE(game.Load());
  game.Frame();
  EXPECT_EQ(TextVar(kRunText), std::string(4094, 'a'));  // the cut pair is not split
  EXPECT_EQ(IntVar(kRunInt), 0);
  EXPECT_EQ(IntVar(kRunInt2), 0);
}

}  // namespace
