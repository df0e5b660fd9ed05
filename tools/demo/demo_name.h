#pragma once
// The demo's greeting: it asks for the player's name with the input dialog
// and puts it in the window title.
#include "support/script_assembler.h"
#include "support/script_data_builder.h"

// The string variable that holds the name, and the name offered.
constexpr int kDemoNameVariable = 1010;
constexpr const char* kDemoDefaultName = "Player";

void DefineDemoNameVariable(ScriptData& data);
// The instructions that ask and set the title.
void AskPlayerName(ScriptAssembler& code);
