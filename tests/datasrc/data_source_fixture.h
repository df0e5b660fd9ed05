#pragma once
// A temporary game folder as the current folder and program folder, with
// dialogs recorded and every data source released afterwards.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "datasrc/compiler_link.h"
#include "datasrc/pack_file.h"
#include "datasrc/pack_index.h"
#include "datasrc/preload_cache.h"
#include "datasrc/resource_lookup.h"
#include "platform/dialogs.h"
#include "platform/game_files.h"
#include "shell/appended_data.h"
#include "shell/errors.h"
#include "shell/format_text.h"
#include "shell/process_state.h"
#include "support/pack_builder.h"

class DataSourceTest : public testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    mOldFolder = cwd;
    char pattern[] = "/tmp/orvane_datasrc_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    mFolder = pattern;
    ASSERT_EQ(chdir(mFolder.c_str()), 0);
    g_GameFolderNative = mFolder;
    ASSERT_TRUE(InitProcessPaths("orvane"));
    ResetErrorReporting();
    g_QuitFlag.store(0);
    mHooks = {RecordBox, RecordErrorDialog, this};
    SetDialogHooks(&mHooks);
    g_DataAppended = 0;
    g_LooseFirstDev = 0;
    g_LooseFirstRelease = 0;
    std::memset(g_ImageExtOrder, 0, sizeof g_ImageExtOrder);
    std::memset(g_SoundExtOrder, 0, sizeof g_SoundExtOrder);
    InitDataKeys();
  }

  void TearDown() override {
    ReleaseDataSources();
    g_DataAppended = 0;
    SetDialogHooks(nullptr);
    ResetErrorReporting();
    g_QuitFlag.store(0);
    EXPECT_EQ(chdir(mOldFolder.c_str()), 0);
    ClearFolderAliases();
    std::filesystem::remove_all(mFolder);
  }

  std::string Native(const std::string& relative) const { return mFolder + "/" + relative; }

  void WriteFile(const std::string& relative, const std::string& bytes) {
    std::filesystem::path path = Native(relative);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }

  void WritePack(const std::string& relative, const PackBuilder& pack) {
    std::filesystem::create_directories(std::filesystem::path(Native(relative)).parent_path());
    ASSERT_TRUE(WritePackFile(Native(relative), pack));
  }

  // The text a report of `id` with these arguments shows.
  template <typename... Args>
  static std::string ReportText(int32_t id, const Args&... arguments) {
    return FormatBounded(kMessageTextLimit, GetMessageText(id), arguments...);
  }

  // Locates and reads a name; the bytes as text, or "<error N>".
  static std::string LoadText(const char* name) {
    ResourceLocation location;
    int result = LoadResourceWhole(&location, name);
    if (result != 0) return "<error " + std::to_string(result) + ">";
    std::string text(reinterpret_cast<char*>(location.mData), location.mSize);
    ReleaseResourceData(&location);
    return text;
  }

  std::string mFolder;
  std::string mOldFolder;
  std::vector<std::string> mBoxes;       // caption + "|" + text
  std::vector<std::string> mErrorTexts;  // texts of the error dialog

 private:
  static int RecordBox(void* context, const char* caption, const char* text, uint32_t) {
    static_cast<DataSourceTest*>(context)->mBoxes.push_back(std::string(caption != nullptr ? caption : "") + "|" + text);
    return kAnswerOk;
  }
  static int RecordErrorDialog(void* context, const ErrorDialogRequest& request) {
    static_cast<DataSourceTest*>(context)->mErrorTexts.push_back(request.mText);
    return kErrorDialogClose;
  }

  DialogHooks mHooks{};
};
