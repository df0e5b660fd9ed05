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

// The local calendar time, field by field (month 1-12, day of week 0 Sunday).
struct LocalTime {
  int32_t mYear;
  int32_t mMonth;
  int32_t mDay;
  int32_t mDayOfWeek;
  int32_t mHour;
  int32_t mMinute;
  int32_t mSecond;
  int32_t mMillisecond;
};

LocalTime GetLocalTime();
// While a fixed time is set GetLocalTime returns it; nullptr restores the real
// clock. The time must outlive its setting.
void SetFixedLocalTime(const LocalTime* fixed);
