#include "platform/threads.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

bool StartThread(std::thread& thread, std::function<void()> routine) {
  try {
    thread = std::thread(std::move(routine));
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

void NameCurrentThread(const char* name) {
  char shortName[16] = {};
  std::strncpy(shortName, name, sizeof shortName - 1);
  pthread_setname_np(pthread_self(), shortName);
}

bool LowerCurrentThreadPriority() {
  id_t thread = static_cast<id_t>(gettid());
  errno = 0;
  int nice = getpriority(PRIO_PROCESS, thread);
  if (nice == -1 && errno != 0) return false;
  return setpriority(PRIO_PROCESS, thread, std::min(nice + kBelowNormalNiceSteps, 19)) == 0;
}
