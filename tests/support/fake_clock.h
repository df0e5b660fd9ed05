#pragma once
// A clock that only moves when told, or when the engine sleeps.
#include <cstdint>
#include <vector>

#include "platform/clock.h"

class FakeClock {
 public:
  explicit FakeClock(uint32_t start = 0);
  ~FakeClock();
  FakeClock(const FakeClock&) = delete;
  FakeClock& operator=(const FakeClock&) = delete;

  void Advance(uint32_t milliseconds) { mNow += milliseconds; }
  void Set(uint32_t now) { mNow = now; }
  uint32_t Now() const { return mNow; }

  std::vector<uint32_t> mSleeps;  // every sleep requested, in order

 private:
  uint32_t mNow;
  ClockHooks mHooks;
};
