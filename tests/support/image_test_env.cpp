#include "image_test_env.h"

#include <cstdlib>
#include <string_view>

#include "core/byte_order.h"
#include "core/errors.h"
#include "core/process_state.h"
#include "datasrc/resource_lookup.h"
#include "image/pixel_buffers.h"
#include "shell/engine_reset.h"
#include "support/script_test_env.h"

namespace {

const std::vector<MessageId> kImageMessageIds = {
    kMsgOutOfMemory,     kMsgUnsupportedFileType, kMsgBmpNoMagic,      kMsgBmpDamaged,
    kMsgBmpCompressed,   kMsgImageTooLarge,       kMsgBmpTopDown,      kMsgPngDecodeFailed,
    kMsgJpegDecodeFailed, kMsgGifDecodeFailed,    kMsgNoMemoryForFile, kMsgPsdNotLoaded};

// Ids with built-in texts keep them; the others read "E<id>...".
int IdOf(const std::string& text) {
  for (MessageId id : {kMsgOutOfMemory, kMsgNoMemoryForFile}) {
    std::string builtIn = GetMessageText(id);
    std::string prefix = builtIn.substr(0, builtIn.find('%'));
    if (!prefix.empty() && text.compare(0, prefix.size(), prefix) == 0) return id.mNumber;
  }
  if (text.size() < 2 || text[0] != 'E') return 0;
  return std::atoi(text.c_str() + 1);
}

}  // namespace

ImageReportRecorder::ImageReportRecorder() {
  ResetEngineState();
  InstallTaggedMessages(kImageMessageIds);
}

ImageReportRecorder::~ImageReportRecorder() { ResetEngineState(); }

void ImageReportRecorder::Clear() {
  ResetErrorReporting();
  g_QuitFlag.store(0);
  mDialogs.mErrorDialogs.clear();
  mDialogs.mBoxes.clear();
}

std::string ImageReportRecorder::FirstReport() const {
  return mDialogs.mErrorDialogs.empty() ? std::string() : mDialogs.mErrorDialogs.front().mText;
}
std::string ImageReportRecorder::LastReport() const { return g_LastErrorText; }
int ImageReportRecorder::FirstId() const { return IdOf(FirstReport()); }
int ImageReportRecorder::LastId() const { return IdOf(g_LastErrorText); }
bool ImageReportRecorder::Quit() const { return g_QuitFlag.load() != 0; }

ScopedLayerRecord::~ScopedLayerRecord() { ReleaseLayerImage(&mRecord); }

uint32_t ScopedLayerRecord::Pixel(int x, int y) const {
  return LoadLe32(mRecord.mPixels + (static_cast<size_t>(y) * mRecord.mWidth + x) * 4);
}

void WriteBytes(const TempFolder& folder, const std::string& name, const std::vector<uint8_t>& bytes) {
  folder.WriteFile(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

int DecodeBytesAs(LayerRecord* record, int typeCode, const std::vector<uint8_t>& bytes, const std::string& name) {
  TempFolder folder;
  WriteBytes(folder, name, bytes);
  ResourceLocation location;
  location.mSource = 1;
  location.mType = typeCode;
  return DecodeLocatedImage(record, &location, name.c_str());
}
