#pragma once
// The state of the data sources, brought back at once.

// Back to the state of a new process: the preload cache, the compiler output
// and the pack index freed, the compression library released, no appended
// data, and the lookup switches the engine configuration sets cleared.
void ResetDataSourceState();
