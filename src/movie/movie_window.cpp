#include "movie/movie_window.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/display_state.h"
#include "core/settings.h"
#include "core/window_table.h"
#include "platform/game_files.h"
#include "platform/movie_player.h"
#include "platform/window.h"

MovieState g_MovieState;

namespace {

// The one player of both back ends, and which of them opened it.
PlatformMovie* g_player = nullptr;
bool g_playerIsMci = false;

int32_t ClampVolume(int32_t volume) { return std::clamp(volume, 0, 256); }

PlatformMovie* OpenPlayer(PlatformWindow* owner, const char* path, uint32_t endMessage, int32_t x, int32_t y,
                          int32_t width, int32_t height) {
  g_MovieState.mGeneration += 1;
  PlatformMovieNotice notice;
  notice.mMessage = endMessage;
  notice.mWParam = endMessage == kMsgMciNotify ? kMciNotifySuccessful : 0;
  notice.mLParam = static_cast<int64_t>(g_MovieState.mGeneration);
  notice.mFrameMessage = kMsgMovieFrame;
  PlatformMovie* movie = OpenPlatformMovie(ResolveGamePath(path), owner, notice);
  if (movie != nullptr) SetPlatformMovieRect(movie, x, y, width, height);
  return movie;
}

// The movie's place shows the composed picture again: the whole window is
// painted anew.
void UncoverMainWindow() {
  PlatformWindow* main = GetMainPlatformWindow();
  if (main != nullptr) InvalidatePlatformWindow(main);
}

void ClosePlayer() {
  if (g_player == nullptr) return;
  ClosePlatformMovie(g_player);
  g_player = nullptr;
  UncoverMainWindow();
}

}  // namespace

