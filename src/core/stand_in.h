#pragma once
// Routines whose real code comes later stand in through files named
// <header>_standin.cpp beside the header they serve. Each stand-in keeps the
// real routine's contract and, the first time it runs, writes one line to the
// debug log, so a run tells which of them it met. `grep -rn STAND_IN src`
// lists them all.
#include <atomic>

// Writes "stand-in: <routine>" to the debug log.
void NoteStandIn(const char* routine);

#define STAND_IN()                                                  \
  do {                                                              \
    static std::atomic<bool> standInNoted{false};                   \
    if (!standInNoted.exchange(true)) NoteStandIn(__func__);        \
  } while (false)
