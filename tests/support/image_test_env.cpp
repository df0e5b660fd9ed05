#include "image_test_env.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "datasrc/byte_order.h"
#include "datasrc/resource_lookup.h"
#include "image/pixel_buffers.h"
#include "platform/dialogs.h"
#include "shell/errors.h"
#include "shell/process_state.h"

namespace {

constexpr int kImageMessageIds[] = {100010, 100030, 100070, 100080, 100090, 100091, 100092,
                                    100200, 100210, 100215, 104030};

int RecordBox(void* context, const char* caption, const char* text, uint32_t) {
  auto* recorder = static_cast<ImageReportRecorder*>(context);
  recorder->mBoxes.push_back(std::string(caption == nullptr ? "" : caption) + "|" + text);
  return kAnswerOk;
}

int RecordDialog(void* context, const ErrorDialogRequest& request) {
  auto* recorder = static_cast<ImageReportRecorder*>(context);
  if (recorder->mFirstReport.empty()) recorder->mFirstReport = request.mText;
  return kErrorDialogClose;
}

DialogHooks g_RecorderHooks;

// Ids with built-in texts keep them; the others read "E<id> ...".
int IdOf(const std::string& text) {
  for (int id : {100010, 104030}) {
    std::string builtIn = GetMessageText(id);
    std::string prefix = builtIn.substr(0, builtIn.find('%'));
    if (!prefix.empty() && text.compare(0, prefix.size(), prefix) == 0) return id;
  }
  if (text.size() < 2 || text[0] != 'E') return 0;
  return std::atoi(text.c_str() + 1);
}

}  // namespace

ImageReportRecorder::ImageReportRecorder() {
  ClearMessageTexts();
  for (int id : kImageMessageIds) AddMessageText(id, "E" + std::to_string(id) + " %s %s");
  g_RecorderHooks = {RecordBox, RecordDialog, this};
  SetDialogHooks(&g_RecorderHooks);
  Clear();
}

ImageReportRecorder::~ImageReportRecorder() {
  SetDialogHooks(nullptr);
  ClearMessageTexts();
  ResetErrorReporting();
  g_QuitFlag.store(0);
}

void ImageReportRecorder::Clear() {
  ResetErrorReporting();
  g_QuitFlag.store(0);
  mFirstReport.clear();
  mBoxes.clear();
}

std::string ImageReportRecorder::LastReport() const { return g_LastErrorText; }
int ImageReportRecorder::FirstId() const { return IdOf(mFirstReport); }
int ImageReportRecorder::LastId() const { return IdOf(g_LastErrorText); }
bool ImageReportRecorder::Quit() const { return g_QuitFlag.load() != 0; }

TemporaryGameFolder::TemporaryGameFolder() {
  mPrevious = std::filesystem::current_path().string();
  std::random_device random;
  for (;;) {
    std::filesystem::path candidate =
        std::filesystem::temp_directory_path() / ("orvane-image-" + std::to_string(random()) + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      mPath = candidate.string();
      break;
    }
  }
  std::filesystem::current_path(mPath);
}

TemporaryGameFolder::~TemporaryGameFolder() {
  std::filesystem::current_path(mPrevious);
  std::error_code ignored;
  std::filesystem::remove_all(mPath, ignored);
}

void TemporaryGameFolder::WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const {
  std::ofstream out(std::filesystem::path(mPath) / name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

ScopedLayerRecord::~ScopedLayerRecord() { ReleaseLayerImage(&mRecord); }

uint32_t ScopedLayerRecord::Pixel(int x, int y) const {
  return LoadLe32(mRecord.mPixels + (static_cast<size_t>(y) * mRecord.mWidth + x) * 4);
}

int DecodeBytesAs(LayerRecord* record, int typeCode, const std::vector<uint8_t>& bytes, const std::string& name) {
  TemporaryGameFolder folder;
  folder.WriteFile(name, bytes);
  ResourceLocation location;
  location.mSource = 1;
  location.mType = typeCode;
  return DecodeLocatedImage(record, &location, name.c_str());
}
