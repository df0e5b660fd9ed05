// The script commands of the movie files over the window and of the Theora
// movie on a layer.
#include <cmath>
#include <cstring>
#include <string>

#include "core/display_state.h"
#include "core/errors.h"
#include "core/file_names.h"
#include "core/message_ids.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/settings.h"
#include "core/window_table.h"
#include "datasrc/resource_lookup.h"
#include "layer/layer_commands.h"
#include "movie/movie_window.h"
#include "movie/ogv_movie.h"
#include "platform/clock.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/variables.h"

namespace {

constexpr int kMoviePlaySlot = 70;
constexpr int kMovieStopSlot = 71;
constexpr int kMovieQuerySlot = 72;
constexpr int kOgvOpenSlot = 73;
constexpr int kOgvCloseSlot = 74;
constexpr int kOgvQuerySlot = 75;
constexpr int kValidateOnly76Slot = 76;


// A number field under the argument's value operation, kept as 32 bits.
void ApplyField(int id, int32_t* field) {
  if (!HasArg(id)) return;
  int slot = ArgSlot(id);
  *field = static_cast<int32_t>(ApplyValueOp(g_ArgOperator[slot], *field, g_ArgInt[slot]));
}

// A file name as the movie commands use it: lower-cased, "\" separators.
std::string GameFileName(const char* text) {
  std::string name = text;
  LowerCaseName(name);
  ReplaceSlashesWithBackslashes(name);
  return name;
}

int32_t MainWidth() { return g_WindowTable[0] != nullptr ? g_WindowTable[0]->mWidth : 0; }
int32_t MainHeight() { return g_WindowTable[0] != nullptr ? g_WindowTable[0]->mHeight : 0; }

void StoreNumber(int outId, int64_t value) {
  if (!HasArg(outId)) return;
  int slot = ArgSlot(outId);
  SetNumberElement(static_cast<uint32_t>(g_ArgVarId[slot]), g_ArgVarElement[slot], value);
}

int PlayThroughDirectShow() {
  MovieState& movie = g_MovieState;
  int32_t w = MainWidth();
  int32_t h = MainHeight();
  double sx = w != 0 ? static_cast<double>(g_PresentWidth) / w : 1.0;
  double sy = h != 0 ? static_cast<double>(g_PresentHeight) / h : 1.0;
  int32_t x = TruncToInt32(g_PaintOffset.mX + movie.mX * sx);
  int32_t y = TruncToInt32(g_PaintOffset.mY + movie.mY * sy);
  int result = PlayMovieDirectShow(GetMainPlatformWindow(), movie.mPath, x, y,
                                   ScaleMovieSide(movie.mWidth, g_PresentWidth, w),
                                   ScaleMovieSide(movie.mHeight, g_PresentHeight, h), movie.mVolume);
  if (result >= 0) {
    movie.mPlaying = 1;
    return 0;
  }
  if (result == -1) ReportErrorAtScript(kMsgMoviePathEmpty);
  if (result == -2) ReportErrorAtScript(kMsgMoviePlayerFailed);
  return -1;
}

void PlayThroughMci() {
  MovieState& movie = g_MovieState;
  int32_t w = MainWidth();
  int32_t h = MainHeight();
  int32_t presentWidth = g_PresentWidth;
  int32_t presentHeight = g_PresentHeight;
  int32_t offsetX = g_PaintOffset.mX;
  int32_t offsetY = g_PaintOffset.mY;
  if (g_ScalingMode == 2) {
    int32_t cw = g_ConfiguredWidth;
    int32_t ch = g_ConfiguredHeight;
    int32_t fitWidth = cw;
    int32_t fitHeight = ch;
    if (w != 0 && ch > cw * h / w) {
      fitWidth = cw;
      fitHeight = cw * h / w;
    } else {
      fitWidth = h != 0 ? ch * w / h : fitWidth;
      fitHeight = ch;
    }
    offsetX = (cw - fitWidth) / 2;
    offsetY = (ch - fitHeight) / 2;
    presentWidth = fitWidth;
    presentHeight = fitHeight;
  }
  auto x = static_cast<int32_t>(static_cast<int64_t>(offsetX) + movie.mX);
  auto y = static_cast<int32_t>(static_cast<int64_t>(offsetY) + movie.mY);
  int32_t width = ScaleMovieSide(movie.mWidth, presentWidth, w);
  int32_t height = ScaleMovieSide(movie.mHeight, presentHeight, h);
  movie.mMciOpen = PlayMovieMci(GetMainPlatformWindow(), movie.mPath, x, y, width, height);
  SetMovieVolumeMci(movie.mVolume);
  // Only a movie that opened plays: a failed open would hold the drawing of
  // every frame until the next stop.
  if (movie.mMciOpen == 1) movie.mPlaying = 1;
}

}  // namespace

