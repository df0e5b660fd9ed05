#include "demo/demo_game.h"

#include <cmath>
#include <string>
#include <vector>

#include "core/message_ids.h"
#include "support/command_table.h"
#include "support/image_fixtures.h"
#include "support/script_assembler.h"
#include "support/script_test_env.h"

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

namespace {

void Layer(ScriptAssembler& code, std::vector<Arg> args) { code.Op("layer", args); }

}  // namespace

ScriptData DemoScript() {
  ScriptData data;
  data.mMessages = TaggedMessages(std::vector<MessageId>(std::begin(kAllMessageIds), std::end(kAllMessageIds)));
  data.mCommands = StandardCommandTable();
  data.mVariableCount = 1999;
  data.mConfig.mWidth = kDemoWidth;
  data.mConfig.mHeight = kDemoHeight;
  data.mConfig.mTitle = "ORVANE demo";
  // The frame counter, and the press counts of the two keys (system
  // variables are read through their declared type).
  for (int variable : {kDemoCounterVariable, kDemoPressCountBase + kDemoSaveKey, kDemoPressCountBase + kDemoLoadKey}) {
    VariableDefinition definition;
    definition.mVariable = static_cast<uint16_t>(variable);
    definition.mType = 1;
    data.mDefinitions.push_back(definition);
  }

  ScriptAssembler code(StandardCommandTable(), 0);
  code.Label("SYSTEM_START");
  Layer(code, {{"path", Str("sky")}, {"order", Num(1)}, {"file", Str("image\\sky.bmp")}});
  Layer(code, {{"path", Str("sun")}, {"order", Num(2)}, {"file", Str("image\\sun.bmp")}, {"x", Num(420)},
               {"y", Num(330)}, {"opacity", Num(0)}});
  Layer(code, {{"path", Str("red")}, {"order", Num(3)}, {"file", Str("image\\red.bmp")}, {"x", Num(-90)},
               {"y", Num(180)}});
  Layer(code, {{"path", Str("band")}, {"order", Num(4)}, {"file", Str("image\\band.bmp")}, {"y", Num(340)}});
  Layer(code, {{"path", Str("green")}, {"order", Num(5)}, {"file", Str("image\\green.bmp")}, {"x", Num(kDemoWidth)},
               {"y", Num(360)}});
  Layer(code, {{"path", Str("square")}, {"order", Num(6)}, {"file", Str("image\\square.bmp")}, {"x", Num(280)},
               {"y", Num(-80)}, {"blend", Num(1)}});
  code.Loop(Num(kDemoFrames));
  Layer(code, {{"path", Str("sun")}, {"y", Num(1), 2}, {"opacity", Num(1), 1}});
  // The red disc: 3 pixels a frame from its start, by the frame counter.
  code.Op("assign", {{"target", Var(kDemoCounterVariable), 1}, {"value", Num(1)}});
  Layer(code, {{"path", Str("red")}, {"x", Bin(Bin(Var(kDemoCounterVariable), Num(3), '*'), Num(90), '-')}});
  // S saves the counter and the disc into memory slot 1, L loads them back.
  const Expr saveKey = Var(kDemoPressCountBase + kDemoSaveKey);
  const Expr loadKey = Var(kDemoPressCountBase + kDemoLoadKey);
  code.If(Bin(saveKey, Num(0), '>'));
  code.Op("assign", {{"target", saveKey}, {"value", Num(0)}});
  code.Op("save", {{"dno", Num(1)}, {"var", Var(kDemoCounterVariable)}});
  code.Op("save", {{"slot", Num(1)}, {"dno", Num(2)}, {"layer", Str("red")}});
  code.EndIf();
  code.If(Bin(loadKey, Num(0), '>'));
  code.Op("assign", {{"target", loadKey}, {"value", Num(0)}});
  code.Op("load", {{"slot", Num(1)}, {"dno", Num(1)}, {"var", Var(kDemoCounterVariable)}});
  code.Op("load", {{"slot", Num(1)}, {"dno", Num(2)}, {"layer", Str("red")}});
  Layer(code, {{"path", Str("red")}, {"x", Bin(Bin(Var(kDemoCounterVariable), Num(3), '*'), Num(90), '-')},
               {"y", Num(180)}});
  code.EndIf();
  Layer(code, {{"path", Str("green")}, {"x", Num(3), 2}});
  Layer(code, {{"path", Str("square")}, {"y", Num(2), 1}});
  code.Op("wait", {{"frames", Num(1)}});
  code.EndLoop();
  code.Op("end");
  AddScript(data, code, "main.txt");
  return data;
}
