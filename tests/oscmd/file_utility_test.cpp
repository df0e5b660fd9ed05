// The file utility and file information commands in a temporary game
// folder: folders, copies, deletions, opening files, preloads, saved layer
// images and the questions about files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/errors.h"
#include "datasrc/preload_cache.h"
#include "image/webp_codec.h"
#include "oscmd/file_utility.h"
#include "oscmd/oscmd_test_util.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

void RunFile(ScriptRunner& game, const std::vector<std::vector<Arg>>& ops) {
  RunScript(game, [&](ScriptAssembler& code) {
    for (const std::vector<Arg>& args : ops) code.Op("file", args);
  });
}

TEST(FileUtilityTest, FolderPathsAreCreatedUpToTheLastSeparator) {
  ScriptRunner game;
  RunFile(game, {{{"folder", Str("save/data")}, {"mkdir", Num(1)}}, {{"folder", Str("Deep\\A\\")}, {"mkdir", Num(1)}}});
  EXPECT_TRUE(fs::is_directory(game.mEnv.Folder() + "/save"));
  EXPECT_TRUE(fs::is_directory(game.mEnv.Folder() + "/save/data"));
  EXPECT_TRUE(fs::is_directory(game.mEnv.Folder() + "/deep/a"));  // names are lower-cased
  CreateFolderPath("one\\two");
  EXPECT_TRUE(fs::is_directory(game.mEnv.Folder() + "/one"));
  EXPECT_FALSE(fs::exists(game.mEnv.Folder() + "/one/two"));
  EXPECT_EQ(LastReportTag(), "");
}

TEST(FileUtilityTest, CopyOverwritesAndDeleteRemovesFilesAndEmptyFolders) {
  ScriptRunner game;
  WriteFile(game.mEnv.Folder() + "/a.txt", "new");
  WriteFile(game.mEnv.Folder() + "/b.txt", "old text");
  fs::create_directories(game.mEnv.Folder() + "/empty");
  fs::create_directories(game.mEnv.Folder() + "/full");
  WriteFile(game.mEnv.Folder() + "/full/x", "x");
  RunFile(game, {{{"file", Str("A.txt")}, {"file2", Str("b.txt")}, {"copy", Num(1)}},
                 {{"file", Str("a.txt")}, {"delete", Num(1)}},
                 {{"folder", Str("empty")}, {"delete", Num(1)}},
                 {{"folder", Str("full/")}, {"delete", Num(1)}}});
  EXPECT_EQ(ReadFile(game.mEnv.Folder() + "/b.txt"), "new");
  EXPECT_FALSE(fs::exists(game.mEnv.Folder() + "/a.txt"));
  EXPECT_FALSE(fs::exists(game.mEnv.Folder() + "/empty"));
  EXPECT_TRUE(fs::exists(game.mEnv.Folder() + "/full/x"));
  EXPECT_EQ(LastReportTag(), "");  // failures are silent
}

struct Started {
  std::vector<std::vector<std::string>> mStarts;
};
bool RecordStart(void* context, const std::vector<std::string>& arguments) {
  static_cast<Started*>(context)->mStarts.push_back(arguments);
  return true;
}

TEST(FileUtilityTest, OpeningADocumentGoesToTheDesktopOnce) {
  Started started;
  SetDetachedStartHook(RecordStart, &started);
  ScriptRunner game;
  WriteFile(game.mEnv.Folder() + "/readme.txt", "r");
  RunFile(game, {{{"file", Str("README.TXT")}, {"open", Num(1)}, {"open_wait", Num(1)}},
                 {{"file", Str("")}, {"open", Num(1)}}});
  SetDetachedStartHook(nullptr, nullptr);
  ASSERT_EQ(started.mStarts.size(), 1u);
  ASSERT_EQ(started.mStarts[0].size(), 2u);
  EXPECT_EQ(started.mStarts[0][0], "xdg-open");
  EXPECT_EQ(started.mStarts[0][1], fs::path(game.mEnv.Folder()) / "readme.txt");
}

