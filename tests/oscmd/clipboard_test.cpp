// Clipboard copy and paste through the commands.
#include <gtest/gtest.h>

#include <string>

#include "oscmd/clipboard_text.h"
#include "oscmd/oscmd_test_util.h"
#include "platform/clipboard.h"

namespace {

struct PasteCase {
  const char* mName;
  std::string mClipboard;
  std::string mPasted;
};

TEST(ClipboardTest, PastedTextDropsControlsAndUnpairedLeadBytes) {
  const PasteCase cases[] = {
      {"control characters", "ab\tc\r\nd", "abcd"},
      {"Japanese pairs kept", "\x82\xA0\x82\xA2", "\x82\xA0\x82\xA2"},
      {"trail byte below 0x80 kept with its lead", "\x83\x41x", "\x83\x41x"},
      {"lead byte at the end dropped", "ab\x82", "ab"},
      {"text stops at a terminator", std::string("ab\0cd", 5), "ab"},
      {"first 1024 bytes", std::string(2000, 'z'), std::string(1024, 'z')},
      {"lead byte whose trail is past 1024", std::string(1023, 'y') + "\x82\xA0", std::string(1023, 'y')},
  };
  for (const PasteCase& entry : cases) {
    SCOPED_TRACE(entry.mName);
    EXPECT_EQ(FilterPastedText(entry.mClipboard), entry.mPasted);
  }
}

TEST(ClipboardTest, JapaneseTextRoundTripsThroughTheCommands) {
  ScriptRunner game;
  const std::string japanese = "\x93\xFA\x96\x7B\x8C\xEA ok";  // 日本語 ok
  RunScript(game, [&](ScriptAssembler& code) {
    code.Op("clip_copy", {{"on", Num(1)}, {"text", Str(japanese)}});
    code.Op("clip_paste", {{"on", Num(1)}, {"out", Var(kRunText)}});
  });
  EXPECT_EQ(TextVar(kRunText), japanese);
  std::string system;
  ASSERT_TRUE(GetPlatformClipboardText(&system));
  EXPECT_EQ(system, japanese);
}

TEST(ClipboardTest, CopyNeedsBothArguments) {
  ScriptRunner game;
  RunScript(game, [](ScriptAssembler& code) {
    code.Op("clip_copy", {{"text", Str("no switch")}});
    code.Op("clip_copy", {{"on", Num(1)}});
  });
  std::string text;
  EXPECT_FALSE(GetPlatformClipboardText(&text));
}

TEST(ClipboardTest, EmptyClipboardEndsTheTurnAndKeepsTheVariable) {
  ScriptRunner game;
  DeclareTestArrays(game);
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("assign", {{"target", Var(kRunText)}, {"value", Str("before")}});
  code.Op("clip_paste", {{"on", Num(1)}, {"out", Var(kRunText)}});
  code.Op("assign", {{"target", Var(kRunInt)}, {"value", Num(1)}});
  code.Op("end");
  game.Add(code);
  ASSERT_TRUE(game.Load());
  game.Frame();
  EXPECT_EQ(TextVar(kRunText), "before");
  EXPECT_EQ(IntVar(kRunInt), 0);  // the paste ended the task's turn
  EXPECT_EQ(LastReportTag(), "");
}

}  // namespace
