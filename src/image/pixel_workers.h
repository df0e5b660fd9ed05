#pragma once
// The pool of pixel worker threads.

// 0 success; non-zero after a report when no worker could start.
int StartPixelWorkers();
// Wakes every worker on the quit flag and joins them.
void StopPixelWorkers();
