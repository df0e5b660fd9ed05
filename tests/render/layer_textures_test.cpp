#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/settings.h"
#include "image/pixel_buffers.h"
#include "layer/layer_record.h"
#include "movie/emote.h"
#include "platform/gpu_device.h"
#include "render/direct3d.h"
#include "render/layer_textures.h"
#include "support/gpu_fixture.h"

namespace {

// A pixel that tells where it came from.
uint32_t Pattern(int x, int y) { return 0xFF000000u | static_cast<uint32_t>(y) << 12 | static_cast<uint32_t>(x); }

class LayerTexturesTest : public GpuFixture {
 protected:
  void SetUp() override {
    GpuFixture::SetUp();
    ASSERT_EQ(CreateObjectTrees(), 0);
    mW0 = FindChildByName(g_LayerRoot, "W0", 2);
    ASSERT_NE(mW0, nullptr);
  }

  // A layer under W0 with an image of width x height filled by the pattern
  // (or with no pixels for width 0).
  LayerRecord* AddLayer(const char* name, int width, int height, uint32_t colour = 0) {
    ObjectTreeNode* node = CreateTreeNode(mW0, name, ++mOrder, 0);
    EXPECT_NE(node, nullptr);
    LayerRecord* record = GetLayerRecord(node);
    EXPECT_NE(record, nullptr);
    if (record == nullptr || width <= 0) return record;
    EXPECT_EQ(InstallNewPixelBlock(record, width, height, name), 0);
    record->mBufferWidth = width;
    record->mBufferHeight = height;
    auto* pixels = reinterpret_cast<uint32_t*>(record->mPixels);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) pixels[y * width + x] = colour != 0 ? colour : Pattern(x, y);
    }
    return record;
  }

  static std::vector<int> Widths(const LayerRecord* record) {
    return std::vector<int>(record->mTileWidths, record->mTileWidths + record->mTileCountX);
  }
  static std::vector<int> Heights(const LayerRecord* record) {
    return std::vector<int>(record->mTileHeights, record->mTileHeights + record->mTileCountY);
  }
  static int TileCount(const LayerRecord* record) {
    int count = 0;
    for (GpuTexture* texture : record->mTileTextures) count += texture != nullptr;
    return count;
  }

  ObjectTreeNode* mW0 = nullptr;
  int64_t mOrder = 0;
};

TEST_F(LayerTexturesTest, NarrowImageGetsOneWideColumnAndPaddedTiles) {
  LayerRecord* record = AddLayer("a", 300, 300);
  ASSERT_EQ(UploadLayerTexture(record, 0, 512, 256), 0);
  EXPECT_EQ(Widths(record), (std::vector<int>{512}));
  EXPECT_EQ(Heights(record), (std::vector<int>{256, 64}));
  ASSERT_EQ(TileCount(record), 2);
  EXPECT_EQ(record->mTileLimitX, 512);
  EXPECT_EQ(record->mTileLimitY, 256);
  EXPECT_EQ(record->mCentreX, 150);
  EXPECT_EQ(record->mCentreY, 150);
  EXPECT_EQ(g_TileUpload.mWidth, 0);
  EXPECT_EQ(g_TileUpload.mCentreX, 0.0f);

  std::vector<uint32_t> top = ReadGpuTexturePixels(record->mTileTextures[0]);
  std::vector<uint32_t> bottom = ReadGpuTexturePixels(record->mTileTextures[1]);
  ASSERT_EQ(top.size(), 512u * 256u);
  ASSERT_EQ(bottom.size(), 512u * 64u);
  EXPECT_EQ(top[0], Pattern(0, 0));
  EXPECT_EQ(top[299], Pattern(299, 0));
  EXPECT_EQ(top[255 * 512 + 17], Pattern(17, 255));
  EXPECT_EQ(bottom[43 * 512 + 299], Pattern(299, 299));
  EXPECT_EQ(bottom[0], Pattern(0, 256));
  // Columns 300..511 and rows 300..319 carry the pad colour.
  for (int y = 0; y < 256; ++y) {
    for (int x = 300; x < 512; ++x) ASSERT_EQ(top[y * 512 + x], 0u) << x << "," << y;
  }
  for (int y = 44; y < 64; ++y) {
    for (int x = 0; x < 512; ++x) ASSERT_EQ(bottom[y * 512 + x], 0u) << x << "," << y;
  }
}

