#include "support/qcg_builder.h"

#include <snappy-c.h>
#include <webp/encode.h>
#include <zlib.h>

#include <cstring>
#include <stdexcept>

#include "core/byte_order.h"

namespace {

std::vector<uint8_t> Deflate(const uint8_t* data, size_t size) {
  uLongf room = compressBound(static_cast<uLong>(size));
  std::vector<uint8_t> out(room);
  if (compress2(out.data(), &room, data, static_cast<uLong>(size), 6) != Z_OK) throw std::runtime_error("zlib");
  out.resize(room);
  return out;
}

std::vector<uint8_t> Snappy(const uint8_t* data, size_t size) {
  size_t room = snappy_max_compressed_length(size);
  std::vector<uint8_t> out(room);
  if (snappy_compress(reinterpret_cast<const char*>(data), size, reinterpret_cast<char*>(out.data()), &room) !=
      SNAPPY_OK) {
    throw std::runtime_error("snappy");
  }
  out.resize(room);
  return out;
}

std::vector<uint8_t> EncodeHalf(const QcgFixture& qcg, const uint8_t* data, size_t size, int rows) {
  switch (qcg.mMethod) {
    case kQcgZlib: return Deflate(data, size);
    case kQcgBlockCodec: return Snappy(data, size);
    case kQcgWebp: return EncodeWebpFixture(data, qcg.mWidth, rows, qcg.mWebpQuality);
    default: return std::vector<uint8_t>(data, data + size);
  }
}

}  // namespace

std::vector<uint8_t> EncodeWebpFixture(const uint8_t* pixels, int width, int height, int quality) {
  WebPConfig config;
  WebPPicture picture;
  if (WebPConfigInit(&config) == 0 || WebPPictureInit(&picture) == 0) throw std::runtime_error("webp");
  if (quality < 0) {
    config.lossless = 1;
    config.exact = 1;
  } else {
    config.quality = static_cast<float>(quality);
  }
  picture.use_argb = 1;
  picture.width = width;
  picture.height = height;
  WebPMemoryWriter writer;
  WebPMemoryWriterInit(&writer);
  picture.writer = WebPMemoryWrite;
  picture.custom_ptr = &writer;
  bool ok = WebPPictureImportBGRA(&picture, pixels, width * 4) != 0 && WebPEncode(&config, &picture) != 0;
  std::vector<uint8_t> out;
  if (ok) out.assign(writer.mem, writer.mem + writer.size);
  WebPPictureFree(&picture);
  WebPMemoryWriterClear(&writer);
  if (!ok) throw std::runtime_error("webp encode");
  return out;
}

QcgHalves EncodeQcgHalves(const QcgFixture& qcg) {
  size_t rowBytes = static_cast<size_t>(qcg.mWidth) * 4;
  int rows1 = qcg.mFirstHalfRows.value_or(qcg.mHeight / 2);
  size_t out1 = rowBytes * static_cast<size_t>(rows1);
  if (out1 > qcg.mPixels.size()) throw std::runtime_error("qcg fixture: first half past the pixels");
  QcgHalves halves;
  halves.mOut1 = out1;
  halves.mOut2 = qcg.mPixels.size() - out1;
  const uint8_t* pixels = qcg.mPixels.data();
  halves.mStored1 = EncodeHalf(qcg, pixels, halves.mOut1, rows1);
  halves.mStored2 = EncodeHalf(qcg, pixels + out1, halves.mOut2, qcg.mHeight - rows1);
  return halves;
}

std::vector<uint8_t> WriteQcg(const QcgFixture& qcg) {
  QcgHalves halves = EncodeQcgHalves(qcg);
  std::vector<uint8_t> file(kQcgDataOffset, 0);
  std::array<uint8_t, 4> magic = qcg.mMagic.value_or(std::array<uint8_t, 4>{'Q', 'C', 'G', 0});
  std::memcpy(file.data(), magic.data(), 4);
  StoreLe32(&file[kQcgWidthOffset], static_cast<uint32_t>(qcg.mStoredWidth.value_or(qcg.mWidth)));
  StoreLe32(&file[kQcgHeightOffset], static_cast<uint32_t>(qcg.mStoredHeight.value_or(qcg.mHeight)));
  StoreLe32(&file[kQcgMethodOffset], qcg.mStoredMethod.value_or(qcg.mMethod));
  StoreLe32(&file[kQcgOut1Offset], qcg.mOut1.value_or(static_cast<uint32_t>(halves.mOut1)));
  StoreLe32(&file[kQcgStored1Offset], qcg.mStored1.value_or(static_cast<uint32_t>(halves.mStored1.size())));
  StoreLe32(&file[kQcgOut2Offset], qcg.mOut2.value_or(static_cast<uint32_t>(halves.mOut2)));
  StoreLe32(&file[kQcgStored2Offset], qcg.mStored2.value_or(static_cast<uint32_t>(halves.mStored2.size())));
  file.insert(file.end(), halves.mStored1.begin(), halves.mStored1.end());
  file.insert(file.end(), halves.mStored2.begin(), halves.mStored2.end());
  return file;
}
