#include "core/alloc.h"

#include <cstdlib>

void* AllocZeroed(size_t n) {
  // calloc gets fresh pages already zero and clears reused ones.
  return std::calloc(n == 0 ? 1 : n, 1);
}
