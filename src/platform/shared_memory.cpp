#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <bit>
#include <mutex>

static_assert(std::endian::native == std::endian::little, "shared words are little-endian");

namespace {

std::mutex g_suffixMutex;
std::string g_nameSuffix;

std::string SystemNameOf(std::string_view name) {
  std::lock_guard<std::mutex> guard(g_suffixMutex);
  std::string systemName = "/";
  for (char c : name) systemName.push_back(c == '/' ? '_' : c);
  systemName += g_nameSuffix;
  return systemName;
}

bool MapBlock(int fd, size_t size, SharedMemoryBlock* block) {
  void* address = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (address == MAP_FAILED) return false;
  block->mFd = fd;
  block->mBytes = static_cast<uint8_t*>(address);
  block->mSize = size;
  return true;
}

}  // namespace

bool CreateSharedMemory(std::string_view name, size_t size, SharedMemoryBlock* block) {
  CloseSharedMemory(block);
  if (size == 0) return false;
  std::string systemName = SystemNameOf(name);
  // A fresh object is zero-filled by the system.
  shm_unlink(systemName.c_str());
  int fd = shm_open(systemName.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return false;
  if (ftruncate(fd, static_cast<off_t>(size)) != 0 || !MapBlock(fd, size, block)) {
    close(fd);
    shm_unlink(systemName.c_str());
    return false;
  }
  block->mSystemName = systemName;
  return true;
}

bool OpenSharedMemory(std::string_view name, size_t size, SharedMemoryBlock* block) {
  CloseSharedMemory(block);
  if (size == 0) return false;
  int fd = shm_open(SystemNameOf(name).c_str(), O_RDWR, 0);
  if (fd < 0) return false;
  struct stat info {};
  if (fstat(fd, &info) != 0 || info.st_size < 0 || static_cast<size_t>(info.st_size) < size ||
      !MapBlock(fd, size, block)) {
    close(fd);
    return false;
  }
  return true;
}

void CloseSharedMemory(SharedMemoryBlock* block) {
  if (block->mBytes != nullptr) munmap(block->mBytes, block->mSize);
  if (block->mFd >= 0) close(block->mFd);
  if (!block->mSystemName.empty()) shm_unlink(block->mSystemName.c_str());
  *block = SharedMemoryBlock();
}

uint32_t LoadSharedWord(const SharedMemoryBlock& block, size_t offset) {
  if (block.mBytes == nullptr || offset % 4 != 0 || offset + 4 > block.mSize) return 0;
  auto* word = reinterpret_cast<uint32_t*>(block.mBytes + offset);
  return std::atomic_ref<uint32_t>(*word).load();
}

void StoreSharedWord(SharedMemoryBlock* block, size_t offset, uint32_t value) {
  if (block->mBytes == nullptr || offset % 4 != 0 || offset + 4 > block->mSize) return;
  auto* word = reinterpret_cast<uint32_t*>(block->mBytes + offset);
  std::atomic_ref<uint32_t>(*word).store(value);
}

void SetSharedMemoryNameSuffix(std::string_view suffix) {
  std::lock_guard<std::mutex> guard(g_suffixMutex);
  g_nameSuffix = suffix;
}
