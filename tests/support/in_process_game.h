#pragma once
// A game started inside the test process the way the program's entry starts
// it, and stepped one pass of the program's loop at a time: input sampling, a
// frame, then the window messages that wait (paints among them).
#include <string>

// Chooses the folder as the game folder, fills the process paths and starts
// the engine; StartEngine's result (0: the loop may run).
int StartGameInProcess(const std::string& folder);
// One pass of the program's loop; false once the program is ending.
bool RunLoopPass();
// Resets the engine and goes back to the folder the test was in before the
// start made the game folder current.
void EndGameInProcess();
