#include "platform/clock.h"

#include <atomic>
#include <ctime>

namespace {
std::atomic<const ClockHooks*> g_clockHooks{nullptr};
std::atomic<const LocalTime*> g_fixedLocalTime{nullptr};
}

uint32_t GetTimeMs() {
  if (const ClockHooks* hooks = g_clockHooks.load(std::memory_order_acquire)) {
    return hooks->mNow(hooks->mContext);
  }
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void SleepMs(uint32_t milliseconds) {
  if (const ClockHooks* hooks = g_clockHooks.load(std::memory_order_acquire)) {
    hooks->mSleep(hooks->mContext, milliseconds);
    return;
  }
  timespec wait{};
  wait.tv_sec = milliseconds / 1000u;
  wait.tv_nsec = static_cast<long>(milliseconds % 1000u) * 1000000L;
  if (milliseconds == 0) {
    // A zero sleep gives the rest of the time slice away.
    sched_yield();
    return;
  }
  while (nanosleep(&wait, &wait) != 0) {
  }
}

void SetClockHooks(const ClockHooks* hooks) { g_clockHooks.store(hooks, std::memory_order_release); }

LocalTime GetLocalTime() {
  if (const LocalTime* fixed = g_fixedLocalTime.load(std::memory_order_acquire)) return *fixed;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  time_t seconds = now.tv_sec;
  tm local{};
  localtime_r(&seconds, &local);
  LocalTime time{};
  time.mYear = local.tm_year + 1900;
  time.mMonth = local.tm_mon + 1;
  time.mDay = local.tm_mday;
  time.mDayOfWeek = local.tm_wday;
  time.mHour = local.tm_hour;
  time.mMinute = local.tm_min;
  time.mSecond = local.tm_sec;
  time.mMillisecond = static_cast<int32_t>(now.tv_nsec / 1000000L);
  return time;
}

void SetFixedLocalTime(const LocalTime* fixed) { g_fixedLocalTime.store(fixed, std::memory_order_release); }