TEST(FileUtilityTest, OpenAndWaitRunsAProgramToItsEnd) {
  ScriptRunner game;
  std::string script = game.mEnv.Folder() + "/tool.sh";
  WriteFile(script, "#!/bin/sh\nsleep 0.2\necho \"$1\" > done.txt\n");
  chmod(script.c_str(), 0755);
  RunFile(game, {{{"file", Str("tool.sh")}, {"params", Str("\"two words\"")}, {"open_wait", Num(1)}}});
  EXPECT_EQ(ReadFile(game.mEnv.Folder() + "/done.txt"), "two words\n");
}

TEST(FileUtilityTest, ParametersSplitAtBlanksWithQuotesGrouping) {
  EXPECT_EQ(SplitParameters("a  \"b c\" d"), (std::vector<std::string>{"a", "b c", "d"}));
  EXPECT_EQ(SplitParameters(""), (std::vector<std::string>{}));
  EXPECT_EQ(SplitParameters("\"\""), (std::vector<std::string>{""}));
}

TEST(FileUtilityTest, PreloadsGoToTheNumberedLists) {
  ScriptRunner game;
  WriteFile(game.mEnv.Folder() + "/pic.png", "png bytes");
  WriteFile(game.mEnv.Folder() + "/snd.ogg", "ogg bytes");
  RunFile(game, {{{"file", Str("pic.png")}, {"preload_image", Num(2)}},
                 {{"file", Str("snd.ogg")}, {"preload_sound", Num(4)}},
                 {{"file", Str("pic.png")}, {"preload_image", Num(0)}}});
  EXPECT_EQ(GetPreloadCount(1), 1);
  EXPECT_EQ(GetPreloadCount(3), 1);
  EXPECT_EQ(GetPreloadCount(0), 0);
}

TEST(FileUtilityTest, SavingAMissingLayerIsReported) {
  ScriptRunner game;
  RunScript(game, [](ScriptAssembler& code) {
    code.Op("file", {{"file", Str("shot")}, {"layer", Str("nothing")}, {"layer_num", Num(3)}});
    Assign(code, Var(kRunInt), Num(1));
  });
  EXPECT_TRUE(LastReportIs(kMsgShareSourceMissing)) << LastReportTag();
  EXPECT_NE(LastReportTag().find("nothing.3"), std::string::npos) << LastReportTag();
  EXPECT_EQ(IntVar(kRunInt), 0);
}

struct SaveCase {
  const char* mName;
  std::vector<Arg> mFormat;
  const char* mFileName;
  const char* mWritten;
  std::string mMagic;
};

// Each case saves a 4 x 2 layer and loads the file back.
TEST(FileUtilityTest, EachFormatIsSavedAndReadBack) {
  const SaveCase cases[] = {
      {"PNG by default", {}, "Shot", "shot.png", "\x89PNG"},
      {"id 12 = 0 still PNG", {{"bmp", Num(0)}}, "a", "a.png", "\x89PNG"},
      {"BMP", {{"bmp", Num(1)}}, "b", "b.bmp", "BM"},
      {"JPEG wins over BMP", {{"bmp", Num(1)}, {"jpeg", Num(1)}}, "Shot", "shot.jpg", "\xFF\xD8"},
      {"JPEG quality 0 taken as 1", {{"jpeg", Num(1)}, {"quality", Num(0)}}, "q", "q.jpg", "\xFF\xD8"},
      {"WebP quality 150 taken as 101", {{"webp", Num(1)}, {"quality", Num(150)}}, "w", "w.webp", "RIFF"},
      {"no second extension", {{"png", Num(1)}}, "x.PNG", "x.png", "\x89PNG"},
  };
  for (const SaveCase& entry : cases) {
    SCOPED_TRACE(entry.mName);
    ScriptRunner game;
    LoadWebpCodec();  // bound at start-up, which the runner does not run
    RunScript(game, [&](ScriptAssembler& code) {
      code.Op("layer", {{"path", Str("a")}, {"num", Num(3)}, {"file", Str("")}, {"width", Num(4)}, {"height", Num(2)}});
      std::vector<Arg> args{{"file", Str(entry.mFileName)}, {"layer", Str("a")}, {"layer_num", Num(3)}};
      args.insert(args.end(), entry.mFormat.begin(), entry.mFormat.end());
      code.Op("file", args);
      code.Op("layer", {{"path", Str("back")}, {"num", Num(4)}, {"file", Str(entry.mWritten)}});
      code.Op("layer_query", {{"path", Str("back")}, {"num", Num(4)}, {"width", Num(1)}, {"out", Var(kRunInt)}});
      code.Op("layer_query", {{"path", Str("back")}, {"num", Num(4)}, {"height", Num(1)}, {"out", Var(kRunInt2)}});
    });
    EXPECT_EQ(g_LastErrorText, "");
    std::string bytes = ReadFile(game.mEnv.Folder() + "/" + entry.mWritten);
    ASSERT_GE(bytes.size(), entry.mMagic.size());
    EXPECT_EQ(bytes.substr(0, entry.mMagic.size()), entry.mMagic);
    EXPECT_EQ(IntVar(kRunInt), 4);
    EXPECT_EQ(IntVar(kRunInt2), 2);
  }
}

