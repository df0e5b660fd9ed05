#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <webp/decode.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "core/process_state.h"
#include "datasrc/resource_lookup.h"
#include "image/image_writers.h"
#include "image/pixel_buffers.h"
#include "image/webp_codec.h"
#include "support/image_test_env.h"
#include "support/temp_folder.h"

namespace {

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  int c;
  while ((c = std::fgetc(file)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
  std::fclose(file);
  return bytes;
}

bool FileExists(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

class ImageWriters : public ::testing::Test {
 protected:
  void SetUp() override { LoadWebpCodec(); }

  // A layer of random pixels (alpha random too).
  void Fill(int width, int height, uint8_t hasAlpha) {
    uint8_t* block = AllocPixelBuffer(nullptr, width, height, nullptr);
    ASSERT_NE(block, nullptr);
    SetPixelBuffer(mLayer.get(), block, width, height);
    mLayer->mHasAlpha = hasAlpha;
    std::mt19937 random(static_cast<uint32_t>(width * 1000 + height));
    for (int i = 0; i < width * height * 4; ++i) block[i] = static_cast<uint8_t>(random());
  }
  std::vector<uint8_t> Pixels() const {
    const LayerRecord& r = mLayer.mRecord;
    return std::vector<uint8_t>(r.mPixels, r.mPixels + static_cast<size_t>(r.mWidth) * r.mHeight * 4);
  }
  std::string Path(const std::string& name) const { return mFolder.Path() + "/" + name; }

  ImageReportRecorder mReports;
  TempFolder mFolder;
  ScopedLayerRecord mLayer;
};

TEST_F(ImageWriters, BmpIsBottomUpTwentyFourBitWithZeroPadding) {
  Fill(3, 2, 1);
  std::vector<uint8_t> source = Pixels();
  ASSERT_EQ(SaveBMP(mLayer.get(), Path("out.bmp").c_str()), 0);
  std::vector<uint8_t> file = FileBytes(Path("out.bmp"));
  ASSERT_EQ(file.size(), 78u);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(LoadLe32(&file[2]), 78u);
  EXPECT_EQ(LoadLe32(&file[10]), 54u);
  EXPECT_EQ(LoadLe32(&file[14]), 40u);
  EXPECT_EQ(static_cast<int32_t>(LoadLe32(&file[18])), 3);
  EXPECT_EQ(static_cast<int32_t>(LoadLe32(&file[22])), 2);
  EXPECT_EQ(LoadLe16(&file[26]), 1);
  EXPECT_EQ(LoadLe16(&file[28]), 24);
  for (size_t at = 30; at < 54; ++at) EXPECT_EQ(file[at], 0) << at;
  for (int stored = 0; stored < 2; ++stored) {
    const uint8_t* row = &file[54 + stored * 12];
    int y = 1 - stored;  // the bottom image row first
    for (int x = 0; x < 3; ++x) {
      for (int b = 0; b < 3; ++b) EXPECT_EQ(row[x * 3 + b], source[(y * 3 + x) * 4 + b]);
    }
    EXPECT_EQ(row[9] | row[10] | row[11], 0);
  }

  // The project's own BMP decoder reads it back.
  ScopedLayerRecord back;
  ASSERT_EQ(DecodeBytesAs(back.get(), FILE_TYPE_BMP, file, "out.bmp"), 0);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      uint32_t pixel;
      std::memcpy(&pixel, &source[(y * 3 + x) * 4], 4);
      EXPECT_EQ(back.Pixel(x, y) & 0xFFFFFF, pixel & 0xFFFFFF);
    }
  }
}

// Reads a PNG with libpng: B, G, R, A pixels, and its gAMA (0 when none).
struct PngInput {
  std::vector<uint8_t> mBytes;
  size_t mAt = 0;
};
void ReadPngBytes(png_structp png, png_bytep out, size_t length) {
  auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
  if (length > input->mBytes.size() - input->mAt) png_error(png, "short");
  std::memcpy(out, input->mBytes.data() + input->mAt, length);
  input->mAt += length;
}
std::vector<uint8_t> ReadPng(const std::string& path, int* width, int* height, double* gamma, int* colourType) {
  PngInput input{FileBytes(path), 0};
  std::vector<uint8_t> pixels;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    return {};
  }
  png_set_read_fn(png, &input, ReadPngBytes);
  png_read_info(png, info);
  *width = static_cast<int>(png_get_image_width(png, info));
  *height = static_cast<int>(png_get_image_height(png, info));
  *colourType = png_get_color_type(png, info);
  *gamma = 0;
  png_get_gAMA(png, info, gamma);
  png_set_bgr(png);
  png_read_update_info(png, info);
  pixels.resize(static_cast<size_t>(*width) * *height * 4);
  for (int y = 0; y < *height; ++y) png_read_row(png, &pixels[static_cast<size_t>(y) * *width * 4], nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return pixels;
}

TEST_F(ImageWriters, PngKeepsAlphaOrMakesTheLayerOpaqueAndCarriesItsGamma) {
  for (uint8_t hasAlpha : {1, 0}) {
    SCOPED_TRACE(hasAlpha);
    Fill(7, 5, hasAlpha);
    std::vector<uint8_t> expected = Pixels();
    if (hasAlpha == 0) {
      for (size_t i = 3; i < expected.size(); i += 4) expected[i] = 255;
    }
    ASSERT_EQ(SavePNG(mLayer.get(), Path("out.png").c_str(), 5), 0);
    int width = 0, height = 0, colourType = 0;
    double gamma = 0;
    EXPECT_EQ(ReadPng(Path("out.png"), &width, &height, &gamma, &colourType), expected);
    EXPECT_EQ(width, 7);
    EXPECT_EQ(height, 5);
    EXPECT_EQ(colourType, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_NEAR(gamma, 1 / 2.2, 1e-5);
    // The layer keeps the alpha it was saved with.
    EXPECT_EQ(Pixels(), expected);
  }
}

TEST_F(ImageWriters, PngFromTheWriterLoadsBackUnchanged) {
  Fill(6, 3, 1);
  for (size_t i = 3; i < 6 * 3 * 4; i += 4) mLayer->mPixels[i] |= 1;  // no alpha 0
  std::vector<uint8_t> source = Pixels();
  ASSERT_EQ(SavePNG(mLayer.get(), Path("out.png").c_str(), 9), 0);
  ScopedLayerRecord back;
  ASSERT_EQ(DecodeBytesAs(back.get(), FILE_TYPE_PNG, FileBytes(Path("out.png")), "out.png"), 0);
  EXPECT_EQ(0, std::memcmp(back->mPixels, source.data(), source.size()));
}

TEST_F(ImageWriters, PngSaveDuringQuitReportsIt) {
  Fill(2, 2, 1);
  g_QuitFlag.store(1);
  EXPECT_EQ(SavePNG(mLayer.get(), Path("out.png").c_str(), 5), 1);
  g_QuitFlag.store(0);
  EXPECT_TRUE(FileExists(Path("out.png")));
}

// Reads a JPEG with libjpeg: its samples and component count.
std::vector<uint8_t> ReadJpeg(const std::vector<uint8_t>& bytes, int* width, int* height, int* components) {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  *components = info.num_components;
  jpeg_start_decompress(&info);
  *width = static_cast<int>(info.output_width);
  *height = static_cast<int>(info.output_height);
  std::vector<uint8_t> samples(static_cast<size_t>(*width) * *height * info.output_components);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = &samples[static_cast<size_t>(info.output_scanline) * *width * info.output_components];
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return samples;
}

TEST_F(ImageWriters, JpegHasThreeComponentsAndTheLayersColours) {
  // Smooth colours, so that quality 100 stays close to them.
  uint8_t* block = AllocPixelBuffer(nullptr, 16, 16, nullptr);
  ASSERT_NE(block, nullptr);
  SetPixelBuffer(mLayer.get(), block, 16, 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      uint8_t* p = block + (y * 16 + x) * 4;
      p[0] = static_cast<uint8_t>(40 + x * 4);  // B
      p[1] = static_cast<uint8_t>(200 - y * 3);  // G
      p[2] = static_cast<uint8_t>(120);           // R
      p[3] = 17;
    }
  }
  for (int quality : {100, 1}) {
    ASSERT_EQ(SaveJPEG(mLayer.get(), Path("out.jpg").c_str(), quality), 0);
    int width = 0, height = 0, components = 0;
    std::vector<uint8_t> samples = ReadJpeg(FileBytes(Path("out.jpg")), &width, &height, &components);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 16);
    EXPECT_EQ(components, 3);
    if (quality != 100) continue;
    for (int i = 0; i < 16 * 16; ++i) {
      EXPECT_NEAR(samples[i * 3], block[i * 4 + 2], 4) << i;      // R
      EXPECT_NEAR(samples[i * 3 + 1], block[i * 4 + 1], 4) << i;  // G
      EXPECT_NEAR(samples[i * 3 + 2], block[i * 4], 4) << i;      // B
    }
  }
}

