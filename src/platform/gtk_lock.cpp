#include "platform/gtk_lock.h"

std::recursive_mutex& GtkLock() {
  // Never destroyed: a dialog may still hold it while the process exits.
  static auto* lock = new std::recursive_mutex();
  return *lock;
}
