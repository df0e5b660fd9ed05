#pragma once
// Movie files played over a window: one media player (GStreamer playbin)
// whose pictures arrive as B, G, R, X frames that are drawn into a rectangle
// of the owner window's client area, and whose sound plays through the
// player's own audio output. When the stream ends or fails the player posts
// the message it was given to its owner window.
#include <cstdint>
#include <string>

struct PlatformMovie;
struct PlatformWindow;

struct PlatformMovieNotice {
  uint32_t mMessage = 0;  // posted once when the stream ends or fails
  uint64_t mWParam = 0;
  int64_t mLParam = 0;
  uint32_t mFrameMessage = 0;  // posted for each new picture; 0 none
};

// Opens the file (a native path) and prepares it to the first picture:
// null when the player cannot play it (no such file, no plugin for its
// format, a damaged stream). The movie stands still until played.
PlatformMovie* OpenPlatformMovie(const std::string& nativePath, PlatformWindow* owner,
                                 const PlatformMovieNotice& notice);
// Stops and frees the player; nothing for null.
void ClosePlatformMovie(PlatformMovie* movie);
bool PlayPlatformMovie(PlatformMovie* movie);
// Stops the movie and rewinds it; the player stays.
void StopPlatformMovie(PlatformMovie* movie);
// The rectangle of the owner's client area the pictures fill.
void SetPlatformMovieRect(PlatformMovie* movie, int x, int y, int width, int height);
// Sound level as a factor of the full amplitude (0 silent .. 1 full).
void SetPlatformMovieVolume(PlatformMovie* movie, double factor);
double GetPlatformMovieVolume(const PlatformMovie* movie);
// The rectangle as x, y, width, height; false for null.
bool GetPlatformMovieRect(PlatformMovie* movie, int rect[4]);

enum PlatformMovieEvent : int { kMovieEventNone = 0, kMovieEventEnd = 1, kMovieEventError = 2 };
// Takes the next pending event of the player without waiting.
PlatformMovieEvent TakePlatformMovieEvent(PlatformMovie* movie);
// Draws the newest picture into the rectangle of the owner window (main
// thread); false when there is none or nothing was drawn.
bool DrawPlatformMovieFrame(PlatformMovie* movie);
// Pictures the player has handed over so far.
uint64_t CountPlatformMovieFrames(const PlatformMovie* movie);

// Tests and machines without sound: the sound is decoded and timed but not
// played.
void SetPlatformMovieSilent(bool silent);
