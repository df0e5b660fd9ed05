#pragma once
// The engine's millisecond clock: a 32-bit tick that counts from an arbitrary
// start and wraps after about 49.7 days, so every difference of two ticks is
// taken in 32-bit arithmetic. Tests can put a clock of their own in its place.
#include <cstdint>

uint32_t GetTimeMs();
void SleepMs(uint32_t milliseconds);

struct ClockHooks {
  uint32_t (*mNow)(void* context);
  void (*mSleep)(void* context, uint32_t milliseconds);
  void* mContext;
};

// While hooks are installed GetTimeMs and SleepMs go to them; nullptr restores
// the real clock. The hooks must outlive their installation.
void SetClockHooks(const ClockHooks* hooks);
