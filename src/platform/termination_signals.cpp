#include "platform/termination_signals.h"

#include <signal.h>

#include <atomic>
#include <iterator>

namespace {

constexpr int kSignals[] = {SIGHUP, SIGINT, SIGTERM};

std::atomic<bool> g_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

struct sigaction g_kept[std::size(kSignals)];
bool g_watching = false;

void NoteTermination(int) { g_requested.store(true); }

}  // namespace

void WatchTerminationSignals() {
  if (g_watching) return;
  struct sigaction action {};
  action.sa_handler = NoteTermination;
  sigemptyset(&action.sa_mask);
  // Interrupted waits and reads go on; the loop sees the request.
  action.sa_flags = SA_RESTART;
  for (size_t index = 0; index < std::size(kSignals); ++index) sigaction(kSignals[index], &action, &g_kept[index]);
  g_watching = true;
}

void StopWatchingTerminationSignals() {
  if (!g_watching) return;
  for (size_t index = 0; index < std::size(kSignals); ++index) sigaction(kSignals[index], &g_kept[index], nullptr);
  g_watching = false;
}

bool TakeTerminationRequest() { return g_requested.exchange(false); }
