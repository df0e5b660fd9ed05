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
