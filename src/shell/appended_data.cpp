#include "shell/appended_data.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/byte_order.h"
#include "core/errors.h"
#include "core/process_state.h"
#include "datasrc/pack_index.h"
#include "platform/folders.h"
#include "platform/instance_lock.h"
#include "platform/preview_window.h"

uint8_t g_ScreenSaverMode = 0;
uint64_t g_AppendedBlockOffset = 0;
int64_t g_AppendedPackOffset = 0;
uint64_t g_ProgramFileSize = 0;

namespace {

// Preview sides above this are refused as damaged.
constexpr int32_t kPreviewSideLimit = 8192;

std::string g_ProgramFileOverride;
uint32_t g_PreviewSize = 0;

std::string ProgramFile() { return g_ProgramFileOverride.empty() ? GetProgramPath() : g_ProgramFileOverride; }

struct File {
  FILE* mFile = nullptr;
  explicit File(const std::string& path) : mFile(std::fopen(path.c_str(), "rb")) {}
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() {
    if (mFile != nullptr) std::fclose(mFile);
  }
  bool ReadAt(uint64_t offset, void* out, size_t bytes) const {
    return mFile != nullptr && fseeko(mFile, static_cast<off_t>(offset), SEEK_SET) == 0 &&
           std::fread(out, 1, bytes, mFile) == bytes;
  }
  uint64_t Size() const {
    if (mFile == nullptr || fseeko(mFile, 0, SEEK_END) != 0) return 0;
    off_t end = ftello(mFile);
    return end > 0 ? static_cast<uint64_t>(end) : 0;
  }
};

enum class Trailer { kNone, kFound, kDamaged };

// The trailer at the end of the program file: the block's offset, or the
// file's size when there is no trailer (a program without appended data).
Trailer ReadAppendedDataOffset(const File& file, uint64_t size, uint64_t* offset) {
  *offset = size;
  if (size < kAppendedTrailerBytes) return Trailer::kNone;
  uint8_t trailer[kAppendedTrailerBytes];
  if (!file.ReadAt(size - kAppendedTrailerBytes, trailer, sizeof trailer)) return Trailer::kNone;
  if (std::memcmp(trailer, kAppendedTrailerMagic, sizeof kAppendedTrailerMagic) != 0) return Trailer::kNone;
  uint64_t value = LoadLe64(trailer + 8);
  // The block lies wholly before the trailer.
  if (value > size - kAppendedTrailerBytes || size - kAppendedTrailerBytes - value < kAppendedBlockHeaderBytes) {
    return Trailer::kDamaged;
  }
  *offset = value;
  return Trailer::kFound;
}

void RefuseProgramFile() { ShowMessageBox(nullptr, "FS"); }

}  // namespace

void SetAppendedDataProgramFile(const std::string& path) { g_ProgramFileOverride = path; }

int CheckAppendedData() {
  File file(ProgramFile());
  uint64_t size = file.Size();
  g_ProgramFileSize = size;
  g_AppendedPackOffset = 0;
  g_PreviewSize = 0;
  if (file.mFile == nullptr || size == 0) {
    // The program cannot read itself: it cannot tell where its data is.
    RefuseProgramFile();
    return -1;
  }
  uint64_t offset = 0;
  Trailer trailer = ReadAppendedDataOffset(file, size, &offset);
  g_AppendedBlockOffset = offset;
  if (trailer == Trailer::kNone) return 0;
  if (trailer == Trailer::kDamaged) {
    RefuseProgramFile();
    return -1;
  }
  uint8_t header[kAppendedBlockHeaderBytes];
  uint64_t dataEnd = size - kAppendedTrailerBytes;
  if (!file.ReadAt(offset, header, sizeof header) ||
      std::memcmp(header, kAppendedBlockMagic, sizeof kAppendedBlockMagic) != 0) {
    RefuseProgramFile();
    return -1;
  }
  uint32_t packPosition = LoadLe32(header + 4);
  uint32_t previewSize = LoadLe32(header + 8);
  // The pack data and the preview lie inside the block, before the trailer.
  if (packPosition < kAppendedBlockHeaderBytes || packPosition > dataEnd - offset ||
      previewSize > dataEnd - offset - kAppendedBlockHeaderBytes) {
    RefuseProgramFile();
    return -1;
  }
  g_AppendedPackOffset = packPosition;
  g_PreviewSize = previewSize;
  g_ScreenSaverMode = previewSize != 0 ? 1 : 0;
  g_ReleaseLayout = 1;
  g_DataAppended = 1;
  g_AppendedPackBase = static_cast<int64_t>(offset + packPosition);
  g_AppendedDataFile = ProgramFile();
  g_AppendedPackEnd = static_cast<int64_t>(dataEnd);
  return 1;
}

