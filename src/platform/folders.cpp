#include "platform/folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>

namespace {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return (home != nullptr && home[0] != '\0') ? std::string(home) : std::string("/tmp");
}

std::string TrimSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Reads XDG_DOCUMENTS_DIR from the user-dirs file: XDG_DOCUMENTS_DIR="$HOME/Documents".
std::string ReadUserDirsDocuments() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string file = (config != nullptr && config[0] == '/') ? std::string(config) : HomeFolder() + "/.config";
  std::ifstream in(file + "/user-dirs.dirs");
  std::string line;
  const std::string key = "XDG_DOCUMENTS_DIR=";
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (value.compare(0, 5, "$HOME") == 0) value = HomeFolder() + value.substr(5);
    if (!value.empty() && value[0] == '/') return TrimSlash(value);
  }
  return {};
}

}  // namespace

std::string GetProgramPath() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return "orvane";
  return std::string(buffer, static_cast<size_t>(length));
}

std::string GetCurrentFolder() {
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) == nullptr) return ".";
  return buffer;
}

std::string GetUserDataFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') return TrimSlash(data);
  return HomeFolder() + "/.local/share";
}

std::string GetDocumentsFolder() {
  std::string documents = ReadUserDirsDocuments();
  if (!documents.empty()) return documents;
  return HomeFolder() + "/Documents";
}

std::string GetRuntimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/' && IsNativeFolder(runtime)) return TrimSlash(runtime);
  std::string fallback = "/tmp/orvane-" + std::to_string(getuid());
  mkdir(fallback.c_str(), 0700);
  return fallback;
}

bool IsNativeFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string GetCanonicalPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string result = resolved;
  std::free(resolved);
  return result;
}

bool CreateNativeFolders(const std::string& path, int* error) {
  // The first level that could not be made is the cause; the levels under
  // it then fail only for want of it.
  int failure = 0;
  std::string partial;
  size_t index = 0;
  while (!path.empty() && index <= path.size()) {
    size_t slash = path.find('/', index);
    if (slash == std::string::npos) slash = path.size();
    partial = path.substr(0, slash);
    if (!partial.empty() && !IsNativeFolder(partial) && mkdir(partial.c_str(), 0755) != 0) {
      int cause = errno;
      // Made meanwhile by another process: no failure.
      if (failure == 0 && !IsNativeFolder(partial)) failure = cause;
    }
    index = slash + 1;
  }
  if (!path.empty() && IsNativeFolder(path)) return true;
  if (error != nullptr) *error = failure != 0 ? failure : ENOENT;
  return false;
}
