#pragma once
// The engine-wide zeroed allocation.
#include <cstddef>

// n bytes from the heap, cleared; null without a message when the heap
// refuses. Freed with std::free.
void* AllocZeroed(size_t n);
