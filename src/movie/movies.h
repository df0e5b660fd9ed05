#pragma once
// Movies: the Theora movie on a layer, movie files over the main window and
// Flash movies in a child window.
#include "movie/flash_movie.h"
#include "movie/movie_window.h"
#include "movie/ogv_movie.h"
