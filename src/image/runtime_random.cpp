#include "image/runtime_random.h"

namespace {
uint32_t g_RuntimeRandomState = 1;
}  // namespace

void SeedRuntimeRandom(uint32_t seed) { g_RuntimeRandomState = seed; }

int RuntimeRandom() {
  g_RuntimeRandomState = g_RuntimeRandomState * 214013u + 2531011u;
  return static_cast<int>((g_RuntimeRandomState >> 16) & 0x7FFF);
}
