#pragma once
// A temporary game folder as the current folder and program folder, with
// dialogs recorded and every data source released afterwards.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/format_text.h"
#include "core/process_state.h"
#include "datasrc/compiler_link.h"
#include "datasrc/pack_file.h"
#include "datasrc/pack_index.h"
#include "datasrc/preload_cache.h"
#include "datasrc/resource_lookup.h"
#include "platform/game_files.h"
#include "shell/appended_data.h"
#include "support/dialog_recorder.h"
#include "support/pack_builder.h"
#include "support/temp_folder.h"

class DataSourceTest : public testing::Test {
 protected:
  void SetUp() override {
    g_GameFolderNative = mFolder;
    ASSERT_TRUE(InitProcessPaths("orvane"));
    ResetErrorReporting();
    g_QuitFlag.store(0);
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
    ResetErrorReporting();
    g_QuitFlag.store(0);
    ClearFolderAliases();
  }

  std::string Native(const std::string& relative) const { return mFolder + "/" + relative; }

  void WriteFile(const std::string& relative, const std::string& bytes) { mTemp.WriteFile(relative, bytes); }

  void WritePack(const std::string& relative, const PackBuilder& pack) {
    std::filesystem::create_directories(std::filesystem::path(Native(relative)).parent_path());
    ASSERT_TRUE(WritePackFile(Native(relative), pack));
  }

  // The message boxes shown, each as caption + "|" + text.
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const RecordedBox& box : mDialogs.mBoxes) texts.push_back(box.mCaption + "|" + box.mText);
    return texts;
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

  // The game folder, made the current folder for the test's life.
  TempFolder mTemp;
  const std::string mFolder = mTemp.Path();
  DialogRecorder mDialogs;
};
