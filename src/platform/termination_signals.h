#pragma once
// The signals by which the system or the user asks the program to end: the
// hang-up of its terminal or session (SIGHUP), Ctrl+C (SIGINT) and SIGTERM.
// Each only notes a request; the program then closes as a close request
// does, so work in hand (a save being written) finishes first.

// Installs the handlers (the actions they replace are kept).
void WatchTerminationSignals();
// Puts the kept actions back.
void StopWatchingTerminationSignals();
// True once for the requests noted since the last call.
bool TakeTerminationRequest();
