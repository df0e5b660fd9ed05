#include "demo/demo_game.h"

#include <cmath>
#include <string>
#include <vector>

#include "core/message_ids.h"
#include "demo/demo_menu.h"
#include "demo/demo_movie.h"
#include "demo/demo_name.h"
#include "demo/demo_zoom.h"
#include "support/command_table.h"
#include "support/image_fixtures.h"
#include "support/script_assembler.h"
#include "support/script_test_env.h"
#include "support/sound_fixtures.h"

namespace {

// 0xAARRGGBB for each pixel of a width x height picture.
template <typename Colour>
GameFile Picture(const std::string& name, int width, int height, Colour colour) {
  BmpFixture bmp;
  bmp.mWidth = width;
  bmp.mHeight = height;
  bmp.mBits = 32;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) bmp.mPixels.push_back(colour(x, y));
  }
  std::vector<uint8_t> bytes = WriteBmp(bmp);
  return {name, Bytes(bytes.begin(), bytes.end())};
}

uint32_t Argb(int a, int r, int g, int b) {
  return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
         static_cast<uint32_t>(b);
}

// A disc of the colour with a soft edge.
GameFile Disc(const std::string& name, int size, int r, int g, int b) {
  return Picture(name, size, size, [=](int x, int y) {
    double dx = x + 0.5 - size / 2.0;
    double dy = y + 0.5 - size / 2.0;
    double edge = size / 2.0 - std::sqrt(dx * dx + dy * dy);
    int alpha = edge >= 2 ? 255 : edge <= 0 ? 0 : static_cast<int>(edge * 127);
    return Argb(alpha, r, g, b);
  });
}

}  // namespace

std::vector<GameFile> DemoPictures() {
  return {
      Picture("image\\sky.bmp", kDemoWidth, kDemoHeight,
              [](int, int y) { return Argb(255, 20 + y * 100 / kDemoHeight, 40 + y * 120 / kDemoHeight, 120 + y * 100 / kDemoHeight); }),
      Disc("image\\sun.bmp", 140, 255, 200, 60),
      Disc("image\\red.bmp", 90, 230, 60, 60),
      Disc("image\\green.bmp", 70, 60, 210, 90),
      Picture("image\\square.bmp", 80, 80, [](int x, int y) { return Argb(255, 240, 240, 250 - (x + y)); }),
      Picture("image\\band.bmp", kDemoWidth, 120, [](int, int y) { return Argb(150, 10, 10, 30 + y / 4); }),
  };
}

std::vector<GameFile> DemoSounds() {
  // Two seconds of a soft A minor chord that loops without a seam (whole
  // periods of every tone), and a short decaying click.
  constexpr uint32_t kRate = 44100;
  std::vector<int16_t> music;
  for (uint32_t i = 0; i < kRate * 2; ++i) {
    double t = static_cast<double>(i) / kRate;
    double value = std::sin(2 * M_PI * 220 * t) + 0.6 * std::sin(2 * M_PI * 261.5 * t) + 0.5 * std::sin(2 * M_PI * 329.5 * t);
    int16_t sample = static_cast<int16_t>(value * 4000);
    music.push_back(sample);
    music.push_back(sample);
  }
  std::vector<int16_t> click;
  for (uint32_t i = 0; i < 2205; ++i) {
    double decay = std::exp(-static_cast<double>(i) / 300.0);
    click.push_back(static_cast<int16_t>(std::sin(2 * M_PI * 2000.0 * i / 22050) * 20000 * decay));
  }
  return {{"sound\\music.ogg", EncodeVorbis(music, 2, kRate)},
          {"sound\\click.wav", MakePcmWav(1, 22050, 16, Pcm16Bytes(click))}};
}

