#pragma once
// Threads and auto-reset events.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

// An event that releases one waiter per Set and then resets itself.
class AutoResetEvent {
 public:
  explicit AutoResetEvent(bool signalled = false) : mSignalled(signalled) {}
  AutoResetEvent(const AutoResetEvent&) = delete;
  AutoResetEvent& operator=(const AutoResetEvent&) = delete;

  void Set() {
    {
      std::lock_guard<std::mutex> guard(mMutex);
      mSignalled = true;
    }
    mCondition.notify_one();
  }

  void Wait() {
    std::unique_lock<std::mutex> lock(mMutex);
    mCondition.wait(lock, [this] { return mSignalled; });
    mSignalled = false;
  }

  // Returns false when the time ran out without the event being set.
  bool WaitFor(uint32_t milliseconds) {
    std::unique_lock<std::mutex> lock(mMutex);
    if (!mCondition.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return mSignalled; })) {
      return false;
    }
    mSignalled = false;
    return true;
  }

 private:
  std::mutex mMutex;
  std::condition_variable mCondition;
  bool mSignalled;
};

// Starts a thread; returns false (and leaves `thread` empty) when the system
// refuses one.
bool StartThread(std::thread& thread, std::function<void()> routine);

// Names the calling thread as system tools show it (15 bytes are kept).
void NameCurrentThread(const char* name);
// Puts the calling thread below normal priority: Linux gives every thread a
// nice value of its own, and this one's is raised by kBelowNormalNiceSteps
// (to 19 at most). False, with the thread unchanged, when the system refuses.
bool LowerCurrentThreadPriority();
// Completely fair scheduling shares the processor by weight, so one step
// (a fifth less) would hardly change anything; five steps give a normal
// thread about three times the share of this one when both want to run.
constexpr int kBelowNormalNiceSteps = 5;
