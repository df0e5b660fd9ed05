#include "platform/threads.h"

#include <system_error>

bool StartThread(std::thread& thread, std::function<void()> routine) {
  try {
    thread = std::thread(std::move(routine));
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}
