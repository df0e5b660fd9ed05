#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/instance_lock.h"
#include "support/temp_folder.h"

namespace {

class InstanceLockTest : public testing::Test {
 protected:
  void SetUp() override { setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1); }
  TempFolder runtime{false};
};

TEST_F(InstanceLockTest, ASecondHolderOfANameIsRefusedUntilTheFirstLetsGo) {
  InstanceLock first;
  InstanceLock second;
  ASSERT_EQ(CreateInstanceLock(":games:one:orvane", &first), InstanceLockResult::Created);
  EXPECT_EQ(CreateInstanceLock(":games:one:orvane", &second), InstanceLockResult::AlreadyHeld);
  EXPECT_EQ(CreateInstanceLock(":games:two:orvane", &second), InstanceLockResult::Created);
  ReleaseInstanceLock(&second);
  ReleaseInstanceLock(&first);
  ReleaseInstanceLock(&first);  // a second release does nothing
  EXPECT_EQ(CreateInstanceLock(":games:one:orvane", &second), InstanceLockResult::Created);
  ReleaseInstanceLock(&second);
}

// A lock another holder keeps is waited for: taken once it is let go, or
// reported held when the wait runs out.
TEST_F(InstanceLockTest, WaitingForALockTakesItWhenItIsLetGoOrGivesUpAtTheLimit) {
  InstanceLock holder;
  InstanceLock waiter;
  ASSERT_EQ(CreateInstanceLock("orvane1", &holder), InstanceLockResult::Created);
  std::thread releaser([&holder] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ReleaseInstanceLock(&holder);
  });
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForInstanceLock("orvane1", &waiter, 5000), InstanceLockResult::Created);
  auto waited = std::chrono::steady_clock::now() - start;
  releaser.join();
  EXPECT_GE(waited, std::chrono::milliseconds(90));
  EXPECT_LT(waited, std::chrono::milliseconds(4000));
  EXPECT_TRUE(IsInstanceLockHeld(waiter));

  InstanceLock late;
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForInstanceLock("orvane1", &late, 150), InstanceLockResult::AlreadyHeld);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
  EXPECT_FALSE(IsInstanceLockHeld(late));
  EXPECT_EQ(WaitForInstanceLock("orvane2", &late, 0), InstanceLockResult::Created) << "a free lock at once";
  ReleaseInstanceLock(&late);
  ReleaseInstanceLock(&waiter);
}

TEST_F(InstanceLockTest, AnActivationRequestReachesTheWindowOfThatClassOnly) {
  int listener = OpenActivationListener(":games:one:orvane");
  ASSERT_GE(listener, 0);
  EXPECT_FALSE(TakeActivationRequest(listener));
  EXPECT_FALSE(SendActivationRequest(":games:two:orvane"));
  EXPECT_TRUE(SendActivationRequest(":games:one:orvane"));
  EXPECT_TRUE(SendActivationRequest(":games:one:orvane"));
  EXPECT_TRUE(TakeActivationRequest(listener));
  EXPECT_FALSE(TakeActivationRequest(listener)) << "requests are taken together";
  CloseActivationListener(listener);
  EXPECT_FALSE(SendActivationRequest(":games:one:orvane"));
}

}  // namespace
