#pragma once
// The link to the outside script compiler in the development layout: the
// compiler "system\VODod\VODod.exe" is started with the argument "qv" and
// hands over the compiled files through two named shared memory blocks.
//
// Hand-shake block kLinkBlockName, kLinkBlockBytes bytes, little-endian:
//   0   u32 compiler: 1 = the output is ready
//   4   u32 engine: 1 = the data block exists and is zeroed
//   12  u32 compiler: compile result, 1 = success
//   16  u32 compiler: number of files
//   20  u32 compiler: byte size of the data block (0 is taken as 16)
//   128 u32 engine: kLinkEngineVersion
//   132 text, zero-terminated within the block: the program folder (engine),
//       then the game folder (the compiler's answer)
// Data block kLinkDataBlockName: per file u32 name length n, n bytes name
// (zero-terminated within them), u32 data size s, s bytes data.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/process_state.h"

struct ResourceLocation;

constexpr char kLinkBlockName[] = "ORVANECompilerFileMapObject";
constexpr char kLinkDataBlockName[] = "ORVANECompilerFileMapObject2";
constexpr char kCompilerProgram[] = "system\\VODod\\VODod.exe";
constexpr size_t kLinkBlockBytes = 512;
constexpr size_t kLinkReadyOffset = 0;
constexpr size_t kLinkDataReadyOffset = 4;
constexpr size_t kLinkResultOffset = 12;
constexpr size_t kLinkFileCountOffset = 16;
constexpr size_t kLinkDataSizeOffset = 20;
constexpr size_t kLinkVersionOffset = 128;
constexpr size_t kLinkFolderOffset = 132;
constexpr uint32_t kLinkEngineVersion = 554;
// The largest data block the engine takes over.
constexpr uint32_t kMaxLinkDataBytes = 1u << 30;

// One delivered file; name and data point into g_CompilerOutputBlock.
struct CompilerOutputRecord {
  const char* mName = nullptr;
  uint32_t mSize = 0;
  const uint8_t* mData = nullptr;
};

extern std::vector<CompilerOutputRecord> g_CompilerOutput;
// The heap copy of the data block, kept for the life of the engine.
extern std::vector<uint8_t> g_CompilerOutputBlock;
// The game folder the compiler reported (engine form).
extern char g_GameFolder[kPathBytes];

// 0 success (the current folder is the game folder); 1 or -1 failure.
int RunScriptCompiler();
// Builds the file records from a copy of the data block. False when the
// block does not hold `count` well-formed files.
bool TakeOverCompilerOutput(const uint8_t* block, size_t size, uint32_t count);
// The reader of the compiler-output source: a copy of the record's bytes.
int ReadResourceFromCompilerOutput(ResourceLocation* location, const char* name);
// Forgets the delivered files and the game folder.
void ReleaseCompilerOutput();
