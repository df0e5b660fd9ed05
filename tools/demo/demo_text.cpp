// The demo's line of Japanese text: written once into the message band with
// the image command's text drawing, in a text style of its own that blends
// the glyphs over the band.
#include <string>

#include "demo/demo_game.h"
#include "support/script_assembler.h"

void DemoText(ScriptAssembler& code) {
  code.Op("text_style", {{"style", Num(kDemoTextStyle)},
                         {"colour", Num(0xFFF0C0)},
                         {"colour2", Num(0xFFF0C0)},
                         {"mode", Num(1)},
                         {"width", Num(kDemoTextSize)},
                         {"height", Num(kDemoTextSize)}});
  code.Op("image", {{"source", Str("band")},
                    {"style", Num(kDemoTextStyle)},
                    {"draw_text", Num(1)},
                    {"text", Str(kDemoText)},
                    {"x0", Num(kDemoTextX)},
                    {"y0", Num(kDemoTextY)}});
}
