// Defines a routine the engine already has. Linked against the whole engine
// archive, this program must fail with a duplicate definition.
#include "core/process_state.h"

void ResetFrameClock() {}

int main() {
  ResetFrameClock();
  return 0;
}
