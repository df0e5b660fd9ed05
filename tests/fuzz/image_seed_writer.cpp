// Writes a seed corpus for the image decoder fuzz target: small valid files of
// every decoder, each behind its type byte (0 BMP, 1 GIF, 2 PNG, 3 JPEG).
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/image_fixtures.h"

namespace {

void Write(const std::filesystem::path& folder, const std::string& name, uint8_t type, const std::vector<uint8_t>& file) {
  std::ofstream out(folder / name, std::ios::binary);
  out.put(static_cast<char>(type));
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 1;
  }
  std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  for (int bits : {1, 4, 8, 24, 32}) {
    BmpFixture bmp;
    bmp.mWidth = 5;
    bmp.mHeight = 3;
    bmp.mBits = bits;
    if (bits <= 8) {
      bmp.mPalette = {0x102030, 0x405060, 0x708090};
      bmp.mIndices.assign(15, 1);
    } else {
      bmp.mPixels.assign(15, 0x80A0B0C0u);
    }
    Write(folder, "bmp" + std::to_string(bits), 0, WriteBmp(bmp));
  }
  GifFixture gif;
  gif.mScreenWidth = 12;
  gif.mScreenHeight = 9;
  gif.mGlobalPalette = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
  gif.mLoopCount = 0;
  GifFixtureImage image;
  image.mWidth = 12;
  image.mHeight = 9;
  for (int i = 0; i < 108; ++i) image.mIndices.push_back(static_cast<uint8_t>((i * 7 / 5) % 4));
  image.mHasControl = true;
  image.mTransparent = true;
  image.mTransparentIndex = 2;
  gif.mImages.push_back(image);
  image.mInterlaced = true;
  image.mLeft = 2;
  image.mLocalPalette = {9, 9, 9, 200, 200, 200};
  image.mIndices.assign(108, 1);
  gif.mImages.push_back(image);
  Write(folder, "gif", 1, WriteGif(gif));
  for (int colourType : {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_PALETTE, PNG_COLOR_TYPE_RGB_ALPHA}) {
    for (bool interlaced : {false, true}) {
      PngFixture png;
      png.mWidth = 6;
      png.mHeight = 5;
      png.mColourType = colourType;
      png.mInterlaced = interlaced;
      png.mRows.assign(PngRowBytes(6, colourType, 8) * 5, 1);
      if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png.mPalette = {1, 2, 3, 4, 5, 6};
        png.mPaletteAlpha = {0};
      }
      png.mGamma = colourType == PNG_COLOR_TYPE_RGB ? 1.0 : 0;
      Write(folder, "png" + std::to_string(colourType) + (interlaced ? "i" : ""), 2, WritePng(png));
    }
  }
  for (int components : {1, 3}) {
    std::vector<uint8_t> samples(16 * 8 * components);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 11);
    Write(folder, "jpeg" + std::to_string(components), 3, WriteJpeg(16, 8, components, samples, 75));
    Write(folder, "jpegp" + std::to_string(components), 3, WriteJpeg(16, 8, components, samples, 75, true));
  }
  return 0;
}
