#include "savedata/save_format.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/byte_order.h"
#include "core/byte_reader.h"
#include "datasrc/compression.h"
#include "image/pixel_buffers.h"
#include "layer/layer_record.h"
#include "platform/block_codec.h"
#include "script/variables.h"

namespace {

// The largest payloads a record may unpack to: a variable's fixed fields
// with its largest data part, and the largest image.
constexpr size_t kMaxVariablePayload = 12 + 4 * kMaxDimensions + kMaxVariableDataBytes;
constexpr size_t kMaxImagePayload =
    8 + kLayerBlockBytes + static_cast<size_t>(kMaxImageSide) * kMaxImageSide * 4;

uint64_t ElementCountOf(const VariableRecord* variable) {
  return variable->mCount > 0 ? static_cast<uint64_t>(variable->mCount) : 0;
}

// Text of element i of variable n: user variables straight from storage,
// system variables computed by the getter.
const char* StringOf(uint32_t n, const VariableRecord* variable, uint64_t i) {
  const char* text = nullptr;
  if (n < kFirstUserVariable) {
    text = GetStringElement(n, static_cast<int64_t>(i));
  } else if (variable->mStrings != nullptr && i < static_cast<uint64_t>(variable->mStringCount)) {
    text = variable->mStrings[i];
  }
  return text != nullptr ? text : "";
}
int64_t IntOf(uint32_t n, const VariableRecord* variable, uint64_t i) {
  if (n < kFirstUserVariable || variable->mInts == nullptr) return GetIntElement(n, static_cast<int64_t>(i));
  return variable->mInts[i];
}
double RealOf(uint32_t n, const VariableRecord* variable, uint64_t i) {
  if (n < kFirstUserVariable || variable->mReals == nullptr) return GetRealElement(n, static_cast<int64_t>(i));
  return variable->mReals[i];
}
uint64_t RealBits(double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

bool ZlibCompress(const uint8_t* data, size_t size, int level, std::vector<uint8_t>& out) {
  uLongf room = compressBound(static_cast<uLong>(size));
  size_t start = out.size();
  out.resize(start + room);
  if (compress2(out.data() + start, &room, data, static_cast<uLong>(size), level) != Z_OK) {
    out.resize(start);
    return false;
  }
  out.resize(start + room);
  return true;
}
bool ZlibUncompress(const uint8_t* data, size_t size, size_t expected, std::vector<uint8_t>& out) {
  if (expected > MaxZlibExpansion(size)) return false;
  out.assign(expected, 0);
  uLongf length = static_cast<uLongf>(expected);
  // A zero-byte result still needs a valid (empty) stream.
  uint8_t spare = 0;
  int status = uncompress(expected > 0 ? out.data() : &spare, &length, data, static_cast<uLong>(size));
  return status == Z_OK && length == expected;
}
bool BlockCompress(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  size_t room = BlockCodecMaxCompressedLength(size);
  size_t start = out.size();
  out.resize(start + room);
  if (BlockCodecCompress(reinterpret_cast<const char*>(data), size, reinterpret_cast<char*>(out.data() + start),
                         &room) != 0) {
    out.resize(start);
    return false;
  }
  out.resize(start + room);
  return true;
}
bool BlockUncompress(const uint8_t* data, size_t size, size_t expected, std::vector<uint8_t>& out) {
  size_t claimed = 0;
  if (BlockCodecUncompressedLength(reinterpret_cast<const char*>(data), size, &claimed) != 0 ||
      claimed != expected) {
    return false;
  }
  out.assign(expected, 0);
  size_t length = expected;
  uint8_t spare = 0;
  char* destination = reinterpret_cast<char*>(expected > 0 ? out.data() : &spare);
  return BlockCodecUncompress(reinterpret_cast<const char*>(data), size, destination, &length) == 0 &&
         length == expected;
}

}  // namespace

void AppendU8(std::vector<uint8_t>& out, uint8_t value) { out.push_back(value); }
void AppendU16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void AppendU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}
void AppendU64(std::vector<uint8_t>& out, uint64_t value) {
  for (int shift = 0; shift < 64; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}
void AppendBytes(std::vector<uint8_t>& out, const void* bytes, size_t count) {
  if (count == 0) return;
  const auto* first = static_cast<const uint8_t*>(bytes);
  out.insert(out.end(), first, first + count);
}
void PatchU32(std::vector<uint8_t>& out, size_t position, uint32_t value) { StoreLe32(out.data() + position, value); }

size_t EstimateVariableRecordSize(uint32_t n, bool whole, int64_t element) {
  const VariableRecord* variable = FindVariableRecord(n);
  if (variable == nullptr || variable->mVarType < kVarInt || variable->mVarType > kVarString) return 20;
  if (!whole) {
    if (variable->mVarType != kVarString) return 32;
    return 28 + std::strlen(StringOf(n, variable, static_cast<uint32_t>(element)));
  }
  size_t fixed = 24 + 4 * static_cast<size_t>(variable->mDimCount);
  uint64_t count = ElementCountOf(variable);
  if (variable->mVarType != kVarString) return fixed + 8 * count;
  size_t total = fixed;
  for (uint64_t i = 0; i < count; ++i) total += 4 + std::strlen(StringOf(n, variable, i));
  return total;
}

size_t EstimateImageRecordSize(const LayerRecord* layer) {
  size_t sides = static_cast<size_t>(std::max(layer->mWidth, 0)) * static_cast<size_t>(std::max(layer->mHeight, 0));
  return 1700 + sides * 4;
}

size_t SerializeVariable(std::vector<uint8_t>& out, uint32_t n, bool whole, int64_t element) {
  size_t start = out.size();
  const VariableRecord* variable = FindVariableRecord(n);
  uint8_t type = variable != nullptr ? variable->mVarType : 0;
  AppendU32(out, type);
  bool known = type >= kVarInt && type <= kVarString;
  if (!whole || !known) {
    AppendU32(out, 0);
    if (!known) return out.size() - start;
    auto i = static_cast<uint32_t>(element);
    if (type == kVarString) {
      const char* text = StringOf(n, variable, i);
      auto length = static_cast<uint32_t>(std::strlen(text));
      AppendU32(out, length + 4);
      AppendU32(out, length);
      AppendBytes(out, text, length);
    } else {
      AppendU32(out, 8);
      AppendU64(out, type == kVarInt ? static_cast<uint64_t>(IntOf(n, variable, i)) : RealBits(RealOf(n, variable, i)));
    }
    return out.size() - start;
  }
  AppendU32(out, variable->mDimCount);
  for (int d = 0; d < variable->mDimCount; ++d) AppendU32(out, static_cast<uint32_t>(variable->mDims[d]));
  size_t dataSizeAt = out.size();
  AppendU32(out, 0);
  uint64_t count = ElementCountOf(variable);
  if (type == kVarString) {
    for (uint64_t i = 0; i < count; ++i) {
      const char* text = StringOf(n, variable, i);
      auto length = static_cast<uint32_t>(std::strlen(text));
      AppendU32(out, length);
      AppendBytes(out, text, length);
    }
  } else if (type == kVarInt && n >= kFirstUserVariable && variable->mInts != nullptr) {
    out.reserve(out.size() + count * 8);
    for (uint64_t i = 0; i < count; ++i) AppendU64(out, static_cast<uint64_t>(variable->mInts[i]));
  } else {
    for (uint64_t i = 0; i < count; ++i) {
      AppendU64(out, type == kVarInt ? static_cast<uint64_t>(IntOf(n, variable, i)) : RealBits(RealOf(n, variable, i)));
    }
  }
  PatchU32(out, dataSizeAt, static_cast<uint32_t>(out.size() - dataSizeAt - 4));
  return out.size() - start;
}

size_t SerializeLayerImage(std::vector<uint8_t>& out, const LayerRecord* layer) {
  size_t start = out.size();
  int32_t width = std::max(layer->mWidth, 0);
  int32_t height = std::max(layer->mHeight, 0);
  size_t pixelBytes = static_cast<size_t>(width) * 4 * static_cast<size_t>(height);
  // A record without pixels stores zeros of its size.
  const uint8_t* pixels = layer->mPixelAlloc;
  AppendU32(out, kLayerBlockBytes);
  AppendU32(out, static_cast<uint32_t>(pixelBytes));
  size_t block = out.size();
  out.resize(block + kLayerBlockBytes, 0);
  StoreLe32(out.data() + block + kLayerBlockWidthAt, static_cast<uint32_t>(width));
  StoreLe32(out.data() + block + kLayerBlockHeightAt, static_cast<uint32_t>(height));
  if (pixels != nullptr) {
    AppendBytes(out, pixels, pixelBytes);
  } else {
    out.resize(out.size() + pixelBytes, 0);
  }
  return out.size() - start;
}

size_t MaxZlibExpansion(size_t size) {
  // Deflate packs at most 1032 bytes into one; the rest covers the stream's
  // own header and tail.
  if (size > std::numeric_limits<size_t>::max() / 1032 - 64) return std::numeric_limits<size_t>::max();
  return size * 1032 + 64;
}

bool CompressVariablePayload(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  return BlockCompress(data, size, out);
}
bool CompressImagePayload(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  return g_UseSnpImages != 0 ? BlockCompress(data, size, out) : ZlibCompress(data, size, 9, out);
}
bool CompressSlotImage(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  return g_UseSnpSlots != 0 ? BlockCompress(data, size, out) : ZlibCompress(data, size, 1, out);
}
bool UncompressVariablePayload(const uint8_t* data, size_t size, size_t expected, std::vector<uint8_t>& out) {
  return expected <= kMaxVariablePayload && BlockUncompress(data, size, expected, out);
}
bool UncompressImagePayload(const uint8_t* data, size_t size, size_t expected, std::vector<uint8_t>& out) {
  if (expected > kMaxImagePayload) return false;
  return g_UseSnpImages != 0 ? BlockUncompress(data, size, expected, out) : ZlibUncompress(data, size, expected, out);
}
bool UncompressSlotImage(const uint8_t* data, size_t size, size_t expected, std::vector<uint8_t>& out) {
  return g_UseSnpSlots != 0 ? BlockUncompress(data, size, expected, out) : ZlibUncompress(data, size, expected, out);
}

DecodedVariable DecodeVariablePayload(const uint8_t* data, size_t size) {
  DecodedVariable decoded;
  ByteReader reader(data, size);
  decoded.mType = reader.U32();
  if (reader.mFailed) return decoded;
  decoded.mStatus = PayloadStatus::kMalformed;
  decoded.mDimCount = reader.U32();
  if (reader.mFailed) return decoded;
  if (decoded.mDimCount > kMaxDimensions) {
    decoded.mStatus = PayloadStatus::kBadDimensions;
    return decoded;
  }
  uint64_t count = 1;
  for (uint32_t d = 0; d < decoded.mDimCount; ++d) {
    decoded.mDims[d] = reader.U32();
    // Bounded well below overflow: 40,000,000 bytes hold fewer elements.
    count = std::min<uint64_t>(count * decoded.mDims[d], uint64_t{1} << 40);
  }
  if (reader.mFailed) return decoded;
  decoded.mCount = count;
  if (decoded.mType < kVarInt || decoded.mType > kVarString) {
    decoded.mStatus = reader.Remaining() == 0 ? PayloadStatus::kUnknownType : PayloadStatus::kMalformed;
    return decoded;
  }
  uint32_t dataSize = reader.U32();
  if (reader.mFailed) return decoded;
  if (dataSize > kMaxVariableDataBytes) {
    decoded.mStatus = PayloadStatus::kTooLarge;
    return decoded;
  }
  // Every size exact: the data fills the rest of the payload.
  if (reader.Remaining() != dataSize) return decoded;
  if (decoded.mType == kVarString) {
    // Each element takes at least its 4-byte length.
    if (count > dataSize / 4) return decoded;
    decoded.mStrings.reserve(count);
    for (uint64_t i = 0; i < count; ++i) {
      uint32_t length = reader.U32();
      const uint8_t* bytes = reader.Take(length);
      if (bytes == nullptr) return decoded;
      decoded.mStrings.emplace_back(reinterpret_cast<const char*>(bytes), length);
    }
  } else {
    if (count * 8 != dataSize) return decoded;
    if (decoded.mType == kVarInt) {
      decoded.mInts.resize(count);
      for (uint64_t i = 0; i < count; ++i) decoded.mInts[i] = reader.I64();
    } else {
      decoded.mReals.resize(count);
      for (uint64_t i = 0; i < count; ++i) decoded.mReals[i] = reader.F64();
    }
  }
  if (reader.mFailed || reader.Remaining() != 0) return decoded;
  decoded.mStatus = PayloadStatus::kOk;
  return decoded;
}

DecodedImage DecodeImagePayload(const uint8_t* data, size_t size) {
  DecodedImage decoded;
  ByteReader reader(data, size);
  uint32_t blockSize = reader.U32();
  uint32_t pixelBytes = reader.U32();
  if (reader.mFailed) return decoded;
  if (blockSize != kLayerBlockBytes) {
    decoded.mStatus = ImageStatus::kBadBlockSize;
    return decoded;
  }
  const uint8_t* block = reader.Take(kLayerBlockBytes);
  if (block == nullptr) return decoded;
  decoded.mWidth = static_cast<int32_t>(LoadLe32(block + kLayerBlockWidthAt));
  decoded.mHeight = static_cast<int32_t>(LoadLe32(block + kLayerBlockHeightAt));
  if (decoded.mWidth < 1 || decoded.mHeight < 1 || decoded.mWidth > kMaxImageSide || decoded.mHeight > kMaxImageSide) {
    decoded.mStatus = ImageStatus::kBadSides;
    return decoded;
  }
  size_t expected = static_cast<size_t>(decoded.mWidth) * 4 * static_cast<size_t>(decoded.mHeight);
  if (pixelBytes != expected || reader.Remaining() != expected) return decoded;
  decoded.mPixels = reader.Take(expected);
  decoded.mPixelBytes = expected;
  decoded.mStatus = ImageStatus::kOk;
  return decoded;
}

bool ReadRecordView(const uint8_t* data, size_t size, SaveRecordView* view) {
  ByteReader reader(data, size);
  view->mKind = reader.U8();
  reader.U8();
  view->mVariable = reader.U16();
  view->mSize = reader.U32();
  view->mUncompressed = reader.U32();
  if (reader.mFailed || !reader.Has(view->mSize)) return false;
  view->mBody = data + kRecordHeaderBytes;
  return true;
}

LocateStatus CheckSaveImageHeader(const uint8_t* data, size_t size) {
  if (size < 16 || std::memcmp(data, kSaveMagic, 4) != 0) return LocateStatus::kNotSaveImage;
  if (LoadLe32(data + 4) != kSaveVersion) return LocateStatus::kWrongVersion;
  // A header cut short is no save image either.
  if (size < kSaveHeaderBytes) return LocateStatus::kNotSaveImage;
  return LocateStatus::kFound;
}

LocateStatus LocateSaveRecord(const uint8_t* image, size_t size, uint32_t dno, SaveRecordView* view) {
  LocateStatus header = CheckSaveImageHeader(image, size);
  if (header != LocateStatus::kFound) return header;
  if (dno < 1 || dno > kMaxSaveDno) return LocateStatus::kAbsent;
  uint32_t offset = LoadLe32(image + SaveTableEntryAt(dno));
  if (offset == 0) return LocateStatus::kAbsent;
  if (offset < kSaveHeaderBytes || offset > size || size - offset < 4 + kRecordHeaderBytes) {
    return LocateStatus::kDamaged;
  }
  if (LoadLe32(image + offset) != dno) return LocateStatus::kDamaged;
  if (!ReadRecordView(image + offset + 4, size - offset - 4, view)) return LocateStatus::kDamaged;
  return LocateStatus::kFound;
}

bool DecodeGroupRecord(const SaveRecordView& view, std::vector<GroupMember>* members) {
  members->clear();
  ByteReader reader(view.mBody, view.mSize);
  uint64_t unpacked = 0;
  while (reader.Remaining() > 0) {
    SaveRecordView inner;
    if (!ReadRecordView(view.mBody + reader.mPosition, reader.Remaining(), &inner)) return false;
    if (inner.mKind != kSaveKindVariable) return false;
    reader.Skip(kRecordHeaderBytes + inner.mSize);
    GroupMember member;
    member.mVariable = inner.mVariable;
    if (!UncompressRecordPayload(inner, &member.mPayload)) return false;
    unpacked += static_cast<uint64_t>(inner.mUncompressed) + kRecordHeaderBytes;
    members->push_back(std::move(member));
  }
  return unpacked == view.mUncompressed;
}

bool UncompressRecordPayload(const SaveRecordView& view, std::vector<uint8_t>* payload) {
  if (view.mKind == kSaveKindVariable) {
    return UncompressVariablePayload(view.mBody, view.mSize, view.mUncompressed, *payload);
  }
  if (view.mKind == kSaveKindImage) return UncompressImagePayload(view.mBody, view.mSize, view.mUncompressed, *payload);
  return false;
}
