// Stand-ins until the movie players are built: no movie is ever open.
#include "movie/movies.h"

OgvMovieState g_OgvMovie;
void ShowOgvFrame(uint32_t) {}
void StopOgvMovie() { g_OgvMovie = OgvMovieState(); }
bool IsDirectShowMoviePlaying() { return false; }
bool IsMciMovieOpen() { return false; }
void CloseMovieDirectShow() {}
void CloseMovieMci() {}
void ReleaseFlashPlayer() {}
