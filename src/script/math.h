#pragma once
// The math command's generator and integer calculator.
#include <cstdint>

// MT19937 state: 624 words and the index of the next word to temper.
constexpr int kRandomWords = 624;
struct RandomState {
  uint32_t mWords[kRandomWords];
  int mIndex;
};
extern RandomState g_RandomState;

// SeedRandom (runtime_tables.h) seeds it; NextRandom gives the next output.
uint32_t NextRandom();
// lo + (r mod (hi - lo + 1)) with lo <= hi after a swap; a span that wraps to
// 0 (the full 64-bit range) gives lo + r. All wrapping.
int64_t RandomInRange(int64_t lo, int64_t hi, uint32_t r);
// Reads the text (at most 1023 bytes, up to a line feed) as + - * / % ( )
// over decimal numbers in wrapping 64-bit arithmetic.
int64_t EvaluateIntegerText(const char* text);