namespace {

// The script keys the demo reads (system variables 147 + key give the
// frame counter of the key's input slot; its key table maps key k to slot k):
// the any-key slot, the left button and Escape.
constexpr int kAnyKey = 0;
constexpr int kLeftButton = 1;
constexpr int kEscape = 27;
constexpr uint16_t kFirstKeyCounterVariable = 147;

void Layer(ScriptAssembler& code, std::vector<Arg> args) { code.Op("layer", args); }

Expr Counter(int key) { return Var(static_cast<uint32_t>(kFirstKeyCounterVariable + key)); }

// Ends the program while Escape is down, or when the menu's Quit was chosen.
void EndOnEscape(ScriptAssembler& code) {
  code.If(Bin(Counter(kEscape), Num(0), '>'));
  code.End();
  code.EndIf();
  EndOnMenuQuit(code);
}

// S saves the red disc's place and image into memory slot 1; L loads them
// back and puts the disc where it was saved.
void SaveAndLoadKeys(ScriptAssembler& code) {
  const Expr saveKey = Var(kDemoPressCountBase + kDemoSaveKey);
  const Expr loadKey = Var(kDemoPressCountBase + kDemoLoadKey);
  code.If(Bin(saveKey, Num(0), '>'));
  code.Op("assign", {{"target", saveKey}, {"value", Num(0)}});
  code.Op("save", {{"dno", Num(1)}, {"var", Var(kDemoRedXVariable)}});
  code.Op("save", {{"slot", Num(1)}, {"dno", Num(2)}, {"layer", Str("red")}});
  code.EndIf();
  code.If(Bin(loadKey, Num(0), '>'));
  code.Op("assign", {{"target", loadKey}, {"value", Num(0)}});
  code.Op("load", {{"slot", Num(1)}, {"dno", Num(1)}, {"var", Var(kDemoRedXVariable)}});
  code.Op("load", {{"slot", Num(1)}, {"dno", Num(2)}, {"layer", Str("red")}});
  Layer(code, {{"path", Str("red")}, {"x", Var(kDemoRedXVariable)}});
  code.EndIf();
}

// Waits up to `frames` frames for a key press or a click.
void WaitForStep(ScriptAssembler& code, int frames) {
  code.Loop(Num(frames));
  EndOnEscape(code);
  SaveAndLoadKeys(code);
  code.If(Bin(Bin(Bin(Counter(kAnyKey), Num(1), '='), Bin(Counter(kLeftButton), Num(1), '='), '|'), MenuNextChosen(),
             '|'));
  ClearMenuChoice(code);
  code.Break();
  code.EndIf();
  code.Op("wait", {{"frames", Num(1)}});
  code.EndLoop();
}

// One scene: `step` moves the layers one frame, `frames` times.
template <typename Step>
void Scene(ScriptAssembler& code, int frames, Step step) {
  code.Loop(Num(frames));
  EndOnEscape(code);
  SaveAndLoadKeys(code);
  step();
  code.Op("wait", {{"frames", Num(1)}});
  code.EndLoop();
}

// The key counters and press counts the demo reads, and the red disc's place.
void DefineDemoVariables(ScriptData& data) {
  std::vector<int> numbers = {kDemoRedXVariable, kDemoPressCountBase + kDemoSaveKey,
                              kDemoPressCountBase + kDemoLoadKey};
  for (int key : {kAnyKey, kLeftButton, kEscape}) numbers.push_back(kFirstKeyCounterVariable + key);
  for (int number : numbers) {
    VariableDefinition definition;
    definition.mVariable = static_cast<uint16_t>(number);
    definition.mType = 1;
    data.mDefinitions.push_back(definition);
  }
}

void Click(ScriptAssembler& code) {
  code.Op("sound", {{"path", Str("se/click")}, {"file", Str("sound\\click.wav")}, {"play", Num(1)}, {"loops", Num(1)}});
}

}  // namespace

