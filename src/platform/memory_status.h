#pragma once
// The machine's physical memory as the system reports it.
#include <cstdint>

struct MemoryStatus {
  uint64_t mTotalBytes;
  uint64_t mAvailableBytes;
  uint32_t mLoadPercent;  // share of the memory in use, 0-100
};

// Zeros when the system does not answer.
MemoryStatus GetMemoryStatus();
