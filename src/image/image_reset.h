#pragma once
// The state of the image side, brought back at once.

// Back to the state of a new process: the pixel workers stopped and their
// job blocks cleared, the processor features and primitive level of before
// InitPixelPrimitives, the rule weights cleared, the runtime generator at its
// first seed, the WebP codec released. The blend tables are left filled:
// they are the same every time they are built.
void ResetImageState();
