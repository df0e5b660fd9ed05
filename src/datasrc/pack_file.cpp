#include "datasrc/pack_file.h"

#include "core/byte_order.h"
#include "core/process_state.h"
#include "platform/game_files.h"

static_assert(sizeof(long) >= 8, "pack offsets are 64-bit");

uint8_t g_NameLengthTable[256];
int64_t g_AppendedPackBase = 0;
uint8_t g_DataAppended = 0;
std::string g_AppendedDataFile;
int64_t g_AppendedPackEnd = 0;

PackFileHandle::~PackFileHandle() { ClosePackFile(this); }

bool OpenPackFile(PackFileHandle* handle, std::string_view path) {
  ClosePackFile(handle);
  int64_t base = 0;
  if (g_DataAppended == 1) {
    path = g_ExePath;
    base = g_AppendedPackBase;
  }
  bool programFile = g_DataAppended == 1 && !g_AppendedDataFile.empty();
  FILE* file = programFile ? std::fopen(g_AppendedDataFile.c_str(), "rb") : OpenGameFile(path, "rb");
  if (file == nullptr) return false;
  long end = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) end = std::ftell(file);
  if (programFile && g_AppendedPackEnd > 0 && g_AppendedPackEnd < end) end = static_cast<long>(g_AppendedPackEnd);
  if (end < 0 || base < 0 || base > end || std::fseek(file, static_cast<long>(base), SEEK_SET) != 0) {
    std::fclose(file);
    return false;
  }
  handle->mFile = file;
  handle->mBaseOffset = base;
  handle->mSize = end - base;
  return true;
}

void ClosePackFile(PackFileHandle* handle) {
  if (handle->mFile != nullptr) std::fclose(handle->mFile);
  handle->mFile = nullptr;
  handle->mBaseOffset = 0;
  handle->mSize = 0;
}

bool SeekPackFile(PackFileHandle* handle, int64_t position) {
  if (handle->mFile == nullptr || position < 0 || position > handle->mSize) return false;
  return std::fseek(handle->mFile, static_cast<long>(handle->mBaseOffset + position), SEEK_SET) == 0;
}

int64_t TellPackFile(PackFileHandle* handle) {
  if (handle->mFile == nullptr) return -1;
  long position = std::ftell(handle->mFile);
  return position < 0 ? -1 : position - handle->mBaseOffset;
}

bool ReadPackBytes(PackFileHandle* handle, void* destination, size_t length) {
  if (handle->mFile == nullptr) return false;
  return std::fread(destination, 1, length, handle->mFile) == length;
}

bool ReadPackByte(PackFileHandle* handle, uint8_t* value) { return ReadPackBytes(handle, value, 1); }

bool ReadPackU32(PackFileHandle* handle, uint32_t* value) {
  uint8_t bytes[4];
  if (!ReadPackBytes(handle, bytes, sizeof bytes)) return false;
  *value = LoadLe32(bytes);
  return true;
}

bool ReadPackU64(PackFileHandle* handle, uint64_t* value) {
  uint8_t bytes[8];
  if (!ReadPackBytes(handle, bytes, sizeof bytes)) return false;
  *value = LoadLe64(bytes);
  return true;
}
