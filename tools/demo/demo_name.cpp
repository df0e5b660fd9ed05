#include "demo/demo_name.h"

void DefineDemoNameVariable(ScriptData& data) {
  VariableDefinition definition;
  definition.mVariable = kDemoNameVariable;
  definition.mType = 3;
  definition.mStringExpression = Str("").mBytes;
  data.mDefinitions.push_back(definition);
}

void AskPlayerName(ScriptAssembler& code) {
  // Without anybody to answer (an unattended run) the dialog takes the name
  // offered, so the demo never waits here.
  code.Op("msgbox", {{"caption", Str("ORVANE demo")},
                     {"text", Str("Your name?")},
                     {"default", Str(kDemoDefaultName)},
                     {"input", Num(1)},
                     {"max_length", Num(32)},
                     {"input_out", Var(kDemoNameVariable)}});
  code.Op("window", {{"window", Num(0)}, {"title", Bin(Str("ORVANE demo - "), Var(kDemoNameVariable), '+')}});
}
