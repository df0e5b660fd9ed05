#include "support/save_file_builder.h"

#include <zlib.h>

#include <cstring>
#include <stdexcept>

#include "platform/block_codec.h"

namespace {

void Put8(std::vector<uint8_t>& out, uint8_t value) { out.push_back(value); }
void Put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
void Put64(std::vector<uint8_t>& out, uint64_t value) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::vector<uint8_t> Snappy(const std::vector<uint8_t>& data) {
  size_t room = BlockCodecMaxCompressedLength(data.size());
  std::vector<uint8_t> out(room);
  if (BlockCodecCompress(reinterpret_cast<const char*>(data.data()), data.size(), reinterpret_cast<char*>(out.data()),
                         &room) != 0) {
    throw std::runtime_error("block compression failed");
  }
  out.resize(room);
  return out;
}

std::vector<uint8_t> Zlib(const std::vector<uint8_t>& data, int level) {
  uLongf room = compressBound(static_cast<uLong>(data.size()));
  std::vector<uint8_t> out(room);
  if (compress2(out.data(), &room, data.data(), static_cast<uLong>(data.size()), level) != Z_OK) {
    throw std::runtime_error("zlib compression failed");
  }
  out.resize(room);
  return out;
}

}  // namespace

SavePayloadSpec IntPayload(std::vector<uint32_t> dims, std::vector<int64_t> values) {
  SavePayloadSpec spec;
  spec.mType = 1;
  spec.mDims = std::move(dims);
  spec.mInts = std::move(values);
  return spec;
}
SavePayloadSpec RealPayload(std::vector<uint32_t> dims, std::vector<double> values) {
  SavePayloadSpec spec;
  spec.mType = 2;
  spec.mDims = std::move(dims);
  spec.mReals = std::move(values);
  return spec;
}
SavePayloadSpec StringPayload(std::vector<uint32_t> dims, std::vector<std::string> values) {
  SavePayloadSpec spec;
  spec.mType = 3;
  spec.mDims = std::move(dims);
  spec.mStrings = std::move(values);
  return spec;
}

std::vector<uint8_t> EncodeVariablePayload(const SavePayloadSpec& spec) {
  std::vector<uint8_t> out;
  Put32(out, spec.mType);
  Put32(out, spec.mDimCount.value_or(static_cast<uint32_t>(spec.mDims.size())));
  for (uint32_t dim : spec.mDims) Put32(out, dim);
  if (spec.mType >= 1 && spec.mType <= 3) {
    std::vector<uint8_t> data;
    for (int64_t value : spec.mInts) Put64(data, static_cast<uint64_t>(value));
    for (double value : spec.mReals) {
      uint64_t bits = 0;
      std::memcpy(&bits, &value, 8);
      Put64(data, bits);
    }
    for (size_t i = 0; i < spec.mStrings.size(); ++i) {
      const std::string& text = spec.mStrings[i];
      Put32(data, i == 0 && spec.mFirstStringLength ? *spec.mFirstStringLength : static_cast<uint32_t>(text.size()));
      data.insert(data.end(), text.begin(), text.end());
    }
    Put32(out, spec.mDataSize.value_or(static_cast<uint32_t>(data.size())));
    out.insert(out.end(), data.begin(), data.end());
  }
  out.insert(out.end(), spec.mTrailing.begin(), spec.mTrailing.end());
  return out;
}

