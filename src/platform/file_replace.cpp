#include "platform/file_replace.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {

constexpr size_t kWriteChunk = 64 * 1024;

}  // namespace

int ReplaceFileContents(const std::string& path, const uint8_t* data, size_t size, int* error,
                        FileReplaceStepCheck stepCheck) {
  auto stepAllowed = [stepCheck] { return stepCheck == nullptr || stepCheck(); };
  *error = 0;
  std::string temporary = path + ".tmp" + std::to_string(::getpid());
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
  size_t slash = path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  int folderDescriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderDescriptor >= 0) {
    ::fsync(folderDescriptor);
    ::close(folderDescriptor);
  }
}

int SyncFileToDisk(FILE* file) {
  if (std::fflush(file) != 0) return errno != 0 ? errno : EIO;
  return ::fsync(::fileno(file)) == 0 ? 0 : errno;
}