struct AxisCase {
  const char* name;
  int width, height;
  int limitX, limitY;
  int deviceMax;  // 0: the device's own
  std::vector<int> widths, heights;
};

const AxisCase kAxisCases[] = {
    // The 88 pixels past 512 take the smallest side that holds them.
    {"SixHundredWide", 600, 40, 512, 256, 0, {512, 128}, {64}},
    {"ExactPowers", 1024, 512, 512, 256, 0, {512, 512}, {256, 256}},
    {"SmallestSideSixteen", 520, 5, 512, 256, 0, {512, 16}, {16}},
    // A layer limit lowers the configured one.
    {"LayerLimits", 600, 100, 128, 64, 0, {128, 128, 128, 128, 128}, {64, 64}},
    // With a device maximum of 256 the narrow-image rule stays within it.
    {"NarrowWithinDeviceMaximum", 300, 40, 512, 256, 256, {256, 64}, {64}},
    {"WideWithDeviceMaximum", 700, 300, 512, 256, 256, {256, 256, 256}, {256, 64}},
};

class LayerTextureAxisTest : public LayerTexturesTest, public testing::WithParamInterface<AxisCase> {};

TEST_P(LayerTextureAxisTest, TileSidesFollowTheTableAndTheLimits) {
  const AxisCase& c = GetParam();
  if (c.deviceMax > 0) {
    g_GpuDeviceFaults.maxTextureSide = c.deviceMax;
    g_MaxTextureWidth = g_MaxTextureHeight = c.deviceMax;
  }
  LayerRecord* record = AddLayer("a", c.width, c.height);
  ASSERT_EQ(UploadLayerTexture(record, 0, c.limitX, c.limitY), 0);
  EXPECT_EQ(Widths(record), c.widths);
  EXPECT_EQ(Heights(record), c.heights);
  EXPECT_EQ(TileCount(record), static_cast<int>(c.widths.size() * c.heights.size()));
  for (int r = 0; r < record->mTileCountY; ++r) {
    for (int col = 0; col < record->mTileCountX; ++col) {
      GpuTexture* tile = record->mTileTextures[r * record->mTileCountX + col];
      ASSERT_NE(tile, nullptr);
      EXPECT_EQ(GpuTextureWidth(tile), c.widths[col]);
      EXPECT_EQ(GpuTextureHeight(tile), c.heights[r]);
    }
  }
  EXPECT_TRUE(mDialogs.mBoxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Axes, LayerTextureAxisTest, testing::ValuesIn(kAxisCases),
                         [](const testing::TestParamInfo<AxisCase>& info) { return std::string(info.param.name); });

TEST_F(LayerTexturesTest, SeveralTilesHoldTheirPartOfTheImage) {
  LayerRecord* record = AddLayer("a", 600, 300);
  ASSERT_EQ(UploadLayerTexture(record, 0, 512, 256), 0);
  ASSERT_EQ(record->mTileCountX, 2);
  ASSERT_EQ(record->mTileCountY, 2);
  // Tile (column 1, row 1) starts at (512, 256) and is 128 x 64.
  std::vector<uint32_t> tile = ReadGpuTexturePixels(record->mTileTextures[1 * 2 + 1]);
  ASSERT_EQ(tile.size(), 128u * 64u);
  EXPECT_EQ(tile[0], Pattern(512, 256));
  EXPECT_EQ(tile[43 * 128 + 87], Pattern(599, 299));
  EXPECT_EQ(tile[43 * 128 + 88], 0u);
  EXPECT_EQ(tile[44 * 128], 0u);
  std::vector<uint32_t> right = ReadGpuTexturePixels(record->mTileTextures[1]);
  EXPECT_EQ(right[255 * 128 + 10], Pattern(522, 255));
  EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, 4 + 4);  // the device's four and the tiles
}

