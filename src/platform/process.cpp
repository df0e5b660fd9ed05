#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

extern char** environ;

namespace {

std::atomic<DetachedStartHook> g_detachedHook{nullptr};
std::atomic<void*> g_detachedHookContext{nullptr};

std::vector<char*> MakeArgv(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  return argv;
}

int DecodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

bool SpawnChildProcess(const std::vector<std::string>& arguments, const std::string& folder, ChildProcess* child) {
  if (arguments.empty()) return false;
  std::vector<char*> argv = MakeArgv(arguments);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t pid = -1;
  int result = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (result != 0) return false;
  child->mPid = pid;
  return true;
}

bool HasChildProcessEnded(ChildProcess* child, int* exitCode) {
  if (child->mPid <= 0) return true;
  int status = 0;
  pid_t result = waitpid(child->mPid, &status, WNOHANG);
  if (result == 0) return false;
  if (exitCode != nullptr) *exitCode = result == child->mPid ? DecodeStatus(status) : -1;
  child->mPid = -1;
  return true;
}

int WaitForChildProcess(ChildProcess* child) {
  if (child->mPid <= 0) return -1;
  int status = 0;
  pid_t result;
  do {
    result = waitpid(child->mPid, &status, 0);
  } while (result < 0 && errno == EINTR);
  child->mPid = -1;
  return result > 0 ? DecodeStatus(status) : -1;
}

void KillChildProcess(ChildProcess* child) {
  if (child->mPid <= 0) return;
  kill(child->mPid, SIGKILL);
  WaitForChildProcess(child);
}

bool StartDetachedProcess(const std::vector<std::string>& arguments, const std::string& folder) {
  if (DetachedStartHook hook = g_detachedHook.load()) return hook(g_detachedHookContext.load(), arguments);
  if (arguments.empty()) return false;
  // Start through an intermediate child that ends at once, so the program is
  // adopted by init and never left as a zombie of ours. Everything the child
  // needs is prepared before fork.
  std::vector<char*> argv = MakeArgv(arguments);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  pid_t middle = fork();
  if (middle < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (middle == 0) {
    close(report[0]);
    pid_t program = fork();
    if (program == 0) {
      setsid();
      if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
      execvp(argv[0], argv.data());
      char failed = 1;
      ssize_t ignored = write(report[1], &failed, 1);
      (void)ignored;
      _exit(127);
    }
    _exit(program > 0 ? 0 : 1);
  }
  close(report[1]);
  int status = 0;
  while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  // The pipe closes without a byte when exec succeeded.
  char failed = 0;
  ssize_t got;
  do {
    got = read(report[0], &failed, 1);
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
}

bool OpenWithDesktopDefault(const std::string& path) { return StartDetachedProcess({"xdg-open", path}, ""); }

void SetDetachedStartHook(DetachedStartHook hook, void* context) {
  g_detachedHookContext.store(context);
  g_detachedHook.store(hook);
}
