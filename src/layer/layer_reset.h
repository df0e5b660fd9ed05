#pragma once
// The state of the layer side, brought back at once. The layer records
// themselves live in the layer tree, which the script engine releases
// (script/script_reset.h).

// Back to the state of a new process: the glyph objects deleted and the
// redraw option at its value.
void ResetLayerState();
