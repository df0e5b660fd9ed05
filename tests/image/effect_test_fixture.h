#pragma once
// Small pictures for the effect, resampling, rotation and rectangle tests:
// layer nodes with pixel blocks filled from a rule, and the pixels read back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/object_tree.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "layer/layer_record.h"
#include "support/layer_tree_env.h"

using PixelRule = std::function<uint32_t(int x, int y)>;

// A picture as 0xAARRGGBB words, row by row.
struct Picture {
  int32_t mWidth = 0;
  int32_t mHeight = 0;
  std::vector<uint32_t> mPixels;
  uint32_t At(int64_t x, int64_t y) const { return mPixels[static_cast<size_t>(y * mWidth + x)]; }
  uint32_t& At(int64_t x, int64_t y) { return mPixels[static_cast<size_t>(y * mWidth + x)]; }
};

inline Picture MakePicture(int32_t width, int32_t height, const PixelRule& rule) {
  Picture picture{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) picture.At(x, y) = rule(x, y);
  }
  return picture;
}

// A varied, reproducible picture: every byte differs between neighbours.
inline uint32_t PatternPixel(int x, int y) {
  uint32_t h = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return h;
}

inline uint8_t Channel(uint32_t pixel, int c) { return static_cast<uint8_t>(pixel >> (8 * c)); }
inline uint32_t Pack(int b, int g, int r, int a) {
  return static_cast<uint32_t>(b) | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(r) << 16 |
         static_cast<uint32_t>(a) << 24;
}

class ImageOpsTest : public testing::Test {
 protected:
  void SetUp() override {
    InitPixelPrimitives();
    InstallTaggedMessages({kMsgOutOfMemory, kMsgNoMemoryForFile});
  }

  // A layer at W0/<name> holding the picture.
  ObjectTreeNode* AddLayer(const char* name, const Picture& picture, uint8_t hasAlpha = 0) {
    std::string path = std::string("W0/") + name;
    ObjectTreeNode* node = mLayers.Add(nullptr, path.c_str(), 0, 0, picture.mWidth, picture.mHeight);
    LayerRecord* record = RecordOf(node);
    uint8_t* block = AllocPixelBuffer(nullptr, picture.mWidth, picture.mHeight, nullptr);
    EXPECT_NE(block, nullptr);
    std::memcpy(block, picture.mPixels.data(), picture.mPixels.size() * 4);
    SetPixelBuffer(record, block, picture.mWidth, picture.mHeight);
    record->mHasAlpha = hasAlpha;
    return node;
  }
  // A layer with a record and no pixels (a fresh destination).
  ObjectTreeNode* AddEmptyLayer(const char* name) {
    std::string path = std::string("W0/") + name;
    return mLayers.Add(nullptr, path.c_str(), 0, 0, 1, 1);
  }

  static Picture Read(const ObjectTreeNode* node) {
    const LayerRecord* record = RecordOf(node);
    Picture picture{record->mWidth, record->mHeight,
                    std::vector<uint32_t>(static_cast<size_t>(record->mWidth) * record->mHeight)};
    std::memcpy(picture.mPixels.data(), record->mPixels, picture.mPixels.size() * 4);
    return picture;
  }

  bool SizeReported() const {
    return g_LastErrorText == ExpectedReport(kMsgOutOfMemory) && !mLayers.mScript.mDialogs.mBoxes.empty();
  }

  LayerTreeEnvironment mLayers{64, 64};
};

// Compares two pictures and names the first differing pixel.
inline testing::AssertionResult SamePicture(const Picture& expected, const Picture& actual) {
  if (expected.mWidth != actual.mWidth || expected.mHeight != actual.mHeight) {
    return testing::AssertionFailure() << "size " << actual.mWidth << "x" << actual.mHeight << ", expected "
                                       << expected.mWidth << "x" << expected.mHeight;
  }
  for (int y = 0; y < expected.mHeight; ++y) {
    for (int x = 0; x < expected.mWidth; ++x) {
      if (expected.At(x, y) != actual.At(x, y)) {
        return testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex << actual.At(x, y)
                                           << ", expected " << expected.At(x, y);
      }
    }
  }
  return testing::AssertionSuccess();
}