TEST_F(ImageWriters, WebpLosslessAtOneHundredAndOneAndLossyBelow) {
  Fill(10, 6, 1);
  std::vector<uint8_t> source = Pixels();
  struct Case {
    int mQuality;
    int mFormat;  // WebPBitstreamFeatures::format: 1 lossy, 2 lossless
  };
  for (Case c : {Case{101, 2}, Case{90, 1}, Case{0, 1}}) {
    SCOPED_TRACE(c.mQuality);
    ASSERT_EQ(SaveWEBP(mLayer.get(), Path("out.webp").c_str(), c.mQuality), 0);
    std::vector<uint8_t> file = FileBytes(Path("out.webp"));
    WebPBitstreamFeatures features;
    ASSERT_EQ(WebPGetFeatures(file.data(), file.size(), &features), VP8_STATUS_OK);
    EXPECT_EQ(features.format, c.mFormat);
    EXPECT_EQ(features.width, 10);
    EXPECT_EQ(features.height, 6);
    EXPECT_TRUE(features.has_alpha);
    int width = 0, height = 0;
    uint8_t* decoded = WebPDecodeBGRA(file.data(), file.size(), &width, &height);
    ASSERT_NE(decoded, nullptr);
    if (c.mFormat == 2) {
      EXPECT_EQ(0, std::memcmp(decoded, source.data(), source.size()));
    }
    WebPFree(decoded);
  }
}

