#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "platform/folders.h"

namespace {

// Names hold paths of any length and bytes: they are hashed into file and
// socket names.
std::string HashName(std::string_view name) {
  uint64_t hash = 1469598103934665603ULL;
  for (char c : name) {
    hash ^= static_cast<uint8_t>(c);
    hash *= 1099511628211ULL;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

// An abstract socket address (no file on disk, gone with the process).
socklen_t MakeActivationAddress(std::string_view className, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  std::string name = "orvane-activate-" + std::to_string(getuid()) + "-" + HashName(className);
  size_t length = std::min(name.size(), sizeof(address->sun_path) - 2);
  std::memcpy(address->sun_path + 1, name.data(), length);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

int OpenLockFile(std::string_view name) {
  std::string path = GetRuntimeFolder() + "/orvane-lock-" + HashName(name);
  return open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

// Takes the lock of the open file without waiting; the file is the lock's
// once taken, and stays open for another try while another holds it.
InstanceLockResult TryLockFile(int file, InstanceLock* lock) {
  if (flock(file, LOCK_EX | LOCK_NB) == 0) {
    lock->mFile = file;
    return InstanceLockResult::Created;
  }
  return errno == EWOULDBLOCK ? InstanceLockResult::AlreadyHeld : InstanceLockResult::Failed;
}

}  // namespace

InstanceLockResult CreateInstanceLock(std::string_view name, InstanceLock* lock) {
  return WaitForInstanceLock(name, lock, 0);
}

InstanceLockResult WaitForInstanceLock(std::string_view name, InstanceLock* lock, uint32_t timeoutMs) {
  constexpr auto kRetryPeriod = std::chrono::milliseconds(5);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int file = OpenLockFile(name);
  if (file < 0) return InstanceLockResult::Failed;
  for (;;) {
    InstanceLockResult result = TryLockFile(file, lock);
    if (result == InstanceLockResult::Created) return result;
    if (result == InstanceLockResult::Failed || std::chrono::steady_clock::now() >= deadline) {
      close(file);
      return result;
    }
    std::this_thread::sleep_for(kRetryPeriod);
  }
}

void ReleaseInstanceLock(InstanceLock* lock) {
  if (lock->mFile < 0) return;
  flock(lock->mFile, LOCK_UN);
  close(lock->mFile);
  lock->mFile = -1;
}

bool IsInstanceLockHeld(const InstanceLock& lock) { return lock.mFile >= 0; }

int OpenActivationListener(std::string_view className) {
  int listener = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listener < 0) return -1;
  sockaddr_un address{};
  socklen_t length = MakeActivationAddress(className, &address);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    close(listener);
    return -1;
  }
  return listener;
}

bool TakeActivationRequest(int listener) {
  if (listener < 0) return false;
  bool requested = false;
  char byte = 0;
  while (recv(listener, &byte, 1, 0) >= 0) requested = true;
  return requested;
}

void CloseActivationListener(int listener) {
  if (listener >= 0) close(listener);
}

bool SendActivationRequest(std::string_view className) {
  int sender = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (sender < 0) return false;
  sockaddr_un address{};
  socklen_t length = MakeActivationAddress(className, &address);
  char request = 'A';
  bool sent = sendto(sender, &request, 1, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&address), length) == 1;
  close(sender);
  return sent;
}
