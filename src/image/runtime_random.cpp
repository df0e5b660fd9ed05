#include "image/runtime_random.h"

namespace {
uint32_t g_RuntimeRandomState = 1;
}  // namespace

void SeedRuntimeRandom(uint32_t seed) { g_RuntimeRandomState = seed; }

int RuntimeRandom() { return NextRandomOf(&g_RuntimeRandomState); }

uint32_t RuntimeRandomState() { return g_RuntimeRandomState; }

uint32_t RandomStateAfter(uint32_t state, uint64_t draws) {
  // The step x -> m x + c applied 2^k times is x -> M x + C; the steps of
  // the set bits of `draws` are composed one after another (mod 2^32).
  uint32_t multiplier = kRuntimeRandomMultiplier;
  uint32_t increment = kRuntimeRandomIncrement;
  for (; draws != 0; draws >>= 1) {
    if ((draws & 1) != 0) state = state * multiplier + increment;
    increment = increment * multiplier + increment;
    multiplier *= multiplier;
  }
  return state;
}