TEST(WebpWriterRoom, IsOnePointTwoTimesThePixelBytesAndAtLeastOneMebibyte) {
  struct Case {
    int32_t mWidth, mHeight;
    size_t mRoom;
  };
  for (Case c : {Case{100, 100, 1048576}, Case{1000, 1000, 4800000}, Case{1, 1, 1048576}, Case{467, 467, 1048576},
                 Case{468, 468, 1051315}, Case{8192, 8192, 322122547}}) {
    EXPECT_EQ(WebpEncodeRoom(c.mWidth, c.mHeight), c.mRoom) << c.mWidth << "x" << c.mHeight;
  }
}

// A level or quality outside the range writes the same file as its nearest
// end.
TEST_F(ImageWriters, LevelsAndQualitiesAreClamped) {
  Fill(12, 9, 1);
  struct Case {
    const char* mName;
    std::function<int(const char*, int)> mSave;
    int mOutside, mEnd;
  };
  LayerRecord* layer = mLayer.get();
  const Case cases[] = {
      {"png below", [layer](const char* p, int v) { return SavePNG(layer, p, v); }, -4, 0},
      {"png above", [layer](const char* p, int v) { return SavePNG(layer, p, v); }, 30, 9},
      {"jpeg below", [layer](const char* p, int v) { return SaveJPEG(layer, p, v); }, -20, 1},
      {"jpeg zero", [layer](const char* p, int v) { return SaveJPEG(layer, p, v); }, 0, 1},
      {"jpeg above", [layer](const char* p, int v) { return SaveJPEG(layer, p, v); }, 250, 100},
      {"webp below", [layer](const char* p, int v) { return SaveWEBP(layer, p, v); }, -3, 0},
      {"webp above", [layer](const char* p, int v) { return SaveWEBP(layer, p, v); }, 500, 101},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mName);
    ASSERT_EQ(c.mSave(Path("a").c_str(), c.mOutside), 0);
    ASSERT_EQ(c.mSave(Path("b").c_str(), c.mEnd), 0);
    EXPECT_EQ(FileBytes(Path("a")), FileBytes(Path("b")));
    EXPECT_FALSE(FileBytes(Path("a")).empty());
  }
}

