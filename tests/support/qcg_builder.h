#pragma once
// Writes qcg image files from C++ calls: the two halves of a B, G, R, A
// pixel block stored raw, zlib-packed, block-compressed or WebP-encoded, and
// every header field open to tests that need a lying size, method or magic.
//
//   QcgFixture qcg;
//   qcg.mWidth = 4; qcg.mHeight = 2; qcg.mPixels = bgra; qcg.mMethod = kQcgZlib;
//   std::vector<uint8_t> file = WriteQcg(qcg);
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "image/qcg_format.h"

struct QcgFixture {
  int32_t mWidth = 1;
  int32_t mHeight = 1;
  uint32_t mMethod = kQcgRaw;
  std::vector<uint8_t> mPixels;  // width*height*4 bytes: B, G, R, A, top-down
  // Rows in the first half (WebP halves are whole rows); default height/2.
  std::optional<int32_t> mFirstHalfRows;
  // WebP halves: quality 0..100, or -1 for lossless.
  int mWebpQuality = -1;

  // Written in place of the true values when set.
  std::optional<std::array<uint8_t, 4>> mMagic;
  std::optional<int32_t> mStoredWidth;
  std::optional<int32_t> mStoredHeight;
  std::optional<uint32_t> mStoredMethod;
  std::optional<uint32_t> mOut1;
  std::optional<uint32_t> mStored1;
  std::optional<uint32_t> mOut2;
  std::optional<uint32_t> mStored2;
};

// The two halves' stored bytes as the method writes them.
struct QcgHalves {
  std::vector<uint8_t> mStored1;
  std::vector<uint8_t> mStored2;
  size_t mOut1 = 0;
  size_t mOut2 = 0;
};
QcgHalves EncodeQcgHalves(const QcgFixture& qcg);
std::vector<uint8_t> WriteQcg(const QcgFixture& qcg);

// WebP streams of B, G, R, A pixels for fixtures (quality -1: lossless,
// keeping the colour under transparent pixels).
std::vector<uint8_t> EncodeWebpFixture(const uint8_t* pixels, int width, int height, int quality);
