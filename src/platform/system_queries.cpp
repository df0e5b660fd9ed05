#include "platform/system_queries.h"

#include <sys/statvfs.h>
#include <unistd.h>

uint64_t GetDiskFreeBytes(const std::string& nativePath) {
  struct statvfs facts {};
  if (statvfs(nativePath.empty() ? "." : nativePath.c_str(), &facts) != 0) return 0;
  return static_cast<uint64_t>(facts.f_bavail) * static_cast<uint64_t>(facts.f_frsize);
}

bool IsProcessAdministrator() { return geteuid() == 0; }