struct WriterCase {
  const char* mName;
  std::function<int(LayerRecord*, const char*)> mSave;
  int mFailure;       // the result when the library fails
  const char* mBox;   // the box when the file cannot be created
};

const WriterCase kWriters[] = {
    {"bmp", [](LayerRecord* r, const char* p) { return SaveBMP(r, p); }, -1, "File Create Error."},
    {"png", [](LayerRecord* r, const char* p) { return SavePNG(r, p, 5); }, -1,
     "[SavePNG] File Create Error.\r\n\r\n%s"},
    {"jpeg", [](LayerRecord* r, const char* p) { return SaveJPEG(r, p, 90); }, -2, "File Create Error."},
    {"webp", [](LayerRecord* r, const char* p) { return SaveWEBP(r, p, 90); }, -1,
     "[SaveWEBP] File Create Error.\r\n\r\n%s"},
};

TEST_F(ImageWriters, AFolderThatCannotBeWrittenFailsCleanly) {
  Fill(4, 4, 0);
  std::vector<uint8_t> before = Pixels();
  mFolder.WriteFile("plain", "not a folder");
  for (const WriterCase& c : kWriters) {
    SCOPED_TRACE(c.mName);
    mReports.Clear();
    // A path under a regular file can never be created.
    std::string path = Path("plain/out.img");
    EXPECT_EQ(c.mSave(mLayer.get(), path.c_str()), -1);
    ASSERT_EQ(mReports.Boxes().size(), 1u);
    std::string box = c.mBox;
    size_t at = box.find("%s");
    if (at != std::string::npos) box.replace(at, 2, path);
    EXPECT_EQ(mReports.Boxes()[0].mText, box);
    // The record is not changed (the PNG writer touches alpha only after
    // the file exists).
    EXPECT_EQ(Pixels(), before);
  }
}

TEST_F(ImageWriters, ALibraryFailureLeavesNoFileAndKeepsTheOldOne) {
  // Wider than PNG, JPEG and WebP allow: each library refuses it before it
  // reads a row.
  Fill(4, 1, 1);
  mLayer->mWidth = 2000000;
  for (const WriterCase& c : kWriters) {
    if (std::string(c.mName) == "bmp") continue;  // the BMP writer has no library
    SCOPED_TRACE(c.mName);
    mFolder.WriteFile("keep.img", "old");
    EXPECT_EQ(c.mSave(mLayer.get(), Path("keep.img").c_str()), c.mFailure);
    EXPECT_EQ(mFolder.ReadFile("keep.img"), "old");
    EXPECT_FALSE(mFolder.Exists("keep.img.part"));
  }
  mLayer->mWidth = 4;
}

TEST_F(ImageWriters, WebpWithoutTheCodecWritesNothing) {
  ReleaseWebpCodec();
  Fill(2, 2, 1);
  EXPECT_EQ(SaveWEBP(mLayer.get(), Path("out.webp").c_str(), 90), -1);
  EXPECT_FALSE(FileExists(Path("out.webp")));
  EXPECT_EQ(mReports.Boxes().size(), 1u);
}

}  // namespace
