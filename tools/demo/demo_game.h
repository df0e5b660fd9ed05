#pragma once
// The demo game: a sky, a sun that rises and fades in, and shapes that cross
// the window in front of it and behind a half-transparent band, over a music
// loop with a click at the start and the end; it ends on its own after
// kDemoFrames frames.
#include <vector>

#include "support/script_data_builder.h"

constexpr int kDemoWidth = 640;
constexpr int kDemoHeight = 480;
constexpr int kDemoFrames = 300;

// The compiled script data (one script, main.txt).
ScriptData DemoScript();
// The pictures the script loads, under image\.
std::vector<GameFile> DemoPictures();
// The looping music (Ogg Vorbis) and the click (WAV) it plays, under sound\.
std::vector<GameFile> DemoSounds();
