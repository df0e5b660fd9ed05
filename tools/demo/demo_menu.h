#pragma once
// The demo's menu bar: "Scene" with "Next scene" and "Quit", and "Help" with
// a greyed "About". Next scene steps on like a key press; Quit ends the game.
#include "support/script_assembler.h"

constexpr int kDemoMenuNext = 101;
constexpr int kDemoMenuQuit = 102;
// The script variable that holds the last chosen menu id (cleared on read).
constexpr uint32_t kDemoLastMenuVariable = 132;
// The menu tree the bar is built from.
constexpr const char* kDemoMenuPath = "bar/";

// Defines the tree and makes it window 0's menu bar with the window command.
void DefineDemoMenu(ScriptAssembler& code);
// Declares the menu-choice variable the script reads and clears.
void DefineDemoMenuVariables(ScriptData& data);
// Ends the program when Quit was chosen.
void EndOnMenuQuit(ScriptAssembler& code);
// True (1) when Next scene was chosen; the script clears the choice after a
// break with ClearMenuChoice.
Expr MenuNextChosen();
void ClearMenuChoice(ScriptAssembler& code);
