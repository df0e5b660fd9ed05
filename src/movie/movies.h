#pragma once
// Theora movies on layers, movie windows and the Flash player.
#include <cstdint>

// The Theora movie on a layer, advanced by the frame step.
struct OgvMovieState {
  bool mOpen = false;
  uint32_t mStartTime = 0;
  uint32_t mElapsed = 0;
  uint32_t mFrame = 0;
  uint32_t mFrameCount = 0;
};
extern OgvMovieState g_OgvMovie;
void ShowOgvFrame(uint32_t frame);
void StopOgvMovie();

bool IsDirectShowMoviePlaying();
bool IsMciMovieOpen();
void CloseMovieDirectShow();
void CloseMovieMci();
void ReleaseFlashPlayer();
