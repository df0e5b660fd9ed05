#include "datasrc/compiler_link.h"

#include <algorithm>
#include <cstring>

#include "core/byte_order.h"
#include "core/errors.h"
#include "core/sjis.h"
#include "datasrc/resource_lookup.h"
#include "platform/clock.h"
#include "platform/game_files.h"
#include "platform/process.h"
#include "platform/shared_memory.h"

std::vector<CompilerOutputRecord> g_CompilerOutput;
std::vector<uint8_t> g_CompilerOutputBlock;
char g_GameFolder[kPathBytes];

namespace {

constexpr uint32_t kPollMs = 10;

// Both blocks of one link, closed on every way out.
struct LinkBlocks {
  SharedMemoryBlock mHandshake;
  SharedMemoryBlock mData;
  ~LinkBlocks() {
    CloseSharedMemory(&mData);
    CloseSharedMemory(&mHandshake);
  }
};

void ShowLinkFailure() { ShowMessageBox("", "ORVANEコンパイラとデータ通信が出来ませんでした。"); }

// The compiler's answer at kLinkFolderOffset: false when it has no
// terminator inside the block or does not fit g_GameFolder.
bool TakeOverGameFolder(const SharedMemoryBlock& handshake) {
  const uint8_t* text = handshake.mBytes + kLinkFolderOffset;
  const void* end = std::memchr(text, 0, kLinkBlockBytes - kLinkFolderOffset);
  if (end == nullptr) return false;
  size_t length = static_cast<size_t>(static_cast<const uint8_t*>(end) - text);
  if (length >= kPathBytes) return false;
  std::memcpy(g_GameFolder, text, length + 1);
  return true;
}

// One file of the data block at *position: u32 name length, the name
// (terminated within it, at most kMaxNameBytes), u32 data size, the data.
// False when it does not lie whole inside the block.
bool ReadOutputRecord(const std::vector<uint8_t>& block, size_t* position, CompilerOutputRecord* record) {
  size_t at = *position;
  if (block.size() - at < 4) return false;
  uint32_t nameLength = LoadLe32(&block[at]);
  at += 4;
  if (nameLength == 0 || nameLength > block.size() - at) return false;
  const char* name = reinterpret_cast<const char*>(&block[at]);
  size_t nameBytes = strnlen(name, nameLength);
  if (nameBytes == nameLength || nameBytes > kMaxNameBytes) return false;
  at += nameLength;
  if (block.size() - at < 4) return false;
  uint32_t dataSize = LoadLe32(&block[at]);
  at += 4;
  if (dataSize > block.size() - at) return false;
  *record = {name, dataSize, block.data() + at};
  *position = at + dataSize;
  return true;
}

}  // namespace

bool TakeOverCompilerOutput(const uint8_t* block, size_t size, uint32_t count) {
  ReleaseCompilerOutput();
  g_CompilerOutputBlock.assign(block, block + size);
  // Each file takes at least 8 bytes, so the count cannot ask for more.
  g_CompilerOutput.reserve(std::min<size_t>(count, size / 8));
  size_t position = 0;
  for (uint32_t file = 0; file < count; ++file) {
    CompilerOutputRecord record;
    if (!ReadOutputRecord(g_CompilerOutputBlock, &position, &record)) {
      ReleaseCompilerOutput();
      return false;
    }
    g_CompilerOutput.push_back(record);
  }
  return true;
}

int RunScriptCompiler() {
  // A development folder without the compiler shows the licence notice and
  // the engine does not start.
  if (!GameFileExists(kCompilerProgram)) {
    g_ErrorDialogCaption = "License Information";
    ReportError(100000, 1);
    return 1;
  }
  LinkBlocks blocks;
  if (!CreateSharedMemory(kLinkBlockName, kLinkBlockBytes, &blocks.mHandshake)) {
    ShowLinkFailure();
    return -1;
  }
  std::memset(blocks.mHandshake.mBytes, 0, kLinkBlockBytes);
  StoreSharedWord(&blocks.mHandshake, kLinkVersionOffset, kLinkEngineVersion);
  CopySjisBounded(reinterpret_cast<char*>(blocks.mHandshake.mBytes + kLinkFolderOffset),
                  kLinkBlockBytes - kLinkFolderOffset, g_ExeFolder);

  ChildProcess compiler;
  if (!SpawnChildProcess({ResolveGamePath(kCompilerProgram), "qv"}, std::string(), &compiler)) {
    ShowMessageBox("", "ORVANEコンパイラを起動できませんでした。");
    return 1;
  }
  // A compiler that ends before its output is ready has reported its own
  // errors.
  while (LoadSharedWord(blocks.mHandshake, kLinkReadyOffset) != 1) {
    if (HasChildProcessEnded(&compiler, nullptr)) return 1;
    SleepMs(kPollMs);
  }
  uint32_t count = LoadSharedWord(blocks.mHandshake, kLinkFileCountOffset);
  uint32_t size = LoadSharedWord(blocks.mHandshake, kLinkDataSizeOffset);
  if (size == 0) size = 16;
  // A new block is zero-filled by the system.
  if (size > kMaxLinkDataBytes || !CreateSharedMemory(kLinkDataBlockName, size, &blocks.mData)) {
    // The compiler would wait for the block for ever.
    KillChildProcess(&compiler);
    ShowLinkFailure();
    return -1;
  }
  StoreSharedWord(&blocks.mHandshake, kLinkDataReadyOffset, 1);
  while (!HasChildProcessEnded(&compiler, nullptr)) SleepMs(kPollMs);

  if (count > 0 && !TakeOverCompilerOutput(blocks.mData.mBytes, size, count)) {
    ShowLinkFailure();
    return -1;
  }
  if (!TakeOverGameFolder(blocks.mHandshake)) {
    ReleaseCompilerOutput();
    ShowLinkFailure();
    return -1;
  }
  uint32_t result = LoadSharedWord(blocks.mHandshake, kLinkResultOffset);
  if (result != 1) return 1;
  if (!SetGameCurrentFolder(g_GameFolder)) {
    ReleaseCompilerOutput();
    ShowLinkFailure();
    return -1;
  }
  return 0;
}

int FindInCompilerOutput(ResourceLocation* location, const char* name) {
  for (size_t index = 0; index < g_CompilerOutput.size(); ++index) {
    if (!EqualsSjisNoCase(g_CompilerOutput[index].mName, name)) continue;
    location->mSource = SOURCE_COMPILER_OUTPUT;
    location->mCompilerIndex = static_cast<int32_t>(index);
    return SOURCE_COMPILER_OUTPUT;
  }
  return 0;
}

int ReadResourceFromCompilerOutput(ResourceLocation* location, const char* name) {
  int32_t index = location->mCompilerIndex;
  if (index < 0 || static_cast<size_t>(index) >= g_CompilerOutput.size()) return -3;
  const CompilerOutputRecord& record = g_CompilerOutput[static_cast<size_t>(index)];
  if (!AllocResourceData(location, record.mSize)) {
    ReportErrorFmt(104030, 1, name);
    return -3;
  }
  if (record.mSize > 0) std::memcpy(location->mData, record.mData, record.mSize);
  return 0;
}

void ReleaseCompilerOutput() {
  g_CompilerOutput = {};
  g_CompilerOutputBlock = {};
  g_GameFolder[0] = '\0';
}
