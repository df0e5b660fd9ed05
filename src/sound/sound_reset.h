#pragma once
// The state of the sound side, brought back at once. The sound records live
// in the sound tree, which the script engine releases (script/script_reset.h).

// Back to the state of a new process: the sound thread joined, the device
// released, sound switched off. The thread state itself is the process
// state of the core.
void ResetSoundState();
