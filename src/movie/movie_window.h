#pragma once
// Movie files played over the main window, through one of two back ends
// chosen for the whole run by g_UseDirectShow: both are the same media
// player here, and each tells the end of its movie to the window procedure
// with its own message, which carries the number of the movie it belongs to.
#include <cstdint>
#include <string>

#include "platform/messages.h"

struct PlatformWindow;

// The end messages of the two back ends and the private message that asks
// for the newest movie picture to be drawn.
constexpr uint32_t kMsgDirectShowEvent = kMsgApp + 1;
constexpr uint32_t kMsgMciNotify = 0x03B9;
constexpr uint32_t kMsgMovieFrame = kMsgApp + 2;
constexpr uint64_t kMciNotifySuccessful = 1;
// The DirectShow volume floor (hundredths of a decibel).
constexpr int32_t kDirectShowSilence = -10000;
constexpr size_t kMoviePathBytes = 261;

struct MovieState {
  char mPath[kMoviePathBytes] = {};
  int32_t mX = 0;
  int32_t mY = 0;
  int32_t mWidth = 0;
  int32_t mHeight = 0;
  int32_t mVolume = 256;
  uint8_t mPlaying = 0;
  int32_t mMciOpen = 0;
  // Every play gets a new number; an end message of another number is an
  // earlier movie's and is ignored.
  uint32_t mGeneration = 0;
};
extern MovieState g_MovieState;

// DirectShow back end. 0 playing; -1 empty path; -2 the player failed.
int PlayMovieDirectShow(PlatformWindow* owner, const char* path, int32_t x, int32_t y, int32_t width, int32_t height,
                        int32_t volume);
void CloseMovieDirectShow();
void StopMovieDirectShow();
int SetMovieRectDirectShow(int32_t x, int32_t y, int32_t width, int32_t height);
// Volume 0..256 (clamped) as hundredths of a decibel: trunc(log10(v/256) x
// 4000), -10000 for 0. Returns the level set.
int32_t SetMovieVolumeDirectShow(int32_t volume);
// 1 when the movie ended or failed (the player is then closed), else 0.
int PumpMovieEventsDirectShow();

// MCI back end. 1 playing, 0 the open failed.
int PlayMovieMci(PlatformWindow* owner, const char* path, int32_t x, int32_t y, int32_t width, int32_t height);
void CloseMovieMci();
void StopMovieMci();
// Volume 0..256 (clamped) as the device's 0..1000. Returns the level set.
int32_t SetMovieVolumeMci(int32_t volume);
void SetMovieRectMci(int32_t x, int32_t y, int32_t width, int32_t height);

// A scaled coordinate as 32 bits, truncated; values beyond the range stop at
// its ends (a script may give any position).
int32_t TruncToInt32(double value);
// A side in logical pixels at the present size: side x present / logical,
// computed in 64 bits and kept as 32; the side itself when logical is 0.
int32_t ScaleMovieSide(int32_t side, int32_t present, int32_t logical);
// The DirectShow volume level and the MCI level of a script volume.
int32_t DirectShowVolumeLevel(int32_t volume);
int32_t MciVolumeLevel(int32_t volume);
// The MPEG kind of a game file: 0 it does not open, 1 MPEG-1, 2 MPEG-2, 255
// anything else.
int32_t ReadMpegType(const char* name);

// The window procedure's part: the end message of either back end (the
// movie no longer plays when it is the current movie's) and the request to
// draw the newest picture.
void OnDirectShowEventMessage(uint64_t wParam, int64_t lParam);
void OnMciNotifyMessage(uint64_t wParam, int64_t lParam);
void DrawMovieWindowFrame();
// The frame step draws nothing while a movie plays over the window.
bool IsDirectShowMoviePlaying();
bool IsMciMovieOpen();
// Places the movie over the picture again after the main window changed
// size or mode (present size over logical size).
void RepositionMovieWindows(double scaleX, double scaleY);
// The player of the current movie's volume factor (tests); -1 without one.
double GetMovieOutputVolume();
// The current player's rectangle (x, y, width, height); false without one.
bool GetMovieOutputRect(int rect[4]);
void ResetMovieWindowState();