TEST_F(LayerTexturesTest, OddWidthStoresTheTruncatedCentre) {
  LayerRecord* record = AddLayer("a", 101, 33);
  ASSERT_EQ(UploadLayerTexture(record, 0, 512, 256), 0);
  EXPECT_EQ(record->mCentreX, 50);
  EXPECT_EQ(record->mCentreY, 16);
  EXPECT_EQ(record->mWidth, 101);
  EXPECT_EQ(record->mBufferWidth, 101);
  EXPECT_EQ(record->mHeight, 33);
}

TEST_F(LayerTexturesTest, RowOverflowReportsTheSizesAndWhatIsLeft) {
  // The layout fails before any pixel is read: no 8192 x 7937 block is needed.
  LayerRecord* record = AddLayer("a", 0, 0);
  uint32_t pixel = 0;
  record->mPixels = reinterpret_cast<uint8_t*>(&pixel);
  record->mWidth = 8192;
  record->mHeight = 7937;
  int before = g_GpuDeviceCounts.texturesAlive;
  EXPECT_EQ(UploadLayerTexture(record, 0, 512, 256), -1);
  record->mPixels = nullptr;
  EXPECT_EQ(record->mTileCountY, 32);
  EXPECT_EQ(TileCount(record), 0);
  EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, before);
  ASSERT_EQ(mDialogs.mBoxes.size(), 1u);
  EXPECT_EQ(mDialogs.mBoxes[0].mText, "TYNUM Overflow Error. SX = 8192, SY = 7937, mRest = -15");
}

TEST_F(LayerTexturesTest, ColumnOverflowIsRefused) {
  LayerRecord* record = AddLayer("a", 993, 4);
  EXPECT_EQ(UploadLayerTexture(record, 0, 32, 256), -1);  // a 32nd column of 32 for the last pixel
  EXPECT_EQ(record->mTileCountX, 32);
  EXPECT_EQ(TileCount(record), 0);
  ASSERT_EQ(mDialogs.mBoxes.size(), 1u);
  EXPECT_EQ(mDialogs.mBoxes[0].mText, "TXNUM Overflow Error.");
  // 31 columns still fit.
  LayerRecord* fits = AddLayer("b", 992, 4);
  ASSERT_EQ(UploadLayerTexture(fits, 0, 32, 256), 0);
  EXPECT_EQ(fits->mTileCountX, 31);
  EXPECT_EQ(TileCount(fits), 31);
}

TEST_F(LayerTexturesTest, MoreThanTheTableHoldsIsRefusedBeforeAnyTexture) {
  // 16 columns of 32 and 17 rows of 16: 272 tiles for a table of 256.
  LayerRecord* record = AddLayer("a", 512, 272);
  int before = g_GpuDeviceCounts.texturesAlive;
  EXPECT_EQ(UploadLayerTexture(record, 0, 32, 16), -1);
  EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, before);
  EXPECT_EQ(TileCount(record), 0);
  EXPECT_EQ(mDialogs.mBoxes.size(), 1u);
  // 16 x 16 fills the table exactly.
  LayerRecord* full = AddLayer("b", 512, 256);
  ASSERT_EQ(UploadLayerTexture(full, 0, 32, 16), 0);
  EXPECT_EQ(TileCount(full), 256);
  std::vector<uint32_t> last = ReadGpuTexturePixels(full->mTileTextures[255]);
  ASSERT_EQ(last.size(), 32u * 16u);
  EXPECT_EQ(last[15 * 32 + 31], Pattern(511, 255));
}

