#pragma once
// The state of the script engine, brought back at once.

// Back to the state of a new process: the script data freed, the object trees
// released with their layer, task, sound and menu records, the engine
// configuration's values, the stepping position, the evaluator's mode, the
// command switches and the script-file key cleared.
void ResetScriptState();
