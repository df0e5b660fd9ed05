#include "movie/ogv_movie.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/debug_log.h"
#include "core/errors.h"
#include "core/message_ids.h"
#include "core/object_tree.h"
#include "datasrc/resource_lookup.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"
#include "platform/clock.h"

OgvMovieState g_OgvMovie;
const TheoraLibApi* g_TheoraApi = nullptr;

namespace {

// The frame buffer's size is a developer's detail: it goes to the debug log,
// not into a box the player has to dismiss before every movie.
const char kAllocatingNotice[] = "メモリ確保します. OGV_SX = %d, OGV_SY = %d";
const char kAllocationFailedBox[] = "メモリ確保失敗. OGV_SX = %d, OGV_SY = %d";
const char kLibraryMissingBox[] = "DLLの読み込みに失敗しました。";

uint32_t OgvReadCallback(const uint8_t* data, uint8_t* destination, uint32_t offset, uint32_t count) {
  if (data == nullptr || offset >= g_OgvMovie.mDataSize) return 0;
  uint32_t left = g_OgvMovie.mDataSize - offset;
  uint32_t copied = count < left ? count : left;
  std::memcpy(destination, data + offset, copied);
  return copied;
}

uint32_t OgvSizeCallback() { return g_OgvMovie.mDataSize; }

uint8_t* OgvRowCallback(void*, int32_t row) {
  OgvMovieState& movie = g_OgvMovie;
  // A size the frame buffer could not take gets no rows: the library would
  // write past them.
  if (movie.OGV_SX != movie.mToldWidth || movie.OGV_SY != movie.mToldHeight) return nullptr;
  if (row < 0 || row >= movie.OGV_SY || static_cast<size_t>(row) >= movie.mRows.size()) return nullptr;
  return movie.mRows[static_cast<size_t>(row)];
}

void OgvFrameSizeCallback(void*, int32_t width, int32_t height) {
  g_OgvMovie.mToldWidth = width;
  g_OgvMovie.mToldHeight = height;
  if (width != g_OgvMovie.OGV_SX || height != g_OgvMovie.OGV_SY) ResizeOgvFrameBuffer(width, height);
}

void FreeFrameBuffer() {
  std::free(g_OgvMovie.mFrameBuffer);
  g_OgvMovie.mFrameBuffer = nullptr;
  g_OgvMovie.mRows.clear();
}

}  // namespace

int BindTheoraLib() {
  UnloadTheoraLib();
  g_TheoraApi = LoadTheoraLibrary();
  if (g_TheoraApi == nullptr) {
    ShowMessageBox("", kLibraryMissingBox);
    return -1;
  }
  return 0;
}

void UnloadTheoraLib() {
  if (g_TheoraApi == nullptr) return;
  UnloadTheoraLibrary();
  g_TheoraApi = nullptr;
}

int ResizeOgvFrameBuffer(int32_t width, int32_t height) {
  OgvMovieState& movie = g_OgvMovie;
  WriteDebugLog("debuglog.txt", true, kDebugLogBudget, kAllocatingNotice, width, height);
  // The size comes from the movie: a side of 0 or beyond the image limit is
  // refused, and the sizes are computed in 64 bits. Nothing changes until
  // the new block is there.
  if (width < 1 || height < 1 || width > kOgvMaxSide || height > kOgvMaxSide) {
    ShowMessageBox("", kAllocationFailedBox, width, height);
    return -1;
  }
  size_t pitch = static_cast<size_t>(width) * 4;
  auto* buffer = static_cast<uint8_t*>(std::malloc(pitch * static_cast<size_t>(height)));
  std::vector<uint8_t*> rows;
  bool rowsMade = false;
  if (buffer != nullptr) {
    try {
      rows.resize(static_cast<size_t>(height));
      rowsMade = true;
    } catch (...) {
    }
  }
  if (!rowsMade) {
    std::free(buffer);
    ShowMessageBox("", kAllocationFailedBox, width, height);
    return -1;
  }
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = buffer + i * pitch;
  FreeFrameBuffer();
  movie.mFrameBuffer = buffer;
  movie.mRows.swap(rows);
  movie.OGV_SX = width;
  movie.OGV_SY = height;
  return 0;
}

void StopOgvMovie() {
  OgvMovieState& movie = g_OgvMovie;
  if (g_TheoraApi != nullptr) {
    if (movie.mVideo != nullptr) g_TheoraApi->m_free(movie.mVideo);
    if (movie.mAudio != nullptr) g_TheoraApi->w_free(movie.mAudio);
  }
  movie.mVideo = nullptr;
  movie.mAudio = nullptr;
  FreeFrameBuffer();
  std::free(movie.mData);
  movie.mData = nullptr;
  movie.mDataSize = 0;
  UnloadTheoraLib();
}