ScriptData DemoScript(const DemoTiming& timing) {
  ScriptData data;
  data.mMessages = TaggedMessages(std::vector<MessageId>(std::begin(kAllMessageIds), std::end(kAllMessageIds)));
  data.mCommands = StandardCommandTable();
  data.mVariableCount = 1999;
  data.mConfig.mWidth = kDemoWidth;
  data.mConfig.mHeight = kDemoHeight;
  data.mConfig.mTitle = "ORVANE demo";
  DefineDemoVariables(data);
  DefineDemoNameVariable(data);
  DefineDemoMenuVariables(data);
  DefineDemoZoomVariable(data);
  data.mConfig.mSoundSetting = 1;

  ScriptAssembler code(StandardCommandTable(), 0);
  code.Label("SYSTEM_START");
  AskPlayerName(code);
  Layer(code, {{"path", Str("sky")}, {"order", Num(1)}, {"file", Str("image\\sky.bmp")}});
  Layer(code, {{"path", Str("sun")}, {"order", Num(2)}, {"file", Str("image\\sun.bmp")}, {"x", Num(420)},
               {"y", Num(330)}, {"opacity", Num(0)}});
  Layer(code, {{"path", Str("red")}, {"order", Num(3)}, {"file", Str("image\\red.bmp")}, {"x", Num(-90)},
               {"y", Num(180)}, {"opacity", Num(0)}});
  Layer(code, {{"path", Str("band")}, {"order", Num(4)}, {"file", Str("image\\band.bmp")}, {"y", Num(340)},
               {"opacity", Num(0)}});
  DemoText(code);
  Layer(code, {{"path", Str("green")}, {"order", Num(5)}, {"file", Str("image\\green.bmp")}, {"x", Num(kDemoWidth)},
               {"y", Num(360)}, {"opacity", Num(0)}});
  Layer(code, {{"path", Str("square")}, {"order", Num(6)}, {"file", Str("image\\square.bmp")}, {"x", Num(280)},
               {"y", Num(-80)}, {"blend", Num(1)}});
  AddDemoZoomLayer(code);
  code.Op("sound", {{"path", Str("se/")}, {"volume", Num(200)}});
  code.Op("sound", {{"path", Str("bgm")}, {"file", Str("sound\\music.ogg")}, {"play", Num(1)}, {"fade", Num(800)},
                    {"volume", Num(160)}, {"loops", Num(0)}});
  code.Op("assign", {{"target", Var(kDemoRedXVariable)}, {"value", Num(-90)}});
  DefineDemoMenu(code);
  Click(code);
  // Scene 1: the sun rises and fades in.
  Scene(code, timing.mSceneFrames, [&] {
    Layer(code, {{"path", Str("sun")}, {"y", Num(1), 2}, {"opacity", Num(2), 1}});
  });
  WaitForStep(code, timing.mStepFrames);
  Click(code);
  // Scene 2: the characters fade in and cross; the band fades up to half.
  Scene(code, timing.mSceneFrames, [&] {
    Layer(code, {{"path", Str("sun")}, {"opacity", Num(256)}});
    code.Op("assign", {{"target", Var(kDemoRedXVariable), 1}, {"value", Num(3)}});
    Layer(code, {{"path", Str("red")}, {"x", Var(kDemoRedXVariable)}, {"opacity", Num(3), 1}});
    Layer(code, {{"path", Str("green")}, {"x", Num(3), 2}, {"opacity", Num(3), 1}});
    Layer(code, {{"path", Str("band")}, {"opacity", Num(1), 1}});
  });
  WaitForStep(code, timing.mStepFrames);
  Click(code);
  // Scene 3: the square drops in and the characters leave while a copy of the
  // green one grows and fades in; a clip plays.
  AddDemoMovie(code);
  Scene(code, timing.mSceneFrames, [&] {
    Layer(code, {{"path", Str("square")}, {"y", Num(2), 1}});
    Layer(code, {{"path", Str("red")}, {"y", Num(2), 2}, {"opacity", Num(2), 2}});
    Layer(code, {{"path", Str("green")}, {"y", Num(1), 1}, {"opacity", Num(2), 2}});
    StepDemoZoom(code);
  });
  WaitForStep(code, timing.mIdleFrames);
  Click(code);
  code.Op("sound", {{"path", Str("bgm")}, {"play", Num(0)}, {"fade", Num(300)}});
  code.End();
  AddScript(data, code, "main.txt");
  return data;
}
