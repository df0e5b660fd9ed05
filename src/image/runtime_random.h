#pragma once
// The runtime's general pseudo-random generator (the one effects draw from):
// a linear congruential generator with 15-bit results, seeded at start-up
// with the calendar time and by tests with a fixed seed. One generator for
// the whole program; used on the script-stepping thread only.
#include <cstdint>

constexpr int kRuntimeRandomMax = 32767;

void SeedRuntimeRandom(uint32_t seed);
// 0..kRuntimeRandomMax.
int RuntimeRandom();

// The generator's step, for work that draws a known run of numbers in
// pieces (on several threads) and then moves the generator past the run.
constexpr uint32_t kRuntimeRandomMultiplier = 214013u;
constexpr uint32_t kRuntimeRandomIncrement = 2531011u;

// The next number from a copy of the state, as RuntimeRandom draws it.
inline int NextRandomOf(uint32_t* state) {
  *state = *state * kRuntimeRandomMultiplier + kRuntimeRandomIncrement;
  return static_cast<int>((*state >> 16) & 0x7FFF);
}
// The state now; SeedRuntimeRandom puts one back.
uint32_t RuntimeRandomState();
// The state `draws` draws after `state` (in steps of log2(draws)).
uint32_t RandomStateAfter(uint32_t state, uint64_t draws);
