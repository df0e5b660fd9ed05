// Stand-ins until the movie players are built: no movie is ever open.
#include "core/stand_in.h"
#include "movie/movies.h"

OgvMovieState g_OgvMovie;
void ShowOgvFrame(uint32_t) { STAND_IN(); }
void StopOgvMovie() {
  STAND_IN();
  g_OgvMovie = OgvMovieState();
}
bool IsDirectShowMoviePlaying() {
  STAND_IN();
  return false;
}
bool IsMciMovieOpen() {
  STAND_IN();
  return false;
}
void CloseMovieDirectShow() { STAND_IN(); }
void CloseMovieMci() { STAND_IN(); }
void ReleaseFlashPlayer() { STAND_IN(); }
