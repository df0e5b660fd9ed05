#pragma once
// The data block appended to the program file, and the screen-saver mode.
//
// A single-file game is the engine's program file with an appended block:
//   0 "QVER"  4 u32 position of the pack data from the block
//   8 u32 size of the preview picture (non-zero: a screen saver)
//   12 u32 unused  16 the preview picture (a 24-bit bitmap file)
//   then the pack data, and at the very end of the file the trailer that
//   finds the block: "QVAPPEND" and the block's u64 file offset.
#include <cstdint>
#include <string>
#include <vector>

#include "datasrc/pack_file.h"  // g_DataAppended: the packs read it

constexpr char kAppendedBlockMagic[4] = {'Q', 'V', 'E', 'R'};
constexpr size_t kAppendedBlockHeaderBytes = 16;
constexpr char kAppendedTrailerMagic[8] = {'Q', 'V', 'A', 'P', 'P', 'E', 'N', 'D'};
constexpr size_t kAppendedTrailerBytes = 16;
// The preview picture's file and information headers.
constexpr size_t kPreviewHeaderBytes = 54;

extern uint8_t g_ScreenSaverMode;
// The block's file offset (the program file's size when there is none), the
// pack data's position in the block (0 without a valid block) and the
// program file's size.
extern uint64_t g_AppendedBlockOffset;
extern int64_t g_AppendedPackOffset;
extern uint64_t g_ProgramFileSize;

// The program file read for the block: /proc/self/exe, or another file
// (tests).
void SetAppendedDataProgramFile(const std::string& path);

// -1: the program must end (a damaged trailer or block, reported with the
// "FS" box); 0 no appended data; 1 the block was found and the engine uses
// its pack data.
int CheckAppendedData();
// Non-zero: the screen-saver request was served and the program ends.
int HandleScreenSaverArguments();

// The preview picture as rows of B, G, R, A pixels (top-down); false when it
// is missing or does not hold a 24-bit bitmap of the size its header gives.
struct PreviewPicture {
  std::vector<uint8_t> mPixels;
  int32_t mWidth = 0;
  int32_t mHeight = 0;
};
bool LoadPreviewPicture(PreviewPicture* picture);
// Decodes a preview bitmap file held in memory.
bool DecodePreviewBitmap(const std::vector<uint8_t>& file, PreviewPicture* picture);

// Back to the start state.
void ResetAppendedData();
