#include "platform/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kWriteChunk = 64 * 1024;
constexpr char kTemporaryTag[] = ".tmp";

std::string TemporaryOf(const std::string& path, pid_t pid) { return path + kTemporaryTag + std::to_string(pid); }

// The folder a path's file stands in.
std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

// The process id in a temporary file's name (prefix: the file's name and the
// tag), or 0 when the name is not one.
pid_t ProcessOfTemporary(const char* name, const std::string& prefix) {
  if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0) return 0;
  const char* digits = name + prefix.size();
  long long pid = 0;
  for (const char* c = digits; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9' || c - digits >= 10) return 0;
    pid = pid * 10 + (*c - '0');
  }
  return pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

// Removes the temporary files of path that replaces cut off by a hard kill
// left behind: those whose process no longer exists. A temporary of a
// running process, such as another copy of the game replacing the same
// file, stays.
void RemoveStaleTemporaries(const std::string& path) {
  size_t slash = path.find_last_of('/');
  std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + kTemporaryTag;
  DIR* entries = ::opendir(FolderOf(path).c_str());
  if (entries == nullptr) return;
  while (const dirent* entry = ::readdir(entries)) {
    pid_t pid = ProcessOfTemporary(entry->d_name, prefix);
    if (pid == 0 || pid == ::getpid()) continue;
    // Only a process that does not exist: one that runs (or that this user
    // may not signal) may be writing it now.
    if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
    ::unlinkat(::dirfd(entries), entry->d_name, 0);
  }
  ::closedir(entries);
}

}  // namespace

int ReplaceFileContents(const std::string& path, const uint8_t* data, size_t size, int* error,
                        FileReplaceStepCheck stepCheck) {
  auto stepAllowed = [stepCheck] { return stepCheck == nullptr || stepCheck(); };
  *error = 0;
  RemoveStaleTemporaries(path);
  std::string temporary = TemporaryOf(path, ::getpid());
  auto fail = [&](int code) {
    *error = code != 0 ? code : EIO;
    std::remove(temporary.c_str());
    return -1;
  };
  if (!stepAllowed()) return fail(EIO);
  int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (descriptor < 0) return fail(errno);
  size_t done = 0;
  while (done < size) {
    size_t chunk = std::min(kWriteChunk, size - done);
    ssize_t written = stepAllowed() ? ::write(descriptor, data + done, chunk) : -1;
    if (written <= 0) {
      int code = written < 0 ? errno : EIO;
      ::close(descriptor);
      return fail(code);
    }
    done += static_cast<size_t>(written);
  }
  if (!stepAllowed() || ::fsync(descriptor) != 0) {
    int code = errno;
    ::close(descriptor);
    return fail(code);
  }
  if (!stepAllowed()) {
    ::close(descriptor);
    return fail(EIO);
  }
  if (::close(descriptor) != 0) return fail(errno);
  if (!stepAllowed() || std::rename(temporary.c_str(), path.c_str()) != 0) return fail(errno);
  // The rename itself reaches the disk with the folder's entry.
  SyncFolderEntry(path);
  return 0;
}

void SyncFolderEntry(const std::string& path) {
  int folderDescriptor = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderDescriptor >= 0) {
    ::fsync(folderDescriptor);
    ::close(folderDescriptor);
  }
}

int SyncFileToDisk(FILE* file) {
  if (std::fflush(file) != 0) return errno != 0 ? errno : EIO;
  return ::fsync(::fileno(file)) == 0 ? 0 : errno;
}