std::vector<uint8_t> EncodeImagePayload(const SaveImageSpec& spec) {
  std::vector<uint8_t> out;
  size_t pixelBytes = static_cast<size_t>(spec.mWidth > 0 ? spec.mWidth : 0) * 4 *
                      static_cast<size_t>(spec.mHeight > 0 ? spec.mHeight : 0);
  Put32(out, spec.mBlockSize.value_or(1680));
  Put32(out, spec.mPixelBytes.value_or(static_cast<uint32_t>(pixelBytes)));
  size_t block = out.size();
  out.resize(block + 1680, 0);
  for (int i = 0; i < 4; ++i) {
    out[block + 136 + i] = static_cast<uint8_t>(static_cast<uint32_t>(spec.mWidth) >> (8 * i));
    out[block + 140 + i] = static_cast<uint8_t>(static_cast<uint32_t>(spec.mHeight) >> (8 * i));
  }
  std::vector<uint8_t> pixels;
  for (uint32_t pixel : spec.mPixels) Put32(pixels, pixel);
  pixels.resize(spec.mPixelsWritten.value_or(pixelBytes), 0);
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

SaveRecordSpec VariableRecordSpec(uint32_t dno, uint16_t variable, const SavePayloadSpec& payload) {
  SaveRecordSpec spec;
  spec.mDno = dno;
  spec.mKind = 0;
  spec.mVariable = variable;
  spec.mPayload = EncodeVariablePayload(payload);
  return spec;
}
SaveRecordSpec ImageRecordSpec(uint32_t dno, const SaveImageSpec& image) {
  SaveRecordSpec spec;
  spec.mDno = dno;
  spec.mKind = 1;
  spec.mPayload = EncodeImagePayload(image);
  return spec;
}
SaveRecordSpec GroupRecordSpec(uint32_t dno, std::vector<SaveRecordSpec> members) {
  SaveRecordSpec spec;
  spec.mDno = dno;
  spec.mKind = 2;
  spec.mInner = std::move(members);
  return spec;
}

std::vector<uint8_t> EncodeRecord(const SaveRecordSpec& spec) {
  std::vector<uint8_t> stored;
  uint32_t uncompressed = 0;
  if (spec.mKind == 2) {
    for (const SaveRecordSpec& inner : spec.mInner) {
      std::vector<uint8_t> bytes = EncodeRecord(inner);
      stored.insert(stored.end(), bytes.begin(), bytes.end());
      uncompressed += (inner.mUncompressed ? *inner.mUncompressed : static_cast<uint32_t>(inner.mPayload.size())) + 12;
    }
  } else if (spec.mKind == 1) {
    stored = Zlib(spec.mPayload, 9);
    uncompressed = static_cast<uint32_t>(spec.mPayload.size());
  } else {
    stored = Snappy(spec.mPayload);
    uncompressed = static_cast<uint32_t>(spec.mPayload.size());
  }
  if (spec.mStored) stored = *spec.mStored;
  stored.resize(stored.size() - std::min(spec.mCutStored, stored.size()));
  std::vector<uint8_t> out;
  Put8(out, spec.mKind);
  Put8(out, 1);
  Put16(out, spec.mVariable);
  Put32(out, spec.mSize.value_or(static_cast<uint32_t>(stored.size() + spec.mCutStored)));
  Put32(out, spec.mUncompressed.value_or(uncompressed));
  out.insert(out.end(), stored.begin(), stored.end());
  return out;
}

SaveRecordSpec PackageRecordSpec(const SavePackageSpec& package) {
  std::vector<uint8_t> stored;
  uint32_t uncompressed = 0;
  for (size_t slot = 0; slot < package.mSlots.size(); ++slot) {
    const std::vector<uint8_t>& image = package.mSlots[slot];
    std::vector<uint8_t> packed = image.empty() ? std::vector<uint8_t>() : Zlib(image, 1);
    bool damaged = static_cast<int>(slot) == package.mDamagedSlot;
    Put32(stored, damaged && package.mSlotLength ? *package.mSlotLength : static_cast<uint32_t>(image.size()));
    Put32(stored, damaged && package.mStoredLength ? *package.mStoredLength : static_cast<uint32_t>(packed.size()));
    stored.insert(stored.end(), packed.begin(), packed.end());
    uncompressed += static_cast<uint32_t>(image.size()) + 8;
  }
  SaveRecordSpec spec;
  spec.mDno = 1024;
  spec.mKind = 0;
  spec.mStored = stored;
  spec.mSize = package.mSize.value_or(static_cast<uint32_t>(stored.size()));
  spec.mUncompressed = package.mUncompressed.value_or(uncompressed);
  return spec;
}

BuiltSaveFile BuildSaveFile(const SaveFileSpec& spec) {
  BuiltSaveFile built;
  std::vector<uint8_t>& out = built.mBytes;
  out.insert(out.end(), spec.mMagic.begin(), spec.mMagic.end());
  Put32(out, spec.mVersion);
  Put32(out, spec.mCount.value_or(static_cast<uint32_t>(spec.mRecords.size())));
  Put32(out, spec.mTableSize);
  out.resize(4112, 0);
  for (const SaveRecordSpec& record : spec.mRecords) {
    size_t offset = out.size();
    if (record.mDno >= 1 && record.mDno <= 1024) WriteLe32At(out, 12 + 4 * static_cast<size_t>(record.mDno), static_cast<uint32_t>(offset));
    Put32(out, record.mDnoWord.value_or(record.mDno));
    std::vector<uint8_t> bytes = EncodeRecord(record);
    out.insert(out.end(), bytes.begin(), bytes.end());
    built.mRecordOffsets.push_back(offset);
    built.mRecordEnds.push_back(out.size());
  }
  for (const auto& [dno, offset] : spec.mTableOverrides) WriteLe32At(out, 12 + 4 * static_cast<size_t>(dno), offset);
  return built;
}

uint32_t ReadLe32At(const std::vector<uint8_t>& bytes, size_t position) {
  return static_cast<uint32_t>(bytes.at(position)) | static_cast<uint32_t>(bytes.at(position + 1)) << 8 |
         static_cast<uint32_t>(bytes.at(position + 2)) << 16 | static_cast<uint32_t>(bytes.at(position + 3)) << 24;
}
void WriteLe32At(std::vector<uint8_t>& bytes, size_t position, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(position + i) = static_cast<uint8_t>(value >> (8 * i));
}
