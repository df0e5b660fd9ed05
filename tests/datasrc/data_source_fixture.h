#pragma once
// A temporary game folder as the current folder and program folder, with
// dialogs recorded, on an engine brought back to its start state before and
// after.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
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
#include "shell/engine_reset.h"
#include "support/dialog_recorder.h"
#include "support/pack_builder.h"
#include "support/temp_folder.h"

// Lower-case letters from a fixed seed: text that compresses but not to nothing.
inline std::string RandomText(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string text(size, '\0');
  for (char& c : text) c = static_cast<char>('a' + random() % 26);
  return text;
}

class DataSourceTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState();
    g_GameFolderNative = mFolder;
    ASSERT_TRUE(InitProcessPaths("orvane"));
    InitDataKeys();
  }

  void TearDown() override { ResetEngineState(); }

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
  static std::string ReportText(MessageId id, const Args&... arguments) {
    return FormatBounded(kMessageTextLimit, GetMessageText(id), arguments...);
  }

  // Locates and reads a name; the bytes as text, or "<error N>".
  // One pack entry of the text; the repair trailer as asked.
  static PackBuilderEntry Entry(const std::string& name, const std::string& text, bool compressed, bool trailer) {
    PackBuilderEntry entry;
    entry.mName = name;
    entry.mData.assign(text.begin(), text.end());
    entry.mCompressed = compressed;
    entry.mRepairTrailer = trailer;
    return entry;
  }

  // The report of a damaged entry "e.bin" in the pack "data.qpf".
  static std::string Damaged() { return ReportText(kMsgDamagedPackEntry, ".\\data.qpf", "e.bin"); }

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
