#include "support/fake_clock.h"

namespace {
uint32_t FakeNow(void* context) { return static_cast<FakeClock*>(context)->Now(); }
void FakeSleep(void* context, uint32_t milliseconds) {
  auto* clock = static_cast<FakeClock*>(context);
  clock->mSleeps.push_back(milliseconds);
  clock->Advance(milliseconds);
}
}  // namespace

FakeClock::FakeClock(uint32_t start) : mNow(start), mHooks{FakeNow, FakeSleep, this} { SetClockHooks(&mHooks); }

FakeClock::~FakeClock() { SetClockHooks(nullptr); }
