#pragma once
// Makes a single-file game: a copy of the engine's program file with the
// game's pack data (and, for a screen-saver edition, a preview picture)
// appended behind the block header, and the trailer that finds the block.
#include <cstdint>
#include <string>
#include <vector>

struct SingleFileParts {
  std::string mEngine;               // the engine's program file
  std::string mPack;                 // the game's pack file (*.qpf)
  std::vector<uint8_t> mPreview;     // a 24-bit bitmap file, or empty
};

// Writes the output file and makes it executable; an empty text, or why it
// failed.
std::string MakeSingleFileGame(const SingleFileParts& parts, const std::string& output);
// The appended bytes alone (block and trailer) for a program file of
// `programSize` bytes.
std::vector<uint8_t> BuildAppendedData(uint64_t programSize, const std::vector<uint8_t>& pack,
                                       const std::vector<uint8_t>& preview);
// Reads a whole file; false when it cannot be read.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* bytes);
