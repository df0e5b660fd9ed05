// The qcg container: the header is checked against the file before anything
// is allocated, then the two halves are unpacked into the new pixel block,
// by pixel workers 0 and 1 when two or more run.
#include <cstdint>
#include <cstring>

#include "core/byte_order.h"
#include "core/errors.h"
#include "datasrc/resource_lookup.h"
#include "image/image_decoders.h"
#include "image/pixel_buffers.h"
#include "image/pixel_workers.h"
#include "image/qcg_format.h"
#include "image/webp_codec.h"
#include "layer/layer_record.h"

namespace {

constexpr int32_t kJobOfMethod[] = {JOB_QCG_RAW, JOB_QCG_ZLIB, JOB_QCG_SNP, JOB_QCG_WEBP};

int FileCheckError() {
  ShowMessageBox("", "File Check Error.");
  return -1;
}

// The halves must lie inside the file behind the header and yield exactly
// the pixels of the image; raw halves are stored as the bytes they yield.
bool HalvesFit(const uint8_t* file, size_t fileBytes, uint32_t method, int32_t width, int32_t height) {
  uint64_t out1 = LoadLe32(file + kQcgOut1Offset);
  uint64_t stored1 = LoadLe32(file + kQcgStored1Offset);
  uint64_t out2 = LoadLe32(file + kQcgOut2Offset);
  uint64_t stored2 = LoadLe32(file + kQcgStored2Offset);
  uint64_t pixelBytes = static_cast<uint64_t>(width) * 4 * static_cast<uint64_t>(height);
  if (stored1 + stored2 > fileBytes - kQcgDataOffset) return false;
  if (out1 + out2 != pixelBytes) return false;
  if (method == kQcgRaw && (stored1 != out1 || stored2 != out2)) return false;
  return true;
}

}  // namespace

int DecodeQcgImage(ResourceLocation* location, LayerRecord* record, const char* fileName) {
  if (ReadImageResource(location, fileName, 1, 0) != 0) return -1;
  const uint8_t* file = location->mData;
  size_t fileBytes = location->mSize;
  // Without a whole header there is nothing to check the halves against.
  if (fileBytes < kQcgDataOffset) {
    ReleaseResourceData(location);
    return FileCheckError();
  }
  // A wrong magic is only a warning: the file is decoded all the same.
  if (std::memcmp(file, kQcgMagic, sizeof kQcgMagic) != 0) ShowMessageBox("", "File Check Error.");
  auto width = static_cast<int32_t>(LoadLe32(file + kQcgWidthOffset));
  auto height = static_cast<int32_t>(LoadLe32(file + kQcgHeightOffset));
  if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) {
    ReleaseResourceData(location);
    ReportErrorAtScriptFmt(kMsgImageTooLarge, fileName);
    return -1;
  }
  uint32_t method = LoadLe32(file + kQcgMethodOffset);
  if (method > kQcgWebp || !HalvesFit(file, fileBytes, method, width, height)) {
    ReleaseResourceData(location);
    return FileCheckError();
  }
  if (method == kQcgWebp && !g_WebpLoaded) {
    ReleaseResourceData(location);
    ShowMessageBox("", "WebP の読込に対応していません。");
    return -1;
  }
  if (InstallNewPixelBlock(record, width, height, fileName) != 0) {
    ReleaseResourceData(location);
    return -1;
  }
  record->mHasAlpha = 1;
  // Both halves' results are collected, with either worker count.
  int failed = RunQcgJobs(kJobOfMethod[method], record->mPixels, PixelBlockBytes(width, height), file, fileBytes,
                          LoadLe32(file + kQcgOut1Offset), LoadLe32(file + kQcgStored1Offset),
                          LoadLe32(file + kQcgOut2Offset), LoadLe32(file + kQcgStored2Offset), width, height);
  ReleaseResourceData(location);
  if (failed == 1) {
    ShowMessageBox(nullptr, "Uncompress Status Error 1.");
    return -1;
  }
  if (failed != 0) {
    ShowMessageBox(nullptr, "Uncompress Status Error 2.");
    return -1;
  }
  return 0;
}
