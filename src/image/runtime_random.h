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
