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

// Whether the demo attaches the bar with the window command's menu argument;
// off until the window command is part of the engine.
constexpr bool kDemoMenuBarAttached = false;

// Defines the tree; with `attach` the window command makes it window 0's
// menu bar.
void DefineDemoMenu(ScriptAssembler& code, bool attach);
// Declares the menu-choice variable the script reads and clears.
void DefineDemoMenuVariables(ScriptData& data);
// Ends the program when Quit was chosen.
void EndOnMenuQuit(ScriptAssembler& code);
// True (1) when Next scene was chosen; the script clears the choice after a
// break with ClearMenuChoice.
Expr MenuNextChosen();
void ClearMenuChoice(ScriptAssembler& code);
