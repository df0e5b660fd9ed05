#include "savedata/save_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>

#include "core/byte_order.h"
#include "platform/file_replace.h"
#include "savedata/save_format.h"

int g_SaveWriteFaultStep = -1;
int g_SaveWriteSteps = 0;

namespace {

constexpr size_t kReadBufferBytes = 16 * 1024;

// Counts a write step; false when the injected fault falls on it.
bool StepAllowed() {
  return g_SaveWriteSteps++ != g_SaveWriteFaultStep;
}

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

// The errno that stands for a place that is not a regular file.
int NotRegularFileError(mode_t mode) { return S_ISDIR(mode) ? EISDIR : EINVAL; }

// Opens a regular file for reading. The place is looked at before the open
// (opening a FIFO would wait for a writer for good), the open itself does
// not block, and the open file is looked at again (the place may have
// changed in between). Null with *error set: the failing call's errno,
// EISDIR for a folder, EINVAL for anything else that is not a regular file.
FileHandle OpenRegularFile(const std::string& path, int* error) {
  struct stat facts = {};
  if (::stat(path.c_str(), &facts) != 0) {
    *error = errno;
    return nullptr;
  }
  if (!S_ISREG(facts.st_mode)) {
    *error = NotRegularFileError(facts.st_mode);
    return nullptr;
  }
  int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) {
    *error = errno;
    return nullptr;
  }
  int failure = 0;
  if (::fstat(descriptor, &facts) != 0) {
    failure = errno;
  } else if (!S_ISREG(facts.st_mode)) {
    failure = NotRegularFileError(facts.st_mode);
  }
  if (failure != 0) {
    *error = failure;
    ::close(descriptor);
    return nullptr;
  }
  FileHandle file(::fdopen(descriptor, "rb"));
  if (file == nullptr) {
    *error = errno;
    ::close(descriptor);
    return nullptr;
  }
  std::setvbuf(file.get(), nullptr, _IOFBF, kReadBufferBytes);
  return file;
}

int64_t SizeOf(FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return -1;
  long size = std::ftell(file);
  if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) return -1;
  return size;
}

}  // namespace

int WriteSaveFileAtomically(const std::string& path, const std::vector<uint8_t>& image, int* error) {
  g_SaveWriteSteps = 0;
  return ReplaceFileContents(path, image.data(), image.size(), error, StepAllowed);
}

int ReadSaveFile(const std::string& path, std::vector<uint8_t>* bytes, int* error) {
  *error = 0;
  FileHandle file = OpenRegularFile(path, error);
  // ENOTDIR: a file stands where a folder of the path should be, so there
  // is no save file either (making the folder then tells why).
  if (file == nullptr) return *error == ENOENT || *error == ENOTDIR ? 1 : -1;
  int64_t size = SizeOf(file.get());
  if (size < 0) {
    *error = errno != 0 ? errno : EIO;
    return -1;
  }
  // Offsets are 32 bits wide: a larger file is no save file, and is not
  // read into memory to find that out.
  if (static_cast<uint64_t>(size) > kMaxSaveImageBytes) {
    *error = EFBIG;
    return -1;
  }
  try {
    bytes->resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    *error = ENOMEM;
    return -1;
  }
  if (size > 0 && std::fread(bytes->data(), 1, bytes->size(), file.get()) != bytes->size()) {
    *error = EIO;
    return -1;
  }
  return 0;
}

int ReadSaveFileRecord(const std::string& path, uint32_t dno, std::vector<uint8_t>* header,
                       std::vector<uint8_t>* record) {
  header->clear();
  record->clear();
  int error = 0;
  FileHandle file = OpenRegularFile(path, &error);
  if (file == nullptr) return 1;
  int64_t size = SizeOf(file.get());
  if (size < 0) return -1;
  header->resize(std::min<size_t>(static_cast<size_t>(size), kSaveHeaderBytes));
  if (std::fread(header->data(), 1, header->size(), file.get()) != header->size()) return -1;
  if (header->size() < kSaveHeaderBytes || dno < 1 || dno > kMaxSaveDno) return 0;
  uint32_t offset = LoadLe32(header->data() + SaveTableEntryAt(dno));
  if (offset == 0 || offset >= size) return 0;
  // The DNO word and the record header first; the stored bytes only as far
  // as the file holds them, so a lying size asks for no more than that.
  size_t available = static_cast<size_t>(size - offset);
  size_t head = std::min<size_t>(available, 4 + kRecordHeaderBytes);
  record->resize(head);
  if (std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0 ||
      std::fread(record->data(), 1, head, file.get()) != head) {
    return -1;
  }
  if (head < 4 + kRecordHeaderBytes) return 0;
  size_t stored = std::min<size_t>(LoadLe32(record->data() + 8), available - head);
  record->resize(head + stored);
  if (stored > 0 && std::fread(record->data() + head, 1, stored, file.get()) != stored) return -1;
  return 0;
}
