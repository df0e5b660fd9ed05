#include "demo/demo_menu.h"

void DefineDemoMenu(ScriptAssembler& code) {
  auto item = [&](const char* path, const char* text, int order, int id) {
    code.Op("menu", {{"path", Str(path)}, {"text", Str(text)}, {"order", Num(order)}, {"command", Num(id)}});
  };
  item("bar/", "bar", 1, 0);
  item("bar/scene/", "&Scene", 1, 0);
  item("bar/scene/next", "&Next scene", 1, kDemoMenuNext);
  item("bar/scene/line", "", 2, 0);
  item("bar/scene/quit", "&Quit", 3, kDemoMenuQuit);
  item("bar/help/", "&Help", 2, 0);
  code.Op("menu", {{"path", Str("bar/help/about")}, {"text", Str("About ORVANE")}, {"order", Num(1)}, {"enabled", Num(0)}});
  code.Op("assign", {{"target", Var(kDemoLastMenuVariable)}, {"value", Num(0)}});
  code.Op("window", {{"window", Num(0)}, {"menu", Str(kDemoMenuPath)}});
}

void DefineDemoMenuVariables(ScriptData& data) {
  VariableDefinition definition;
  definition.mVariable = static_cast<uint16_t>(kDemoLastMenuVariable);
  definition.mType = 1;
  data.mDefinitions.push_back(definition);
}

void EndOnMenuQuit(ScriptAssembler& code) {
  code.If(Bin(Var(kDemoLastMenuVariable), Num(kDemoMenuQuit), '='));
  code.End();
  code.EndIf();
}

Expr MenuNextChosen() { return Bin(Var(kDemoLastMenuVariable), Num(kDemoMenuNext), '='); }

void ClearMenuChoice(ScriptAssembler& code) {
  code.Op("assign", {{"target", Var(kDemoLastMenuVariable)}, {"value", Num(0)}});
}
