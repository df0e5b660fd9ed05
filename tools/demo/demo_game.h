#pragma once
// The demo game: three scenes over a sky and a music loop. A sun rises and
// fades in; two characters fade in and cross the window while a
// half-transparent message band fades up; then a square drops in and the
// characters leave. A click sounds at each scene. S
// saves the red disc with its place into memory slot 1 and L loads them back. A key or a click steps to
// the next scene early, Escape ends the program at any time, and after the
// last scene the game ends on its own once it has been idle for its idle time.
#include <vector>

#include "support/script_data_builder.h"

constexpr int kDemoWidth = 640;
constexpr int kDemoHeight = 480;

// Frame counts of the demo's parts.
struct DemoTiming {
  int mSceneFrames = 120;  // each scene's movement
  int mStepFrames = 240;   // the longest wait for a key or click between scenes
  int mIdleFrames = 600;   // the idle frames before the end (ten seconds)
};

// The last frame the demo can reach without any input.
inline int DemoLength(const DemoTiming& timing) {
  return 3 * timing.mSceneFrames + 2 * timing.mStepFrames + timing.mIdleFrames;
}

// The variable that holds the red disc's place, and the virtual-key codes of
// the save and load keys; the press count of script key k is system
// variable 281 + k.
constexpr int kDemoRedXVariable = 1000;
constexpr int kDemoSaveKey = 0x53;  // S
constexpr int kDemoLoadKey = 0x4C;  // L
constexpr int kDemoPressCountBase = 281;

// The line of Japanese text written into the message band ("band", 640 x
// 120) at (kDemoTextX, kDemoTextY) in cells of kDemoTextSize pixels, with
// text style kDemoTextStyle.
// "ようこそ、デモへ。" in Shift-JIS, spelled as bytes: the tools are built
// without the literal conversion the engine's sources get.
inline constexpr const char* kDemoText = "\x82\xE6\x82\xA4\x82\xB1\x82\xBB\x81\x41\x83\x66\x83\x82\x82\xD6\x81\x42";
constexpr int kDemoTextX = 40;
constexpr int kDemoTextY = 24;
constexpr int kDemoTextSize = 28;
constexpr int kDemoTextStyle = 1;
class ScriptAssembler;
void DemoText(ScriptAssembler& code);

// The compiled script data (one script, main.txt).
ScriptData DemoScript(const DemoTiming& timing = DemoTiming());
// The pictures the script loads, under image\.
std::vector<GameFile> DemoPictures();
// The looping music (Ogg Vorbis) and the click (WAV) it plays, under sound\.
std::vector<GameFile> DemoSounds();
