#include "image/pixel_buffers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "core/alloc.h"
#include "core/message_ids.h"
#include "datasrc/resource_lookup.h"
#include "image/pixel_primitives.h"
#include "image/runtime_random.h"
#include "script/script_data.h"
#include "support/command_table.h"
#include "support/image_fixtures.h"
#include "support/image_test_env.h"
#include "support/script_test_env.h"

namespace {

void ExpectEmptyImage(ScopedLayerRecord& record) {
  EXPECT_EQ(record->mWidth, 1);
  EXPECT_EQ(record->mHeight, 1);
  EXPECT_EQ(record->mBufferWidth, 1);
  EXPECT_EQ(record->mBufferHeight, 1);
  EXPECT_EQ(record->mHasAlpha, 0);
  ASSERT_NE(record->mPixels, nullptr);
  EXPECT_EQ(record->mPixels, record->mPixelAlloc);
  EXPECT_EQ(record.Pixel(0, 0), TRANSPARENT_COLOUR);
}

TEST(PixelBuffers, EmptyOrMissingNameGivesTheTransparentPixelSilently) {
  ImageReportRecorder reports;
  TempFolder folder;
  for (const char* name : {"", "missing.png", "nothing"}) {
    ScopedLayerRecord record;
    record->mHasAlpha = 1;
    record->mWidth = 5;
    EXPECT_EQ(LoadImageFile(record.get(), name), 0) << name;
    ExpectEmptyImage(record);
  }
  EXPECT_EQ(reports.LastReport(), "");
  EXPECT_TRUE(reports.Boxes().empty());
  EXPECT_FALSE(reports.Quit());
}

TEST(PixelBuffers, SideLimitsAreCheckedForBothSides) {
  ImageReportRecorder reports;
  struct Case {
    int32_t mWidth, mHeight;
    bool mAccepted;
  };
  const Case cases[] = {{8192, 1, true},  {1, 8192, true},  {8193, 1, false}, {1, 8193, false},
                        {0, 5, false},    {5, 0, false},    {-3, 5, false},   {5, -1, false}};
  for (const Case& c : cases) {
    reports.Clear();
    uint8_t* block = AllocPixelBuffer(nullptr, c.mWidth, c.mHeight, "x.bmp");
    EXPECT_EQ(block != nullptr, c.mAccepted) << c.mWidth << "x" << c.mHeight;
    if (block != nullptr) {
      size_t bytes = PixelBlockBytes(c.mWidth, c.mHeight);
      EXPECT_EQ(bytes, static_cast<size_t>(c.mWidth) * 4 * (c.mHeight + 1) + 4);
      for (size_t i = 0; i < bytes; ++i) ASSERT_EQ(block[i], 0) << i;
      std::free(block);
      EXPECT_FALSE(reports.Quit());
    } else {
      ASSERT_EQ(reports.Boxes().size(), 1u);
      EXPECT_EQ(reports.Boxes()[0].mCaption, "");
      EXPECT_EQ(reports.Boxes()[0].mText, "ＣＧサイズが大きすぎます。X=" + std::to_string(c.mWidth) +
                                              ", Y=" + std::to_string(c.mHeight));
      EXPECT_EQ(reports.FirstId(), kMsgOutOfMemory.mNumber);
      EXPECT_TRUE(reports.Quit());
    }
  }
}

TEST(PixelBuffers, FailedAllocationKeepsTheOldBlockAndSizes) {
  ImageReportRecorder reports;
  ScopedLayerRecord record;
  ASSERT_EQ(InstallNewPixelBlock(record.get(), 2, 3, "a.png"), 0);
  uint8_t* old = record->mPixelAlloc;
  old[0] = 77;
  EXPECT_NE(InstallNewPixelBlock(record.get(), 9000, 3, "a.png"), 0);
  EXPECT_EQ(record->mPixelAlloc, old);
  EXPECT_EQ(record->mPixels, old);
  EXPECT_EQ(record->mWidth, 2);
  EXPECT_EQ(record->mHeight, 3);
  EXPECT_EQ(old[0], 77);
}

TEST(PixelBuffers, ReplaceTransparentPixelsTouchesOnlyAlphaZero) {
  ScopedLayerRecord record;
  ASSERT_EQ(InstallNewPixelBlock(record.get(), 3, 1, nullptr), 0);
  const uint32_t pixels[3] = {0x00123456u, 0x01123456u, 0xFF000000u};
  std::memcpy(record->mPixels, pixels, sizeof(pixels));
  ReplaceTransparentPixels(record.get());
  EXPECT_EQ(record.Pixel(0, 0), TRANSPARENT_COLOUR);
  EXPECT_EQ(record.Pixel(1, 0), 0x01123456u);
  EXPECT_EQ(record.Pixel(2, 0), 0xFF000000u);
}

TEST(PixelBuffers, SetPixelBufferInstallsAndFreesTheOldBlocks) {
  ScopedLayerRecord record;
  ASSERT_EQ(InstallNewPixelBlock(record.get(), 2, 2, nullptr), 0);
  record->mDerivedPixels = static_cast<uint8_t*>(AllocZeroed(PixelBlockBytes(2, 2)));
  record->mPixels = record->mDerivedPixels;
  record->mDerivedStamp = 42;
  uint8_t* block = AllocPixelBuffer(nullptr, 4, 5, nullptr);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(SetPixelBuffer(record.get(), block, 4, 5), 0);
  EXPECT_EQ(record->mPixelAlloc, block);
  EXPECT_EQ(record->mPixels, block);
  EXPECT_EQ(record->mDerivedPixels, nullptr);
  EXPECT_EQ(record->mDerivedStamp, 0);
  EXPECT_EQ(record->mWidth, 4);
  EXPECT_EQ(record->mBufferWidth, 4);
  EXPECT_EQ(record->mHeight, 5);
  EXPECT_EQ(record->mBufferHeight, 5);
}

TEST(PixelBuffers, MemoryBmpLayout) {
  InitPixelPrimitives();
  size_t total = 0;
  uint8_t* file = BuildMemoryBmp(2, 1, 0xFF000000u, &total);
  ASSERT_NE(file, nullptr);
  const uint8_t expected[62] = {'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0,
                                0,   1,   0,  0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                0,   0,   0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF};
  EXPECT_EQ(total, 62u);
  EXPECT_EQ(0, std::memcmp(file, expected, 62));
  std::free(file);
  file = BuildMemoryBmp(3, 2, 0, &total);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(total, 54u + 24u);
  for (size_t i = 54; i < total; ++i) EXPECT_EQ(file[i], 0);
  std::free(file);
}

// Message 100030 names the layer command as the game's compiled command
// table spells it (slot 1), then the file.
TEST(PixelBuffers, TypesWithoutADecoderAreRefusedWithTheLayerCommandName) {
  ScriptTestEnvironment game;
  std::vector<CommandDecl> commands = StandardCommandTable();
  commands[1].mName = "cg_layer";
  game.Write(GameFile{"qvbin\\qvc.qbn", BuildCommandFile(commands)});
  // The recorder resets the engine: the command table is loaded after it.
  ImageReportRecorder reports;
  ASSERT_EQ(LoadCommandTable(), 0);
  for (int type : std::initializer_list<int>{FILE_TYPE_OTHER, FILE_TYPE_WAV, FILE_TYPE_OGG, 55}) {
    reports.Clear();
    ScopedLayerRecord record;
    EXPECT_EQ(DecodeBytesAs(record.get(), type, {1, 2, 3}, "voice.wav"), -1) << type;
    EXPECT_EQ(reports.FirstReport(), "E100030[cg_layer][voice.wav][]") << type;
    EXPECT_EQ(reports.LastReport(), reports.FirstReport()) << type;
    EXPECT_TRUE(reports.Quit());
  }
}

// The kinds whose decoders are not built yet refuse their files the same way.
TEST(PixelBuffers, KindsWithoutADecoderAreRefusedWithTheLayerCommandName) {
  ScriptTestEnvironment game;
  std::vector<CommandDecl> commands = StandardCommandTable();
  commands[1].mName = "cg_layer";
  game.Write(GameFile{"qvbin\\qvc.qbn", BuildCommandFile(commands)});
  // The recorder resets the engine: the command table is loaded after it.
  ImageReportRecorder reports;
  ASSERT_EQ(LoadCommandTable(), 0);
  for (int type : std::initializer_list<int>{FILE_TYPE_OTHER, FILE_TYPE_WAV, FILE_TYPE_OGG, 11}) {
    reports.Clear();
    ScopedLayerRecord record;
    EXPECT_EQ(DecodeBytesAs(record.get(), type, {1, 2, 3}, "pic.dat"), -1) << type;
    EXPECT_EQ(reports.FirstReport(), "E100030[cg_layer][pic.dat][]") << type;
    EXPECT_TRUE(reports.Quit());
  }
}

TEST(PixelBuffers, SuccessfulLoadEndsTheSameWayForEveryDecoder) {
  ImageReportRecorder reports;
  ScopedLayerRecord record;
  record->mDerivedPixels = static_cast<uint8_t*>(AllocZeroed(64));
  record->mBufferWidth = 99;
  BmpFixture bmp;
  bmp.mWidth = 2;
  bmp.mHeight = 1;
  bmp.mBits = 32;
  bmp.mPixels = {0x00FF0000u, 0x80FF0000u};
  ASSERT_EQ(DecodeBytesAs(record.get(), FILE_TYPE_BMP, WriteBmp(bmp)), 0);
  EXPECT_EQ(record->mBufferWidth, 2);
  EXPECT_EQ(record->mBufferHeight, 1);
  EXPECT_EQ(record->mDerivedPixels, nullptr);
  EXPECT_EQ(record->mPixels, record->mPixelAlloc);
  EXPECT_EQ(record.Pixel(0, 0), TRANSPARENT_COLOUR);
  EXPECT_EQ(record.Pixel(1, 0), 0x80FF0000u);
  EXPECT_EQ(reports.LastReport(), "");
}

TEST(PixelBuffers, LoadImageFileFindsTheFileThroughTheMediaLookup) {
  ImageReportRecorder reports;
  TempFolder folder;
  BmpFixture bmp;
  bmp.mWidth = 1;
  bmp.mHeight = 1;
  bmp.mPixels = {0x00336699u};
  WriteBytes(folder, "face.bmp", WriteBmp(bmp));
  ResourceLocation probe;
  char resolved[kResolvedNameBytes];
  char name[] = "face.bmp";
  ASSERT_EQ(FindMediaFile(&probe, resolved, name, 0), 0);
  ASSERT_EQ(probe.mType, FILE_TYPE_BMP);
  ScopedLayerRecord record;
  ASSERT_EQ(LoadImageFile(record.get(), "face.bmp"), 0);
  EXPECT_EQ(record.Pixel(0, 0), 0xFF336699u);
}

TEST(RuntimeRandom, SeededSequenceIsReproducible) {
  SeedRuntimeRandom(1);
  const int expected[5] = {41, 18467, 6334, 26500, 19169};
  for (int value : expected) EXPECT_EQ(RuntimeRandom(), value);
  SeedRuntimeRandom(12345);
  int first = RuntimeRandom();
  SeedRuntimeRandom(12345);
  EXPECT_EQ(RuntimeRandom(), first);
  for (int i = 0; i < 1000; ++i) {
    int value = RuntimeRandom();
    ASSERT_GE(value, 0);
    ASSERT_LE(value, kRuntimeRandomMax);
  }
}

}  // namespace