TEST_F(LayerTexturesTest, EmoteLayerGetsOneRenderTargetTileOfTheWindowSize) {
  g_EmoteEnabled = 1;
  LayerRecord* record = AddLayer("a", 300, 20);
  record->mGpuState = 2;
  ASSERT_EQ(UploadLayerTexture(record, 0, 512, 256), 0);
  EXPECT_EQ(record->mTileCountX, 1);
  EXPECT_EQ(record->mTileCountY, 1);
  EXPECT_EQ(Widths(record), (std::vector<int>{64}));
  EXPECT_EQ(Heights(record), (std::vector<int>{48}));
  ASSERT_EQ(TileCount(record), 1);
  EXPECT_EQ(GpuTextureWidth(record->mTileTextures[0]), 64);
  EXPECT_EQ(GpuTextureHeight(record->mTileTextures[0]), 48);
  // The model is drawn into it: it must be a render target.
  EXPECT_TRUE(SetGpuRenderTarget(g_pD3DDevice, record->mTileTextures[0]));
  SetGpuRenderTarget(g_pD3DDevice, g_pBackBufferSurface);
  // Without E-mote the same record is tiled as an image.
  g_EmoteEnabled = 0;
  ASSERT_EQ(UploadLayerTexture(record, 0, 512, 256), 0);
  EXPECT_EQ(Widths(record), (std::vector<int>{512}));
  EXPECT_EQ(Heights(record), (std::vector<int>{32}));
}

TEST_F(LayerTexturesTest, FailedTextureKeepsTheTilesMadeSoFar) {
  LayerRecord* record = AddLayer("a", 600, 40);
  g_GpuDeviceFaults.failTextureAfter = 1;
  EXPECT_EQ(UploadLayerTexture(record, 0, 512, 256), -1);
  EXPECT_EQ(TileCount(record), 1);
  EXPECT_NE(record->mTileTextures[0], nullptr);
  ASSERT_EQ(mDialogs.mBoxes.size(), 1u);
  EXPECT_EQ(mDialogs.mBoxes[0].mText.rfind("テクスチャを生成できませんでした。\r\nVRAM容量不足の可能性があります。", 0), 0u);
  g_GpuDeviceFaults.failTextureAfter = -1;
  ReleaseLayerTextures(record);
  EXPECT_EQ(TileCount(record), 0);
  EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, 4);
}

TEST_F(LayerTexturesTest, RebuildReleasesTheOldTiles) {
  LayerRecord* record = AddLayer("a", 600, 300);
  ASSERT_EQ(UploadLayerTexture(record, 0, 512, 256), 0);
  ASSERT_EQ(UploadLayerTexture(record, 0, 512, 256), 0);
  EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, 4 + 4);
}

TEST_F(LayerTexturesTest, StagingBufferGrowsForLargeTilesAndIsKept) {
  g_TileLimitWidth = 0;
  g_TileLimitHeight = 0;
  LayerRecord* record = AddLayer("a", 1100, 600);
  ASSERT_EQ(UploadLayerTexture(record, 0, 0, 0), 0);
  EXPECT_EQ(Widths(record), (std::vector<int>{2048}));
  EXPECT_EQ(Heights(record), (std::vector<int>{1024}));
  EXPECT_EQ(g_TileStagingSize, 2048u * 1024u * 4u);
  LayerRecord* small = AddLayer("b", 20, 20);
  ASSERT_EQ(UploadLayerTexture(small, 0, 0, 0), 0);
  EXPECT_EQ(g_TileStagingSize, 2048u * 1024u * 4u);  // never shrunk
  std::vector<uint32_t> tile = ReadGpuTexturePixels(record->mTileTextures[0]);
  EXPECT_EQ(tile[599 * 2048 + 1099], Pattern(1099, 599));
}

