#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "core/object_tree.h"
#include "platform/clock.h"
#include "platform/threads.h"
#include "sound/sound_device.h"
#include "sound/sound_ring.h"
#include "sound/sound_thread.h"
#include "support/script_test_env.h"

namespace {

constexpr int kNoSuchThread = -100;

// The nice value the system reports for the thread of this process with the
// given name (its 19th stat field).
int NiceOfThread(const std::string& name) {
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string taskName;
    std::getline(comm, taskName);
    if (taskName != name) continue;
    std::ifstream stat(task.path() / "stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    // The fields after the name in brackets start with the third.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int number = 3; number <= 19; ++number) fields >> field;
    return std::stoi(field);
  }
  return kNoSuchThread;
}

TEST(SoundThreadPriorityTest, TheSoundThreadRunsBelowTheNormalPriority) {
  ScriptTestEnvironment env;
  ASSERT_EQ(CreateObjectTrees(), 0);
  ASSERT_TRUE(InitSoundRequestRing());
  int normal = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  if (normal >= 19) GTEST_SKIP() << "the tests already run at the lowest priority";
  ASSERT_TRUE(StartSoundThread());
  int nice = kNoSuchThread;
  for (int waited = 0; waited < 2000; ++waited) {
    nice = NiceOfThread("orvane-sound");
    if (nice != kNoSuchThread && nice != normal) break;
    SleepMs(1);
  }
  EXPECT_EQ(nice, std::min(normal + kBelowNormalNiceSteps, 19));
  // The thread that started it keeps its own priority.
  EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())), normal);
  JoinSoundThread();
}

}  // namespace
