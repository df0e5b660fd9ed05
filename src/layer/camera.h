#pragma once
// The camera projection command: where an object described in a script's
// arrays lands on the screen, and at what scale.
#include <cstdint>

struct CameraProjection {
  double mX;
  double mY;
  double mScaleX;
  double mScaleY;
};

// Computes the projection from integer array variable `intVariable` and real
// array variable `realVariable`; an element at or beyond a variable's element
// count reads as 0. Mode 0 is the only mode.
CameraProjection ComputeCameraProjection(uint32_t intVariable, uint32_t realVariable, int mode);