TEST_F(LayerTexturesTest, WritingIntoExistingTilesKeepsTheTextures) {
  LayerRecord* target = AddLayer("a", 600, 40);
  LayerRecord* source = AddLayer("b", 600, 40, 0xFF112233);
  ASSERT_EQ(UploadLayerTexture(target, 0, 512, 256), 0);
  GpuTexture* first = target->mTileTextures[0];
  g_TileUpload.mWidth = target->mWidth;
  g_TileUpload.mHeight = target->mHeight;
  g_TileUpload.mCentreX = static_cast<float>(target->mCentreX);
  g_TileUpload.mCentreY = static_cast<float>(target->mCentreY);
  g_TileUpload.mTileLimitX = target->mTileLimitX;
  g_TileUpload.mTileLimitY = target->mTileLimitY;
  g_TileUpload.mPixelRecord = source;
  g_TileUpload.mTileRecord = target;
  ASSERT_EQ(BuildLayerTextureTiles(1), 0);
  EXPECT_EQ(target->mTileTextures[0], first);
  EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, 4 + 2);
  std::vector<uint32_t> tile = ReadGpuTexturePixels(target->mTileTextures[1]);
  EXPECT_EQ(tile[0], 0xFF112233u);
  EXPECT_EQ(tile[39 * 128 + 87], 0xFF112233u);
  EXPECT_EQ(tile[39 * 128 + 88], 0u);

  // A record without tiles has nothing to write into.
  LayerRecord* bare = AddLayer("c", 600, 40);
  g_TileUpload.mWidth = 600;
  g_TileUpload.mHeight = 40;
  g_TileUpload.mPixelRecord = source;
  g_TileUpload.mTileRecord = bare;
  EXPECT_EQ(BuildLayerTextureTiles(1), -1);
  EXPECT_EQ(TileCount(bare), 0);

  // A source smaller than the tiles it would fill is refused, not read past.
  LayerRecord* narrow = AddLayer("d", 300, 40, 0xFF445566);
  g_TileUpload.mWidth = 600;
  g_TileUpload.mHeight = 40;
  g_TileUpload.mPixelRecord = narrow;
  g_TileUpload.mTileRecord = target;
  EXPECT_EQ(BuildLayerTextureTiles(1), -1);
  EXPECT_EQ(ReadGpuTexturePixels(target->mTileTextures[1])[0], 0xFF112233u);
}

TEST_F(LayerTexturesTest, SixteenBitTilesWhenConfigured) {
  g_Use16BitTextures = 1;
  g_TextureFormat = kTextureFormat16;
  LayerRecord* record = AddLayer("a", 40, 40, 0xFF8040C0);
  ASSERT_EQ(UploadLayerTexture(record, 0, 512, 256), 0);
  ASSERT_NE(record->mTileTextures[0], nullptr);
  EXPECT_EQ(GpuTextureFormat(record->mTileTextures[0]), GpuFormat::kArgb4444);
  EXPECT_EQ(ReadGpuTexturePixels(record->mTileTextures[0])[0], 0xFF8844BBu);
}

TEST_F(LayerTexturesTest, ResetUploadsEveryTexturedLayerAgain) {
  LayerRecord* a = AddLayer("a", 300, 300);
  LayerRecord* plain = AddLayer("plain", 10, 10);  // no tiles asked for
  ObjectTreeNode* group = CreateTreeNode(mW0, "g", ++mOrder, 1);
  ASSERT_NE(group, nullptr);
  LayerRecord* groupRecord = GetLayerRecord(group);
  ASSERT_EQ(InstallNewPixelBlock(groupRecord, 8, 8, "g"), 0);
  ObjectTreeNode* inner = CreateTreeNode(group, "i", 1, 0);
  LayerRecord* innerRecord = GetLayerRecord(inner);
  ASSERT_EQ(InstallNewPixelBlock(innerRecord, 30, 30, "i"), 0);
  innerRecord->mBufferWidth = innerRecord->mBufferHeight = 30;
  for (LayerRecord* record : {a, innerRecord}) {
    record->mGpuState = 1;
    ASSERT_EQ(UploadLayerTexture(record, 0, 128, 64), 0);
  }
  ASSERT_EQ(ResetDirect3DDevice(), 0);
  EXPECT_EQ(Widths(a), (std::vector<int>{512}));  // the layer's stored limits: 128 is below the narrow rule
  EXPECT_EQ(Heights(a), (std::vector<int>{64, 64, 64, 64, 64}));
  EXPECT_EQ(TileCount(a), 5);
  EXPECT_EQ(TileCount(innerRecord), 1);
  EXPECT_EQ(TileCount(plain), 0);
  EXPECT_EQ(ReadGpuTexturePixels(a->mTileTextures[4])[43 * 512 + 299], Pattern(299, 299));
  EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, 4 + 6);
}