int OpenOgvMovie(const char* name) {
  OgvMovieState& movie = g_OgvMovie;
  // A movie that is open goes first: the library is released under it
  // otherwise, with its handles and data still held.
  if (movie.mVideo != nullptr || movie.mAudio != nullptr || movie.mData != nullptr || g_TheoraApi != nullptr) {
    StopOgvMovie();
    movie.mLayer = nullptr;
    movie.mPlaying = 0;
  }
  if (BindTheoraLib() != 0) return -1;
  FreeFrameBuffer();
  movie.OGV_SX = 0;
  movie.OGV_SY = 0;
  if (ResizeOgvFrameBuffer(1, 1) != 0) {
    StopOgvMovie();
    return -1;
  }
  ResourceLocation location;
  if (LoadResourceWhole(&location, name) != 0) {
    StopOgvMovie();
    return -1;
  }
  movie.mData = location.mData;
  movie.mDataSize = location.mSize;
  location.mData = nullptr;
  movie.mToldWidth = 0;
  movie.mToldHeight = 0;
  movie.mVideo = g_TheoraApi->m_create();
  g_TheoraApi->m_setvrevers(movie.mVideo, 1);
  int32_t loaded = g_TheoraApi->m_load(movie.mVideo, movie.mData, OgvReadCallback, OgvSizeCallback,
                                       movie.mFrameBuffer, OgvRowCallback, OgvFrameSizeCallback, 0);
  if (loaded < 0) {
    // Not a movie the library can decode: refused like an unreadable file.
    ReportErrorFmt(kMsgCannotReadFile, name);
    StopOgvMovie();
    return -1;
  }
  if (movie.OGV_SX != movie.mToldWidth || movie.OGV_SY != movie.mToldHeight) {
    StopOgvMovie();  // the frame buffer refused the size (its box is shown)
    return -1;
  }
  movie.mAudio = g_TheoraApi->w_create();
  g_TheoraApi->w_load(movie.mAudio, movie.mData, OgvReadCallback, OgvSizeCallback);
  movie.mTotalFrames = g_TheoraApi->m_totalframe(movie.mVideo);
  return 0;
}

void ShowOgvFrame(ObjectTreeNode* node) {
  OgvMovieState& movie = g_OgvMovie;
  if (g_TheoraApi == nullptr || movie.mVideo == nullptr) return;
  if (g_TheoraApi->m_decodeframe(movie.mVideo, static_cast<int32_t>(movie.mFrame)) != 1) return;
  if (node == nullptr) return;
  auto* record = LayerRecordOf(node);
  if (record == nullptr || record->mPixels == nullptr || movie.mFrameBuffer == nullptr) return;
  // The picture goes into the layer with the layer's own pitch, clipped to
  // the smaller of the two sizes.
  int32_t width = movie.OGV_SX < record->mWidth ? movie.OGV_SX : record->mWidth;
  int32_t height = movie.OGV_SY < record->mHeight ? movie.OGV_SY : record->mHeight;
  if (width <= 0 || height <= 0) return;
  size_t sourcePitch = static_cast<size_t>(movie.OGV_SX) * 4;
  size_t layerPitch = static_cast<size_t>(record->mWidth) * 4;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* from = movie.mFrameBuffer + static_cast<size_t>(y) * sourcePitch;
    uint8_t* to = record->mPixels + static_cast<size_t>(y) * layerPitch;
    std::copy(from, from + static_cast<size_t>(width) * 4, to);
  }
  InvalidateLayerToRoot(node);
}

void TickOgvMovie() {
  OgvMovieState& movie = g_OgvMovie;
  if (movie.mPlaying == 0) return;
  movie.mElapsed = GetTimeMs() - movie.mStartTime;
  movie.mFrame = static_cast<uint32_t>(static_cast<uint64_t>(movie.mElapsed) * kOgvFramesPerSecond / 1000u);
  if (movie.mTotalFrames <= 0 || movie.mFrame >= static_cast<uint32_t>(movie.mTotalFrames)) {
    StopOgvMovie();
    movie.mLayer = nullptr;
    movie.mPlaying = 0;
  } else {
    ShowOgvFrame(movie.mLayer);
  }
}

void ForgetOgvMovieLayer(const ObjectTreeNode* node) {
  if (node != nullptr && g_OgvMovie.mLayer == node) g_OgvMovie.mLayer = nullptr;
}

void ResetOgvMovie() {
  StopOgvMovie();
  g_OgvMovie = OgvMovieState();
}
