#pragma once
// The state of save data, brought back at once.

// Back to the state of a new process: the pending save records freed and the
// memory slots cleared with the scratch buffer, and no write fault injected.
void ResetSaveDataState();
