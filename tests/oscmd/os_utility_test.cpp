// The OS utility command: each sub-command with the referenced arguments it
// reads and the result it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/file_list.h"
#include "core/platform_facts.h"
#include "core/errors.h"
#include "oscmd/os_utility.h"
#include "oscmd/oscmd_test_util.h"
#include "oscmd/registry_store.h"
#include "platform/dialogs.h"
#include "platform/process.h"
#include "render/gpu_frame.h"
#include "shell/frame.h"
#include "shell/window_objects.h"

namespace {

// Arguments of one sub-command: S1 and S2 go into kTexts2 elements 0 and 1,
// N, P, Q, R into kNumbers2 elements 0-3; OUT is the given element.
struct OsCall {
  int64_t mSub;
  std::string mS1;
  std::string mS2;
  std::vector<int64_t> mNumbers;
};

void EmitOs(ScriptAssembler& code, const OsCall& call, const Expr& out) {
  Assign(code, Elem(kTexts2, {Num(0)}), Str(call.mS1));
  Assign(code, Elem(kTexts2, {Num(1)}), Str(call.mS2));
  std::vector<Arg> args{{"sub", Num(call.mSub)}, {"out", out}, {"s1", Elem(kTexts2, {Num(0)})}, {"s2", Elem(kTexts2, {Num(1)})}};
  static const char* const kNames[] = {"n", "p", "q", "r"};
  for (size_t i = 0; i < call.mNumbers.size() && i < 4; ++i) {
    Assign(code, Elem(kNumbers2, {Num(static_cast<int64_t>(i))}), Num(call.mNumbers[i]));
    args.push_back({kNames[i], Elem(kNumbers2, {Num(static_cast<int64_t>(i))})});
  }
  code.Op("os", args);
}

void RunOs(ScriptRunner& game, const std::vector<OsCall>& calls, const Expr& out = Var(kRunText)) {
  RunScript(game, [&](ScriptAssembler& code) {
    for (const OsCall& call : calls) EmitOs(code, call, out);
  });
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(OsUtilityTest, VersionAnswerByElementKind) {
  ScriptRunner game;
  RunOs(game, {{1, "", "", {}}}, Var(kRunInt));
  EXPECT_EQ(IntVar(kRunInt), 502);
  ScriptRunner real;
  RunOs(real, {{1, "", "", {}}}, Var(kRunReal));
  EXPECT_EQ(RealVar(kRunReal), 502.0);
  ScriptRunner text;
  RunOs(text, {{1, "", "", {}}}, Var(kRunText));
  EXPECT_TRUE(LastReportIs(kMsgElementTypeMismatch)) << LastReportTag();
}

TEST(OsUtilityTest, MessageBoxesOfTheSmallSubCommands) {
  ScriptRunner game;
  RunOs(game, {{2, "hello", "", {}}, {10, "", "", {}}, {30, "", "", {}}, {31, "", "", {}}, {3, "", "", {}}});
  const std::vector<std::string> texts{"= hello", "COM:10 Deleted.", "COM:30 Deleted.", "COM:31 Deleted."};
  ASSERT_EQ(game.mEnv.mDialogs.mBoxes.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(game.mEnv.mDialogs.mBoxes[i].mText, texts[i]);
  EXPECT_EQ(game.mEnv.mDialogs.mBoxes[0].mCaption, "");
  EXPECT_EQ(LastReportTag(), "");
}

TEST(OsUtilityTest, UnknownSubCommandDoesNothingAndGoesOn) {
  ScriptRunner game;
  RunScript(game, [](ScriptAssembler& code) {
    EmitOs(code, {3, "", "", {}}, Var(kRunInt));
    Assign(code, Var(kRunInt2), Num(9));
  });
  EXPECT_EQ(IntVar(kRunInt), 0);
  EXPECT_EQ(IntVar(kRunInt2), 9);
}

TEST(OsUtilityTest, ExtractAndWriteFiles) {
  ScriptRunner game;
  game.mEnv.Write(GameFile{"data/src.bin", Bytes{1, 2, 0, 3}});
  RunOs(game, {{12, "DATA/SRC.BIN", "copy.bin", {}}, {15, "note.txt", "abc", {}}, {15, "nofolder/x/note.txt", "abc", {}}});
  EXPECT_EQ(ReadFile(game.mEnv.Folder() + "/copy.bin"), std::string("\x01\x02\x00\x03", 4));
  EXPECT_EQ(ReadFile(game.mEnv.Folder() + "/note.txt"), "abc\r\n");
  EXPECT_FALSE(std::filesystem::exists(game.mEnv.Folder() + "/nofolder"));
  EXPECT_EQ(LastReportTag(), "");
}

TEST(OsUtilityTest, ExtractingAMissingFileIsReported) {
  ScriptRunner game;
  RunOs(game, {{12, "absent.bin", "copy.bin", {}}});
  EXPECT_EQ(g_LastErrorText, ExpectedReport(kMsgFileNotFound, {"absent.bin"}));
  EXPECT_FALSE(std::filesystem::exists(game.mEnv.Folder() + "/copy.bin"));
}

TEST(OsUtilityTest, FolderListingByExtensionAndWithFolders) {
  ScriptRunner game;
  std::filesystem::create_directories(game.mEnv.Folder() + "/pics/sub");
  for (const char* name : {"a.PNG", "png.txt", "b.png"}) std::ofstream(game.mEnv.Folder() + "/pics/" + name) << "x";
  struct ListCase {
    std::string mExtension;
    int64_t mFolders;
    std::vector<std::string> mNames;
  };
  const ListCase cases[] = {
      {"png", 0, {"a.PNG", "b.png"}},
      {"", 1, {"a.PNG", "b.png", "png.txt", "sub/"}},
      {"txt", 1, {"png.txt", "sub/"}},
  };
  for (const ListCase& entry : cases) {
    SCOPED_TRACE(entry.mExtension);
    ScriptRunner run;
    std::filesystem::create_directories(run.mEnv.Folder() + "/pics/sub");
    for (const char* name : {"a.PNG", "png.txt", "b.png"}) std::ofstream(run.mEnv.Folder() + "/pics/" + name) << "x";
    RunOs(run, {{21, "pics", entry.mExtension, {entry.mFolders}}});
    std::vector<std::string> names;
    for (uint32_t i = 0; i < g_FileListCount; ++i) {
      std::string name;
      ASSERT_TRUE(GetFileListEntry(i, &name));
      names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, entry.mNames);
  }
}

TEST(OsUtilityTest, SaveFileDialogsWriteTheChosenPathOrNothing) {
  ScriptRunner game;
  game.mEnv.mDialogs.mTextAnswers.push_back({kDialogOk, "/home/u/shot.png"});
  game.mEnv.mDialogs.mTextAnswers.push_back({kDialogCancel, ""});
  RunScript(game, [](ScriptAssembler& code) {
    EmitOs(code, {26, "shot", "", {}}, Elem(kTexts, {Num(0)}));
    Assign(code, Elem(kTexts, {Num(1)}), Str("unchanged"));
    EmitOs(code, {25, "", "", {}}, Elem(kTexts, {Num(1)}));
  });
  EXPECT_EQ(TextVar(kTexts, 0), "/home/u/shot.png");
  EXPECT_EQ(TextVar(kTexts, 1), "unchanged");
  ASSERT_EQ(game.mEnv.mDialogs.mTextDialogs.size(), 2u);
  const TextDialogRequest& png = game.mEnv.mDialogs.mTextDialogs[0];
  EXPECT_EQ(png.mKind, TextDialogKind::kSaveFile);
  EXPECT_EQ(png.mText, "shot");
  EXPECT_EQ(png.mFilterName, "PNG File(*.png)");
  EXPECT_EQ(png.mFilterPattern, "*.png");
  EXPECT_EQ(png.mCaption, "保存する場所を指定してください。");
  EXPECT_EQ(game.mEnv.mDialogs.mTextDialogs[1].mFilterPattern, "*.bmp");
}

TEST(OsUtilityTest, FolderDialogAndWindowsFolder) {
  ScriptRunner game;
  game.mEnv.mDialogs.mTextAnswers.push_back({kDialogOk, "/srv/games"});
  game.mEnv.mDialogs.mTextAnswers.push_back({kDialogCancel, ""});
  RunScript(game, [](ScriptAssembler& code) {
    EmitOs(code, {21000, "save", "Pick", {}}, Elem(kTexts, {Num(0)}));
    Assign(code, Elem(kTexts, {Num(1)}), Str("old"));
    EmitOs(code, {21000, "", "", {}}, Elem(kTexts, {Num(1)}));
    Assign(code, Elem(kTexts, {Num(2)}), Str("old"));
    EmitOs(code, {21031, "", "", {}}, Elem(kTexts, {Num(2)}));
  });
  EXPECT_EQ(TextVar(kTexts, 0), "/srv/games");
  EXPECT_EQ(TextVar(kTexts, 1), "");
  EXPECT_EQ(TextVar(kTexts, 2), "");
  ASSERT_EQ(game.mEnv.mDialogs.mTextDialogs.size(), 2u);
  EXPECT_EQ(game.mEnv.mDialogs.mTextDialogs[0].mKind, TextDialogKind::kFolder);
  EXPECT_EQ(game.mEnv.mDialogs.mTextDialogs[0].mCaption, "Pick");
  EXPECT_NE(game.mEnv.mDialogs.mTextDialogs[0].mText.find("/save"), std::string::npos);
}

TEST(OsUtilityTest, EditDialogResultAndLastText) {
  ScriptRunner game;
  game.mEnv.mDialogs.mTextAnswers.push_back({kDialogOk, "edited"});
  game.mEnv.mDialogs.mTextAnswers.push_back({kDialogCancel, "ignored"});
  RunScript(game, [](ScriptAssembler& code) {
    EmitOs(code, {10201, "first", "", {}}, Elem(kNumbers, {Num(0)}));
    EmitOs(code, {10205, "", "", {}}, Elem(kTexts, {Num(0)}));
    Assign(code, Elem(kNumbers, {Num(1)}), Num(7));
    EmitOs(code, {10201, "second", "", {}}, Elem(kNumbers, {Num(1)}));
    EmitOs(code, {10205, "", "", {}}, Elem(kTexts, {Num(1)}));
  });
  EXPECT_EQ(IntVar(kNumbers, 0), 1);
  EXPECT_EQ(TextVar(kTexts, 0), "edited");
  EXPECT_EQ(IntVar(kNumbers, 1), 0);
  EXPECT_EQ(TextVar(kTexts, 1), "edited");
  ASSERT_EQ(game.mEnv.mDialogs.mTextDialogs.size(), 2u);
  EXPECT_EQ(game.mEnv.mDialogs.mTextDialogs[0].mKind, TextDialogKind::kEdit);
  EXPECT_EQ(game.mEnv.mDialogs.mTextDialogs[0].mText, "first");
  EXPECT_EQ(game.mEnv.mDialogs.mTextDialogs[0].mMaxLength, 256);
}

TEST(OsUtilityTest, EditDialogThatCannotBeMadeEndsTheTurn) {
  ScriptRunner game;
  game.mEnv.mDialogs.mTextAnswers.push_back({kDialogFailed, ""});
  DeclareTestArrays(game);
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  EmitOs(code, {10201, "x", "", {}}, Var(kRunInt));
  Assign(code, Var(kRunInt2), Num(1));
  code.Op("end");
  game.Add(code);
  ASSERT_TRUE(game.Load());
  game.Frame();
  EXPECT_EQ(IntVar(kRunInt2), 0);
}

TEST(OsUtilityTest, EngineSwitchesAndPauses) {
  struct SwitchCase {
    int64_t mSub;
    uint8_t* mFlag;
    uint8_t mExpected;
  };
  const SwitchCase cases[] = {
      {27, &g_DrawDuringMovie, 1}, {28, &g_DrawDuringMovie, 0}, {80, &g_GpuCompose, 1},
      {81, &g_GpuCompose, 0},      {20011, &g_PauseOnWindowMove, 1}, {20012, &g_PauseOnWindowMove, 0},
      {20013, &g_ScriptPaused, 1}, {20014, &g_ScriptPaused, 0},
  };
  for (const SwitchCase& entry : cases) {
    SCOPED_TRACE(entry.mSub);
    ScriptRunner game;
    DeclareTestArrays(game);
    ScriptAssembler code = game.Script(0);
    code.Label("SYSTEM_START");
    EmitOs(code, {entry.mSub, "", "", {}}, Var(kRunInt));
    code.Op("end");
    game.Add(code);
    ASSERT_TRUE(game.Load());
    *entry.mFlag = static_cast<uint8_t>(1 - entry.mExpected);
    game.RunUntilQuit();
    EXPECT_EQ(*entry.mFlag, entry.mExpected);
  }
}

TEST(OsUtilityTest, DiskSpaceAsksForTheDriveRoot) {
  EXPECT_EQ(DiskRootOf("D:/data/x"), "D:\\");
  EXPECT_EQ(DiskRootOf("a"), "a");
  EXPECT_EQ(DiskRootOf("\x82\xA0\x82\xA0"), "\x82\xA0");  // never half a character
  ScriptRunner game;
  RunOs(game, {{34, "C:/", "", {}}, {20021, "", "", {}}}, Var(kRunInt));
  EXPECT_EQ(IntVar(kRunInt), 0);  // 20021 answers 0 after the disk question
  ScriptRunner disk;
  RunOs(disk, {{34, "C:/", "", {}}}, Var(kRunInt));
  EXPECT_GT(IntVar(kRunInt), 0);
}

TEST(OsUtilityTest, AdministratorOnOlderSystemsWithoutAsking) {
  ScriptRunner game;
  DeclareTestArrays(game);
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  EmitOs(code, {38, "", "", {}}, Var(kRunInt));
  code.Op("end");
  game.Add(code);
  ASSERT_TRUE(game.Load());
  g_OsCode = 25;
  game.RunUntilQuit();
  EXPECT_EQ(IntVar(kRunInt), 1);
}

TEST(OsUtilityTest, DebugLogHoldsOneHeaderAndEachTextOnItsLine) {
  ScriptRunner game;
  std::snprintf(g_ExeFolder, sizeof g_ExeFolder, "%s/", game.mEnv.Folder().c_str());
  RunOs(game, {{52, "first", "", {}}, {52, "second", "", {}}});
  std::string log = ReadFile(game.mEnv.Folder() + "/debuglog.txt");
  size_t first = log.find("first\n");
  size_t second = log.find("second\n");
  ASSERT_NE(first, std::string::npos) << log;
  ASSERT_NE(second, std::string::npos) << log;
  EXPECT_LT(first, second);
  EXPECT_EQ(ScriptDebugLogTotal(), static_cast<int64_t>(log.size()));  // header and both lines
  EXPECT_EQ(log.find(log.substr(0, first), 1), std::string::npos);      // one header
  ScriptRunner remove;
  std::snprintf(g_ExeFolder, sizeof g_ExeFolder, "%s/", remove.mEnv.Folder().c_str());
  std::ofstream(remove.mEnv.Folder() + "/debuglog.txt") << "old";
  RunOs(remove, {{51, "", "", {}}});
  EXPECT_FALSE(std::filesystem::exists(remove.mEnv.Folder() + "/debuglog.txt"));
}

struct Started {
  std::vector<std::vector<std::string>> mStarts;
};
bool RecordStart(void* context, const std::vector<std::string>& arguments) {
  static_cast<Started*>(context)->mStarts.push_back(arguments);
  return true;
}

TEST(OsUtilityTest, WebPageOpensThroughTheDesktop) {
  Started started;
  SetDetachedStartHook(RecordStart, &started);
  ScriptRunner game;
  RunOs(game, {{120, "https://example.org/a", "", {}}});
  SetDetachedStartHook(nullptr, nullptr);
  ASSERT_EQ(started.mStarts.size(), 1u);
  EXPECT_EQ(started.mStarts[0], (std::vector<std::string>{"xdg-open", "https://example.org/a"}));
}

TEST(OsUtilityTest, CurrentFolderChangesToTheGivenPath) {
  ScriptRunner game;
  std::filesystem::create_directories(game.mEnv.Folder() + "/work/in");
  RunOs(game, {{32, "work/in", "", {}}});
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(game.mEnv.Folder()) / "work" / "in");
}

TEST(OsUtilityTest, LongReferencedTextsAreCutOnACharacterBoundary) {
  ScriptRunner game;
  std::string wide;
  for (int i = 0; i < 600; ++i) wide += "\x82\xA0";
  RunOs(game, {{15, "long.txt", wide, {}}});
  std::string written = ReadFile(game.mEnv.Folder() + "/long.txt");
  EXPECT_EQ(written.size(), 1022u + 2u);  // 511 whole characters, then CR LF
}

// The registry deletes reach the per-user store.
TEST(OsUtilityTest, RegistryDeletesReachTheStore) {
  ScriptRunner game;
  const uint8_t value[] = {1, 0, 0, 0};
  ASSERT_EQ(SetRegistryValue(RegistryRoot::kCurrentUser, "Software\\Orv", "a", kRegistryDword, value, 4), 0);
  ASSERT_EQ(SetRegistryValue(RegistryRoot::kLocalMachine, "Software\\Orv", "b", kRegistryDword, value, 4), 0);
  ASSERT_EQ(SetRegistryValue(RegistryRoot::kLocalMachine, "Software\\Gone", "c", kRegistryDword, value, 4), 0);
  RunOs(game, {{33, "Software/Orv", "a", {}}, {36, "Software/Orv", "b", {}}, {37, "Software/Gone", "", {}}});
  uint32_t type = 0;
  uint32_t size = 0;
  EXPECT_EQ(QueryRegistryValue(RegistryRoot::kCurrentUser, "Software\\Orv", "a", &type, nullptr, 0, &size), -1);
  EXPECT_EQ(QueryRegistryValue(RegistryRoot::kLocalMachine, "Software\\Orv", "b", &type, nullptr, 0, &size), -1);
  EXPECT_EQ(QueryRegistryValue(RegistryRoot::kLocalMachine, "Software\\Gone", "c", &type, nullptr, 0, &size), -1);
}

}  // namespace