int32_t CmdMoviePlay() {
  if (FetchCommandArguments(kMoviePlaySlot) != 0) return -1;
  MovieState& movie = g_MovieState;
  ApplyField(2, &movie.mX);
  ApplyField(3, &movie.mY);
  ApplyField(4, &movie.mWidth);
  ApplyField(5, &movie.mHeight);
  if (HasArg(0)) {
    std::string name = GameFileName(ArgText(0));
    if (!HasArg(2)) movie.mX = 0;
    if (!HasArg(3)) movie.mY = 0;
    if (!HasArg(4)) movie.mWidth = MainWidth();
    if (!HasArg(5)) movie.mHeight = MainHeight();
    if (!FileExistsOnDisk(name.c_str())) return 0;
    std::snprintf(movie.mPath, sizeof movie.mPath, "%s", name.c_str());
    movie.mPlaying = 0;
  }
  if (HasArg(6)) {
    movie.mVolume = static_cast<int32_t>(ArgInt(6));
    if (g_UseDirectShow == 1) {
      SetMovieVolumeDirectShow(movie.mVolume);
    } else {
      SetMovieVolumeMci(movie.mVolume);
    }
  }
  if (!HasArg(1)) return 0;
  if (ArgInt(1) == 0) {
    if (g_UseDirectShow == 1) {
      StopMovieDirectShow();
    } else {
      StopMovieMci();
    }
    movie.mPlaying = 0;
  } else if (ArgInt(1) == 1) {
    if (g_UseDirectShow == 1) return PlayThroughDirectShow();
    PlayThroughMci();
  }
  return 0;
}

int32_t CmdMovieStop() {
  if (FetchCommandArguments(kMovieStopSlot) != 0) return -1;
  if (g_UseDirectShow == 1) {
    CloseMovieDirectShow();
  } else {
    CloseMovieMci();
  }
  MovieState& movie = g_MovieState;
  movie.mPath[0] = '\0';
  movie.mPlaying = 0;
  movie.mVolume = 256;
  movie.mMciOpen = 0;
  return 0;
}

int32_t CmdMovieQuery() {
  if (FetchCommandArguments(kMovieQuerySlot) != 0) return -1;
  const MovieState& movie = g_MovieState;
  if (HasArg(0)) {
    StoreNumber(7, movie.mPlaying);
  } else if (HasArg(1)) {
    StoreNumber(7, movie.mX);
  } else if (HasArg(2)) {
    StoreNumber(7, movie.mY);
  } else if (HasArg(3)) {
    StoreNumber(7, movie.mWidth);
  } else if (HasArg(4)) {
    StoreNumber(7, movie.mHeight);
  } else if (HasArg(5)) {
    StoreNumber(7, movie.mVolume);
  } else if (HasArg(6)) {
    StoreNumber(7, ReadMpegType(GameFileName(ArgText(6)).c_str()));
  }
  return 0;
}

int32_t CmdOgvOpen() {
  if (FetchCommandArguments(kOgvOpenSlot) != 0) return -1;
  ObjectTreeNode* node = nullptr;
  if (HasArg(0)) {
    char path[kObjectPathBytes];
    int kind = NormalizeLayerPathArguments(path);
    if (kind < 0) return -1;
    node = FindObjectByPath(g_LayerRoot, path, kind == kPathGroup ? kPathGroup : kPathLeaf);
    if (node == nullptr) {
      ReportErrorAtScriptFmt(kMsgShareSourceMissing, CommandName(kOgvOpenSlot), path);
      return -1;
    }
  }
  MovieState& movieWindow = g_MovieState;
  ApplyField(4, &movieWindow.mWidth);
  ApplyField(5, &movieWindow.mHeight);
  if (!HasArg(2)) return 0;
  std::string name = GameFileName(ArgText(2));
  if (!HasArg(4)) movieWindow.mWidth = MainWidth();
  if (!HasArg(5)) movieWindow.mHeight = MainHeight();
  // Only a loose file plays: a movie inside a pack is not opened.
  if (!FileExistsOnDisk(name.c_str())) return 0;
  if (OpenOgvMovie(name.c_str()) != 0) return 0;
  OgvMovieState& movie = g_OgvMovie;
  movie.mLayer = node;
  movie.mFrame = 0;
  movie.mStartTime = GetTimeMs();
  ShowOgvFrame(movie.mLayer);
  movie.mPlaying = 1;
  return 0;
}

int32_t CmdOgvClose() {
  if (FetchCommandArguments(kOgvCloseSlot) != 0) return -1;
  StopOgvMovie();
  g_OgvMovie.mLayer = nullptr;
  g_OgvMovie.mPlaying = 0;
  return 0;
}

int32_t CmdOgvQuery() {
  if (FetchCommandArguments(kOgvQuerySlot) != 0) return -1;
  const OgvMovieState& movie = g_OgvMovie;
  auto nowSample = [&]() -> int64_t {
    if (g_TheoraApi == nullptr || movie.mAudio == nullptr) return 0;
    return g_TheoraApi->w_nowsample(movie.mAudio);
  };
  if (HasArg(0)) {
    StoreNumber(5, g_MovieState.mPlaying);
  } else if (HasArg(1)) {
    StoreNumber(5, nowSample());
  } else if (HasArg(2)) {
    nowSample();
    StoreNumber(5, g_MovieState.mHeight);
  } else if (HasArg(3)) {
    StoreNumber(5, g_MovieState.mVolume);
  } else if (HasArg(4)) {
    StoreNumber(5, ReadMpegType(GameFileName(ArgText(4)).c_str()));
  }
  return 0;
}

int32_t CmdValidateOnly76() {
  if (FetchCommandArguments(kValidateOnly76Slot) != 0) return -1;
  return 0;
}
