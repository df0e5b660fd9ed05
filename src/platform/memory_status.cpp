#include "platform/memory_status.h"

#include <sys/sysinfo.h>

MemoryStatus GetMemoryStatus() {
  MemoryStatus status{0, 0, 0};
  struct sysinfo info {};
  if (sysinfo(&info) != 0) return status;
  uint64_t unit = info.mem_unit != 0 ? info.mem_unit : 1;
  status.mTotalBytes = static_cast<uint64_t>(info.totalram) * unit;
  status.mAvailableBytes = (static_cast<uint64_t>(info.freeram) + static_cast<uint64_t>(info.bufferram)) * unit;
  if (status.mAvailableBytes > status.mTotalBytes) status.mAvailableBytes = status.mTotalBytes;
  if (status.mTotalBytes > 0) {
    status.mLoadPercent =
        static_cast<uint32_t>((status.mTotalBytes - status.mAvailableBytes) * 100 / status.mTotalBytes);
  }
  return status;
}
