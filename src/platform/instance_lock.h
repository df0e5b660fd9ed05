#pragma once
// Named locks that tell a second copy of the program from the first, and the
// request by which a second copy brings the first one's window to the front.
#include <cstdint>
#include <string_view>

enum class InstanceLockResult { Created, AlreadyHeld, Failed };

struct InstanceLock {
  int mFile = -1;
};

// Takes the lock of a name (any bytes). The lock lasts until it is released
// or the process ends.
InstanceLockResult CreateInstanceLock(std::string_view name, InstanceLock* lock);
// The same, but while another process holds the lock it waits for it, up to
// timeoutMs; AlreadyHeld when the time ran out first.
InstanceLockResult WaitForInstanceLock(std::string_view name, InstanceLock* lock, uint32_t timeoutMs);
void ReleaseInstanceLock(InstanceLock* lock);
bool IsInstanceLockHeld(const InstanceLock& lock);

// A window class (a name) that listens for activation requests. -1 when it
// cannot listen; the window then simply cannot be brought forward.
int OpenActivationListener(std::string_view className);
// True once per request received since the last call.
bool TakeActivationRequest(int listener);
void CloseActivationListener(int listener);
// Asks the window of that class to come forward; false when none listens.
bool SendActivationRequest(std::string_view className);
