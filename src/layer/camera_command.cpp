// The camera projection command: the arithmetic core of a 2.5-D camera kept
// in script arrays. Depth turns into a zoom factor of 2^(depth / 100).
#include <cmath>

#include "layer/camera.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/variables.h"

namespace {

constexpr int kCameraSlot = 61;
// The four results go into these elements of the real array.
constexpr int64_t kFirstResultElement = 31;

double Zoom(double depth) { return std::pow(2.0, depth / 100.0); }

}  // namespace

CameraProjection ComputeCameraProjection(uint32_t intVariable, uint32_t realVariable, int /*mode*/) {
  // Reads past an array's end give 0, as every element beyond the count does.
  auto i = [intVariable](int64_t k) { return static_cast<double>(GetIntElement(intVariable, k)); };
  auto r = [realVariable](int64_t k) { return GetRealElement(realVariable, k); };
  if (GetIntElement(intVariable, 7) != 0) {
    return {r(13) - r(18) * r(16) / 100.0, r(14) - r(19) * r(17) / 100.0, r(16), r(17)};
  }
  double a = r(30) + r(5);
  double u = r(3) + r(28);
  double v = r(4) + r(29);
  double z1 = Zoom(a + r(27) - r(8));
  double z = Zoom(r(27) - r(15) + a);
  double x0 = i(5) * 0.5 + r(11) * r(20) + (r(6) - r(9) - r(20) * u) * z1;
  double y0 = z1 * (r(7) - r(10) - r(21) * v) + i(6) * 0.5 + r(12) * r(21);
  double x1 = x0;
  double y1 = y0;
  if (GetIntElement(intVariable, 1) != GetIntElement(intVariable, 2)) {
    double bigX = x0 + r(9) * z1;
    double bigY = y0 + r(10) * z1;
    if (GetIntElement(intVariable, 4) == 0) {
      x1 = (r(13) * r(20) - r(18)) * z + bigX;
      y1 = (r(14) * r(21) - r(19)) * z + bigY;
    } else {
      z = Zoom(r(27) - r(24) + a);
      x1 = ((r(13) + r(22)) * r(20) - r(18) - r(25)) * z + bigX;
      y1 = ((r(14) + r(23)) * r(21) - r(19) - r(26)) * z + bigY;
    }
  }
  return {x1 + (100.0 - r(16)) * r(18) * z / 100.0, y1 + (100.0 - r(17)) * r(19) * z / 100.0, r(16) * z,
          r(17) * z};
}

int32_t CmdCameraProject() {
  if (FetchCommandArguments(kCameraSlot) != 0) return -1;
  int intSlot = ArgSlot(0);
  int realSlot = ArgSlot(1);
  if (intSlot == 0 || realSlot == 0) return 0;
  auto realVariable = static_cast<uint32_t>(g_ArgVarId[realSlot]);
  CameraProjection result =
      ComputeCameraProjection(static_cast<uint32_t>(g_ArgVarId[intSlot]), realVariable, 0);
  const double values[4] = {result.mX, result.mY, result.mScaleX, result.mScaleY};
  // An integer array takes the values truncated toward zero, another kind is
  // refused for each value, and an element beyond the array is skipped.
  for (int k = 0; k < 4; ++k) SetRealElement(realVariable, kFirstResultElement + k, values[k]);
  return 0;
}
