#pragma once
// Starting other programs with an argument vector (never through a shell).
#include <string>
#include <vector>

struct ChildProcess {
  int mPid = -1;
};

// Starts a program (looked up in PATH when it has no '/') in `folder` (empty:
// the current folder). False when it cannot be started.
bool SpawnChildProcess(const std::vector<std::string>& arguments, const std::string& folder, ChildProcess* child);
// True when the child has ended; its exit code (or 128 + signal) is stored.
bool HasChildProcessEnded(ChildProcess* child, int* exitCode);
// Waits for the end of the child; returns its exit code.
int WaitForChildProcess(ChildProcess* child);
// Stops a child that is still running and collects it.
void KillChildProcess(ChildProcess* child);

// Starts a program that outlives this one and is never waited for.
bool StartDetachedProcess(const std::vector<std::string>& arguments, const std::string& folder);
// Opens a file or folder with the desktop's default program.
bool OpenWithDesktopDefault(const std::string& path);

// Tests record detached starts instead of running them.
using DetachedStartHook = bool (*)(void* context, const std::vector<std::string>& arguments);
void SetDetachedStartHook(DetachedStartHook hook, void* context);