struct InfoCase {
  const char* mName;
  std::vector<Arg> mArgs;
  int64_t mExpected;
};

TEST(FileInfoTest, ExistenceAndSizeByKindOfName) {
  const InfoCase cases[] = {
      {"a folder on disk", {{"path", Str("Data")}, {"exists", Num(1)}}, 1},
      {"a file is no folder", {{"path", Str("data/list.txt")}, {"exists", Num(1)}}, 0},
      {"a data file", {{"data", Str("data/list.txt")}, {"exists", Num(1)}}, 1},
      {"a missing data file", {{"data", Str("nope.txt")}, {"exists", Num(1)}}, 0},
      {"an image", {{"image", Str("Pic.png")}, {"exists", Num(1)}}, 1},
      {"a sound", {{"sound", Str("snd.ogg")}, {"exists", Num(1)}}, 1},
      {"a sound asked as an image", {{"image", Str("snd.txt")}, {"exists", Num(1)}}, 0},
      {"the later name kind wins", {{"path", Str("snd.ogg")}, {"sound", Str("snd.ogg")}, {"exists", Num(1)}}, 1},
      {"size of a data file", {{"data", Str("data/list.txt")}, {"size", Num(1)}}, 5},
      {"size of a folder", {{"data", Str("data")}, {"size", Num(1)}}, 0},
      {"size of a missing file", {{"data", Str("nope")}, {"size", Num(1)}}, 0},
      {"size asked of a disk path", {{"path", Str("data/list.txt")}, {"size", Num(1)}}, 0},
      {"program into a number", {{"data", Str("data/list.txt")}, {"program", Num(1)}}, 0},
      {"exists asked before size", {{"data", Str("data/list.txt")}, {"size", Num(1)}, {"exists", Num(1)}}, 1},
  };
  for (const InfoCase& entry : cases) {
    SCOPED_TRACE(entry.mName);
    ScriptRunner game;
    WriteFile(game.mEnv.Folder() + "/data/list.txt", "12345");
    WriteFile(game.mEnv.Folder() + "/pic.png", "p");
    WriteFile(game.mEnv.Folder() + "/snd.ogg", "s");
    RunScript(game, [&](ScriptAssembler& code) {
      Assign(code, Var(kRunInt), Num(-1));
      std::vector<Arg> args = entry.mArgs;
      args.push_back({"out", Var(kRunInt)});
      code.Op("file_info", args);
    });
    EXPECT_EQ(IntVar(kRunInt), entry.mExpected);
    EXPECT_EQ(LastReportTag(), "");
  }
}

TEST(FileInfoTest, AnswersIntoRealAndStringElements) {
  ScriptRunner game;
  WriteFile(game.mEnv.Folder() + "/dir/f", "x");
  RunScript(game, [](ScriptAssembler& code) {
    code.Op("file_info", {{"path", Str("dir")}, {"exists", Num(1)}, {"out", Var(kRunReal)}});
    Assign(code, Var(kRunText), Str("keep"));
    code.Op("file_info", {{"path", Str("dir")}, {"program", Num(1)}, {"out", Var(kRunText)}});
    Assign(code, Elem(kTexts, {Num(0)}), Str("x"));
    code.Op("file_info", {{"path", Str("dir")}, {"exists", Num(1)}, {"out", Elem(kTexts, {Num(0)})}});
  });
  EXPECT_EQ(RealVar(kRunReal), 1.0);
  EXPECT_EQ(TextVar(kRunText), "");
  EXPECT_TRUE(LastReportIs(kMsgElementTypeMismatch)) << LastReportTag();
}

}  // namespace
