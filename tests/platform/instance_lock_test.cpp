#include <gtest/gtest.h>

#include <cstdlib>

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
