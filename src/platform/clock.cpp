#include "platform/clock.h"

#include <atomic>
#include <ctime>

namespace {
std::atomic<const ClockHooks*> g_clockHooks{nullptr};
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
