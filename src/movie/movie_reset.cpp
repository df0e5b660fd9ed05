#include "movie/movie_reset.h"

#include <algorithm>
#include <iterator>

#include "movie/emote.h"
#include "movie/emote_control.h"
#include "movie/movies.h"

void ResetMovieState() {
  ResetOgvMovie();
  ResetMovieWindowState();
  ResetFlashState();
  ReleaseAllEmotePlayers();
  ReleaseEmoteDlls();
  std::fill(std::begin(g_EmotePendingTime), std::end(g_EmotePendingTime), 0.0f);
  ResetEmoteControlState();
}