TEST_F(LayerTexturesTest, ResetGoesOnAfterAFailedUploadAndReportsIt) {
  // The first textured layer cannot be tiled (272 tiles), the second can.
  LayerRecord* broken = AddLayer("a", 512, 272);
  LayerRecord* good = AddLayer("b", 40, 40);
  broken->mGpuState = 1;
  broken->mTileLimitX = 32;
  broken->mTileLimitY = 16;
  good->mGpuState = 1;
  good->mTileLimitX = 512;
  good->mTileLimitY = 256;
  EXPECT_EQ(ResetDirect3DDevice(), -1);
  EXPECT_EQ(g_GpuDrawing, 1);  // the device itself is back
  EXPECT_NE(g_pD3DDevice, nullptr);
  EXPECT_EQ(TileCount(broken), 0);
  EXPECT_EQ(TileCount(good), 1);
}

TEST_F(LayerTexturesTest, ReleaseOfTheDeviceReleasesLayerTiles) {
  LayerRecord* record = AddLayer("a", 600, 40);
  record->mGpuState = 1;
  ASSERT_EQ(UploadLayerTexture(record, 0, 512, 256), 0);
  ReleaseGpuTextures();
  EXPECT_EQ(TileCount(record), 0);
  EXPECT_EQ(g_pWhiteTexture, nullptr);
  EXPECT_EQ(g_GpuDeviceCounts.texturesAlive, 2);  // Render and GetSS
}

}  // namespace

namespace {

TEST_F(LayerTexturesTest, GroupWalkReleasesNestedTilesAndStopsAtATexturedLayerWithoutPixels) {
  EXPECT_EQ(ForEachGroupTexture(nullptr, 1), 0);
  ObjectTreeNode* group = CreateTreeNode(mW0, "g", ++mOrder, 1);
  ASSERT_NE(group, nullptr);
  LayerRecord* groupRecord = GetLayerRecord(group);
  ObjectTreeNode* innerNode = CreateTreeNode(group, "i", 1, 0);
  LayerRecord* inner = GetLayerRecord(innerNode);
  ASSERT_EQ(InstallNewPixelBlock(inner, 20, 20, "i"), 0);
  inner->mGpuState = 1;
  ASSERT_EQ(UploadLayerTexture(inner, 0, 512, 256), 0);
  // A group without pixels is not walked.
  EXPECT_EQ(ForEachGroupTexture(group, 1), 0);
  EXPECT_EQ(TileCount(inner), 1);
  ASSERT_EQ(InstallNewPixelBlock(groupRecord, 4, 4, "g"), 0);
  EXPECT_EQ(ForEachGroupTexture(group, 1), 0);
  EXPECT_EQ(TileCount(inner), 0);

  // From W0: a textured layer without pixels ends the walk; what follows it
  // keeps its tiles.
  LayerRecord* empty = AddLayer("e", 0, 0);
  empty->mGpuState = 1;
  LayerRecord* after = AddLayer("z", 20, 20);
  after->mGpuState = 1;
  ASSERT_EQ(UploadLayerTexture(after, 0, 512, 256), 0);
  ASSERT_EQ(UploadLayerTexture(inner, 0, 512, 256), 0);
  EXPECT_EQ(ForEachGroupTexture(mW0, 1), 0);
  EXPECT_EQ(TileCount(inner), 0);  // the group comes before the empty layer
  EXPECT_EQ(TileCount(after), 1);
}

TEST_F(LayerTexturesTest, ImageLayerWithoutPixelsIsRefused) {
  LayerRecord* record = AddLayer("a", 0, 0);
  record->mWidth = 40;
  record->mHeight = 40;
  EXPECT_EQ(UploadLayerTexture(record, 0, 512, 256), -1);
  EXPECT_EQ(TileCount(record), 0);
}

}  // namespace
