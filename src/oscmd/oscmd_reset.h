#pragma once
// The state of the system commands, brought back at once. The menu records
// live in the menu tree, which the script engine releases
// (script/script_reset.h).

// Back to the state of a new process: the tray icon removed, the script
// edit control closed, the OS utility's state and the process clipboard
// forgotten.
void ResetOsCommandState();
