#pragma once
// Runs a program to its end (or a time limit) and keeps what it printed.
#include <cstdint>
#include <string>
#include <vector>

struct ProgramResult {
  int mExitCode = -1;     // 128 + signal when killed by one
  bool mTimedOut = false;  // killed at the time limit
  std::string mOutput;     // standard output and standard error together
};

// `environment` entries ("NAME=value") are added to this process's own.
ProgramResult RunProgram(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                         uint32_t timeoutMs);

// Starts a program in the background; Finish collects it like RunProgram.
struct BackgroundProgram {
  int mPid = -1;
  std::string mOutputPath;
};
BackgroundProgram StartProgram(const std::vector<std::string>& arguments, const std::vector<std::string>& environment);
ProgramResult FinishProgram(BackgroundProgram* program, uint32_t timeoutMs);
// True while the program runs.
bool IsProgramRunning(const BackgroundProgram& program);

// A private X server (Xvfb) on a display number it chose itself.
struct VirtualDisplay {
  BackgroundProgram mServer;
  std::string mName;  // ":N", for DISPLAY
};
// The path of Xvfb found in PATH; empty when it is not installed.
std::string FindVirtualDisplayServer();
// Starts Xvfb and waits until it accepts connections; false when it cannot
// be started or does not get ready within the time limit.
bool StartVirtualDisplay(VirtualDisplay* display, uint32_t timeoutMs);
// Ends the server (as a session ending kills it) and collects it.
void StopVirtualDisplay(VirtualDisplay* display);
