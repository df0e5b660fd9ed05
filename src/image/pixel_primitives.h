#pragma once
// Processor features and the table of pixel row primitives.
void InitPixelPrimitives();
