// Image records and the memory-slot package are compressed on the pixel
// workers, each record (each slot image) on its own: the bytes must be
// those of compressing them one after another on one thread, whatever the
// number of workers.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/byte_order.h"
#include "core/platform_facts.h"
#include "image/pixel_buffers.h"
#include "image/pixel_workers.h"
#include "layer/layer_record.h"
#include "savedata/save_format.h"
#include "savedata/save_slots.h"
#include "savedata/save_test_util.h"

namespace {

struct Side {
  int32_t mWidth;
  int32_t mHeight;
};
// Edge shapes beside images large enough that the workers share them.
constexpr Side kSides[] = {{1, 1}, {3, 2}, {64, 1}, {1, 64}, {256, 256}, {256, 256},
                           {320, 200}, {256, 256}, {200, 320}, {256, 256}};

// Layers of those sides whose pixels compress as photographs do: partly.
class SaveWorkers : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LoadSavePhases(mGame, {}));
    uint32_t noise = 7;
    for (const Side& side : kSides) {
      mLayers.emplace_back();
      LayerRecord& record = mLayers.back();
      record.mWidth = record.mBufferWidth = side.mWidth;
      record.mHeight = record.mBufferHeight = side.mHeight;
      record.mPixelAlloc = record.mPixels = static_cast<uint8_t*>(std::calloc(PixelBlockBytes(side.mWidth, side.mHeight), 1));
      for (size_t i = 0; i < static_cast<size_t>(side.mWidth) * side.mHeight * 4; ++i) {
        noise = noise * 1664525u + 1013904223u;
        record.mPixelAlloc[i] = static_cast<uint8_t>((i / 4) % 97 + (noise >> 28));
      }
    }
  }
  void TearDown() override {
    StopPixelWorkers();
    for (LayerRecord& record : mLayers) std::free(record.mPixelAlloc);
    for (LayerRecord& record : mLayers) record.mPixelAlloc = record.mPixels = nullptr;
  }
  // The pool with this many workers (0: none, all on this thread).
  static void UseWorkers(int workers) {
    StopPixelWorkers();
    if (workers == 0) return;
    g_WorkerCount = static_cast<uint8_t>(workers);
    ASSERT_EQ(StartPixelWorkers(), 0);
  }

  ScriptRunner mGame;
  std::vector<LayerRecord> mLayers;
};

std::vector<uint8_t> Zlib(const uint8_t* data, size_t size, int level) {
  uLongf room = compressBound(static_cast<uLong>(size));
  std::vector<uint8_t> out(room);
  EXPECT_EQ(compress2(out.data(), &room, data, static_cast<uLong>(size), level), Z_OK);
  out.resize(room);
  return out;
}

constexpr int kWorkerCounts[] = {0, 1, 2, 4};

TEST_F(SaveWorkers, ImageRecordsAreTheBytesOfCompressingEachAloneForAnyNumberOfWorkers) {
  // One after another on this thread: the payload at zlib level 9 behind
  // the record header.
  std::vector<uint8_t> expected;
  ASSERT_TRUE(BuildSaveImage(0, &expected));
  for (size_t i = 0; i < mLayers.size(); ++i) {
    auto dno = static_cast<uint32_t>(i + 1);
    std::vector<uint8_t> payload;
    SerializeLayerImage(payload, &mLayers[i]);
    std::vector<uint8_t> stored = Zlib(payload.data(), payload.size(), 9);
    PatchU32(expected, SaveTableEntryAt(dno), static_cast<uint32_t>(expected.size()));
    AppendU32(expected, dno);
    AppendU8(expected, kSaveKindImage);
    AppendU8(expected, 1);
    AppendU16(expected, 0);
    AppendU32(expected, static_cast<uint32_t>(stored.size()));
    AppendU32(expected, static_cast<uint32_t>(payload.size()));
    AppendBytes(expected, stored.data(), stored.size());
  }
  PatchU32(expected, 8, static_cast<uint32_t>(mLayers.size()));

  for (int workers : kWorkerCounts) {
    SCOPED_TRACE(workers);
    UseWorkers(workers);
    for (size_t i = 0; i < mLayers.size(); ++i) ASSERT_TRUE(PrepareImageRecord(static_cast<uint32_t>(i + 1), &mLayers[i]));
    ASSERT_TRUE(CompressPendingImages());
    std::vector<uint8_t> image;
    ASSERT_TRUE(BuildSaveImage(kMaxSaveDno, &image));
    EXPECT_EQ(image, expected);
    if (workers >= 2) {
      EXPECT_GE(__builtin_popcount(LastCompressionSlots()), 2) << "the records were not shared out";
    }
    FreePendingSaveRecords(-1);
  }
}

TEST_F(SaveWorkers, TheSlotPackageIsTheBytesOfCompressingEachSlotAloneForAnyNumberOfWorkers) {
  // Every third slot holds an image record; the others stay empty.
  for (size_t i = 0; i < mLayers.size(); ++i) {
    ASSERT_TRUE(PrepareImageRecord(1, &mLayers[i]));
    ASSERT_TRUE(CompressPendingImages());
    ASSERT_TRUE(WriteMemorySlot(static_cast<uint32_t>(i * 3)));
    FreePendingSaveRecords(-1);
  }
  std::vector<uint8_t> expected;
  AppendU8(expected, kSaveKindVariable);
  AppendU8(expected, 1);
  AppendU16(expected, 0);
  AppendU32(expected, 0);
  AppendU32(expected, 0);
  uint32_t unpacked = 0;
  for (uint32_t slot = 0; slot < kMemorySlotCount; ++slot) {
    size_t length = 0;
    const uint8_t* image = MemorySlotImage(slot, &length);
    std::vector<uint8_t> stored = length > 0 ? Zlib(image, length, 1) : std::vector<uint8_t>();
    AppendU32(expected, static_cast<uint32_t>(length));
    AppendU32(expected, static_cast<uint32_t>(stored.size()));
    AppendBytes(expected, stored.data(), stored.size());
    unpacked += static_cast<uint32_t>(length) + 8;
  }
  PatchU32(expected, 4, static_cast<uint32_t>(expected.size() - 12));
  PatchU32(expected, 8, unpacked);

  for (int workers : kWorkerCounts) {
    SCOPED_TRACE(workers);
    UseWorkers(workers);
    ASSERT_EQ(PackMemorySlots(), 0);
    EXPECT_EQ(g_PendingSaveRecords[kPackageDno - 1], expected);
    FreePendingSaveRecords(-1);
  }
}

}  // namespace
