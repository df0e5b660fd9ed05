#pragma once
// The state the core keeps for the whole process, brought back at once.

// Back to the state of a new process: the error reports and message texts,
// the debug log's run, the settings' defaults, the machine facts, the window
// table, and the process state (flags, instance locks, paths). The
// subsystems above are released first (shell/engine_reset.h).
void ResetCoreState();
