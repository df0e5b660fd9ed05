#pragma once
// The demo's movie: a short Theora clip of moving colours that plays in a
// layer during the third scene. The clip and the layer's picture are loose
// files beside the pack (a movie inside a pack does not play).
#include <vector>

#include "support/script_assembler.h"
#include "support/script_data_builder.h"

constexpr int kDemoMovieWidth = 160;
constexpr int kDemoMovieHeight = 96;
constexpr int kDemoMovieFrames = 75;  // two and a half seconds

// movie\clip.ogv and the layer's picture image\screen.bmp.
std::vector<GameFile> DemoMovieFiles();
// Puts the layer "screen" in the top right corner and starts the clip in it.
void AddDemoMovie(ScriptAssembler& code);
