#pragma once
// Rotation of a picture inside its own canvas (w x h pixels, pitch w*4).
// The angle is in whole degrees, 0..359; a positive angle turns the picture
// counter-clockwise on the screen. Output pixels whose source lies outside
// the picture become 0.
#include <cstdint>

// Nearest neighbour, positions rounded down (type 11).
void RotateNearestA(uint8_t* out, const uint8_t* source, int32_t width, int32_t height, int32_t angle);
// Nearest neighbour, positions rounded toward zero (type 12).
void RotateNearestB(uint8_t* out, const uint8_t* source, int32_t width, int32_t height, int32_t angle);
// Bilinear from four samples.
void RotateInterpolated(uint8_t* out, const uint8_t* source, int32_t width, int32_t height, int32_t angle);

// An angle of the scripts as the kernels take it: the remainder of a
// division by 360, brought into 0..359.
int32_t NormaliseRotationAngle(int64_t angle);
