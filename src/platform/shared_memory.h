#pragma once
// Named shared memory blocks, the channel between the engine and the script
// compiler process.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct SharedMemoryBlock {
  int mFd = -1;
  uint8_t* mBytes = nullptr;
  size_t mSize = 0;
  std::string mSystemName;  // empty unless this side created the block
};

// Creates a block of `size` zero bytes under `name` (a block left behind
// under that name is replaced) and maps it read-write. False on failure.
bool CreateSharedMemory(std::string_view name, size_t size, SharedMemoryBlock* block);
// Maps an existing block of at least `size` bytes (the other side of a link).
bool OpenSharedMemory(std::string_view name, size_t size, SharedMemoryBlock* block);
// Unmaps the block; the side that created it also removes the name.
void CloseSharedMemory(SharedMemoryBlock* block);

// 32-bit little-endian words, read and written whole, so that each side sees
// the other's words as they are written.
uint32_t LoadSharedWord(const SharedMemoryBlock& block, size_t offset);
void StoreSharedWord(SharedMemoryBlock* block, size_t offset, uint32_t value);

// Appended to every block name: tests give each process its own names so
// that test runs in parallel do not meet. Empty by default.
void SetSharedMemoryNameSuffix(std::string_view suffix);
