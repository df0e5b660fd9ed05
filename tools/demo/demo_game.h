#pragma once
// The demo game: a sky, a sun that rises and fades in, and shapes that cross
// the window in front of it and behind a half-transparent band; it ends on
// its own after kDemoFrames frames. The red disc's place follows a frame
// counter that the S key saves into memory slot 1 (with the disc's image) and
// the L key loads back, so the disc jumps back to where it was saved.
#include <vector>

#include "support/script_data_builder.h"

constexpr int kDemoWidth = 640;
constexpr int kDemoHeight = 480;
constexpr int kDemoFrames = 300;
// The frame counter the save keys keep, and the virtual-key codes of the keys.
constexpr int kDemoCounterVariable = 1000;
constexpr int kDemoSaveKey = 0x53;  // S
constexpr int kDemoLoadKey = 0x4C;  // L
// The press count of script key k is system variable 281 + k.
constexpr int kDemoPressCountBase = 281;

// The compiled script data (one script, main.txt).
ScriptData DemoScript();
// The pictures the script loads, under image\.
std::vector<GameFile> DemoPictures();