bool DecodePreviewBitmap(const std::vector<uint8_t>& file, PreviewPicture* picture) {
  *picture = PreviewPicture();
  if (file.size() < kPreviewHeaderBytes || file[0] != 'B' || file[1] != 'M') return false;
  auto width = static_cast<int32_t>(LoadLe32(file.data() + 18));
  auto height = static_cast<int32_t>(LoadLe32(file.data() + 22));
  uint16_t bits = LoadLe16(file.data() + 28);
  bool topDown = height < 0;
  int64_t rows = topDown ? -static_cast<int64_t>(height) : height;
  if (bits != 24 || width < 1 || rows < 1 || width > kPreviewSideLimit || rows > kPreviewSideLimit) return false;
  size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
  if (stride * static_cast<size_t>(rows) > file.size() - kPreviewHeaderBytes) return false;
  picture->mWidth = width;
  picture->mHeight = static_cast<int32_t>(rows);
  picture->mPixels.resize(static_cast<size_t>(width) * static_cast<size_t>(rows) * 4);
  for (int64_t row = 0; row < rows; ++row) {
    int64_t stored = topDown ? row : rows - 1 - row;
    const uint8_t* from = file.data() + kPreviewHeaderBytes + static_cast<size_t>(stored) * stride;
    uint8_t* to = picture->mPixels.data() + static_cast<size_t>(row) * static_cast<size_t>(width) * 4;
    for (int32_t x = 0; x < width; ++x) {
      to[x * 4] = from[x * 3];
      to[x * 4 + 1] = from[x * 3 + 1];
      to[x * 4 + 2] = from[x * 3 + 2];
      to[x * 4 + 3] = 0xFF;
    }
  }
  return true;
}

bool LoadPreviewPicture(PreviewPicture* picture) {
  *picture = PreviewPicture();
  if (g_DataAppended == 0 || g_PreviewSize == 0) return false;
  File file(ProgramFile());
  std::vector<uint8_t> bytes(g_PreviewSize);
  if (!file.ReadAt(g_AppendedBlockOffset + kAppendedBlockHeaderBytes, bytes.data(), bytes.size())) return false;
  return DecodePreviewBitmap(bytes, picture);
}

int HandleScreenSaverArguments() {
  int count = g_ArgumentCount;
  char** arguments = g_ArgumentVector;
  char letter = 0;
  if (count >= 2 && arguments[1] != nullptr && (arguments[1][0] == '/' || arguments[1][0] == '-') &&
      std::strlen(arguments[1]) >= 2) {
    letter = static_cast<char>(arguments[1][1] | 0x20);
  }
  if (count == 3 && letter == 'p') {
    PreviewPicture picture;
    LoadPreviewPicture(&picture);
    uint64_t window = std::strtoull(arguments[2], nullptr, 0);
    // Where the window cannot be used the preview ends quietly.
    RunPreviewInForeignWindow(window, picture.mPixels.empty() ? nullptr : picture.mPixels.data(), picture.mWidth,
                              picture.mHeight);
    return 1;
  }
  if (count == 3 && letter == 'a') return 1;
  if ((count == 2 && letter == 'c') || count <= 1) {
    ShowMessageBox("情報", "スクリーンセーバー\n\nVersion 1.00");
    return 1;
  }
  return 0;
}

void ResetAppendedData() {
  g_ScreenSaverMode = 0;
  g_AppendedBlockOffset = 0;
  g_AppendedPackOffset = 0;
  g_ProgramFileSize = 0;
  g_PreviewSize = 0;
  g_AppendedPackBase = 0;
  g_ProgramFileOverride.clear();
}
