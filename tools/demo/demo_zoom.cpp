#include "demo/demo_zoom.h"

namespace {

Expr Grown(int base) { return Bin(Num(base), Var(kDemoZoomVariable), '+'); }

}  // namespace

void DefineDemoZoomVariable(ScriptData& data) {
  VariableDefinition definition;
  definition.mVariable = kDemoZoomVariable;
  definition.mType = 1;
  data.mDefinitions.push_back(definition);
}

void AddDemoZoomLayer(ScriptAssembler& code) {
  code.Op("layer", {{"path", Str("zoom")},
                    {"order", Num(7)},
                    {"file", Str("")},
                    {"width", Num(1)},
                    {"height", Num(1)},
                    {"opacity", Num(0)}});
  code.Op("assign", {{"target", Var(kDemoZoomVariable)}, {"value", Num(0)}});
}

void StepDemoZoom(ScriptAssembler& code) {
  code.If(Bin(Var(kDemoZoomVariable), Num(kDemoZoomBaseWidth), '<'));
  code.Op("assign", {{"target", Var(kDemoZoomVariable), 1}, {"value", Num(1)}});
  code.EndIf();
  // The whole character resized (smoothly) into the zoom layer.
  code.Op("image", {{"source", Str("green")},
                    {"dest", Str("zoom")},
                    {"resize20", Num(1)},
                    {"width", Grown(kDemoZoomBaseWidth)},
                    {"height", Grown(kDemoZoomBaseHeight)}});
  code.Op("layer", {{"path", Str("zoom")},
                    {"x", Bin(Num(kDemoZoomCentreX), Bin(Grown(kDemoZoomBaseWidth), Num(2), '/'), '-')},
                    {"y", Bin(Num(kDemoZoomCentreY), Bin(Grown(kDemoZoomBaseHeight), Num(2), '/'), '-')},
                    {"opacity", Num(3), 1}});
  // It comes into focus as it grows: a weighted blur whose radius falls to 0.
  code.Op("image", {{"source", Str("zoom")},
                    {"blur", Num(1)},
                    {"p1", Bin(Bin(Num(kDemoZoomBaseWidth), Var(kDemoZoomVariable), '-'), Num(4), '/')}});
}