int32_t TruncToInt32(double value) {
  if (!(value > -2147483648.0)) return INT32_MIN;
  if (value >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(value);
}

int32_t ScaleMovieSide(int32_t side, int32_t present, int32_t logical) {
  if (logical == 0) return side;
  return static_cast<int32_t>(static_cast<int64_t>(side) * present / logical);
}

int32_t DirectShowVolumeLevel(int32_t volume) {
  // A volume below 0 would reach the logarithm: it is silence, as 0 is.
  volume = ClampVolume(volume);
  if (volume == 0) return kDirectShowSilence;
  auto level = static_cast<int32_t>(std::trunc(std::log10(volume / 256.0) * 4000.0));
  return std::clamp(level, kDirectShowSilence, 0);
}

int32_t MciVolumeLevel(int32_t volume) { return ClampVolume(volume) * 1000 / 256; }

int PlayMovieDirectShow(PlatformWindow* owner, const char* path, int32_t x, int32_t y, int32_t width, int32_t height,
                        int32_t volume) {
  if (path == nullptr || path[0] == '\0') return -1;
  CloseMovieDirectShow();
  g_player = OpenPlayer(owner, path, kMsgDirectShowEvent, x, y, width, height);
  if (g_player == nullptr) return -2;
  g_playerIsMci = false;
  SetMovieVolumeDirectShow(volume);
  if (!PlayPlatformMovie(g_player)) {
    ClosePlayer();
    return -2;
  }
  return 0;
}

void CloseMovieDirectShow() {
  if (g_player != nullptr && !g_playerIsMci) ClosePlayer();
}

void StopMovieDirectShow() {
  if (g_player == nullptr || g_playerIsMci) return;
  StopPlatformMovie(g_player);
  UncoverMainWindow();
}

int SetMovieRectDirectShow(int32_t x, int32_t y, int32_t width, int32_t height) {
  if (g_player == nullptr || g_playerIsMci) return -1;
  SetPlatformMovieRect(g_player, x, y, width, height);
  return 0;
}

int32_t SetMovieVolumeDirectShow(int32_t volume) {
  int32_t level = DirectShowVolumeLevel(volume);
  if (g_player != nullptr && !g_playerIsMci) {
    double factor = level <= kDirectShowSilence ? 0.0 : std::pow(10.0, level / 2000.0);
    SetPlatformMovieVolume(g_player, factor);
  }
  return level;
}

int PumpMovieEventsDirectShow() {
  if (g_player == nullptr || g_playerIsMci) return 0;
  for (;;) {
    PlatformMovieEvent event = TakePlatformMovieEvent(g_player);
    if (event == kMovieEventNone) return 0;
    if (event == kMovieEventEnd || event == kMovieEventError) {
      CloseMovieDirectShow();
      return 1;
    }
  }
}

int PlayMovieMci(PlatformWindow* owner, const char* path, int32_t x, int32_t y, int32_t width, int32_t height) {
  CloseMovieMci();
  if (path == nullptr || path[0] == '\0') return 0;
  g_player = OpenPlayer(owner, path, kMsgMciNotify, x, y, width, height);
  if (g_player == nullptr) return 0;
  g_playerIsMci = true;
  if (!PlayPlatformMovie(g_player)) {
    ClosePlayer();
    return 0;
  }
  return 1;
}

void CloseMovieMci() {
  if (g_player != nullptr && g_playerIsMci) ClosePlayer();
}

void StopMovieMci() {
  if (g_player == nullptr || !g_playerIsMci) return;
  StopPlatformMovie(g_player);
  UncoverMainWindow();
}

int32_t SetMovieVolumeMci(int32_t volume) {
  int32_t level = MciVolumeLevel(volume);
  if (g_player != nullptr && g_playerIsMci) SetPlatformMovieVolume(g_player, level / 1000.0);
  return level;
}

void SetMovieRectMci(int32_t x, int32_t y, int32_t width, int32_t height) {
  if (g_player != nullptr && g_playerIsMci) SetPlatformMovieRect(g_player, x, y, width, height);
}

int32_t ReadMpegType(const char* name) {
  FILE* file = name != nullptr ? OpenGameFile(name, "rb") : nullptr;
  if (file == nullptr) return 0;
  unsigned char head[5] = {};
  size_t got = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  if (got < sizeof head) return 255;
  if (head[0] != 0x00 || head[1] != 0x00 || head[2] != 0x01 || head[3] != 0xBA) return 255;
  if ((head[4] & 0xF0) == 0x20) return 1;
  if ((head[4] & 0xC0) == 0x40) return 2;
  return 255;
}

void OnDirectShowEventMessage(uint64_t, int64_t lParam) {
  if (static_cast<uint32_t>(lParam) != g_MovieState.mGeneration) return;  // an earlier movie's
  if (PumpMovieEventsDirectShow() != 0) g_MovieState.mPlaying = 0;
}

void OnMciNotifyMessage(uint64_t wParam, int64_t lParam) {
  if (static_cast<uint32_t>(lParam) != g_MovieState.mGeneration) return;  // an earlier movie's
  if (g_MovieState.mMciOpen == 1 && wParam == kMciNotifySuccessful) {
    g_MovieState.mPlaying = 0;
    UncoverMainWindow();
  }
}

void DrawMovieWindowFrame() {
  if (g_player != nullptr && g_MovieState.mPlaying != 0) DrawPlatformMovieFrame(g_player);
}

bool IsDirectShowMoviePlaying() { return g_MovieState.mPlaying != 0; }
bool IsMciMovieOpen() { return g_MovieState.mPlaying != 0; }

void RepositionMovieWindows(double scaleX, double scaleY) {
  if (g_MovieState.mPlaying == 0 || g_player == nullptr) return;
  const WindowObject* main = g_WindowTable[0];
  int32_t logicalWidth = main != nullptr ? main->mWidth : 0;
  int32_t logicalHeight = main != nullptr ? main->mHeight : 0;
  int32_t presentWidth = g_PresentWidth;
  int32_t presentHeight = g_PresentHeight;
  int32_t offsetX = (g_ConfiguredWidth - g_PresentWidth) / 2;
  int32_t offsetY = (g_ConfiguredHeight - g_PresentHeight) / 2;
  if (g_playerIsMci && g_ScalingMode == 2 && logicalWidth != 0 && logicalHeight != 0) {
    int32_t fitWidth = g_ConfiguredHeight * logicalWidth / logicalHeight;
    int32_t fitHeight = g_ConfiguredHeight;
    if (g_ConfiguredHeight > g_ConfiguredWidth * logicalHeight / logicalWidth) {
      fitWidth = g_ConfiguredWidth;
      fitHeight = g_ConfiguredWidth * logicalHeight / logicalWidth;
    }
    offsetX = (g_ConfiguredWidth - fitWidth) / 2;
    offsetY = (g_ConfiguredHeight - fitHeight) / 2;
    presentWidth = fitWidth;
    presentHeight = fitHeight;
  }
  int32_t x = TruncToInt32(g_MovieState.mX * scaleX + offsetX);
  int32_t y = TruncToInt32(g_MovieState.mY * scaleY + offsetY);
  SetPlatformMovieRect(g_player, x, y, ScaleMovieSide(g_MovieState.mWidth, presentWidth, logicalWidth),
                       ScaleMovieSide(g_MovieState.mHeight, presentHeight, logicalHeight));
}

double GetMovieOutputVolume() { return g_player != nullptr ? GetPlatformMovieVolume(g_player) : -1.0; }

bool GetMovieOutputRect(int rect[4]) { return GetPlatformMovieRect(g_player, rect); }

void ResetMovieWindowState() {
  ClosePlayer();
  g_playerIsMci = false;
  g_MovieState = MovieState();
}
