#pragma once
// A bounds-checked little-endian reader over a file image. Every read past
// the end fails and leaves the reader failed; values read after a failure
// are 0.
#include <cstddef>
#include <cstdint>
#include <cstring>

struct ByteReader {
  const uint8_t* mData = nullptr;
  size_t mSize = 0;
  size_t mPosition = 0;
  bool mFailed = false;

  ByteReader(const uint8_t* data, size_t size) : mData(data), mSize(size) {}

  size_t Remaining() const { return mFailed ? 0 : mSize - mPosition; }
  bool Has(size_t count) const { return !mFailed && count <= mSize - mPosition; }

  // The current position's bytes, or null (and failed) when fewer remain.
  const uint8_t* Take(size_t count) {
    if (!Has(count)) {
      mFailed = true;
      return nullptr;
    }
    const uint8_t* bytes = mData + mPosition;
    mPosition += count;
    return bytes;
  }
  bool Skip(size_t count) { return Take(count) != nullptr; }

  uint8_t U8() {
    const uint8_t* bytes = Take(1);
    return bytes != nullptr ? bytes[0] : 0;
  }
  uint16_t U16() {
    const uint8_t* bytes = Take(2);
    return bytes != nullptr ? static_cast<uint16_t>(bytes[0] | bytes[1] << 8) : 0;
  }
  uint32_t U32() {
    const uint8_t* bytes = Take(4);
    if (bytes == nullptr) return 0;
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  uint64_t U64() {
    uint64_t low = U32();
    uint64_t high = U32();
    return mFailed ? 0 : low | high << 32;
  }
  int64_t I64() { return static_cast<int64_t>(U64()); }
  double F64() {
    uint64_t bits = U64();
    double value = 0;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
  }

  // A zero-terminated text at the current position; null (and failed) when
  // no terminator lies inside the image. The position moves past the
  // terminator.
  const char* CString(size_t* length = nullptr) {
    if (mFailed) return nullptr;
    const void* end = std::memchr(mData + mPosition, 0, mSize - mPosition);
    if (end == nullptr) {
      mFailed = true;
      return nullptr;
    }
    const char* text = reinterpret_cast<const char*>(mData + mPosition);
    size_t textLength = static_cast<const uint8_t*>(end) - (mData + mPosition);
    if (length != nullptr) *length = textLength;
    mPosition += textLength + 1;
    return text;
  }
};
