#pragma once
// The save file layout and the payloads of its records, written and read
// byte by byte (little-endian). A save image (a file, or the content of a
// memory slot) is: "QVSD", version 480, the record count, 1024, the offset
// table of DNO 1-1024 (0: absent), then the records, each a u32 DNO followed
// by the record proper: a 12-byte header (kind, 1, variable number, stored
// size, uncompressed size) and its stored bytes.
//
// Everything read here is bounded by the bytes it comes from: a size that
// does not fit, or does not match exactly, makes the record damaged.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct LayerRecord;
struct VariableRecord;

inline constexpr char kSaveMagic[4] = {'Q', 'V', 'S', 'D'};
constexpr uint32_t kSaveVersion = 480;
constexpr uint32_t kSaveTableEntries = 1024;
// Magic, version, count, table size, then the table.
constexpr size_t kSaveHeaderBytes = 16 + 4 * kSaveTableEntries;  // 4112
constexpr size_t kRecordHeaderBytes = 12;
// Offsets are u32: no save image (file or slot) is larger.
constexpr uint64_t kMaxSaveImageBytes = UINT32_MAX;
constexpr uint32_t kMaxSaveDno = 1024;
// The record that carries all memory slots; scripts may not prepare it.
constexpr uint32_t kPackageDno = 1024;
constexpr uint32_t kMemorySlotCount = 500;
// The stored image of a layer record.
constexpr uint32_t kLayerBlockBytes = 1680;
constexpr size_t kLayerBlockWidthAt = 136;
constexpr size_t kLayerBlockHeightAt = 140;
// The largest data part of a variable record.
constexpr uint32_t kMaxVariableDataBytes = 40000000;

enum : uint8_t { kSaveKindVariable = 0, kSaveKindImage = 1, kSaveKindGroup = 2 };

// The table entry of a DNO sits at 12 + 4 * DNO.
constexpr size_t SaveTableEntryAt(uint32_t dno) { return 12 + 4 * static_cast<size_t>(dno); }

// Appending little-endian values to a byte buffer.
void AppendU8(std::vector<uint8_t>& out, uint8_t value);
void AppendU16(std::vector<uint8_t>& out, uint16_t value);
void AppendU32(std::vector<uint8_t>& out, uint32_t value);
void AppendU64(std::vector<uint8_t>& out, uint64_t value);
void AppendBytes(std::vector<uint8_t>& out, const void* bytes, size_t count);
void PatchU32(std::vector<uint8_t>& out, size_t position, uint32_t value);

// Bytes of a record before compression, its 12-byte header included: the
// exact payload size + 12. A variable without a record counts as "any other
// type" (20).
size_t EstimateVariableRecordSize(uint32_t n, bool whole, int64_t element);
size_t EstimateImageRecordSize(const LayerRecord* layer);

// The payload of variable n (whole, or the one element) appended to out;
// returns its size. System variables are read through the element getters,
// so their values are computed first.
size_t SerializeVariable(std::vector<uint8_t>& out, uint32_t n, bool whole, int64_t element);
// The image payload: 1680, the pixel bytes, the stored record block (zeros
// but the width at byte 136 and the height at byte 140), the pixels.
size_t SerializeLayerImage(std::vector<uint8_t>& out, const LayerRecord* layer);

// Compression by kind and the engine's switches. The compressors append to
// out and return false on failure (out then keeps its old size).
bool CompressVariablePayload(const uint8_t* data, size_t size, std::vector<uint8_t>& out);
bool CompressImagePayload(const uint8_t* data, size_t size, std::vector<uint8_t>& out);
bool CompressSlotImage(const uint8_t* data, size_t size, std::vector<uint8_t>& out);
// Decompression into exactly `expected` bytes; false unless the stored
// bytes decode to exactly that many.
bool UncompressVariablePayload(const uint8_t* data, size_t size, size_t expected, std::vector<uint8_t>& out);
bool UncompressImagePayload(const uint8_t* data, size_t size, size_t expected, std::vector<uint8_t>& out);
bool UncompressSlotImage(const uint8_t* data, size_t size, size_t expected, std::vector<uint8_t>& out);
// Upper bounds of the unpacked size of `size` stored bytes, so that a
// damaged size field cannot ask for more memory than its data could give.
size_t MaxZlibExpansion(size_t size);

// A variable payload decoded into values. The type and dimensions are known
// as soon as the first bytes are read; mStatus says how far it went.
enum class PayloadStatus {
  kOk,
  kShort,          // fewer bytes than the type word
  kUnknownType,    // a type other than 1-3 (its dimensions and nothing else follow)
  kBadDimensions,  // a dimension count above 8
  kTooLarge,       // a data size above kMaxVariableDataBytes
  kMalformed,      // sizes that do not agree with the elements or the payload
};
struct DecodedVariable {
  PayloadStatus mStatus = PayloadStatus::kShort;
  uint32_t mType = 0;
  uint32_t mDimCount = 0;
  uint32_t mDims[8] = {};
  uint64_t mCount = 0;  // elements: the product of the dimensions, 1 without any
  std::vector<int64_t> mInts;
  std::vector<double> mReals;
  std::vector<std::string> mStrings;
};
DecodedVariable DecodeVariablePayload(const uint8_t* data, size_t size);

// An image payload's fields; the pixels point into the payload.
enum class ImageStatus { kOk, kBadBlockSize, kBadSides, kMalformed };
struct DecodedImage {
  ImageStatus mStatus = ImageStatus::kMalformed;
  int32_t mWidth = 0;
  int32_t mHeight = 0;
  const uint8_t* mPixels = nullptr;
  size_t mPixelBytes = 0;
};
DecodedImage DecodeImagePayload(const uint8_t* data, size_t size);

// One record proper inside a save image.
struct SaveRecordView {
  uint8_t mKind = 0;
  uint16_t mVariable = 0;
  uint32_t mSize = 0;          // stored bytes after the header
  uint32_t mUncompressed = 0;  // the header's uncompressed-size field
  const uint8_t* mBody = nullptr;
};
// Reads the 12-byte header at data and checks that the stored bytes lie
// within size. False when they do not.
bool ReadRecordView(const uint8_t* data, size_t size, SaveRecordView* view);

enum class LocateStatus { kFound, kNotSaveImage, kWrongVersion, kAbsent, kDamaged };
// The status of a save image's first 16 bytes (and of its whole header).
LocateStatus CheckSaveImageHeader(const uint8_t* data, size_t size);
// Finds record dno in a whole save image: the table entry must point inside
// the image at a DNO word of the same number whose record fits.
LocateStatus LocateSaveRecord(const uint8_t* image, size_t size, uint32_t dno, SaveRecordView* view);

// The variables of a group record, each checked to be a complete kind-0
// record whose sizes add up to the outer header's; false when any is not.
struct GroupMember {
  uint16_t mVariable;
  std::vector<uint8_t> mPayload;
};
bool DecodeGroupRecord(const SaveRecordView& view, std::vector<GroupMember>* members);
// The payload of a kind-0 or kind-1 record, decompressed to its exact size.
bool UncompressRecordPayload(const SaveRecordView& view, std::vector<uint8_t>* payload);
