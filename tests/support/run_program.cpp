#include "support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

// Starts the program; `keepFile` (when not -1) stays open in it under the
// same number.
BackgroundProgram StartProgramKeeping(const std::vector<std::string>& arguments,
                                      const std::vector<std::string>& environment, int keepFile) {
  BackgroundProgram program;
  std::string pattern = (std::filesystem::temp_directory_path() / "orvane-output-XXXXXX").string();
  int output = mkstemp(pattern.data());
  if (output < 0) return program;
  program.mOutputPath = pattern;

  std::vector<std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) variables.emplace_back(*entry);
  for (const std::string& added : environment) {
    std::string name = added.substr(0, added.find('='));
    std::erase_if(variables, [&](const std::string& old) { return old.compare(0, name.size() + 1, name + "=") == 0; });
    variables.push_back(added);
  }
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);

  pid_t pid = fork();
  if (pid == 0) {
    dup2(output, 1);
    dup2(output, 2);
    close(output);
    if (keepFile >= 0) fcntl(keepFile, F_SETFD, 0);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(output);
  program.mPid = pid;
  return program;
}

}  // namespace

BackgroundProgram StartProgram(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
  return StartProgramKeeping(arguments, environment, -1);
}

bool IsProgramRunning(const BackgroundProgram& program) {
  if (program.mPid <= 0) return false;
  // Looks without collecting, so FinishProgram still gets the status.
  siginfo_t info{};
  if (waitid(P_PID, static_cast<id_t>(program.mPid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return false;
  return info.si_pid == 0;
}

ProgramResult FinishProgram(BackgroundProgram* program, uint32_t timeoutMs) {
  ProgramResult result;
  if (program->mPid <= 0) return result;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  for (;;) {
    pid_t done = waitpid(program->mPid, &status, WNOHANG);
    if (done == program->mPid) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      result.mTimedOut = true;
      kill(program->mPid, SIGKILL);
      waitpid(program->mPid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  program->mPid = -1;
  if (WIFEXITED(status)) result.mExitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.mExitCode = 128 + WTERMSIG(status);
  std::ifstream in(program->mOutputPath, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  result.mOutput = text.str();
  std::filesystem::remove(program->mOutputPath);
  return result;
}

ProgramResult RunProgram(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                         uint32_t timeoutMs) {
  BackgroundProgram program = StartProgram(arguments, environment);
  return FinishProgram(&program, timeoutMs);
}

std::string FindVirtualDisplayServer() {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    std::string candidate = folders.substr(start, end - start) + "/Xvfb";
    if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

bool StartVirtualDisplay(VirtualDisplay* display, uint32_t timeoutMs) {
  std::string server = FindVirtualDisplayServer();
  if (server.empty()) return false;
  // The server picks a free display number and writes it here once it
  // accepts connections.
  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0) return false;
  display->mServer = StartProgramKeeping(
      {server, "-displayfd", std::to_string(ready[1]), "-nolisten", "tcp", "-screen", "0", "800x600x24"}, {}, ready[1]);
  close(ready[1]);
  std::string number;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd waiting{ready[0], POLLIN, 0};
    if (poll(&waiting, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[16];
    ssize_t got = read(ready[0], buffer, sizeof buffer);
    if (got <= 0) break;
    number.append(buffer, static_cast<size_t>(got));
    if (number.find('\n') != std::string::npos) break;
  }
  close(ready[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == '\r')) number.pop_back();
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
    StopVirtualDisplay(display);
    return false;
  }
  display->mName = ":" + number;
  return true;
}

void StopVirtualDisplay(VirtualDisplay* display) {
  if (display->mServer.mPid <= 0) return;
  kill(display->mServer.mPid, SIGTERM);
  FinishProgram(&display->mServer, 10000);
}
