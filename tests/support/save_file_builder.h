#pragma once
// Writes save files and memory-slot images from C++ calls: every record kind
// (variables whole or one element, layer images, groups, the memory-slot
// package), each field at its true value by default and open to an override,
// so one builder writes the good file and each damaged one.
//
//   SaveFileSpec file;
//   file.mRecords.push_back(VariableRecordSpec(5, 1000, IntPayload({3}, {1, 2, 3})));
//   std::vector<uint8_t> bytes = BuildSaveFile(file).mBytes;
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A variable payload: type 1 integer, 2 real, 3 string (others: no data
// size and no data).
struct SavePayloadSpec {
  uint32_t mType = 1;
  std::vector<uint32_t> mDims;  // empty: a scalar or one element
  std::vector<int64_t> mInts;
  std::vector<double> mReals;
  std::vector<std::string> mStrings;
  // Written in place of the true values when set.
  std::optional<uint32_t> mDimCount;
  std::optional<uint32_t> mDataSize;
  std::optional<uint32_t> mFirstStringLength;
  std::vector<uint8_t> mTrailing;  // extra bytes after the data
};
SavePayloadSpec IntPayload(std::vector<uint32_t> dims, std::vector<int64_t> values);
SavePayloadSpec RealPayload(std::vector<uint32_t> dims, std::vector<double> values);
SavePayloadSpec StringPayload(std::vector<uint32_t> dims, std::vector<std::string> values);
std::vector<uint8_t> EncodeVariablePayload(const SavePayloadSpec& spec);

// A layer image payload; pixel (x, y) is mPixels[y * width + x] (B, G, R, A
// in memory).
struct SaveImageSpec {
  int32_t mWidth = 1;
  int32_t mHeight = 1;
  std::vector<uint32_t> mPixels;
  std::optional<uint32_t> mBlockSize;
  std::optional<uint32_t> mPixelBytes;
  std::optional<size_t> mPixelsWritten;  // bytes of pixels actually written
};
std::vector<uint8_t> EncodeImagePayload(const SaveImageSpec& spec);

// One record: the 12-byte header and its stored bytes. Kinds 0 and 1
// compress mPayload; kind 2 holds mInner (complete kind-0 records).
struct SaveRecordSpec {
  uint32_t mDno = 1;
  uint8_t mKind = 0;
  uint16_t mVariable = 0;
  std::vector<uint8_t> mPayload;
  std::vector<SaveRecordSpec> mInner;
  std::optional<uint32_t> mDnoWord;
  std::optional<uint32_t> mSize;
  std::optional<uint32_t> mUncompressed;
  std::optional<std::vector<uint8_t>> mStored;  // stored bytes as given
  size_t mCutStored = 0;                        // bytes dropped from the stored end
};
SaveRecordSpec VariableRecordSpec(uint32_t dno, uint16_t variable, const SavePayloadSpec& payload);
SaveRecordSpec ImageRecordSpec(uint32_t dno, const SaveImageSpec& image);
SaveRecordSpec GroupRecordSpec(uint32_t dno, std::vector<SaveRecordSpec> members);
// The record proper (header and stored bytes) without the DNO word.
std::vector<uint8_t> EncodeRecord(const SaveRecordSpec& spec);

// The memory-slot package (DNO 1024): slot images by slot number (an empty
// image is an empty slot).
struct SavePackageSpec {
  std::vector<std::vector<uint8_t>> mSlots = std::vector<std::vector<uint8_t>>(500);
  std::optional<uint32_t> mSize;
  std::optional<uint32_t> mUncompressed;
  // Slot whose lengths are overridden, with the values.
  int mDamagedSlot = -1;
  std::optional<uint32_t> mSlotLength;
  std::optional<uint32_t> mStoredLength;
};
SaveRecordSpec PackageRecordSpec(const SavePackageSpec& package);

struct SaveFileSpec {
  std::array<char, 4> mMagic = {'Q', 'V', 'S', 'D'};
  uint32_t mVersion = 480;
  std::optional<uint32_t> mCount;  // true value: the number of records
  uint32_t mTableSize = 1024;
  std::vector<SaveRecordSpec> mRecords;
  // Table entries written as given: DNO -> offset.
  std::vector<std::pair<uint32_t, uint32_t>> mTableOverrides;
};

struct BuiltSaveFile {
  std::vector<uint8_t> mBytes;
  std::vector<size_t> mRecordOffsets;  // each record's DNO word
  std::vector<size_t> mRecordEnds;     // the byte after each record
};
BuiltSaveFile BuildSaveFile(const SaveFileSpec& spec);

// Little-endian field access for tests that patch built files.
uint32_t ReadLe32At(const std::vector<uint8_t>& bytes, size_t position);
void WriteLe32At(std::vector<uint8_t>& bytes, size_t position, uint32_t value);
