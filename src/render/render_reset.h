#pragma once
// The state of the GPU side, brought back at once.

// Back to the state of a new process: the frame textures and the device
// released, no redraw requested.
void ResetRenderState();
