#pragma once
// The four script stopwatches and the local time at start-up. A running
// stopwatch reads the clock minus its base; a stopped one reads the tick it
// stopped at minus its base, so it stays still. The pause of an inactive
// window shifts the running ones' bases, leaving the paused time out.
#include <cstdint>

#include "platform/clock.h"

constexpr int kStopwatchCount = 4;
extern uint32_t g_StopwatchBase[kStopwatchCount];
// 1 running (also: the inactive pause is left out of it), 0 stopped.
extern uint8_t g_StopwatchPausable[kStopwatchCount];
// The tick a stopped stopwatch stopped at.
extern uint64_t g_StopwatchPauseStart[kStopwatchCount];
// The local time when the engine started.
extern LocalTime g_StartTime;

// Stopwatch k (0-3) in milliseconds, as an unsigned 32-bit difference; 0 for
// another k.
uint32_t ReadStopwatch(int k);
void ResetStopwatches();
